#include "workstation/labelpreview.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
const QColor kPrinted(0, 160, 0);
const QColor kRefused(200, 0, 0);
constexpr int kFlashMs = 700;
} // namespace

CLabelPreview::CLabelPreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("labelPreview"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Последняя этикетка: нажмите, чтобы увидеть её крупно"));
    m_flash.setSingleShot(true);
    m_flash.setInterval(kFlashMs);
    connect(&m_flash, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void CLabelPreview::SetLabel(const LastLabel& label) {
    m_label = label;
    update();
}

void CLabelPreview::Flash(bool printed) {
    m_crFlash = printed ? kPrinted : kRefused;
    m_flash.start();
    update();
}

void CLabelPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const QRect inner = rect().adjusted(3, 3, -3, -3);
    if (m_label.kind == LastLabel::Printed && !m_label.page.isNull()) {
        // The page as printed, shrunk into the box; white paper on the screen's grey.
        QSize fit = m_label.page.size().scaled(inner.size(), Qt::KeepAspectRatio);
        const QRect target(inner.center() - QPoint(fit.width() / 2, fit.height() / 2), fit);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(target, m_label.page);
        p.setPen(QColor(160, 160, 160));
        p.drawRect(target.adjusted(0, 0, -1, -1));
    } else if (m_label.kind == LastLabel::Refused) {
        // A crossed-out label: the reason is in the strip and in the large view.
        p.setPen(QPen(kRefused, std::max(2, height() / 20)));
        p.drawRect(inner.adjusted(2, 2, -2, -2));
        p.drawLine(inner.topLeft() + QPoint(2, 2), inner.bottomRight() - QPoint(2, 2));
        p.drawLine(inner.topRight() + QPoint(-2, 2), inner.bottomLeft() + QPoint(2, -2));
    }
    const bool flashing = m_flash.isActive();
    p.setPen(QPen(flashing ? m_crFlash : QColor(160, 160, 160), flashing ? 3 : 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
}

void CLabelPreview::mousePressEvent(QMouseEvent* event) {
    m_bPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CLabelPreview::mouseReleaseEvent(QMouseEvent* event) {
    const bool tap = m_bPressed && rect().contains(event->position().toPoint());
    m_bPressed = false;
    if (tap && m_label.kind != LastLabel::None)
        Q_EMIT Tapped();
}

double CLabelView::PageFactor(const QSize& page, const QSize& area) {
    if (page.isEmpty() || area.isEmpty())
        return 1.0;
    const double fits =
        std::min(double(area.width()) / page.width(), double(area.height()) / page.height());
    // Whole multiples keep every dot a square of screen pixels.
    return fits >= 1.0 ? std::floor(fits) : fits;
}

CLabelView::CLabelView(const LastLabel& label, const QSize& area, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("labelView"));
    setWindowTitle(QStringLiteral("Последняя этикетка"));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("labelViewPicture"));
    picture->setAlignment(Qt::AlignCenter);
    if (label.kind == LastLabel::Printed && !label.page.isNull()) {
        const double k = PageFactor(label.page.size(), area);
        const QSize size(qRound(label.page.width() * k), qRound(label.page.height() * k));
        m_shown = label.page.scaled(size, Qt::KeepAspectRatio,
                                    k >= 1.0 ? Qt::FastTransformation : Qt::SmoothTransformation);
        picture->setPixmap(QPixmap::fromImage(m_shown));
    } else {
        picture->setText(label.kind == LastLabel::Refused
                             ? QStringLiteral("Этикетка не напечатана:\n%1").arg(label.reason)
                             : QStringLiteral("Этикеток ещё не было"));
        picture->setWordWrap(true);
        QFont font = picture->font();
        font.setPixelSize(std::max(16, area.height() / 16));
        picture->setFont(font);
        picture->setStyleSheet(QStringLiteral("color: #c00000"));
        picture->setMinimumSize(area.width() * 2 / 3, area.height() / 2);
    }
    layout->addWidget(picture, 1);
    auto* hint = new QLabel(QStringLiteral("Нажмите, чтобы закрыть"), this);
    hint->setAlignment(Qt::AlignCenter);
    layout->addWidget(hint);
}

void CLabelView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    accept();
}
