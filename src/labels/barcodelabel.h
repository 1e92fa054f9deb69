// Draws a label layout into a white page bitmap at the printer's resolution, one byte per
// printer pixel, and copies the bitmap onto a target (printer page or preview).
#pragma once

#include "labels/labelcheck.h"
#include "labels/labelinfo.h"
#include "platform/printerpage.h"

#include <QImage>
#include <QStringList>

#include <cstdint>

class QFontMetricsF;
class QPainter;

// Millimetres to device pixels: the integer part of dpi * mm * 3937 / 100000 + 0.5.
int MmToPixels(int dpi, double mm);

// The text of a date element for its format (0 date, 1 time, 2 both); empty when the value
// has no date or cannot be a calendar moment. Any other format keeps current.
QString FormatLabelDate(const SYSTEMTIME& st, int nDateFormat, const QString& current);

// The lines a text element shows in a rectangle of width x height (in the font's units):
// broken at its line breaks, and between words when wordBreak; a text that does not fit
// whole ends in an ellipsis where it is cut, on its last shown line or on a line too wide.
QStringList LabelTextLines(const QString& text, const QFontMetricsF& fm, qreal width, qreal height,
                           bool wordBreak);

class CBarCodeLabel {
public:
    // For the configured printer (the settings' PrinterName); check m_bValid.
    CBarCodeLabel();
    // For explicit page figures: tools, tests and the editor preview.
    explicit CBarCodeLabel(const platform::PrinterPage& page);
    virtual ~CBarCodeLabel() = default;
    CBarCodeLabel(const CBarCodeLabel&) = delete;
    CBarCodeLabel& operator=(const CBarCodeLabel&) = delete;

    // Draws every element of the layout onto the page; false when there is no page. Sets
    // the texts of the two date elements.
    bool Draw(CBarCodeLabelInfo& layout);
    // Stretches the whole page onto (0, 0, nWidth, nHeight) of the target.
    bool DrawTo(QPainter& dc, int nWidth, int nHeight) const;

    const platform::PrinterPage& PageFigures() const { return m_page; }
    // Why the drawn page must not print (blank, or a barcode that does not read back as its
    // digits); empty when it may.
    QString CheckPage() const { return CheckLabelPage(m_bmpPage, m_barcode); }
    // The same for the page as it is sent: the drawn page, or the label stretched onto a
    // page of another size, whose barcode lies where the stretch put it.
    QString CheckPage(const QImage& sent) const;
    // Why there is no page (m_bValid 0): the operator's message about the printer's page;
    // empty for a printer that is not there.
    const QString& InvalidReason() const { return m_strInvalid; }

    int32_t m_bValid = 0;
    QImage m_bmpPage; // QImage::Format_Grayscale8
    int m_nPageWidth = 0;
    int m_nPageHeight = 0;
    int m_nDpiX = 0;
    int m_nDpiY = 0;
    int m_nPageWidthMM = 0;
    int m_nPageHeightMM = 0;

private:
    void Init(const platform::PrinterPage& page);
    void DrawBarcode(QPainter& painter, const LabelElement& e);
    void DrawTextElement(QPainter& painter, const LabelElement& e, bool wordBreak) const;

    platform::PrinterPage m_page;
    DrawnBarcode m_barcode;
    QString m_strInvalid;
};
