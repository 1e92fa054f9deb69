// The record set's block window on the real drivers (SQLite file, PostgreSQL server): which
// block serves a row, short blocks at the end, empty results, patterns with quotes, texts
// cut to their widths, and errors of the database reaching the caller.
#include "catalogfixture.h"
#include "catalogue/ctableplu.h"
#include "catalogue/plusql.h"

#include <QTest>

#include <map>
#include <memory>

using platform::odbc::DatabaseError;

namespace {
const QString kNumbered = QStringLiteral("sectionId = '01'");
const QString kSpecial = QStringLiteral("sectionId = '99'");
const QString kLongName = QString(70, QChar(0x0416)); // "ЖЖЖ…", 70 characters
// A result of many blocks whose rows tie on every visible sort key (pairs of codes, triples
// of barcodes, seven names, nine prices) and some NULL names, which sort at one end.
const QString kTies = QStringLiteral("sectionId = '07'");
constexpr int kTieRows = 1000;
const QString kCases = QStringLiteral("sectionId = '08'");
// A section ID that looks like placeholders of a statement template.
const QString kPercentSection = QStringLiteral("%1%2");
constexpr int kPercentRows = 250;
} // namespace

class TstGridRowset : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<CVarnetApp>> m_apps;

    CVarnetApp& App(const QString& backend) { return *m_apps.at(backend); }

    std::unique_ptr<CTablePlu> OpenTable(const QString& backend, const QString& baseFilter,
                                         int order, const QString& pattern,
                                         bool countLater = false) {
        CVarnetApp& app = App(backend);
        auto t = std::make_unique<CTablePlu>(app.m_db, app.DatabaseDialect());
        t->m_strBaseFilter = baseFilter;
        t->SetSearchOrder(order);
        t->m_strFilterParam = pattern;
        t->SetRowsetSize(100);
        t->SetCountLater(countLater);
        t->Open();
        return t;
    }

    static QString Code(const CTablePlu& t, int row) {
        return CTablePlu::TextAt(t.m_plu, t.m_pluLength, CTablePlu::kPluWidth, row - t.m_nFirstRow);
    }
    static QString Name(const CTablePlu& t, int row) {
        return CTablePlu::TextAt(t.m_pluName, t.m_pluNameLength, CTablePlu::kPluNameWidth,
                                 row - t.m_nFirstRow);
    }

