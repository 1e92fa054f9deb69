// Around the Qt application object on Windows: Qt keeps its runtime files in the user's own
// profile, so there is no folder to prepare.
#include "platform/programstart.h"

namespace platform {

void PrepareRuntimeDirectory() {}

void UseWindowlessPlatform() {}

// The program's folder holds the plugins the package ships, and only an administrator writes
// it; Qt's own search stays as it is.
void RestrictPluginFolders() {}

} // namespace platform
