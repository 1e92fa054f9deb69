// What every program of ours does around the making of its Qt application object: a runtime
// folder Qt accepts without a word, plugin folders nobody but root can change, and the
// program's version for --version.
#pragma once

#include <QString>

namespace platform {

// Points XDG_RUNTIME_DIR at a private folder of this user (mode 0700) when the session gave
// none or gave one Qt would refuse (another user's, after su or runuser), so that Qt writes no
// warning of its own on standard error.
void PrepareRuntimeDirectory();

// For a program that draws without a window: a platform plugin that needs no display, unless
// QT_QPA_PLATFORM names one (Linux: "offscreen"; Windows keeps its own plugin, which draws
// without a window and is the only one the package ships).
void UseWindowlessPlatform();

// For a program without a console of its own (the Windows workstation) that answers --help,
// --version or --print-folder: its standard output goes to the console it was started from,
// unless it was redirected. Elsewhere nothing to do.
void UseParentConsole();

// Takes every folder out of the Qt plugin search that anybody but root could change, and the
// program's own folder (no plugins are shipped there). Called right after the application
// object is made, before anything loads an image, icon or style plugin.
void RestrictPluginFolders();

// Called right after the application object is made: a process started without a UTF-8
// locale (a system service, a cron job, `env -i`) takes C.UTF-8 for its characters, in its
// environment too, so that an ODBC driver that converts text through the C library's locale
// (psqlODBC) keeps Cyrillic.
void UseUtf8Characters();

// The version of the build, "1.0.0.0".
QString ProgramVersion();

} // namespace platform
