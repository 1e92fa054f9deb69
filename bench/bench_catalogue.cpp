// Product search on large catalogues: for every keystroke and change of order, the time until
// the list's first rows are in, against the budget of 100 ms, and the time of the count that
// follows them (and on PostgreSQL of the places for long jumps made after it); jumps to the last
// and the middle row; and the process's peak memory.
//   bench_catalogue                      runs every back end and size, each in its own process
//   bench_catalogue BACKEND ROWS         one case (sqlite or postgres; catalogue made if missing)
// Catalogues live in /tmp/varnet-catbench (VARNET_CATBENCH_DIR) and are reused; PostgreSQL is
// the test server (PGPORT, default 54329), with databases varnet_catbench_ROWS (the prefix
// from VARNET_CATBENCH_DB), so that several people can measure on one machine.
#include "benchstats.h"
#include "catalogue/ctableplu.h"
#include "catalogue/plusql.h"
#include "democatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <vector>

using platform::odbc::Connection;

namespace {

QString Setting(const char* name, const char* fallback) {
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? QString::fromLatin1(fallback) : v;
}

const QString kDir = Setting("VARNET_CATBENCH_DIR", "/tmp/varnet-catbench");
const QString kDb = Setting("VARNET_CATBENCH_DB", "varnet_catbench");

long PeakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QString ConnectionString(const QString& backend, int rows, const QString& extra) {
    if (backend == QLatin1String("sqlite"))
        return QStringLiteral("Driver={SQLite3};DATABASE=%1/cat_%2.db").arg(kDir).arg(rows);
    return QStringLiteral("Driver={PostgreSQL Unicode};SERVER=127.0.0.1;UID=postgres;PWD=;"
                          "DATABASE=%1_%2")
               .arg(kDb)
               .arg(rows) +
           extra;
}

bool Exists(const QString& backend, int rows) {
    if (backend == QLatin1String("sqlite"))
        return QFile::exists(QStringLiteral("%1/sqlite_%2.ok").arg(kDir).arg(rows));
    return QFile::exists(QStringLiteral("%1/pg_%2.ok").arg(kDir).arg(rows));
}

void Make(const QString& backend, int rows) {
    QDir().mkpath(kDir);
    if (backend == QLatin1String("postgres")) {
        Connection admin;
        admin.Open(QStringLiteral("Driver={PostgreSQL Unicode};SERVER=127.0.0.1;UID=postgres;PWD=;"
                                  "DATABASE=postgres"));
        democat::Exec(admin, QStringLiteral("DROP DATABASE IF EXISTS %1_%2").arg(kDb).arg(rows));
        democat::Exec(admin, QStringLiteral("CREATE DATABASE %1_%2").arg(kDb).arg(rows));
    } else {
        QFile::remove(QStringLiteral("%1/cat_%2.db").arg(kDir).arg(rows));
    }
    Connection db;
    db.Open(ConnectionString(backend, rows, QString()));
    democat::Options o;
    o.rows = rows;
    o.indexes = false;
    democat::CreateDemoCatalogue(db, o);
    QFile marker(QStringLiteral("%1/%2_%3.ok")
                     .arg(kDir, backend == QLatin1String("sqlite") ? QStringLiteral("sqlite")
                                                                   : QStringLiteral("pg"))
                     .arg(rows));
    marker.open(QIODevice::WriteOnly);
}

double Ms(QElapsedTimer& t) {
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    t.restart();
    return ms;
}

// One keystroke or change of order as the search list sees it: the time until its first
// rows are in (the budget: under 100 ms), and the time the count then takes on its own
// (it arrives later; the list grows then).
struct Step {
    const char* name;
    double firstRows;
    double count;  // -1: known from the first block, no count needed
    double places; // -1: none made (the places for long jumps follow the count)
};

// One pass over every step on a fresh record set; returns the rows offered.
int RunSteps(Connection& db, platform::odbc::Dialect dialect, const QString& base,
             std::vector<Step>& steps) {
    CTablePlu table(db, dialect);
    table.m_strBaseFilter = base;
    table.SetRowsetSize(100);
    table.SetCountLater(true);
    QElapsedTimer t;
    // The list's first rows, then the count if the first block did not settle it.
    const auto measure = [&](const char* name, auto&& action) {
        t.restart();
        action();
        table.EnsureRowCached(0);
        const double first = Ms(t);
        double count = -1;
        double places = -1;
        if (!table.CountKnown()) {
            table.SetCountedRows(table.CountRows());
            count = Ms(t);
            const QString anchors = table.AnchorStatement();
            if (!anchors.isEmpty()) {
                table.SetAnchors(CGridRowset::ReadAnchors(db, anchors));
                places = Ms(t);
            }
        }
        steps.push_back({name, first, count, places});
    };
    const auto type = [&](const char* name, const QString& typed) {
        measure(name, [&] {
            table.m_strFilterParam = typed + QLatin1Char('%');
            table.Requery();
        });
    };
    const auto order = [&](const char* name, int index) {
        measure(name, [&] {
            table.SetSearchOrder(index);
            table.Requery();
        });
    };
    const auto jump = [&](const char* name, double where) {
        t.restart();
        const int row = qMin(table.m_nRowCount - 1, static_cast<int>(table.m_nRowCount * where));
        table.EnsureRowCached(row);
        steps.push_back({name, Ms(t), -1, -1});
    };

    measure("open, by code", [&] {
        table.SetSearchOrder(0);
        table.Open();
    });
    const int all = table.m_nRowCount;
    jump("  last row", 1.0);
    jump("  middle row", 0.5);
    type("  code \"1\"", QStringLiteral("1"));
    type("  code \"12\"", QStringLiteral("12"));
    type("  code \"123\"", QStringLiteral("123"));
    type("  code erased", QString());
    order("by name", 1);
    jump("  last row", 1.0);
    jump("  middle row", 0.5);
    type("  name \"Сыр\"", QStringLiteral("Сыр"));
    type("  name \"бел\"", QStringLiteral("бел"));
    type("  name \"%особый\"", QStringLiteral("%особый"));
    type("  name erased", QString());
    order("by price", 2);
    jump("  middle row", 0.5);
    type("  price \"5\"", QStringLiteral("5"));
    type("  price \"12\"", QStringLiteral("12"));
    type("  price erased", QString());
    order("by barcode", 3);
    type("  barcode \"46\"", QStringLiteral("46"));
    type("  barcode erased", QString());

    return all;
}

int RunCase(const QString& backend, int rows, const QString& extra) {
    if (!Exists(backend, rows))
        Make(backend, rows);
    Connection db;
    db.Open(ConnectionString(backend, rows, extra));
    democat::CreateIndexes(db);
    const long baseKb = PeakKb();
    const platform::odbc::Dialect dialect = db.GetDialect();
    QString section;
    const QString base =
        PluBaseFilter(dialect, QStringLiteral("PPPPPPP"), QString(), false, section);

    // The machine is shared: the sequence runs several times and each step reports its
    // median.
    const int repeats = qMax(1, Setting("VARNET_BENCH_REPEAT", "3").toInt());
    std::vector<Step> steps;
    std::vector<std::vector<double>> firstRuns, countRuns, placeRuns;
    int all = 0;
    for (int run = 0; run < repeats; ++run) {
        steps.clear();
        all = RunSteps(db, dialect, base, steps);
        firstRuns.resize(steps.size());
        countRuns.resize(steps.size());
        placeRuns.resize(steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            firstRuns[i].push_back(steps[i].firstRows);
            countRuns[i].push_back(steps[i].count);
            placeRuns[i].push_back(steps[i].places);
        }
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i].firstRows = Summarise(firstRuns[i]).median;
        steps[i].count = Summarise(countRuns[i]).median;
        steps[i].places = Summarise(placeRuns[i]).median;
    }

