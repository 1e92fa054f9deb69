// The journal file and what managers read from it: a row written twice is one row, totals
// per product and hour leave reprints out, and varnet-journal's CSV reads back through a
// real CSV reader with the Cyrillic, the quotes and the decimal commas intact.
#include "journal/journalcsv.h"
#include "journal/journalfile.h"
#include "journal/journaltotals.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

namespace {

JournalRow Row(const QString& code, const QString& name, bool weighed, double quantity,
               double price, const QDateTime& moment, bool reprint = false) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = moment;
    r.code = code;
    r.name = name;
    r.weighed = weighed;
    r.quantity = quantity;
    r.price = price;
    r.sum = qRound64(quantity * price * 100) / 100.0;
    r.barcode = QStringLiteral("2700012005120");
    r.printer = QStringLiteral("VarnetZPL");
    r.jobId = 7;
    r.reprint = reprint;
    r.labelName = name;
    r.account = QStringLiteral("kassir1");
    return r;
}

QString Tool() {
    return qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-journal");
}

// Runs the tool; its standard output, or fails the test.
QByteArray RunTool(const QStringList& args) {
    QProcess p;
    p.start(Tool(), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return QByteArray("failed");
    }
    return p.readAllStandardOutput();
}

// Python's csv module on the bytes as Excel would be told to read them: UTF-8 with BOM, ';'.
QList<QStringList> ReadCsv(const QByteArray& bytes) {
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv,io,json,sys\n"
                             "data = sys.stdin.buffer.read()\n"
                             "assert data.startswith(b'\\xef\\xbb\\xbf')\n"
                             "rows = list(csv.reader(io.StringIO(data.decode('utf-8-sig'), "
                             "newline=''), delimiter=';'))\n"
                             "print(json.dumps(rows))")});
    py.write(bytes);
    py.closeWriteChannel();
    py.waitForFinished(30000);
    QList<QStringList> out;
    for (const QJsonValue& line : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& f : line.toArray())
            fields.append(f.toString());
        out.append(fields);
    }
    return out;
}

} // namespace

class TestJournalReport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    QDateTime m_today = QDateTime(QDate::currentDate(), QTime(9, 5));

