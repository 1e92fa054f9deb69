#include "platform/paths.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace platform {

namespace {
QString& Override() {
    static QString dir;
    return dir;
}
} // namespace

QString ModuleDirectory() {
    if (!Override().isEmpty())
        return Override();
    return ExecutableDirectory();
}

QString ExecutableDirectory() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QCoreApplication::applicationDirPath();
    const QString exe = QString::fromLocal8Bit(buf, static_cast<qsizetype>(n));
    QString dir = QFileInfo(exe).absolutePath();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

void SetModuleDirectoryOverride(const QString& dir) {
    QString d = dir;
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    Override() = d;
}

QString ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

} // namespace platform
