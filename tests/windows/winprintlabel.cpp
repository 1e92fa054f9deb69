// The workstation's print flow on one label: a counter folder with the sample layouts, the
// product and weight given, the clock fixed, the print key. Prints the thirteen barcode
// digits composed for the label and every message the operator would have seen, and leaves
// the label's page bitmap as page.png in the folder; exit code 0 when the spooler took the
// job without a message. With a page "WxH@DPI" (millimetres, dots per inch) instead of a
// printer it only draws that page: the reference a printed label is compared with.
#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/ean13.h"
#include "labels/labellayouts.h"
#include "labels/layoutfile.h"
#include "labels/samplelayout.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "workstation/barcode.h"
#include "workstation/printflow.h"
#include "workstation/screenstate.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: winprintlabel FOLDER PRINTER|WxH@DPI CODE KG\n");
        return 2;
    }
    const QString dir = QDir::fromNativeSeparators(args[1]);
    const platform::ScopedFixedClock clock(QDateTime(QDate(2026, 12, 20), QTime(10, 30)));
    static const QRegularExpression pageRe(QStringLiteral("^(\\d+)x(\\d+)@(\\d+)$"));
    const QRegularExpressionMatch pageOnly = pageRe.match(args[2]);
    platform::SetModuleDirectoryOverride(dir);
    platform::InstallSpoolerPrinters();
    int messages = 0;
    platform::SetMessageSink([&messages](const platform::OperatorMessage& m) {
        ++messages;
        std::printf("message: %s | %s\n", m.caption.toUtf8().constData(),
                    m.text.toUtf8().constData());
    });
    labels::SaveLayout(dir + QStringLiteral("/Varnet.cfg"), SampleLayout(true, 58, 40));
    labels::SaveLayout(dir + QStringLiteral("/QLabel.cfg"), SampleLayout(false, 58, 40));
    CVarnetApp app;
    app.SetLabelLayouts(std::make_unique<CLabelLayouts>());
    app.LoadSettings();
    app.LoadLabelLayouts();
    app.m_settings.PrinterName = args[2];
    app.m_settings.Penny = true;

    CScreenState state(app.m_settings);
    CurrentProduct p;
    p.m_strCode = args[3];
    p.m_strName = QStringLiteral("Колбаса докторская");
    p.m_dPrice = 539.0;
    p.m_bWeighed = true;
    state.ShowProduct(p);
    const double kg = args[4].toDouble();
    state.OnWeightUpdate(kg);
    const BarcodeResult b = ComposeBarcode(app.m_settings, args[3].toULongLong(), true, kg);
    const QString twelve = QStringLiteral("%1").arg(b.value, 12, 10, QLatin1Char('0'));
    std::printf("barcode %s%d\n", twelve.toUtf8().constData(), ean13::CheckDigit(twelve));
    CBarCodeLabelInfo& layout = AppLayouts().Layout(true);
    std::optional<platform::PrinterPage> page;
    if (pageOnly.hasMatch()) {
        // The values the print flow would have set, without a printer.
        LabelData d;
        d.nBarcode = b.value;
        d.strName = p.m_strName;
        d.bWeight = true;
        d.dPrice = p.m_dPrice;
        d.dQuantity = kg;
        d.dSum = app.RoundAmount(kg * p.m_dPrice);
        layout.SetValues(d);
        const int dpi = pageOnly.captured(3).toInt();
        page = platform::PageFromSize(pageOnly.captured(1).toDouble(),
                                      pageOnly.captured(2).toDouble(), dpi, dpi);
    } else {
        PrintLabel(state, nullptr);
        page = platform::QueryPrinterPage(args[2]);
    }
    if (page) {
        CBarCodeLabel label(*page);
        if (label.Draw(layout))
            label.m_bmpPage.save(dir + QStringLiteral("/page.png"));
    }
    std::fflush(stdout);
    return messages == 0 ? 0 : 1;
}
