// The about box: the program's icon and the version it was built as, and the window action
// that opens it.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// "Varnet v 1.2.3.4" for the four version parts.
QString AboutVersionText(unsigned nMajor, unsigned nMinor, unsigned nPatch, unsigned nTweak);
// The same for the version this program was built as.
QString CompiledVersionText();

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString VersionText() const;

private:
    QLabel* m_pVersion = nullptr;
};

// Gives `window` the context-menu action "&О проекте Varnet..." that opens the about box
// over it. The window's context menu then lists its actions (Qt::ActionsContextMenu).
void AddAboutAction(QWidget* window);