    double worst = 0;
    std::printf("%s, %d products (%d offered)\n",
                qPrintable(backend + (extra.isEmpty() ? QString() : QStringLiteral("+"))), rows,
                all);
    for (const Step& step : steps) {
        worst = qMax(worst, step.firstRows);
        if (step.count < 0)
            std::printf("  %-22s first rows %7.1f ms %s\n", step.name, step.firstRows,
                        step.firstRows < 100 ? "ok" : "OVER BUDGET");
        else if (step.places < 0)
            std::printf("  %-22s first rows %7.1f ms %s, count %7.1f ms later\n", step.name,
                        step.firstRows, step.firstRows < 100 ? "ok" : "OVER BUDGET", step.count);
        else
            std::printf("  %-22s first rows %7.1f ms %s, count %7.1f ms later, places for jumps "
                        "%7.1f ms after it\n",
                        step.name, step.firstRows, step.firstRows < 100 ? "ok" : "OVER BUDGET",
                        step.count, step.places);
    }
    std::printf("  slowest first rows %.1f ms (budget 100 ms); peak memory %ld kB (%ld kB before "
                "the search opened)\n",
                worst, PeakKb(), baseKb);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("PGPORT"))
        qputenv("PGPORT", "54329");
    const QStringList args = app.arguments();
    try {
        if (args.size() >= 3)
            return RunCase(args[1], args[2].toInt(), args.value(3));
    } catch (const platform::odbc::DatabaseError& e) {
        std::fprintf(stderr, "bench_catalogue: %s\n", e.what());
        return 1;
    }
    std::printf("first rows: Requery and the block at row 0; the count follows on its own\n");
    for (const QString& backend : {QStringLiteral("sqlite"), QStringLiteral("postgres")}) {
        for (int rows : {10000, 100000, 1000000}) {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(app.applicationFilePath(), {backend, QString::number(rows)});
            p.waitForFinished(-1);
        }
    }
    return 0;
}
