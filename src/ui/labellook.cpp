#include "ui/labellook.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace ui {

namespace {
// Right and bottom edges exclusive.
QRect Ltrb(int l, int t, int r, int b) {
    return QRect(l, t, r - l, b - t);
}

constexpr qreal kCornerRadius = 2.5;
} // namespace

QString SpacedCaption(const QString& caption) {
    if (caption.isEmpty())
        return QString();
    return QLatin1Char(' ') + caption + QLatin1Char(' ');
}

int LabelCaptionX(Qt::Alignment align, int nWidth, int nCaptionWidth) {
    int x = 0;
    switch (align & Qt::AlignHorizontal_Mask) {
    case Qt::AlignLeft:
        x = 6;
        break;
    case Qt::AlignHCenter:
        x = nWidth / 2 - nCaptionWidth / 2;
        break;
    case Qt::AlignRight:
        x = nWidth - nCaptionWidth - 7;
        break;
    default:
        break;
    }
    return x < 0 ? 0 : x;
}

LabelGeometry LayoutLabel(QSize size, QSize szCaption, Qt::Alignment captionAlign) {
    const int W = size.width();
    const int H = size.height();
    const int cw = szCaption.width();
    const int ch = szCaption.height();
    LabelGeometry g;
    g.szCaption = szCaption;
    // The frame line runs through the middle of the caption's height and leaves the last
    // column and row to the background; the fill sits one pixel inside the line.
    g.rcFrame = Ltrb(0, ch / 2, W - 1, H - 1);
    g.rcInner = Ltrb(1, 1 + ch / 2, W - 2, H - 2);
    const int x = LabelCaptionX(captionAlign, W, cw);
    g.rcCaption = Ltrb(x, 0, x + cw, ch);
    g.rcText = Ltrb(5, ch, W - 5, H - 2);
    return g;
}

int LabelTextFlags(int nTextWidth, const QRect& rcText, bool bWordWrap, Qt::Alignment align) {
    const int lines = bWordWrap && nTextWidth > rcText.width()
                          ? (Qt::TextWordWrap | Qt::AlignTop)
                          : (Qt::TextSingleLine | Qt::AlignVCenter);
    Qt::Alignment h = align & Qt::AlignHorizontal_Mask;
    if (h != Qt::AlignHCenter && h != Qt::AlignRight)
        h = Qt::AlignLeft;
    return lines | static_cast<int>(h);
}

QString ShownLabelText(const QString& text, const QFont& font, const QRect& rcText, bool bWordWrap,
                       Qt::Alignment align) {
    const QFontMetrics fm(font);
    const int flags = LabelTextFlags(fm.horizontalAdvance(text), rcText, bWordWrap, align);
    // One line is shown even where the field is lower than the font.
    const int height = std::max(rcText.height(), fm.height());
    const auto fits = [&](const QString& t) {
        const QRect r = fm.boundingRect(rcText, flags, t);
        return r.width() <= rcText.width() && r.height() <= height;
    };
    if (fits(text))
        return text;
    const QString mark(QChar(0x2026));
    const auto cut = [&](qsizetype n) {
        if (n > 0 && text.at(n - 1).isHighSurrogate())
            --n;
        QString kept = text.left(n);
        while (!kept.isEmpty() && kept.back().isSpace())
            kept.chop(1);
        return kept + mark;
    };
    qsizetype lo = 0;
    qsizetype hi = text.size() - 1;
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (fits(cut(mid)))
            lo = mid;
        else
            hi = mid - 1;
    }
    return cut(lo);
}

void PaintLabel(QPainter& p, QSize size, const LabelLook& look) {
    const QString caption = SpacedCaption(look.strCaption);
    QSize szCaption;
    if (!caption.isEmpty()) {
        const QFontMetrics fm(look.fontCaption);
        szCaption = QSize(fm.horizontalAdvance(caption), fm.height());
    }
    const LabelGeometry g = LayoutLabel(size, szCaption, look.captionAlign);

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(Ltrb(0, 0, size.width(), szCaption.height()), look.crFace);

    p.setRenderHint(QPainter::Antialiasing, true);
    if (!look.bFrameOnly) {
        p.setPen(Qt::NoPen);
        p.setBrush(look.crBack);
        p.drawRoundedRect(QRectF(g.rcInner), kCornerRadius, kCornerRadius);
    }
    p.setPen(QPen(look.crFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(g.rcFrame).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                      kCornerRadius);

    if (!caption.isEmpty()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(g.rcCaption, look.crFace);
        p.setFont(look.fontCaption);
        p.setPen(look.crCaption);
        const Qt::Alignment h = look.captionAlign & Qt::AlignHorizontal_Mask;
        p.drawText(g.rcCaption, Qt::TextSingleLine | Qt::AlignVCenter | static_cast<int>(h),
                   caption);
    }

    if (!look.bFrameOnly && !look.strText.isEmpty() && g.rcText.isValid()) {
        p.setFont(look.fontText);
        p.setPen(look.crText);
        // A text cut to one line is placed as one that fits.
        const QString shown =
            ShownLabelText(look.strText, look.fontText, g.rcText, look.bWordWrap, look.textAlign);
        const int tw = QFontMetrics(look.fontText).horizontalAdvance(shown);
        const int flags = LabelTextFlags(tw, g.rcText, look.bWordWrap, look.textAlign);
        p.setClipRect(g.rcText, Qt::IntersectClip);
        p.drawText(g.rcText, flags, shown);
    }
    p.restore();
}

} // namespace ui
