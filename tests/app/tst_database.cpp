// The database connection on real drivers (SQLite file, PostgreSQL server): the connection
// string forms, the section switch from the config table, failures and their messages.
#include "app/varnetapp.h"
#include "democatalogue.h"
#include "support/messagerecorder.h"
#include "support/testdb.h"

#include <QFile>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<int>)

using platform::odbc::DatabaseError;

class TstDatabase : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    // Opens a fresh database of the back end and lets prepare() shape its tables.
    AppSettings Prepare(const QString& backend, const QString& tag,
                        const std::function<void(platform::odbc::Connection&)>& prepare) {
        const AppSettings s = testdb::FreshDatabase(backend, tag, m_dir);
        platform::odbc::Connection db;
        db.Open(CVarnetApp::ConnectionString(s));
        prepare(db);
        return s;
    }

private Q_SLOTS:
    void connectionString_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sa, empty password")
            << "sa"
            << ""
            << "Driver={SQL Server};SERVER=KASSA1;UID=sa;PWD=;DATABASE=Kestrada;"
               "TRUSTED_CONNECTION=No";
        QTest::newRow("no user, a password")
            << ""
            << "secret"
            << "Driver={SQL Server};SERVER=KASSA1;UID=;PWD=secret;DATABASE=Kestrada;"
               "TRUSTED_CONNECTION=No";
        QTest::newRow("Windows login")
            << ""
            << ""
            << "Driver={SQL Server};SERVER=KASSA1;DATABASE=Kestrada;TRUSTED_CONNECTION=Yes";
        // Braces are safe only for a driver known to read them; "SQL Server" is not registered
        // here.
        QTest::newRow("password with ; and } for a driver not known to read braces")
            << "sa"
            << "a;b}c"
            << "Раздел [SQL]: значение ключа «Password» содержит символ «;».";
    }
    void connectionString() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        AppSettings s;
        s.Driver = QStringLiteral("SQL Server");
        s.Server = QStringLiteral("KASSA1");
        s.Database = QStringLiteral("Kestrada");
        s.User = user;
        s.Password = password;
        if (!expected.startsWith(QStringLiteral("Раздел"))) {
            QCOMPARE(CVarnetApp::ConnectionString(s), expected);
            return;
        }
        try {
            CVarnetApp::ConnectionString(s);
            QFAIL("the connection string was taken");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.Text().startsWith(expected), qPrintable(e.Text()));
        }
    }

    void sectionSwitch_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("noRow");
        QTest::addColumn<std::optional<int>>("value");
        QTest::addColumn<bool>("expected");
        for (const QString& b : testdb::Backends()) {
            const QByteArray n = b.toUtf8();
            QTest::newRow(n + " NULL") << b << false << std::optional<int>() << false;
            QTest::newRow(n + " 0") << b << false << std::optional<int>(0) << false;
            QTest::newRow(n + " 1") << b << false << std::optional<int>(1) << true;
            QTest::newRow(n + " 257") << b << false << std::optional<int>(257) << true;
            QTest::newRow(n + " 2") << b << false << std::optional<int>(2) << false;
            QTest::newRow(n + " no row") << b << true << std::optional<int>() << false;
        }
    }
    void sectionSwitch() {
        QFETCH(QString, backend);
        QFETCH(bool, noRow);
        QFETCH(std::optional<int>, value);
        QFETCH(bool, expected);
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = Prepare(backend, QStringLiteral("section"), [&](auto& db) {
            democat::CreateSchema(db);
            democat::SetEnableSection(db, value, noRow);
        });
        app.m_bEnableSection = !expected;
        QVERIFY(app.ConnectDatabase());
        QCOMPARE(app.m_bEnableSection, expected);
        QVERIFY(messages.Texts().isEmpty());
    }

    // An open connection is kept: the second call neither reconnects nor reads config again
    // (which is gone by then).
    void secondConnectKeepsTheConnection_data() {
        QTest::addColumn<QString>("backend");
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }
    void secondConnectKeepsTheConnection() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Prepare(backend, QStringLiteral("twice"), [](auto& db) {
            democat::CreateSchema(db);
            democat::SetEnableSection(db, 1);
        });
        QVERIFY(app.ConnectDatabase());
        const SQLHDBC first = app.m_db.Handle();
        democat::Exec(app.m_db, QStringLiteral("DROP TABLE config"));
        QVERIFY(app.ConnectDatabase());
        QCOMPARE(app.m_db.Handle(), first);
        QVERIFY(app.m_bEnableSection);
    }

    // A failing config query is not the connection's failure: it reaches the caller, and the
    // connection stays open for the next call.
    void configFailureReachesTheCaller_data() { secondConnectKeepsTheConnection_data(); }
    void configFailureReachesTheCaller() {
        QFETCH(QString, backend);
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = Prepare(backend, QStringLiteral("noconfig"), [](auto&) {});
        QVERIFY_THROWS_EXCEPTION(DatabaseError, app.ConnectDatabase());
        QVERIFY(app.m_db.IsOpen());
        QVERIFY(messages.Texts().isEmpty());
        QVERIFY(app.ConnectDatabase());
    }

    // An unreachable server costs one message per attempt, with the driver's own text, and
    // every call tries again.
    void unreachableServer() {
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = testdb::UnreachableServer();
        QVERIFY(!app.ConnectDatabase());
        QCOMPARE(messages.Messages().size(), 1);
        const platform::OperatorMessage m = messages.Messages()[0];
        QVERIFY2(m.text.contains(QLatin1String("127.0.0.2")), qPrintable(m.text));
        QCOMPARE(m.caption, QStringLiteral("Ошибка"));
        QCOMPARE(m.icon, platform::MessageIcon::Exclamation);
        QVERIFY(!app.m_db.IsOpen());
        QVERIFY(!app.ConnectDatabase());
        QCOMPARE(messages.Messages().size(), 2);
    }

    // A mistyped SQLite path names the file and creates nothing: an empty catalogue would
    // only fail later with "no such table".
    void missingSQLiteFile() {
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings =
            testdb::FreshDatabase(QStringLiteral("sqlite"), QStringLiteral("x"), m_dir);
        app.m_settings.Database = m_dir.filePath(QStringLiteral("katalog.db"));
        QVERIFY(!app.ConnectDatabase());
        QCOMPARE(messages.Texts(),
                 QStringList{QStringLiteral("Файл %1 не найден.").arg(app.m_settings.Database)});
        QCOMPARE(messages.Messages()[0].icon, platform::MessageIcon::Exclamation);
        QVERIFY(!QFile::exists(app.m_settings.Database));
        QVERIFY(!app.m_db.IsOpen());
    }

    // Passwords go through whatever they hold: the server asks this login for its password.
    void passwordWithSeparators_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("connects");
        QTest::newRow("right") << "pa;ss}word" << true;
        QTest::newRow("wrong") << "pa;ss}wor" << false;
    }
    void passwordWithSeparators() {
        QFETCH(QString, password);
        QFETCH(bool, connects);
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = Prepare(QStringLiteral("postgres"), QStringLiteral("login"), [](auto& db) {
            democat::CreateSchema(db);
            democat::SetEnableSection(db, 0);
            democat::Exec(db, QStringLiteral("GRANT SELECT ON config TO varnet_pw"));
        });
        app.m_settings.User = QStringLiteral("varnet_pw");
        app.m_settings.Password = password;
        QCOMPARE(app.ConnectDatabase(), connects);
        QCOMPARE(messages.Texts().size(), connects ? 0 : 1);
        if (!connects)
            QVERIFY2(messages.Texts()[0].contains(QLatin1String("password authentication failed")),
                     qPrintable(messages.Texts()[0]));
    }

    // Cyrillic text comes back whole through both drivers.
    void cyrillicText_data() { secondConnectKeepsTheConnection_data(); }
    void cyrillicText() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Prepare(backend, QStringLiteral("text"), [](auto& db) {
            democat::CreateSchema(db);
            democat::SetEnableSection(db, 0);
            democat::PluRow r;
            r.pluId = 1;
            r.plu = QStringLiteral("7");
            r.pluName = QStringLiteral("Сыр «Российский» O'Brien");
            democat::InsertRows(db, {r});
        });
        QVERIFY(app.ConnectDatabase());
        platform::odbc::Statement st(app.m_db);
        st.ExecDirect(QStringLiteral("SELECT pluName FROM plu"));
        QVERIFY(st.Fetch());
        QCOMPARE(st.GetText(1).value_or(QString()), QStringLiteral("Сыр «Российский» O'Brien"));
    }
};

QTEST_GUILESS_MAIN(TstDatabase)
#include "tst_database.moc"
