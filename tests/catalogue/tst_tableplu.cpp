// The product table's statements: the SQL Server texts to the letter, the base condition of
// the main screen in each dialect, and on the real drivers the sorts and matches that the
// SQLite and PostgreSQL texts must share with SQL Server's.
#include "catalogfixture.h"
#include "catalogue/ctableplu.h"
#include "catalogue/plusql.h"

#include <QTest>

#include <map>
#include <memory>

using platform::odbc::Dialect;

Q_DECLARE_METATYPE(platform::odbc::Dialect)

class TstTablePlu : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<CVarnetApp>> m_apps;

    // The codes (or names) of all rows that the order and pattern select, in their order.
    QStringList List(const QString& backend, int order, const QString& pattern,
                     const QString& baseFilter = QString(), bool names = false) {
        CVarnetApp& app = *m_apps.at(backend);
        CTablePlu t(app.m_db, app.DatabaseDialect());
        t.m_strBaseFilter = baseFilter;
        t.SetSearchOrder(order);
        t.m_strFilterParam = pattern;
        t.SetRowsetSize(100);
        t.Open();
        QStringList result;
        for (int r = 0; r < t.m_nRowCount; ++r) {
            t.EnsureRowCached(r);
            const int k = r - t.m_nFirstRow;
            result.append(
                names
                    ? CTablePlu::TextAt(t.m_pluName, t.m_pluNameLength, CTablePlu::kPluNameWidth, k)
                    : CTablePlu::TextAt(t.m_plu, t.m_pluLength, CTablePlu::kPluWidth, k));
        }
        return result;
    }

