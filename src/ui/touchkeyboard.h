// A Russian on-screen keyboard for the text fields of the program's dialogs, for a counter
// without a keyboard: ЙЦУКЕН with digits, backspace, space, Enter, a shift key and a Latin layout
// (for server and account names). A press of a finger (or the mouse) on a text field opens it
// at the bottom of that field's dialog, which grows to make room and stays on the screen; it
// types into the field by key events, so the field's validator and length limit apply.
// "Скрыть" closes it and gives the dialog its size and place back.
#pragma once

#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QLineEdit;

class CTouchKeyboard : public QWidget {
    Q_OBJECT

public:
    // Special keys by their captions.
    static const QString kBackspace; // "⌫"
    static const QString kShift;     // "⇧"
    static const QString kSpace;     // "Пробел"
    static const QString kEnter;     // "Ввод": the Enter key, which takes what was typed
    static const QString kHide;      // "Скрыть"
    static const QString kLatin;     // "EN": switches to the Latin layout
    static const QString kCyrillic;  // "РУ": switches back

    // From now on a press on a text field of any dialog opens the keyboard for it.
    static void Install();
    // The keyboard of the field's dialog, opened for the field.
    static CTouchKeyboard* OpenFor(QLineEdit* field);
    // The keyboard of a window, when one was opened there.
    static CTouchKeyboard* Of(const QWidget* window);

    // The rows of the layout by the keys' captions (letters in lower case).
    static QList<QStringList> Rows(bool latin);

    QLineEdit* Target() const;
    bool IsLatin() const { return m_bLatin; }
    bool IsShifted() const { return m_bShift; }
    // The key with this caption as it shows now (a letter in the case it types), or null.
    QAbstractButton* KeyFor(const QString& caption) const;
    // Closes the keyboard; the dialog gets its size and place back.
    void Close();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CTouchKeyboard(QWidget* window);
    void Attach(QLineEdit* field);
    void BuildKeys();
    void Place();
    void MakeRoom();
    void GiveRoomBack();
    void Press(const QString& token);
    void SendKey(int key, const QString& text);
    int RowHeight() const;
    int KeyboardHeight() const;

    QWidget* m_pWindow;
    QPointer<QLineEdit> m_pTarget;
    bool m_bLatin = false;
    bool m_bShift = false;
    QList<QList<QAbstractButton*>> m_rows;
    // The window as it was before the keyboard made room in it.
    bool m_bRoomMade = false;
    QRect m_rcSaved;
    QSize m_szMin;
    QSize m_szMax;
    QMargins m_layoutMargins;
    int m_nHeight = 0;
};
