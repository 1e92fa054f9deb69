#include "ui/labelctrl.h"

#include "ui/cellfont.h"
#include "ui/labellook.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

CLabel::CLabel(QWidget* parent)
    : QWidget(parent), m_fontCaption(CellHeightFont(12, false, QStringLiteral("MS Sans Serif"))),
      m_crFrame(GrayTextColor()), m_fontText(m_fontCaption),
      m_crBack(palette().color(QPalette::Active, QPalette::Button)) {}

QColor CLabel::GrayTextColor() {
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

void CLabel::SetCaption(const QString& caption, const QColor& crCaption, const QColor& crFrame) {
    m_strCaption = caption;
    m_crCaption = crCaption;
    m_crFrame = crFrame;
    update();
}

void CLabel::SetTextFont(int nHeight, bool bItalic, const QString& face) {
    m_fontText = CellHeightFont(nHeight, bItalic, face);
    updateGeometry();
    update();
}

void CLabel::setText(const QString& text) {
    if (m_strText == text)
        return;
    m_strText = text;
    update();
}

void CLabel::SetTextColor(const QColor& crText) {
    m_crText = crText;
    update();
}

void CLabel::SetBackColor(const QColor& crBack) {
    m_crBack = crBack;
    update();
}

void CLabel::SetCaptionAlign(Qt::Alignment align) {
    m_nCaptionAlign = align;
    update();
}

void CLabel::SetTextAlign(Qt::Alignment align) {
    m_nTextAlign = align;
    update();
}

void CLabel::SetWordWrap(bool bWordWrap) {
    m_bWordWrap = bWordWrap;
    update();
}

void CLabel::SetFrameOnly(bool bFrameOnly) {
    m_bFrameOnly = bFrameOnly;
    update();
}

QSize CLabel::sizeHint() const {
    const QFontMetrics caption(m_fontCaption);
    const QFontMetrics value(m_fontText);
    const int ch = m_strCaption.isEmpty() ? 0 : caption.height();
    const int w = std::max(value.horizontalAdvance(m_strText),
                           caption.horizontalAdvance(ui::SpacedCaption(m_strCaption)) + 14);
    return QSize(w + 10, ch + value.height() + 2);
}

void CLabel::paintEvent(QPaintEvent*) {
    ui::LabelLook look;
    look.bFrameOnly = m_bFrameOnly;
    look.strCaption = m_strCaption;
    look.fontCaption = m_fontCaption;
    look.crCaption = m_crCaption;
    look.crFrame = m_crFrame;
    look.fontText = m_fontText;
    look.crText = m_crText;
    look.crBack = m_crBack;
    look.crFace = palette().color(QPalette::Active, QPalette::Button);
    look.captionAlign = m_nCaptionAlign;
    look.textAlign = m_nTextAlign;
    look.bWordWrap = m_bWordWrap;
    look.strText = m_strText;
    QPainter p(this);
    if (m_szDesign.isEmpty() || m_szDesign == size()) {
        ui::PaintLabel(p, size(), look);
        return;
    }
    // Drawn in the design's own units through the painter's scale: the fonts, the frame and
    // the corners are rasterised at the new size, never stretched from a bitmap.
    p.scale(double(width()) / m_szDesign.width(), double(height()) / m_szDesign.height());
    ui::PaintLabel(p, m_szDesign, look);
}

void CLabel::SetDesignSize(const QSize& design) {
    if (m_szDesign == design)
        return;
    m_szDesign = design;
    update();
}
