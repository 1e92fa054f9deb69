#include "workstation/journaldlg.h"

#include "journal/journal.h"
#include "journal/journalcsv.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "ui/touchscroll.h"

#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Every column as wide as its contents in the font of the moment (the screen's scale), the
// product's name taking the room that is left, so that all columns show at every scale.
QTableWidget* MakeTable(const QStringList& header, QWidget* parent) {
    auto* t = new QTableWidget(0, int(header.size()), parent);
    t->setHorizontalHeaderLabels(header);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    QHeaderView* columns = t->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::ResizeToContents);
    const int name = int(header.indexOf(QStringLiteral("Товар")));
    if (name >= 0)
        columns->setSectionResizeMode(name, QHeaderView::Stretch);
    return t;
}

void Fill(QTableWidget* t, const QList<QStringList>& lines) {
    t->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r)
        for (int c = 0; c < lines[r].size(); ++c)
            t->setItem(r, c, new QTableWidgetItem(lines[r][c]));
    t->resizeColumnsToContents();
}
} // namespace

CJournalDlg::CJournalDlg(CJournal& journal, std::function<bool(const JournalRow&)> reprint,
                         QWidget* parent)
    : QDialog(parent), m_journal(journal), m_reprint(std::move(reprint)) {
    setWindowTitle(QStringLiteral("Журнал фасовки"));
    // The calendar of the date field names months and days in the operator's language.
    setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_pDate = new QDateEdit(this);
    m_pDate->setObjectName(QStringLiteral("journalDate"));
    m_pDate->setCalendarPopup(true);
    m_pDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    m_pRows = MakeTable(CJournalDay::RowHeader(), this);
    m_pRows->setObjectName(QStringLiteral("journalRows"));
    m_pTotals = MakeTable(CJournalDay::TotalHeader(), this);
    m_pTotals->setObjectName(QStringLiteral("journalTotals"));
    m_pTotals->setFocusPolicy(Qt::NoFocus);
    // A day's labels are many: a finger swipes through them.
    EnableSwipeScrolling(m_pRows);
    EnableSwipeScrolling(m_pTotals);
    m_pGrand = new QLabel(this);
    m_pError = new QLabel(this);
    m_pError->setObjectName(QStringLiteral("journalError"));
    m_pError->setWordWrap(true);
    m_pError->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_pError->hide();
    m_pReprint = new QPushButton(QStringLiteral("Повторить"), this);
    m_pReprint->setObjectName(QStringLiteral("journalReprint"));
    // Enter reprints the selected label, as Enter prints on the main screen.
    m_pReprint->setDefault(true);
    auto* exportButton = new QPushButton(QStringLiteral("Экспорт..."), this);
    exportButton->setObjectName(QStringLiteral("journalExport"));
    exportButton->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Дата:"), this));
    top->addWidget(m_pDate);
    top->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pReprint);
    buttons->addWidget(exportButton);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_pError);
    layout->addWidget(m_pRows, 3);
    layout->addWidget(new QLabel(QStringLiteral("Итоги по товарам (без повторов):"), this));
    layout->addWidget(m_pTotals, 2);
    layout->addWidget(m_pGrand);
    layout->addLayout(buttons);
    resize(760, 560);

    connect(m_pDate, &QDateEdit::dateChanged, this, &CJournalDlg::ShowDay);
    connect(m_pReprint, &QPushButton::clicked, this, &CJournalDlg::Reprint);
    connect(exportButton, &QPushButton::clicked, this, &CJournalDlg::Export);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    const QDate today = platform::Now().date();
    m_pDate->setDate(today);
    ShowDay(today);
    m_pRows->setFocus();
}

void CJournalDlg::ShowDay(const QDate& day) {
    m_day.Load(m_journal, day);
    QList<QStringList> rows;
    for (const JournalRow& r : m_day.Rows())
        rows.append(CJournalDay::RowCells(r));
    Fill(m_pRows, rows);
    QList<QStringList> totals;
    for (const JournalTotal& t : m_day.Totals())
        totals.append(CJournalDay::TotalCells(t));
    Fill(m_pTotals, totals);
    m_pGrand->setText(CJournalDay::GrandText(m_day.Grand()));
    // Totals of a journal that could not be read all are no totals: the reason stands above.
    m_pError->setText(m_day.Error());
    m_pError->setVisible(!m_day.Error().isEmpty());
    if (!rows.isEmpty())
        m_pRows->selectRow(0);
    m_pReprint->setEnabled(!rows.isEmpty());
}

QString CJournalDlg::GrandText() const {
    return m_pGrand->text();
}

QString CJournalDlg::ErrorText() const {
    return m_pError->text();
}

void CJournalDlg::Reprint() {
    const int row = m_pRows->currentRow();
    if (row < 0 || row >= m_day.Rows().size() || !m_reprint)
        return;
    if (m_reprint(m_day.Rows()[row]))
        ShowDay(m_day.Day());
}

void CJournalDlg::Export() {
    const QString name =
        QStringLiteral("Журнал %1.csv").arg(m_day.Day().toString(QStringLiteral("yyyy-MM-dd")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт журнала"), name,
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        ExportTo(path);
}

bool CJournalDlg::ExportTo(const QString& path) {
    QList<JournalRow> oldestFirst(m_day.Rows().crbegin(), m_day.Rows().crend());
    QList<QDateTime> shifts(m_day.Shifts().crbegin(), m_day.Shifts().crend());
    const platform::WriteResult written =
        platform::WriteFileAtomically(path, journalcsv::Rows(oldestFirst, shifts));
    if (written.ok())
        return true;
    platform::ReportMessage(platform::FileErrorText(written.error, path), platform::ErrorCaption(),
                            platform::MessageIcon::Stop, this);
    return false;
}
