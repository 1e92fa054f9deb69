// The packing journal as the print flow fills it, on a scheduler of the test's own: a label
// the spooler accepted is one row with the values on the label, a refused one is none, a row
// survives the program killed right after the job, a folder that cannot be written costs
// one message and no row; the journal dialog shows the day and reprints a label exactly.
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "platform/clock.h"
#include "platform/odbc.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/privatecups.h"
#include "support/testcounter.h"
#include "workstation/journaldlg.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"
#include "workstation/screenstate.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

#include <csignal>
#include <iostream>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const QString kQueue = QStringLiteral("Journaled");
const char* const kChildVariable = "VARNET_JOURNAL_CHILD";

struct Label {
    QString code;
    QString name;
    double price = 0;
    double weight = 0;
    QDateTime bestBefore;
};

// One label through the print flow; the operator messages it gave.
QStringList Print(CVarnetApp& app, const Label& l) {
    CScreenState state(app.m_settings);
    CurrentProduct p;
    p.m_strCode = l.code;
    p.m_strName = l.name;
    p.m_dPrice = l.price;
    p.m_stBestBefore = l.bestBefore;
    state.ShowProduct(p);
    state.OnWeightUpdate(l.weight);
    MessageRecorder recorder;
    PrintLabel(state, nullptr);
    return recorder.Texts();
}

QList<JournalRow> FileRows(const QString& path) {
    CJournalFile file;
    if (!file.Open(path, false))
        return {};
    return file.Rows(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                     QDateTime(QDate(2100, 1, 1), QTime(0, 0)));
}

