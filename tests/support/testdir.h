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
