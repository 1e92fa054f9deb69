#include "support/testdir.h"

#include "platform/paths.h"

#include <QFile>

TestModuleDir::TestModuleDir() {
    platform::SetModuleDirectoryOverride(m_dir.path());
}

TestModuleDir::~TestModuleDir() {
    platform::SetModuleDirectoryOverride(QString());
}

void TestModuleDir::Write(const QString& name, const QByteArray& bytes) const {
    QFile f(File(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TestModuleDir::Read(const QString& name) const {
    QFile f(File(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
