#include "workstation/varnetdlg.h"

#include "app/errorboundary.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
} // namespace

CVarnetDlg::CVarnetDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Ведант"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    resize(kScreenWidth, kScreenHeight);
    if (CVarnetApp* app = CVarnetApp::Instance())
        app->SetMainScreen(this);
}

CVarnetDlg::~CVarnetDlg() {
    if (CVarnetApp* app = CVarnetApp::Instance(); app && app->MainScreen() == this)
        app->SetMainScreen(nullptr);
}

void CVarnetDlg::ConnectScale() {
    // The screen has no scale of its own yet.
}

void CVarnetDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    PlaceAtScreenCentre();
    // The database comes last, once the screen is up: a server that cannot be reached
    // costs one message box over the screen and nothing else.
    QTimer::singleShot(0, this, &CVarnetDlg::OnInitDialog);
}

void CVarnetDlg::OnInitDialog() {
    if (CVarnetApp* app = CVarnetApp::Instance())
        ReportDatabaseErrors(this, [app] { app->ConnectDatabase(); });
}

void CVarnetDlg::PlaceAtScreenCentre() {
    // The window with its frame takes 800 by 600 pixels.
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    resize(kScreenWidth - frameExtra.width(), kScreenHeight - frameExtra.height());
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kScreenWidth / 2, kScreenHeight / 2));
    }
}

void CVarnetDlg::keyPressEvent(QKeyEvent* event) {
    // Escape and Enter belong to the keypad; they never close the screen.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CVarnetDlg::reject() {
    // Only the window's close command ends the screen (see closeEvent).
}

void CVarnetDlg::closeEvent(QCloseEvent* event) {
    event->accept();
    done(QDialog::Rejected);
}
