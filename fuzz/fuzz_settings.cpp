// The settings file reader and writer on arbitrary bytes: every key of the program read with
// its limit, one key written, the document written out and read again.
#include "platform/inifile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using platform::CIniFile;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CIniFile ini = CIniFile::FromBytes(bytes);
    static const char* const kKeys[][2] = {
        {"Varnet", "PrinterName"}, {"Varnet", "WBarCodeMask"}, {"Varnet", "Penny"},
        {"Varnet", "RoundTo"},     {"Scale", "RS232Port"},     {"Scale", "Type"},
        {"SQL", "Driver"},         {"SQL", "Password"},        {"SQL", "FindOrder"},
    };
    for (const auto& k : kKeys) {
        const QString section = QString::fromLatin1(k[0]);
        const QString key = QString::fromLatin1(k[1]);
        const QString text = ini.ReadString(section, key, QStringLiteral("x"), 19);
        if (text.size() > 19)
            __builtin_trap();
        (void)ini.ReadInt(section, key, 0);
    }
    ini.WriteString(QStringLiteral("SQL"), QStringLiteral("Password"), QStringLiteral("p;w\nx"));
    const CIniFile again = CIniFile::FromBytes(ini.ToBytes());
    // A written key reads back as written, its line break folded.
    if (again.ReadString(QStringLiteral("SQL"), QStringLiteral("Password"), QString(), 255) !=
        QStringLiteral("p;w x"))
        __builtin_trap();
    return 0;
}
