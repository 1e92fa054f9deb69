// The central journal on a PostgreSQL server of the test's own, stopped and started again
// under a recording counter: every row arrives once, and a restarted program sends nothing
// twice, even rows the file forgot it had sent. A row the table refuses is set aside with
// the server's words while the rest arrive, also from the middle of a batch; a table locked
// by another session holds neither the program's close nor varnet-journal, and loses nothing.
#include "journal/centraljournal.h"
#include "journal/journal.h"
#include "journal/journalsender.h"
#include "platform/paths.h"
#include "support/messagerecorder.h"
#include "support/privatepostgres.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

class TstCentralJournal : public QObject {
    Q_OBJECT
    PrivatePostgres m_server;
    QString m_connect;
    const CJournalOutbox::Timing m_fast{100, 400, 200};

    QStringList ServerIds() {
        platform::odbc::Connection db;
        db.Open(m_connect);
        platform::odbc::Statement st(db);
        st.ExecDirect(QStringLiteral("SELECT id FROM varnet_journal ORDER BY id"));
        QStringList ids;
        while (st.Fetch())
            ids.append(st.GetText(1).value_or(QString()));
        return ids;
    }

    void Exec(const QString& sql) {
        platform::odbc::Connection db;
        db.Open(m_connect);
        platform::odbc::Statement st(db);
        st.ExecDirect(sql);
    }

    static QString Definition() {
        QFile definition(qEnvironmentVariable("VARNET_SOURCE_DIR") +
                         QStringLiteral("/sql/journal-postgresql.sql"));
        return definition.open(QIODevice::ReadOnly) ? QString::fromUtf8(definition.readAll())
                                                    : QString();
    }

    static QStringList LocalIds(const QString& path, bool unsentOnly) {
        CJournalFile file;
        if (!file.Open(path, false))
            return {};
        QList<JournalRow> rows = unsentOnly ? file.Unsent(1000)
                                            : file.Rows(QDateTime::currentDateTime().addDays(-1),
                                                        QDateTime::currentDateTime().addDays(1));
        QStringList ids;
        for (const JournalRow& r : rows)
            ids.append(r.id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    static JournalRow Row(int i) {
        JournalRow r;
        r.id = JournalRow::NewId();
        r.moment = QDateTime::currentDateTime();
        r.code = QString::number(100 + i);
        r.name = QStringLiteral("Филе куриное «%1»").arg(i);
        r.weighed = i % 2 == 0;
        r.quantity = r.weighed ? 0.5 + i / 1000.0 : i;
        r.price = 389.9;
        r.sum = 194.95 + i;
        r.barcode = QStringLiteral("2700100005009");
        r.printer = QStringLiteral("VarnetLabel");
        r.jobId = 40 + i;
        r.labelName = r.name;
        r.labelInfo = QStringLiteral("Хранить при 0…+4 °C");
        return r;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!m_server.Start())
            QFAIL(qPrintable(m_server.Error()));
        m_connect = QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;"
                                   "Database=postgres;UID=postgres")
                        .arg(m_server.Port());
        // The table exactly as the repository defines it for installers.
        QVERIFY(!Definition().isEmpty());
        Exec(Definition());
    }

