// The counter's files on Windows: one folder beside the program, whose access the folder's
// own permissions decide; a missing file is made empty, and no file is opened to others.
#include "platform/counterfiles.h"

#include <QFile>

namespace platform {

FileError PrepareCounterFile(const QString& path) {
    QFile f(path);
    if (f.exists() || f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.exists())
        return FileError::None;
    return FileError::AccessDenied;
}

QStringList CheckCounterFiles(const QString&, const QStringList&) {
    return {};
}

} // namespace platform
