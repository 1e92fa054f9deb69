// Benchmark: a backlog of journal rows (10,000 by default) sent to the central journal on
// PostgreSQL by the code the workstation and varnet-journal --send run, beside psql's \copy of
// the same rows into the same table, on loopback and over a link that holds every piece of
// data 15 ms each way (30 ms round trips), with the round trips each needed. Also what reading
// the unsent rows from the journal file costs.
//
// The server: PGPORT (default 54329, the test server) on 127.0.0.1, database
// VARNET_SENDBENCH_DB (default varnet_sendbench, made when missing); its varnet_journal table is
// dropped and made again. Each figure is the median of VARNET_BENCH_REPEAT passes (3).
#include "delaylink.h"
#include "journal/centraljournal.h"
#include "journal/journalfile.h"
#include "journal/journalsender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <sqlite3.h>

namespace {

QString g_port;
QString g_db;

QString Connection(const QString& port, const QString& db) {
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=%1;Database=%2;"
                          "UID=postgres")
        .arg(port, db);
}

void Exec(const QString& sql, const QString& db = g_db) {
    platform::odbc::Connection c;
    c.Open(Connection(g_port, db));
    platform::odbc::Statement st(c);
    st.ExecDirect(sql);
}

long long Count() {
    platform::odbc::Connection c;
    c.Open(Connection(g_port, g_db));
    platform::odbc::Statement st(c);
    st.ExecDirect(QStringLiteral("SELECT count(*) FROM varnet_journal"));
    st.Fetch();
    return st.GetInt(1).value_or(-1);
}

JournalRow Row(int i, const QDateTime& start) {
    JournalRow r;
    r.id = JournalRow::NewId();
    r.moment = start.addSecs(i * 7);
    r.code = QString::number(100 + i % 300);
    r.name = QStringLiteral("Филе куриное охлаждённое «%1»").arg(i % 300);
    r.weighed = i % 3 != 0;
    r.quantity = r.weighed ? 0.25 + (i % 1000) / 1000.0 : 1 + i % 5;
    r.price = 389.9;
    r.sum = std::round(r.quantity * r.price * 100) / 100;
    r.barcode = QStringLiteral("2700100005001");
    r.bestBefore = i % 2 ? r.moment.addDays(5) : QDateTime();
    r.printer = QStringLiteral("Label");
    r.jobId = 1000 + i;
    r.labelName = r.name;
    r.labelInfo = QStringLiteral("Хранить при 0…+4 °C");
    r.account = QStringLiteral("kassir");
    r.keyed = i % 50 == 0;
    r.tare = r.weighed && i % 4 == 0 ? 0.015 : 0.0;
    return r;
}

QString CsvField(const QString& v) {
    QString q = v;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// The rows as psql's \copy reads them, in the insert's columns.
bool WriteCsv(const QString& path, const QList<JournalRow>& rows) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    for (const JournalRow& r : rows) {
        const QStringList fields{r.id,
                                 QStringLiteral("bench"),
                                 r.moment.toString(format),
                                 CsvField(r.code),
                                 CsvField(r.name),
                                 QString::number(r.weighed),
                                 QString::number(r.quantity, 'f', 3),
                                 QString::number(r.price, 'f', 2),
                                 QString::number(r.sum, 'f', 2),
                                 r.barcode,
                                 r.bestBefore.isValid() ? r.bestBefore.toString(format) : QString(),
                                 CsvField(r.printer),
                                 QString::number(r.jobId),
                                 QString::number(r.reprint),
                                 CsvField(r.labelName),
                                 CsvField(r.labelInfo),
                                 CsvField(r.account),
                                 r.keyed ? QString::number(*r.keyed ? 1 : 0) : QString(),
                                 QString::number(r.tare, 'f', 3)};
        f.write(fields.join(QLatin1Char(',')).toUtf8() + '\n');
    }
    return true;
}

