// Benchmark: time and memory to render a label page: the 58 x 40 mm sample label at 203 dpi
// (budget: under 5 ms) and an A4 page at 600 dpi. Each render builds the page bitmap anew,
// as printing does.
#include "app/varnetapp.h"
#include "benchstats.h"
#include "labels/barcodelabel.h"
#include "labels/samplelayout.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

long PeakRssKiB() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void Measure(const char* name, double widthMM, double heightMM, int dpi, int runs) {
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Колбаса докторская высший сорт, охлаждённая");
    d.strInfo = QStringLiteral("Состав: свинина, говядина, вода, соль, специи");
    d.dPrice = 412.5;
    d.dQuantity = 0.512;
    d.dSum = 211.2;
    d.stExpiry.wYear = 2026;
    d.stExpiry.wMonth = 12;
    d.stExpiry.wDay = 20;
    CBarCodeLabelInfo layout = SampleLayout(true, widthMM, heightMM);
    const platform::PrinterPage page = platform::PageFromSize(widthMM, heightMM, dpi, dpi);

    const long rssBefore = PeakRssKiB();
    std::vector<double> ms;
    qsizetype bitmapBytes = 0;
    for (int i = 0; i < runs + 3; ++i) {
        QElapsedTimer t;
        t.start();
        CBarCodeLabel label(page);
        layout.SetValues(d);
        label.Draw(layout);
        const double elapsed = t.nsecsElapsed() / 1e6;
        bitmapBytes = label.m_bmpPage.sizeInBytes();
        if (i >= 3) // the first renders load fonts and fill glyph caches
            ms.push_back(elapsed);
    }
    const Timings t = Summarise(ms);
    std::printf("%-28s %5d x %5d px  runs %4d  mean %8.3f ms  median %8.3f ms  p95 %8.3f ms  "
                "bitmap %8.1f KiB  peak RSS %7ld KiB (+%ld)\n",
                name, page.m_nPageWidth, page.m_nPageHeight, runs, t.mean, t.median, t.p95,
                bitmapBytes / 1024.0, PeakRssKiB(), PeakRssKiB() - rssBefore);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    CVarnetApp varnet;
    varnet.m_settings.Penny = true;
    varnet.m_settings.PrintEI = true;
    varnet.m_settings.EIWeight = QStringLiteral("кг");
    varnet.m_settings.EICurrency = QStringLiteral("руб");
    std::printf("label render (budget for 58 x 40 mm at 203 dpi: under 5 ms)\n");
    Measure("58 x 40 mm at 203 dpi", 58, 40, 203, 2000);
    Measure("A4 at 600 dpi", 210, 297, 600, 20);
    return 0;
}
