// One request and its reply over a local stream socket: how the programs of an installed
// counter hand labels to the journal service. The request and the reply are one line each.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Sends line (a newline is added) to the service listening at socketPath and reads one line
// back. False with the reason in *error when the service cannot be reached, or does not
// answer within timeoutMs; nothing in this process ever waits longer.
bool LocalRequest(const QString& socketPath, const QByteArray& line, QByteArray* reply,
                  QString* error, int timeoutMs);

} // namespace platform
