// Fresh, empty catalogue databases for the tests, on the real drivers: a SQLite file through
// the SQLite ODBC driver, or a database of its own on the test PostgreSQL server.
#pragma once

#include "app/settings.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testdb {

// "sqlite" and "postgres": the back ends every database test runs on.
QStringList Backends();

// Settings whose connection reaches a new, empty database of the back end; tag names it.
// The SQLite file lives in dir.
AppSettings FreshDatabase(const QString& backend, const QString& tag, const QTemporaryDir& dir);

// Settings of a PostgreSQL login that nothing listens for (a closed port on loopback).
AppSettings UnreachableServer();

} // namespace testdb
