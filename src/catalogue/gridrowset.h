// A read-only window onto the rows of one table for a virtual list: a filter with one LIKE
// parameter, search orders, a row count from COUNT(*), and a block of consecutive rows
// fetched column-wise around any row index, so the list never reads the whole table.
#pragma once

#include "platform/odbc.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Binds the columns of a record set: first to name them in the row query, then to allocate
// one value array and one indicator array per column and bind them to the statement (at
// once when a statement is given, otherwise later through BindTo).
class CFieldExchange {
public:
    enum Operation { Names, Bind };
    CFieldExchange(Operation op, SQLHSTMT hstmt, SQLULEN rows)
        : m_op(op), m_hstmt(hstmt), m_rows(rows) {}

    void Long(const QString& column, SQLINTEGER** values, SQLLEN** lengths);
    void Byte(const QString& column, SQLCHAR** values, SQLLEN** lengths);
    void Double(const QString& column, SQLDOUBLE** values, SQLLEN** lengths);
    void Timestamp(const QString& column, SQL_TIMESTAMP_STRUCT** values, SQLLEN** lengths);
    // Text of at most width characters; each row takes width + 1 wide characters.
    void Text(const QString& column, int width, SQLWCHAR** values, SQLLEN** lengths);

    const QStringList& Columns() const { return m_columns; }
    Operation Op() const { return m_op; }
    // Binds the buffers allocated so far to the columns of another statement.
    void BindTo(SQLHSTMT hstmt) const;

private:
    friend class CGridRowset;
    void Column(const QString& column, SQLSMALLINT cType, size_t elementSize, void** values,
                SQLLEN** lengths);
    // Points the owner's array pointers at nothing again before the buffers go.
    void Release();

    Operation m_op;
    SQLHSTMT m_hstmt;
    SQLULEN m_rows;
    QStringList m_columns;
    std::vector<std::unique_ptr<unsigned char[]>> m_buffers;
    std::vector<void**> m_owners;
    struct Binding {
        SQLSMALLINT cType;
        SQLLEN elementSize;
        void* values;
        SQLLEN* lengths;
    };
    std::vector<Binding> m_bindings;
};

class CGridRowset {
public:
    explicit CGridRowset(platform::odbc::Connection& db);
    virtual ~CGridRowset();
    CGridRowset(const CGridRowset&) = delete;
    CGridRowset& operator=(const CGridRowset&) = delete;

    // Search orders: a display name, the column matched against the typed text and the
    // sort. condition is the search condition; empty means column + " LIKE ?". For a typed
    // pattern that armsPattern matches whole, the result is the rows of the arms together
    // instead (conditions that no row meets twice), each arm read on its own in the sort.
    void AddSearchOrder(const QString& name, const QString& column, const QString& sort,
                        const QString& condition = QString(),
                        const QStringList& arms = QStringList(),
                        const QString& armsPattern = QString());
    // How arms are put together: a compound SELECT whose ORDER BY merges them, or a derived
    // table of their UNION ALL that the outer statement filters and sorts. Set before Open.
    void SetArmsCompound(bool on) { m_bArmsCompound = on; }
    // Makes order index current and returns its name; throws std::invalid_argument for an
    // index outside the lists. Only the statement texts change; Requery applies them.
    QString SetSearchOrder(int index);
    // The filter: condition, " AND " and the base condition, or either alone.
    void SetFilter(const QString& condition);
    int SearchOrderCount() const { return static_cast<int>(m_aOrderColumns.size()); }

    // Opens the row query built from the members and counts its rows.
    virtual bool Open();
    // Runs the query again with the current pattern; only a changed filter or sort text
    // builds and prepares the statement anew.
    virtual bool Requery();
    // One block fetch by an ODBC fetch type, then the window follows.
    virtual void Move(SQLLEN rows, SQLUSMALLINT fetchType);
    // Moves the block so that result row row is in it: block starts are multiples of 50.
    void EnsureRowCached(int row);
    bool IsRowCached(int row) const { return row >= m_nFirstRow && row <= m_nLastRow; }
    int CountRows();
    virtual QString GetCountSQL() const;
    // The count statement as CountRows runs it: the pattern in place of the marker.
    QString CountStatement() const;
    // The statement texts the next Open would run, for the owner to show or test.
    QString GetRowSQL();
    virtual QString GetDefaultSQL() const { return m_strTable; }
    // Judges the return code of a block fetch: truncated text passes, an error in a row
    // raises.
    virtual void CheckRowsetError(SQLRETURN ret);

    void Close();
    bool IsOpen() const { return m_stmt != nullptr; }
    platform::odbc::Connection& Database() const { return m_db; }
    void SetRowsetSize(SQLULEN rows) { m_nRowsetSize = rows; }
    SQLULEN GetRowsetSize() const { return m_nRowsetSize; }
    SQLULEN GetRowsFetched() const { return m_nRowsFetched; }
    // The cursor type the driver gave the row query (it may answer a dynamic request with
    // another type; forward-only when blocks are fetched by statements of their own).
    SQLULEN CursorType() const { return m_nCursorType; }
    // Fetches every block with a forward-only statement of its own, the row query with
    // LIMIT and OFFSET, instead of moving a scrollable cursor: drivers that answer the
    // scrollable request with a static cursor read the whole result when it is executed.
    // The window moves by the same rules either way. Set before Open.
    void SetBlockStatements(bool on) { m_bBlockStatements = on; }
    bool BlockStatements() const { return m_bBlockStatements; }

    // A unique column for block statements: the rows before a block are then passed over
    // by their keys alone (which an index holds), and the block's rows read by key. Set
    // before Open.
    void SetKeyColumn(const QString& column) { m_strKeyColumn = column; }

