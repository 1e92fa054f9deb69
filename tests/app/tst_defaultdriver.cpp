// The default ODBC driver: the "SQL " driver with the highest DriverODBCVer, chosen from
// the real driver manager's list and from lists built here.
#include "app/varnetapp.h"

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
    // order, among drivers of higher versions whose names do not qualify.
    void fromTheDriverManager() {
        QCOMPARE(CVarnetApp::FindDefaultOdbcDriver(), QStringLiteral("SQL Server"));
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
