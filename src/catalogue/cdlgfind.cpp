#include "catalogue/cdlgfind.h"

#include "app/errorboundary.h"
#include "app/varnetapp.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDlgFind::CDlgFind(QWidget* parent)
    : QDialog(parent), m_grid(nullptr), m_edit(nullptr), m_orderBox(nullptr) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 3, 5, 3);
    layout->setSpacing(2);
    auto* listFrame = new QGroupBox(this);
    auto* listLayout = new QVBoxLayout(listFrame);
    listLayout->setContentsMargins(4, 4, 4, 4);
    m_grid = new CGrid(listFrame);
    m_grid->setObjectName(QStringLiteral("list1065"));
    listLayout->addWidget(m_grid);
    m_orderBox = new QGroupBox(QStringLiteral("По ..."), this);
    m_orderBox->setObjectName(QStringLiteral("group1066"));
    auto* editLayout = new QVBoxLayout(m_orderBox);
    editLayout->setContentsMargins(4, 2, 4, 4);
    m_edit = new QLineEdit(m_orderBox);
    m_edit->setObjectName(QStringLiteral("edit1062"));
    editLayout->addWidget(m_edit);
    layout->addWidget(listFrame, 1);
    layout->addWidget(m_orderBox);
    {
        // For a touch screen without a keyboard: a finger chooses the row and takes it, or
        // leaves. The keys keep the focus where the keyboard had it.
        auto* buttons = new QHBoxLayout;
        m_buttons = buttons;
        auto* choose = new QPushButton(QStringLiteral("Выбрать"), this);
        choose->setObjectName(QStringLiteral("chooseButton"));
        auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        for (QPushButton* b : {choose, cancel}) {
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoDefault(false);
            b->setMinimumHeight(fontMetrics().height() * 2);
        }
        buttons->addStretch(1);
        buttons->addWidget(choose);
        buttons->addWidget(cancel);
        layout->addLayout(buttons);
        // Taking the row goes the way of the Enter key, with its checks.
        connect(choose, &QPushButton::clicked, this, [this] {
            QCoreApplication::postEvent(
                this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    // The edit box is the first tab stop and has the focus when the dialog opens.
    setTabOrder(m_edit, m_grid);
    m_edit->setFocus();
    resize(570, 426);

    m_edit->installEventFilter(this);
    m_grid->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &CDlgFind::OnFilterChange);
}

CDlgFind::~CDlgFind() = default;

QPushButton* CDlgFind::AddButton(const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setMinimumHeight(fontMetrics().height() * 2);
    // After the stretch, before "Выбрать" and "Отмена".
    m_buttons->insertWidget(1, button);
    return button;
}

void CDlgFind::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
        m_edit->setFocus();
    }
    QDialog::showEvent(event);
}

void CDlgFind::OnInitDialog() {
    setWindowIcon(QIcon(QStringLiteral(":/icons/153.svg")));
    setWindowTitle(m_strTitle);
}

void CDlgFind::OnOK() {
    accept();
}

void CDlgFind::SetSearchOrder(int order) {
    CGridRowset* rowset = m_grid->m_pRowset;
    if (!rowset)
        return;
    m_orderBox->setTitle(rowset->SetSearchOrder(order));
    if (!RecoverConnection())
        return;
    ReportDatabaseErrors(this, [&] { m_grid->Refresh(); });
}

bool CDlgFind::RecoverConnection() {
    CGridRowset* rowset = m_grid->m_pRowset;
    if (!rowset->Database().IsLost())
        return true;
    rowset->Close();
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app || &app->m_db != &rowset->Database())
        return false;
    bool connected = false;
    ReportDatabaseErrors(this, [&] { connected = app->ConnectDatabase(); });
    return connected;
}

void CDlgFind::OnFilterChange() {
    CGridRowset* rowset = m_grid->m_pRowset;
    if (!rowset)
        return;
    rowset->m_strFilterParam = m_edit->text() + QLatin1Char('%');
    if (!RecoverConnection())
        return;
    ReportDatabaseErrors(this, [&] {
        m_grid->Refresh();
        m_grid->SelectFirstRow();
    });
}

bool CDlgFind::PreTranslateMessage(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        CGridRowset* rowset = m_grid->m_pRowset;
        if (rowset && rowset->SearchOrderCount() > 0) {
            const int count = rowset->SearchOrderCount();
            const bool back =
                key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
            int order = rowset->m_nSearchOrder + (back ? -1 : 1);
            if (order >= count)
                order = 0;
            if (order < 0)
                order = count - 1;
            SetSearchOrder(order);
        }
        return true; // Tab never moves the focus here
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (m_grid->hasFocus())
            return false;
        m_grid->setFocus();
        Forward(m_grid, key);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        break;
    }
    const QString text = key->text();
    const bool typed = !text.isEmpty() && (text[0].isPrint() || text[0] == QLatin1Char('\b')) &&
                       !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (typed && !m_edit->hasFocus()) {
        m_edit->setFocus();
        Forward(m_edit, key);
        return true;
    }
    return false;
}

void CDlgFind::Forward(QWidget* target, const QKeyEvent* key) {
    auto* copy = new QKeyEvent(key->type(), key->key(), key->modifiers(), key->text(),
                               key->isAutoRepeat(), static_cast<quint16>(key->count()));
    m_pForwarded = copy;
    QCoreApplication::postEvent(target, copy);
}

bool CDlgFind::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_edit || watched == m_grid) && event->type() == QEvent::KeyPress) {
        // A key this dialog handed on arrives where it was sent.
        if (event == m_pForwarded) {
            m_pForwarded = nullptr;
            return false;
        }
        return PreTranslateMessage(static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgFind::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
