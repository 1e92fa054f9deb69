#include "platform/inifile.h"

#include "platform/cp1251.h"
#include "platform/fileopen.h"
#include "platform/numbers.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace platform {

namespace {
bool IsSectionLine(const QString& line, QString* name = nullptr) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool KeyOfLine(const QString& line, QString* key) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
        return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = t.left(eq).trimmed();
    return true;
}

QString ValueOfLine(const QString& line) {
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// The file's text by its byte-order mark or its bytes, and how it was stored; nothing when it
// is no text.
std::optional<QString> DecodeText(const QByteArray& bytes, CIniFile::Encoding& stored) {
    const auto utf16 = [&](QStringConverter::Encoding encoding) -> std::optional<QString> {
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        QStringDecoder decoder(encoding);
        QString text = decoder.decode(bytes.mid(2));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    };
    if (bytes.startsWith("\xFF\xFE")) {
        stored = CIniFile::Encoding::Utf16LE;
        return utf16(QStringConverter::Utf16LE);
    }
    if (bytes.startsWith("\xFE\xFF")) {
        stored = CIniFile::Encoding::Utf16BE;
        return utf16(QStringConverter::Utf16BE);
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        stored = CIniFile::Encoding::Utf8WithMark;
        const QByteArray rest = bytes.mid(3);
        if (!IsValidUtf8(rest))
            return std::nullopt;
        return QString::fromUtf8(rest);
    }
    // Zero bytes do not occur in a text of either code page: UTF-16 without its mark, or
    // no text at all.
    if (bytes.contains('\0'))
        return std::nullopt;
    if (IsValidUtf8(bytes)) {
        stored = CIniFile::Encoding::Utf8;
        return QString::fromUtf8(bytes);
    }
    stored = CIniFile::Encoding::Cp1251;
    return DecodeCp1251(bytes);
}

// The text in the encoding, with its byte-order mark; ok is cleared when a character has no
// form there.
QByteArray EncodeText(const QString& text, CIniFile::Encoding encoding, bool* ok = nullptr) {
    if (ok)
        *ok = true;
    switch (encoding) {
    case CIniFile::Encoding::Cp1251:
        return EncodeCp1251(text, ok);
    case CIniFile::Encoding::Utf8WithMark:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case CIniFile::Encoding::Utf16LE:
    case CIniFile::Encoding::Utf16BE: {
        const bool le = encoding == CIniFile::Encoding::Utf16LE;
        QStringEncoder encoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
    }
    case CIniFile::Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}
} // namespace

CIniFile CIniFile::Load(const QString& path) {
    QFile f;
    // A missing file, or a link to a file still to be made, reads as a missing file: saving
    // makes it. Anything else that cannot be read is said, with what stands there when it is
    // no file (a FIFO would hold the program up for ever).
    if (const FileError opened = OpenFileToRead(path, f); opened != FileError::None) {
        CIniFile ini;
        ini.m_strPath = path;
        if (opened != FileError::NotFound)
            ini.m_readError = opened;
        return ini;
    }
    if (f.size() > kMaxSize) {
        CIniFile ini;
        ini.m_strPath = path;
        ini.m_bDamaged = true;
        return ini;
    }
    // Read at most one byte past the cap: a file that grows meanwhile is still caught.
    const QByteArray bytes = f.read(kMaxSize + 1);
    if (f.error() != QFileDevice::NoError) {
        CIniFile ini;
        ini.m_strPath = path;
        ini.m_readError = FileError::HardIO;
        return ini;
    }
    if (bytes.size() > kMaxSize) {
        CIniFile ini;
        ini.m_strPath = path;
        ini.m_bDamaged = true;
        return ini;
    }
    return FromBytes(bytes, path);
}

QString CIniFile::DamagedText(const QString& path) {
    return QStringLiteral("Файл настроек %1 повреждён. Настройки в нём не сохранятся.").arg(path);
}

QString CIniFile::ProblemText(bool saving) const {
    if (m_bDamaged)
        return DamagedText(m_strPath);
    QString reason;
    switch (m_readError) {
    case FileError::None:
        return QString();
    case FileError::AccessDenied:
        reason = QStringLiteral("нет доступа");
        break;
    case FileError::HardIO:
        reason = QStringLiteral("ошибка ввода-вывода");
        break;
    case FileError::BadPath:
        reason = QStringLiteral("неверный путь");
        break;
    case FileError::Folder:
    case FileError::Fifo:
    case FileError::Socket:
    case FileError::Device:
        reason = QStringLiteral("это ") + NotAFileText(m_readError);
        break;
    default:
        reason = QStringLiteral("ошибка чтения");
        break;
    }
    if (saving)
        return QStringLiteral("Файл настроек %1 не читается (%2), поэтому настройки в него не "
                              "сохранены: они действуют до закрытия программы.")
            .arg(m_strPath, reason);
    return QStringLiteral("Файл настроек %1 не читается (%2). Пока он не станет доступен, "
                          "программа работает с настройками по умолчанию, а сохранить "
                          "настройки в этот файл нельзя.")
        .arg(m_strPath, reason);
}

CIniFile CIniFile::FromBytes(const QByteArray& bytes, const QString& path) {
    CIniFile ini;
    ini.m_strPath = path;
    const std::optional<QString> decoded = DecodeText(bytes, ini.m_encoding);
    if (!decoded) {
        ini.m_bDamaged = true;
        return ini;
    }
    const QString& text = *decoded;
    if (text.contains(QStringLiteral("\r\n")))
        ini.m_strEol = QStringLiteral("\r\n");
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ini.m_lines = normalised.split(QLatin1Char('\n'));
    // A final line end leaves an empty last element that is not a line of the file.
    if (!ini.m_lines.isEmpty() && ini.m_lines.back().isEmpty())
        ini.m_lines.removeLast();
    return ini;
}

int CIniFile::FindSection(const QString& section) const {
    QString name;
    for (int i = 0; i < m_lines.size(); ++i)
        if (IsSectionLine(m_lines[i], &name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int CIniFile::SectionEnd(int sectionLine) const {
    int i = sectionLine + 1;
    while (i < m_lines.size() && !IsSectionLine(m_lines[i]))
        ++i;
    return i;
}

int CIniFile::FindKey(int sectionLine, const QString& key) const {
    const int end = SectionEnd(sectionLine);
    QString name;
    for (int i = sectionLine + 1; i < end; ++i)
        if (KeyOfLine(m_lines[i], &name) && name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool CIniFile::HasKey(const QString& section, const QString& key) const {
    const int s = FindSection(section);
    return s >= 0 && FindKey(s, key) >= 0;
}

QString CIniFile::ReadString(const QString& section, const QString& key, const QString& def,
                             int maxLength) const {
    const int s = FindSection(section);
    const int k = s >= 0 ? FindKey(s, key) : -1;
    const QString value = k >= 0 ? ValueOfLine(m_lines[k]) : def;
    return maxLength >= 0 ? value.left(maxLength) : value;
}

long long CIniFile::ReadInt(const QString& section, const QString& key, long long def) const {
    const int s = FindSection(section);
    const int k = s >= 0 ? FindKey(s, key) : -1;
    if (k < 0)
        return def;
    return ParseLeadingInt(ValueOfLine(m_lines[k]));
}

void CIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString stored = v;
    // Reading trims the value and takes off one pair of enclosing quotes: such a value goes
    // in quotes, which reading takes off again.
    if (ValueOfLine(QStringLiteral("=") + v) != v)
        v = QLatin1Char('"') + v + QLatin1Char('"');
    const QString line = key + QLatin1Char('=') + v;
    bool fits = true;
    EncodeText(QLatin1Char('[') + section + QStringLiteral("]") + line, m_encoding, &fits);
    if (!fits && m_strUnencodable.isEmpty())
        m_strUnencodable = section + QLatin1Char('/') + key;
    int s = FindSection(section);
    if (s < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
        return;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        // A line that already reads as the value stays as its author wrote it.
        if (ValueOfLine(m_lines[k]) != stored)
            m_lines[k] = line;
        return;
    }
    // After the section's last non-empty line, so a blank line before the next section stays.
    int at = SectionEnd(s);
    while (at > s + 1 && m_lines[at - 1].trimmed().isEmpty())
        --at;
    m_lines.insert(at, line);
}

QString CIniFile::UnencodableText() const {
    if (m_strUnencodable.isEmpty())
        return QString();
    const qsizetype slash = m_strUnencodable.indexOf(QLatin1Char('/'));
    return QStringLiteral("В значении %1 раздела [%2] есть знаки, которых нет в кодировке "
                          "Windows-1251 файла настроек %3. Настройки не сохранены: замените "
                          "эти знаки.")
        .arg(m_strUnencodable.mid(slash + 1), m_strUnencodable.left(slash), m_strPath);
}

QByteArray CIniFile::ToBytes() const {
    QString text;
    for (const QString& l : m_lines)
        text += l + m_strEol;
    return EncodeText(text, m_encoding);
}

WriteResult CIniFile::Save(const QString& path) const {
    if (!m_strUnencodable.isEmpty())
        return WriteResult{FileError::Generic};
    return WriteFileAtomically(path, ToBytes(), kCounterFileMode, FileMode::Always);
}

} // namespace platform
