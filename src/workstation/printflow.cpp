#include "workstation/printflow.h"

#include "labels/barcodelabel.h"
#include "labels/labellayouts.h"
#include "platform/messages.h"
#include "platform/numbers.h"
#include "platform/printjob.h"
#include "workstation/barcode.h"
#include "workstation/printcheck.h"

#include <QImage>
#include <QPainter>

namespace {
// Clears the running-print flag on every way out.
class PrintingGuard {
public:
    explicit PrintingGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~PrintingGuard() { m_flag = false; }
    PrintingGuard(const PrintingGuard&) = delete;
    PrintingGuard& operator=(const PrintingGuard&) = delete;

private:
    bool& m_flag;
};

QString PrintCaption() {
    return QStringLiteral("Ошибка печати");
}
} // namespace

bool SplitProductInfo(const QString& name, const QString& info, QString* printedName,
                      QString* printedInfo) {
    if (info.isEmpty()) {
        *printedName = name;
        printedInfo->clear();
        return true;
    }
    const qsizetype first = info.indexOf(QLatin1Char('\r'));
    const qsizetype second = first < 0 ? -1 : info.indexOf(QLatin1Char('\r'), first + 1);
    if (second < 0)
        return false;
    *printedName = info.left(second);
    *printedInfo = info.mid(second + 1);
    return true;
}

void PrintLabel(CScreenState& state, QWidget* owner) {
    CVarnetApp* app = CVarnetApp::Instance();
    const CurrentProduct& product = state.m_product;
    if (!app || product.m_strCode.isEmpty() || state.m_bPrinting)
        return;
    PrintingGuard printing(state.m_bPrinting);
    const AppSettings& settings = app->m_settings;
    const auto fail = [owner](const QString& text, const QString& caption) {
        platform::ReportMessage(text, caption, platform::MessageIcon::Stop, owner);
    };
    if (const QString error = ProductPrintError(product); !error.isEmpty())
        return fail(error, platform::ErrorCaption());

    CBarCodeLabel label;
    if (!label.m_bValid)
        return fail(QStringLiteral("Принтер не установлен"), platform::ErrorCaption());

    const double quantity = state.Quantity();
    if (quantity == 0.0)
        return;
    const BarcodeResult barcode = ComposeBarcode(
        settings, platform::ParseLeadingUInt(product.m_strCode), product.m_bWeighed, quantity);
    if (barcode.value == 0)
        return fail(barcode.error, platform::ErrorCaption());

    LabelData data;
    if (!SplitProductInfo(product.m_strName, product.m_strInfo, &data.strName, &data.strInfo))
        return fail(QStringLiteral("Неверный формат доп. информации по товару"),
                    platform::ErrorCaption());
    data.nBarcode = barcode.value;
    data.bPrintUnits = settings.PrintEI;
    data.bWeight = product.m_bWeighed;
    data.dPrice = product.m_dPrice;
    data.dQuantity = quantity;
    data.dSum = app->RoundAmount(quantity * product.m_dPrice);
    if (product.m_stBestBefore.isValid())
        data.stExpiry = ToSystemTime(product.m_stBestBefore);
    CBarCodeLabelInfo& layout = AppLayouts().Layout(product.m_bWeighed);
    layout.SetValues(data);

    if (!label.Draw(layout))
        return fail(QStringLiteral("Ошибка создания этикетки"), platform::ErrorCaption());

    // Read back before anything reaches the spooler: a blank page or a barcode that does
    // not scan would cost a label and a wrong sale at the till.
    const QString unreadable = label.CheckPage();
    if (!unreadable.isEmpty())
        return fail(unreadable, platform::ErrorCaption());

    using platform::PrintStep;
    platform::CPrintJob job;
    if (!job.Open(settings.PrinterName)) {
        if (job.IsStopped())
            return fail(platform::StoppedPrinterMessage(job.StopReason()), PrintCaption());
        return fail(platform::PrintStepFailure(PrintStep::Open), platform::ErrorCaption());
    }
    if (!job.StartDoc(QStringLiteral("Pelgrin")))
        return fail(platform::PrintStepFailure(PrintStep::CreateJob), PrintCaption());
    if (!job.StartPage())
        return fail(platform::PrintStepFailure(PrintStep::StartDocument), PrintCaption());
    // The page goes dot for dot; a printer whose page changed since the label was drawn
    // gets it stretched onto its page, as on any other device.
    QImage page = label.m_bmpPage;
    const QSize size = job.PageSize();
    if (page.size() != size && !size.isEmpty()) {
        page = QImage(size, QImage::Format_Grayscale8);
        page.fill(255);
        QPainter painter(&page);
        label.DrawTo(painter, size.width(), size.height());
    }
    if (size.isEmpty() || !job.WritePage(page))
        return fail(platform::PrintStepFailure(PrintStep::WritePage), PrintCaption());
    if (!job.EndPage() || !job.EndDoc())
        return fail(platform::PrintStepFailure(PrintStep::EndPage), PrintCaption());
}