private Q_SLOTS:
    void initTestCase() {
        QList<democat::PluRow> rows = catfix::Numbered(200);
        int id = 1000;
        for (const QString& name :
             {QStringLiteral("O'Brien Сыр"), QStringLiteral("O'Brien Колбаса"),
              QStringLiteral("O'Brien"), QStringLiteral("OBrien")}) {
            ++id;
            democat::PluRow r = catfix::Row(id, QString::number(id), name, 1.0);
            r.sectionId = QStringLiteral("99");
            rows.append(r);
        }
        ++id;
        democat::PluRow longRow = catfix::Row(id, QString::number(id), kLongName, 1.0);
        longRow.sectionId = QStringLiteral("99");
        longRow.info = QString(1100, QLatin1Char('i'));
        longRow.atr = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        rows.append(longRow);
        for (int i = 0; i < kTieRows; ++i) {
            democat::PluRow r = catfix::Row(5001 + i, QString::number(300 + i / 2),
                                            QStringLiteral("Набор %1").arg(i % 7), 5.0 + i % 9);
            if (i % 50 == 7)
                r.pluName.reset();
            r.barCode = QString::number(1000 + i / 3);
            r.sectionId = QStringLiteral("07");
            rows.append(r);
        }
        int caseId = 7000;
        for (const char* name : {"cheese", "Chorizo", "Cheddar", "Сыр", "сметана"}) {
            ++caseId;
            democat::PluRow r =
                catfix::Row(caseId, QString::number(caseId), QString::fromUtf8(name), 1.0);
            r.sectionId = QStringLiteral("08");
            rows.append(r);
        }
        for (int i = 0; i < kPercentRows; ++i) {
            democat::PluRow r = catfix::Row(8001 + i, QString::number(8001 + i),
                                            QStringLiteral("Проба %1").arg(i), 1.0);
            r.sectionId = kPercentSection;
            rows.append(r);
        }
        for (const QString& b : testdb::Backends()) {
            auto app = std::make_unique<CVarnetApp>();
            QVERIFY(catfix::Open(*app, b, QStringLiteral("rowset"), m_dir, rows));
            m_apps[b] = std::move(app);
        }
    }

    void window_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("matching");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        for (const QString& b : testdb::Backends()) {
            const QByteArray n = b.toUtf8();
            QTest::newRow(n + " 39: block at 0") << b << 200 << 39 << 0 << 99;
            QTest::newRow(n + " 89: block at 0") << b << 200 << 89 << 0 << 99;
            QTest::newRow(n + " 90: block at 50") << b << 200 << 90 << 50 << 149;
            QTest::newRow(n + " 140: block at 100") << b << 200 << 140 << 100 << 199;
            QTest::newRow(n + " 199: short last block") << b << 200 << 199 << 150 << 199;
            QTest::newRow(n + " 94 of 95: 45 rows") << b << 95 << 94 << 50 << 94;
        }
    }
    // Every block entry k holds result row first + k: codes are 1.. in code order.
    void window() {
        QFETCH(QString, backend);
        QFETCH(int, matching);
        QFETCH(int, row);
        QFETCH(int, first);
        QFETCH(int, last);
        const QString filter = kNumbered + QStringLiteral(" AND pluId <= %1").arg(matching);
        auto t = OpenTable(backend, filter, 0, QStringLiteral("%"));
        QCOMPARE(t->m_nRowCount, matching);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, qMin(99, matching - 1));
        // From the far end, so every case really moves the block.
        t->EnsureRowCached(matching - 1);
        t->EnsureRowCached(0);
        t->EnsureRowCached(row);
        QCOMPARE(t->m_nFirstRow, first);
        QCOMPARE(t->m_nLastRow, last);
        QCOMPARE(int(t->GetRowsFetched()), last - first + 1);
        for (int r = first; r <= last; ++r)
            QCOMPARE(Code(*t, r), QString::number(r + 1));
    }

    // The window walked over a result of twenty blocks, forwards, backwards and by jumps,
    // holds exactly the rows one plain statement lists, in its order: ties included, and
    // blocks at the far end read from that end.
    // Every block, wherever it is read from: the start, the end, or (on PostgreSQL, with
    // places found every seven rows among values that repeat) the nearest place before it.
    void walkManyBlocks_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("anchors");
        for (const QString& b : testdb::Backends())
            for (int order = 0; order < 4; ++order) {
                QTest::newRow(qPrintable(b + QStringLiteral(" order %1").arg(order)))
                    << b << order << false;
                // Names and prices; codes and barcodes sort by their length first.
                if (b != QLatin1String("sqlite") && (order == 1 || order == 2))
                    QTest::newRow(qPrintable(b + QStringLiteral(" order %1 places").arg(order)))
                        << b << order << true;
            }
    }
    void walkManyBlocks() {
        QFETCH(QString, backend);
        QFETCH(int, order);
        QFETCH(bool, anchors);
        auto t = OpenTable(backend, kTies, order, QStringLiteral("%"));
        if (anchors) {
            t->SetAnchorSpacing(7);
            const QList<CGridRowset::Anchor> places =
                CGridRowset::ReadAnchors(App(backend).m_db, t->AnchorStatement());
            QVERIFY(places.size() > 100);
            t->SetAnchors(places);
        }
        QList<int> expected;
        {
            QString sql = t->GetRowSQL();
            sql.replace(QLatin1Char('?'), QStringLiteral("'%'"));
            platform::odbc::Statement st(App(backend).m_db);
            st.SetReadOnly();
            st.ExecDirect(sql);
            while (st.Fetch())
                expected.append(int(st.GetInt(1).value_or(-1)));
        }
        const int n = int(expected.size());
        QCOMPARE(t->m_nRowCount, n);
        QVERIFY(n > 900);
        QList<int> rows;
        for (int r = 0; r < n; ++r)
            rows.append(r);
        for (int r = n - 1; r >= 0; --r)
            rows.append(r);
        rows << n - 1 << 0 << n / 2 << 90 << n - 40 << 140 << n - 1 << 39 << n - 101 << 0;
        for (int row : rows) {
            t->EnsureRowCached(row);
            const int start = qMax(0, 50 * ((row + 10) / 50) - 50);
            QCOMPARE(t->m_nFirstRow, start);
            QCOMPARE(t->m_nLastRow, qMin(start + 99, n - 1));
            const int length = t->m_nLastRow - t->m_nFirstRow + 1;
            QCOMPARE(int(t->GetRowsFetched()), length);
            const QList<int> block(t->m_pluId, t->m_pluId + length);
            QCOMPARE(block, expected.mid(start, length));
        }
    }

    // Names are listed as blind to case as they are matched, Cyrillic letters included, so
    // one index serves both.
    void nameOrderAndCase_data() {
        catfix::AddBackends();
        QTest::addColumn<QStringList>("names");
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8())
                << b << QStringList{"Cheddar", "cheese", "Chorizo", "сметана", "Сыр"};
    }
    void nameOrderAndCase() {
        QFETCH(QString, backend);
        QFETCH(QStringList, names);
        auto t = OpenTable(backend, kCases, 1, QStringLiteral("%"));
        QStringList listed;
        for (int r = 0; r < t->m_nRowCount; ++r)
            listed.append(Name(*t, r));
        QCOMPARE(listed, names);
    }

    // Counting later: the rows known grow block by block and are exact once a block comes
    // back short; a count handed in makes them the total; the window never holds a row
    // outside the result.
    void countLater_data() {
        catfix::AddBackends();
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }
    void countLater() {
        QFETCH(QString, backend);
        auto t = OpenTable(backend, kNumbered, 0, QStringLiteral("%"), true);
        QVERIFY(t->CountsLater());
        QCOMPARE(t->m_nRowCount, 100);
        QVERIFY(!t->CountKnown());
        t->EnsureRowCached(90);
        QCOMPARE(t->m_nFirstRow, 50);
        QCOMPARE(t->m_nRowCount, 150);
        t->EnsureRowCached(140);
        QCOMPARE(t->m_nRowCount, 200);
        QVERIFY(!t->CountKnown());
        t->EnsureRowCached(190);
        QCOMPARE(t->m_nFirstRow, 150);
        QCOMPARE(t->m_nLastRow, 199);
        QCOMPARE(Code(*t, 199), QStringLiteral("200"));
        QVERIFY(t->CountKnown());
        QCOMPARE(t->m_nRowCount, 200);

        // A result that ends before the window: the block goes to the start, and being
        // short it is the whole result.
        t->m_strFilterParam = QStringLiteral("19%");
        QVERIFY(t->Requery());
        QVERIFY(t->CountKnown());
        QCOMPARE(t->m_nRowCount, 11);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(Code(*t, 10), QStringLiteral("199"));

        // 111 rows: one full block known, then the count.
        t->m_strFilterParam = QStringLiteral("1%");
        QVERIFY(t->Requery());
        QVERIFY(!t->CountKnown());
        QCOMPARE(t->m_nRowCount, 100);
        QCOMPARE(t->CountStatement().count(QStringLiteral("'1%'")), 1);
        t->SetCountedRows(t->CountRows());
        QVERIFY(t->CountKnown());
        QCOMPARE(t->m_nRowCount, 111);
        t->EnsureRowCached(110);
        QCOMPARE(t->m_nLastRow, 110);
        QCOMPARE(Code(*t, 110), QStringLiteral("199"));

        // Nothing matches: an empty result is known at once.
        t->m_strFilterParam = QStringLiteral("x%");
        QVERIFY(t->Requery());
        QVERIFY(t->CountKnown());
        QCOMPARE(t->m_nRowCount, 0);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, 0);
    }

    // Typing executes the prepared statement again with the new pattern; a new order
    // rebuilds it. Counts and rows follow both.
    void requery_data() {
        catfix::AddBackends();
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }
    void requery() {
        QFETCH(QString, backend);
        auto t = OpenTable(backend, kNumbered, 0, QStringLiteral("%"));
        QCOMPARE(t->m_nRowCount, 200);
        t->EnsureRowCached(150);
        t->m_strFilterParam = QStringLiteral("1%");
        QVERIFY(t->Requery());
        QCOMPARE(t->m_nRowCount, 111); // 1, 10-19, 100-199
        // The block stays at the window start while the result reaches it...
        QCOMPARE(t->m_nFirstRow, 100);
        QCOMPARE(t->m_nLastRow, 110);
        QCOMPARE(Code(*t, 110), QStringLiteral("199"));
        t->m_strFilterParam = QStringLiteral("19%");
        QVERIFY(t->Requery());
        // ...and goes back to the start when the result ends before it.
        QCOMPARE(t->m_nRowCount, 11); // 19, 190-199
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, 10);
        QCOMPARE(Code(*t, 10), QStringLiteral("199"));
        t->m_strFilterParam = QStringLiteral("1%");
        QVERIFY(t->Requery());
        t->EnsureRowCached(0);
        QCOMPARE(Code(*t, 0), QStringLiteral("1"));
        QCOMPARE(Code(*t, 1), QStringLiteral("10"));
        QCOMPARE(Code(*t, 11), QStringLiteral("100"));
        t->m_strFilterParam = QStringLiteral("12%");
        QVERIFY(t->Requery());
        QCOMPARE(t->m_nRowCount, 11); // 12, 120-129
        t->EnsureRowCached(10);
        QCOMPARE(Code(*t, 10), QStringLiteral("129"));

        QCOMPARE(t->SetSearchOrder(1), QStringLiteral("По названию"));
        t->m_strFilterParam = QStringLiteral("Товар 019%");
        QVERIFY(t->Requery());
        QCOMPARE(t->m_nRowCount, 10);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(Name(*t, 0), QStringLiteral("Товар 0190"));
    }

    // Nothing matches: no rows, the window at 0, and asking for a row fetches nothing.
    void emptyResult_data() { requery_data(); }
    void emptyResult() {
        QFETCH(QString, backend);
        auto t = OpenTable(backend, kNumbered, 1, QStringLiteral("Нет такого%"));
        QCOMPARE(t->m_nRowCount, 0);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, 0);
        t->EnsureRowCached(120);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, 0);
        // From a full list to an empty one.
        t->m_strFilterParam = QStringLiteral("%");
        QVERIFY(t->Requery());
        t->EnsureRowCached(150);
        t->m_strFilterParam = QStringLiteral("Нет такого%");
        QVERIFY(t->Requery());
        QCOMPARE(t->m_nRowCount, 0);
        QCOMPARE(t->m_nFirstRow, 0);
        QCOMPARE(t->m_nLastRow, 0);
    }

    // A quote in the typed text: counted (as a literal) and listed (as a parameter) alike.
    void quoteInPattern_data() { requery_data(); }
    void quoteInPattern() {
        QFETCH(QString, backend);
        auto t = OpenTable(backend, kSpecial, 1, QStringLiteral("O'Brien%"));
        QVERIFY(t->CountStatement().contains(QStringLiteral("'O''Brien%'")));
        QCOMPARE(t->m_nRowCount, 3);
        QCOMPARE(int(t->GetRowsFetched()), 3);
        for (int r = 0; r < 3; ++r)
            QVERIFY(Name(*t, r).startsWith(QStringLiteral("O'Brien")));
    }

    // A section with a quote and a "?" in it: only the search marker takes the pattern, the
    // quote is doubled, and count and rows agree.
    void sectionWithQuoteAndMarker_data() { requery_data(); }
    void sectionWithQuoteAndMarker() {
        QFETCH(QString, backend);
        QString section = QStringLiteral(" a'? ");
        const QString filter = PluBaseFilter(App(backend).DatabaseDialect(),
                                             QStringLiteral("PPPPP"), QString(), true, section);
        QCOMPARE(section, QStringLiteral("a'?"));
        auto t = OpenTable(backend, filter, 0, QStringLiteral("1%"));
        QVERIFY(t->CountStatement().endsWith(QStringLiteral("sectionId = 'a''?'")));
        QCOMPARE(t->m_nRowCount, 0);
        QCOMPARE(int(t->GetRowsFetched()), 0);
    }

    // A section ID holding "%1" and "%2" is text in every statement, also in the one that
    // reads a far block backwards from the end.
    void sectionWithPlaceholders_data() { requery_data(); }
    void sectionWithPlaceholders() {
        QFETCH(QString, backend);
        QString section = kPercentSection;
        const QString filter = PluBaseFilter(App(backend).DatabaseDialect(),
                                             QStringLiteral("PPPPP"), QString(), true, section);
        auto t = OpenTable(backend, filter, 0, QStringLiteral("%"));
        QCOMPARE(t->m_nRowCount, kPercentRows);
        t->EnsureRowCached(kPercentRows - 1);
        QVERIFY(t->IsRowCached(kPercentRows - 1));
        QCOMPARE(Code(*t, kPercentRows - 1), QString::number(8000 + kPercentRows));
        t->EnsureRowCached(120);
        QCOMPARE(Code(*t, 120), QString::number(8121));
    }

    // Longer texts are cut at their widths without an error.
    void longTextsAreCut_data() { requery_data(); }
    void longTextsAreCut() {
        QFETCH(QString, backend);
        auto t = OpenTable(backend, kSpecial, 1, QStringLiteral("Ж%"));
        QCOMPARE(t->m_nRowCount, 1);
        QCOMPARE(Name(*t, 0), kLongName.left(60));
        QCOMPARE(CTablePlu::TextAt(t->m_info, t->m_infoLength, CTablePlu::kInfoWidth, 0),
                 QString(1024, QLatin1Char('i')));
        QCOMPARE(CTablePlu::TextAt(t->m_atr, t->m_atrLength, CTablePlu::kAtrWidth, 0),
                 QStringLiteral("ABCDEFGHIJKLM"));
    }

    // The driver's text reaches the caller; the record set stays closed and can be opened
    // again once the statement is sound.
    void databaseErrors_data() { requery_data(); }
    void databaseErrors() {
        QFETCH(QString, backend);
        CVarnetApp& app = App(backend);
        CTablePlu t(app.m_db, app.DatabaseDialect());
        t.m_strBaseFilter = QStringLiteral("noSuchColumn = 1");
        t.SetSearchOrder(0);
        t.SetRowsetSize(100);
        try {
            t.Open();
            QFAIL("no error");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.Text().contains(QStringLiteral("nosuchcolumn"), Qt::CaseInsensitive),
                     qPrintable(e.Text()));
        }
        QVERIFY(!t.IsOpen());
        QVERIFY(t.m_plu == nullptr);
        t.m_strBaseFilter = kNumbered;
        t.SetSearchOrder(0);
        QVERIFY(t.Requery());
        QCOMPARE(t.m_nRowCount, 200);

        platform::odbc::Connection closed;
        CTablePlu none(closed, app.DatabaseDialect());
        none.SetSearchOrder(0);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, none.Open());
    }

    void badSearchOrder() {
        platform::odbc::Connection closed;
        CTablePlu t(closed, platform::odbc::Dialect::SQLite);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, t.SetSearchOrder(4));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, t.SetSearchOrder(-1));
    }
};

QTEST_GUILESS_MAIN(TstGridRowset)
#include "tst_gridrowset.moc"
