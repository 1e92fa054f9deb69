#include "labels/labelfont.h"

#include "labels/ean13.h"

#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>

#include <mutex>

#include <algorithm>
#include <cstdlib>

namespace labels {

namespace {

// Weights per thousand of the space and of "a" to "z".
constexpr char kLetters[] = " abcdefghijklmnopqrstuvwxyz";
constexpr int kWeights[] = {166, 64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6,  35, 20,
                            56,  56, 17, 4,  49, 56,  71, 31, 10, 18, 3, 18, 2};
static_assert(sizeof kWeights / sizeof kWeights[0] == sizeof kLetters - 1);

// The weighted average in ems, from the font's own unhinted advances; 0 when a letter has
// no glyph.
qreal WeightedAverageEm(const QFont& font) {
    QFont probe(font);
    probe.setPixelSize(2048);
    const QRawFont raw = QRawFont::fromFont(probe);
    if (!raw.isValid())
        return 0;
    const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromLatin1(kLetters));
    if (glyphs.size() != int(sizeof kWeights / sizeof kWeights[0]))
        return 0;
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
    qreal sum = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        if (glyphs[i] == 0 || i >= advances.size())
            return 0;
        sum += kWeights[i] * advances[i].x();
    }
    return sum / 1000.0 / raw.pixelSize();
}

} // namespace

qreal AverageCharWidth(const QFont& font) {
    // Every text of every label asks; the answer depends on the face, not on the size.
    static std::mutex lock;
    static QHash<QString, qreal> ems;
    QFont face(font);
    face.setPixelSize(2048);
    const QString key = face.key();
    qreal em = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = ems.constFind(key);
        if (it != ems.constEnd()) {
            em = *it;
        } else {
            em = WeightedAverageEm(font);
            ems.insert(key, em);
        }
    }
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height();
    return em > 0 ? em * pixels : QFontMetricsF(font).averageCharWidth();
}

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
    const qreal natural = AverageCharWidth(font);
    if (natural <= 0)
        return 1;
    // Far beyond any useful font, and still a drawing that ends: a character at most twice
    // as wide as the tallest font.
    const double widest = std::min(100.0, 2.0 * kMaxFontPixels / std::max(1, font.pixelSize()));
    return std::clamp(std::abs(double(lf.lfWidth)) / natural, 0.01, widest);
}

} // namespace labels
