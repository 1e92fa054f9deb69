#include "platform/cupsdata.h"

#include "platform/rasterpage.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <unistd.h>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace platform {

namespace {

constexpr int kConnectTimeoutMs = 3000;
constexpr double kRequestTimeoutS = 10.0;

QString Option(const cups_dest_t* dest, const char* name) {
    const char* v = cupsGetOption(name, dest->num_options, dest->options);
    return v ? QString::fromUtf8(v) : QString();
}

// The state message and reasons of a queue, which the destination list leaves out.
QString StateMessage(http_t* http, const QString& name) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state-message", "printer-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    QString text;
    if (response) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
            text = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
        if (text.isEmpty()) {
            if (ipp_attribute_t* a =
                    ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
                QStringList reasons;
                for (int i = 0; i < ippGetCount(a); ++i)
                    reasons.append(QString::fromUtf8(ippGetString(a, i, nullptr)));
                reasons.removeAll(QStringLiteral("none"));
                text = reasons.join(QStringLiteral(", "));
            }
        }
        ippDelete(response);
    }
    return text;
}

// The input formats of the queue's filters: "*cupsFilter: src cost program" and
// "*cupsFilter2: src dst cost program".
PageFormat FormatOfPpd(ppd_file_t* ppd) {
    bool pwg = false;
    for (const char* keyword : {"cupsFilter", "cupsFilter2"}) {
        for (ppd_attr_t* a = ppdFindAttr(ppd, keyword, nullptr); a;
             a = ppdFindNextAttr(ppd, keyword, nullptr)) {
            const QString source = QString::fromUtf8(a->value ? a->value : "")
                                       .section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
            // A driverless printer of Apple raster gets CUPS raster, which CUPS turns into
            // its format line for line at the same resolution.
            if (source == QLatin1String("application/vnd.cups-raster") ||
                source == QLatin1String("image/urf"))
                return PageFormat::CupsRaster;
            if (source == QLatin1String("image/pwg-raster"))
                pwg = true;
        }
    }
    return pwg ? PageFormat::PwgRaster : PageFormat::None;
}

RasterLineFormat LineFormat(const cups_page_header2_t& h) {
    RasterLineFormat f;
    f.bitsPerColor = h.cupsBitsPerColor;
    f.colorSpace = static_cast<RasterColorSpace>(h.cupsColorSpace);
    f.bytesPerLine = h.cupsBytesPerLine;
    return f;
}

bool ChunkyAndSupported(const cups_page_header2_t& h) {
    return h.cupsColorOrder == CUPS_ORDER_CHUNKED &&
           IsSupportedRasterFormat(LineFormat(h), int(h.cupsWidth));
}

// The page header of the queue's driver for its default settings and options, and the
// printable page that follows from it.
// What a queue's PPD gave for its options, kept while the PPD on the scheduler is unchanged:
// a label printer's PPD is read and interpreted once, not for every label.
struct PpdResult {
    time_t modified = 0;
    QByteArray options;
    bool ppd = false; // the queue has a PPD
    bool ok = false;  // and CUPS made a page header of it
    QString error;
    cups_page_header2_t header{};
    PageFormat format = PageFormat::None;
};

std::mutex g_ppdMutex;
std::map<QString, PpdResult>& PpdCache() {
    static std::map<QString, PpdResult> cache;
    return cache;
}

// The options that shape the page; the state of the printer changes with every job.
QByteArray PageOptions(const cups_dest_t* dest) {
    QByteArray key;
    for (int i = 0; i < dest->num_options; ++i) {
        const QByteArray name(dest->options[i].name);
        if (name.startsWith("printer-") || name.startsWith("marker-"))
            continue;
        key += name + '=' + dest->options[i].value + '\n';
    }
    return key;
}

PpdResult InterpretPpd(http_t* http, const cups_dest_t* dest, const QString& name) {
    PpdResult r;
    r.options = PageOptions(dest);
    {
        std::lock_guard<std::mutex> lock(g_ppdMutex);
        const auto it = PpdCache().find(name);
        if (it != PpdCache().end() && it->second.options == r.options)
            r.modified = it->second.modified;
    }
    // What the fetch made for its caller (a copy of the PPD, or for an account that may read
    // the scheduler's own file a link to it, even when the answer is "not modified"): removed
    // on every way out, or every question would leave one in the temporary folder.
    struct FetchedPpd {
        char path[1024] = "";
        ~FetchedPpd() {
            if (path[0])
                ::unlink(path);
        }
    } fetched;
    const time_t known = r.modified;
    const http_status_t status = cupsGetPPD3(http, name.toUtf8().constData(), &r.modified,
                                             fetched.path, sizeof fetched.path);
    if (status == HTTP_STATUS_NOT_MODIFIED && known != 0) {
        std::lock_guard<std::mutex> lock(g_ppdMutex);
        return PpdCache()[name];
    }
    if (status != HTTP_STATUS_OK)
        return r;
    ppd_file_t* ppd = ppdOpenFile(fetched.path);
    if (ppd) {
        ppdMarkDefaults(ppd);
        cupsMarkOptions(ppd, dest->num_options, dest->options);
        r.ppd = true;
        r.ok = cupsRasterInterpretPPD(&r.header, ppd, 0, nullptr, nullptr) == 0;
        if (!r.ok)
            r.error = QString::fromUtf8(cupsRasterErrorString()).trimmed();
        r.format = r.ok ? FormatOfPpd(ppd) : PageFormat::None;
        ppdClose(ppd);
    }
    std::lock_guard<std::mutex> lock(g_ppdMutex);
    PpdCache()[name] = r;
    return r;
}

