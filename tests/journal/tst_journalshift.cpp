// The operators' shifts in the packing journal: where each shift begins (a close, a long
// pause, another account's labels in between), the totals of «Итоги смены» equal to the sum
// of the journal's rows of that shift across a close, the close kept in the journal file,
// and varnet-journal --shift and the CSV's shift column saying the same. Also the keyed and
// tare columns as the file, the tool and the CSV show them.
#include "journal/journal.h"
#include "journal/journalcsv.h"
#include "journal/journalfile.h"
#include "journal/journalshift.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

namespace {

const QDate kDay(2026, 3, 5);

QDateTime At(const QString& hhmm, int dayOffset = 0) {
    return QDateTime(kDay.addDays(dayOffset), QTime::fromString(hhmm, QStringLiteral("HH:mm")));
}

JournalRow Label(const QString& account, const QDateTime& moment, const QString& code = "12",
                 double quantity = 0.5, bool reprint = false) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = moment;
    r.code = code;
    r.name = QStringLiteral("Товар %1").arg(code);
    r.weighed = true;
    r.quantity = quantity;
    r.price = 400;
    r.sum = quantity * 400;
    r.barcode = QStringLiteral("2700012005005");
    r.printer = QStringLiteral("Q");
    r.reprint = reprint;
    r.labelName = r.name;
    r.account = account;
    r.keyed = false;
    return r;
}

QString Tool() {
    return qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-journal");
}

QByteArray RunTool(const QStringList& args) {
    QProcess p;
    p.start(Tool(), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return QByteArray("failed");
    }
    return p.readAllStandardOutput();
}

QList<QStringList> ReadCsv(const QByteArray& bytes) {
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv,io,json,sys\n"
                             "data = sys.stdin.buffer.read().decode('utf-8-sig')\n"
                             "print(json.dumps(list(csv.reader(io.StringIO(data, newline=''), "
                             "delimiter=';'))))")});
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

class TestJournalShift : public QObject {
    Q_OBJECT

private slots:
    // Each label's shift start. Events, oldest first: "a 08:00" a label of account a,
    // "close a 12:00" its «Закрыть смену»; "-1 a 22:00" a label of the day before.
    void shiftStarts_data() {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("starts"); // one per label
        QTest::newRow("one shift") << QStringList{"a 08:00", "a 12:00", "a 19:59"}
                                   << QStringList{"08:00", "08:00", "08:00"};
        QTest::newRow("a close begins the next shift with the next label")
            << QStringList{"a 08:00", "close a 12:00", "a 12:30", "a 13:00"}
            << QStringList{"08:00", "12:30", "12:30"};
        QTest::newRow("a close at the very moment of a label: the label is after it")
            << QStringList{"a 08:00", "close a 12:00", "a 12:00"} << QStringList{"08:00", "12:00"};
        QTest::newRow("another account's close changes nothing")
            << QStringList{"a 08:00", "b 08:10", "close b 12:00", "a 12:30", "b 12:40"}
            << QStringList{"08:00", "08:10", "08:00", "12:40"};
        QTest::newRow("a pause longer than 8 hours ends a shift never closed")
            << QStringList{"a 06:00", "a 14:00", "a 22:01"}
            << QStringList{"06:00", "06:00", "22:01"};
        QTest::newRow("a night shift goes on past midnight")
            << QStringList{"-1 a 22:00", "a 02:00", "a 05:59"}
            << QStringList{"-1 22:00", "-1 22:00", "-1 22:00"};
        QTest::newRow("two closes in a row are one")
            << QStringList{"a 08:00", "close a 10:00", "close a 10:05", "a 11:00"}
            << QStringList{"08:00", "11:00"};
    }

    void shiftStarts() {
        QFETCH(QStringList, events);
        QFETCH(QStringList, starts);
        QList<JournalRow> rows;
        QList<ShiftClose> closes;
        const auto moment = [](QStringList words) {
            const int offset = words.first() == QLatin1String("-1") ? -1 : 0;
            return At(words.last(), offset);
        };
        for (const QString& e : events) {
            const QStringList words = e.split(QLatin1Char(' '));
            if (words.first() == QLatin1String("close"))
                closes.append(ShiftClose::Make(words[1], moment(words)));
            else
                rows.append(Label(words[words.size() - 2], moment(words)));
        }
        QStringList got;
        for (const QDateTime& s : journalshift::ShiftStarts(rows, closes))
            got.append(s.date() == kDay
                           ? s.toString(QStringLiteral("HH:mm"))
                           : QStringLiteral("-1 ") + s.toString(QStringLiteral("HH:mm")));
        QCOMPARE(got, starts);
    }

