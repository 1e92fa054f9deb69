#include "workstation/shiftdlg.h"

#include "journal/journal.h"
#include "journal/journalday.h"
#include "platform/clock.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QTableWidget* MakeTable(QWidget* parent, const QString& name) {
    const QStringList header = CJournalDay::TotalHeader();
    auto* t = new QTableWidget(0, int(header.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(header);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return t;
}

void Fill(QTableWidget* t, const QList<JournalTotal>& totals) {
    t->setRowCount(int(totals.size()));
    for (int r = 0; r < totals.size(); ++r) {
        const QStringList cells = CJournalDay::TotalCells(totals[r]);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
    }
    for (int c = 0; c < t->columnCount(); ++c)
        if (c != 1)
            t->resizeColumnToContents(c);
}

const QString kCloseShift = QStringLiteral("Закрыть смену");
} // namespace

CShiftDlg::CShiftDlg(CJournal& journal, const QString& account, QWidget* parent)
    : QDialog(parent), m_journal(journal), m_account(account) {
    setWindowTitle(QStringLiteral("Итоги смены"));
    m_pHeading = new QLabel(this);
    m_pHeading->setObjectName(QStringLiteral("shiftHeading"));
    QFont bold = m_pHeading->font();
    bold.setBold(true);
    m_pHeading->setFont(bold);
    m_pShift = MakeTable(this, QStringLiteral("shiftTotals"));
    m_pShiftGrand = new QLabel(this);
    m_pDayHeading = new QLabel(this);
    m_pDayHeading->setFont(bold);
    m_pDay = MakeTable(this, QStringLiteral("dayTotals"));
    m_pDayGrand = new QLabel(this);
    m_pNote = new QLabel(this);
    m_pNote->setObjectName(QStringLiteral("shiftNote"));
    m_pNote->setWordWrap(true);
    m_pNote->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_pNote->hide();
    m_pCloseShift = new QPushButton(kCloseShift, this);
    m_pCloseShift->setObjectName(QStringLiteral("closeShift"));
    m_pCloseShift->setAutoDefault(false);
    auto* done = new QPushButton(QStringLiteral("Готово"), this);
    done->setObjectName(QStringLiteral("shiftDone"));
    done->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pCloseShift);
    buttons->addStretch();
    buttons->addWidget(done);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pHeading);
    layout->addWidget(m_pShift, 3);
    layout->addWidget(m_pShiftGrand);
    layout->addSpacing(8);
    layout->addWidget(m_pDayHeading);
    layout->addWidget(m_pDay, 2);
    layout->addWidget(m_pDayGrand);
    layout->addWidget(m_pNote);
    layout->addLayout(buttons);
    resize(700, 520);

    m_confirm.setSingleShot(true);
    m_confirm.setInterval(kConfirmMs);
    connect(&m_confirm, &QTimer::timeout, this, &CShiftDlg::Disarm);
    connect(m_pCloseShift, &QPushButton::clicked, this, &CShiftDlg::OnCloseShiftKey);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    Reload();
}

void CShiftDlg::Reload() {
    m_report = ShiftReport::Load(m_journal, m_account, platform::Now());
    m_pHeading->setText(m_report.Heading());
    Fill(m_pShift, m_report.totals);
    m_pShiftGrand->setText(CJournalDay::GrandText(m_report.grand));
    m_pDayHeading->setText(QStringLiteral("Весь прилавок за %1")
                               .arg(m_report.day.toString(QStringLiteral("dd.MM.yyyy"))));
    Fill(m_pDay, m_report.dayTotals);
    m_pDayGrand->setText(CJournalDay::GrandText(m_report.dayGrand));
    // Totals of a journal that could not be read all are no totals: the reason stands below.
    m_pNote->setText(m_report.error);
    m_pNote->setVisible(!m_report.error.isEmpty());
}

void CShiftDlg::OnCloseShiftKey() {
    if (!m_confirm.isActive()) {
        m_confirm.start();
        m_pCloseShift->setText(QStringLiteral("Нажмите ещё раз: закрыть смену"));
        return;
    }
    Disarm();
    m_journal.CloseShift(ShiftClose::Make(m_account, platform::Now()));
    Reload();
}

void CShiftDlg::Disarm() {
    m_confirm.stop();
    m_pCloseShift->setText(kCloseShift);
}

QString CShiftDlg::HeadingText() const {
    return m_pHeading->text();
}
QString CShiftDlg::ShiftGrandText() const {
    return m_pShiftGrand->text();
}
QString CShiftDlg::DayGrandText() const {
    return m_pDayGrand->text();
}
QString CShiftDlg::NoteText() const {
    return m_pNote->text();
}