    // The insert the outbox runs is the one the definition file shows the database's owner.
    void statementsAsDocumented_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("dialect");
        QTest::newRow("PostgreSQL")
            << "journal-postgresql.sql" << int(platform::odbc::Dialect::PostgreSQL);
        QTest::newRow("SQL Server")
            << "journal-sqlserver.sql" << int(platform::odbc::Dialect::SqlServer);
    }
    void statementsAsDocumented() {
        QFETCH(QString, file);
        QFETCH(int, dialect);
        QFile f(qEnvironmentVariable("VARNET_SOURCE_DIR") + QStringLiteral("/sql/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString comment;
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("--   ")))
                comment += line.mid(2) + QLatin1Char(' ');
        const auto squeeze = [](QString s) {
            return s.replace(QStringLiteral("dbo."), QString()).simplified();
        };
        QCOMPARE(squeeze(comment), squeeze(CCentralJournal::InsertStatement(
                                       static_cast<platform::odbc::Dialect>(dialect),
                                       CCentralJournal::Columns(), 2)));
    }

    void outageLosesNothingAndRestartSendsNothingTwice() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        MessageRecorder messages;
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            for (int i = 0; i < 3; ++i)
                journal.Record(Row(i));
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), 3, 20000);

            m_server.Stop();
            for (int i = 3; i < 7; ++i)
                journal.Record(Row(i));
            QTRY_VERIFY_WITH_TIMEOUT(journal.Outbox()->GetState() == CJournalOutbox::State::Failing,
                                     10000);
            // Several tries fail meanwhile; labels go on being recorded.
            QTest::qWait(1500);
            for (int i = 7; i < 10; ++i)
                journal.Record(Row(i));
            QTest::qWait(1000);
            QCOMPARE(LocalIds(path, true).size(), 7);
            QVERIFY2(messages.Texts().size() == 1, qPrintable(messages.Texts().join("\n---\n")));
            QVERIFY(messages.Texts().first().contains(QStringLiteral("Центральный журнал")));

            QVERIFY2(m_server.Resume(), qPrintable(m_server.Error()));
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), 10, 30000);
            QCOMPARE(ServerIds(), LocalIds(path, false));
            QTRY_VERIFY(LocalIds(path, true).isEmpty());
            QCOMPARE(journal.Outbox()->Inserted(), 10);
        }
        QCOMPARE(messages.Texts().size(), 1);

        // The values and the counter's name as the server keeps them.
        {
            CCentralJournal central;
            central.Open(m_connect);
            const QDateTime now = QDateTime::currentDateTime();
            const QList<JournalRow> rows =
                central.Rows(now.addDays(-1), now.addDays(1), platform::ComputerName());
            QCOMPARE(rows.size(), 10);
            const auto it = std::find_if(rows.begin(), rows.end(), [](const JournalRow& r) {
                return r.code == QLatin1String("107");
            });
            QVERIFY(it != rows.end());
            QCOMPARE(it->name, QStringLiteral("Филе куриное «7»"));
            QCOMPARE(it->labelInfo, QStringLiteral("Хранить при 0…+4 °C"));
            QVERIFY(!it->weighed);
            QCOMPARE(it->quantity, 7.0);
            QCOMPARE(it->sum, 201.95);
            QCOMPARE(it->jobId, 47);
            QVERIFY(!it->bestBefore.isValid());
            QVERIFY(
                central.Rows(now.addDays(-1), now.addDays(1), QStringLiteral("другой")).isEmpty());
        }

        // The program started again on the same file sends only what is new.
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(Row(10));
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), 11, 20000);
            QTRY_VERIFY(LocalIds(path, true).isEmpty());
            QCOMPARE(journal.Outbox()->Sent(), 1);
        }

        // Rows the server took while the answer was lost stay unmarked in the file: sent
        // again, they are not stored twice.
        {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "UPDATE labels SET sent = 0", nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            QTRY_COMPARE_WITH_TIMEOUT(journal.Outbox()->Sent(), 11, 20000);
            QCOMPARE(journal.Outbox()->Inserted(), 0);
            QTRY_VERIFY(LocalIds(path, true).isEmpty());
        }
        QCOMPARE(ServerIds(), LocalIds(path, false));
        QCOMPARE(messages.Texts().size(), 1);
    }

    // A server restarted under the outbox cuts the connection it holds: the retry a moment
    // later connects again, and the operator hears of nothing.
    void restartTellsNothing() {
        QTemporaryDir dir;
        MessageRecorder messages;
        CJournal journal(dir.filePath(CJournal::FileName()));
        journal.SetCentral(m_connect, m_fast);
        const int before = ServerIds().size();
        journal.Record(Row(30));
        QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), before + 1, 20000);
        QVERIFY2(m_server.Restart(), qPrintable(m_server.Error()));
        journal.Record(Row(31));
        QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), before + 2, 20000);
        QTest::qWait(500);
        QCOMPARE(messages.Texts(), QStringList());
    }

    // A price of 1e13 overflows the table's NUMERIC(14, 2): that row stays behind with the
    // server's words, every other row arrives, and later rows go on arriving.
    void refusedRowIsSetAside() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const int before = ServerIds().size();
        MessageRecorder messages;
        JournalRow refused = Row(2);
        refused.price = 1e13;
        refused.sum = 1e13;
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(Row(0));
            journal.Record(Row(1));
            journal.Record(refused);
            journal.Record(Row(3));
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), before + 3, 20000);
            QTRY_COMPARE_WITH_TIMEOUT(journal.Outbox()->SetAside(), 1, 20000);
            journal.Record(Row(4));
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), before + 4, 20000);
            QTRY_VERIFY(LocalIds(path, true).isEmpty());
        }
        QVERIFY(!ServerIds().contains(refused.id));
        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        const QList<SetAsideRow> aside = file.SetAsideRows();
        QCOMPARE(aside.size(), 1);
        QCOMPARE(aside.first().row.id, refused.id);
        // PostgreSQL's own words, not a stand-in for them.
        QVERIFY2(aside.first().error.contains(QLatin1String("numeric field overflow")),
                 qPrintable(aside.first().error));
        // The message is posted to the screen thread.
        QTRY_VERIFY2(messages.Texts().size() == 1, qPrintable(messages.Texts().join("\n---\n")));
        QCOMPARE(messages.Texts(),
                 QStringList{CJournalOutbox::RefusedMessage(refused, aside.first().error, 1)});

        QProcess tool;
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                       QStringLiteral("/bin/varnet-journal"),
                   {QStringLiteral("--refused"), QStringLiteral("--file"), path});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].contains(refused.id) && lines[1].contains(QLatin1String("overflow")),
                 qPrintable(lines[1]));
    }

    // Two rows in the middle of one batch of 500 are refused, for a price NUMERIC(14, 2) cannot
    // hold and for a barcode longer than its column: each is set aside with the server's own
    // words, every other row arrives exactly once, and varnet-journal --send says so. Sent
    // again, nothing goes twice.
    void refusedRowsInTheMiddleOfABatch() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        QList<JournalRow> rows;
        for (int i = 0; i < 500; ++i)
            rows.append(Row(1000 + i));
        rows[137].price = 1e13;
        rows[333].barcode = QStringLiteral("27001000050012");
        // Moments arrive as the counter's wall clock read them (the test runs in a zone with
        // summer time), to the millisecond, on both sides of the change of time.
        rows[5].moment = QDateTime(QDate(2026, 3, 28), QTime(23, 59, 58, 123));
        rows[5].bestBefore = QDateTime(QDate(2026, 10, 25), QTime(2, 30, 0, 7));
        {
            CJournalFile file;
            QVERIFY(file.Open(path));
            QVERIFY(file.Append(rows));
        }
        QVERIFY(rows.size() <= CJournalSender::kBatchRows);
        QProcess tool;
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                       QStringLiteral("/bin/varnet-journal"),
                   {QStringLiteral("--send"), QStringLiteral("--file"), path,
                    QStringLiteral("--connect"), m_connect});
        QVERIFY(tool.waitForFinished(120000));
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == 0, qPrintable(err));
        QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).trimmed(),
                 QStringLiteral("Передано записей: 498 (новых для сервера: 498), отложено: 2"));

        const QStringList server = ServerIds();
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(server.count(rows[i].id), i == 137 || i == 333 ? 0 : 1);
        {
            platform::odbc::Connection db;
            db.Open(m_connect);
            platform::odbc::Statement st(db);
            st.Execute(QStringLiteral("SELECT to_char(moment, 'YYYY-MM-DD HH24:MI:SS.MS'), "
                                      "to_char(best_before, 'YYYY-MM-DD HH24:MI:SS.MS') "
                                      "FROM varnet_journal WHERE id = ?"),
                       {platform::odbc::Param::Text(rows[5].id)});
            QVERIFY(st.Fetch());
            QCOMPARE(st.GetText(1).value_or(QString()), QStringLiteral("2026-03-28 23:59:58.123"));
            QCOMPARE(st.GetText(2).value_or(QString()), QStringLiteral("2026-10-25 02:30:00.007"));
        }

        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        QVERIFY(file.Unsent(1000).isEmpty());
        const QList<SetAsideRow> aside = file.SetAsideRows();
        QCOMPARE(aside.size(), 2);
        QCOMPARE(aside[0].row.id, rows[137].id);
        QVERIFY2(aside[0].error.contains(QLatin1String("numeric field overflow")),
                 qPrintable(aside[0].error));
        QCOMPARE(aside[1].row.id, rows[333].id);
        QVERIFY2(aside[1].error.contains(QLatin1String("value too long")),
                 qPrintable(aside[1].error));
        file.Close();

        // The file forgot what it sent: everything goes again, nothing is stored twice.
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "UPDATE labels SET sent = 0", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        const CJournalSender::Result again = CJournalSender::SendUnsent(path, m_connect);
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(again.counts.sent, 498);
        QCOMPARE(again.counts.inserted, 0);
        QCOMPARE(again.counts.setAside, 2);
    }

    // Each row carries the account that printed it where the table keeps one; a table of an
    // earlier version gets the rows without it, and the account once the installer has run the
    // definition again.
    void accountWhereTheTableKeepsIt() {
        Exec(QStringLiteral("ALTER TABLE varnet_journal DROP COLUMN account"));
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        JournalRow first = Row(50);
        first.account = QStringLiteral("kassir1");
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(first);
            QTRY_VERIFY_WITH_TIMEOUT(ServerIds().contains(first.id), 20000);
        }
        Exec(Definition());
        JournalRow second = Row(51);
        second.account = QStringLiteral("kassir2");
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(second);
            QTRY_VERIFY_WITH_TIMEOUT(ServerIds().contains(second.id), 20000);
        }
        CCentralJournal central;
        central.Open(m_connect);
        QVERIFY(central.HasAccount());
        QMap<QString, QString> accounts;
        for (const JournalRow& r : central.Rows(QDateTime::currentDateTime().addDays(-1),
                                                QDateTime::currentDateTime().addDays(1), QString()))
            accounts.insert(r.id, r.account);
        QCOMPARE(accounts.value(first.id, QStringLiteral("missing")), QString());
        QCOMPARE(accounts.value(second.id), QStringLiteral("kassir2"));
    }

    // Whether each weight was keyed, and its tare, where the table keeps them: a table of an
    // earlier version gets the rows without them (and its rows read as saying nothing of
    // it), and gets them once the installer has run the definition again.
    void keyedAndTareWhereTheTableKeepsThem() {
        Exec(QStringLiteral("ALTER TABLE varnet_journal DROP COLUMN keyed"));
        Exec(QStringLiteral("ALTER TABLE varnet_journal DROP COLUMN tare"));
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        JournalRow first = Row(60);
        first.keyed = true;
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(first);
            QTRY_VERIFY_WITH_TIMEOUT(ServerIds().contains(first.id), 20000);
        }
        Exec(Definition());
        JournalRow scale = Row(62);
        scale.keyed = false;
        scale.tare = 0.15;
        JournalRow older = Row(64); // a row of an older version, which does not say
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            journal.Record(scale);
            journal.Record(older);
            QTRY_VERIFY_WITH_TIMEOUT(ServerIds().contains(older.id), 20000);
        }
        CCentralJournal central;
        central.Open(m_connect);
        QVERIFY(central.HasWeighing());
        QMap<QString, JournalRow> rows;
        for (const JournalRow& r : central.Rows(QDateTime::currentDateTime().addDays(-1),
                                                QDateTime::currentDateTime().addDays(1), QString()))
            rows.insert(r.id, r);
        QVERIFY(!rows.value(first.id).keyed.has_value());
        QCOMPARE(rows.value(scale.id).keyed, std::optional<bool>(false));
        QCOMPARE(rows.value(scale.id).tare, 0.15);
        QCOMPARE(rows.value(scale.id).quantity, scale.quantity);
        QVERIFY(!rows.value(older.id).keyed.has_value());
        QCOMPARE(rows.value(older.id).tare, 0.0);
    }

    // Root's --send would leave the -wal and -shm of a journal of another account (the journal
    // service's) root's, and the owner unable to write its own journal: it is refused, and the
    // file is left as it was.
    void rootSendsNoJournalOfAnotherAccount() {
        if (geteuid() != 0)
            QSKIP("run as root");
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        {
            CJournalFile file;
            QVERIFY(file.Open(path));
            QVERIFY(file.Append({Row(900)}));
        }
        const passwd* nobody = getpwnam("nobody");
        QVERIFY(nobody);
        QCOMPARE(chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid), 0);
        const QByteArray before = [&path] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QProcess tool;
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                       QStringLiteral("/bin/varnet-journal"),
                   {QStringLiteral("--send"), QStringLiteral("--file"), path,
                    QStringLiteral("--connect"), m_connect});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 1);
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(err.contains(QLatin1String("belongs to nobody")), qPrintable(err));
        QVERIFY(tool.readAllStandardOutput().isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    }

    // Another session holds the table locked: statements time out and the operator hears
    // of it once; closing the program cancels the statement in flight and takes no longer
    // than its bound; varnet-journal --central ends with a message. Nothing is lost: the rows
    // arrive once the lock is gone.
    void lockedTable() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const int before = ServerIds().size();
        platform::odbc::Connection locker;
        locker.Open(m_connect);
        locker.SetAutoCommit(false);
        {
            platform::odbc::Statement st(locker);
            st.ExecDirect(QStringLiteral("LOCK TABLE varnet_journal IN ACCESS EXCLUSIVE MODE"));
        }
        MessageRecorder messages;
        QList<JournalRow> rows;
        for (int i = 0; i < 6; ++i)
            rows.append(Row(20 + i));

        // Statements give up after two seconds: an outage, told once.
        CJournalOutbox::Timing quick = m_fast;
        quick.statementS = 2;
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, quick);
            for (int i = 0; i < 3; ++i)
                journal.Record(rows[i]);
            QTRY_VERIFY_WITH_TIMEOUT(journal.Outbox()->GetState() == CJournalOutbox::State::Failing,
                                     20000);
            QTRY_VERIFY_WITH_TIMEOUT(!messages.Texts().isEmpty(), 5000);
            QTest::qWait(500);
            QVERIFY2(messages.Texts().size() == 1, qPrintable(messages.Texts().join("\n---\n")));
            QVERIFY2(messages.Texts().first().contains(QLatin1String("timeout")),
                     qPrintable(messages.Texts().first()));
        }

        // A statement that would wait a minute: the close cancels it.
        CJournalOutbox::Timing patient = m_fast;
        patient.statementS = 60;
        QElapsedTimer closing;
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, patient);
            for (int i = 3; i < 6; ++i)
                journal.Record(rows[i]);
            QTest::qWait(1500); // the batch waits for the lock now
            closing.start();
        }
        const qint64 closeMs = closing.elapsed();
        qInfo("closed in %lld ms with a statement waiting for the lock", closeMs);
        QVERIFY2(closeMs < patient.closeMs + 1000, qPrintable(QString::number(closeMs)));
        QCOMPARE(LocalIds(path, true).size(), 6);

        QProcess tool;
        QElapsedTimer reading;
        reading.start();
        tool.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                       QStringLiteral("/bin/varnet-journal"),
                   {QStringLiteral("--central"), QStringLiteral("--connect"), m_connect,
                    QStringLiteral("--timeout"), QStringLiteral("2")});
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY2(reading.elapsed() < 10000, qPrintable(QString::number(reading.elapsed())));
        qInfo("varnet-journal --central --timeout 2 ended after %lld ms", reading.elapsed());
        QVERIFY(tool.exitCode() != 0);
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(err.startsWith(QLatin1String("varnet-journal: ")) &&
                     err.contains(QLatin1String("timeout")),
                 qPrintable(err));

        locker.Rollback();
        locker.Close();
        {
            CJournal journal(path);
            journal.SetCentral(m_connect, m_fast);
            QTRY_COMPARE_WITH_TIMEOUT(ServerIds().size(), before + 6, 20000);
            QTRY_VERIFY(LocalIds(path, true).isEmpty());
        }
        for (const JournalRow& r : rows)
            QVERIFY(ServerIds().contains(r.id));
    }
};

QTEST_GUILESS_MAIN(TstCentralJournal)
#include "tst_centraljournal.moc"
