// On Windows the narrow call would mean the ANSI code page: the connection string goes as
// UTF-16 through the wide call, which every Windows driver manager and driver takes.
#include "platform/odbc.h"

namespace platform::odbc {

SQLRETURN DriverConnect(SQLHDBC hdbc, const QString& connectionString) {
    std::u16string in = ToSqlWChar(connectionString);
    std::u16string out(1024, u'\0');
    SQLSMALLINT outLen = 0;
    return SQLDriverConnectW(hdbc, nullptr, reinterpret_cast<SQLWCHAR*>(in.data()),
                             static_cast<SQLSMALLINT>(in.size()),
                             reinterpret_cast<SQLWCHAR*>(out.data()),
                             static_cast<SQLSMALLINT>(out.size()), &outLen, SQL_DRIVER_NOPROMPT);
}

} // namespace platform::odbc
