// «Итоги смены»: the operator's current shift per product and the whole counter's day, and
// «Закрыть смену», which starts a new shift and is recorded in the journal. The figures come
// from ShiftReport; the dialog only shows them.
#pragma once

#include "journal/journalshift.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QTableWidget;
class CJournal;

class CShiftDlg : public QDialog {
    Q_OBJECT
public:
    CShiftDlg(CJournal& journal, const QString& account, QWidget* parent = nullptr);

    // Reads the journal again and shows what it says now.
    void Reload();
    const ShiftReport& Report() const { return m_report; }
    // «Закрыть смену»: a first press asks for a second one within a few seconds, so that a
    // finger that slips closes no shift.
    void OnCloseShiftKey();

    QTableWidget* ShiftTable() const { return m_pShift; }
    QTableWidget* DayTable() const { return m_pDay; }
    QPushButton* CloseShiftKey() const { return m_pCloseShift; }
    QString HeadingText() const;
    QString ShiftGrandText() const;
    QString DayGrandText() const;
    QString NoteText() const;

    // How long a first press of «Закрыть смену» waits for the second.
    static constexpr int kConfirmMs = 5000;

private:
    void Disarm();

    CJournal& m_journal;
    QString m_account;
    ShiftReport m_report;
    QLabel* m_pHeading = nullptr;
    QTableWidget* m_pShift = nullptr;
    QLabel* m_pShiftGrand = nullptr;
    QLabel* m_pDayHeading = nullptr;
    QTableWidget* m_pDay = nullptr;
    QLabel* m_pDayGrand = nullptr;
    QLabel* m_pNote = nullptr;
    QPushButton* m_pCloseShift = nullptr;
    QTimer m_confirm;
};
