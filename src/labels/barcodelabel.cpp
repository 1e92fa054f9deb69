#include "labels/barcodelabel.h"

#include "app/varnetapp.h"
#include "labels/ean13.h"
#include "labels/labelfont.h"
#include "labels/pagelimit.h"

#include <QDate>
#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>

int MmToPixels(int dpi, double mm) {
    const double px = std::trunc(dpi * mm * 3937 / 100000 + 0.5);
    // Lengths from a damaged layout file stay far inside int, so later sums cannot overflow.
    constexpr double kLimit = 1000000;
    if (std::isnan(px))
        return 0;
    return static_cast<int>(std::clamp(px, -kLimit, kLimit));
}

QString FormatLabelDate(const SYSTEMTIME& st, int nDateFormat, const QString& current) {
    if (st.wYear == 0)
        return QString();
    if (nDateFormat < 0 || nDateFormat > 2)
        return current;
    // A value that names no moment of the calendar (a catalogue's 31 February, hour 25) is
    // printed as no date rather than as a made-up one.
    if (st.wYear < 1900 || !QDate::isValid(st.wYear, st.wMonth, st.wDay) || st.wHour > 23 ||
        st.wMinute > 59 || st.wSecond > 59)
        return QString();
    const QString date = QString::asprintf("%02u.%02u.%04u", unsigned(st.wDay), unsigned(st.wMonth),
                                           unsigned(st.wYear));
    const QString time = QString::asprintf("%02u:%02u", unsigned(st.wHour), unsigned(st.wMinute));
    switch (nDateFormat) {
    case 0:
        return date;
    case 1:
        return time;
    default:
        return date + QLatin1Char(' ') + time;
    }
}

CBarCodeLabel::CBarCodeLabel() {
    const CVarnetApp* app = CVarnetApp::Instance();
    const QString printer = app ? app->m_settings.PrinterName : QString();
    const std::optional<platform::PrinterPage> page =
        platform::QueryPrinterPage(printer, &m_strInvalid);
    if (!page)
        return;
    Init(*page);
    if (!m_bValid)
        m_strInvalid = platform::BadPageMessage(
            printer, QStringLiteral("страница %1 × %2 точек при %3 × %4 точек на дюйм")
                         .arg(page->m_nPageWidth)
                         .arg(page->m_nPageHeight)
                         .arg(page->m_nDpiX)
                         .arg(page->m_nDpiY));
}

QString CBarCodeLabel::CheckPage(const QImage& sent) const {
    if (sent.size() == m_bmpPage.size())
        return CheckLabelPage(sent, m_barcode);
    DrawnBarcode stretched = m_barcode;
    if (!m_bmpPage.isNull() && !m_bmpPage.size().isEmpty()) {
        const double sx = double(sent.width()) / m_bmpPage.width();
        const double sy = double(sent.height()) / m_bmpPage.height();
        const QRect& b = m_barcode.bounds;
        stretched.bounds =
            QRectF(b.x() * sx, b.y() * sy, b.width() * sx, b.height() * sy).toAlignedRect();
        // Rounding must not push a barcode that lay on the drawn page over the edge.
        if (m_bmpPage.rect().contains(b))
            stretched.bounds = stretched.bounds.intersected(sent.rect());
        stretched.module = std::max(1, int(std::lround(m_barcode.module * std::max(sx, sy))));
    }
    return CheckLabelPage(sent, stretched);
}

CBarCodeLabel::CBarCodeLabel(const platform::PrinterPage& page) {
    Init(page);
}

void CBarCodeLabel::Init(const platform::PrinterPage& page) {
    m_page = page;
    m_nPageWidth = page.m_nPageWidth;
    m_nPageHeight = page.m_nPageHeight;
    m_nDpiX = page.m_nDpiX;
    m_nDpiY = page.m_nDpiY;
    m_nPageWidthMM = page.m_nPageWidthMM;
    m_nPageHeightMM = page.m_nPageHeightMM;
    // A page the printer reports beyond any label is refused before its bitmap is made.
    if (!labels::IsDrawablePage(m_nPageWidth, m_nPageHeight) || m_nDpiX <= 0 || m_nDpiY <= 0)
        return;
    m_bmpPage = QImage(m_nPageWidth, m_nPageHeight, QImage::Format_Grayscale8);
    if (m_bmpPage.isNull())
        return;
    m_bmpPage.setDotsPerMeterX(qRound(m_nDpiX / 0.0254));
    m_bmpPage.setDotsPerMeterY(qRound(m_nDpiY / 0.0254));
    m_bmpPage.fill(255);
    m_bValid = 1;
}

