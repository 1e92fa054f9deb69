// Price search: a typed start of digits is looked up as ranges of prices rather than by
// reading the price index from the cheapest price; the rows it lists, their order and their
// count must be exactly those of matching each price's text, as the database writes it, on
// SQLite and PostgreSQL, block by block and from the end of the list as from its start.
#include "catalogfixture.h"
#include "catalogue/ctableplu.h"
#include "numbertext.h"

#include <QTest>

#include <map>
#include <memory>

namespace {

struct Price {
    const char* value; // the literal stored, so that no rounding of ours comes between
    const char* name;
};

// Prices on both sides of every range edge: the tenfold ranges of "12", a text rounded up
// to the next whole number (11.999999999999998 is "12.0" on SQLite), texts in powers of ten
// below 0.0001 and from a million up, negative, zero, equal prices told apart by name.
const Price kPrices[] = {
    {"12", "Б"},
    {"12", "А"},
    {"12.5", "В"},
    {"12.99", "Г"},
    {"13", "Д"},
    {"11.99", "Е"},
    {"11.999999999999998", "Ж"},
    {"120", "З"},
    {"129.99", "И"},
    {"130", "К"},
    {"1200", "Л"},
    {"1299.5", "М"},
    {"12000", "Н"},
    {"125000.5", "О"},
    {"129999.99", "П"},
    {"999999.5", "Р"},
    {"1200000", "С"},
    {"12345678", "Т"},
    {"0.000012", "У"},
    {"0.00012", "Ф"},
    {"0.12", "Х"},
    {"0", "Ц"},
    {"-12", "Ч"},
    {"1e15", "Ш"},
    {"1.2e20", "Щ"},
    {"5", "Э"},
    {"NULL", "Ю"},
};

} // namespace

class TstPriceSearch : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<CVarnetApp>> m_apps;

    // The codes whose price text the database itself matches with pattern, in the price
    // order, as one plain statement reads them.
    static QStringList Expected(CVarnetApp& app, const QString& pattern) {
        const bool pg = app.DatabaseDialect() == platform::odbc::Dialect::PostgreSQL;
        QString quoted = pattern;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        platform::odbc::Statement st(app.m_db);
        st.ExecDirect(QStringLiteral("SELECT plu FROM plu WHERE CAST(price AS TEXT) LIKE '%1'%2 "
                                     "ORDER BY price, pluName, pluId")
                          .arg(quoted, pg ? QStringLiteral(" ESCAPE ''") : QString()));
        QStringList codes;
        while (st.Fetch())
            codes.append(st.GetText(1).value_or(QString()));
        return codes;
    }

    // The codes the search lists, read in blocks of three from wherever the window is sent.
    static QStringList Listed(CTablePlu& t) {
        QStringList codes;
        for (int start = 0; start < t.m_nRowCount; start += 3) {
            t.Move(start + 1, SQL_FETCH_ABSOLUTE);
            for (int k = 0; k < static_cast<int>(t.GetRowsFetched()); ++k)
                codes.append(CTablePlu::TextAt(t.m_plu, t.m_pluLength, CTablePlu::kPluWidth, k));
        }
        return codes;
    }

private Q_SLOTS:
    void initTestCase() {
        QList<democat::PluRow> rows;
        int id = 0;
        for (const Price& p : kPrices) {
            ++id;
            rows << catfix::Row(id, QString::number(id), QString::fromUtf8(p.name), 1.0);
        }
        for (const QString& b : testdb::Backends()) {
            auto app = std::make_unique<CVarnetApp>();
            QVERIFY(catfix::Open(*app, b, QStringLiteral("prices"), m_dir, rows));
            id = 0;
            for (const Price& p : kPrices) {
                platform::odbc::Statement st(app->m_db);
                st.ExecDirect(QStringLiteral("UPDATE plu SET price = %1 WHERE pluId = %2")
                                  .arg(QLatin1String(p.value))
                                  .arg(++id));
            }
            m_apps[b] = std::move(app);
        }
    }

    // One table per back end, typed a character at a time as at the counter, so that the
    // statements change between ranges and the plain match as the text does.
    void typedPrices() {
        const QStringList typed = {QString(),
                                   QStringLiteral("1"),
                                   QStringLiteral("12"),
                                   QStringLiteral("12."),
                                   QStringLiteral("12.5"),
                                   QStringLiteral("12"),
                                   QStringLiteral("120"),
                                   QStringLiteral("1200000"),
                                   QStringLiteral("9"),
                                   QStringLiteral("5"),
                                   QStringLiteral("0"),
                                   QStringLiteral("%5"),
                                   QStringLiteral("1234567890123456"),
                                   QStringLiteral("12")};
        for (const QString& b : testdb::Backends()) {
            CVarnetApp& app = *m_apps.at(b);
            CTablePlu t(app.m_db, app.DatabaseDialect());
            t.SetSearchOrder(2);
            t.SetRowsetSize(3);
            t.Open();
            for (const QString& text : typed) {
                const QString pattern = text + QLatin1Char('%');
                t.m_strFilterParam = pattern;
                t.Requery();
                const QStringList expected = Expected(app, pattern);
                const QString where = b + QStringLiteral(" \"") + text + QStringLiteral("\": ");
                const QStringList listed = Listed(t);
                QVERIFY2(listed == expected,
                         qPrintable(where + listed.join(' ') + " / " + expected.join(' ')));
                QVERIFY2(t.m_nRowCount == expected.size(), qPrintable(where));
                // The count the list's thread runs is its own statement.
                platform::odbc::Statement count(app.m_db);
                count.ExecDirect(t.CountStatement());
                QVERIFY(count.Fetch());
                QVERIFY2(count.GetInt(1) == expected.size(), qPrintable(where));
                // Digits go to the ranges; anything else to the one condition.
                double prefix = 0;
                const QByteArray utf8 = pattern.toUtf8();
                const bool ranges = russiantext::PricePrefix(
                    reinterpret_cast<const unsigned char*>(utf8.constData()),
                    static_cast<int>(utf8.size()), &prefix);
                QCOMPARE(t.GetRowSQL().contains(QLatin1String("UNION ALL")), ranges);
            }
        }
    }

    void pricePrefix_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("prefix"); // -1: not a start of digits
        QTest::newRow("digits") << "12%" << 12.0;
        QTest::newRow("fifteen digits") << "123456789012345%" << 123456789012345.0;
        QTest::newRow("sixteen digits") << "1234567890123456%" << -1.0;
        QTest::newRow("leading zero") << "05%" << -1.0;
        QTest::newRow("zero") << "0%" << -1.0;
        QTest::newRow("point") << "12.%" << -1.0;
        QTest::newRow("wildcard inside") << "1_%" << -1.0;
        QTest::newRow("no wildcard") << "12" << -1.0;
        QTest::newRow("two wildcards") << "12%%" << -1.0;
        QTest::newRow("nothing typed") << "%" << -1.0;
    }
    void pricePrefix() {
        QFETCH(QString, pattern);
        QFETCH(double, prefix);
        const QByteArray utf8 = pattern.toUtf8();
        double got = -1;
        const bool ok =
            russiantext::PricePrefix(reinterpret_cast<const unsigned char*>(utf8.constData()),
                                     static_cast<int>(utf8.size()), &got);
        QCOMPARE(ok, prefix >= 0);
        if (ok)
            QCOMPARE(got, prefix);
    }
};

QTEST_GUILESS_MAIN(TstPriceSearch)
#include "tst_pricesearch.moc"
