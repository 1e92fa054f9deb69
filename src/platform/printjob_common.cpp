// The steps of a one-page job and their messages, the same on every spooler.
#include "platform/printer.h"
#include "platform/printjob.h"
#include "platform/printstephook.h"

#include <QImage>

namespace platform {

namespace {
PrintStepHook& Hook() {
    static PrintStepHook hook;
    return hook;
}
} // namespace

QString PrintStepFailure(PrintStep step) {
    switch (step) {
    case PrintStep::Open:
        return QStringLiteral("Ошибка открытия принтера");
    case PrintStep::CreateJob:
        return QStringLiteral("Ошибка принтера: StartDocPrinter");
    case PrintStep::StartDocument:
        return QStringLiteral("Ошибка принтера: StartPage");
    case PrintStep::WritePage:
        return QStringLiteral("Ошибка принтера: DrawBackgroudImage");
    case PrintStep::CheckPage:
        return QStringLiteral("Ошибка создания этикетки");
    case PrintStep::EndPage:
    case PrintStep::FinishDocument:
        break;
    }
    return QStringLiteral("Ошибка принтера: EndPage");
}

QString StoppedPrinterMessage(const QString& reason) {
    const QString text = QStringLiteral("Принтер остановлен");
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
}

std::optional<PrintStep> PrintOnePage(CPrintJob& job, const QString& printerName,
                                      const QString& docName, const PageForSize& page) {
    if (!job.Open(printerName))
        return PrintStep::Open;
    const QSize size = job.PageSize();
    const QImage image = size.isEmpty() ? QImage() : page(size);
    if (image.isNull())
        return PrintStep::CheckPage;
    if (!job.StartDoc(docName))
        return PrintStep::CreateJob;
    if (!job.StartPage())
        return PrintStep::StartDocument;
    if (!job.WritePage(image))
        return PrintStep::WritePage;
    if (!job.EndPage())
        return PrintStep::EndPage;
    if (!job.EndDoc())
        return PrintStep::FinishDocument;
    return std::nullopt;
}

PrintStepHook SetPrintStepHook(PrintStepHook hook) {
    PrintStepHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

void RunPrintStepHook(PrintStep step) {
    if (Hook())
        Hook()(step);
}

bool PrintPageImage(const QString& printerName, const QImage& image, const QString& jobName,
                    QString* error) {
    CPrintJob job;
    const std::optional<PrintStep> failed =
        PrintOnePage(job, printerName, jobName, [&image](const QSize&) { return image; });
    if (failed && error) {
        *error =
            job.IsStopped() ? StoppedPrinterMessage(job.StopReason()) : PrintStepFailure(*failed);
        if (!job.PageProblem().isEmpty())
            *error = job.PageProblem();
        else if (!job.IsStopped() && !job.SpoolerMessage().isEmpty())
            *error += QStringLiteral(" (") + job.SpoolerMessage() + QLatin1Char(')');
    }
    return !failed;
}

} // namespace platform
