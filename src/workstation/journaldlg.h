// "Журнал фасовки": the labels of a day newest first, the totals per product, a reprint of
// the selected label and the export of the day to CSV. The day's figures come from
// CJournalDay; the dialog only shows them.
#pragma once

#include "journal/journalday.h"

#include <QDialog>

#include <functional>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class CJournal;

class CJournalDlg : public QDialog {
    Q_OBJECT
public:
    // reprint prints a row again; true when it printed.
    CJournalDlg(CJournal& journal, std::function<bool(const JournalRow&)> reprint,
                QWidget* parent = nullptr);

    void ShowDay(const QDate& day);
    const CJournalDay& Day() const { return m_day; }
    // Writes the day's labels as CSV; false (and the operator told) when it cannot.
    bool ExportTo(const QString& path);

    QTableWidget* RowsTable() const { return m_pRows; }
    QTableWidget* TotalsTable() const { return m_pTotals; }
    QString GrandText() const;
    // The journal's read error as the dialog shows it above the totals; empty when none.
    QString ErrorText() const;

private:
    void Reprint();
    void Export();

    CJournal& m_journal;
    std::function<bool(const JournalRow&)> m_reprint;
    CJournalDay m_day;
    QDateEdit* m_pDate = nullptr;
    QTableWidget* m_pRows = nullptr;
    QTableWidget* m_pTotals = nullptr;
    QLabel* m_pGrand = nullptr;
    QLabel* m_pError = nullptr;
    QPushButton* m_pReprint = nullptr;
};
