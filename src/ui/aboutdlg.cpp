#include "ui/aboutdlg.h"

#include "ui/resources.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString AboutVersionText(unsigned nMajor, unsigned nMinor, unsigned nPatch, unsigned nTweak) {
    return QStringLiteral("Varnet v %1.%2.%3.%4").arg(nMajor).arg(nMinor).arg(nPatch).arg(nTweak);
}

QString CompiledVersionText() {
    // A project version with fewer than four parts leaves the missing ones empty; "+ 0"
    // turns an empty part into 0.
    return AboutVersionText(VARNET_VERSION_MAJOR + 0, VARNET_VERSION_MINOR + 0,
                            VARNET_VERSION_PATCH + 0, VARNET_VERSION_TWEAK + 0);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("О проекте Varnet"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(VarnetIcon(128).pixmap(32, 32));
    icon->setFixedSize(32, 32);

    m_pVersion = new QLabel(CompiledVersionText(), this);
    m_pVersion->setObjectName(QStringLiteral("version"));
    m_pVersion->setTextFormat(Qt::PlainText);

    auto* ok = new QPushButton(QStringLiteral("ОК"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addWidget(m_pVersion, 1, Qt::AlignTop);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 12, 12);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(bottom);
    setMinimumWidth(255);
    ok->setFocus();
}

QString CAboutDlg::VersionText() const {
    return m_pVersion->text();
}

void AddAboutAction(QWidget* window) {
    auto* action = new QAction(QStringLiteral("&О проекте Varnet..."), window);
    action->setObjectName(QStringLiteral("aboutAction"));
    QObject::connect(action, &QAction::triggered, window, [window] {
        // Opened without a nested event loop of its own; it blocks input to the window
        // while shown and deletes itself when closed.
        auto* dlg = new CAboutDlg(window);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    });
    window->addAction(action);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
}
