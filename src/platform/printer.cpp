#include "platform/printer.h"

#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>

#include <cmath>
#include <dlfcn.h>
#include <unistd.h>

namespace platform {

namespace {

// The defaults of a printer: the paper, where its printable area lies on it (points from
// the top-left corner) and the resolution.
struct PrinterDefaults {
    QPageSize paper;
    QRectF printablePt;
    int dpiX = 0;
    int dpiY = 0;
};

// The PPD of a CUPS queue, fetched from the scheduler. Qt PrintSupport reads the default
// page size but offers neither the default resolution nor the imageable area, so they come
// from the PPD itself. libcups is opened at run time: Qt's own CUPS support already loads
// it, and a machine without it simply has no PPDs.
QByteArray FetchPpd(const QString& name) {
    using GetPpd = const char* (*)(const char*);
    static GetPpd getPpd = [] {
        void* lib = dlopen("libcups.so.2", RTLD_LAZY | RTLD_LOCAL);
        return lib ? reinterpret_cast<GetPpd>(dlsym(lib, "cupsGetPPD")) : nullptr;
    }();
    if (!getPpd)
        return QByteArray();
    const char* path = getPpd(name.toUtf8().constData());
    if (!path)
        return QByteArray();
    const QString file = QString::fromLocal8Bit(path);
    QFile f(file);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    f.close();
    ::unlink(path); // cupsGetPPD leaves a temporary copy for its caller
    return bytes;
}

// The value of "*Keyword option/Text: value" for the option, or of "*Keyword: value".
QString PpdValue(const QString& ppd, const QString& keyword, const QString& option = QString()) {
    const QString pattern =
        option.isEmpty()
            ? QStringLiteral("^\\*%1:\\s*(.*)$").arg(QRegularExpression::escape(keyword))
            : QStringLiteral("^\\*%1\\s+%2(/[^:]*)?:\\s*(.*)$")
                  .arg(QRegularExpression::escape(keyword), QRegularExpression::escape(option));
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(ppd);
    if (!m.hasMatch())
        return QString();
    QString v = m.captured(option.isEmpty() ? 1 : 2).trimmed();
    if (v.startsWith(QLatin1Char('"')))
        v = v.mid(1, v.indexOf(QLatin1Char('"'), 1) - 1);
    return v;
}

QList<double> Numbers(const QString& text) {
    QList<double> out;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double d = part.toDouble(&ok);
        if (ok)
            out.append(d);
    }
    return out;
}

bool ReadPpdDefaults(const QString& ppd, PrinterDefaults& d) {
    const QString size = PpdValue(ppd, QStringLiteral("DefaultPageSize"));
    const QList<double> dim = Numbers(PpdValue(ppd, QStringLiteral("PaperDimension"), size));
    if (size.isEmpty() || dim.size() != 2 || dim[0] <= 0 || dim[1] <= 0)
        return false;
    d.paper = QPageSize(QSizeF(dim[0], dim[1]), QPageSize::Point, size, QPageSize::ExactMatch);
    // The imageable area counts from the lower-left corner; ours from the top-left.
    const QList<double> area = Numbers(PpdValue(ppd, QStringLiteral("ImageableArea"), size));
    if (area.size() == 4 && area[2] > area[0] && area[3] > area[1])
        d.printablePt = QRectF(area[0], dim[1] - area[3], area[2] - area[0], area[3] - area[1]);
    else
        d.printablePt = QRectF(0, 0, dim[0], dim[1]);

    static const QRegularExpression dpiRe(QStringLiteral("^(\\d+)(?:x(\\d+))?dpi$"));
    const QRegularExpressionMatch m =
        dpiRe.match(PpdValue(ppd, QStringLiteral("DefaultResolution")));
    if (!m.hasMatch())
        return false;
    d.dpiX = m.captured(1).toInt();
    d.dpiY = m.captured(2).isEmpty() ? d.dpiX : m.captured(2).toInt();
    return d.dpiX > 0 && d.dpiY > 0;
}

std::optional<PrinterDefaults> Defaults(const QString& name) {
    if (name.isEmpty())
        return std::nullopt;
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull())
        return std::nullopt;
    PrinterDefaults d;
    if (ReadPpdDefaults(QString::fromUtf8(FetchPpd(name)), d))
        return d;
    // A printer without a PPD: what Qt reports, printable to the edges, at the finest
    // resolution it supports.
    d.paper = info.defaultPageSize();
    if (!d.paper.isValid())
        return std::nullopt;
    d.printablePt = QRectF(QPointF(0, 0), d.paper.size(QPageSize::Point));
    const QList<int> resolutions = info.supportedResolutions();
    d.dpiX = d.dpiY =
        resolutions.isEmpty() ? 300 : *std::max_element(resolutions.begin(), resolutions.end());
    return d;
}

int PtToPixels(double pt, int dpi) {
    return static_cast<int>(std::lround(pt / 72.0 * dpi));
}

int PtToMM(double pt) {
    return static_cast<int>(std::lround(pt / 72.0 * 25.4));
}

} // namespace

QStringList PrinterNames() {
    return QPrinterInfo::availablePrinterNames();
}

std::optional<PrinterPage> OpenPrinter(const QString& name) {
    const std::optional<PrinterDefaults> d = Defaults(name);
    if (!d)
        return std::nullopt;
    PrinterPage p;
    p.m_nDpiX = d->dpiX;
    p.m_nDpiY = d->dpiY;
    p.m_nPageWidth = PtToPixels(d->printablePt.width(), d->dpiX);
    p.m_nPageHeight = PtToPixels(d->printablePt.height(), d->dpiY);
    p.m_nPageWidthMM = PtToMM(d->printablePt.width());
    p.m_nPageHeightMM = PtToMM(d->printablePt.height());
    p.m_dMarginLeftMM = d->printablePt.left() / 72.0 * 25.4;
    p.m_dMarginTopMM = d->printablePt.top() / 72.0 * 25.4;
    return p;
}

void InstallSpoolerPrinters() {
    SetPrinterPageQuery([](const QString& name) { return OpenPrinter(name); });
}

bool PrintPageImage(const QString& printerName, const QImage& image, const QString& jobName,
                    QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::optional<PrinterDefaults> d = Defaults(printerName);
    if (!d)
        return fail(QStringLiteral("no printer named \"%1\"").arg(printerName));

    // QPrinter starts from A4 at 1200 dpi with its own margins; the printer's defaults are
    // set here one by one.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(printerName);
    if (!printer.isValid())
        return fail(QStringLiteral("no printer named \"%1\"").arg(printerName));
    printer.setResolution(d->dpiX);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(d->paper);
    printer.setFullPage(true);
    printer.setDocName(jobName);
    printer.setCopyCount(1);

    QPainter painter;
    if (!painter.begin(&printer))
        return fail(QStringLiteral("the spooler did not accept a job for \"%1\"").arg(printerName));
    // With the full page the origin is the paper's corner: the image goes onto the printable
    // area, one image pixel per printer pixel.
    const QRectF target(d->printablePt.left() / 72.0 * printer.resolution(),
                        d->printablePt.top() / 72.0 * printer.resolution(),
                        image.width() * printer.resolution() / double(d->dpiX),
                        image.height() * printer.resolution() / double(d->dpiY));
    painter.drawImage(target, image);
    if (!painter.end())
        return fail(QStringLiteral("the job for \"%1\" failed").arg(printerName));
    if (printer.printerState() == QPrinter::Error)
        return fail(QStringLiteral("the job for \"%1\" failed").arg(printerName));
    return true;
}

} // namespace platform
