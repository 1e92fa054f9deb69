#include "support/testdir.h"

#include "platform/paths.h"

#include <QFile>

#include <csignal>
#include <sys/resource.h>

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

ScopedFileSizeLimit::ScopedFileSizeLimit(long long bytes) {
    struct rlimit lim {};
    ::getrlimit(RLIMIT_FSIZE, &lim);
    m_oldSoft = lim.rlim_cur;
    m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    lim.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &lim);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    struct rlimit lim {};
    ::getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = static_cast<rlim_t>(m_oldSoft);
    ::setrlimit(RLIMIT_FSIZE, &lim);
    ::signal(SIGXFSZ, m_oldHandler);
}
