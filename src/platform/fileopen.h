// Opening the counter's files to read them without ever waiting on what is not a file: a
// FIFO, a socket, a device or a folder in a file's place (planted by anyone who may write the
// counter folder) is named for what it is, and the reader goes on as for a missing file.
#pragma once

#include "platform/atomicfile.h"

#include <QString>

class QFile;

namespace platform {

// What stands at path, links followed, looked at without opening it: None for a file,
// NotFound for nothing (or a link to nothing), Folder, Fifo, Socket or Device, else the
// error of the look.
FileError CheckIsFile(const QString& path);

// Opens the file at path to read it, links followed. The open itself cannot wait: something
// swapped in after the look is found out before anything is read from it. On None, file is
// open for reading (its fileName() then is empty); on anything else it stays closed.
FileError OpenFileToRead(const QString& path, QFile& file);

} // namespace platform