// A row as the print flow makes it, of this account.
JournalRow AnyRow(const QString& code) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = QDateTime(QDate(2026, 12, 10), QTime(9, 30));
    r.code = code;
    r.name = QStringLiteral("Товар %1").arg(code);
    r.quantity = 0.5;
    r.price = 100;
    r.sum = 50;
    r.barcode = QStringLiteral("2700012005009");
    r.printer = kQueue;
    r.account = platform::AccountName();
    return r;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a command that must succeed (chattr on the test's own folder).
bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestJournalFlow : public QObject {
    Q_OBJECT

    QTemporaryDir m_data;
    PrivateScheduler m_cups;
    std::unique_ptr<TestCounter> m_counter;

    QString JournalPath() const { return m_counter->Dir().File(CJournal::FileName()); }

private slots:
    void initTestCase() {
        // Rows the journal cannot take are kept in the account's own data folder: the test's.
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        platform::InstallSpoolerPrinters();
        QString error;
        QVERIFY2(m_cups.Start(&error), qPrintable(error));
        QVERIFY2(m_cups.AddZebraQueue(kQueue, &error), qPrintable(error));
        TestCounterOptions o;
        o.printer = kQueue;
        m_counter = std::make_unique<TestCounter>(o);
    }

    void cleanupTestCase() { m_counter.reset(); }

    // Both dates of a label count from the moment it prints: product 12, kept 24 hours,
    // chosen at 03:11 and printed at 03:12, is packed at 03:12 and good until 03:12 the next
    // day, on the label and in the journal.
    void datesCountFromThePrint() {
        CVarnetApp& app = m_counter->App();
        {
            platform::odbc::Connection c;
            c.Open(QStringLiteral("Driver={SQLite3};DATABASE=") +
                   m_counter->Dir().File(QStringLiteral("catalogue.db")));
            platform::odbc::Statement st(c);
            st.ExecDirect(QStringLiteral("UPDATE plu SET bHours = 24, sq = 0 WHERE plu = '12'"));
        }
        // Years before the other labels of this test, whose rows it counts in order.
        const QDateTime chosen(QDate(2020, 6, 3), QTime(3, 11, 0));
        const QDateTime printed = chosen.addSecs(60);
        const QDateTime bestBefore = printed.addSecs(24 * 3600);
        CScreenState state(app.m_settings);
        {
            platform::ScopedFixedClock clock(chosen);
            state.AppendKey(QStringLiteral("12"));
            QVERIFY(OnTypedProductKey(app, state));
        }
        state.OnWeightUpdate(0.512);
        const int jobs = m_cups.CapturedJobs().size();
        MessageRecorder recorder;
        {
            platform::ScopedFixedClock clock(printed);
            PrintLabel(state, nullptr);
        }
        QVERIFY2(recorder.Texts().isEmpty(), qPrintable(recorder.Texts().join(QLatin1Char('\n'))));
        QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), jobs + 1, 30000);
        const CBarCodeLabelInfo& label = AppLayouts().Layout(true);
        QCOMPARE(label.m_PackDate.m_stValue, ToSystemTime(printed));
        QCOMPARE(label.m_Expiry.m_stValue, ToSystemTime(bestBefore));
        const QList<JournalRow> rows = AppJournal().Rows(chosen, bestBefore);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].moment, printed);
        QCOMPARE(rows[0].bestBefore, bestBefore);
    }

    void threeLabelsThreeRows() {
        const QDateTime packed(QDate(2024, 3, 5), QTime(10, 15, 30));
        platform::ScopedFixedClock clock(packed);
        const QList<Label> labels = {
            {QStringLiteral("12"), QStringLiteral("Филе куриное"), 389.9, 0.512, {}},
            {QStringLiteral("7"), QStringLiteral("Сыр \"Российский\"; весовой"), 720.0, 1.25,
             QDateTime(QDate(2024, 3, 12), QTime(0, 0))},
            {QStringLiteral("305"), QStringLiteral("Фарш говяжий"), 499.99, 0.007, {}},
        };
        const int before = FileRows(JournalPath()).size();
        QStringList barcodes;
        for (const Label& l : labels) {
            const int jobs = m_cups.CapturedJobs().size();
            const QStringList messages = Print(m_counter->App(), l);
            QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
            QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), jobs + 1, 30000);
            barcodes.append(m_cups.LastJobBarcode());
        }
        // Written at once: the file has them without a flush.
        const QList<JournalRow> rows = FileRows(JournalPath()).mid(before);
        QCOMPARE(rows.size(), 3);
        QSet<QString> ids;
        for (int i = 0; i < 3; ++i) {
            const JournalRow& r = rows[i];
            const Label& l = labels[i];
            QCOMPARE(r.code, l.code);
            QCOMPARE(r.name, l.name);
            QVERIFY(r.weighed);
            QCOMPARE(r.quantity, l.weight);
            QCOMPARE(r.price, l.price);
            QCOMPARE(r.sum, m_counter->App().RoundAmount(l.weight * l.price));
            // The digits the scanner reads off the printed label.
            QCOMPARE(r.barcode, barcodes[i]);
            QCOMPARE(r.bestBefore, l.bestBefore);
            QCOMPARE(r.moment, packed);
            QCOMPARE(r.printer, kQueue);
            QVERIFY(r.jobId > 0);
            QVERIFY(!r.reprint);
            QCOMPARE(r.account, platform::AccountName());
            QVERIFY(QUuid::fromString(r.id).version() == QUuid::Random);
            ids.insert(r.id);
        }
        QCOMPARE(ids.size(), 3);
        QCOMPARE(rows[0].barcode, QStringLiteral("2700012005120"));
    }

    void refusedJobAddsNoRow() {
        const int before = FileRows(JournalPath()).size();
        QString error;
        QVERIFY2(m_cups.Run(QStringLiteral("cupsreject"), {kQueue}, &error), qPrintable(error));
        const QStringList messages =
            Print(m_counter->App(), {QStringLiteral("12"), QStringLiteral("Филе"), 100, 0.5, {}});
        QVERIFY2(m_cups.Run(QStringLiteral("cupsaccept"), {kQueue}, &error), qPrintable(error));
        QCOMPARE(messages, QStringList{QStringLiteral("Ошибка принтера: StartDocPrinter")});
        QCOMPARE(FileRows(JournalPath()).size(), before);
        QCOMPARE(AppJournal().Waiting(), 0);
    }

    // A copy of this program prints one label and is killed at once: the row is in its file.
    void rowSurvivesKillRightAfterTheJob() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
        env.insert(QStringLiteral("CUPS_SERVER"), m_cups.Socket());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(120000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^journal (.+)$"),
                                                             QRegularExpression::MultilineOption)
                                              .match(out);
        QVERIFY2(m.hasMatch(), qPrintable(out + QString::fromUtf8(child.readAllStandardError())));
        const QString path = m.captured(1).trimmed();
        const QList<JournalRow> rows = FileRows(path);
        QDir(QFileInfo(path).absolutePath()).removeRecursively();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].code, QStringLiteral("44"));
        QCOMPARE(rows[0].quantity, 0.321);
        QVERIFY(rows[0].jobId > 0);
    }

    void dialogShowsTheDayAndReprints() {
        const QDateTime morning(QDate(2024, 4, 2), QTime(8, 0));
        platform::ScopedFixedClock clock(morning);
        QTemporaryDir dir;
        platform::SetModuleDirectoryOverride(dir.path());
        Print(m_counter->App(),
              {QStringLiteral("12"), QStringLiteral("Филе куриное"), 389.9, 0.512, {}});
        {
            platform::ScopedFixedClock later(morning.addSecs(60));
            Print(m_counter->App(), {QStringLiteral("7"), QStringLiteral("Сыр «Российский»"), 720.0,
                                     1.25, morning.addDays(7)});
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_cups.CapturedJobs().isEmpty(), 30000);
        CScreenState state(m_counter->App().m_settings);
        CJournalDlg dlg(AppJournal(),
                        [&](const JournalRow& row) { return ReprintLabel(state, row, nullptr); });
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTableWidget* rows = dlg.RowsTable();
        QCOMPARE(rows->rowCount(), 2);
        // Newest first.
        QCOMPARE(rows->item(0, 1)->text(), QStringLiteral("7"));
        QCOMPARE(dlg.TotalsTable()->rowCount(), 2);
        QCOMPARE(dlg.GrandText(),
                 QStringLiteral("Итого: этикеток 2, 1.762 кг, 0 шт, сумма 1099.63"));
        dlg.grab().save(qEnvironmentVariable("VARNET_BINARY_DIR") +
                        QStringLiteral("/tests/journal-dialog.png"));

        // Enter reprints the selected (newest) label: same barcode on paper, a reprint row,
        // and the totals as they were.
        const int jobs = m_cups.CapturedJobs().size();
        const QString original = dlg.Day().Rows()[0].barcode;
        {
            platform::ScopedFixedClock jammed(morning.addSecs(120));
            MessageRecorder recorder;
            QTest::keyClick(rows, Qt::Key_Return);
            QVERIFY2(recorder.Texts().isEmpty(), qPrintable(recorder.Texts().join('\n')));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), jobs + 1, 30000);
        QCOMPARE(m_cups.LastJobBarcode(), original);
        QCOMPARE(rows->rowCount(), 3);
        QCOMPARE(rows->item(0, 7)->text(), QStringLiteral("повтор"));
        const JournalRow reprint = dlg.Day().Rows()[0];
        QVERIFY(reprint.reprint);
        QCOMPARE(reprint.barcode, original);
        QCOMPARE(reprint.bestBefore, morning.addDays(7));
        QCOMPARE(reprint.labelName, QStringLiteral("Сыр «Российский»"));
        QCOMPARE(dlg.GrandText(),
                 QStringLiteral("Итого: этикеток 2, 1.762 кг, 0 шт, сумма 1099.63"));
        QCOMPARE(FileRows(dir.filePath(CJournal::FileName())).size(), 3);

        // The export reads back through Python's CSV reader with the Cyrillic intact.
        const QString csv = dir.filePath(QStringLiteral("day.csv"));
        QVERIFY(dlg.ExportTo(csv));
        QProcess py;
        py.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv,sys\n"
                                 "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', "
                                 "newline=''), delimiter=';'))\n"
                                 "print(len(rows)); print(rows[2][2]); print(rows[3][11])"),
                  csv});
        QVERIFY(py.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n')).mid(0, 3),
                 (QStringList{QStringLiteral("4"), QStringLiteral("Сыр «Российский»"),
                              QStringLiteral("да")}));

        // Escape closes.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        platform::SetModuleDirectoryOverride(m_counter->Dir().Path());
    }

    void unwritableFolderThenWritable() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("counter"));
        QVERIFY(QDir().mkpath(folder));
        // Immutable: no file can be made in it, by root neither.
        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}));
        platform::SetModuleDirectoryOverride(folder);
        AppJournal().SetRetryInterval(100);
        const int jobs = m_cups.CapturedJobs().size();
        QStringList messages;
        for (int i = 0; i < 3; ++i)
            messages +=
                Print(m_counter->App(),
                      {QStringLiteral("12"), QStringLiteral("Филе"), 100, 0.5 + i * 0.001, {}});
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0], CJournal::UnwritableMessage(folder + QStringLiteral("/Journal.db")));
        // Printing went on.
        QTRY_COMPARE_WITH_TIMEOUT(m_cups.CapturedJobs().size(), jobs + 3, 30000);
        QCOMPARE(AppJournal().Waiting(), 3);
        QTest::qWait(300);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/Journal.db")));
        // Meanwhile they are safe from a killed program too: in the account's own file.
        const QString pending = AppJournal().PendingPath();
        QVERIFY(pending.startsWith(m_data.path() + QStringLiteral("/varnet/pending-")));
        QCOMPARE(FileRows(pending).size(), 3);

        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("-i"), folder}));
        QTRY_COMPARE_WITH_TIMEOUT(AppJournal().Waiting(), 0, 10000);
        const QList<JournalRow> rows = FileRows(folder + QStringLiteral("/Journal.db"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[2].quantity, 0.502);
        QVERIFY(!QFile::exists(pending));
        platform::SetModuleDirectoryOverride(m_counter->Dir().Path());
    }

    // The program ends while the journal cannot be written (here: an immutable file, which
    // binds root too): the row is kept in the account's own file, the operator hears where,
    // and the next start of the program moves it into the journal, once.
    void rowKeptAtExitMovesInOnce() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
        }
        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("+i"), path}));
        JournalRow row = AnyRow(QStringLiteral("12"));
        QString pending;
        {
            MessageRecorder messages;
            CJournal journal(path);
            pending = journal.PendingPath();
            journal.Record(row);
            QCOMPARE(messages.Texts(), QStringList{CJournal::UnwritableMessage(path)});
            QCOMPARE(journal.Close(),
                     QStringLiteral("Этикеток, не записанных в журнал фасовки %1: 1. Они "
                                    "сохранены в %2 и будут перенесены в журнал при следующем "
                                    "запуске программы")
                         .arg(path, pending));
        }
        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("-i"), path}));
        QCOMPARE(FileRows(path).size(), 0);
        for (int start = 0; start < 2; ++start) {
            MessageRecorder messages;
            CJournal journal(path);
            journal.Prepare();
            QCOMPARE(journal.Waiting(), 0);
            QCOMPARE(journal.Close(), QString());
            QCOMPARE(messages.Texts(), QStringList());
        }
        const QList<JournalRow> rows = FileRows(path);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, row.id);
        QCOMPARE(rows[0].account, row.account);
        QVERIFY(!QFile::exists(pending));
    }

    // Another connection (the sender to the central journal, a manager's reader) holds the
    // journal locked for a moment longer than the writer waits: no outage for the operator;
    // the row is written once the lock is gone.
    void lockHeldAMomentIsNoOutage() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
        }
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
        MessageRecorder messages;
        CJournal journal(path);
        journal.SetRetryInterval(100);
        const JournalRow row = AnyRow(QStringLiteral("14"));
        journal.Record(row);
        QCOMPARE(journal.Waiting(), 1);
        QTest::qWait(1000);
        QCOMPARE(journal.Waiting(), 1);
        QCOMPARE(sqlite3_exec(holder, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(holder);
        QTRY_COMPARE(journal.Waiting(), 0);
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(journal.Close(), QString());
        const QList<JournalRow> rows = FileRows(path);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, row.id);
    }

    // A journal of an earlier version gains the account column when it is opened for
    // writing; its rows stay as they were.
    void olderFileGainsTheAccountColumn() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
            const char* sql =
                "CREATE TABLE labels (id TEXT PRIMARY KEY NOT NULL, moment TEXT NOT NULL,"
                " code TEXT NOT NULL, name TEXT NOT NULL, weighed INTEGER NOT NULL,"
                " quantity REAL NOT NULL, price REAL NOT NULL, sum REAL NOT NULL,"
                " barcode TEXT NOT NULL, best_before TEXT, printer TEXT NOT NULL,"
                " job_id INTEGER NOT NULL, reprint INTEGER NOT NULL, label_name TEXT NOT NULL,"
                " label_info TEXT NOT NULL, sent INTEGER NOT NULL DEFAULT 0);"
                "INSERT INTO labels VALUES ('old', '2026-12-01 09:15:00.000', '12', 'Сыр', 1,"
                " 0.512, 450, 230.4, '2700012005124', NULL, 'Q', 7, 0, 'Сыр', '', 0);";
            QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        CJournal journal(path);
        journal.Record(AnyRow(QStringLiteral("31")));
        QCOMPARE(journal.Waiting(), 0);
        const QList<JournalRow> rows = FileRows(path);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].id, QStringLiteral("old"));
        QCOMPARE(rows[0].quantity, 0.512);
        QCOMPARE(rows[0].account, QString());
        QCOMPARE(rows[1].account, platform::AccountName());
        // Nor did it say whether the weight was keyed, nor take a tare.
        QVERIFY(!rows[0].keyed.has_value());
        QCOMPARE(rows[0].tare, 0.0);
    }

    // «Закрыть смену» while the journal cannot be written waits as a label does: in the
    // account's own file across an exit, moved into the journal by the next start, once.
    void shiftCloseWaitsLikeALabel() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
        }
        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("+i"), path}));
        const ShiftClose close =
            ShiftClose::Make(QStringLiteral("kassir1"), QDateTime(QDate(2026, 3, 5), QTime(12, 0)));
        {
            MessageRecorder messages;
            CJournal journal(path);
            journal.CloseShift(close);
            QCOMPARE(journal.Waiting(), 1);
            QCOMPARE(messages.Texts(), QStringList{CJournal::UnwritableMessage(path)});
            // Shown meanwhile from memory.
            QCOMPARE(journal.ShiftCloses(close.moment.addDays(-1)).size(), 1);
            QVERIFY(!journal.Close().isEmpty());
        }
        QVERIFY(Run(QStringLiteral("chattr"), {QStringLiteral("-i"), path}));
        for (int start = 0; start < 2; ++start) {
            CJournal journal(path);
            journal.Prepare();
            QCOMPARE(journal.Waiting(), 0);
        }
        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        const QList<ShiftClose> closes = file.ShiftCloses(close.moment.addDays(-1));
        QCOMPARE(closes.size(), 1);
        QCOMPARE(closes[0].id, close.id);
        QCOMPARE(closes[0].account, close.account);
        QVERIFY(!QFile::exists(CJournal(path).PendingPath()));
    }

    // Another account's link in the shared folder, in place of the journal, is never written
    // through: the row waits in this account's own file and the link's target stays as it was.
    void plantedLinkIsNotWrittenThrough() {
        if (::geteuid() != 0)
            QSKIP("a link of another account can only be made by root");
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("other.db"));
        {
            CJournalFile file;
            QVERIFY(file.Open(target));
        }
        const QByteArray before = Bytes(target);
        const QString path = dir.filePath(CJournal::FileName());
        QVERIFY(QFile::link(target, path));
        QCOMPARE(::lchown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        MessageRecorder messages;
        CJournal journal(path);
        journal.Record(AnyRow(QStringLiteral("7")));
        QCOMPARE(journal.Waiting(), 1);
        QCOMPARE(messages.Texts(), QStringList{CJournal::UnwritableMessage(path)});
        QCOMPARE(FileRows(journal.PendingPath()).size(), 1);
        QCOMPARE(Bytes(target), before);
        QVERIFY(QFile::remove(journal.PendingPath()));
    }
};

// The child of rowSurvivesKillRightAfterTheJob: prints one label and kills itself.
static int ChildMain(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::InstallSpoolerPrinters();
    TestCounterOptions o;
    o.printer = kQueue;
    auto* counter = new TestCounter(o); // never destroyed: the process dies first
    const QStringList messages =
        Print(counter->App(), {QStringLiteral("44"), QStringLiteral("Окорок"), 300, 0.321, {}});
    std::cout << "journal " << qPrintable(counter->Dir().File(CJournal::FileName())) << std::endl;
    if (!messages.isEmpty())
        std::cerr << qPrintable(messages.join(QLatin1Char('\n'))) << std::endl;
    raise(SIGKILL);
    return 1;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildVariable))
        return ChildMain(argc, argv);
    QApplication app(argc, argv);
    TestJournalFlow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journalflow.moc"
