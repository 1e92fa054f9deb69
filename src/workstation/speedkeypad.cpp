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

QFont KeyFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setBold(bold);
    font.setPixelSize(pixels);
    return font;
}

// The font of the number and the price: a sixth of the key's height, narrower where a price
// would not fit across.
QFont SmallFont(const QString& widest, int height, int width) {
    int pixels = std::clamp(height / 6, 9, 18);
    while (pixels > 8 && QFontMetrics(KeyFont(pixels, false)).horizontalAdvance(widest) > width)
        --pixels;
    return KeyFont(pixels, false);
}

// Whether text fits the box by words at the given size.
bool Fits(const QString& text, const QRect& box, int pixels) {
    const QRect needed = QFontMetrics(KeyFont(pixels, true))
                             .boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}
} // namespace

CSpeedKeyButton::CSpeedKeyButton(int number, QWidget* parent)
    : CButtonCtrl(parent), m_nNumber(number) {
    m_key.number = number;
    setObjectName(QStringLiteral("speedKey%1").arg(number));
}

void CSpeedKeyButton::SetKey(const SpeedKey& key, const SpeedKeyProduct& product) {
    m_key = key;
    m_strPrice = key.IsAssigned() && key.showPrice ? product.price : QString();
    const QString name = !key.name.isEmpty() ? key.name : product.name;
    setText(key.IsAssigned() ? (name.isEmpty() ? key.code : name) : QString());
    setToolTip(key.IsAssigned() ? QStringLiteral("%1: %2").arg(key.code, text()) : QString());
    update();
}

void CSpeedKeyButton::SetChosen(bool chosen) {
    m_bChosen = chosen;
    update();
}

void CSpeedKeyButton::SetNamePixels(int pixels) {
    m_nNamePixels = pixels;
    update();
}

int CSpeedKeyButton::LargestNamePixels() const {
    int pixels = std::clamp(height() / 4, 10, 26);
    while (pixels > 8 && !Fits(text(), NameBox(), pixels))
        --pixels;
    return pixels;
}

QRect CSpeedKeyButton::NameBox() const {
    const int h = height();
    const int pad = std::max(3, h / 14);
    const int line = QFontMetrics(SmallFont(m_strPrice, h, width() - 2 * pad)).height();
    return QRect(pad, pad / 2 + line * 3 / 4, width() - 2 * pad,
                 h - pad - line * 3 / 4 - (m_strPrice.isEmpty() ? pad : line + pad));
}

void CSpeedKeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ui::KeyLook look;
    look.state = State();
    look.crFace = m_bChosen ? kChosenColour : palette().color(QPalette::Active, QPalette::Button);
    ui::PaintKey(p, size(), look);

    const int h = height();
    const int pad = std::max(3, h / 14);
    const QFont small = SmallFont(m_strPrice, h, width() - 2 * pad);
    const int line = QFontMetrics(small).height();
    p.setFont(small);
    p.setPen(kNumberColour);
    p.drawText(QRect(pad, pad / 2, width() - 2 * pad, line), Qt::AlignLeft | Qt::AlignTop,
               QString::number(m_nNumber));
    if (!m_key.IsAssigned())
        return;
    const int pixels = m_nNamePixels > 0 ? m_nNamePixels : LargestNamePixels();
    p.setFont(KeyFont(pixels, true));
    p.setPen(isEnabled() ? kNameColour : ui::kKeyDisabledText);
    // A word longer than the key is broken where the key ends rather than cut off.
    const QRect box = NameBox();
    p.setClipRect(box);
    p.drawText(box,
               Qt::AlignCenter |
                   (Fits(text(), box, pixels) ? Qt::TextWordWrap : Qt::TextWrapAnywhere),
               text());
    p.setClipping(false);
    if (!m_strPrice.isEmpty()) {
        p.setFont(small);
        p.setPen(kPriceColour);
        p.drawText(QRect(pad, h - pad - line, width() - 2 * pad, line),
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

void CSpeedKeyPad::SetKeys(const CSpeedKeys& keys, const QMap<QString, SpeedKeyProduct>& products) {
    for (CSpeedKeyButton* button : m_keys) {
        const SpeedKey key = keys.Key(button->Number());
        button->SetKey(key, products.value(key.code));
    }
    EvenNames();
}

void CSpeedKeyPad::EvenNames() {
    // One size for every name of the pad, the largest at which all of them fit, but never so
    // small that it cannot be read at arm's length: keys side by side read as a set.
    int pixels = 0;
    int least = 12;
    for (const CSpeedKeyButton* button : m_keys) {
        least = std::max(least, button->height() / 10);
        if (button->Key().IsAssigned())
            pixels = pixels == 0 ? button->LargestNamePixels()
                                 : std::min(pixels, button->LargestNamePixels());
    }
    for (CSpeedKeyButton* button : m_keys)
        button->SetNamePixels(pixels == 0 ? 0 : std::max(pixels, least));
}

void CSpeedKeyPad::PlaceKeys(const QList<QRect>& keys, const QRect& close) {
    for (int i = 0; i < m_keys.size() && i < keys.size(); ++i)
        m_keys[i]->setGeometry(keys[i]);
    EvenNames();
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
