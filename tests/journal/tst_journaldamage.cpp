// A journal file with a few pages of garbage in it: the program keeps it aside byte for byte,
// writes new rows to a fresh file and tells the operator once; the journal dialog says so
// instead of showing zeros; varnet-journal still lists the rows that can be read. A journal
// that cannot be read at all is shown as such too.
#include "journal/journal.h"
#include "journal/journalfile.h"
#include "platform/clock.h"
#include "support/messagerecorder.h"
#include "workstation/journaldlg.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

#include <sqlite3.h>

namespace {

constexpr int kRows = 400;
const QDateTime kDay(QDate(2024, 6, 3), QTime(8, 0));

JournalRow Row(int i) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = kDay.addSecs(60 * i);
    r.code = QString::number(1000 + i);
    r.name = QStringLiteral("Товар номер %1 с довольно длинным названием").arg(i);
    r.quantity = 0.5;
    r.price = 100;
    r.sum = 50;
    r.barcode = QStringLiteral("2700012005120");
    r.printer = QStringLiteral("VarnetZPL");
    r.labelName = r.name;
    return r;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Garbage over pages first to first + count - 1 (1-based, as SQLite counts them).
void Damage(const QString& path, int first, int count) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(first - 1) * 4096));
    QByteArray garbage(4096 * count, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131 + 17) % 251);
    QCOMPARE(f.write(garbage), qint64(garbage.size()));
}

// The journal dialog on the day of the rows: its error line and its grand total.
QStringList DialogTexts(CJournal& journal, const QString& picture) {
    platform::ScopedFixedClock clock(kDay);
    CJournalDlg dlg(journal, [](const JournalRow&) { return false; });
    dlg.grab().save(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/tests/") +
                    picture);
    return {dlg.ErrorText(), dlg.GrandText(), QString::number(dlg.RowsTable()->rowCount())};
}

} // namespace

class TestJournalDamage : public QObject {
    Q_OBJECT

private slots:
    void damagedFileIsSetAside() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
            QList<JournalRow> rows;
            for (int i = 0; i < kRows; ++i)
                rows.append(Row(i));
            QVERIFY(file.Append(rows));
        }
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
        Damage(path, 12, 3);
        const QByteArray damaged = FileBytes(path);

        // The manager's tool lists what can be read, and says the file is damaged.
        QProcess tool;
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                       QStringLiteral("/bin/varnet-journal"),
                   {QStringLiteral("--file"), path, QStringLiteral("--labels"),
                    QStringLiteral("--date"), kDay.date().toString(Qt::ISODate)});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(QString::fromUtf8(tool.readAllStandardError()).contains(QStringLiteral("damaged")));
        const QStringList listed = QString::fromUtf8(tool.readAllStandardOutput())
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                       .mid(1);
        // Three pages hold a few dozen rows; the rows before and after them are there.
        QVERIFY2(listed.size() > kRows - 60 && listed.size() < kRows,
                 qPrintable(QString::number(listed.size())));
        QVERIFY(listed.first().contains(QStringLiteral("1000")));
        QVERIFY(listed.last().contains(QString::number(1000 + kRows - 1)));
        QCOMPARE(FileBytes(path), damaged);

        // The program: the damaged file is set aside untouched, the label goes to a fresh
        // file, and the operator hears of it once.
        MessageRecorder messages;
        CJournal journal(path);
        {
            platform::ScopedFixedClock clock(kDay.addSecs(3600 * 10));
            journal.Record(Row(kRows));
            journal.Record(Row(kRows + 1));
        }
        QCOMPARE(messages.Texts().size(), 1);
        const QStringList aside =
            QDir(dir.path()).entryList({QStringLiteral("Journal-damaged-*.db")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        const QString asidePath = dir.filePath(aside.first());
        QVERIFY2(
            messages.Texts().first().startsWith(QStringLiteral("Файл журнала фасовки повреждён")),
            qPrintable(messages.Texts().first()));
        QVERIFY(messages.Texts().first().contains(asidePath));
        QCOMPARE(FileBytes(asidePath), damaged);
        CJournalFile fresh;
        QVERIFY(fresh.OpenReadOnly(path));
        QCOMPARE(fresh.Rows(kDay.addDays(-1), kDay.addDays(1)).size(), 2);

        // The dialog says why the day's earlier labels are not there.
        const QStringList shown = DialogTexts(journal, QStringLiteral("journal-damaged.png"));
        QCOMPARE(shown[0], messages.Texts().first());
        QCOMPARE(shown[2], QStringLiteral("2"));
        QCOMPARE(messages.Texts().size(), 1);
        QCOMPARE(FileBytes(asidePath), damaged);
    }

    void tamperedFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("sql");
        QTest::newRow("labels an endless view")
            << QByteArray("DROP TABLE labels; CREATE VIEW labels AS WITH RECURSIVE n(i) AS "
                          "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i AS id FROM n;");
        QTest::newRow("labels with a trigger")
            << QByteArray("CREATE TRIGGER planted AFTER INSERT ON labels "
                          "BEGIN INSERT INTO canary VALUES (1); END;");
    }
    void tamperedFileIsSetAside() {
        QFETCH(QByteArray, sql);
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY2(file.Open(path), qPrintable(file.Error()));
            QVERIFY(file.Append({Row(0)}));
        }
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(
                     db, ("PRAGMA journal_mode=DELETE; CREATE TABLE canary (n);" + sql).constData(),
                     nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        const QByteArray tampered = FileBytes(path);

        MessageRecorder messages;
        CJournal journal(path);
        journal.Record(Row(1));
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(messages.Texts().first().startsWith(
                     QStringLiteral("Файл журнала фасовки повреждён (labels ")),
                 qPrintable(messages.Texts().first()));
        const QStringList aside =
            QDir(dir.path()).entryList({QStringLiteral("Journal-damaged-*.db")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(FileBytes(dir.filePath(aside.first())), tampered);
        CJournalFile fresh;
        QVERIFY2(fresh.OpenReadOnly(path), qPrintable(fresh.Error()));
        QCOMPARE(fresh.All().size(), 1);
        QCOMPARE(journal.Waiting(), 0);
    }

    // A journal that cannot be read is no day without labels.
    void unreadableJournalShowsItsError() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        QVERIFY(QDir().mkpath(path)); // a folder where the file should be
        MessageRecorder messages;
        CJournal journal(path);
        const QStringList shown = DialogTexts(journal, QStringLiteral("journal-unreadable.png"));
        QVERIFY2(shown[0].startsWith(QStringLiteral("Журнал фасовки не читается: ")),
                 qPrintable(shown[0]));
        QCOMPARE(shown[2], QStringLiteral("0"));
        QVERIFY(messages.Texts().isEmpty());
    }
};

QTEST_MAIN(TestJournalDamage)
#include "tst_journaldamage.moc"
