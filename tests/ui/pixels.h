// Small helpers for pixel checks on grabbed or rendered images.
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPair>
#include <QPixmap>
#include <QRect>

#include <cstdlib>
#include <functional>

namespace pixels {

// The image at one device pixel per logical pixel, in a format whose pixels read directly.
inline QImage Flat(const QPixmap& pixmap) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

inline bool Near(const QColor& a, const QColor& b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

inline int Count(const QImage& image, const QRect& area,
                 const std::function<bool(const QColor&)>& match) {
    int n = 0;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (match(image.pixelColor(x, y)))
                ++n;
    return n;
}

// The bounding box of the pixels that match, or an empty rectangle.
inline QRect Bounds(const QImage& image, const QRect& area,
                    const std::function<bool(const QColor&)>& match) {
    QRect box;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (match(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Rows of `area` that hold at least one matching pixel, as runs [first, last].
inline QList<QPair<int, int>> RowBands(const QImage& image, const QRect& area,
                                       const std::function<bool(const QColor&)>& match) {
    QList<QPair<int, int>> bands;
    const QRect r = area & image.rect();
    int start = -1;
    for (int y = r.top(); y <= r.bottom() + 1; ++y) {
        bool hit = false;
        for (int x = r.left(); y <= r.bottom() && x <= r.right() && !hit; ++x)
            hit = match(image.pixelColor(x, y));
        if (hit && start < 0)
            start = y;
        if (!hit && start >= 0) {
            bands.append({start, y - 1});
            start = -1;
        }
    }
    return bands;
}

inline bool Dark(const QColor& c) {
    return c.red() < 110 && c.green() < 110 && c.blue() < 110;
}

} // namespace pixels