void MarkAllUnsent(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "UPDATE labels SET sent = 0", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Figure {
    double ms = 0;
    long long roundTrips = 0;
};

// The median of passes of run, each after prepare, with the round trips the link counted.
Figure Measure(int passes, const std::function<void()>& prepare, const std::function<bool()>& run,
               CDelayLink* link) {
    std::vector<double> ms;
    long long trips = 0;
    for (int i = 0; i < passes; ++i) {
        prepare();
        if (link)
            link->TakeRoundTrips();
        QElapsedTimer t;
        t.start();
        if (!run())
            return {-1, 0};
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (link)
            trips = link->TakeRoundTrips();
    }
    return {Median(ms), trips};
}

bool Copy(const QString& port, const QString& csv) {
    QProcess psql;
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"),
                QStringLiteral("127.0.0.1"), QStringLiteral("-p"), port, QStringLiteral("-U"),
                QStringLiteral("postgres"), QStringLiteral("-d"), g_db, QStringLiteral("-c"),
                QStringLiteral("\\copy varnet_journal (%1) FROM '%2' WITH (FORMAT csv)")
                    .arg(CCentralJournal::Columns().join(QLatin1Char(',')), csv)});
    psql.waitForFinished(600000);
    if (psql.exitCode() != 0)
        std::fprintf(stderr, "psql: %s\n", psql.readAllStandardError().constData());
    return psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0;
}

