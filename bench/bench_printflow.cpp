// From a weight notification to the printer: the main screen's handling of a new weight with
// auto-print on (amount, barcode, layout values, a 58 x 40 mm page at 203 dpi, the read-back
// of the label, the one-page job handed to CUPS), up to the job accepted by the spooler and
// up to the driver's bytes at the printer's backend. Side by side: a queue without a driver,
// to which the page goes as PDF and is rasterised again by CUPS, and a queue of CUPS's Zebra
// ZPL driver, to which it goes as raster dot for dot. Then the time the read-back of a label
// takes on its own; and from a tap on a speed key (the product read from a SQLite catalogue,
// with goods already settled on the pan) to the job accepted. Needs the test queues:
// scripts/services.sh start cups.
//   bench_printflow [labels per queue]
#include "benchstats.h"
#include "democatalogue.h"
#include "journal/journal.h"
#include "labels/barcodelabel.h"
#include "labels/labellayouts.h"
#include "labels/samplelayout.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "platform/printjob.h"
#include "workstation/printerwatch.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"
#include "workstation/speedkeys.h"
#include "workstation/statusstrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A loopback port whose server takes the connection and then never answers: the worst a
// central journal can do, holding its client until the login times out. Returns the
// listening socket (-1 on failure) and sets port.
int SilentServer(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

QString CaptureRoot() {
    return qEnvironmentVariable("VARNET_CUPS_CAPTURE", QStringLiteral("/var/spool/varnet-jobs"));
}

int JobFiles(const QString& folder) {
    return int(QDir(folder).entryList({QStringLiteral("job-*")}, QDir::Files).size());
}

// Waits up to a minute, from t's start, for a job file beyond before in folder; false, said on
// standard error, when none came.
bool WaitForJob(const QString& folder, int before, const QString& queue, const QElapsedTimer& t) {
    while (JobFiles(folder) == before && t.elapsed() < 60000)
        QThread::usleep(500);
    if (JobFiles(folder) != before)
        return true;
    std::fprintf(stderr, "bench_printflow: no job of %s reached %s\n", queue.toUtf8().constData(),
                 folder.toUtf8().constData());
    return false;
}

struct PathFigures {
    Timings accepted;
    Timings atBackend;
    // From the weight to the start of each step of the job, medians.
    std::vector<double> steps;
    bool ok = false;
};

const char* const kStepNames[] = {"open the printer", "create the job", "start the document",
                                  "write the page",   "end the page",   "finish the document"};

// withStrip: as the main screen does with its state strip: a printer watch asking the spooler
// on its own thread all along, and after each label the strip's three lines made and the
// watch asked again.
PathFigures Measure(CVarnetApp& app, const QString& queue, const QString& folder, int runs,
                    bool withStrip = false, Timings* stripCost = nullptr) {
    PathFigures f;
    if (!platform::OpenPrinter(queue)) {
        std::fprintf(stderr, "bench_printflow: no printer %s (scripts/services.sh start cups)\n",
                     queue.toUtf8().constData());
        return f;
    }
    app.m_settings.PrinterName = queue;
    CScreenState state(app.m_settings);
    state.ShowProduct({QStringLiteral("12"), QStringLiteral("Сыр Российский 50%"), QString(),
                       689.90, true, QDateTime::currentDateTime().addDays(30)});
    state.OnAutoPrintKey();
    std::unique_ptr<CPrinterWatch> watch;
    if (withStrip) {
        watch = std::make_unique<CPrinterWatch>();
        watch->SetPrinter(queue);
    }
    std::vector<double> strip;
    QString shown; // keeps the lines from being optimised away
    std::vector<double> accepted, backend;
    std::vector<std::vector<double>> steps(6);
    QElapsedTimer t;
    platform::SetPrintStepHook(
        [&](platform::PrintStep step) { steps[size_t(step)].push_back(t.nsecsElapsed() / 1e6); });
    for (int i = 0; i < runs; ++i) {
        const int before = JobFiles(folder);
        const double weight = 0.400 + 0.001 * i; // a new weight each time
        t.start();
        if (state.OnWeightUpdate(weight)) {
            PrintLabel(state, nullptr);
            state.AfterAutoPrint(weight);
        }
        if (watch) {
            const qint64 from = t.nsecsElapsed();
            shown = ScaleStateLine(true, ScaleState::Stable, QStringLiteral("COM1 (/dev/ttyUSB0)"))
                        .text +
                    PrinterStateLine(watch->Printer(), watch->Status()).text +
                    LastLabelLine(state.m_lastLabel).text;
            watch->AskNow();
            strip.push_back((t.nsecsElapsed() - from) / 1e6);
            QCoreApplication::processEvents(); // the watch's answers, as the screen takes them
        }
        accepted.push_back(t.nsecsElapsed() / 1e6);
        if (!WaitForJob(folder, before, queue, t))
            return f;
        backend.push_back(t.nsecsElapsed() / 1e6);
    }
    platform::SetPrintStepHook({});
    if (stripCost && !strip.empty())
        *stripCost = Summarise(strip);
    for (const std::vector<double>& step : steps)
        f.steps.push_back(Summarise(step).median);
    f.accepted = Summarise(accepted);
    f.atBackend = Summarise(backend);
    f.ok = true;
    return f;
}

// From a tap on a speed key to the job accepted: the key's product fresh from the catalogue
// (as the screen's speed keys read it), shown, and the goods already on the pan printed by
// the auto-print rule at once. lookup gets the catalogue's share.
PathFigures MeasureSpeedKeys(CVarnetApp& app, const CSpeedKeys& keys, const QString& queue,
                             const QString& folder, int runs, Timings* lookup) {
    PathFigures f;
    app.m_settings.PrinterName = queue;
    CScreenState state(app.m_settings);
    state.OnAutoPrintKey();
    std::vector<double> looked, accepted, backend;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        const int before = JobFiles(folder);
        const SpeedKey key = keys.Key(1 + i % CSpeedKeys::kCount);
        const double weight = 0.400 + 0.001 * i;
        t.start();
        if (!LookupProduct(app, state, key.code)) {
            std::fprintf(stderr, "bench_printflow: no product %s\n", key.code.toUtf8().constData());
            return f;
        }
        CurrentProduct product = state.m_product;
        if (key.tare)
            product.m_dTare = *key.tare;
        state.ShowProduct(product);
        looked.push_back(t.nsecsElapsed() / 1e6);
        if (state.OnWeightUpdate(weight)) {
            PrintLabel(state, nullptr);
            state.AfterAutoPrint(weight);
        }
        accepted.push_back(t.nsecsElapsed() / 1e6);
        if (!WaitForJob(folder, before, queue, t))
            return f;
        backend.push_back(t.nsecsElapsed() / 1e6);
    }
    *lookup = Summarise(looked);
    f.accepted = Summarise(accepted);
    f.atBackend = Summarise(backend);
    f.ok = true;
    return f;
}