private slots:
    void initTestCase() {
        m_path = m_dir.filePath(QStringLiteral("Journal.db"));
        CJournalFile file;
        QVERIFY2(file.Open(m_path), qPrintable(file.Error()));
        const QString fillet = QStringLiteral("Филе куриное");
        const QString cheese = QStringLiteral("Сыр \"Российский\"; 45%");
        const QList<JournalRow> rows = {
            Row(QStringLiteral("12"), fillet, true, 0.512, 389.9, m_today),
            Row(QStringLiteral("12"), fillet, true, 1.25, 389.9, m_today.addSecs(3600)),
            // The jammed label printed again: listed, never counted.
            Row(QStringLiteral("12"), fillet, true, 1.25, 389.9, m_today.addSecs(3700), true),
            Row(QStringLiteral("31"), cheese, false, 3, 120.5, m_today.addSecs(3800)),
            // Yesterday's: not in today's totals.
            Row(QStringLiteral("31"), cheese, false, 9, 120.5, m_today.addDays(-1)),
        };
        QVERIFY2(file.Append(rows), qPrintable(file.Error()));
        // The same rows again (a retry after a failure that had written them): no double.
        QVERIFY2(file.Append(rows), qPrintable(file.Error()));
        QCOMPARE(file.Rows(m_today.addDays(-2), m_today.addDays(2)).size(), 5);
    }

    void totalsLeaveReprintsOut() {
        CJournalFile file;
        QVERIFY(file.Open(m_path, false));
        const QList<JournalRow> rows = file.Rows(QDate::currentDate().startOfDay(),
                                                 QDate::currentDate().addDays(1).startOfDay());
        QCOMPARE(rows.size(), 4);
        const QList<JournalTotal> byProduct = TotalsByProduct(rows);
        QCOMPARE(byProduct.size(), 2);
        // Ordered by name: "Сыр" before "Филе".
        QCOMPARE(byProduct[0].key, QStringLiteral("31"));
        QCOMPARE(byProduct[0].labels, 1);
        QCOMPARE(byProduct[0].pieces, 3.0);
        QCOMPARE(byProduct[1].labels, 2);
        QCOMPARE(byProduct[1].kilograms, 1.762);
        QCOMPARE(byProduct[1].sum, 199.63 + 487.38);
        const JournalTotal grand = GrandTotal(rows);
        QCOMPARE(grand.labels, 3);
        QCOMPARE(grand.sum, 199.63 + 487.38 + 361.5);
        const QList<JournalTotal> byHour = TotalsByHour(rows);
        QCOMPARE(byHour.size(), 2);
        QCOMPARE(byHour[0].labels, 1);
        QCOMPARE(byHour[1].labels, 2);
    }

    void toolTable() {
        const QString out = QString::fromUtf8(RunTool({QStringLiteral("--file"), m_path}));
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[2].contains(QStringLiteral("Филе куриное")) &&
                     lines[2].contains(QStringLiteral("1.762")) &&
                     lines[2].contains(QStringLiteral("687.01")),
                 qPrintable(out));
        QVERIFY2(lines[3].startsWith(QStringLiteral("Итого")) &&
                     lines[3].endsWith(QStringLiteral("1048.51")),
                 qPrintable(out));
    }

    void toolCsvReadsBack_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QStringList>("line");
        const QString day = QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy-MM-dd"));
        QTest::newRow("today per product")
            << QStringList{} << QStringList{"Код", "Товар", "Этикеток", "Кг", "Шт", "Сумма"}
            << QStringList{"31", "Сыр \"Российский\"; 45%", "1", "0,000", "3", "361,50"};
        QTest::newRow("a range per product")
            << QStringList{"--from", day, "--to", QDate::currentDate().toString(Qt::ISODate)}
            << QStringList{"Код", "Товар", "Этикеток", "Кг", "Шт", "Сумма"}
            << QStringList{"31", "Сыр \"Российский\"; 45%", "2", "0,000", "12", "1446,00"};
        QTest::newRow("per hour") << QStringList{"--by", "hour"}
                                  << QStringList{"Час", "Этикеток", "Кг", "Шт", "Сумма"}
                                  << QStringList{m_today.toString("yyyy-MM-dd 09:00"), "1", "0,512",
                                                 "0", "199,63"};
        QTest::newRow("the labels of a day")
            << QStringList{"--labels", "--date", day}
            << QStringList{"Время",   "Код",    "Товар",         "Вид",      "Количество",
                           "Цена",    "Сумма",  "Штрих-код",     "Годен до", "Принтер",
                           "Задание", "Повтор", "Идентификатор", "Оператор"}
            << QStringList{m_today.addDays(-1).toString("dd.MM.yyyy HH:mm:ss"),
                           "31",
                           "Сыр \"Российский\"; 45%",
                           "штучный",
                           "9",
                           "120,50",
                           "1084,50",
                           "2700012005120",
                           "",
                           "VarnetZPL",
                           "7",
                           "нет"};
        // The account that printed the label closes the line.
        QTest::newRow("the labels of a day, to the last column")
            << QStringList{"--labels", "--date", day} << QStringList{} << QStringList{};
    }

    void toolCsvReadsBack() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, header);
        QFETCH(QStringList, line);
        const QList<QStringList> csv = ReadCsv(
            RunTool(QStringList{QStringLiteral("--csv"), QStringLiteral("--file"), m_path} + args));
        QVERIFY(csv.size() >= 2);
        if (header.isEmpty()) {
            QCOMPARE(csv[0].last(), QStringLiteral("Оператор"));
            QCOMPARE(csv[1].last(), QStringLiteral("kassir1"));
            return;
        }
        QCOMPARE(csv[0], header);
        QCOMPARE(csv[1].mid(0, line.size()), line);
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no such day") << QStringList{"--date", "2024-02-30"};
        QTest::newRow("range backwards")
            << QStringList{"--from", "2024-03-02", "--to", "2024-03-01"};
        QTest::newRow("unknown grouping") << QStringList{"--by", "week"};
        QTest::newRow("no journal") << QStringList{"--file", "/nonexistent/Journal.db"};
    }

    void badArguments() {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(Tool(), args.contains(QStringLiteral("--file"))
                            ? args
                            : QStringList{QStringLiteral("--file"), m_path} + args);
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(!p.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestJournalReport)
#include "tst_journalreport.moc"
