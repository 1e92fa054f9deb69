// What every program of ours does before its Qt application object exists: a runtime folder
// Qt accepts without a word, and the program's version for --version.
#pragma once

#include <QString>

namespace platform {

// Points XDG_RUNTIME_DIR at a private folder of this user (mode 0700) when the session gave
// none or gave one Qt would refuse (another user's, after su or runuser), so that Qt writes no
// warning of its own on standard error.
void PrepareRuntimeDirectory();

// The version of the build, "1.0.0.0".
QString ProgramVersion();

} // namespace platform
