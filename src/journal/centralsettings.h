// Where a counter's journal rows also go: the optional [Journal] section of Varnet.ini, an
// ODBC connection to the chain's central PostgreSQL or SQL Server database.
#pragma once

#include <QString>

namespace platform {
class CIniFile;
}

struct CentralJournalSettings {
    // A full ODBC connection string; when set, the other keys are not used.
    QString Connect;
    // Otherwise the connection is built from these as for the catalogue ([SQL]).
    QString Driver;
    QString Server;
    QString Database;
    QString User;
    QString Password;
    // The settings file the section was read from (empty for a section built in code).
    QString File;

    // The section as the file holds it; keys that are missing stay empty.
    static CentralJournalSettings Load(const platform::CIniFile& ini);
    static QString Section();

    // True when a central journal is named at all (Connect, or Driver and Server).
    bool IsSet() const;
    // The connection string to open; empty when IsSet() is false. Throws
    // platform::odbc::DatabaseError naming the file and key when a key is not one a connection
    // needs or a value could add an attribute, and when the program runs as root and accounts
    // other than root may change the file.
    QString ConnectionString() const;
};
