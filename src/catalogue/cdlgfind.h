// A find dialog: a search text, a list that filters as the operator types, and search
// orders cycled with Tab. Typing always goes to the search text and the navigation keys
// always move in the list, whichever of the two has the focus.
#pragma once

#include "catalogue/cgrid.h"

#include <QDialog>

class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

class CDlgFind : public QDialog {
    Q_OBJECT

public:
    explicit CDlgFind(QWidget* parent = nullptr);
    ~CDlgFind() override;

    CGrid* Grid() const { return m_grid; }
    QLineEdit* Edit() const { return m_edit; }
    QGroupBox* OrderBox() const { return m_orderBox; }
    // A key of the dialog's own beside "Выбрать", for a finger (it never takes the focus).
    QPushButton* AddButton(const QString& text);

    QString m_strTitle;
    QString m_strBaseFilter;

protected:
    // Called once, when the dialog is first shown.
    virtual void OnInitDialog();
    // Enter: the generic dialog simply confirms.
    virtual void OnOK();
    void SetSearchOrder(int order);
    void OnFilterChange();

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Routes one key before the control that has the focus sees it; true when consumed.
    bool PreTranslateMessage(QKeyEvent* key);
    // Before a search runs again: when the list's connection lost its server, the list lets
    // go of its statements and the application connects afresh. False when it cannot (the
    // operator has seen why).
    bool RecoverConnection();
    // Posts a copy of key to target, past this routing.
    void Forward(QWidget* target, const QKeyEvent* key);

    CGrid* m_grid;
    QLineEdit* m_edit;
    QGroupBox* m_orderBox;
    QHBoxLayout* m_buttons = nullptr;
    bool m_bInitialised = false;
    const QEvent* m_pForwarded = nullptr;
};
