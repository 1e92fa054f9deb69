// The journal service of an installed counter, run as its own program on a socket of the
// test's: the rows it writes carry the account the socket reports, never the one a program
// names; a row no label could have printed is kept apart with the reason; a program whose
// service is away keeps its rows in its own file and hands them over, each once, when the
// service is back; and the file it writes can be read by an account that may not write it,
// also while the service is stopped.
#include "journal/journal.h"
#include "journal/journalservice.h"
#include "journal/journalwire.h"
#include "platform/paths.h"
#include "support/messagerecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The account that plays a second operator (nobody) where the test may change accounts.
constexpr uid_t kStranger = 65534;

JournalRow Row(const QString& code, double quantity = 0.512) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = QDateTime(QDate(2026, 12, 11), QTime(9, 30));
    r.code = code;
    r.name = QStringLiteral("Сыр «%1»").arg(code);
    r.quantity = quantity;
    r.price = 450;
    r.sum = 230.4;
    r.barcode = QStringLiteral("2700012005120");
    r.printer = QStringLiteral("Label");
    r.labelName = r.name;
    return r;
}

QByteArray Request(const QList<JournalRow>& rows) {
    QJsonArray items;
    for (const JournalRow& r : rows)
        items.append(journalwire::ToJson(r));
    return QJsonDocument(QJsonObject{{QStringLiteral("rows"), items}})
        .toJson(QJsonDocument::Compact);
}

// account per row id, and the refused rows' reasons, straight from the file.
QMap<QString, QString> Accounts(const QString& path) {
    QMap<QString, QString> accounts;
    CJournalFile file;
    if (!file.OpenReadOnly(path))
        return accounts;
    for (const JournalRow& r : file.All())
        accounts.insert(r.id, r.account);
    return accounts;
}

QStringList RefusedReasons(const QString& path) {
    QStringList reasons;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT reason FROM refused_rows ORDER BY rowid", -1, &st,
                               nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                reasons.append(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
    return reasons;
}

// The journal service's program on a socket of the test's.
class Service {
public:
    Service(const QString& journal, const QString& socket) : m_journal(journal), m_socket(socket) {}
    ~Service() { Stop(); }
    bool Start() {
        m_process.setProgram(QStringLiteral(VARNET_BINARY_DIR "/bin/varnet-journald"));
        m_process.setArguments({QStringLiteral("--journal"), m_journal, QStringLiteral("--listen"),
                                m_socket, QStringLiteral("--central"),
                                QStringLiteral("/nonexistent/central.ini")});
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100 && !QFileInfo::exists(m_socket); ++i)
            QTest::qWait(50);
        return QFileInfo::exists(m_socket);
    }
    void Stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    QProcess& Process() { return m_process; }

private:
    QString m_journal;
    QString m_socket;
    QProcess m_process;
};

// Runs body in a child process as the stranger; its exit code (0: all went well).
int AsStranger(const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kStranger) != 0 || ::setuid(kStranger) != 0)
            ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

} // namespace

