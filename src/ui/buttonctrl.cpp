#include "ui/buttonctrl.h"

#include "ui/cellfont.h"
#include "ui/resources.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CButtonCtrl::CButtonCtrl(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetFont(12, QStringLiteral("MS Sans Serif"));
}

CButtonCtrl::CButtonCtrl(const QString& caption, QWidget* parent) : CButtonCtrl(parent) {
    setText(caption);
}

void CButtonCtrl::SetFont(int nHeight, const QString& face) {
    m_font = CellHeightFont(nHeight, false, face);
    updateGeometry();
    update();
}

void CButtonCtrl::SetIcon(const QIcon& icon, const QIcon& iconDisabled, int nSize, int nAlign) {
    m_hIcon = icon;
    m_hIconDisabled = iconDisabled;
    m_nIconSize = nSize;
    m_nIconAlign = nAlign;
    // The auto-print key swaps its icon while it is on screen, also from the keyboard when no
    // other repaint would follow; without this it would show the old state.
    update();
}

void CButtonCtrl::SetIcon(int nIconId, int nIconDisabledId, int nSize, int nAlign) {
    SetIcon(VarnetIcon(nIconId), VarnetIcon(nIconDisabledId), nSize, nAlign);
}

void CButtonCtrl::SetDesignSize(const QSize& design) {
    if (m_szDesign == design)
        return;
    m_szDesign = design;
    update();
}

void CButtonCtrl::SetTextColor(const QColor& crText) {
    m_crText = crText;
    update();
}

ui::KeyState CButtonCtrl::State() const {
    ui::KeyState s;
    s.bPressed = isDown();
    s.bFocused = hasFocus();
    s.bHover = m_bHover;
    s.bEnabled = isEnabled();
    return s;
}

QSize CButtonCtrl::sizeHint() const {
    const ui::KeyTextBlock block = ui::MeasureKeyCaption(text(), m_font);
    int w = block.nWidth + 20;
    int h = block.nHeight + 12;
    if (m_nIconSize > 0) {
        if (m_nIconAlign == ui::KeyIconAbove || m_nIconAlign == ui::KeyIconBelow) {
            w = std::max(w, m_nIconSize + 20);
            h += m_nIconSize + 7;
        } else {
            w += m_nIconSize + 15;
            h = std::max(h, m_nIconSize + 12);
        }
    }
    return QSize(w, h);
}

void CButtonCtrl::paintEvent(QPaintEvent*) {
    ui::KeyLook look;
    look.state = State();
    look.crFace = palette().color(QPalette::Active, QPalette::Button);
    look.crText = m_crText;
    look.strCaption = text();
    look.font = m_font;
    look.icon = isEnabled() ? m_hIcon : m_hIconDisabled;
    look.nIconSize = m_nIconSize;
    look.nIconAlign = m_nIconAlign;

    // Painted off screen and copied in one piece: the focus mark inverts what lies beneath
    // it, which needs an opaque surface of our own.
    const qreal dpr = devicePixelRatioF();
    QImage image((QSizeF(size()) * dpr).toSize(), QImage::Format_RGB32);
    // At the screen's scale the image has as many pixels as the key on screen, and the key
    // is drawn into it in its design's units: everything, icons included, is rendered at
    // the size it is shown. Grown, mostly through the image's pixel ratio (so icons are
    // rendered big); the rest, and any shrinking, through the painter.
    const bool designed = !m_szDesign.isEmpty() && m_szDesign != size();
    const double sx = designed ? double(width()) / m_szDesign.width() : 1.0;
    const double sy = designed ? double(height()) / m_szDesign.height() : 1.0;
    const double ratio = std::max(1.0, std::min(sx, sy));
    image.setDevicePixelRatio(dpr * ratio);
    {
        QPainter ip(&image);
        if (designed)
            ip.scale(sx / ratio, sy / ratio);
        ui::PaintKey(ip, designed ? m_szDesign : size(), look);
    }
    image.setDevicePixelRatio(dpr);
    QPainter p(this);
    p.drawImage(0, 0, image);
}

void CButtonCtrl::SetHover(bool bHover) {
    if (m_bHover == bHover)
        return;
    m_bHover = bHover;
    update();
}

void CButtonCtrl::enterEvent(QEnterEvent* event) {
    SetHover(true);
    QAbstractButton::enterEvent(event);
}

void CButtonCtrl::mouseMoveEvent(QMouseEvent* event) {
    SetHover(rect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void CButtonCtrl::leaveEvent(QEvent* event) {
    SetHover(false);
    QAbstractButton::leaveEvent(event);
}

void CButtonCtrl::hideEvent(QHideEvent* event) {
    // A hidden key gets no leave event; it must not come back lit.
    m_bHover = false;
    QAbstractButton::hideEvent(event);
}

void CButtonCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first: fast typing on the
    // keypad must not lose digits.
    mousePressEvent(event);
}

void CButtonCtrl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        focusNextPrevChild(event->key() == Qt::Key_Tab &&
                           !(event->modifiers() & Qt::ShiftModifier));
        break;
    case Qt::Key_Up:
        focusNextPrevChild(false);
        break;
    case Qt::Key_Down:
        focusNextPrevChild(true);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        setDown(true);
        break;
    case Qt::Key_Space:
        // Space is taken and ignored: the keypad is clicked by Enter or by the pointer only.
        break;
    default:
        QAbstractButton::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CButtonCtrl::keyReleaseEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A held Enter repeats as release-press pairs; only the real release clicks.
        if (!event->isAutoRepeat() && isDown()) {
            setDown(false);
            click();
        }
        event->accept();
        return;
    case Qt::Key_Space:
        event->accept();
        return;
    default:
        QAbstractButton::keyReleaseEvent(event);
    }
}