bool Send(const QString& port, const QString& path, int batch, int expected) {
    CJournalSender sender(path, Connection(port, g_db), QStringLiteral("bench"));
    sender.SetBatchRows(batch);
    QString reason;
    const bool ok = sender.SendAll(&reason);
    sender.Close();
    if (!ok || sender.Total().sent != expected) {
        std::fprintf(stderr, "send: %s (%d sent)\n", qPrintable(reason), sender.Total().sent);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    const int repeat = qEnvironmentVariableIsSet("VARNET_BENCH_REPEAT")
                           ? std::max(1, qEnvironmentVariableIntValue("VARNET_BENCH_REPEAT"))
                           : 3;
    g_port = qEnvironmentVariable("PGPORT", QStringLiteral("54329"));
    g_db = qEnvironmentVariable("VARNET_SENDBENCH_DB", QStringLiteral("varnet_sendbench"));
    try {
        try {
            Exec(QStringLiteral("CREATE DATABASE %1").arg(g_db), QStringLiteral("postgres"));
        } catch (const platform::odbc::DatabaseError&) {
            // There already.
        }
        Exec(QStringLiteral("DROP TABLE IF EXISTS varnet_journal"));
        QFile definition(QStringLiteral(VARNET_SOURCE_DIR "/sql/journal-postgresql.sql"));
        if (!definition.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "no %s\n", qPrintable(definition.fileName()));
            return 1;
        }
        Exec(QString::fromUtf8(definition.readAll()));
    } catch (const platform::odbc::DatabaseError& e) {
        std::fprintf(stderr, "server: %s\n", e.what());
        return 1;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Journal.db"));
    const QString csv = dir.filePath(QStringLiteral("rows.csv"));
    QList<JournalRow> rows;
    const QDateTime start = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < count; ++i)
        rows.append(Row(i, start));
    {
        CJournalFile file;
        if (!file.Open(path) || !file.Append(rows) || !WriteCsv(csv, rows)) {
            std::fprintf(stderr, "cannot write the journal: %s\n", qPrintable(file.Error()));
            return 1;
        }
    }
    const auto truncate = [] { Exec(QStringLiteral("TRUNCATE varnet_journal")); };
    const auto fresh = [&] {
        truncate();
        MarkAllUnsent(path);
    };

    // Reading what is unsent, as each batch does.
    std::vector<double> readMs;
    for (int i = 0; i < repeat; ++i) {
        CJournalFile file;
        file.Open(path, false);
        QElapsedTimer t;
        t.start();
        bool ok = false;
        const QList<JournalRow> unsent = file.Unsent(count, &ok);
        readMs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok || unsent.size() != count)
            return 1;
    }
    std::printf("%d journal rows, PostgreSQL on 127.0.0.1:%s, median of %d passes\n", count,
                qPrintable(g_port), repeat);
    std::printf("reading the unsent rows from Journal.db: %.1f ms (%.2f us a row)\n\n",
                Median(readMs), Median(readMs) * 1000 / count);

    struct Case {
        const char* name;
        int batch; // 0: psql \copy
    };
    const Case cases[] = {{"psql \\copy (one process)", 0},
                          {"send, 1000 rows a batch", 1000},
                          {"send, 500 rows a batch", 500},
                          {"send, 200 rows a batch", 200}};
    std::printf("%-30s %10s %10s %9s\n", "loopback", "ms", "rows/s", "x copy");
    double copyMs = 0;
    for (const Case& c : cases) {
        const Figure f = Measure(
            repeat, fresh,
            [&] { return c.batch == 0 ? Copy(g_port, csv) : Send(g_port, path, c.batch, count); },
            nullptr);
        if (f.ms < 0 || Count() != count) {
            std::fprintf(stderr, "%s: the rows did not all arrive\n", c.name);
            return 1;
        }
        if (c.batch == 0)
            copyMs = f.ms;
        std::printf("%-30s %10.1f %10.0f %9.2f\n", c.name, f.ms, count / f.ms * 1000,
                    f.ms / copyMs);
    }
    // One row a batch, as a label at a time goes, on the first rows: enough to show it.
    const auto oneRowABatch = [&](const QString& port, int few, CDelayLink* link) {
        const QString smallPath = dir.filePath(QStringLiteral("Small-%1.db").arg(few));
        {
            CJournalFile file;
            file.Open(smallPath);
            file.Append(rows.mid(0, few));
        }
        return Measure(
            1,
            [&] {
                truncate();
                MarkAllUnsent(smallPath);
            },
            [&] { return Send(port, smallPath, 1, few); }, link);
    };
    {
        const int few = std::min(count, 1000);
        const Figure f = oneRowABatch(g_port, few, nullptr);
        std::printf("%-30s %10.1f %10.0f %9s  (%d rows)\n", "send, 1 row a batch", f.ms,
                    few / f.ms * 1000, "", few);
    }

    // The same over a link of 30 ms round trips.
    CDelayLink link(g_port.toInt(), 15);
    if (!link.IsListening()) {
        std::fprintf(stderr, "no relay\n");
        return 1;
    }
    const QString far = QString::number(link.Port());
    // What opening the connection costs, apart from the batches.
    long long connectTrips = 0;
    {
        link.TakeRoundTrips();
        CCentralJournal central;
        central.Open(Connection(far, g_db));
        central.Close();
        connectTrips = link.TakeRoundTrips();
    }
    std::printf("\n%-30s %10s %10s %9s %12s %10s\n", "30 ms round trips", "ms", "rows/s", "x copy",
                "round trips", "per batch");
    for (const Case& c : cases) {
        const Figure f = Measure(
            1, fresh,
            [&] { return c.batch == 0 ? Copy(far, csv) : Send(far, path, c.batch, count); }, &link);
        if (f.ms < 0 || Count() != count) {
            std::fprintf(stderr, "%s: the rows did not all arrive\n", c.name);
            return 1;
        }
        if (c.batch == 0)
            copyMs = f.ms;
        const int batches = c.batch == 0 ? 1 : (count + c.batch - 1) / c.batch;
        std::printf("%-30s %10.1f %10.0f %9.2f %12lld %10.2f\n", c.name, f.ms, count / f.ms * 1000,
                    f.ms / copyMs, f.roundTrips,
                    c.batch == 0 ? 0.0 : double(f.roundTrips - connectTrips) / batches);
    }
    {
        const int few = std::min(count, 100);
        const Figure f = oneRowABatch(far, few, &link);
        std::printf("%-30s %10.1f %10.0f %9s %12lld %10.2f  (%d rows)\n", "send, 1 row a batch",
                    f.ms, few / f.ms * 1000, "", f.roundTrips,
                    double(f.roundTrips - connectTrips) / few, few);
    }
    std::printf("(opening the connection: %lld round trips, left out of \"per batch\")\n",
                connectTrips);
    return 0;
}
