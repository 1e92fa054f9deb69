// For the spooler implementations: runs the installed step hook before a step.
#pragma once

#include "platform/printjob.h"

namespace platform {

void RunPrintStepHook(PrintStep step);

} // namespace platform