    // Counting later, for block statements: Open and Requery read only their block, and
    // m_nRowCount holds the rows known to exist (the window's start plus the rows fetched,
    // growing as later blocks are read), exact once a block comes back short. The owner
    // runs CountStatement elsewhere and hands the total to SetCountedRows; until then the
    // list is as long as the rows known. Set before Open.
    void SetCountLater(bool on) { m_bCountLater = on; }
    bool CountsLater() const { return m_bCountLater && m_bBlockStatements; }
    // Whether m_nRowCount is the number of rows in the result, not a lower bound.
    bool CountKnown() const { return m_bCountKnown; }
    void SetCountedRows(int count);

    // Places in the result for long jumps, made on the count's thread after the count: a
    // block far from both ends is read from the nearest place before it (the rows whose
    // first sort term is at least the place's value) rather than past every row from the
    // start. row is the first result row with that value. Only for databases that write
    // every value as text exactly (PostgreSQL): SQLite writes a real number with 15 digits.
    struct Anchor {
        int row;
        QString value;
    };
    // One place every rows rows; 0 (the default) makes none. Set before Open.
    void SetAnchorSpacing(int rows) { m_nAnchorSpacing = rows; }
    // The statement that lists the places of the result as opened, the pattern in place of
    // its markers: the value as text and its row (from 1); empty when there are none to make.
    QString AnchorStatement() const;
    // The places of an executed AnchorStatement, and the statement run and read on db.
    static QList<Anchor> FetchAnchors(platform::odbc::Statement& executed);
    static QList<Anchor> ReadAnchors(platform::odbc::Connection& db, const QString& sql);
    // The places that AnchorStatement listed for the result as it is open now.
    void SetAnchors(QList<Anchor> anchors) { m_aAnchors = std::move(anchors); }

    QString m_strFilter;
    QString m_strSort;
    unsigned m_nFields = 0;
    unsigned m_nParams = 0;

    QString m_strBaseFilter;
    QString m_strFilterParam = QStringLiteral("%");
    QString m_strTable;
    int m_nSearchOrder = -1;
    int m_nRowCount = 0;
    int m_nFirstRow = 0;
    int m_nLastRow = 0;
    QStringList m_aOrderNames;
    QStringList m_aOrderColumns;
    QStringList m_aOrderSorts;
    QStringList m_aOrderConditions;
    QList<QStringList> m_aOrderArms;
    QStringList m_aOrderArmsPatterns;
    // Per order, whether places for long jumps are worth making (its first sort term tells
    // many rows apart); an order not listed has them.
    QList<bool> m_aOrderAnchored;

protected:
    // Names and binds the result columns in their order; the subclass lists them.
    virtual void DoBulkFieldExchange(CFieldExchange& fx) = 0;

    platform::odbc::Connection& m_db;

private:
    bool OpenBase();
    // Keeps the pattern for the executions to come; BindParameter binds what was kept.
    void StoreParameter();
    void BindParameter();
    void Execute();
    // The statement texts of the current order for the pattern kept: the filter, the arms
    // and the number of markers.
    void ApplyPattern();
    // sql with the pattern, as a literal, in place of the search condition's markers.
    QString WithPattern(QString sql) const;
    // The rows of the result with the given columns (arms: the compound, or the derived
    // table filtered, whose arms are each in sort when one is given).
    QString SelectFrom(const QStringList& columns, const QString& filter, const QStringList& arms,
                       const QString& sort = QString()) const;
    // The rows [offset, offset + limit) of the result in sort, with the given columns; all of
    // them when limit is negative.
    QString Window(const QStringList& columns, const QString& filter, const QStringList& arms,
                   const QString& sort, int limit, int offset) const;
    // Block statements: the result position a fetch type leads to (-1: before the start),
    // and one block read from there.
    int BlockStart(SQLLEN rows, SQLUSMALLINT fetchType) const;
    SQLRETURN FetchBlock(int start);
    // Counting later: reads the block at start (at 0 when the result ends before it) and
    // takes the rows known from it. Requery starts at 0.
    void ReadUncounted(int start);
    // After a block of fetched rows at m_nFirstRow: what the rows known grow to.
    void TakeKnownRows(int fetched);

    std::unique_ptr<platform::odbc::Statement> m_stmt;
    std::unique_ptr<CFieldExchange> m_bound;
    QString m_strOpenedFilter;
    QString m_strOpenedSort;
    // The current order's condition and arms, and the arms in use for the pattern kept.
    QString m_strCondition;
    QStringList m_aArms;
    QString m_strArmsPattern;
    QStringList m_strArms;
    QStringList m_strOpenedArms;
    bool m_bArmsCompound = false;
    int m_nAnchorSpacing = 0;
    QList<Anchor> m_aAnchors;
    SQLULEN m_nRowsetSize = 1;
    SQLULEN m_nRowsFetched = 0;
    SQLULEN m_nCursorType = SQL_CURSOR_DYNAMIC;
    bool m_bBlockStatements = false;
    bool m_bCountLater = false;
    QString m_strKeyColumn;
    bool m_bCountKnown = true;
    // What the block statements repeat: whether the row query as opened has the parameter,
    // and where the last block started (-1: before the first row).
    bool m_bOpenedParam = false;
    int m_nBlockStart = -1;
    // Whether m_nRowCount counts the result the blocks come from; only then may a block
    // near the end be read backwards from the end.
    bool m_bCountCurrent = false;
    // The search parameter: at most 255 characters and the terminating zero.
    SQLWCHAR m_param[256] = {};
    SQLLEN m_paramLength = 0;
};
