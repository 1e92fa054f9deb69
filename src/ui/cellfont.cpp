#include "ui/cellfont.h"

#include <QFontMetricsF>

#include <cmath>

QFont CellHeightFont(int nHeight, bool bItalic, const QString& face) {
    QFont font(face);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(bItalic);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (nHeight <= 0)
        nHeight = 1;
    // Qt sizes a font by its em; the line is taller by the face's ascent and descent
    // margins, which differ per face. Measure them at a large size and scale down.
    constexpr int kProbe = 200;
    font.setPixelSize(kProbe);
    const QFontMetricsF probe(font);
    const qreal line = probe.ascent() + probe.descent();
    const int pixels = line > 0 ? static_cast<int>(std::lround(nHeight * kProbe / line)) : nHeight;
    font.setPixelSize(pixels > 0 ? pixels : 1);
    return font;
}
