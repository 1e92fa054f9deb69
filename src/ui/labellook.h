// How a display field looks: a rounded frame with its caption set into the top edge and the
// value text inside. Plain QtGui code, checked in tests without a window.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

namespace ui {

struct LabelGeometry {
    QSize szCaption; // the spaced caption; 0 x 0 without a caption
    QRect rcFrame;   // the box of the rounded frame line
    QRect rcInner;   // the box filled with the field's background
    QRect rcCaption; // where the caption interrupts the frame
    QRect rcText;    // where the value text goes
};

// The caption as it is drawn: one space on each side keeps the frame line off its letters.
QString SpacedCaption(const QString& caption);

// Left edge of the caption for the horizontal part of `align`, never left of the field.
int LabelCaptionX(Qt::Alignment align, int nWidth, int nCaptionWidth);

LabelGeometry LayoutLabel(QSize size, QSize szCaption, Qt::Alignment captionAlign);

// Text flags for the value text: it wraps by words from the top only when wrapping is on
// and it does not fit on one line; otherwise it is one line, vertically centred.
int LabelTextFlags(int nTextWidth, const QRect& rcText, bool bWordWrap, Qt::Alignment align);

// The value text as the field shows it in rcText: whole where it fits, else cut where it
// leaves the field and ended by an ellipsis, so that nobody takes the rest for the whole.
QString ShownLabelText(const QString& text, const QFont& font, const QRect& rcText, bool bWordWrap,
                       Qt::Alignment align);

struct LabelLook {
    bool bFrameOnly = false;
    QString strCaption;
    QFont fontCaption;
    QColor crCaption;
    QColor crFrame;
    QFont fontText;
    QColor crText;
    QColor crBack;
    QColor crFace; // the window's button-face colour around the caption
    Qt::Alignment captionAlign = Qt::AlignLeft;
    Qt::Alignment textAlign = Qt::AlignLeft;
    bool bWordWrap = true;
    QString strText;
};

// Paints over whatever the painter's device already shows: outside the frame, and inside it
// for a frame-only field, that stays visible.
void PaintLabel(QPainter& painter, QSize size, const LabelLook& look);

} // namespace ui
