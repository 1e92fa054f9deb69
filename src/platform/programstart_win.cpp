// Before the Qt application object exists on Windows: Qt keeps its runtime files in the
// user's own profile, so there is no folder to prepare.
#include "platform/programstart.h"

namespace platform {

void PrepareRuntimeDirectory() {}

} // namespace platform
