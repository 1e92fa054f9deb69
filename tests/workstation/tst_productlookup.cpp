// The product key with a typed code, against real catalogues on SQLite and PostgreSQL.
#include "democatalogue.h"
#include "platform/clock.h"
#include "support/messagerecorder.h"
#include "support/testdb.h"
#include "workstation/productlookup.h"

#include <QTest>

namespace {
democat::PluRow Row(int id, const QString& code, const QString& section) {
    democat::PluRow r;
    r.pluId = id;
    r.plu = code;
    r.sectionId = section;
    r.pluName = QStringLiteral("Товар %1").arg(code);
    r.price = 100.0 + id;
    r.sq = 0.0;
    return r;
}

const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 30, 15), Qt::LocalTime);
} // namespace

class TstProductLookup : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    // A catalogue with the rows the cases below ask for, section switch as given.
    AppSettings Catalogue(const QString& backend, int enableSection) {
        const AppSettings s = testdb::FreshDatabase(backend, QStringLiteral("lookup"), m_dir);
        platform::odbc::Connection db;
        db.Open(CVarnetApp::ConnectionString(s));
        democat::CreateSchema(db);
        democat::SetEnableSection(db, enableSection);
        QList<democat::PluRow> rows;
        rows << Row(1, QStringLiteral("007"), QStringLiteral("3"))
             << Row(2, QStringLiteral("7"), QStringLiteral("4"));
        democat::PluRow r = Row(3, QStringLiteral("30"), QStringLiteral("3"));
        r.sq = 1.0; // by the piece
        r.bHours = 48;
        r.bDate = QDateTime(QDate(2025, 3, 1), QTime(0, 0));
        rows << r;
        r = Row(4, QStringLiteral("40"), QStringLiteral("3"));
        r.sq = 2.0;
        r.bHours = 0;
        r.bDate = QDateTime(QDate(2025, 3, 1), QTime(0, 0));
        rows << r;
        r = Row(5, QStringLiteral("50"), QStringLiteral("3"));
        r.sq.reset();
        r.price.reset();
        r.pluName = QStringLiteral("Сельдь «Атлантическая»");
        r.info = QStringLiteral("Сельдь\rслабосолёная\rХранить при 0…+4 °C");
        rows << r;
        r = Row(6, QStringLiteral("60"), QStringLiteral("3"));
        r.bDate = QDateTime(QDate(2027, 1, 15), QTime(18, 45, 30));
        rows << r;
        democat::InsertRows(db, rows);
        return s;
    }

    static void Backends() {
        QTest::addColumn<QString>("backend");
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }

