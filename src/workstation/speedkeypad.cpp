#include "workstation/speedkeypad.h"

#include "ui/keylook.h"
#include "workstation/speedkeylayout.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace {
const QColor kNumberColour(120, 120, 120);
const QColor kNameColour(0, 0, 160);
const QColor kPriceColour(0, 100, 220);
const QColor kChosenColour(150, 200, 255);

// The largest font, up to the given pixel size, in which text fits the box by words.
QFont FittingFont(const QString& text, const QRect& box, int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    for (; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        const QRect needed =
            QFontMetrics(font).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
    }
    return font;
}
} // namespace

CSpeedKeyButton::CSpeedKeyButton(int number, QWidget* parent)
    : CButtonCtrl(parent), m_nNumber(number) {
    m_key.number = number;
    setObjectName(QStringLiteral("speedKey%1").arg(number));
}

void CSpeedKeyButton::SetKey(const SpeedKey& key, const QString& price) {
    m_key = key;
    m_strPrice = key.IsAssigned() && key.showPrice ? price : QString();
    setText(key.IsAssigned() ? (key.name.isEmpty() ? key.code : key.name) : QString());
    setToolTip(key.IsAssigned() ? QStringLiteral("%1: %2").arg(key.code, text()) : QString());
    update();
}

void CSpeedKeyButton::SetChosen(bool chosen) {
    m_bChosen = chosen;
    update();
}

void CSpeedKeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ui::KeyLook look;
    look.state = State();
    look.crFace = m_bChosen ? kChosenColour : palette().color(QPalette::Active, QPalette::Button);
    ui::PaintKey(p, size(), look);

    const int h = height();
    const int pad = std::max(3, h / 14);
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(std::clamp(h / 6, 9, 18));
    const int smallLine = QFontMetrics(small).height();
    p.setFont(small);
    p.setPen(kNumberColour);
    p.drawText(QRect(pad, pad / 2, width() - 2 * pad, smallLine), Qt::AlignLeft | Qt::AlignTop,
               QString::number(m_nNumber));
    if (!m_key.IsAssigned())
        return;
    QRect body(pad, pad / 2 + smallLine * 3 / 4, width() - 2 * pad,
               h - pad - smallLine * 3 / 4 - (m_strPrice.isEmpty() ? pad : smallLine + pad));
    p.setFont(FittingFont(text(), body, std::clamp(h / 4, 10, 26)));
    p.setPen(isEnabled() ? kNameColour : ui::kKeyDisabledText);
    p.drawText(body, Qt::AlignCenter | Qt::TextWordWrap, text());
    if (!m_strPrice.isEmpty()) {
        p.setFont(small);
        p.setPen(kPriceColour);
        p.drawText(QRect(pad, h - pad - smallLine, width() - 2 * pad, smallLine),
                   Qt::AlignRight | Qt::AlignBottom, m_strPrice);
    }
}

CSpeedKeyPad::CSpeedKeyPad(int first, int count, bool page, QWidget* parent)
    : QWidget(parent), m_nFirst(first), m_bPage(page) {
    for (int n = first; n < first + count; ++n) {
        auto* key = new CSpeedKeyButton(n, this);
        connect(key, &CButtonCtrl::clicked, this, [this, n] { Q_EMIT KeyTapped(n); });
        m_keys.append(key);
    }
    if (page) {
        m_pClose = new CButtonCtrl(QStringLiteral("Закрыть"), this);
        m_pClose->setObjectName(QStringLiteral("speedKeysClose"));
        m_pClose->SetFont(20, QStringLiteral("Arial"));
        connect(m_pClose, &CButtonCtrl::clicked, this, &CSpeedKeyPad::CloseTapped);
        setAutoFillBackground(true);
    }
}

void CSpeedKeyPad::SetKeys(const CSpeedKeys& keys, const QMap<QString, QString>& prices) {
    for (CSpeedKeyButton* button : m_keys) {
        const SpeedKey key = keys.Key(button->Number());
        button->SetKey(key, prices.value(key.code));
    }
}

void CSpeedKeyPad::PlaceKeys(const QList<QRect>& keys, const QRect& close) {
    for (int i = 0; i < m_keys.size() && i < keys.size(); ++i)
        m_keys[i]->setGeometry(keys[i]);
    if (m_pClose && !close.isEmpty())
        m_pClose->setGeometry(close);
}

void CSpeedKeyPad::PlaceAsGrid(int gap) {
    m_nGridGap = gap;
    PlaceKeys(KeyGrid(rect(), int(m_keys.size()), gap));
}

void CSpeedKeyPad::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_nGridGap > 0)
        PlaceKeys(KeyGrid(rect(), int(m_keys.size()), m_nGridGap));
}

CSpeedKeyButton* CSpeedKeyPad::KeyButton(int number) const {
    const int i = number - m_nFirst;
    return i >= 0 && i < m_keys.size() ? m_keys[i] : nullptr;
}

void CSpeedKeyPad::paintEvent(QPaintEvent* event) {
    if (!m_bPage) {
        QWidget::paintEvent(event);
        return;
    }
    // A page lies over the keypad panel as a panel of its own.
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(QColor(0, 100, 220));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

void CSpeedKeyPad::keyPressEvent(QKeyEvent* event) {
    if (m_bPage && event->key() == Qt::Key_Escape) {
        Q_EMIT CloseTapped();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