void CBarCodeLabel::DrawBarcode(QPainter& painter, const LabelElement& e) {
    const bool straight = e.m_nAngle == 0 || e.m_nAngle == 180;
    CEAN13 symbol;
    symbol.m_strDigits = e.m_strText;
    symbol.m_nModule = MmToPixels(straight ? m_nDpiX : m_nDpiY, e.m_dWidth);
    if (symbol.m_nModule == 0)
        symbol.m_nModule = 1;
    symbol.m_nBarHeight = MmToPixels(straight ? m_nDpiY : m_nDpiX, e.m_dHeight);
    symbol.m_nX = MmToPixels(m_nDpiX, e.m_dOffsetX);
    symbol.m_nY = MmToPixels(m_nDpiY, e.m_dOffsetY);
    symbol.m_nAngle = e.m_nAngle;
    symbol.Draw(painter, labels::kScreenDpi);
    m_barcode.drawn = true;
    m_barcode.digits = ean13::IsValidDigits(symbol.m_strDigits)
                           ? symbol.m_strDigits + QString::number(symbol.CheckDigit())
                           : QString();
    m_barcode.bounds = symbol.SymbolBounds();
    m_barcode.angle = symbol.m_nAngle;
    m_barcode.module = symbol.m_nModule;
}

namespace {

// Splits a text at its line breaks: CR LF, a lone CR or a lone LF.
QStringList SplitLines(const QString& text) {
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(current);
            current.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            current.append(c);
        }
    }
    lines.append(current);
    return lines;
}

// Breaks one line between words where a word would cross the right edge; a word longer
// than the whole width stays on a line of its own and is clipped.
QStringList BreakWords(const QString& line, const QFontMetricsF& fm, qreal width) {
    QStringList out;
    QString current;
    qreal currentWidth = 0; // summed piece by piece, so a long line costs no more than a short
    qsizetype i = 0;
    while (i < line.size()) {
        qsizetype j = i;
        while (j < line.size() && line.at(j) == QLatin1Char(' '))
            ++j;
        qsizetype k = j;
        while (k < line.size() && line.at(k) != QLatin1Char(' '))
            ++k;
        const QString piece = line.mid(i, k - i);
        const qreal pieceWidth = fm.horizontalAdvance(piece);
        if (!current.isEmpty() && currentWidth + pieceWidth > width) {
            out.append(current);
            current = line.mid(j, k - j);
            currentWidth = fm.horizontalAdvance(current);
        } else {
            current += piece;
            currentWidth += pieceWidth;
        }
        i = k;
    }
    out.append(current);
    return out;
}

// The line shortened until it and an ellipsis fit the width, the ellipsis after it.
QString WithEllipsis(const QString& line, const QFontMetricsF& fm, qreal width) {
    const QString mark(QChar(0x2026));
    qsizetype lo = 0;
    qsizetype hi = line.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(line.left(mid) + mark) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && line.at(lo - 1).isHighSurrogate())
        --lo;
    QString kept = line.left(lo);
    while (kept.endsWith(QLatin1Char(' ')))
        kept.chop(1);
    return kept + mark;
}

} // namespace

QStringList LabelTextLines(const QString& text, const QFontMetricsF& fm, qreal width, qreal height,
                           bool wordBreak) {
    QStringList lines;
    for (const QString& line : SplitLines(text)) {
        if (wordBreak)
            lines += BreakWords(line, fm, width);
        else
            lines.append(line);
    }
    // The lines whose baseline lies inside the rectangle are shown, at least the first; a
    // text cut below them or at the right edge ends in an ellipsis where it is cut.
    qsizetype shown = 1;
    while (shown < lines.size() && shown * fm.height() + fm.ascent() <= height)
        ++shown;
    const bool cutBelow = shown < lines.size();
    lines = lines.mid(0, shown);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool cutHere = cutBelow && i + 1 == lines.size();
        if (cutHere || fm.horizontalAdvance(lines[i]) > width)
            lines[i] = WithEllipsis(lines[i], fm, width);
    }
    return lines;
}

