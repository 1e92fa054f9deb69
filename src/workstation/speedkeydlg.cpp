#include "workstation/speedkeydlg.h"

#include "platform/messages.h"
#include "workstation/speedkeypad.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kGap = 6;

QPushButton* TouchButton(const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    b->setMinimumHeight(b->fontMetrics().height() * 2);
    return b;
}

// The keys of a file with the price texts left out: a dialog shows what is set.
CSpeedKeyPad* KeyGridPad(const CSpeedKeys& keys, QWidget* parent) {
    auto* pad = new CSpeedKeyPad(1, CSpeedKeys::kCount, false, parent);
    pad->SetKeys(keys, {});
    pad->setMinimumSize(6 * 70, 4 * 56);
    pad->PlaceAsGrid(kGap);
    return pad;
}
} // namespace

CSpeedKeyChooser::CSpeedKeyChooser(const CSpeedKeys& keys, const QString& productName,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("speedKeyChooser"));
    setWindowTitle(QStringLiteral("На быструю клавишу"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(
        QStringLiteral("Клавиша для товара «%1» (товар на занятой клавише будет заменён):")
            .arg(productName),
        this);
    title->setWordWrap(true);
    layout->addWidget(title);
    m_pPad = KeyGridPad(keys, this);
    layout->addWidget(m_pPad, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* cancel = TouchButton(QStringLiteral("Отмена"), this);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pPad, &CSpeedKeyPad::KeyTapped, this, [this](int number) {
        m_nChosen = number;
        accept();
    });
    resize(640, 440);
    m_pPad->KeyButton(1)->setFocus();
}

CSpeedKeyEditor::CSpeedKeyEditor(const CSpeedKeys& keys,
                                 std::function<std::optional<CurrentProduct>(QWidget*)> search,
                                 QWidget* parent)
    : QDialog(parent), m_original(keys), m_search(std::move(search)) {
    setObjectName(QStringLiteral("speedKeyEditor"));
    setWindowTitle(QStringLiteral("Быстрые клавиши"));
    for (int n = 1; n <= CSpeedKeys::kCount; ++n)
        m_keys.insert(n, keys.Key(n));

    auto* layout = new QVBoxLayout(this);
    m_pPad = KeyGridPad(keys, this);
    layout->addWidget(m_pPad, 1);

    auto* fields = new QFormLayout;
    m_pProduct = new QLabel(this);
    m_pProduct->setObjectName(QStringLiteral("speedKeyProduct"));
    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QStringLiteral("speedKeyName"));
    m_pName->setMaxLength(100);
    m_pPrice = new QCheckBox(QStringLiteral("Показывать цену на клавише"), this);
    m_pPrice->setObjectName(QStringLiteral("speedKeyPrice"));
    m_pTare = new QLineEdit(this);
    m_pTare->setObjectName(QStringLiteral("speedKeyTare"));
    m_pTare->setMaxLength(7);
    m_pTare->setPlaceholderText(QStringLiteral("нет"));
    fields->addRow(QStringLiteral("Товар:"), m_pProduct);
    fields->addRow(QStringLiteral("Надпись:"), m_pName);
    fields->addRow(QString(), m_pPrice);
    fields->addRow(QStringLiteral("Тара, кг:"), m_pTare);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    QPushButton* choose = TouchButton(QStringLiteral("Выбрать товар..."), this);
    choose->setObjectName(QStringLiteral("speedKeyChoose"));
    m_pFree = TouchButton(QStringLiteral("Освободить"), this);
    m_pFree->setObjectName(QStringLiteral("speedKeyFree"));
    QPushButton* ok = TouchButton(QStringLiteral("ОК"), this);
    ok->setObjectName(QStringLiteral("speedKeyOk"));
    QPushButton* cancel = TouchButton(QStringLiteral("Отмена"), this);
    buttons->addWidget(choose);
    buttons->addWidget(m_pFree);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_pPad, &CSpeedKeyPad::KeyTapped, this, &CSpeedKeyEditor::Choose);
    connect(choose, &QPushButton::clicked, this, &CSpeedKeyEditor::ChooseProduct);
    connect(m_pFree, &QPushButton::clicked, this, &CSpeedKeyEditor::FreeKey);
    connect(ok, &QPushButton::clicked, this, &CSpeedKeyEditor::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 560);
    Choose(1);
    m_pPad->KeyButton(1)->setFocus();
}

void CSpeedKeyEditor::Choose(int number) {
    if (number < 1 || number > CSpeedKeys::kCount || (m_nCurrent != 0 && !TakeFields()))
        return;
    m_nCurrent = number;
    ShowKeys();
    ShowFields();
}

void CSpeedKeyEditor::ShowFields() {
    const SpeedKey& key = m_keys[m_nCurrent];
    for (CSpeedKeyButton* button : m_pPad->KeyButtons())
        button->SetChosen(button->Number() == m_nCurrent);
    m_pProduct->setText(key.IsAssigned()
                            ? QStringLiteral("клавиша %1: код %2").arg(m_nCurrent).arg(key.code)
                            : QStringLiteral("клавиша %1 свободна").arg(m_nCurrent));
    m_pName->setText(key.name);
    m_pPrice->setChecked(key.showPrice);
    m_pTare->setText(CSpeedKeys::TareText(key.tare));
    for (QWidget* w : std::initializer_list<QWidget*>{m_pName, m_pPrice, m_pTare, m_pFree})
        w->setEnabled(key.IsAssigned());
}

bool CSpeedKeyEditor::TakeFields() {
    SpeedKey& key = m_keys[m_nCurrent];
    if (!key.IsAssigned())
        return true;
    bool ok = false;
    const std::optional<double> tare = CSpeedKeys::ParseTare(m_pTare->text(), &ok);
    if (!ok) {
        platform::ReportMessage(
            QStringLiteral("Тара: введите вес в килограммах от 0 до 99.999 или оставьте поле "
                           "пустым."),
            platform::ErrorCaption(), platform::MessageIcon::Exclamation, this);
        m_pTare->setFocus();
        m_pTare->selectAll();
        return false;
    }
    key.name = m_pName->text().trimmed();
    key.showPrice = m_pPrice->isChecked();
    key.tare = tare;
    return true;
}

void CSpeedKeyEditor::ChooseProduct() {
    if (!m_search || !TakeFields())
        return;
    const std::optional<CurrentProduct> product = m_search(this);
    if (!product)
        return;
    SpeedKey& key = m_keys[m_nCurrent];
    if (key.code != product->m_strCode) {
        key.code = product->m_strCode;
        key.name = product->m_strName;
        key.showPrice = true;
        key.tare.reset();
    }
    ShowKeys();
    ShowFields();
}

void CSpeedKeyEditor::FreeKey() {
    SpeedKey free;
    free.number = m_nCurrent;
    m_keys[m_nCurrent] = free;
    ShowKeys();
    ShowFields();
}

void CSpeedKeyEditor::ShowKeys() {
    for (CSpeedKeyButton* button : m_pPad->KeyButtons())
        button->SetKey(m_keys[button->Number()], SpeedKeyProduct());
}

QList<SpeedKey> CSpeedKeyEditor::Changes() const {
    QList<SpeedKey> changes;
    for (auto it = m_keys.begin(); it != m_keys.end(); ++it)
        if (!(it.value() == m_original.Key(it.key())))
            changes.append(it.value());
    return changes;
}

void CSpeedKeyEditor::accept() {
    if (!TakeFields())
        return;
    QDialog::accept();
}