private Q_SLOTS:
    void lookup_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("price");
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<QDateTime>("bestBefore");
        QTest::addColumn<QString>("info");
        for (const QString& b : testdb::Backends()) {
            const QByteArray n = b.toUtf8() + ' ';
            QTest::newRow(n + "007 is not 7")
                << b << "007" << true << "Товар 007" << 101.0 << true << QDateTime() << "";
            QTest::newRow(n + "7 is not 007")
                << b << "7" << true << "Товар 7" << 102.0 << true << QDateTime() << "";
            QTest::newRow(n + "unknown")
                << b << "8" << false << "" << 0.0 << true << QDateTime() << "";
            QTest::newRow(n + "sq 1, hours win over the date")
                << b << "30" << true << "Товар 30" << 103.0 << false << kNow.addSecs(48 * 3600)
                << "";
            QTest::newRow(n + "sq 2, hours 0, the date")
                << b << "40" << true << "Товар 40" << 104.0 << true
                << QDateTime(QDate(2025, 3, 1), QTime(0, 0), Qt::LocalTime) << "";
            QTest::newRow(n + "NULLs, Cyrillic")
                << b << "50" << true << "Сельдь «Атлантическая»" << 0.0 << true << QDateTime()
                << "Сельдь\rслабосолёная\rХранить при 0…+4 °C";
            QTest::newRow(n + "date to the second")
                << b << "60" << true << "Товар 60" << 106.0 << true
                << QDateTime(QDate(2027, 1, 15), QTime(18, 45, 30), Qt::LocalTime) << "";
        }
    }
    void lookup() {
        QFETCH(QString, backend);
        QFETCH(QString, code);
        QFETCH(bool, found);
        QFETCH(QString, name);
        QFETCH(double, price);
        QFETCH(bool, weighed);
        QFETCH(QDateTime, bestBefore);
        QFETCH(QString, info);
        platform::ScopedFixedClock clock(kNow);
        CVarnetApp app;
        app.m_settings = Catalogue(backend, 0);
        CScreenState state(app.m_settings);
        state.ShowProduct({QStringLiteral("1"), QStringLiteral("old"), {}, 5.0, false, kNow});
        QCOMPARE(LookupProduct(app, state, code), found);
        const CurrentProduct& p = state.m_product;
        QCOMPARE(p.m_strCode, found ? code : QString());
        QCOMPARE(p.m_strName, name);
        QCOMPARE(p.m_dPrice, price);
        QCOMPARE(p.m_bWeighed, weighed);
        QCOMPARE(p.m_stBestBefore, bestBefore);
        QCOMPARE(p.m_strInfo, info);
    }

    // With sections on, the setting is trimmed for good, and only its section's rows count.
    void section_data() { Backends(); }
    void section() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Catalogue(backend, 1);
        app.m_settings.SectionID = QStringLiteral(" 3 ");
        QVERIFY(app.ConnectDatabase());
        QVERIFY(LookupStatement(app, QStringLiteral("7"))
                    .endsWith(QLatin1String("WHERE plu = '7' AND sectionId = '3'")));
        QCOMPARE(app.m_settings.SectionID, QStringLiteral("3"));
        CScreenState state(app.m_settings);
        QVERIFY(LookupProduct(app, state, QStringLiteral("007")));
        QVERIFY(!LookupProduct(app, state, QStringLiteral("7")));
        // A quote in the setting is a text character, not the end of the literal.
        app.m_settings.SectionID = QStringLiteral("3' OR '1'='1");
        QVERIFY(!LookupProduct(app, state, QStringLiteral("7")));
    }

    void statementText() {
        CVarnetApp app;
        QCOMPARE(LookupStatement(app, QStringLiteral("0012")),
                 QStringLiteral("SELECT pluName, price, sq, info, bHours, bDate FROM plu WHERE "
                                "plu = '0012'"));
    }

    // A catalogue with a tare column gives each product its preset tare in kilograms (none
    // for NULL, zero or below); one without the column gives the products it always gave. The
    // column is looked for once per connection: one added meanwhile counts from the next.
    void presetTare_data() { Backends(); }
    void presetTare() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Catalogue(backend, 0);
        QVERIFY(app.ConnectDatabase());
        QVERIFY(!app.CatalogueHasTare());
        CScreenState state(app.m_settings);
        QVERIFY(LookupProduct(app, state, QStringLiteral("007")));
        QCOMPARE(state.m_product.m_strName, QStringLiteral("Товар 007"));
        QCOMPARE(state.m_product.m_dPrice, 101.0);
        QCOMPARE(state.m_product.m_dTare, 0.0);
        {
            platform::odbc::Connection db;
            db.Open(CVarnetApp::ConnectionString(app.m_settings));
            democat::Exec(db, QStringLiteral("ALTER TABLE plu ADD tare NUMERIC(9, 3)"));
            democat::Exec(db, QStringLiteral("UPDATE plu SET tare = 0.125 WHERE plu = '007'"));
            democat::Exec(db, QStringLiteral("UPDATE plu SET tare = -0.2 WHERE plu = '30'"));
        }
        QVERIFY(LookupProduct(app, state, QStringLiteral("007")));
        QCOMPARE(state.m_product.m_dTare, 0.0);
        app.m_db.Close();
        QVERIFY(app.ConnectDatabase());
        QVERIFY(app.CatalogueHasTare());
        const QList<std::pair<QString, double>> tares{{QStringLiteral("007"), 0.125},
                                                      {QStringLiteral("7"), 0.0},
                                                      {QStringLiteral("30"), 0.0}};
        for (const auto& [code, tare] : tares) {
            QVERIFY(LookupProduct(app, state, code));
            QCOMPARE(state.m_product.m_strCode, code);
            QCOMPARE(state.m_product.m_dTare, tare);
            // The product the search list gives gets the same tare.
            QCOMPARE(ReadPresetTare(app, code), tare);
        }
        QCOMPARE(state.m_product.m_strName, QStringLiteral("Товар 30"));
        QVERIFY(!state.m_product.m_bWeighed);
    }

    void tareStatementText() {
        CVarnetApp app;
        QCOMPARE(TareStatement(app, QStringLiteral("O'12")),
                 QStringLiteral("SELECT tare FROM plu WHERE plu = 'O''12'"));
    }

    // A failed lookup leaves no product and says so on the screen; the typed number ends.
    void notFoundOnScreen_data() { Backends(); }
    void notFoundOnScreen() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Catalogue(backend, 0);
        app.m_settings.Penny = true;
        CScreenState state(app.m_settings);
        state.AppendKey(QStringLiteral("9"));
        QVERIFY(!OnTypedProductKey(app, state));
        QVERIFY(state.m_product.m_strCode.isEmpty());
        QCOMPARE(state.GetDisplays().name, QStringLiteral("Товар не найден"));
        QCOMPARE(state.GetDisplays().weight, QStringLiteral("0.000 "));
        QCOMPARE(state.GetDisplays().price, QStringLiteral("0.00 "));
        QVERIFY(!state.m_bEntryActive);
        state.AppendKey(QStringLiteral("3"));
        state.AppendKey(QStringLiteral("0"));
        QVERIFY(OnTypedProductKey(app, state));
        QCOMPARE(state.GetDisplays().weightHeader, QStringLiteral("Количество"));
        QCOMPARE(state.GetDisplays().weight, QStringLiteral("1 "));
        QCOMPARE(state.GetDisplays().price, QStringLiteral("103.00 "));
        QCOMPARE(state.ScalePrice(), 10300LL);
    }

    // A query that the database refuses ends the key's action with the driver's error; the
    // product is gone by then, the typed number stays.
    void databaseErrorPropagates_data() { Backends(); }
    void databaseErrorPropagates() {
        QFETCH(QString, backend);
        CVarnetApp app;
        app.m_settings = Catalogue(backend, 0);
        QVERIFY(app.ConnectDatabase());
        democat::Exec(app.m_db, QStringLiteral("DROP TABLE plu"));
        CScreenState state(app.m_settings);
        state.ShowProduct({QStringLiteral("1"), QStringLiteral("old"), {}, 5.0, true, {}});
        state.AppendKey(QStringLiteral("7"));
        QVERIFY_THROWS_EXCEPTION(platform::odbc::DatabaseError, OnTypedProductKey(app, state));
        QVERIFY(state.m_product.m_strCode.isEmpty());
        QCOMPARE(state.GetDisplays().name, QStringLiteral("old"));
        QVERIFY(state.m_bEntryActive);
    }

    // Without a connection the lookup finds nothing, after the connection's own message.
    void noConnection() {
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = testdb::UnreachableServer();
        CScreenState state(app.m_settings);
        state.AppendKey(QStringLiteral("7"));
        QVERIFY(!OnTypedProductKey(app, state));
        QCOMPARE(messages.Messages().size(), 1);
        QCOMPARE(state.GetDisplays().name, QStringLiteral("Товар не найден"));
    }
};

QTEST_GUILESS_MAIN(TstProductLookup)
#include "tst_productlookup.moc"
