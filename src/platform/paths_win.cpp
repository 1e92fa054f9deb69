// Where the program keeps its files on Windows: the counter folder is the folder of the
// executable, as on the counters Varnet replaces.
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <vector>

namespace platform {

namespace {
QString& Override() {
    static QString dir;
    return dir;
}

QString WithoutTrailingSlash(QString dir) {
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1String(":/")))
        dir.chop(1);
    return dir;
}
} // namespace

QString ModuleDirectory() {
    if (!Override().isEmpty())
        return Override();
    return ExecutableDirectory();
}

QString ExecutableDirectory() {
    // Long paths: the buffer grows until the whole name fits.
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
        if (n == 0)
            return QCoreApplication::applicationDirPath();
        if (n < buf.size()) {
            const QString exe = QDir::fromNativeSeparators(QString::fromWCharArray(buf.data(), n));
            return WithoutTrailingSlash(QFileInfo(exe).absolutePath());
        }
        buf.resize(buf.size() * 2);
    }
}

void SetModuleDirectoryOverride(const QString& dir) {
    Override() = dir.isEmpty() ? QString() : WithoutTrailingSlash(QDir::fromNativeSeparators(dir));
}

QString CounterDirectoryFor(const QString& exeDir, const QString&, const QString&) {
    // A Windows counter keeps its files beside the program, installed or not.
    return exeDir;
}

QString AccountName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!::GetUserNameW(name, &size) || size == 0)
        return QString();
    return QString::fromWCharArray(name, int(size) - 1);
}

QString AccountNameOf(unsigned uid) {
    return QString::number(uid);
}

QString GroupNameOf(unsigned gid) {
    return QString::number(gid);
}

QString ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return QString();
    return QString::fromWCharArray(name, int(size));
}

} // namespace platform
