// Where the program's files are: the counter folder (settings, layouts, journal, COM<N>
// links), the folder of the running executable, and the names of the computer and of the
// account that runs the program.
#pragma once

#include <QString>

namespace platform {

// The counter folder, without a trailing separator. A program that is not installed keeps
// the counter's files beside its executable; the installed programs (in the package's program
// folder, which only root may write) use the package's counter folder. The environment
// variable VARNET_COUNTER_DIR points the process's own counter folder elsewhere. Tests and
// tools may point it elsewhere with SetModuleDirectoryOverride.
QString ModuleDirectory();

// The folder of the running executable, whatever ModuleDirectory() is pointed at: where the
// program's own libraries lie.
QString ExecutableDirectory();

// Replaces the folder ModuleDirectory() reports; an empty text restores the real one.
void SetModuleDirectoryOverride(const QString& dir);

// The counter folder of an executable in exeDir: the installed counter folder when exeDir is
// the installed program folder, exeDir itself otherwise. Empty names mean no installed
// layout.
QString CounterDirectoryFor(const QString& exeDir, const QString& installedProgramDir,
                            const QString& installedCounterDir);

// The folder of the packing journal: on an installed counter a folder that only the journal
// service writes, elsewhere the counter folder. VARNET_JOURNAL_DIR in the environment points
// the process's own reading elsewhere.
QString JournalDirectory();

// The local socket of the journal service, through which an installed counter's programs
// write the journal; empty where the programs write it themselves (a program that is not
// installed, Windows). VARNET_JOURNAL_SOCKET in the environment names another.
QString JournalServiceSocket();

// The computer's network name as the operating system reports it.
QString ComputerName();

// The name of the account that runs the program (the effective user), or its number when
// the account has no name.
QString AccountName();

// The name of the account with this user id, or the id as digits.
QString AccountNameOf(unsigned uid);

// The name of the group with this group id, or the id as digits.
QString GroupNameOf(unsigned gid);

} // namespace platform
