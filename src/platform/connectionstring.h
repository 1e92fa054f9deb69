// Connection strings that carry nothing but a connection: composed only from the keys Varnet
// knows, each at most once, and with no value that a driver could split into a second
// attribute. Whatever a driver's own parser does with `;`, braces or control characters, a
// settings file that operators share can then name a server and a login, and never a library
// to load, a file to write or a trace to keep.
#pragma once

#include <QString>
#include <QStringList>

namespace platform::odbc {

// The keys a connection string may hold, as the README lists them (any case in a string).
const QStringList& AllowedConnectionKeys();

// Throws DatabaseError when value holds a character a driver may take for the end of the
// value (";", "{", "}") or a control character; where names the source and key its key, as
// in «Раздел [SQL] файла /var/lib/varnet/Varnet.ini» and «Server».
void CheckConnectionValue(const QString& key, const QString& value, const QString& where);

// Whether the driver (a name registered with the driver manager, or a library's path) takes a
// value in braces whole, "}" doubled, as ODBC has it: psqlODBC and the SQL Server drivers do;
// the SQLite driver splits at ";" inside braces too, and a driver the registry does not know
// is not trusted to.
bool DriverHonoursBraces(const QString& driver);

// A password as it goes into the connection string for driver: as it is, or in braces when it
// holds ";", "{" or "}" and the driver honours braces. Throws DatabaseError (as
// CheckConnectionValue, under key) when it cannot be passed whole and alone.
QString PasswordValue(const QString& driver, const QString& password, const QString& key,
                      const QString& where);

// The keys of a settings section that a connection is built from ([SQL], [Journal]).
struct ConnectionFields {
    QString Driver;
    QString Server;
    QString Database;
    QString User;
    QString Password;
};
// CheckConnectionValue for each field but the password, named by its key in the settings file;
// the password as PasswordValue gives it.
QString CheckConnectionFields(const ConnectionFields& fields, const QString& where);

// The where of a settings file's section, after CheckConnectionSource: «Раздел [SQL] файла F»
// (or «Раздел [SQL]» without a file, which is then not checked).
QString ConnectionSourceOf(const QString& section, const QString& file);

// The connection string as the drivers will get it: every attribute with an allowed key, once,
// as KEY=value (the driver name in braces), in the order given. Throws DatabaseError naming
// where (empty: «Строка подключения») and the key at fault otherwise.
QString CheckedConnectionString(const QString& cs, const QString& where = QString());

// Throws DatabaseError when a program running as root would take a connection from file
// while accounts other than root may change it (the file or a folder above it), saying what
// to do instead. Nothing is refused to other accounts, nor on Windows.
void CheckConnectionSource(const QString& file);

} // namespace platform::odbc
