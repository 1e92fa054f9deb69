// The list of the product search: a table view over a model that holds no rows. It knows
// only the row count; each cell's text comes from the record set's block when the cell is
// painted, and the block moves as the view scrolls.
#pragma once

#include "catalogue/gridcolumn.h"
#include "catalogue/rowcounter.h"

#include <QColor>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

class CGridModel;

class CGrid : public QTableView {
    Q_OBJECT

public:
    explicit CGrid(QWidget* parent = nullptr);
    ~CGrid() override;

    // Inserts a column with its heading (header alignment DT_LEFT, DT_CENTER or DT_RIGHT),
    // width in pixels and the alignment of its cells; the owner fills the descriptor then.
    void AddColumn(int index, const QString& heading, unsigned headerFormat, int width,
                   unsigned textFormat);
    tagColumn& Column(int index) { return m_aColumns[static_cast<size_t>(index)]; }
    int ColumnCount() const { return static_cast<int>(m_aColumns.size()); }

    // Takes the record set over (replacing and deleting any earlier one), opens it with
    // blocks of 100 rows and shows its row count. Database errors propagate. A record set of
    // block statements shows its first rows before it is counted: the list is as long as
    // the rows known and grows when the count, made on a thread of its own, is in.
    void AttachRowset(std::unique_ptr<CGridRowset> rowset);
    // Runs the query again and shows the new row count; the selection stays within the
    // rows. Database errors propagate.
    bool Refresh();
    // Selects and shows the first row, as the Home key does.
    void SelectFirstRow();

    // The text of a cell as the list shows it, moving the block when the row is outside.
    QString CellTextAt(int row, int column);
    // The background of a row; selected rows are light blue.
    QColor RowColor(int row, bool selected) const;

    CGridRowset* m_pRowset = nullptr;
    int m_nSelected = -1;
    std::function<QColor(CGridRowset*, int blockRow, bool selected)> m_pfnRowColor;

Q_SIGNALS:
    // The selected row changed (the row, or -1 when none).
    void SelectedRowChanged(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Home and End go to the first and last row, as in a list.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void SetRowCount(int count);
    // Counting later: asks for the count of the current result, unless the rows known are
    // all there are.
    void RequestCount();
    void OnCounted(quint64 ticket, int count, const QString& error);
    // The list takes the record set's row count: growing keeps the selection and the
    // scroll position.
    void FollowRowCount();
    void OnSelectionChanged();
    // A database error inside painting is shown once painting is over, and only once for
    // a run of failing cells.
    void ReportLater(const QString& text);

    std::unique_ptr<CGridRowset> m_rowset;
    std::vector<tagColumn> m_aColumns;
    CGridModel* m_model = nullptr;
    bool m_bErrorPending = false;
    bool m_bFollowPending = false;
    std::unique_ptr<CRowCounter> m_counter;
    quint64 m_nCountTicket = 0;
};
