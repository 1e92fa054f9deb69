#include "platform/programstart.h"

#include "platform/trustedpath.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Qt's own test: a real folder (not a link) of this user, no access for anybody else.
bool IsPrivateFolder(const QByteArray& path, bool fixMode) {
    struct stat st {};
    if (path.isEmpty() || ::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 07777) == 0700)
        return true;
    return fixMode && ::chmod(path.constData(), 0700) == 0;
}

} // namespace

void UseParentConsole() {}

void UseWindowlessPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void PrepareRuntimeDirectory() {
    if (IsPrivateFolder(qgetenv("XDG_RUNTIME_DIR"), false))
        return;
    QByteArray temp = qgetenv("TMPDIR");
    if (temp.isEmpty())
        temp = "/tmp";
    QByteArray dir = temp + "/varnet-runtime-" + QByteArray::number(::geteuid());
    ::mkdir(dir.constData(), 0700);
    if (!IsPrivateFolder(dir, true)) {
        // Somebody else holds the name: a fresh folder that nobody can have prepared.
        dir = temp + "/varnet-runtime-XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr)
            return; // Qt then says what is wrong itself
    }
    qputenv("XDG_RUNTIME_DIR", dir);
}

void UseUtf8Characters() {
    if (std::strcmp(::nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    // In the environment too: psqlODBC sets the locale from it again before it converts.
    ::setenv(qEnvironmentVariableIsEmpty("LC_ALL") ? "LC_CTYPE" : "LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_CTYPE, "");
}

void RestrictPluginFolders() {
    const QString own = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
    QStringList kept;
    for (const QString& folder : QCoreApplication::libraryPaths())
        if (QDir(folder).canonicalPath() != own && IsTrustedFolder(folder))
            kept.append(folder);
    QCoreApplication::setLibraryPaths(kept);
}

} // namespace platform
