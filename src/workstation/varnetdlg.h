// The main screen of the workstation: a modal dialog that lives while the program runs and
// closes only by the window's close command.
#pragma once

#include "app/varnetapp.h"

#include <QDialog>

class CVarnetDlg : public QDialog, public IMainScreen {
    Q_OBJECT

public:
    explicit CVarnetDlg(QWidget* parent = nullptr);
    ~CVarnetDlg() override;

    void ConnectScale() override;
    QWidget* Window() override { return this; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void OnInitDialog();
    void PlaceAtScreenCentre();

    bool m_bInitialised = false;
};
