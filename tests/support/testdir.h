// A temporary folder that stands in for the executable's folder while the object lives.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TestModuleDir {
public:
    TestModuleDir();
    ~TestModuleDir();
    TestModuleDir(const TestModuleDir&) = delete;
    TestModuleDir& operator=(const TestModuleDir&) = delete;

    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    void Write(const QString& name, const QByteArray& bytes) const;
    QByteArray Read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Lowers the process's file size limit (which binds root too) so that writes past a few
// bytes fail as on a full disk; restores it on destruction.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(long long bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    unsigned long long m_oldSoft;
    void (*m_oldHandler)(int);
};