private Q_SLOTS:
    void initTestCase() {
        QList<democat::PluRow> rows;
        rows << catfix::Row(1, QStringLiteral("100"), QStringLiteral("Сыр Гауда"), 689.0)
             << catfix::Row(2, QStringLiteral("12"), QStringLiteral("Колбаса"), 68.5)
             << catfix::Row(3, QStringLiteral("5"), QStringLiteral("Беляш"), 168.0)
             << catfix::Row(4, QStringLiteral("7"), QStringLiteral("Апельсины"), 168.0)
             << catfix::Row(5, QStringLiteral("120"), QStringLiteral("cheese"), 10.0)
             << catfix::Row(6, QStringLiteral("1200"), QStringLiteral("Cheddar"), 11.0);
        rows[0].barCode = QStringLiteral("4600000000012");
        rows[1].barCode = QStringLiteral("99");
        rows[2].barCode = QStringLiteral("1234");
        rows[3].sectionId = QStringLiteral("02");
        for (const QString& b : testdb::Backends()) {
            auto app = std::make_unique<CVarnetApp>();
            QVERIFY(catfix::Open(*app, b, QStringLiteral("table"), m_dir, rows, 1));
            QVERIFY(app->m_bEnableSection);
            m_apps[b] = std::move(app);
        }
    }

    void sqlServerStatements() {
        platform::odbc::Connection none;
        CTablePlu t(none, Dialect::SqlServer);
        QCOMPARE(t.m_aOrderNames,
                 QStringList({QStringLiteral("По коду"), QStringLiteral("По названию"),
                              QStringLiteral("По цене"), QStringLiteral("По штрих-коду")}));
        const QString columns = QStringLiteral(
            "SELECT [pluId],[sectionId],[plu],[barCode],[pluName],[price],[department],[discount],"
            "[q],[sq],[dq],[info],[bHours],[bDate],[taxGroup],[pluGroup],[lockPlu],[atr] "
            "FROM [dbo].[plu]");
        QCOMPARE(t.GetRowSQL(),
                 columns + QStringLiteral(" ORDER BY SPACE(18-LEN(plu))+plu, sectionId"));

        t.m_strBaseFilter = QStringLiteral("LEN(plu) <= 5");
        QCOMPARE(t.SetSearchOrder(0), QStringLiteral("По коду"));
        QCOMPARE(t.GetRowSQL(), columns + QStringLiteral(" WHERE plu LIKE ? AND LEN(plu) <= 5 "
                                                         "ORDER BY SPACE(18-LEN(plu))+plu"));
        t.m_strFilterParam = QStringLiteral("12%");
        QCOMPARE(t.CountStatement(),
                 QStringLiteral(
                     "SELECT COUNT(*) FROM [dbo].[plu] WHERE plu LIKE '12%' AND LEN(plu) <= 5"));

        QString section = QStringLiteral(" 01 ");
        t.m_strBaseFilter = PluBaseFilter(Dialect::SqlServer, QStringLiteral("PPPPP"),
                                          QStringLiteral("PPPP"), true, section);
        t.SetSearchOrder(1);
        QCOMPARE(t.GetRowSQL(), columns + QStringLiteral(" WHERE pluName LIKE ? AND LEN(plu) <= 5 "
                                                         "AND sectionId = '01' ORDER BY pluName"));
        t.m_strFilterParam = QStringLiteral("typed text%");
        QCOMPARE(t.GetCountSQL(),
                 QStringLiteral("SELECT COUNT(*) FROM [dbo].[plu] WHERE pluName LIKE ? "
                                "AND LEN(plu) <= 5 AND sectionId = '01'"));
        QCOMPARE(t.CountStatement(),
                 QStringLiteral("SELECT COUNT(*) FROM [dbo].[plu] WHERE pluName LIKE "
                                "'typed text%' AND LEN(plu) <= 5 AND sectionId = '01'"));
        t.SetSearchOrder(2);
        QCOMPARE(t.m_strSort, QStringLiteral("price, pluName"));
        QCOMPARE(t.m_strFilter,
                 QStringLiteral("price LIKE ? AND LEN(plu) <= 5 AND sectionId = '01'"));
        t.SetSearchOrder(3);
        QCOMPARE(t.m_strSort, QStringLiteral("SPACE(18-LEN(barCode))+barCode"));
        // Without a base condition the filter is the search condition alone.
        t.m_strBaseFilter.clear();
        t.SetSearchOrder(3);
        QCOMPARE(t.m_strFilter, QStringLiteral("barCode LIKE ?"));
    }

    void baseFilter_data() {
        QTest::addColumn<Dialect>("dialect");
        QTest::addColumn<QString>("wMask");
        QTest::addColumn<QString>("qMask");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("piece mask longer") << Dialect::SqlServer << "21PPPPPMMMMM"
                                           << "22PPPPPPQQQQ" << false << " 3 "
                                           << "LEN(plu) <= 6"
                                           << " 3 ";
        QTest::newRow("section trimmed") << Dialect::SqlServer << "21PPPPPMMMMM"
                                         << "" << true << " 3 "
                                         << "LEN(plu) <= 5 AND sectionId = '3'"
                                         << "3";
        QTest::newRow("quote doubled") << Dialect::SqlServer << "PP"
                                       << "" << true << "O'K"
                                       << "LEN(plu) <= 2 AND sectionId = 'O''K'"
                                       << "O'K";
        QTest::newRow("sqlite") << Dialect::SQLite << "PPPPP"
                                << "" << true << "01"
                                << "length(plu) <= 5 AND sectionId = '01'"
                                << "01";
        QTest::newRow("postgres") << Dialect::PostgreSQL << ""
                                  << "PPP" << false << ""
                                  << "length(plu) <= 3"
                                  << "";
    }
    void baseFilter() {
        QFETCH(Dialect, dialect);
        QFETCH(QString, wMask);
        QFETCH(QString, qMask);
        QFETCH(bool, enable);
        QFETCH(QString, section);
        QFETCH(QString, expected);
        QFETCH(QString, trimmed);
        QCOMPARE(PluBaseFilter(dialect, wMask, qMask, enable, section), expected);
        QCOMPARE(section, trimmed);
    }

    // What SQL Server does with its texts, the other back ends must do with theirs.
    void sortsAndMatches_data() {
        catfix::AddBackends();
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("baseFilter");
        QTest::addColumn<QStringList>("codes");
        for (const QString& b : testdb::Backends()) {
            const QByteArray n = b.toUtf8();
            QTest::newRow(n + " codes by numeric value")
                << b << 0 << "%"
                << "" << QStringList{"5", "7", "12", "100", "120", "1200"};
            QTest::newRow(n + " code prefix") << b << 0 << "12%"
                                              << "" << QStringList{"12", "120", "1200"};
            QTest::newRow(n + " code length limit")
                << b << 0 << "%"
                << "length(plu) <= 2" << QStringList{"5", "7", "12"};
            QTest::newRow(n + " same price by name")
                << b << 2 << "%"
                << "" << QStringList{"120", "1200", "12", "7", "5", "100"};
            QTest::newRow(n + " price as text") << b << 2 << "68%"
                                                << "" << QStringList{"12", "100"};
            QTest::newRow(n + " barcodes by length")
                << b << 3 << "%"
                << "" << QStringList{"12", "5", "7", "120", "1200", "100"};
            QTest::newRow(n + " name prefix") << b << 1 << "Сыр%"
                                              << "" << QStringList{"100"};
            // Letters match regardless of case on both.
            QTest::newRow(n + " Latin case") << b << 1 << "CHE%"
                                             << "" << QStringList{"1200", "120"};
            QTest::newRow(n + " Cyrillic case") << b << 1 << "сыр%"
                                                << "" << QStringList{"100"};
            QTest::newRow(n + " % in the typed text") << b << 1 << "%ау%"
                                                      << "" << QStringList{"100"};
            QTest::newRow(n + " _ in the typed text") << b << 1 << "К_лб%"
                                                      << "" << QStringList{"12"};
        }
    }
    void sortsAndMatches() {
        QFETCH(QString, backend);
        QFETCH(int, order);
        QFETCH(QString, pattern);
        QFETCH(QString, baseFilter);
        QFETCH(QStringList, codes);
        QCOMPARE(List(backend, order, pattern, baseFilter), codes);
    }

    // Section restriction on: only the counter's section, with the setting's blanks removed.
    void section_data() {
        catfix::AddBackends();
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }
    void section() {
        QFETCH(QString, backend);
        CVarnetApp& app = *m_apps.at(backend);
        app.m_settings.SectionID = QStringLiteral(" 02 ");
        const QString filter =
            PluBaseFilter(app.DatabaseDialect(), QStringLiteral("PPPPP"), QString(),
                          app.m_bEnableSection, app.m_settings.SectionID);
        QCOMPARE(app.m_settings.SectionID, QStringLiteral("02"));
        QCOMPARE(List(backend, 0, QStringLiteral("%"), filter), QStringList{QStringLiteral("7")});
    }
};

QTEST_GUILESS_MAIN(TstTablePlu)
#include "tst_tableplu.moc"