void PrintSteps(const PathFigures& f) {
    std::printf("    steps begin at (medians):");
    for (size_t i = 0; i < f.steps.size(); ++i)
        std::printf("%s %s %.1f ms", i ? "," : "", kStepNames[i], f.steps[i]);
    std::printf("\n");
}

void Print(const char* what, const Timings& t) {
    std::printf("    %-30s median %7.1f ms, mean %7.1f ms, p95 %7.1f ms, max %7.1f ms\n", what,
                t.median, t.mean, t.p95, t.max);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    platform::InstallSpoolerPrinters();
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());
    CVarnetApp app;
    app.m_settings.WBarCodeMask = QStringLiteral("27PPPPPWWWWW");
    app.m_settings.Penny = true;
    app.m_settings.PrintEI = true;
    app.m_settings.EIWeight = QStringLiteral("кг");
    app.m_settings.EICurrency = QStringLiteral("руб");
    auto layouts = std::make_unique<CLabelLayouts>();
    layouts->m_layoutWeight = SampleLayout(true, 58, 40);
    app.SetLabelLayouts(std::move(layouts));

    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString pdfQueue = qEnvironmentVariable("VARNET_CUPS_QUEUE", QStringLiteral("VarnetPDF"));
    const PathFigures pdf = Measure(app, pdfQueue, CaptureRoot(), runs);
    const PathFigures raster = Measure(app, QStringLiteral("VarnetZPL"),
                                       CaptureRoot() + QStringLiteral("/VarnetZPL"), runs);
    if (!pdf.ok || !raster.ok)
        return 1;
    std::printf("weight notification to the printer, 58 x 40 mm at 203 dpi, %d labels a path "
                "(budget: job accepted in 100 ms):\n",
                runs);
    std::printf("  page as PDF (%s, rasterised again by CUPS):\n", pdfQueue.toUtf8().constData());
    Print("to the job accepted", pdf.accepted);
    Print("to the driver's bytes", pdf.atBackend);
    PrintSteps(pdf);
    std::printf("  page as raster (VarnetZPL, CUPS's Zebra ZPL driver):\n");
    Print("to the job accepted", raster.accepted);
    Print("to the driver's bytes", raster.atBackend);
    PrintSteps(raster);
    std::printf("  raster / PDF, medians: job accepted %.2f, driver's bytes %.2f\n",
                raster.accepted.median / pdf.accepted.median,
                raster.atBackend.median / pdf.atBackend.median);

    // The same raster path with the state strip as the screen keeps it, and a second run
    // without it, so the machine's drift shows beside the difference.
    Timings stripCost;
    const PathFigures withStrip =
        Measure(app, QStringLiteral("VarnetZPL"), CaptureRoot() + QStringLiteral("/VarnetZPL"),
                runs, true, &stripCost);
    const PathFigures again = Measure(app, QStringLiteral("VarnetZPL"),
                                      CaptureRoot() + QStringLiteral("/VarnetZPL"), runs);
    if (!withStrip.ok || !again.ok)
        return 1;
    std::printf(
        "  raster with the state strip (printer watch asking the spooler on its thread):\n");
    Print("to the job accepted", withStrip.accepted);
    Print("without the strip, again", again.accepted);
    std::printf("    strip on the screen's thread per label: median %.4f ms, max %.4f ms\n",
                stripCost.median, stripCost.max);
    {
        // What the watch's thread waits for, and the screen never does.
        std::vector<double> ask;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer a;
            a.start();
            CPrinterWatch::Ask(QStringLiteral("VarnetZPL"));
            ask.push_back(a.nsecsElapsed() / 1e6);
        }
        const Timings at = Summarise(ask);
        std::printf("    one question to the spooler (watch thread only): median %.2f ms, max "
                    "%.2f ms\n",
                    at.median, at.max);
    }

    {
        // A speed key's tap beside the weight: the 24 keys on the first 24 products (all
        // weighed) of a demo catalogue in SQLite, next to today's weight path on the same queue.
        const QString db = dir.filePath(QStringLiteral("catalogue.db"));
        {
            platform::odbc::Connection c;
            c.Open(QStringLiteral("Driver={SQLite3};DATABASE=") + db);
            democat::Options o;
            o.rows = 1000;
            democat::CreateDemoCatalogue(c, o);
        }
        app.m_settings.Driver = QStringLiteral("SQLite3");
        app.m_settings.Database = db;
        if (!app.ConnectDatabase())
            return 1;
        QList<SpeedKey> set;
        for (int n = 1; n <= CSpeedKeys::kCount; ++n)
            set.append(SpeedKey{n, QString::number(n), QString(), true, std::nullopt});
        CSpeedKeys keys;
        QStringList notes;
        if (!keys.Save(CSpeedKeys::CounterPath(), set, &notes))
            return 1;
        Timings lookup;
        const PathFigures tap =
            MeasureSpeedKeys(app, keys, QStringLiteral("VarnetZPL"),
                             CaptureRoot() + QStringLiteral("/VarnetZPL"), runs, &lookup);
        const PathFigures weight = Measure(app, QStringLiteral("VarnetZPL"),
                                           CaptureRoot() + QStringLiteral("/VarnetZPL"), runs);
        if (!tap.ok || !weight.ok)
            return 1;
        std::printf("speed-key tap to the printer, raster to VarnetZPL, goods already on the pan "
                    "(budget: job accepted in 100 ms):\n");
        Print("tap to the job accepted", tap.accepted);
        Print("tap to the driver's bytes", tap.atBackend);
        Print("of it the catalogue lookup", lookup);
        Print("weight to the job accepted", weight.accepted);
        std::printf("    with auto-print the scale's next reading comes within its polling "
                    "period (100 ms) when the goods go on after the tap\n");
    }

    // The read-back alone, on the page of a drawn label.
    CBarCodeLabel label(platform::PageFromSize(58, 40, 203, 203));
    CBarCodeLabelInfo layout = SampleLayout(true, 58, 40);
    LabelData d;
    d.nBarcode = 270001200512;
    d.strName = QStringLiteral("Сыр Российский 50%");
    d.dPrice = 689.9;
    d.dQuantity = 0.512;
    d.dSum = 353.23;
    layout.SetValues(d);
    label.Draw(layout);
    std::vector<double> check;
    QString verdict;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        verdict = label.CheckPage();
        check.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("read-back of the label before it prints (budget 2 ms)%s:\n",
                verdict.isEmpty() ? "" : " - NOT READ");
    const Timings c = Summarise(check);
    std::printf("    check of one page              median %7.3f ms, mean %7.3f ms, p95 %7.3f ms, "
                "max %7.3f ms\n",
                c.median, c.mean, c.p95, c.max);

    // What the journal adds to each of those labels: one row committed to Journal.db (WAL,
    // synchronous=FULL, so one flush to the disk each), on the screen thread as in the flow.
    JournalRow last;
    if (!AppJournal().LastRow(&last)) {
        std::fprintf(stderr, "bench_printflow: the labels left no journal row\n");
        return 1;
    }
    // Records runs copies of the last row, each a label of its own; the time of each.
    const auto timeRows = [&last, runs] {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            JournalRow row = last;
            row.id = JournalRow::NewId();
            QElapsedTimer rt;
            rt.start();
            AppJournal().Record(row);
            ms.push_back(rt.nsecsElapsed() / 1e6);
        }
        return Summarise(ms);
    };
    const Timings r = timeRows();
    std::printf("journal row per label (%d rows, waiting %d):\n", runs, AppJournal().Waiting());
    std::printf("  median %.2f ms, mean %.2f ms, min %.2f ms, max %.2f ms (budget 5 ms)\n",
                r.median, r.mean, r.min, r.max);

    // The same with a central journal named whose server never answers: its outbox hangs in
    // the login on its own thread while the screen records.
    int port = 0;
    const int silent = SilentServer(&port);
    if (silent < 0) {
        std::fprintf(stderr, "bench_printflow: no loopback socket for the silent server\n");
        return 1;
    }
    AppJournal().SetCentral(QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;"
                                           "Port=%1;Database=varnet;UID=varnet")
                                .arg(port));
    const Timings cr = timeRows();
    const CJournalOutbox* outbox = AppJournal().Outbox();
    std::printf("journal row per label, central server not answering (rows sent %d):\n",
                outbox ? outbox->Sent() : -1);
    std::printf("  median %.2f ms, mean %.2f ms, min %.2f ms, max %.2f ms (budget 5 ms)\n",
                cr.median, cr.mean, cr.min, cr.max);
    // Closing the listener resets the waiting connection, so the outbox stops at once.
    ::close(silent);
    AppJournal().SetCentral(QString());
    return 0;
}
