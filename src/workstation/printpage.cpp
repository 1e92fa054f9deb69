#include "workstation/printpage.h"

#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"

#include <QKeyEvent>
#include <QPainter>

CPrintPage::CPrintPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("printPage"));
    m_pCount = new CLabel(this);
    m_pCount->SetCaption(QStringLiteral("Копий"), QColor(0, 100, 220), CLabel::GrayTextColor());
    m_pCount->SetTextFont(40, false, QStringLiteral("Arial"));
    m_pCount->SetTextAlign(Qt::AlignRight);
    const auto key = [this](const QString& caption, int font) {
        auto* k = new CButtonCtrl(caption, this);
        k->SetFont(font, QStringLiteral("Arial"));
        m_keys.insert(caption, k);
        return k;
    };
    for (int d = 0; d <= 9; ++d) {
        const QString digit = QString::number(d);
        connect(key(digit, 50), &CButtonCtrl::clicked, this, [this, digit] { Type(digit); });
    }
    connect(key(QStringLiteral("⌫"), 40), &CButtonCtrl::clicked, this, &CPrintPage::Erase);
    CButtonCtrl* print = key(QStringLiteral("Копии"), 20);
    print->SetIcon(145, 145, 48, ui::KeyIconAbove);
    connect(print, &CButtonCtrl::clicked, this, [this] { Q_EMIT PrintCopies(Copies()); });
    connect(key(QStringLiteral("Повтор"), 20), &CButtonCtrl::clicked, this, &CPrintPage::Repeat);
    connect(key(QStringLiteral("Закрыть"), 20), &CButtonCtrl::clicked, this,
            &CPrintPage::CloseTapped);
    ShowCount();
}

void CPrintPage::Open() {
    m_strCount = QStringLiteral("1");
    m_bFresh = true;
    ShowCount();
    show();
    raise();
    m_keys.value(QStringLiteral("Копии"))->setFocus();
}

int CPrintPage::Copies() const {
    return std::max(1, m_strCount.toInt());
}

void CPrintPage::Place(const PrintPagePlaces& design,
                       const std::function<QRect(const QRect&)>& map) {
    m_pCount->setGeometry(map(design.count));
    m_pCount->SetDesignSize(design.count.size());
    QMap<QString, QRect> keys{{QStringLiteral("⌫"), design.backspace},
                              {QStringLiteral("Копии"), design.print},
                              {QStringLiteral("Повтор"), design.repeat},
                              {QStringLiteral("Закрыть"), design.close}};
    for (int d = 0; d <= 9; ++d)
        keys.insert(QString::number(d), design.digits[d]);
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        CButtonCtrl* k = m_keys.value(it.key());
        k->setGeometry(map(it.value()));
        k->SetDesignSize(it.value().size());
    }
}

void CPrintPage::Type(const QString& digit) {
    QString count = m_bFresh ? QString() : m_strCount;
    m_bFresh = false;
    count += digit;
    if (count.toInt() > kMaxCopies)
        return;
    m_strCount = QString::number(count.toInt());
    ShowCount();
}

void CPrintPage::Erase() {
    m_bFresh = false;
    m_strCount.chop(1);
    ShowCount();
}

void CPrintPage::ShowCount() {
    m_pCount->setText(QString::number(Copies()) + QLatin1Char(' '));
}

bool CPrintPage::HandleKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Escape:
        Q_EMIT CloseTapped();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT PrintCopies(Copies());
        return true;
    case Qt::Key_Backspace:
        Erase();
        return true;
    default:
        break;
    }
    const QString text = event.text();
    if (text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9')) {
        Type(text);
        return true;
    }
    return false;
}

void CPrintPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(QColor(0, 100, 220));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}
