// Where the program keeps its files (the folder of the running executable) and the
// computer's network name.
#pragma once

#include <QString>

namespace platform {

// The folder of the running executable, without a trailing separator. Tests and tools may
// point it elsewhere with SetModuleDirectoryOverride.
QString ModuleDirectory();

// The folder of the running executable, whatever ModuleDirectory() is pointed at: where the
// program's own libraries lie.
QString ExecutableDirectory();

// Replaces the folder ModuleDirectory() reports; an empty text restores the real one.
void SetModuleDirectoryOverride(const QString& dir);

// The computer's network name as the operating system reports it.
QString ComputerName();

} // namespace platform
