// Product search on large catalogues: for a keystroke, the time until the count and the first
// block are in; the time to jump to the last row and to the middle; and the process's peak
// memory.
//   bench_catalogue                      runs every back end and size, each in its own process
//   bench_catalogue BACKEND ROWS         one case (sqlite or postgres; catalogue made if missing)
// Catalogues live in /tmp/varnet-catbench (VARNET_CATBENCH_DIR) and are reused; PostgreSQL is
// the test server (PGPORT, default 54329), with databases varnet_catbench_ROWS (the prefix
// from VARNET_CATBENCH_DB), so that several people can measure on one machine.
#include "catalogue/ctableplu.h"
#include "catalogue/plusql.h"
#include "democatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

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

    QElapsedTimer t;
    t.start();
    CTablePlu table(db, dialect);
    table.m_strBaseFilter = base;
    table.SetSearchOrder(0);
    table.SetRowsetSize(100);
    table.Open();
    const double open = Ms(t);
    const int all = table.m_nRowCount;
    table.EnsureRowCached(all - 1);
    const double last = Ms(t);
    const bool lastOk = table.IsRowCached(all - 1);
    // The middle is the farthest a block can be from both ends of the result.
    table.EnsureRowCached(all / 2);
    const double middle = Ms(t);

    // Keystrokes by code "1", "12", "123", then back to everything.
    double keys[4];
    const char* typed[4] = {"1%", "12%", "123%", "%"};
    for (int i = 0; i < 4; ++i) {
        table.m_strFilterParam = QLatin1String(typed[i]);
        table.Requery();
        table.EnsureRowCached(0);
        keys[i] = Ms(t);
    }
    // A new order (statement prepared again) and a keystroke by name.
    table.SetSearchOrder(1);
    table.Requery();
    table.EnsureRowCached(0);
    const double order = Ms(t);
    table.m_strFilterParam = QStringLiteral("Сыр%");
    table.Requery();
    table.EnsureRowCached(0);
    const double name = Ms(t);
    const int nameCount = table.m_nRowCount;
    table.m_strFilterParam = QStringLiteral("%");
    table.Requery();
    t.restart();
    table.EnsureRowCached(table.m_nRowCount - 1);
    const double lastByName = Ms(t);
    table.SetSearchOrder(2);
    table.m_strFilterParam = QStringLiteral("5%");
    table.Requery();
    table.EnsureRowCached(0);
    const double price = Ms(t);

    // What plain forward-only statements cost, for comparison: the count alone, and a page of
    // 100 rows at the start and at the end with LIMIT/OFFSET.
    table.SetSearchOrder(0);
    table.m_strFilterParam = QStringLiteral("1%");
    const auto statementMs = [&](const QString& sql, bool rowsToo) {
        QElapsedTimer s;
        s.start();
        platform::odbc::Statement st(db);
        st.SetReadOnly();
        st.ExecDirect(sql);
        int n = 0;
        while (st.Fetch()) {
            if (rowsToo)
                st.GetText(3);
            ++n;
        }
        return static_cast<double>(s.nsecsElapsed()) / 1e6;
    };
    const double countOnly = statementMs(table.CountStatement(), false);
    QString page = table.GetRowSQL();
    page.replace(page.indexOf(QLatin1Char('?')), 1, QStringLiteral("'1%'"));
    const double firstPage = statementMs(page + QStringLiteral(" LIMIT 100"), true);
    table.m_strFilterParam = QStringLiteral("%");
    const int count = table.CountRows();
    QString pageAll = table.GetRowSQL();
    pageAll.replace(pageAll.indexOf(QLatin1Char('?')), 1, QStringLiteral("'%'"));
    const double lastPage = statementMs(
        pageAll + QStringLiteral(" LIMIT 100 OFFSET %1").arg(qMax(0, count - 100)), true);
    const double countAll = statementMs(table.CountStatement(), false);

    std::printf(
        "%-9s %8d | open %8.1f | key 1 %8.1f | 12 %7.1f | 123 %7.1f | all %8.1f | "
        "last row %8.1f%s, middle %8.1f | name order %8.1f, Сыр %8.1f (%d), last %8.1f | price 5 "
        "%8.1f "
        "| cursor %lu | peak %ld kB (before open %ld kB)\n"
        "          plain statements: count 1%% %7.1f, count all %7.1f, first 100 of 1%% %7.1f, "
        "last 100 of all (OFFSET) %7.1f\n",
        qPrintable(backend + (extra.isEmpty() ? QString() : QStringLiteral("+"))), all, open,
        keys[0], keys[1], keys[2], keys[3], last, lastOk ? "" : " (not reached)", middle, order,
        name, nameCount, lastByName, price, static_cast<unsigned long>(table.CursorType()),
        PeakKb(), baseKb, countOnly, countAll, firstPage, lastPage);
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
    std::printf("times in ms; a keystroke is Requery (count + first block) and the row at 0\n");
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