// The resolutions of label printers, with room on both sides; and the longest sheet.
constexpr unsigned kMinDpi = 72;
constexpr unsigned kMaxDpi = 2400;
constexpr double kMaxSheetMM = 10000;
// PPD figures in points carry rounding of their own: a hundredth of a point is no margin.
constexpr double kSlackPt = 0.01;

double PointsToMM(double points) {
    return points / 72.0 * 25.4;
}

QString MM(double points) {
    return QString::number(PointsToMM(points), 'f', 1);
}

// What is wrong with the page a driver's header describes, before any figure of it is used
// as a size or an offset; empty when a label can be drawn on it and placed on the sheet.
QString ProblemOfPage(const cups_page_header2_t& h) {
    const unsigned dpiX = h.HWResolution[0];
    const unsigned dpiY = h.HWResolution[1];
    if (dpiX < kMinDpi || dpiY < kMinDpi || dpiX > kMaxDpi || dpiY > kMaxDpi)
        return QStringLiteral("разрешение %1 × %2 точек на дюйм (допустимо от %3 до %4)")
            .arg(dpiX)
            .arg(dpiY)
            .arg(kMinDpi)
            .arg(kMaxDpi);
    const double width = h.cupsPageSize[0];
    const double height = h.cupsPageSize[1];
    if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0 ||
        PointsToMM(width) > kMaxSheetMM || PointsToMM(height) > kMaxSheetMM)
        return QStringLiteral("размер листа %1 × %2 мм").arg(MM(width), MM(height));
    const float* box = h.cupsImagingBBox; // left, bottom, right, top, in points from the corner
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(box[i]))
            return QStringLiteral("область печати не задана");
    const double left = box[0];
    const double bottom = box[1];
    const double right = width - box[2];
    const double top = height - box[3];
    const QString margins = QStringLiteral("поля: слева %1, сверху %2, справа %3, снизу %4 мм")
                                .arg(MM(left), MM(top), MM(right), MM(bottom));
    if (left < -kSlackPt || bottom < -kSlackPt || right < -kSlackPt || top < -kSlackPt)
        return QStringLiteral("область печати выходит за лист %1 × %2 мм (%3)")
            .arg(MM(width), MM(height), margins);
    if (box[2] - box[0] <= 0 || box[3] - box[1] <= 0 || h.cupsWidth == 0 || h.cupsHeight == 0)
        return QStringLiteral("область печати пуста (%1)").arg(margins);
    return QString();
}

// False for a queue without a PPD. A PPD whose page is unusable is read, with the problem
// in d.pageProblem and no page.
bool ReadPpd(http_t* http, const cups_dest_t* dest, CupsQueueData& d) {
    const PpdResult r = InterpretPpd(http, dest, d.name);
    if (!r.ppd)
        return false;
    d.header = r.header;
    d.format = r.format;
    const cups_page_header2_t& h = d.header;
    // CUPS fills in what it read before it gives up: the figures say what is wrong.
    d.pageProblem = ProblemOfPage(h);
    if (d.pageProblem.isEmpty() && !r.ok)
        d.pageProblem = QStringLiteral("драйвер не может её описать (%1)").arg(r.error);
    if (!d.pageProblem.isEmpty())
        return true;
    PrinterPage& p = d.page;
    p.m_nPageWidth = int(h.cupsWidth);
    p.m_nPageHeight = int(h.cupsHeight);
    p.m_nDpiX = int(h.HWResolution[0]);
    p.m_nDpiY = int(h.HWResolution[1]);
    const double widthPt = h.cupsImagingBBox[2] - h.cupsImagingBBox[0];
    const double heightPt = h.cupsImagingBBox[3] - h.cupsImagingBBox[1];
    p.m_nPageWidthMM = int(std::lround(widthPt / 72.0 * 25.4));
    p.m_nPageHeightMM = int(std::lround(heightPt / 72.0 * 25.4));
    p.m_dMarginLeftMM = h.cupsImagingBBox[0] / 72.0 * 25.4;
    p.m_dMarginTopMM = (h.cupsPageSize[1] - h.cupsImagingBBox[3]) / 72.0 * 25.4;
    return true;
}

