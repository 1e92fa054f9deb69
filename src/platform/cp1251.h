// Windows-1251, the single-byte code page of Russian Windows: files written on a Windows
// counter carry their Cyrillic texts in it.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

QString DecodeCp1251(const char* data, qsizetype size);
QString DecodeCp1251(const QByteArray& bytes);
// Characters without a Windows-1251 form become '?' and clear ok. U+FFFD, which the undefined
// byte 0x98 decodes to, becomes that byte again, so that a decoded text encodes to its bytes.
QByteArray EncodeCp1251(const QString& text, bool* ok = nullptr);
bool IsValidUtf8(const QByteArray& bytes);

} // namespace platform
