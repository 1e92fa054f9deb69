// Connection strings that carry a connection and nothing else, whatever a driver's own parser
// makes of them: only known keys, each once, and no value that a driver could split into an
// attribute of its own. Played against the real drivers with a library that leaves a mark
// when anything loads it.
#include "app/varnetapp.h"
#include "journal/centralsettings.h"
#include "platform/connectionstring.h"
#include "platform/inifile.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using platform::odbc::DatabaseError;

namespace {

const QString kAllowed = QStringLiteral(
    "Допустимые ключи: Driver, DSN, Server, Port, Database, UID, PWD, Trusted_Connection, "
    "SSLmode, Encrypt, TrustServerCertificate, NoCreat, Protocol.");

// The text of the refusal, or empty with the string as the drivers get it in *taken.
QString Refusal(const std::function<QString()>& compose, QString* taken = nullptr) {
    try {
        const QString cs = compose();
        if (taken)
            *taken = cs;
        return QString();
    } catch (const DatabaseError& e) {
        return e.Text();
    }
}

} // namespace

class TstConnectionString : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_canary; // the file the canary library writes when it is loaded

    QString CanaryLibrary() const { return QStringLiteral(VARNET_CANARY_LIBRARY); }
    bool CanaryLoaded() const { return QFile::exists(m_canary); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_canary = m_dir.filePath(QStringLiteral("canary"));
        qputenv("VARNET_CANARY", QFile::encodeName(m_canary));
        QVERIFY(QFile::exists(CanaryLibrary()));
    }
    void init() { QFile::remove(m_canary); }

    void checked_data() {
        QTest::addColumn<QString>("cs");
        QTest::addColumn<QString>("expected"); // the string taken, or the start of the refusal
        QTest::newRow("the README's PostgreSQL string")
            << "Driver={PostgreSQL Unicode};Server=hq.example;Port=5432;Database=shop;UID=varnet;"
               "PWD=secret"
            << "Driver={PostgreSQL Unicode};Server=hq.example;Port=5432;Database=shop;UID=varnet;"
               "PWD=secret";
        QTest::newRow("keys in any case, spaces and empty pieces dropped")
            << " driver = SQL Server ;;server=hq\\kassa,1433;pwd=p@ss w=rd;TRUSTED_CONNECTION=No;"
            << "driver={ SQL Server };server=hq\\kassa,1433;pwd=p@ss w=rd;TRUSTED_CONNECTION=No";
        QTest::newRow("psqlODBC's protocol, as the central journal's sender sets it")
            << "Driver={PostgreSQL Unicode};Server=hq;Database=shop;Protocol=7.4-1"
            << "Driver={PostgreSQL Unicode};Server=hq;Database=shop;Protocol=7.4-1";
        QTest::newRow("Cyrillic values")
            << "Driver=SQLite3;Database=/srv/склад/каталог.db;PWD=Пароль"
            << "Driver={SQLite3};Database=/srv/склад/каталог.db;PWD=Пароль";
        QTest::newRow("SQLite extension")
            << "Driver=SQLite3;Server=x;LoadExt=/var/lib/varnet/evil.so,"
            << "Строка подключения: ключ «LoadExt» не допускается в строке подключения. " +
                   kAllowed;
        QTest::newRow("extension braced into a value")
            << "Driver=SQLite3;Server={x;LoadExt=/var/lib/varnet/evil.so,}"
            << "Строка подключения: значение ключа «Server» содержит символ «;».";
        QTest::newRow("libpq options")
            << "Driver={PostgreSQL Unicode};Server=127.0.0.1;pqopt={sslkey=/var/lib/varnet/e.so:k}"
            << "Строка подключения: ключ «pqopt» не допускается";
        QTest::newRow("trace file") << "Driver=SQLite3;Tracefile=/etc/ld.so.preload"
                                    << "Строка подключения: ключ «Tracefile» не допускается";
        QTest::newRow("file data source") << "FILEDSN=/var/lib/varnet/x.dsn"
                                          << "Строка подключения: ключ «FILEDSN» не допускается";
        QTest::newRow("saved file data source")
            << "Driver=SQLite3;SAVEFILE=/etc/cron.d/x"
            << "Строка подключения: ключ «SAVEFILE» не допускается";
        QTest::newRow("a key twice") << "Driver=SQLite3;Database=/a.db;DATABASE=/etc/nologin"
                                     << "Строка подключения: ключ «Database» указан в строке "
                                        "подключения дважды.";
        QTest::newRow("line break")
            << QStringLiteral("Driver=SQLite3;Database=/a.db\nLoadExt=/e.so")
            << "Строка подключения: значение ключа «Database» содержит символ U+000A.";
        QTest::newRow("NUL") << QStringLiteral("Driver=SQLite3;Database=/a.db") + QChar(0) +
                                    QStringLiteral(";x")
                             << "Строка подключения: значение ключа «Database» содержит символ "
                                "U+0000.";
        QTest::newRow("a password in braces for psqlODBC, which reads them")
            << "Driver={PostgreSQL Unicode};UID=u;PWD={a;b}}c}"
            << "Driver={PostgreSQL Unicode};UID=u;PWD={a;b}}c}";
        QTest::newRow("a password in braces for the SQLite driver, which splits them")
            << "PWD={x;LoadExt=/e.so};Driver=SQLite3"
            << "Строка подключения: значение ключа «PWD» содержит символ «;».";
        QTest::newRow("a password in braces for an unknown driver")
            << "Driver=Nothing Registered;PWD={a;b}"
            << "Строка подключения: значение ключа «PWD» содержит символ «;».";
        QTest::newRow("closing brace") << "Driver=SQLite3;PWD=a}b"
                                       << "Строка подключения: значение ключа «PWD» содержит "
                                          "символ «}».";
    }
    void checked() {
        QFETCH(QString, cs);
        QFETCH(QString, expected);
        QString taken;
        const QString refusal =
            Refusal([&] { return platform::odbc::CheckedConnectionString(cs); }, &taken);
        if (refusal.isEmpty())
            QCOMPARE(taken, expected);
        else
            QVERIFY2(refusal.startsWith(expected), qPrintable(refusal));
        // The string taken is its own fixed point: what the drivers get passes again unchanged.
        if (refusal.isEmpty())
            QCOMPARE(platform::odbc::CheckedConnectionString(taken), taken);
    }

    // The settings' sections name the file and the key as the operator finds them there.
    void sectionsOfTheSettings_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("sql");     // start of [SQL]'s refusal; empty: taken
        QTest::addColumn<QString>("journal"); // the same for [Journal]
        QTest::newRow("plain") << QByteArray("[SQL]\nDriver=SQLite3\nServer=x\nDatabase=/c.db\n"
                                             "[Journal]\nDriver=PostgreSQL Unicode\nServer=hq\n")
                               << QString() << QString();
        QTest::newRow("a value that adds an attribute")
            << QByteArray("[SQL]\nDriver=SQLite3\nServer=x;LoadExt=/e.so\n"
                          "[Journal]\nDriver=SQLite3\nServer=x\nDatabase=/j.db;Tracefile=/x\n")
            << "Раздел [SQL] файла %1: значение ключа «Server» содержит символ «;»."
            << "Раздел [Journal] файла %1: значение ключа «Database» содержит символ «;».";
        QTest::newRow("a password with ; and } where braces are not read")
            << QByteArray("[SQL]\nDriver=SQLite3\nUser=sa\nPassword=a;b}c\n"
                          "[Journal]\nDriver=SQL Server\nServer=hq\nUser=u\nPassword=a;b}c\n")
            << "Раздел [SQL] файла %1: значение ключа «Password» содержит символ «;»."
            << "Раздел [Journal] файла %1: значение ключа «Password» содержит символ «;».";
        QTest::newRow("a password with ; and } for psqlODBC")
            << QByteArray("[SQL]\nDriver=PostgreSQL Unicode\nUser=sa\nPassword=a;b}c\n"
                          "[Journal]\nDriver=PostgreSQL Unicode\nServer=hq\nUser=u\n"
                          "Password={a;b}\n")
            << QString() << QString();
        QTest::newRow("a full string of the journal")
            << QByteArray("[Journal]\nConnect=Driver=SQLite3;Server={x;LoadExt=/e.so,}\n")
            << QString()
            << "Раздел [Journal] файла %1: значение ключа «Server» содержит символ «;».";
        QTest::newRow("a full string with a driver's own key")
            << QByteArray("[Journal]\nConnect=Driver={PostgreSQL Unicode};Server=hq;"
                          "pqopt={sslkey=/e.so}\n")
            << QString() << "Раздел [Journal] файла %1: ключ «pqopt» не допускается";
    }
    void sectionsOfTheSettings() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, sql);
        QFETCH(QString, journal);
        const QString path = m_dir.filePath(QStringLiteral("Varnet.ini"));
        const platform::CIniFile file = platform::CIniFile::FromBytes(ini, path);
        AppSettings s;
        s.Driver = file.ReadString(QStringLiteral("SQL"), QStringLiteral("Driver"), {}, 255);
        s.Server = file.ReadString(QStringLiteral("SQL"), QStringLiteral("Server"), {}, 255);
        s.Database = file.ReadString(QStringLiteral("SQL"), QStringLiteral("Database"), {}, 255);
        s.User = file.ReadString(QStringLiteral("SQL"), QStringLiteral("User"), {}, 255);
        s.Password = file.ReadString(QStringLiteral("SQL"), QStringLiteral("Password"), {}, 255);
        const QString sqlRefusal = Refusal([&] { return CVarnetApp::ConnectionString(s, path); });
        QVERIFY2(sql.isEmpty() ? sqlRefusal.isEmpty() : sqlRefusal.startsWith(sql.arg(path)),
                 qPrintable(sqlRefusal));
        const CentralJournalSettings central = CentralJournalSettings::Load(file);
        const QString journalRefusal = Refusal([&] { return central.ConnectionString(); });
        QVERIFY2(journal.isEmpty() ? journalRefusal.isEmpty()
                                   : journalRefusal.startsWith(journal.arg(path)),
                 qPrintable(journalRefusal));
    }

    // Root takes a connection only from a file that root alone can change: one that an
    // operator owns, or that an operators' group may write, or in a folder such, is refused
    // with what to do instead; a root-owned file in a sticky folder like /tmp is root's alone.
    void rootTakesOnlyWhatRootAloneChanges_data() {
        QTest::addColumn<QString>("file");   // below the test's folder (root's, 0755)
        QTest::addColumn<QString>("setup");  // owner:group:mode of the file, "-" for none
        QTest::addColumn<QString>("folder"); // the same for the folder it lies in
        QTest::addColumn<bool>("taken");
        QTest::newRow("root's file") << "a/Varnet.ini"
                                     << "0:0:0600"
                                     << "0:0:0755" << true;
        QTest::newRow("written by root's group") << "a/Varnet.ini"
                                                 << "0:0:0660"
                                                 << "0:0:2770" << true;
        QTest::newRow("an operator's file") << "a/Varnet.ini"
                                            << "65534:0:0600"
                                            << "0:0:0755" << false;
        QTest::newRow("the operators' group may write it") << "a/Varnet.ini"
                                                           << "0:65534:0660"
                                                           << "0:0:0755" << false;
        QTest::newRow("in the operators' folder") << "a/Varnet.ini"
                                                  << "0:0:0600"
                                                  << "0:65534:2770" << false;
        QTest::newRow("missing, in root's folder") << "a/Varnet.ini"
                                                   << "-"
                                                   << "0:0:0755" << true;
        QTest::newRow("missing, in a folder anybody writes") << "a/Varnet.ini"
                                                             << "-"
                                                             << "0:0:0777" << false;
        QTest::newRow("in a sticky folder anybody writes") << "a/Varnet.ini"
                                                           << "0:0:0600"
                                                           << "0:0:1777" << true;
    }
    void rootTakesOnlyWhatRootAloneChanges() {
        QFETCH(QString, file);
        QFETCH(QString, setup);
        QFETCH(QString, folder);
        QFETCH(bool, taken);
        if (::geteuid() != 0)
            QSKIP("the refusal is root's");
        QTemporaryDir dir;
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        const QString path = dir.filePath(file);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const auto apply = [](const QString& p, const QString& how) {
            const QStringList f = how.split(QLatin1Char(':'));
            return ::chown(QFile::encodeName(p).constData(), f[0].toUInt(), f[1].toUInt()) == 0 &&
                   ::chmod(QFile::encodeName(p).constData(), f[2].toUInt(nullptr, 8)) == 0;
        };
        if (setup != QLatin1String("-")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[SQL]\nDriver=SQLite3\nServer=x\n");
            f.close();
            QVERIFY(apply(path, setup));
        }
        QVERIFY(apply(QFileInfo(path).path(), folder));
        AppSettings s;
        s.Driver = QStringLiteral("SQLite3");
        s.Server = QStringLiteral("x");
        const QString refusal = Refusal([&] { return CVarnetApp::ConnectionString(s, path); });
        if (taken) {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        } else {
            QVERIFY2(refusal.startsWith(QStringLiteral("Программа запущена от имени root и не "
                                                       "берёт строку подключения из файла %1: его "
                                                       "могут изменить другие пользователи (")
                                            .arg(path)),
                     qPrintable(refusal));
            QVERIFY(refusal.endsWith(QStringLiteral("Запустите программу от имени оператора "
                                                    "прилавка или укажите ей файл, который может "
                                                    "изменять только root (varnet-journal: --ini "
                                                    "ФАЙЛ).")));
        }
    }

    // The attacks on the SQLite driver, which splits values at ";" and knows no braces: the
    // library is never loaded. The first row shows that the driver itself would load it.
    void sqliteDriverLoadsNothing_data() {
        QTest::addColumn<QString>("cs");
        QTest::addColumn<bool>("direct"); // handed to the driver manager without our checks
        const QString db = QDir::tempPath() + QStringLiteral("/varnet-cs-%1.db");
        const QString lib = QStringLiteral(VARNET_CANARY_LIBRARY);
        QTest::newRow("the driver loads what it is given")
            << QStringLiteral("Driver=SQLite3;Database=%1;LoadExt=%2").arg(db.arg(1), lib) << true;
        QTest::newRow("in a value")
            << QStringLiteral("Driver=SQLite3;Server={x;LoadExt=%2,};Database=%1")
                   .arg(db.arg(2), lib)
            << false;
        QTest::newRow("a key of its own")
            << QStringLiteral("Driver=SQLite3;Database=%1;LoadExt=%2").arg(db.arg(3), lib) << false;
        // A character whose low byte is ";" (U+013B): a driver manager that cuts wide characters
        // to their low byte for a narrow driver would pass it as ";".
        QTest::newRow("a wide character cut to ;")
            << QStringLiteral("Driver=SQLite3;Database=%1") + QChar(0x013B) +
                   QStringLiteral("LoadExt=%2").arg(db.arg(4), lib)
            << false;
    }
    void sqliteDriverLoadsNothing() {
        QFETCH(QString, cs);
        QFETCH(bool, direct);
        if (direct) {
            SQLHDBC h = SQL_NULL_HDBC;
            SQLAllocHandle(SQL_HANDLE_DBC, platform::odbc::Environment(), &h);
            platform::odbc::DriverConnect(h, cs);
            SQLDisconnect(h);
            SQLFreeHandle(SQL_HANDLE_DBC, h);
            QVERIFY2(CanaryLoaded(), "the canary library does not show a load");
            return;
        }
        platform::odbc::Connection db;
        try {
            db.Open(cs);
        } catch (const DatabaseError&) {
        }
        QVERIFY2(!CanaryLoaded(), "the planted library was loaded");
    }

    // Values in Cyrillic reach both drivers whole: a catalogue file with a Cyrillic name, a
    // PostgreSQL database of a Cyrillic name.
    void cyrillicValuesArriveWhole_data() {
        QTest::addColumn<QString>("backend");
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }
    void cyrillicValuesArriveWhole() {
        QFETCH(QString, backend);
        AppSettings s = testdb::FreshDatabase(backend, QStringLiteral("кириллица"), m_dir);
        if (backend == QLatin1String("sqlite")) {
            const QString cyrillic = m_dir.filePath(QStringLiteral("Каталог Ёлки.db"));
            QVERIFY(QFile::rename(s.Database, cyrillic));
            s.Database = cyrillic;
        }
        platform::odbc::Connection db;
        db.Open(CVarnetApp::ConnectionString(s));
        platform::odbc::Statement st(db);
        st.ExecDirect(backend == QLatin1String("sqlite")
                          ? QStringLiteral("PRAGMA database_list")
                          : QStringLiteral("SELECT current_database()"));
        QVERIFY(st.Fetch());
        const QString name =
            st.GetText(backend == QLatin1String("sqlite") ? 3 : 1).value_or(QString());
        QCOMPARE(name, s.Database);
    }
};

QTEST_GUILESS_MAIN(TstConnectionString)
#include "tst_connectionstring.moc"
