#include "catalogue/cgrid.h"

#include "platform/messages.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

Qt::Alignment Alignment(unsigned format) {
    switch (format) {
    case DT_CENTER:
        return Qt::AlignHCenter;
    case DT_RIGHT:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

// Rows are only a count; every cell asks the grid, which reads the record set's block.
class CGridModel : public QAbstractTableModel {
public:
    explicit CGridModel(CGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_grid->ColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return QVariant();
        if (role == Qt::DisplayRole)
            return m_grid->CellTextAt(index.row(), index.column());
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Alignment(m_grid->Column(index.column()).nTextFormat) |
                                       Qt::AlignVCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_headings.size())
            return QVariant();
        if (role == Qt::DisplayRole)
            return m_headings[section];
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Alignment(m_headerFormats[section]) | Qt::AlignVCenter);
        return QVariant();
    }

    void SetRows(int rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    void AppendRows(int rows) {
        if (rows <= m_rows)
            return;
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    void InsertColumn(int index, const QString& heading, unsigned format) {
        beginInsertColumns(QModelIndex(), index, index);
        m_headings.insert(index, heading);
        m_headerFormats.insert(index, format);
        endInsertColumns();
    }

private:
    CGrid* m_grid;
    int m_rows = 0;
    QStringList m_headings;
    QList<unsigned> m_headerFormats;
};

namespace {

// Paints a cell as a piece of its row: the row's background, then the text without its
// surrounding blanks, 6 pixels in from the cell's edges, on one line.
class CGridDelegate : public QStyledItemDelegate {
public:
    explicit CGridDelegate(CGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, m_grid->RowColor(index.row(), selected));
        const QString text = m_grid->CellTextAt(index.row(), index.column()).trimmed();
        if (text.isEmpty())
            return;
        const QRect r = option.rect.adjusted(6, 0, -6, 0);
        painter->save();
        painter->setClipRect(option.rect);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(r,
                          static_cast<int>(Alignment(m_grid->Column(index.column()).nTextFormat) |
                                           Qt::AlignVCenter | Qt::TextSingleLine),
                          text);
        painter->restore();
    }

private:
    CGrid* m_grid;
};

} // namespace

CGrid::CGrid(QWidget* parent) : QTableView(parent), m_model(new CGridModel(this)) {
    setModel(m_model);
    setItemDelegate(new CGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CGrid::OnSelectionChanged);
}

CGrid::~CGrid() {
    // The count's thread ends first; the record set goes before the model that still refers
    // to it.
    m_counter.reset();
    m_pRowset = nullptr;
    m_rowset.reset();
}

void CGrid::AddColumn(int index, const QString& heading, unsigned headerFormat, int width,
                      unsigned textFormat) {
    index = qBound(0, index, ColumnCount());
    tagColumn column;
    column.nTextFormat = textFormat;
    m_aColumns.insert(m_aColumns.begin() + index, column);
    m_model->InsertColumn(index, heading, headerFormat);
    setColumnWidth(index, width);
}

void CGrid::AttachRowset(std::unique_ptr<CGridRowset> rowset) {
    m_counter.reset();
    ++m_nCountTicket;
    m_pRowset = nullptr;
    m_rowset = std::move(rowset);
    m_pRowset = m_rowset.get();
    SetRowCount(0);
    if (!m_pRowset)
        return;
    m_pRowset->SetRowsetSize(100);
    m_pRowset->SetCountLater(m_pRowset->BlockStatements());
    if (m_pRowset->IsOpen())
        m_pRowset->Close();
    m_pRowset->Open();
    SetRowCount(m_pRowset->m_nRowCount);
    RequestCount();
}

void CGrid::RequestCount() {
    // Whatever count is on its way belongs to an earlier result.
    ++m_nCountTicket;
    if (!m_pRowset || !m_pRowset->IsOpen() || m_pRowset->CountKnown())
        return;
    if (!m_counter)
        m_counter = std::make_unique<CRowCounter>(
            m_pRowset->Database().ConnectionString(), this,
            [this](quint64 ticket, int count, const QString& error) {
                OnCounted(ticket, count, error);
            },
            [this](quint64 ticket, QList<CGridRowset::Anchor> a) {
                if (ticket == m_nCountTicket && m_pRowset && m_pRowset->IsOpen())
                    m_pRowset->SetAnchors(std::move(a));
            });
    m_counter->Request(m_nCountTicket, m_pRowset->CountStatement(), m_pRowset->AnchorStatement());
}

void CGrid::OnCounted(quint64 ticket, int count, const QString& error) {
    if (ticket != m_nCountTicket || !m_pRowset || !m_pRowset->IsOpen())
        return;
    if (!error.isEmpty()) {
        // The count's own connection failed: the count is made here, as without a thread.
        try {
            count = m_pRowset->CountRows();
        } catch (const platform::odbc::DatabaseError& e) {
            ReportLater(e.Text());
            return;
        }
    }
    m_pRowset->SetCountedRows(count);
    FollowRowCount();
}

void CGrid::FollowRowCount() {
    m_bFollowPending = false;
    const int count = m_pRowset && m_pRowset->IsOpen() ? m_pRowset->m_nRowCount : 0;
    if (count > m_model->rowCount()) {
        m_model->AppendRows(count);
        return;
    }
    if (count == m_model->rowCount())
        return;
    // Rows went away between the statements: the list shrinks, the selection stays inside.
    const int selected = m_nSelected;
    SetRowCount(count);
    m_nSelected = SelectedAfterRefresh(selected, count);
    if (m_nSelected >= 0)
        selectionModel()->setCurrentIndex(m_model->index(m_nSelected, 0),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    if (m_nSelected != selected)
        Q_EMIT SelectedRowChanged(m_nSelected);
}

bool CGrid::Refresh() {
    if (!m_pRowset)
        return true;
    const int selected = m_nSelected;
    try {
        m_pRowset->Requery();
    } catch (...) {
        ++m_nCountTicket;
        SetRowCount(m_pRowset->IsOpen() ? m_pRowset->m_nRowCount : 0);
        throw;
    }
    SetRowCount(m_pRowset->m_nRowCount);
    RequestCount();
    m_nSelected = SelectedAfterRefresh(selected, m_pRowset->m_nRowCount);
    if (m_nSelected >= 0) {
        const QModelIndex index = m_model->index(m_nSelected, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    }
    if (m_nSelected != selected)
        Q_EMIT SelectedRowChanged(m_nSelected);
    viewport()->update();
    return true;
}

void CGrid::SelectFirstRow() {
    if (m_model->rowCount() == 0)
        return;
    const QModelIndex first = m_model->index(0, 0);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollToTop();
}

void CGrid::SetRowCount(int count) {
    // A reset forgets the selection; Refresh puts it back.
    const QSignalBlocker block(selectionModel());
    m_model->SetRows(count);
}

QString CGrid::CellTextAt(int row, int column) {
    if (!m_pRowset || column < 0 || column >= ColumnCount())
        return QString();
    if (!m_pRowset->IsOpen())
        return QString();
    const tagColumn& c = Column(column);
    if (c.nType == COL_NONE || !c.ppLengths)
        return QString();
    if (!m_pRowset->IsRowCached(row)) {
        try {
            m_pRowset->EnsureRowCached(row);
        } catch (const platform::odbc::DatabaseError& e) {
            ReportLater(e.Text());
            return QString();
        }
        // Reading a block of a result not yet counted may show that it has more rows (or
        // fewer) than the list holds; the list follows once painting is over.
        if (m_pRowset->m_nRowCount != m_model->rowCount() && !m_bFollowPending) {
            m_bFollowPending = true;
            QTimer::singleShot(0, this, &CGrid::FollowRowCount);
        }
        if (!m_pRowset->IsRowCached(row))
            return QString();
    }
    return CellText(c, row - m_pRowset->m_nFirstRow);
}

QColor CGrid::RowColor(int row, bool selected) const {
    if (m_pfnRowColor && m_pRowset && m_pRowset->IsRowCached(row))
        return m_pfnRowColor(m_pRowset, row - m_pRowset->m_nFirstRow, selected);
    return selected ? QColor(150, 200, 255) : QColor(255, 255, 255);
}

void CGrid::paintEvent(QPaintEvent* event) {
    // The list control's cache hint: the rows about to be painted.
    if (m_pRowset && m_pRowset->IsOpen() && m_model->rowCount() > 0) {
        const int from = rowAt(0);
        int to = rowAt(viewport()->height() - 1);
        if (to < 0)
            to = m_model->rowCount() - 1;
        if (from >= 0) {
            try {
                CacheHint(*m_pRowset, from, to);
            } catch (const platform::odbc::DatabaseError& e) {
                ReportLater(e.Text());
            }
        }
    }
    QTableView::paintEvent(event);
}

QModelIndex CGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = m_model->rowCount();
    if (rows > 0 && (action == MoveHome || action == MoveEnd))
        return m_model->index(action == MoveHome ? 0 : rows - 1, qMax(0, currentIndex().column()));
    return QTableView::moveCursor(action, modifiers);
}

void CGrid::OnSelectionChanged() {
    const QModelIndexList rows = selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    if (row == m_nSelected)
        return;
    m_nSelected = row;
    Q_EMIT SelectedRowChanged(row);
}

void CGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    // A double click confirms as the Enter key does.
    QCoreApplication::postEvent(window(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
}

void CGrid::ReportLater(const QString& text) {
    if (m_bErrorPending)
        return;
    m_bErrorPending = true;
    QTimer::singleShot(0, this, [this, text] {
        platform::ReportMessage(text, platform::ErrorCaption(), platform::MessageIcon::Stop,
                                window());
        m_bErrorPending = false;
    });
}
