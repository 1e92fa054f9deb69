#include "workstation/printflow.h"

#include "journal/journal.h"
#include "labels/barcodelabel.h"
#include "labels/ean13.h"
#include "labels/labellayouts.h"
#include "labels/layoutfile.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/numbers.h"
#include "platform/paths.h"
#include "platform/printjob.h"
#include "workstation/barcode.h"
#include "workstation/printcheck.h"
#include "workstation/weighing.h"

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

// A printer that is not there, or one whose page no label fits on, said as such.
QString NoPrinterMessage(const CBarCodeLabel& label) {
    return label.InvalidReason().isEmpty() ? QStringLiteral("Принтер не установлен")
                                           : label.InvalidReason();
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

namespace {

// How SendLabel tells of a stopped printer.
struct StopNotice {
    bool quiet = false;   // it has been told: the strip is enough
    bool stopped = false; // set when the printer was found stopped
};

// Draws the label of the given values on the layout of its kind, reads it back and sends it
// to the spooler. True when the spooler accepted the job; its id is then in *jobId and the
// page it got, dot for dot, in *sent. Every failure is told to the operator, a stopped
// printer unless stop says it has been.
bool SendLabel(CBarCodeLabel& label, const LabelData& data, const QDateTime& packed,
               const AppSettings& settings, QWidget* owner, int* jobId, QString* failure,
               QImage* sent, StopNotice* stop = nullptr) {
    const auto fail = [owner, failure](const QString& text, const QString& caption) {
        *failure = text;
        platform::ReportMessage(text, caption, platform::MessageIcon::Stop, owner);
        return false;
    };

    CBarCodeLabelInfo& layout = AppLayouts().Layout(data.bWeight);
    {
        // The pack date on the label is the moment the journal keeps, so that a reprint
        // shows the same date as the label it replaces.
        platform::ScopedFixedClock clock(packed);
        layout.SetValues(data);
    }

    if (!label.Draw(layout))
        return fail(QStringLiteral("Ошибка создания этикетки"), platform::ErrorCaption());

    using platform::PrintStep;
    platform::CPrintJob job;
    QString unreadable;
    // The page goes dot for dot; a printer whose page changed since the label was drawn
    // gets it stretched onto its page, as on any other device. The page is read back as it
    // goes, before any job exists: a blank page or a barcode that does not scan would cost
    // a label and a wrong sale at the till.
    const std::optional<PrintStep> failed =
        platform::PrintOnePage(job, settings.PrinterName, QStringLiteral("Pelgrin"),
                               [&label, &unreadable, sent](const QSize& size) {
                                   QImage page = label.m_bmpPage;
                                   if (page.size() != size) {
                                       page = QImage(size, QImage::Format_Grayscale8);
                                       page.fill(255);
                                       QPainter painter(&page);
                                       label.DrawTo(painter, size.width(), size.height());
                                   }
                                   unreadable = label.CheckPage(page);
                                   if (!unreadable.isEmpty())
                                       return QImage();
                                   *sent = page;
                                   return page;
                               });
    if (failed == PrintStep::CheckPage && !unreadable.isEmpty()) {
        // A layout that did not come from its file draws nothing: the file is what to name.
        const QString problem = labels::LayoutFileProblem(
            CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(data.bWeight), data.bWeight);
        return fail(problem.isEmpty() ? unreadable : problem, platform::ErrorCaption());
    }
    if (failed == PrintStep::Open && !job.PageProblem().isEmpty())
        return fail(job.PageProblem(), platform::ErrorCaption());
    if (failed == PrintStep::Open && job.IsStopped()) {
        const QString text = platform::StoppedPrinterMessage(job.StopReason());
        if (stop) {
            stop->stopped = true;
            if (stop->quiet) {
                *failure = text;
                return false;
            }
        }
        return fail(text, PrintCaption());
    }
    if (failed)
        return fail(platform::PrintStepFailure(*failed),
                    *failed == PrintStep::Open ? platform::ErrorCaption() : PrintCaption());
    *jobId = job.JobId();
    return true;
}

// The strip's last label: refused, and why.
void NoteRefused(CScreenState& state, const QString& reason) {
    state.m_lastLabel = LastLabel();
    state.m_lastLabel.kind = LastLabel::Refused;
    state.m_lastLabel.moment = platform::Now();
    state.m_lastLabel.reason = reason;
}

QString BarcodeDigits(uint64_t value) {
    const QString digits = QStringLiteral("%1").arg(value, 12, 10, QLatin1Char('0'));
    return digits + QString::number(ean13::CheckDigit(digits));
}

// A label the spooler accepted, in the packing journal.
void RecordPrinted(const CurrentProduct& product, const LabelData& data, const QDateTime& packed,
                   const QDateTime& bestBefore, bool keyed, double tare, int jobId,
                   const QString& printer) {
    JournalRow row;
    row.id = JournalRow::NewId();
    row.moment = packed;
    row.code = product.m_strCode;
    row.name = product.m_strName;
    row.weighed = product.m_bWeighed;
    row.quantity = data.dQuantity;
    row.price = product.m_dPrice;
    row.sum = data.dSum;
    row.barcode = BarcodeDigits(data.nBarcode);
    row.bestBefore = bestBefore;
    row.printer = printer;
    row.jobId = jobId;
    row.labelName = data.strName;
    row.labelInfo = data.strInfo;
    row.account = platform::AccountName();
    row.keyed = keyed;
    row.tare = tare;
    AppJournal().Record(row);
}

} // namespace

void PrintLabel(CScreenState& state, QWidget* owner, PrintBy by, int copies) {
    CVarnetApp* app = CVarnetApp::Instance();
    const CurrentProduct& product = state.m_product;
    if (!app || state.m_bPrinting || copies < 1)
        return;
    if (copies > 1 && product.m_bWeighed) {
        // Each pack of weighed goods has its own weight and gets its own label.
        platform::ReportMessage(QStringLiteral("Копии печатаются только для штучного товара"),
                                platform::ErrorCaption(), platform::MessageIcon::Information,
                                owner);
        return;
    }
    PrintingGuard printing(state.m_bPrinting);
    const AppSettings& settings = app->m_settings;
    const auto refused = [&state](const QString& text) { NoteRefused(state, text); };
    const auto fail = [owner, &refused](const QString& text, const QString& caption) {
        refused(text);
        platform::ReportMessage(text, caption, platform::MessageIcon::Stop, owner);
    };
    // Nothing to print says why on the strip, so that the line of an earlier label is not
    // taken for this one.
    if (const NoLabel no = state.NothingToPrint(); !no.reason.isEmpty()) {
        refused(no.reason);
        if (!no.message.isEmpty())
            platform::ReportMessage(no.message, platform::ErrorCaption(),
                                    platform::MessageIcon::Stop, owner);
        return;
    }
    if (const QString error = ProductPrintError(product); !error.isEmpty())
        return fail(error, platform::ErrorCaption());

    CBarCodeLabel label;
    if (!label.m_bValid)
        return fail(NoPrinterMessage(label), platform::ErrorCaption());

    const double quantity = state.Quantity();
    // A number typed on the keypad is the goods' own weight or count: no tare is taken off
    // it. A piece count is always the operator's.
    const bool keyed = state.m_bEntryActive || !product.m_bWeighed;
    const double tare = keyed ? 0.0 : state.Tare();
    if (tare > 0) {
        if (const QString error = weighing::NetWeightError(quantity, tare); !error.isEmpty())
            return fail(error, platform::ErrorCaption());
    }
    if (keyed && product.m_bWeighed) {
        if (const QString error =
                weighing::KeyedWeightError(settings, state.m_dScaleCapacity, quantity);
            !error.isEmpty())
            return fail(error, platform::ErrorCaption());
    }
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
    if (!IsPrintableMoney(data.dSum))
        return fail(BadPriceMessage(product), platform::ErrorCaption());
    // Both dates of the label count from the moment it is printed.
    const QDateTime packed = platform::Now();
    const QDateTime bestBefore = BestBeforeAt(product, packed);
    if (bestBefore.isValid() && !IsPrintableBestBefore(bestBefore))
        return fail(BadBestBeforeMessage(), platform::ErrorCaption());
    if (bestBefore.isValid())
        data.stExpiry = ToSystemTime(bestBefore);

    // Copies are the same label: one pack moment, each its own job and journal row.
    QImage page;
    int printed = 0;
    StopNotice stop;
    // Auto-print meets a stopped printer with every pack: one box per stop, then the strip.
    stop.quiet = by == PrintBy::AutoPrint && state.m_bPrinterStopTold;
    for (; printed < copies; ++printed) {
        int jobId = 0;
        QString failure;
        if (!SendLabel(label, data, packed, settings, owner, &jobId, &failure, &page, &stop)) {
            if (stop.stopped)
                state.m_bPrinterStopTold = true;
            if (printed == 0)
                return refused(failure);
            // The copies printed so far are in the journal and on the strip.
            break;
        }
        RecordPrinted(product, data, packed, bestBefore, keyed, tare, jobId, settings.PrinterName);
    }
    state.OnLabelPrinted(product.m_bWeighed, quantity + tare);
    state.m_lastPrinted = PrintedLabel{product, quantity};
    LastLabel& last = state.m_lastLabel;
    last = LastLabel();
    last.kind = LastLabel::Printed;
    last.moment = packed;
    last.name = product.m_strName;
    last.weighed = product.m_bWeighed;
    last.quantity = quantity;
    last.sum = state.MoneyText(data.dSum);
    last.barcode = BarcodeDigits(data.nBarcode);
    last.copies = printed;
    last.page = page;
}

bool ReprintLabel(CScreenState& state, const JournalRow& original, QWidget* owner) {
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app || state.m_bPrinting || original.barcode.size() != 13)
        return false;
    PrintingGuard printing(state.m_bPrinting);
    const AppSettings& settings = app->m_settings;
    CBarCodeLabel label;
    if (!label.m_bValid) {
        platform::ReportMessage(NoPrinterMessage(label), platform::ErrorCaption(),
                                platform::MessageIcon::Stop, owner);
        return false;
    }

    LabelData data;
    data.nBarcode = original.barcode.left(12).toULongLong();
    data.strName = original.labelName;
    data.strInfo = original.labelInfo;
    data.bPrintUnits = settings.PrintEI;
    data.bWeight = original.weighed;
    data.dPrice = original.price;
    data.dQuantity = original.quantity;
    data.dSum = original.sum;
    if (original.bestBefore.isValid())
        data.stExpiry = ToSystemTime(original.bestBefore);

    int jobId = 0;
    QString failure;
    QImage page;
    if (!SendLabel(label, data, original.moment, settings, owner, &jobId, &failure, &page)) {
        NoteRefused(state, failure);
        return false;
    }

    JournalRow row = original;
    row.id = JournalRow::NewId();
    row.moment = platform::Now();
    row.printer = settings.PrinterName;
    row.jobId = jobId;
    row.reprint = true;
    row.account = platform::AccountName();
    AppJournal().Record(row);
    LastLabel& last = state.m_lastLabel;
    last = LastLabel();
    last.kind = LastLabel::Printed;
    last.moment = row.moment;
    last.name = original.name;
    last.weighed = original.weighed;
    last.quantity = original.quantity;
    last.sum = state.MoneyText(original.sum);
    last.barcode = original.barcode;
    last.page = page;
    return true;
}
