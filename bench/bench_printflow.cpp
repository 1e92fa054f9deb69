// From a weight notification to a job accepted by the spooler: the main screen's handling of
// a new weight with auto-print on (amount, barcode, layout values, a 58 x 40 mm page at
// 203 dpi, the one-page job handed to CUPS). Needs the test queue: scripts/services.sh
// start cups. Prints the figures of every step and of the whole.
#include "benchstats.h"
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "labels/samplelayout.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "workstation/printflow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QString queue = qEnvironmentVariable("VARNET_CUPS_QUEUE", QStringLiteral("VarnetPDF"));
    platform::InstallSpoolerPrinters();
    if (!platform::OpenPrinter(queue)) {
        std::fprintf(stderr, "bench_printflow: no printer %s (scripts/services.sh start cups)\n",
                     queue.toUtf8().constData());
        return 1;
    }
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());
    CVarnetApp app;
    app.m_settings.PrinterName = queue;
    app.m_settings.WBarCodeMask = QStringLiteral("27PPPPPWWWWW");
    app.m_settings.Penny = true;
    app.m_settings.PrintEI = true;
    app.m_settings.EIWeight = QStringLiteral("кг");
    app.m_settings.EICurrency = QStringLiteral("руб");
    auto layouts = std::make_unique<CLabelLayouts>();
    layouts->m_layoutWeight = SampleLayout(true, 58, 40);
    app.SetLabelLayouts(std::move(layouts));

    CScreenState state(app.m_settings);
    state.ShowProduct({QStringLiteral("12"), QStringLiteral("Сыр Российский 50%"), QString(),
                       689.90, true, QDateTime::currentDateTime().addDays(30)});
    state.OnAutoPrintKey();

    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double weight = 0.400 + 0.001 * i; // a new weight each time
        QElapsedTimer t;
        t.start();
        if (state.OnWeightUpdate(weight)) {
            PrintLabel(state, nullptr);
            state.AfterAutoPrint(weight);
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    const Timings t = Summarise(ms);
    std::printf("weight notification to job accepted by CUPS (58 x 40 mm, 203 dpi), %d labels:\n",
                runs);
    std::printf("  median %.1f ms, mean %.1f ms, min %.1f ms, max %.1f ms (budget 100 ms)\n",
                t.median, t.mean, t.min, t.max);

    // What the journal adds to each of those labels: one row committed to Journal.db (WAL,
    // synchronous=FULL, so one flush to the disk each), on the screen thread as in the flow.
    JournalRow last;
    if (!AppJournal().LastRow(&last)) {
        std::fprintf(stderr, "bench_printflow: the labels left no journal row\n");
        return 1;
    }
    std::vector<double> rowMs;
    for (int i = 0; i < runs; ++i) {
        JournalRow row = last;
        row.id = JournalRow::NewId();
        QElapsedTimer rt;
        rt.start();
        AppJournal().Record(row);
        rowMs.push_back(rt.nsecsElapsed() / 1e6);
    }
    const Timings r = Summarise(rowMs);
    std::printf("journal row per label (%d rows, waiting %d):\n", runs, AppJournal().Waiting());
    std::printf("  median %.2f ms, mean %.2f ms, min %.2f ms, max %.2f ms (budget 5 ms)\n",
                r.median, r.mean, r.min, r.max);
    return 0;
}
