// Where the program keeps its files on Windows: an installed program (in the folder the
// installer wrote into the registry) uses the counter folder the installer made, by default
// %ProgramData%\Varnet, which the operators may write while the programs' folder is the
// administrators'; any other copy (a ZIP unpacked anywhere) keeps them beside the executable,
// as the counters Varnet replaces did.
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

// A text value of the installer's key HKLM\Software\Varnet, empty when there is none.
QString InstalledFolder(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Varnet", name, RRF_RT_REG_SZ, nullptr, value,
                       &size) != ERROR_SUCCESS)
        return QString();
    return QString::fromWCharArray(value).trimmed();
}
} // namespace

QString ModuleDirectory() {
    if (!Override().isEmpty())
        return Override();
    return CounterDirectoryFor(ExecutableDirectory(), InstalledFolder(L"ProgramFolder"),
                               InstalledFolder(L"CounterFolder"));
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

QString CounterDirectoryFor(const QString& exeDir, const QString& installedProgramDir,
                            const QString& installedCounterDir) {
    // Windows names a folder in either separator and in any case.
    const auto folder = [](const QString& dir) {
        return WithoutTrailingSlash(QDir::fromNativeSeparators(dir));
    };
    if (!installedProgramDir.isEmpty() && !installedCounterDir.isEmpty() &&
        folder(exeDir).compare(folder(installedProgramDir), Qt::CaseInsensitive) == 0)
        return folder(installedCounterDir);
    return exeDir;
}

QString JournalDirectory() {
    return ModuleDirectory();
}

QString JournalServiceSocket() {
    return QString();
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
