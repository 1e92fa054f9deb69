// Whether a file may be loaded as code into any account's process: only what root alone can
// change qualifies, so that nothing an operator can write runs in root's or another
// operator's programs.
#pragma once

#include <QString>

namespace platform {

struct TrustedPath {
    bool trusted = false;
    QString resolved; // the file with every link resolved, when trusted
    QString reason; // why not, for the operator: "в /tmp может писать не только root"
};

// A file qualifies when its path is absolute and the file, with every link resolved, and
// every folder above it (along the path as given and along the resolved one) belong to root
// and are writable by nobody else.
TrustedPath CheckTrustedFile(const QString& path);

// The same for a folder (plugins are searched in folders).
bool IsTrustedFolder(const QString& dir);

// Why a program running as root must not act on what file says (a connection, a driver, a
// path): accounts other than root could change the file or the folders above it (a missing
// file: its folder). Empty when the process is not root's, or root alone can change the file:
// every entry on the way is root's, writable by no group but root's, and by others only as a
// sticky folder such as /tmp, where nobody else can rename root's entries.
QString RootMustNotTrust(const QString& file);

} // namespace platform
