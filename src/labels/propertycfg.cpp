#include "labels/propertycfg.h"

#include "platform/messages.h"

#include <QComboBox>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

CPropertyCfg::CPropertyCfg(QWidget* parent, double scale) : QDialog(parent) {
    // Dialog units of the template (160 x 183, buttons 50 x 14) at the usual 8-point dialog
    // font, grown with the editor that opens the dialog.
    const double factor = std::max(1.0, scale);
    const auto DluX = [factor](int x) { return qRound(x * 3 / 2 * factor); };
    const auto DluY = [factor](int y) { return qRound(y * 13 / 8 * factor); };
    setFixedSize(DluX(160), DluY(183));
    m_wndPropList = new QTreeWidget(this);
    m_wndPropList->setColumnCount(2);
    m_wndPropList->setHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("Значение")});
    m_wndPropList->setRootIsDecorated(false);
    m_wndPropList->setUniformRowHeights(true);
    m_wndPropList->header()->setSectionsMovable(false);
    m_wndPropList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_wndPropList->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_wndPropList->setGeometry(0, 0, width(), height() - qRound(40 * factor));

    // The keys a finger's height (34 pixels, about 9 mm, grown with the editor), in the middle
    // of the band below the list.
    const int band = qRound(40 * factor);
    const int keyHeight = std::max(DluY(14), qRound(34 * factor));
    const int keyTop = height() - band + (band - keyHeight) / 2;
    m_pOk = new QPushButton(QStringLiteral("ОК"), this);
    m_pOk->setDefault(true);
    m_pOk->setGeometry(DluX(26), keyTop, DluX(50), keyHeight);
    m_pCancel = new QPushButton(QStringLiteral("Отмена"), this);
    m_pCancel->setGeometry(DluX(83), keyTop, DluX(50), keyHeight);
    connect(m_pOk, &QPushButton::clicked, this, &CPropertyCfg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CPropertyCfg::reject);
}

CPropertyCfg::~CPropertyCfg() {
    // The editors outlive the rows by a moment and lose the focus as they go; what they
    // would report then must not reach rows that are gone.
    for (Row& r : m_rows)
        disconnect(r.editor, nullptr, this, nullptr);
}

void CPropertyCfg::InitRows() {
    for (Row& r : m_rows)
        disconnect(r.editor, nullptr, this, nullptr);
    m_wndPropList->clear();
    m_rows.clear();
    const QList<PropertyRow> rows = BuildPropertyRows(*this);
    m_rows.reserve(std::size_t(rows.size()));
    for (const PropertyRow& pr : rows) {
        Row r;
        r.row = pr;
        r.initial = pr.value;
        r.lastGood = pr.value;
        r.initialFont = pr.font;
        r.item = new QTreeWidgetItem(m_wndPropList, QStringList{pr.name});
        m_rows.push_back(r);
    }
    m_wndPropList->sortItems(0, Qt::AscendingOrder);
    for (Row& r : m_rows)
        m_wndPropList->setItemWidget(r.item, 1, CreateEditor(r));
}

QWidget* CPropertyCfg::CreateEditor(Row& r) {
    // Rows are never added after the editors exist, so the row stays where it is.
    Row* row = &r;
    switch (r.row.kind) {
    case PropertyKind::Millimetres:
    case PropertyKind::Text: {
        auto* edit = new QLineEdit(r.row.value);
        edit->setFrame(false);
        connect(edit, &QLineEdit::textEdited, this,
                [this, row](const QString& text) { ValueChanged(*row, text); });
        if (r.row.kind == PropertyKind::Millimetres)
            connect(edit, &QLineEdit::editingFinished, this, [this, row] {
                if (isVisible())
                    CommitMillimetres(*row);
            });
        r.editor = edit;
        break;
    }
    case PropertyKind::Choice:
    case PropertyKind::YesNo: {
        auto* box = new QComboBox;
        box->addItems(r.row.options);
        box->setCurrentIndex(int(r.row.options.indexOf(r.row.value)));
        if (box->currentIndex() < 0) // a stored value outside the list shows as it is
            box->setPlaceholderText(r.row.value);
        connect(box, &QComboBox::textActivated, this,
                [this, row](const QString& text) { ValueChanged(*row, text); });
        r.editor = box;
        break;
    }
    case PropertyKind::Font: {
        auto* button = new QPushButton(r.row.value);
        button->setFlat(true);
        button->setStyleSheet(QStringLiteral("text-align: left"));
        connect(button, &QPushButton::clicked, this, &CPropertyCfg::ChooseFont);
        r.editor = button;
        break;
    }
    }
    return r.editor;
}

void CPropertyCfg::ValueChanged(Row& r, const QString& value) {
    r.row.value = value;
    MarkChanged(r, value != r.initial);
}

void CPropertyCfg::MarkChanged(Row& r, bool changed) {
    QFont font = r.editor->font();
    font.setBold(changed);
    r.editor->setFont(font);
}

bool CPropertyCfg::CommitMillimetres(Row& r) {
    double mm = 0;
    if (ParseMillimetres(r.row.value, mm)) {
        r.lastGood = r.row.value;
        return true;
    }
    auto* edit = static_cast<QLineEdit*>(r.editor);
    edit->setText(r.lastGood);
    ValueChanged(r, r.lastGood);
    platform::ReportMessage(NotANumberText(), platform::ErrorCaption(),
                            platform::MessageIcon::Exclamation, this);
    edit->setFocus();
    return false;
}

void CPropertyCfg::ChooseFont() {
    for (Row& r : m_rows) {
        if (r.row.kind != PropertyKind::Font)
            continue;
        QFontDialog dialog(DialogFontFromLogFont(r.row.font), this);
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        if (dialog.exec() != QDialog::Accepted)
            return;
        r.row.font = LogFontFromDialogFont(dialog.selectedFont(), r.row.font);
        static_cast<QPushButton*>(r.editor)->setText(FontRowText(r.row.font));
        r.row.value = FontRowText(r.row.font);
        MarkChanged(r, r.row.font != r.initialFont);
        return;
    }
}

void CPropertyCfg::showEvent(QShowEvent* event) {
    setWindowTitle(m_strTitle);
    if (m_rows.empty())
        InitRows();
    if (!m_rows.empty()) {
        m_wndPropList->setCurrentItem(m_rows.front().item);
        m_wndPropList->setFocus();
    }
    QDialog::showEvent(event);
}

void CPropertyCfg::accept() {
    for (Row& r : m_rows)
        if (r.row.kind == PropertyKind::Millimetres && !CommitMillimetres(r))
            return;
    QList<PropertyRow> rows;
    for (const Row& r : m_rows)
        rows.append(r.row);
    ReadPropertyRows(rows, *this);
    QDialog::accept();
}
