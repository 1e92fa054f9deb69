// The journal file and what managers read from it: a row written twice is one row, totals
// per product and hour leave reprints out, and varnet-journal's CSV reads back through a
// real CSV reader with the Cyrillic, the quotes and the decimal commas intact, no text in it
// ever a formula. The last label is the last row written, whatever the clock said; reading
// never changes the file it reads, and a file that is not a journal is refused at once,
// whatever its author put in it (an endless view, a trigger), with no temporary file made;
// nor does the tool wait on a FIFO or the like in a journal's or settings file's place.
#include "journal/journal.h"
#include "journal/journalcsv.h"
#include "journal/journalfile.h"
#include "journal/journaltotals.h"
#include "platform/clock.h"
#include "support/notafile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>
#include <sys/resource.h>

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

QByteArray FileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("missing");
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
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

// Far beyond what reading a small journal takes: only a tool that waits gets there.
constexpr int kWaitingMs = 10000;

// Runs the tool with its temporary files (SQLite's too) in tmp and a file size limit that
// stops one that would fill the disk; false when it had to be stopped.
bool RunBounded(QProcess& p, const QStringList& args, const QString& tmp) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp);
    env.insert(QStringLiteral("SQLITE_TMPDIR"), tmp);
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([] {
        const struct rlimit limit { 64 << 20, 64 << 20 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(Tool(), args);
    if (p.waitForFinished(kWaitingMs))
        return true;
    p.kill();
    p.waitForFinished();
    return false;
}

qint64 FolderSize(const QString& path) {
    qint64 size = 0;
    for (const QFileInfo& f :
         QDir(path).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks))
        size += f.size();
    return size;
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

    // Codes of different lengths (right-aligned) leave every name starting in one column,
    // the header's and the total's too.
    void toolTableColumnsLineUp() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Journal.db"));
        {
            CJournalFile file;
            QVERIFY(file.Open(path));
            QVERIFY(file.Append(
                {Row(QStringLiteral("7"), QStringLiteral("Анис"), true, 0.5, 100, m_today),
                 Row(QStringLiteral("1234567"), QStringLiteral("Баранина"), true, 1.5, 600,
                     m_today),
                 Row(QStringLiteral("31"), QStringLiteral("Вафли"), false, 2, 80, m_today)}));
        }
        const QString out = QString::fromUtf8(RunTool({QStringLiteral("--file"), path}));
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        const QStringList names{QStringLiteral("Товар"), QStringLiteral("Анис"),
                                QStringLiteral("Баранина"), QStringLiteral("Вафли")};
        const qsizetype column = lines[0].indexOf(names[0]);
        QVERIFY2(column > 0, qPrintable(out));
        for (int i = 1; i < names.size(); ++i)
            QVERIFY2(lines[i].indexOf(names[i]) == column, qPrintable(out));
        // The figures end in one column as well.
        for (const QString& line : lines)
            QVERIFY2(line.size() == lines[0].size(), qPrintable(out));
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
                           "Задание", "Повтор", "Идентификатор", "Оператор", "Ввод",
                           "Тара",    "Смена"}
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
        // The account that printed the label, whether its weight was keyed (a row of this
        // test says nothing of it), its tare and its shift close the line.
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
            QCOMPARE(csv[0].mid(13), (QStringList{"Оператор", "Ввод", "Тара", "Смена"}));
            QCOMPARE(csv[1].mid(13),
                     (QStringList{"kassir1", "", "0,000",
                                  m_today.addDays(-1).toString("dd.MM.yyyy HH:mm")}));
            return;
        }
        QCOMPARE(csv[0], header);
        QCOMPARE(csv[1].mid(0, line.size()), line);
    }

    // A text cell beginning as a formula reaches Excel and LibreOffice as text; the
    // numbers and dates around it stay numbers.
    void csvTextIsNeverAFormula_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("equals") << "=HYPERLINK(\"http://x\";\"Скидка\")";
        QTest::newRow("plus") << "+7 (495) 123-45-67";
        QTest::newRow("minus") << "-10% скидка";
        QTest::newRow("at") << "@SUM(A1:A9)";
        QTest::newRow("tab") << "\t=1+1";
        QTest::newRow("carriage return") << "\r=1+1";
    }

    void csvTextIsNeverAFormula() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Journal.db"));
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
            QVERIFY(file.Append({Row(name, name, true, 0.512, 389.9, m_today)}));
        }
        const QString today = m_today.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        // What the dialog exports, and what the tool writes for the labels and the totals.
        const QList<QStringList> exported =
            ReadCsv(journalcsv::Rows({Row(name, name, true, 0.512, 389.9, m_today)}));
        const QList<QStringList> labels = ReadCsv(RunTool(
            {QStringLiteral("--csv"), QStringLiteral("--labels"), QStringLiteral("--file"), path}));
        const QList<QStringList> totals =
            ReadCsv(RunTool({QStringLiteral("--csv"), QStringLiteral("--file"), path}));
        for (const QList<QStringList>& csv : {exported, labels}) {
            QCOMPARE(csv.size(), 2);
            QCOMPARE(csv[1].mid(0, 7), (QStringList{today, "'" + name, "'" + name, "весовой",
                                                    "0,512", "389,90", "199,63"}));
        }
        QCOMPARE(totals.size(), 3);
        QCOMPARE(totals[1], (QStringList{"'" + name, "'" + name, "1", "0,512", "0", "199,63"}));
    }

    void lastRowIsTheLastWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Journal.db"));
        const QDateTime ten(QDate(2024, 5, 6), QTime(10, 0));
        {
            CJournal journal(path);
            platform::ScopedFixedClock clock(ten);
            journal.Record(Row(QStringLiteral("12"), QStringLiteral("Филе"), true, 0.5, 300, ten));
            // The clock is set back an hour: the next label carries the earlier moment.
            journal.Record(Row(QStringLiteral("31"), QStringLiteral("Сыр"), false, 2, 120,
                               ten.addSecs(-3600)));
            JournalRow last;
            QVERIFY(journal.LastRow(&last));
            QCOMPARE(last.code, QStringLiteral("31"));
        }
        CJournal reopened(path);
        JournalRow last;
        QVERIFY(reopened.LastRow(&last));
        QCOMPARE(last.code, QStringLiteral("31"));
    }

    // The last day there is counts like any other; a name's line break stays in its cell.
    void toolToTheLastDayAndNamesOnOneLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Journal.db"));
        {
            CJournalFile file;
            QVERIFY(file.Open(path));
            QVERIFY(
                file.Append({Row(QStringLiteral("12"), QStringLiteral("Сыр\nРоссийский"), true, 0.5,
                                 300, QDateTime(QDate(2024, 5, 6), QTime(10, 0))),
                             Row(QStringLiteral("31"), QStringLiteral("Окорок\r\nкопчёный"), false,
                                 2, 120, QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)))}));
        }
        const QStringList range{QStringLiteral("--file"),   path,
                                QStringLiteral("--from"),   QStringLiteral("2024-01-01"),
                                QStringLiteral("--labels"), QStringLiteral("--to")};
        const QString last = QString::fromUtf8(RunTool(range + QStringList{"9999-12-31"}));
        const QString before = QString::fromUtf8(RunTool(range + QStringList{"9999-12-30"}));
        const QStringList lines = last.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[1].contains(QStringLiteral("Сыр Российский")), qPrintable(last));
        QVERIFY2(lines[2].contains(QStringLiteral("Окорок копчёный")), qPrintable(last));
        QCOMPARE(before.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
        const QStringList totals =
            QString::fromUtf8(RunTool(range.mid(0, 4) + QStringList{"--to", "9999-12-31"}))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(totals.size(), 4);
        QVERIFY2(totals.last().contains(QStringLiteral("390.00")), qPrintable(totals.join('\n')));
    }

    // Reading is all the tool does: a journal is left byte for byte as it was, anything else
    // is refused and left as it was too.
    void toolReadsOnlyJournals_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("journal");
        QTest::newRow("a journal") << "journal" << true;
        QTest::newRow("a catalogue") << "catalogue" << false;
        QTest::newRow("a text file") << "text" << false;
        QTest::newRow("an empty file") << "empty" << false;
        // Each of these once kept a reader busy, or ran what the file's author wrote.
        QTest::newRow("labels an endless view") << "view" << false;
        QTest::newRow("labels with a trigger") << "trigger" << false;
        QTest::newRow("labels with a computed column") << "computed" << false;
    }

    void toolReadsOnlyJournals() {
        QFETCH(QString, kind);
        QFETCH(bool, journal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.db"));
        if (kind == QLatin1String("journal")) {
            QVERIFY(QFile::copy(m_path, path));
        } else if (kind == QLatin1String("catalogue")) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db,
                                  "CREATE TABLE plu (code INTEGER PRIMARY KEY, name TEXT);"
                                  "INSERT INTO plu VALUES (12, 'Филе');",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
        } else if (kind == QLatin1String("text") || kind == QLatin1String("empty")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("text"))
                f.write("code;name\r\n12;Филе\r\n");
        } else {
            QVERIFY(QFile::copy(m_path, path));
            const char* sql = nullptr;
            if (kind == QLatin1String("view"))
                // Every column of a journal, a rowid too, and rows without end: sorting them
                // by moment once filled /var/tmp with gigabytes within seconds.
                sql = "DROP TABLE labels;"
                      "CREATE VIEW labels AS WITH RECURSIVE n(i) AS "
                      "(SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                      "SELECT printf('%012d', i) AS id, strftime('%Y-%m-%d %H:%M:%f', 'now', "
                      "'localtime') AS moment, '12' AS code, hex(randomblob(64)) AS name, "
                      "1 AS weighed, 1.0 AS quantity, 1.0 AS price, 1.0 AS sum, "
                      "'2700012005005' AS barcode, NULL AS best_before, 'p' AS printer, "
                      "0 AS job_id, 0 AS reprint, 'x' AS label_name, 'x' AS label_info, "
                      "'x' AS account, i AS rowid FROM n;";
            else if (kind == QLatin1String("trigger"))
                sql = "CREATE TABLE canary (n INTEGER);"
                      "CREATE TRIGGER planted AFTER INSERT ON labels "
                      "BEGIN INSERT INTO canary VALUES (1); END;";
            else
                sql = "ALTER TABLE labels RENAME TO old;"
                      "CREATE TABLE labels (id TEXT, moment TEXT AS ('2024-01-01'), code TEXT,"
                      " name TEXT, weighed INTEGER, quantity REAL, price REAL, sum REAL,"
                      " barcode TEXT, best_before TEXT, printer TEXT, job_id INTEGER,"
                      " reprint INTEGER, label_name TEXT, label_info TEXT);";
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
            // Out of WAL mode, so that reading it makes no -wal or -shm.
            QCOMPARE(sqlite3_exec(db, "PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr),
                     SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        const QByteArray hash = FileHash(path);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QTemporaryDir tmp;
        QProcess p;
        QVERIFY2(
            RunBounded(p, {QStringLiteral("--file"), path, QStringLiteral("--labels")}, tmp.path()),
            "the tool keeps reading");
        // SQLite unlinks its temporary files as it makes them: the file size limit is what
        // stops one that grows, and the tool would not end normally.
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(FolderSize(tmp.path()), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        if (journal) {
            QVERIFY2(p.exitCode() == 0, qPrintable(err));
            QCOMPARE(QString::fromUtf8(p.readAllStandardOutput())
                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                         .size(),
                     5);
        } else {
            QVERIFY(p.exitCode() != 0);
            QVERIFY2(err.contains(QStringLiteral("is not a packing journal")), qPrintable(err));
            QVERIFY(p.readAllStandardOutput().isEmpty());
        }
        QCOMPARE(FileHash(path), hash);
        // SQLite reads a journal in WAL mode through its -wal and -shm files, which a reader
        // may make (an empty log and an index); nothing else appears, nothing is written.
        QStringList after = QDir(dir.path()).entryList(QDir::Files);
        if (journal) {
            after.removeAll(QStringLiteral("file.db-shm"));
            if (after.removeAll(QStringLiteral("file.db-wal")) > 0)
                QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
        }
        QCOMPARE(after, files);
    }

    // A FIFO, socket, folder or device link where the tool would read a journal or its
    // companions, or the settings naming the central journal: named, never waited on.
    void toolNamesWhatIsNoFile_data() {
        QTest::addColumn<QString>("file"); // Journal.db, Journal.db-wal or Varnet.ini
        QTest::addColumn<QString>("kind");
        for (const QString& kind : notafile::Kinds())
            for (const char* file : {"Journal.db", "Journal.db-wal", "Varnet.ini"})
                QTest::addRow("%s as %s", qPrintable(kind), file)
                    << QString::fromLatin1(file) << kind;
    }
    void toolNamesWhatIsNoFile() {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("Journal.db"));
        const QString target = dir.filePath(file);
        if (file != QLatin1String("Journal.db"))
            QVERIFY(QFile::copy(m_path, journal));
        QVERIFY(notafile::Make(kind, target));
        const QStringList args =
            file == QLatin1String("Varnet.ini")
                ? QStringList{QStringLiteral("--central"), QStringLiteral("--ini"), target}
                : QStringList{QStringLiteral("--file"), journal, QStringLiteral("--labels")};
        QTemporaryDir tmp;
        QProcess p;
        QVERIFY2(RunBounded(p, args, tmp.path()), "the tool waits");
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
                 QStringLiteral("varnet-journal: %1 — не файл, а %2.\n")
                     .arg(target, notafile::Word(kind)));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no such day") << QStringList{"--date", "2024-02-30"};
        QTest::newRow("range backwards")
            << QStringList{"--from", "2024-03-02", "--to", "2024-03-01"};
        QTest::newRow("unknown grouping") << QStringList{"--by", "week"};
        QTest::newRow("no journal") << QStringList{"--file", "/nonexistent/Journal.db"};
        QTest::newRow("no time-out") << QStringList{"--central", "--timeout", "0"};
        QTest::newRow("a shift takes no dates") << QStringList{"--shift", "--date", "2024-03-01"};
        QTest::newRow("a shift at no moment") << QStringList{"--shift", "--now", "morning"};
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
