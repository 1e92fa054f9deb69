// The files of a counter folder that several operator accounts share: made readable and
// writable by the folder's group and nobody else, and checked for files that an account left
// closed to the others.
#pragma once

#include "platform/atomicfile.h"

#include <QString>
#include <QStringList>

namespace platform {

// Makes sure the file at path can be opened by this account as a counter file: a link there
// must belong to this account or to root (ForeignLink otherwise); a missing file is created
// empty with kCounterFileMode, whatever the process's umask.
FileError PrepareCounterFile(const QString& path);

// The counter's files by name: settings, layouts, the journal and its companions, the speed keys.
QStringList CounterFileNames();

// Looks at the named files in dir that exist. A file of this account that the group cannot
// read and write is given kCounterFileMode and, in a folder that passes its group on (setgid),
// the folder's group. For a file of another account that this account cannot read and write,
// the operator's text naming the file, its owner and the command that mends it.
QStringList CheckCounterFiles(const QString& dir, const QStringList& names = CounterFileNames());

} // namespace platform