    // Two operators on one counter; kassir1 closes the shift at 12:00. Its «Итоги смены» are
    // the sums of its journal rows from the close on, before the close the sums of the rows
    // before it; the counter's day holds everything of the day; the close is in the file,
    // and the tool prints the same figures.
    void totalsAcrossAClose() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const QList<JournalRow> before = {
            Label("kassir1", At("08:00"), "12", 0.512),
            Label("kassir1", At("09:30"), "31", 1.25),
            Label("kassir2", At("10:00"), "12", 0.7),
            Label("kassir1", At("11:00"), "12", 0.3),
            Label("kassir1", At("11:05"), "12", 0.3, true), // a reprint: never counted
        };
        const QList<JournalRow> after = {
            Label("kassir1", At("12:10"), "12", 0.45),
            Label("kassir2", At("12:20"), "31", 2.0),
            Label("kassir1", At("13:00"), "40", 0.9),
            Label("kassir1", At("13:30"), "12", 0.05),
        };
        // Yesterday's labels of the same account count neither in its shift nor in the day.
        const JournalRow yesterday = Label("kassir1", At("07:00", -1), "12", 3.0);
        {
            CJournal journal(path);
            journal.Record(yesterday);
            for (const JournalRow& r : before)
                journal.Record(r);
            const ShiftReport open = ShiftReport::Load(journal, "kassir1", At("11:30"));
            QCOMPARE(open.start, At("08:00"));
            QVERIFY(!open.closed.isValid());
            QCOMPARE(open.rows.size(), 4);
            QCOMPARE(open.grand.labels, 3);
            QCOMPARE(open.grand.kilograms, 0.512 + 1.25 + 0.3);

            journal.CloseShift(ShiftClose::Make("kassir1", At("12:00")));
            QCOMPARE(journal.Waiting(), 0);
            const ShiftReport fresh = ShiftReport::Load(journal, "kassir1", At("12:05"));
            QVERIFY(!fresh.start.isValid());
            QCOMPARE(fresh.closed, At("12:00"));
            QCOMPARE(fresh.grand.labels, 0);
            QCOMPARE(fresh.Heading(), QStringLiteral("Смена kassir1 закрыта 05.03.2026 12:00; "
                                                     "новая начнётся с первой этикетки"));
            for (const JournalRow& r : after)
                journal.Record(r);
        }
        // The close is kept in the file, as the labels are.
        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        const QList<ShiftClose> closes = file.ShiftCloses(At("00:00"));
        QCOMPARE(closes.size(), 1);
        QCOMPARE(closes[0].account, QStringLiteral("kassir1"));
        QCOMPARE(closes[0].moment, At("12:00"));

        CJournal journal(path);
        const QDateTime now = At("14:00");
        const ShiftReport report = ShiftReport::Load(journal, "kassir1", now);
        QCOMPARE(report.start, At("12:10"));
        QCOMPARE(report.closed, At("12:00"));
        QCOMPARE(report.Heading(), QStringLiteral("Смена kassir1 с 05.03.2026 12:10"));
        // The shift: exactly the journal's rows of kassir1 from the close on.
        QList<JournalRow> shiftRows;
        for (const JournalRow& r : file.Rows(At("12:00"), At("23:59")))
            if (r.account == QLatin1String("kassir1"))
                shiftRows.append(r);
        QCOMPARE(shiftRows.size(), 3);
        QCOMPARE(report.rows.size(), shiftRows.size());
        const auto same = [](const QList<JournalTotal>& a, const QList<JournalTotal>& b) {
            if (a.size() != b.size())
                return false;
            for (qsizetype i = 0; i < a.size(); ++i)
                if (a[i].key != b[i].key || a[i].labels != b[i].labels ||
                    qAbs(a[i].kilograms - b[i].kilograms) > 1e-9 ||
                    qAbs(a[i].pieces - b[i].pieces) > 1e-9 || qAbs(a[i].sum - b[i].sum) > 1e-6)
                    return false;
            return true;
        };
        QVERIFY(same(report.totals, TotalsByProduct(shiftRows)));
        QCOMPARE(report.grand.labels, 3);
        QCOMPARE(report.grand.kilograms, 0.45 + 0.9 + 0.05);
        QCOMPARE(report.grand.sum, (0.45 + 0.9 + 0.05) * 400);
        // The day: every account, every label of the day but the reprint.
        const QList<JournalRow> dayRows = file.Rows(At("00:00"), At("00:00", 1));
        QCOMPARE(dayRows.size(), before.size() + after.size());
        QVERIFY(same(report.dayTotals, TotalsByProduct(dayRows)));
        QCOMPARE(report.dayGrand.labels, 8);
        // The other operator's shift goes on through kassir1's close.
        QCOMPARE(ShiftReport::Load(journal, "kassir2", now).start, At("10:00"));

