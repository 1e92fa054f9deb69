#include "support/testdb.h"

#include "platform/odbc.h"

#include <QFile>

namespace testdb {

QStringList Backends() {
    return {QStringLiteral("sqlite"), QStringLiteral("postgres")};
}

AppSettings FreshDatabase(const QString& backend, const QString& tag, const QTemporaryDir& dir) {
    AppSettings s;
    s.User = QStringLiteral("sa");
    if (backend == QLatin1String("sqlite")) {
        s.Driver = QStringLiteral("SQLite3");
        s.Server = QStringLiteral("localhost");
        s.Database = dir.filePath(tag + QStringLiteral(".db"));
        // An empty file is an empty SQLite database; the program never creates one.
        QFile f(s.Database);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        return s;
    }
    // The server trusts loopback logins; the port comes from PGPORT.
    s.Driver = QStringLiteral("PostgreSQL Unicode");
    s.Server = QStringLiteral("127.0.0.1");
    s.User = QStringLiteral("postgres");
    s.Database = QStringLiteral("varnet_") + tag.toLower();
    platform::odbc::Connection db;
    db.Open(QStringLiteral("Driver={PostgreSQL Unicode};SERVER=127.0.0.1;UID=postgres;PWD=;"
                           "DATABASE=postgres"));
    for (const QString& sql : {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)"),
                               QStringLiteral("CREATE DATABASE %1")}) {
        platform::odbc::Statement st(db);
        st.ExecDirect(sql.arg(s.Database));
    }
    return s;
}

AppSettings UnreachableServer() {
    AppSettings s;
    s.Driver = QStringLiteral("PostgreSQL Unicode");
    // The test server listens on 127.0.0.1 only; the rest of loopback refuses at once.
    s.Server = QStringLiteral("127.0.0.2");
    s.User = QStringLiteral("postgres");
    s.Database = QStringLiteral("varnet");
    return s;
}

} // namespace testdb
