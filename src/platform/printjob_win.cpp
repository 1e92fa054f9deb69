// One print job of one page through the Windows spooler: a printer device context by name
// with the driver "WINSPOOL" and its default settings, StartDoc with the job's name,
// StartPage, the page bitmap copied dot for dot onto the printable area, EndPage, EndDoc.
// Each step that fails keeps the system's own words on why.
#include "platform/printer.h"
#include "platform/printjob.h"
#include "platform/printstephook.h"

#include <windows.h>
// The system header names a macro after the Unicode or ANSI StartDoc; the method is ours.
#undef StartDoc

namespace platform {

namespace {

QString SystemMessage(DWORD error) {
    if (error == ERROR_SUCCESS)
        return QString();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message =
        n ? QString::fromWCharArray(text, int(n)).trimmed() : QStringLiteral("error %1").arg(error);
    if (text)
        ::LocalFree(text);
    return message;
}

} // namespace

struct PrintJobData {
    HDC dc = nullptr;
    int jobId = 0;
    bool stopped = false;
    QString stopReason;
    bool finished = false;
    QString spoolerMessage;

    bool Fail() {
        spoolerMessage = SystemMessage(::GetLastError());
        return false;
    }
};

CPrintJob::CPrintJob() : m_d(std::make_unique<PrintJobData>()) {}

CPrintJob::~CPrintJob() {
    PrintJobData& d = *m_d;
    if (!d.dc)
        return;
    // A job that was not finished is abandoned, so that no part of it prints later.
    if (d.jobId > 0 && !d.finished)
        ::AbortDoc(d.dc);
    ::DeleteDC(d.dc);
}

bool CPrintJob::Open(const QString& printerName) {
    RunPrintStepHook(PrintStep::Open);
    PrintJobData& d = *m_d;
    if (printerName.isEmpty())
        return false;
    const std::wstring name = printerName.toStdWString();
    d.dc = ::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
    if (!d.dc)
        return d.Fail();
    const SpoolerState state = QuerySpoolerState(printerName);
    d.stopped = state.stopped;
    d.stopReason = state.reason;
    return !d.stopped;
}

bool CPrintJob::IsStopped() const {
    return m_d->stopped;
}

QString CPrintJob::StopReason() const {
    return m_d->stopReason;
}

QString CPrintJob::PageProblem() const {
    // The Windows spooler hands out a device context for the printer's own page; a page that
    // no label fits shows as a failed step.
    return QString();
}

bool CPrintJob::StartDoc(const QString& docName) {
    RunPrintStepHook(PrintStep::CreateJob);
    PrintJobData& d = *m_d;
    if (!d.dc)
        return false;
    const std::wstring title = docName.toStdWString();
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = title.c_str();
    d.jobId = ::StartDocW(d.dc, &info);
    return d.jobId > 0 || d.Fail();
}

bool CPrintJob::StartPage() {
    RunPrintStepHook(PrintStep::StartDocument);
    PrintJobData& d = *m_d;
    return (d.dc && d.jobId > 0 && ::StartPage(d.dc) > 0) || d.Fail();
}

QSize CPrintJob::PageSize() const {
    if (!m_d->dc)
        return QSize();
    return QSize(::GetDeviceCaps(m_d->dc, HORZRES), ::GetDeviceCaps(m_d->dc, VERTRES));
}

bool CPrintJob::WritePage(const QImage& image) {
    RunPrintStepHook(PrintStep::WritePage);
    PrintJobData& d = *m_d;
    const QImage page = image.convertToFormat(QImage::Format_Grayscale8);
    if (!d.dc || page.size() != PageSize())
        return false;
    // An 8-bit device-independent bitmap with a grey palette, top row first; Qt's lines are
    // already padded to whole 32-bit words as a DIB wants them.
    struct GreyBitmapInfo {
        BITMAPINFOHEADER header;
        RGBQUAD palette[256];
    } bmi{};
    bmi.header.biSize = sizeof bmi.header;
    bmi.header.biWidth = page.width();
    bmi.header.biHeight = -page.height();
    bmi.header.biPlanes = 1;
    bmi.header.biBitCount = 8;
    bmi.header.biCompression = BI_RGB;
    bmi.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
        bmi.palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    const int lines = ::StretchDIBits(
        d.dc, 0, 0, page.width(), page.height(), 0, 0, page.width(), page.height(),
        page.constBits(), reinterpret_cast<const BITMAPINFO*>(&bmi), DIB_RGB_COLORS, SRCCOPY);
    return (lines != 0 && lines != int(GDI_ERROR)) || d.Fail();
}

bool CPrintJob::EndPage() {
    RunPrintStepHook(PrintStep::EndPage);
    PrintJobData& d = *m_d;
    return (d.dc && ::EndPage(d.dc) > 0) || d.Fail();
}

bool CPrintJob::EndDoc() {
    RunPrintStepHook(PrintStep::FinishDocument);
    PrintJobData& d = *m_d;
    if (!d.dc || ::EndDoc(d.dc) <= 0)
        return d.Fail();
    d.finished = true;
    return true;
}

PageFormat CPrintJob::Format() const {
    return PageFormat::None;
}

int CPrintJob::JobId() const {
    return m_d->jobId;
}

QString CPrintJob::SpoolerMessage() const {
    return m_d->spoolerMessage;
}

} // namespace platform
