#include "platform/paths.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <climits>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {
QString& Override() {
    static QString dir;
    return dir;
}

QString WithoutTrailingSlash(QString dir) {
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}
} // namespace

QString CounterDirectoryFor(const QString& exeDir, const QString& installedProgramDir,
                            const QString& installedCounterDir) {
    if (!installedProgramDir.isEmpty() && !installedCounterDir.isEmpty() &&
        WithoutTrailingSlash(exeDir) == WithoutTrailingSlash(installedProgramDir))
        return WithoutTrailingSlash(installedCounterDir);
    return exeDir;
}

QString ModuleDirectory() {
    if (!Override().isEmpty())
        return Override();
    const QString fromEnvironment = qEnvironmentVariable("VARNET_COUNTER_DIR");
    if (!fromEnvironment.isEmpty())
        return WithoutTrailingSlash(QFileInfo(fromEnvironment).absoluteFilePath());
    return CounterDirectoryFor(ExecutableDirectory(), QStringLiteral(VARNET_INSTALLED_PROGRAM_DIR),
                               QStringLiteral(VARNET_INSTALLED_COUNTER_DIR));
}

namespace {
bool IsInstalledProgram() {
    return WithoutTrailingSlash(ExecutableDirectory()) ==
           WithoutTrailingSlash(QStringLiteral(VARNET_INSTALLED_PROGRAM_DIR));
}
} // namespace

QString JournalDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("VARNET_JOURNAL_DIR");
    if (!fromEnvironment.isEmpty())
        return WithoutTrailingSlash(QFileInfo(fromEnvironment).absoluteFilePath());
    return IsInstalledProgram() ? QStringLiteral(VARNET_INSTALLED_JOURNAL_DIR) : ModuleDirectory();
}

QString JournalServiceSocket() {
    if (qEnvironmentVariableIsSet("VARNET_JOURNAL_SOCKET"))
        return qEnvironmentVariable("VARNET_JOURNAL_SOCKET");
    return IsInstalledProgram() ? QStringLiteral(VARNET_INSTALLED_JOURNAL_SOCKET) : QString();
}

QString ExecutableDirectory() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QCoreApplication::applicationDirPath();
    const QString exe = QString::fromLocal8Bit(buf, static_cast<qsizetype>(n));
    return WithoutTrailingSlash(QFileInfo(exe).absolutePath());
}

void SetModuleDirectoryOverride(const QString& dir) {
    Override() = WithoutTrailingSlash(dir);
}

QString ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

QString AccountNameOf(unsigned uid) {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(static_cast<uid_t>(uid), &pw, buf, sizeof buf, &found) == 0 && found &&
        found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QString GroupNameOf(unsigned gid) {
    struct group gr {};
    struct group* found = nullptr;
    char buf[4096];
    if (::getgrgid_r(static_cast<gid_t>(gid), &gr, buf, sizeof buf, &found) == 0 && found &&
        found->gr_name)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

QString AccountName() {
    return AccountNameOf(static_cast<unsigned>(::geteuid()));
}

} // namespace platform