        // varnet-journal --shift: the same figures, as a table and as CSV.
        const QStringList args{QStringLiteral("--file"),          path,
                               QStringLiteral("--shift"),         QStringLiteral("--account"),
                               QStringLiteral("kassir1"),         QStringLiteral("--now"),
                               QStringLiteral("2026-03-05T14:00")};
        const QString table = QString::fromUtf8(RunTool(args));
        const QStringList lines = table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), report.Heading());
        const qsizetype day = lines.indexOf(QStringLiteral("Весь прилавок за 05.03.2026"));
        QVERIFY2(day > 0, qPrintable(table));
        QCOMPARE(lines[day - 1].simplified(), QStringLiteral("Итого 3 1.400 0 560.00"));
        QCOMPARE(lines.last().simplified(), QStringLiteral("Итого 8 6.162 0 2464.80"));
        QCOMPARE(RunTool(args + QStringList{QStringLiteral("--csv")}),
                 journalcsv::Totals(report.totals, report.grand, false));

        // The CSV of the labels names each one's shift.
        const QList<QStringList> csv = ReadCsv(RunTool(
            {QStringLiteral("--file"), path, QStringLiteral("--labels"), QStringLiteral("--csv"),
             QStringLiteral("--date"), QStringLiteral("2026-03-05")}));
        QCOMPARE(csv.size(), 1 + before.size() + after.size());
        QCOMPARE(csv[0].last(), QStringLiteral("Смена"));
        QStringList shifts;
        for (const QStringList& line : csv.mid(1))
            shifts.append(line.last().mid(11) + QLatin1Char(' ') + line[13]);
        QCOMPARE(shifts, (QStringList{"08:00 kassir1", "08:00 kassir1", "10:00 kassir2",
                                      "08:00 kassir1", "08:00 kassir1", "12:10 kassir1",
                                      "10:00 kassir2", "12:10 kassir1", "12:10 kassir1"}));
    }

    // Whether the weight was keyed and the tare: in the file, in the tool's list of labels
    // and in the CSV; a row of a file of an earlier version says nothing of it.
    void keyedAndTareShown() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        JournalRow scale = Label("kassir1", At("08:00"), "12", 0.512);
        scale.tare = 0.15;
        JournalRow keyed = Label("kassir1", At("08:01"), "12", 5.0);
        keyed.keyed = true;
        JournalRow older = Label("kassir1", At("08:02"), "31", 2.0);
        older.keyed.reset();
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
            QVERIFY(file.Append({scale, keyed, older}));
        }
        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        const QList<JournalRow> rows = file.Rows(At("00:00"), At("00:00", 1));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].keyed, std::optional<bool>(false));
        QCOMPARE(rows[0].tare, 0.15);
        QCOMPARE(rows[1].keyed, std::optional<bool>(true));
        QCOMPARE(rows[1].tare, 0.0);
        QVERIFY(!rows[2].keyed.has_value());

        const QStringList day{QStringLiteral("--file"), path, QStringLiteral("--labels"),
                              QStringLiteral("--date"), QStringLiteral("2026-03-05")};
        const QStringList listed =
            QString::fromUtf8(RunTool(day)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(listed.size(), 4);
        QVERIFY2(listed[0].simplified().endsWith(QStringLiteral("Оператор Ввод Тара")),
                 qPrintable(listed[0]));
        QVERIFY2(listed[1].simplified().endsWith(QStringLiteral("kassir1 весы 0.150")),
                 qPrintable(listed[1]));
        QVERIFY2(listed[2].simplified().endsWith(QStringLiteral("kassir1 вручную")),
                 qPrintable(listed[2]));
        QVERIFY2(listed[3].endsWith(QStringLiteral("kassir1")), qPrintable(listed[3]));

        const QList<QStringList> csv = ReadCsv(RunTool(day + QStringList{QStringLiteral("--csv")}));
        QCOMPARE(csv.size(), 4);
        QCOMPARE(csv[0].mid(14), (QStringList{"Ввод", "Тара", "Смена"}));
        QCOMPARE(csv[1].mid(14, 2), (QStringList{"весы", "0,150"}));
        QCOMPARE(csv[2].mid(14, 2), (QStringList{"вручную", "0,000"}));
        QCOMPARE(csv[3].mid(14, 2), (QStringList{"", "0,000"}));
    }
};

QTEST_GUILESS_MAIN(TestJournalShift)
#include "tst_journalshift.moc"