void CBarCodeLabel::DrawTextElement(QPainter& painter, const LabelElement& e,
                                    bool wordBreak) const {
    const int left = MmToPixels(m_nDpiX, e.m_dOffsetX);
    const int top = MmToPixels(m_nDpiY, e.m_dOffsetY);
    const int width = MmToPixels(m_nDpiX, e.m_dWidth);
    const int height = MmToPixels(m_nDpiY, e.m_dHeight);
    if (width <= 0 || height <= 0)
        return;
    // Clipped to its rectangle, a text outside the page leaves no trace: not drawn at all.
    if (!QRect(left, top, width, height).intersects(m_bmpPage.rect()))
        return;

    LOGFONTW lf = e.m_lfFont;
    lf.lfHeight = labels::PrinterFontHeight(lf.lfHeight, labels::kScreenDpi, m_nDpiY);
    const QFont font = labels::FontFromLogFont(lf, m_nDpiY);
    const QFontMetricsF fm(font);
    const qreal scale = labels::WidthScale(lf, font);

    // A turned font turns the whole text inside its rectangle, about the centre; at 90 and
    // 270 degrees the lines run along the rectangle's height.
    const double radians = lf.lfEscapement / 10.0 * 3.14159265358979323846 / 180.0;
    const bool across = std::abs(std::sin(radians)) > std::abs(std::cos(radians));
    const int boxWidth = across ? height : width;
    const int boxHeight = across ? width : height;

    const QStringList lines =
        LabelTextLines(e.m_strText, fm, boxWidth / scale, boxHeight, wordBreak);

    painter.save();
    painter.setClipRect(QRect(left, top, width, height));
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (lf.lfEscapement % 3600 != 0) {
        painter.translate(left + width / 2.0, top + height / 2.0);
        painter.rotate(-(lf.lfEscapement / 10.0));
        painter.translate(-boxWidth / 2.0, -boxHeight / 2.0);
    } else {
        painter.translate(left, top);
    }
    qreal y = 0;
    for (const QString& line : lines) {
        const qreal advance = fm.horizontalAdvance(line) * scale;
        qreal x = 0;
        if (e.m_nAlign == 1)
            x = (boxWidth - advance) / 2;
        else if (e.m_nAlign == 2)
            x = boxWidth - advance;
        // Drawn as plain text: an ampersand is an ampersand on a label.
        painter.save();
        painter.translate(x, y + fm.ascent());
        painter.scale(scale, 1);
        painter.drawText(QPointF(0, 0), line);
        painter.restore();
        y += fm.height();
    }
    painter.restore();
}

bool CBarCodeLabel::Draw(CBarCodeLabelInfo& layout) {
    if (!m_bValid)
        return false;
    QPainter painter(&m_bmpPage);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (int i = 0; i < CBarCodeLabelInfo::kElementCount; ++i) {
        LabelElement& e = layout.Element(i);
        const ElementShape shape = CBarCodeLabelInfo::Shape(i);
        if (shape == ElementShape::Date)
            e.m_strText = FormatLabelDate(e.m_stValue, e.m_nDateFormat, e.m_strText);
        if (e.m_strText.isEmpty() || e.m_dWidth == 0 || e.m_dHeight == 0)
            continue;
        if (shape == ElementShape::Barcode)
            DrawBarcode(painter, e);
        else
            DrawTextElement(painter, e, shape == ElementShape::Text && e.m_bWordWrap != 0);
    }
    return true;
}

bool CBarCodeLabel::DrawTo(QPainter& dc, int nWidth, int nHeight) const {
    if (m_bmpPage.isNull())
        return false;
    dc.save();
    dc.setRenderHint(QPainter::SmoothPixmapTransform, false);
    dc.drawImage(QRect(0, 0, nWidth, nHeight), m_bmpPage);
    dc.restore();
    return true;
}
