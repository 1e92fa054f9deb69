// Cell texts of the virtual grid: number formatting with decimals, trimming, blank zero and
// thousands separator, and the text of every column type, NULLs included.
#include "catalogue/gridcolumn.h"

#include <QTest>

class TstGridFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatNumber_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("trimmed with separator") << 1234.5 << 2 << true << false << " "
                                                << "1 234.5";
        QTest::newRow("untrimmed with separator") << 1234.5 << 2 << false << false << " "
                                                  << "1 234.50";
        QTest::newRow("whole number trimmed") << 12.0 << 2 << true << false << ""
                                              << "12";
        QTest::newRow("negative millions") << -1234567.8 << 2 << false << false << " "
                                           << "-1 234 567.80";
        QTest::newRow("negative, no group") << -123.4 << 2 << false << false << " "
                                            << "-123.40";
        QTest::newRow("exactly three digits") << 999.0 << 0 << false << false << " "
                                              << "999";
        QTest::newRow("negative six digits") << -123456.0 << 0 << false << false << " "
                                             << "-123 456";
        QTest::newRow("zero blank") << 0.0 << 2 << false << true << " "
                                    << "";
        QTest::newRow("zero shown") << 0.0 << 2 << false << false << " "
                                    << "0.00";
        QTest::newRow("zero trimmed") << 0.0 << 2 << true << false << ""
                                      << "0";
        QTest::newRow("rounds half away") << 2.675 << 1 << false << false << ""
                                          << "2.7";
        QTest::newRow("no decimals, trim keeps tens") << 100.0 << 0 << true << false << ""
                                                      << "100";
    }
    void formatNumber() {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(bool, trim);
        QFETCH(bool, blank);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(FormatNumber(value, decimals, trim, blank,
                              separator.isEmpty() ? QChar() : separator[0]),
                 expected);
    }

    // Two block rows of every type: row 0 holds values, row 1 NULLs.
    void cellTexts_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("param");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("null");
        QTest::newRow("long") << int(COL_LONG) << 0 << false << "-42"
                              << "0";
        QTest::newRow("text") << int(COL_TEXT) << 8 << false << "Сыр  "
                              << "";
        QTest::newRow("byte") << int(COL_BYTE) << 0 << false << "200"
                              << "0";
        QTest::newRow("byte, blank zero") << int(COL_BYTE) << 0 << true << "200"
                                          << "";
        QTest::newRow("flag") << int(COL_FLAG) << 0 << false << "X"
                              << "";
        QTest::newRow("double") << int(COL_DOUBLE) << 2 << false << "1 234.50"
                                << "0.00";
        QTest::newRow("date and time") << int(COL_TIMESTAMP) << 0 << false << "05.03.2024 09:07:03"
                                       << "";
        QTest::newRow("date") << int(COL_TIMESTAMP) << 1 << false << "05.03.2024"
                              << "";
        QTest::newRow("time") << int(COL_TIMESTAMP) << 2 << false << "09:07"
                              << "";
        QTest::newRow("unknown form") << int(COL_TIMESTAMP) << 3 << false << ""
                                      << "";
        QTest::newRow("no type") << int(COL_NONE) << 0 << false << ""
                                 << "";
    }
    void cellTexts() {
        QFETCH(int, type);
        QFETCH(int, param);
        QFETCH(bool, blank);
        QFETCH(QString, value);
        QFETCH(QString, null);
        SQLLEN lengthArray[2] = {4, SQL_NULL_DATA};
        SQLINTEGER longArray[2] = {-42, 7};
        SQLCHAR byteArray[2] = {200, 7};
        SQLDOUBLE doubleArray[2] = {1234.5, 7};
        SQL_TIMESTAMP_STRUCT stampArray[2] = {{2024, 3, 5, 9, 7, 3, 0}, {2000, 1, 1, 0, 0, 0, 0}};
        SQLWCHAR textArray[16] = {};
        const std::u16string name = u"Сыр  ";
        std::copy(name.begin(), name.end(), reinterpret_cast<char16_t*>(textArray));
        textArray[8] = u'X';
        SQLLEN* lengths = lengthArray;
        SQLINTEGER* longs = longArray;
        SQLCHAR* bytes = byteArray;
        SQLDOUBLE* doubles = doubleArray;
        SQL_TIMESTAMP_STRUCT* stamps = stampArray;
        SQLWCHAR* texts = textArray;

        tagColumn c;
        c.nType = type;
        c.nParam = param;
        c.bBlankZero = blank;
        c.chThousands = QLatin1Char(' ');
        c.ppLengths = &lengths;
        c.ppLongs = &longs;
        c.ppFlags = &longs;
        c.ppBytes = &bytes;
        c.ppDoubles = &doubles;
        c.ppTimestamps = &stamps;
        c.ppTexts = &texts;
        QCOMPARE(CellText(c, 0), value);
        QCOMPARE(CellText(c, 1), null);

        // A NULL text of its own replaces the NULL entry.
        c.pszNullText = QStringLiteral("—");
        QCOMPARE(CellText(c, 1), type == COL_NONE ? QString() : QStringLiteral("—"));

        // Arrays not allocated yet (the record set is closed): nothing to show.
        SQLLEN* none = nullptr;
        c.ppLengths = &none;
        QCOMPARE(CellText(c, 0), QString());
    }

    // Texts without a terminating zero inside their width end at the width.
    void textStopsAtWidth() {
        SQLWCHAR block[6] = {u'1', u'2', u'3', u'4', u'5', u'6'};
        SQLWCHAR* texts = block;
        SQLLEN lengthArray[2] = {3, 3};
        SQLLEN* lengths = lengthArray;
        tagColumn c;
        c.nType = COL_TEXT;
        c.nParam = 3;
        c.ppTexts = &texts;
        c.ppLengths = &lengths;
        QCOMPARE(CellText(c, 1), QStringLiteral("456"));
    }

    void selectionAfterRefresh_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty") << 4 << 0 << -1;
        QTest::newRow("row 10 of 3 rows") << 10 << 3 << 2;
        QTest::newRow("still there") << 1 << 3 << 1;
        QTest::newRow("none stays none") << -1 << 5 << -1;
    }
    void selectionAfterRefresh() {
        QFETCH(int, selected);
        QFETCH(int, count);
        QFETCH(int, expected);
        QCOMPARE(SelectedAfterRefresh(selected, count), expected);
    }
};

QTEST_APPLESS_MAIN(TstGridFormat)
#include "tst_gridformat.moc"
