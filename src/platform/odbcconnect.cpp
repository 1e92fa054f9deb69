// The connection string goes to the driver manager as UTF-8 through the narrow call. The wide
// call would hand it to a driver without wide entry points (the SQLite driver) with every
// character cut to its low byte: "Ļ" (U+013B) would arrive as ";" and start an attribute that
// no check saw, and Cyrillic paths would arrive garbled. In UTF-8 every byte of a non-ASCII
// character is 0x80 or above, so what the checks saw is what the driver parses.
#include "platform/odbc.h"

namespace platform::odbc {

SQLRETURN DriverConnect(SQLHDBC hdbc, const QString& connectionString) {
    QByteArray in = connectionString.toUtf8();
    SQLCHAR out[1024] = {};
    SQLSMALLINT outLen = 0;
    return SQLDriverConnect(hdbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                            static_cast<SQLSMALLINT>(in.size()), out, sizeof out, &outLen,
                            SQL_DRIVER_NOPROMPT);
}

} // namespace platform::odbc
