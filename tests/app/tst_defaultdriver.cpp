// The default ODBC driver: the "SQL " driver with the highest DriverODBCVer, chosen from
// the real driver manager's list and from lists built here.
#include "app/varnetapp.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

using platform::odbc::DriverInfo;

Q_DECLARE_METATYPE(QList<DriverInfo>)

namespace {
DriverInfo Driver(const char* description, std::initializer_list<const char*> attributes) {
    DriverInfo d;
    d.description = QString::fromUtf8(description);
    for (const char* a : attributes)
        d.attributes.append(QString::fromUtf8(a));
    return d;
}
} // namespace

class TstDefaultDriver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // odbcinst.ini in ODBCSYSINI lists two "SQL " drivers at 03.50 and 03.80 in either
    // order, among drivers of higher versions whose names do not qualify, and one of the
    // highest version whose library is not installed: never chosen, never offered.
    void fromTheDriverManager() {
        QCOMPARE(CVarnetApp::FindDefaultOdbcDriver(), QStringLiteral("SQL Server"));
        QStringList installed;
        for (const DriverInfo& d : platform::odbc::InstalledDrivers())
            installed.append(d.description);
        QVERIFY2(installed.contains(QStringLiteral("SQL Server 2099")),
                 qPrintable(installed.join(", ")));
        QStringList usable;
        for (const DriverInfo& d : platform::odbc::UsableDrivers())
            usable.append(d.description);
        installed.removeAll(QStringLiteral("SQL Server 2099"));
        QCOMPARE(usable, installed);
    }

    void libraryPresent_data() {
        QTest::addColumn<QStringList>("attributes");
        QTest::addColumn<bool>("present");
        QTest::newRow("in the driver manager's folder")
            << QStringList{"Driver=libsqlite3odbc.so"} << true;
        QTest::newRow("not installed") << QStringList{"Driver=libsqliteodbc-gone.so"} << false;
        QTest::newRow("full path")
            << QStringList{"Driver=" + QCoreApplication::applicationFilePath()} << true;
        QTest::newRow("full path, missing")
            << QStringList{"Setup=x.so", "Driver=/nonexistent/libdriver.so"} << false;
        QTest::newRow("no file named") << QStringList{"DriverODBCVer=03.80"} << true;
    }
    void libraryPresent() {
        QFETCH(QStringList, attributes);
        QFETCH(bool, present);
        QCOMPARE(platform::odbc::DriverLibraryPresent({QStringLiteral("X"), attributes}), present);
    }

    // A catalogue that is not set up (a first start: no driver, or one whose library is not
    // installed) is told in Russian with the way to the settings, never in the driver
    // manager's English, at every attempt.
    void notSetUpToldInRussian_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no driver") << ""
                                   << "не выбран драйвер ODBC";
        QTest::newRow("library not installed")
            << "SQL Server 2099"
            << "у драйвера ODBC «SQL Server 2099» не установлена его библиотека "
               "libvarnet-no-such-driver.so";
        QTest::newRow("driver not installed")
            << "Varnet No Such Driver"
            << "драйвер ODBC «Varnet No Such Driver» не установлен";
    }
    void notSetUpToldInRussian() {
        QFETCH(QString, driver);
        QFETCH(QString, problem);
        TestModuleDir dir;
        CVarnetApp app;
        app.m_settings.Driver = driver;
        app.m_settings.Database = dir.File(QStringLiteral("catalogue.db"));
        MessageRecorder messages;
        QVERIFY(!app.ConnectDatabase());
        QVERIFY(!app.ConnectDatabase());
        const QString expected = QStringLiteral("Каталог товаров не настроен: %1.\n\nОткройте "
                                                "настройки клавишей с шестерёнкой (или "
                                                "клавишей «*»), выберите драйвер ODBC, сервер и "
                                                "базу данных каталога и нажмите «ОК».")
                                     .arg(problem);
        QCOMPARE(messages.Texts(), (QStringList{expected, expected}));
        // Nothing was made in the driver's name.
        QVERIFY(!QFile::exists(app.m_settings.Database));
    }

    void choice_data() {
        QTest::addColumn<QList<DriverInfo>>("drivers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QList<DriverInfo>{} << "";
        QTest::newRow("higher version wins")
            << QList<DriverInfo>{Driver("SQL A", {"DriverODBCVer=03.50"}),
                                 Driver("SQL B", {"Driver=x", "DriverODBCVer=03.80"})}
            << "SQL B";
        QTest::newRow("first of equal versions")
            << QList<DriverInfo>{Driver("SQL A", {"DriverODBCVer=03.80"}),
                                 Driver("SQL B", {"DriverODBCVer=03.80"})}
            << "SQL A";
        QTest::newRow("prefix is case-sensitive with its space")
            << QList<DriverInfo>{Driver("SQLite3", {"DriverODBCVer=09.00"}),
                                 Driver("sql server", {"DriverODBCVer=09.00"}),
                                 Driver("SQL X", {"DriverODBCVer=01.00"})}
            << "SQL X";
        QTest::newRow("no version is never chosen")
            << QList<DriverInfo>{Driver("SQL A", {"Driver=x"}),
                                 Driver("SQL B", {"DriverODBCVer=0"}),
                                 Driver("SQL C", {"DriverODBCVer=junk"})}
            << "";
        QTest::newRow("version read from its leading number")
            << QList<DriverInfo>{Driver("SQL A", {"DriverODBCVer=02.50"}),
                                 Driver("SQL B", {"DriverODBCVer=03.00 beta"})}
            << "SQL B";
    }
    void choice() {
        QFETCH(QList<DriverInfo>, drivers);
        QFETCH(QString, expected);
        QCOMPARE(CVarnetApp::ChooseDefaultOdbcDriver(drivers), expected);
    }
};

QTEST_GUILESS_MAIN(TstDefaultDriver)
#include "tst_defaultdriver.moc"
