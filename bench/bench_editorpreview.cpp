// Benchmark: one rebuild of the layout editor's preview, which runs on every repaint of the
// editor: the sample values with the longest texts, the page drawn at the printer's
// resolution and scaled into the 597-pixel preview. Page sizes: the 58 x 40 mm label at
// 203 dpi and a 100 x 150 mm label at 300 dpi.
#include "app/varnetapp.h"
#include "benchstats.h"
#include "labels/barcodelabel.h"
#include "labels/editorlogic.h"
#include "labels/samplelayout.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Measure(const char* name, double widthMM, double heightMM, int dpi, int runs) {
    AppSettings settings;
    settings.Penny = true;
    settings.PrintEI = true;
    settings.EICurrency = QStringLiteral("руб");
    settings.EIWeight = QStringLiteral("кг");
    CBarCodeLabelInfo layout = SampleLayout(true, widthMM, heightMM);
    const platform::PrinterPage page = platform::PageFromSize(widthMM, heightMM, dpi, dpi);
    const QSize area(597, 597);
    std::vector<double> ms;
    for (int i = 0; i < runs + 3; ++i) {
        QElapsedTimer t;
        t.start();
        CBarCodeLabel label(page);
        layout.SetValues(SampleLabelData(true, settings, QDateTime::currentDateTime()));
        label.Draw(layout);
        const QSize size = PreviewPictureSize(area, label.m_nPageWidth, label.m_nPageHeight);
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        {
            QPainter dc(&picture);
            label.DrawTo(dc, size.width(), size.height());
        }
        const double elapsed = t.nsecsElapsed() / 1e6;
        if (i >= 3) // the first rebuilds load fonts and fill glyph caches
            ms.push_back(elapsed);
    }
    const Timings t = Summarise(ms);
    std::printf("%-24s %5d x %5d px -> preview  runs %4d  mean %7.3f ms  median %7.3f ms  "
                "p95 %7.3f ms\n",
                name, page.m_nPageWidth, page.m_nPageHeight, runs, t.mean, t.median, t.p95);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication gui(argc, argv);
    CVarnetApp app;
    Measure("58 x 40 mm at 203 dpi", 58, 40, 203, 300);
    Measure("100 x 150 mm at 300 dpi", 100, 150, 300, 100);
    return 0;
}
