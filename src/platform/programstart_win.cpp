// Around the Qt application object on Windows: Qt keeps its runtime files in the user's own
// profile, so there is no folder to prepare.
#include "platform/programstart.h"

#include <windows.h>

#include <cstdio>

namespace platform {

void PrepareRuntimeDirectory() {}

void UseWindowlessPlatform() {}

void UseParentConsole() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS) &&
        !std::freopen("CONOUT$", "w", stdout))
        return; // nowhere to write to, as before
}

// The program's folder holds the plugins the package ships, and only an administrator writes
// it; Qt's own search stays as it is.
void RestrictPluginFolders() {}

void UseUtf8Characters() {}

} // namespace platform
