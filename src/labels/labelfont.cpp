#include "labels/labelfont.h"

#include "labels/ean13.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cstdlib>

namespace labels {

int PrinterFontHeight(int lfHeight, int screenDpi, int printerDpiY) {
    const int pt = MulDiv(lfHeight, 72, screenDpi);
    return -MulDiv(-pt, printerDpiY, 72);
}

QFont FontFromLogFont(const LOGFONTW& lf, int deviceDpiY) {
    QFont font(lf.lfFaceName.isEmpty() ? QStringLiteral("Arial") : lf.lfFaceName);
    font.setStyleHint(QFont::SansSerif);
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    // Weights share the 1 to 1000 scale; 0 means the normal weight.
    font.setWeight(lf.lfWeight <= 0 ? QFont::Normal
                                    : static_cast<QFont::Weight>(std::min(lf.lfWeight, 1000)));
    if (lf.lfQuality == 3) // NONANTIALIASED_QUALITY
        font.setStyleStrategy(QFont::NoAntialias);

    // Height 0 asks for the font machinery's default size: 12 points.
    const int height = lf.lfHeight == 0 ? -MulDiv(12, deviceDpiY, 72) : lf.lfHeight;
    int pixels = static_cast<int>(std::min(std::llabs(height), 1LL * kMaxFontPixels));
    if (height > 0) {
        // A cell height: scale the character height so that ascent plus descent fits it.
        QFont probe(font);
        probe.setPixelSize(1000);
        const QFontMetricsF fm(probe);
        const qreal cell = fm.ascent() + fm.descent();
        if (cell > 0)
            pixels = qRound(pixels * 1000 / cell);
    }
    font.setPixelSize(std::clamp(pixels, 1, kMaxFontPixels));

    return font;
}

qreal WidthScale(const LOGFONTW& lf, const QFont& font) {
    if (lf.lfWidth == 0)
        return 1;
    const qreal natural = QFontMetricsF(font).averageCharWidth();
    if (natural <= 0)
        return 1;
    // Far beyond any useful font, and still a drawing that ends: a character at most twice
    // as wide as the tallest font.
    const double widest = std::min(100.0, 2.0 * kMaxFontPixels / std::max(1, font.pixelSize()));
    return std::clamp(std::abs(double(lf.lfWidth)) / natural, 0.01, widest);
}

} // namespace labels