class TstJournalService : public QObject {
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }

    // What a request may hold: the answer to each kind, and what the file then holds.
    void requests_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("written");
        QTest::addColumn<QStringList>("refused"); // the reasons, in order
        QTest::addColumn<bool>("error");
        const JournalRow good = Row(QStringLiteral("12"));
        QTest::newRow("a label") << Request({good}) << 1 << QStringList() << false;
        JournalRow huge = Row(QStringLiteral("13"), 1e300);
        JournalRow negative = Row(QStringLiteral("14"));
        negative.sum = -5;
        JournalRow badCheck = Row(QStringLiteral("15"));
        badCheck.barcode = QStringLiteral("2700012005125");
        JournalRow badId = Row(QStringLiteral("16"));
        badId.id = QStringLiteral("'; DROP TABLE labels; --");
        QTest::newRow("rows no label could have printed, among good ones")
            << Request({huge, Row(QStringLiteral("17")), negative, badCheck, badId}) << 1
            << QStringList{QStringLiteral("количество 1e+300 вне пределов этикетки"),
                           QStringLiteral("сумма или цена -5 вне пределов журнала"),
                           QStringLiteral("штрих-код «2700012005125» не может быть на этикетке"),
                           QStringLiteral("неверный идентификатор записи")}
            << false;
        QTest::newRow("a row of the wrong shape")
            << QByteArray(R"({"rows":[{"id":1,"quantity":"lots"}]})") << 0
            << QStringList{QStringLiteral("запись не читается")} << false;
        QTest::newRow("not JSON") << QByteArray("DELETE FROM labels") << 0 << QStringList() << true;
        QTest::newRow("no rows") << QByteArray(R"({"rows":[]})") << 0 << QStringList() << true;
        QList<JournalRow> many;
        for (int i = 0; i <= CJournalService::kMaxRows; ++i)
            many.append(Row(QString::number(i)));
        QTest::newRow("too many rows at once") << Request(many) << 0 << QStringList() << true;
    }
    void requests() {
        QFETCH(QByteArray, request);
        QFETCH(int, written);
        QFETCH(QStringList, refused);
        QFETCH(bool, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        CJournalService service(path);
        QVERIFY2(service.Open(), qPrintable(service.Error()));
        const QJsonObject answer =
            QJsonDocument::fromJson(service.Handle(request, QStringLiteral("kassir"))).object();
        QCOMPARE(answer.contains(QStringLiteral("error")), error);
        QCOMPARE(answer.value(QStringLiteral("written")).toInt(), written);
        QStringList reasons;
        for (const QJsonValue& r : answer.value(QStringLiteral("refused")).toArray())
            reasons.append(r.toObject().value(QStringLiteral("reason")).toString());
        QCOMPARE(reasons, refused);
        const QMap<QString, QString> accounts = Accounts(path);
        QCOMPARE(accounts.size(), written);
        for (const QString& account : accounts)
            QCOMPARE(account, QStringLiteral("kassir"));
        // Kept apart, nothing lost: every refused row is in the file with its reason.
        QCOMPARE(RefusedReasons(path), refused);
    }

    // A «Закрыть смену» sent to the service is the closing account's, and waits like a label
    // while the service is away.
    void shiftClosesCarryTheSocketsAccount() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const QString socket = dir.filePath(QStringLiteral("journal.sock"));
        Service service(path, socket);
        ShiftClose close = ShiftClose::Make(QStringLiteral("somebody-else"),
                                            QDateTime(QDate(2026, 12, 11), QTime(18, 0)));
        {
            MessageRecorder messages;
            CJournal journal(path, socket);
            journal.CloseShift(close);
            QCOMPARE(journal.Waiting(), 1);
            QCOMPARE(messages.Texts().size(), 1);
            QVERIFY(!journal.Close().isEmpty());
        }
        QVERIFY(service.Start());
        CJournal journal(path, socket);
        journal.Prepare();
        QCOMPARE(journal.Waiting(), 0);
        CJournalFile file;
        QVERIFY(file.OpenReadOnly(path));
        const QList<ShiftClose> closes = file.ShiftCloses(QDateTime(QDate(2026, 1, 1), QTime()));
        QCOMPARE(closes.size(), 1);
        QCOMPARE(closes[0].id, close.id);
        QCOMPARE(closes[0].account, platform::AccountName());
    }

    // A program of this account writes through the service: the row carries this account,
    // whatever the program put into it.
    void rowsCarryTheSocketsAccount() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const QString socket = dir.filePath(QStringLiteral("journal.sock"));
        Service service(path, socket);
        QVERIFY(service.Start());
        JournalRow row = Row(QStringLiteral("12"));
        row.account = QStringLiteral("somebody-else");
        MessageRecorder messages;
        CJournal journal(path, socket);
        journal.Record(row);
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(journal.Waiting(), 0);
        QCOMPARE(Accounts(path).value(row.id), platform::AccountName());
        JournalRow last;
        QVERIFY(journal.LastRow(&last));
        QCOMPARE(last.id, row.id);
        if (::geteuid() != 0)
            QSKIP("a second account needs root");
        // The socket as systemd gives it: for the group of the operators; here, for everyone.
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(socket).constData(), 0666), 0);
        const JournalRow stranger = Row(QStringLiteral("31"));
        QCOMPARE(AsStranger([&] {
                     CJournal own(path, socket);
                     JournalRow r = stranger;
                     r.account = QStringLiteral("root");
                     own.Record(r);
                     return own.Waiting() == 0;
                 }),
                 0);
        QCOMPARE(Accounts(path).value(stranger.id), platform::AccountNameOf(kStranger));
    }

    // The service away: the label's row waits in the account's own file, the operator is told
    // once, and the row reaches the journal once the service is back, at the next start too.
    void serviceAwayThenBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const QString socket = dir.filePath(QStringLiteral("journal.sock"));
        Service service(path, socket);
        const JournalRow first = Row(QStringLiteral("12"));
        const JournalRow second = Row(QStringLiteral("13"));
        QString pending;
        {
            MessageRecorder messages;
            CJournal journal(path, socket);
            pending = journal.PendingPath();
            journal.Record(first);
            journal.Record(second);
            QCOMPARE(messages.Texts().size(), 1);
            QVERIFY2(messages.Texts().first().startsWith(
                         QStringLiteral("Служба журнала фасовки недоступна:\n") + socket),
                     qPrintable(messages.Texts().first()));
            QCOMPARE(journal.Waiting(), 2);
            QVERIFY(QFile::exists(pending));
            QVERIFY(!journal.Close().isEmpty());
        }
        QVERIFY(service.Start());
        for (int start = 0; start < 2; ++start) {
            MessageRecorder messages;
            CJournal journal(path, socket);
            journal.Prepare();
            QCOMPARE(journal.Waiting(), 0);
            QCOMPARE(journal.Close(), QString());
            QCOMPARE(messages.Texts(), QStringList());
        }
        const QMap<QString, QString> accounts = Accounts(path);
        QCOMPARE(accounts.keys().size(), 2);
        QVERIFY(accounts.contains(first.id) && accounts.contains(second.id));
        QVERIFY(!QFile::exists(pending));
    }

    // Rows kept in the account's file that no label could have printed are handed over like
    // the others, and the service keeps them apart: the operator hears of them once.
    void forgedRowsHandedOverAreKeptApart() {
        QTemporaryDir dir;
        const QString path = dir.filePath(CJournal::FileName());
        const QString socket = dir.filePath(QStringLiteral("journal.sock"));
        Service service(path, socket);
        QVERIFY(service.Start());
        JournalRow forged = Row(QStringLiteral("12"), 1e300);
        forged.account = QStringLiteral("another-operator");
        const JournalRow honest = Row(QStringLiteral("13"));
        {
            CJournal writer(path, QStringLiteral("/nonexistent/socket"));
            CJournalFile pending;
            QVERIFY(QDir().mkpath(QFileInfo(writer.PendingPath()).path()));
            QVERIFY(pending.Open(writer.PendingPath()));
            QVERIFY(pending.Append({forged, honest}));
        }
        MessageRecorder messages;
        CJournal journal(path, socket);
        journal.Prepare();
        QCOMPARE(journal.Waiting(), 0);
        QCOMPARE(messages.Texts(),
                 QStringList{CJournal::RefusedByServiceMessage(
                     1, QStringLiteral("количество 1e+300 вне пределов этикетки"))});
        const QMap<QString, QString> accounts = Accounts(path);
        QCOMPARE(accounts.keys(), QStringList{honest.id});
        QCOMPARE(accounts.value(honest.id), platform::AccountName());
        QCOMPARE(RefusedReasons(path).size(), 1);
        // The manager finds it where the operator's message says.
        QProcess tool;
        tool.start(QStringLiteral(VARNET_BINARY_DIR "/bin/varnet-journal"),
                   {QStringLiteral("--refused"), QStringLiteral("--file"), path});
        QVERIFY(tool.waitForFinished(10000));
        const QString listed = QString::fromUtf8(tool.readAllStandardOutput());
        QVERIFY2(listed.contains(QStringLiteral("Не приняты службой журнала:")) &&
                     listed.contains(forged.id) &&
                     listed.contains(QStringLiteral("количество 1e+300 вне пределов этикетки")),
                 qPrintable(listed));
    }

    // The file the service writes is read by an account that may not write it, while the
    // service runs and after it stopped.
    void readableByAnAccountThatCannotWrite() {
        if (::geteuid() != 0)
            QSKIP("a second account needs root");
        QTemporaryDir dir;
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        const QString path = dir.filePath(CJournal::FileName());
        const QString socket = dir.filePath(QStringLiteral("journal.sock"));
        const JournalRow row = Row(QStringLiteral("12"));
        {
            Service service(path, socket);
            QVERIFY(service.Start());
            CJournal journal(path, socket);
            journal.Record(row);
            QCOMPARE(journal.Waiting(), 0);
            for (const char* part : {"", "-wal", "-shm"})
                QCOMPARE(::chmod(QFile::encodeName(path + QLatin1String(part)).constData(), 0644),
                         0);
            const auto readsTheRow = [&] {
                CJournalFile file;
                if (!file.OpenReadOnly(path))
                    return false;
                const QList<JournalRow> rows = file.All();
                return rows.size() == 1 && rows[0].id == row.id;
            };
            QCOMPARE(AsStranger(readsTheRow), 0);
            service.Stop();
            QCOMPARE(AsStranger(readsTheRow), 0);
            // Reading is all: the stranger's program cannot write the file.
            QCOMPARE(AsStranger([&] {
                         CJournalFile file;
                         return !file.Open(path, false) || !file.Append({Row(QStringLiteral("9"))});
                     }),
                     0);
        }
    }
};

QTEST_GUILESS_MAIN(TstJournalService)
#include "tst_journalservice.moc"
