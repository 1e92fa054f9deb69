#include "ui/keylook.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>

namespace ui {

namespace {

// Rectangles below are given by their left, top, right and bottom edges with right and
// bottom exclusive, which keeps the arithmetic readable.
QRect Ltrb(int l, int t, int r, int b) {
    return QRect(l, t, r - l, b - t);
}

// The drawing box is one pixel wider and taller than the key, so that the rounded outline
// lands on the key's last column and row; what falls beyond the key is clipped.
struct Box {
    int W;
    int H;
};
Box DrawingBox(QSize size) {
    return Box{size.width() + 1, size.height() + 1};
}

void FillGradient(QPainter& p, const KeyGradient& g) {
    if (g.rect.isEmpty())
        return;
    // Sampled at pixel centres: the first row gets exactly the top colour, the last row
    // exactly the bottom colour.
    QLinearGradient lg(0, g.rect.top() + 0.5, 0, g.rect.bottom() + 0.5);
    lg.setColorAt(0, g.top);
    lg.setColorAt(1, g.bottom);
    p.fillRect(g.rect, lg);
}

// A dotted rectangle that inverts what lies beneath it, so it shows on any face colour.
void DrawFocusMark(QPainter& p, const QRect& r) {
    QPolygon dots;
    for (int x = r.left(); x <= r.right(); x += 2) {
        dots << QPoint(x, r.top());
        dots << QPoint(x, r.bottom());
    }
    for (int y = r.top() + 2; y < r.bottom(); y += 2) {
        dots << QPoint(r.left(), y);
        dots << QPoint(r.right(), y);
    }
    p.save();
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.setPen(QPen(Qt::black, 0));
    p.drawPoints(dots);
    p.restore();
}

} // namespace

bool IsKeyLit(const KeyState& s) {
    return (s.bFocused || s.bHover) && !s.bPressed;
}

std::optional<KeyGradient> KeyRim(const KeyState& s, QSize size) {
    if (!IsKeyLit(s))
        return std::nullopt;
    const Box b = DrawingBox(size);
    const QRect rect = Ltrb(1, 1, b.W - 2, b.H - 2);
    // Hover wins over focus: the orange rim tells the operator which key the pointer is on.
    if (s.bHover)
        return KeyGradient{rect, QColor(253, 216, 137), QColor(229, 151, 0)};
    return KeyGradient{rect, QColor(188, 212, 246), QColor(105, 130, 238)};
}

KeyGradient KeyFace(const KeyState& s, QSize size) {
    const Box b = DrawingBox(size);
    const QRect rect = IsKeyLit(s) ? Ltrb(2, 2, b.W - 3, b.H - 3) : Ltrb(1, 1, b.W - 2, b.H - 2);
    if (s.bPressed)
        return KeyGradient{rect, QColor(224, 224, 216), QColor(229, 229, 223)};
    return KeyGradient{rect, QColor(246, 246, 243), QColor(240, 240, 234)};
}

std::vector<KeyEdgeLine> KeyEdgeLines(const KeyState& s, QSize size) {
    if (IsKeyLit(s))
        return {};
    const Box b = DrawingBox(size);
    const bool p = s.bPressed;
    // Each line is two pixels thick, on the row of its y and the row above.
    auto line = [](int x1, int y, int x2, QColor c) {
        return KeyEdgeLine{Ltrb(x1, y - 1, x2, y + 1), c};
    };
    return {
        line(0, 2, b.W, p ? QColor(209, 204, 193) : QColor(252, 252, 252)),
        line(0, 3, b.W, p ? QColor(220, 216, 207) : QColor(251, 251, 251)),
        line(0, 4, b.W, p ? QColor(229, 228, 221) : QColor(250, 250, 250)),
        line(3, b.H - 3, b.W - 3, p ? QColor(252, 241, 238) : QColor(214, 208, 197)),
        line(2, b.H - 4, b.W - 2, p ? QColor(234, 233, 227) : QColor(226, 223, 214)),
        line(1, b.H - 5, b.W - 2, p ? QColor(226, 226, 218) : QColor(236, 235, 230)),
    };
}

std::optional<QRect> KeyFocusRect(const KeyState& s, QSize size) {
    if (!s.bFocused || s.bPressed)
        return std::nullopt;
    const Box b = DrawingBox(size);
    return Ltrb(2, 2, b.W - 3, b.H - 3);
}

QColor KeyCaptionColour(const KeyState& s, const QColor& crText) {
    return s.bEnabled ? crText : kKeyDisabledText;
}

KeyTextBlock MeasureKeyCaption(const QString& caption, const QFont& font) {
    if (caption.isEmpty())
        return {};
    const QFontMetrics fm(font);
    const qsizetype k = caption.indexOf(QLatin1Char('\n'));
    if (k < 0)
        return KeyTextBlock{fm.horizontalAdvance(caption), fm.height(), false};
    // Only the first line feed splits the measure; the line feed itself takes no room.
    const int first = fm.horizontalAdvance(caption.left(k));
    const int second = fm.horizontalAdvance(caption.mid(k + 1));
    return KeyTextBlock{std::max(first, second), 2 * fm.height(), true};
}

KeyPlacement PlaceKeyContent(int nIconAlign, QSize size, int nIconSize, const KeyTextBlock& text) {
    const Box b = DrawingBox(size);
    const int cx = b.W / 2;
    const int cy = b.H / 2;
    const int s = nIconSize;
    const int tw = text.nWidth;
    const int th = text.nHeight;
    const int lines = text.bTwoLines ? (Qt::TextWordWrap | Qt::AlignTop)
                                     : (Qt::TextSingleLine | Qt::AlignVCenter);
    KeyPlacement place;
    switch (nIconAlign) {
    case KeyIconLeft:
        place.ptIcon = QPoint(10, cy - s / 2);
        place.rcText = Ltrb(15 + s, 0, b.W, b.H - 1);
        place.nTextFlags = lines | Qt::AlignLeft;
        break;
    case KeyIconRight: {
        const int x = b.W - s - 10;
        place.ptIcon = QPoint(x, cy - s / 2);
        place.rcText = Ltrb(x - tw - 5, 0, x - 5, b.H - 1);
        place.nTextFlags = lines | Qt::AlignRight;
        break;
    }
    case KeyIconAbove: {
        const int y = cy - (th + 7 + s) / 2;
        place.ptIcon = QPoint(cx - s / 2, y);
        place.rcText = Ltrb(0, y + s + 5, b.W, y + s + 5 + th);
        place.nTextFlags = lines | Qt::AlignHCenter;
        break;
    }
    case KeyIconBelow: {
        const int top = cy - (s + 7 + th) / 2;
        place.rcText = Ltrb(0, top, b.W, top + th);
        place.ptIcon = QPoint(cx - s / 2, top + th + 5);
        place.nTextFlags = lines | Qt::AlignHCenter;
        break;
    }
    case KeyIconOnly:
        place.ptIcon = QPoint(cx - s / 2, cy - s / 2);
        place.bCaption = false;
        break;
    default:
        place.ptIcon = QPoint(cx, cy);
        place.rcText = Ltrb(cx - tw / 2 - 2, cy - th / 2 - 2, cx + tw / 2 + 2, cy + th / 2 + 2);
        place.nTextFlags = lines | Qt::AlignHCenter;
        break;
    }
    return place;
}

void PaintKey(QPainter& p, QSize size, const KeyLook& look) {
    const KeyState& s = look.state;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(QPoint(0, 0), size), look.crFace);
    if (const auto rim = KeyRim(s, size))
        FillGradient(p, *rim);
    FillGradient(p, KeyFace(s, size));
    for (const KeyEdgeLine& line : KeyEdgeLines(s, size))
        p.fillRect(line.rect, line.colour);
    if (const auto focus = KeyFocusRect(s, size))
        DrawFocusMark(p, *focus);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kKeyOutline, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 1.5, 1.5);

    const KeyTextBlock text = MeasureKeyCaption(look.strCaption, look.font);
    const KeyPlacement place = PlaceKeyContent(look.nIconAlign, size, look.nIconSize, text);
    if (!look.icon.isNull() && look.nIconSize > 0) {
        const QRect target(place.ptIcon, QSize(look.nIconSize, look.nIconSize));
        look.icon.paint(&p, target, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    }
    if (place.bCaption && !look.strCaption.isEmpty()) {
        p.setFont(look.font);
        p.setPen(KeyCaptionColour(s, look.crText));
        p.drawText(place.rcText, place.nTextFlags, look.strCaption);
    }
    p.restore();
}

} // namespace ui
