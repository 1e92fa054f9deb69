// An ini-format settings file with the private-profile conventions of Windows counters:
// section and key names match without regard to case, a read value is trimmed and cut to a
// length limit, an integer is read from its leading decimal digits, and writing a key
// replaces it in its section or adds it there, leaving every other line as it was.
#pragma once

#include "platform/atomicfile.h"

#include <QString>
#include <QStringList>

namespace platform {

class CIniFile {
public:
    // A settings file is a few hundred bytes; one past this is not ours.
    static constexpr qint64 kMaxSize = 1024 * 1024;

    // How the file's text is stored; a document is written back as its file was.
    enum class Encoding { Utf8, Utf8WithMark, Utf16LE, Utf16BE, Cp1251 };

    // Reads the file; a missing file gives an empty document. The text is UTF-16 or UTF-8 by
    // its byte-order mark, else UTF-8 when the bytes are valid UTF-8, else Windows-1251. A
    // file over kMaxSize, or one whose bytes are no such text, gives an empty document marked
    // damaged; a file that exists but cannot be read (permissions, an I/O error) gives an
    // empty document marked unreadable, and so does something else in the file's place (a
    // folder, a FIFO, a socket or a device), which is never waited on.
    static CIniFile Load(const QString& path);
    // The same from the file's bytes.
    static CIniFile FromBytes(const QByteArray& bytes, const QString& path = QString());

    // The file exists but could not be read as a settings file: saving over it would lose
    // what it holds, so callers show ProblemText instead.
    bool IsDamaged() const { return m_bDamaged || m_readError != FileError::None; }
    bool IsUnreadable() const { return m_readError != FileError::None; }
    // Why the file could not be read (None when it could).
    FileError ReadError() const { return m_readError; }
    static QString DamagedText(const QString& path);
    // What is wrong with the file, for the operator: DamagedText, or that it cannot be read
    // and why, and what that means when loading (the defaults are in force) or saving (the
    // file is not written); empty when nothing is.
    QString ProblemText(bool saving = false) const;

    // The key's value cut to maxLength characters, or def when the section or key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& def,
                       int maxLength) const;
    // The key's leading decimal number (an optional sign, then digits), 0 when the value has
    // none, def when the key is missing.
    long long ReadInt(const QString& section, const QString& key, long long def) const;
    bool HasKey(const QString& section, const QString& key) const;

    // Replaces the key's value in its section, or adds the key at the end of the section, or
    // adds the section at the end of the document. Line breaks in the value become spaces; a
    // value that reading would change (blanks at its ends, or enclosed in quotes) is written
    // in double quotes, so that every value reads back as it was written.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // The encoding the document is written in: the file's, UTF-8 for a new file.
    Encoding TextEncoding() const { return m_encoding; }
    // The first key written with a character that the file's encoding cannot hold (a
    // Windows-1251 file), as "Section/Key"; empty when every value fits. Such a document is
    // not saved: the value would not read back as it was written.
    QString UnencodableKey() const { return m_strUnencodable; }
    // The operator's text for it; empty when every value fits.
    QString UnencodableText() const;

    // The document as it would be written: in the file's encoding (its byte-order mark
    // included), with the line ends the file had; lines nobody wrote keep their bytes.
    QByteArray ToBytes() const;
    // Writes the document over the file atomically, through a symbolic link of this account
    // or root; the file gets mode 0660 whatever it had: it may hold a password, which the
    // counter's operators (the folder's group) share and nobody else reads. A document with
    // an unencodable key is not written (FileError::Generic; UnencodableText says why).
    WriteResult Save(const QString& path) const;

    const QString& Path() const { return m_strPath; }

private:
    int FindSection(const QString& section) const;
    int FindKey(int sectionLine, const QString& key) const;
    int SectionEnd(int sectionLine) const;

    QString m_strPath;
    QStringList m_lines;
    QString m_strEol = QStringLiteral("\n");
    Encoding m_encoding = Encoding::Utf8;
    QString m_strUnencodable;
    bool m_bDamaged = false;
    FileError m_readError = FileError::None;
};

} // namespace platform