void PwgSheet(cups_page_header2_t& pwg, const cups_page_header2_t& h) {
    pwg.cupsWidth = unsigned(h.cupsPageSize[0] * h.HWResolution[0] / 72.0 + 0.5);
    pwg.cupsHeight = unsigned(h.cupsPageSize[1] * h.HWResolution[1] / 72.0 + 0.5);
    pwg.cupsBytesPerLine = (pwg.cupsWidth * pwg.cupsBitsPerPixel + 7) / 8;
}

// A PWG raster page is the whole sheet; the printable area sits on it at the margins.
bool MakePwgHeader(CupsQueueData& d) {
    const cups_page_header2_t& h = d.header;
    const int widthHmm = int(std::lround(h.cupsPageSize[0] * 2540.0 / 72.0));
    const int lengthHmm = int(std::lround(h.cupsPageSize[1] * 2540.0 / 72.0));
    pwg_media_t* media = pwgMediaForSize(widthHmm, lengthHmm);
    if (!media)
        return false;
    const char* type = h.cupsBitsPerColor == 1 ? "black_1" : "sgray_8";
    if (!cupsRasterInitPWGHeader(&d.pwgHeader, media, type, int(h.HWResolution[0]),
                                 int(h.HWResolution[1]), "one-sided", nullptr))
        return false;
    // The sheet in dots as the driver's page header counts them (rounded, where the PWG
    // header truncates), so the printable area of the same header fits on it.
    PwgSheet(d.pwgHeader, h);
    d.pwgOffsetX = std::max(0, int(std::lround(h.cupsImagingBBox[0] * h.HWResolution[0] / 72.0)));
    d.pwgOffsetY = std::max(
        0, int(std::lround((h.cupsPageSize[1] - h.cupsImagingBBox[3]) * h.HWResolution[1] / 72.0)));
    return d.pwgOffsetX + d.page.m_nPageWidth <= int(d.pwgHeader.cupsWidth) &&
           d.pwgOffsetY + d.page.m_nPageHeight <= int(d.pwgHeader.cupsHeight);
}

} // namespace

HttpConnection::HttpConnection() {
    http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                        kConnectTimeoutMs, nullptr);
    if (http)
        httpSetTimeout(http, kRequestTimeoutS, nullptr, nullptr);
}

HttpConnection::~HttpConnection() {
    if (http)
        httpClose(http);
}

QString LastSpoolerError() {
    return QString::fromUtf8(cupsLastErrorString());
}

CCupsQueue::CCupsQueue() : m_d(std::make_unique<CupsQueueData>()) {}
CCupsQueue::~CCupsQueue() = default;

std::unique_ptr<CCupsQueue> CCupsQueue::Open(const QString& name, QString* why) {
    if (name.isEmpty())
        return nullptr;
    HttpConnection conn;
    if (!conn.http) {
        if (why)
            *why = QStringLiteral("the print scheduler does not answer");
        return nullptr;
    }
    cups_dest_t* dest = cupsGetNamedDest(conn.http, name.toUtf8().constData(), nullptr);
    if (!dest) {
        if (why)
            *why = LastSpoolerError();
        return nullptr;
    }
    std::unique_ptr<CCupsQueue> q(new CCupsQueue);
    CupsQueueData& d = *q->m_d;
    d.name = name;
    d.stopped = Option(dest, "printer-state").toInt() == IPP_PSTATE_STOPPED;
    d.accepting = Option(dest, "printer-is-accepting-jobs") != QLatin1String("false");
    if (d.stopped)
        d.stopReason = StateMessage(conn.http, name);
    if (!ReadPpd(conn.http, dest, d) || !d.pageProblem.isEmpty()) {
        d.format = PageFormat::None;
        d.page = PrinterPage();
    } else if (d.format == PageFormat::CupsRaster && !ChunkyAndSupported(d.header)) {
        d.format = PageFormat::None;
    } else if (d.format == PageFormat::PwgRaster &&
               (!MakePwgHeader(d) || !ChunkyAndSupported(d.pwgHeader))) {
        d.format = PageFormat::None;
    }
    cupsFreeDests(1, dest);
    return q;
}

const QString& CCupsQueue::Name() const {
    return m_d->name;
}
bool CCupsQueue::IsStopped() const {
    return m_d->stopped;
}
QString CCupsQueue::StopReason() const {
    return m_d->stopReason;
}
bool CCupsQueue::IsAccepting() const {
    return m_d->accepting;
}
PageFormat CCupsQueue::Format() const {
    return m_d->format;
}
const PrinterPage& CCupsQueue::Page() const {
    return m_d->page;
}
QString CCupsQueue::PageProblem() const {
    return m_d->pageProblem;
}

} // namespace platform
