#include "catalogue/gridrowset.h"

#include <QRegularExpression>

#include <climits>
#include <stdexcept>

using platform::odbc::Check;
using platform::odbc::DatabaseError;

namespace {

constexpr int kMaxParamLength = 255;

SQLPOINTER Value(SQLULEN v) {
    return reinterpret_cast<SQLPOINTER>(v);
}

QString Literal(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// The terms of a sort, split at the commas outside parentheses and quotes; empty when the
// text is not understood.
QStringList SortTerms(const QString& sort) {
    QStringList terms;
    int depth = 0;
    bool quoted = false;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= sort.size(); ++i) {
        const QChar c = i < sort.size() ? sort[i] : QLatin1Char(',');
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('('))
            ++depth;
        else if (!quoted && c == QLatin1Char(')'))
            --depth;
        else if (!quoted && depth == 0 && c == QLatin1Char(',')) {
            terms.append(sort.mid(from, i - from).trimmed());
            from = i + 1;
        }
    }
    if (quoted || depth != 0)
        return QStringList();
    return terms;
}

// The sort that lists the same rows backwards: every term turned from ascending to
// descending and back. Both databases put NULLs at the same end for ASC as for DESC's
// opposite, so with a unique last term the order is the exact reverse. Empty when a term
// names its NULL placement (not worth the rewrite) or the text is not understood.
QString ReversedSort(const QString& sort) {
    QStringList terms = SortTerms(sort);
    if (terms.isEmpty())
        return QString();
    for (QString& term : terms) {
        if (term.isEmpty() || term.contains(QLatin1String("NULLS"), Qt::CaseInsensitive))
            return QString();
        if (term.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive))
            term.chop(5);
        else if (term.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive))
            term = term.left(term.size() - 4) + QStringLiteral(" DESC");
        else
            term += QStringLiteral(" DESC");
    }
    return terms.join(QStringLiteral(", "));
}

} // namespace

void CFieldExchange::Column(const QString& column, SQLSMALLINT cType, size_t elementSize,
                            void** values, SQLLEN** lengths) {
    m_columns.append(column);
    if (m_op != Bind)
        return;
    const size_t rows = static_cast<size_t>(m_rows);
    auto valueBuffer = std::make_unique<unsigned char[]>(elementSize * rows);
    auto lengthBuffer = std::make_unique<unsigned char[]>(sizeof(SQLLEN) * rows);
    if (m_hstmt != SQL_NULL_HSTMT)
        Check(SQLBindCol(m_hstmt, static_cast<SQLUSMALLINT>(m_columns.size()), cType,
                         valueBuffer.get(), static_cast<SQLLEN>(elementSize),
                         reinterpret_cast<SQLLEN*>(lengthBuffer.get())),
              SQL_HANDLE_STMT, m_hstmt);
    *values = valueBuffer.get();
    *lengths = reinterpret_cast<SQLLEN*>(lengthBuffer.get());
    m_bindings.push_back(
        {cType, static_cast<SQLLEN>(elementSize), *values, reinterpret_cast<SQLLEN*>(*lengths)});
    m_owners.push_back(values);
    m_owners.push_back(reinterpret_cast<void**>(lengths));
    m_buffers.push_back(std::move(valueBuffer));
    m_buffers.push_back(std::move(lengthBuffer));
}

void CFieldExchange::BindTo(SQLHSTMT hstmt) const {
    SQLUSMALLINT column = 0;
    for (const Binding& b : m_bindings)
        Check(SQLBindCol(hstmt, ++column, b.cType, b.values, b.elementSize, b.lengths),
              SQL_HANDLE_STMT, hstmt);
}

void CFieldExchange::Release() {
    for (void** p : m_owners)
        *p = nullptr;
    m_owners.clear();
    m_bindings.clear();
    m_buffers.clear();
}

void CFieldExchange::Long(const QString& column, SQLINTEGER** values, SQLLEN** lengths) {
    Column(column, SQL_C_SLONG, sizeof(SQLINTEGER), reinterpret_cast<void**>(values), lengths);
}

void CFieldExchange::Byte(const QString& column, SQLCHAR** values, SQLLEN** lengths) {
    Column(column, SQL_C_UTINYINT, sizeof(SQLCHAR), reinterpret_cast<void**>(values), lengths);
}

void CFieldExchange::Double(const QString& column, SQLDOUBLE** values, SQLLEN** lengths) {
    Column(column, SQL_C_DOUBLE, sizeof(SQLDOUBLE), reinterpret_cast<void**>(values), lengths);
}

void CFieldExchange::Timestamp(const QString& column, SQL_TIMESTAMP_STRUCT** values,
                               SQLLEN** lengths) {
    Column(column, SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT),
           reinterpret_cast<void**>(values), lengths);
}

void CFieldExchange::Text(const QString& column, int width, SQLWCHAR** values, SQLLEN** lengths) {
    Column(column, SQL_C_WCHAR, sizeof(SQLWCHAR) * static_cast<size_t>(width + 1),
           reinterpret_cast<void**>(values), lengths);
}

CGridRowset::CGridRowset(platform::odbc::Connection& db) : m_db(db) {}

CGridRowset::~CGridRowset() {
    Close();
}

void CGridRowset::AddSearchOrder(const QString& name, const QString& column, const QString& sort,
                                 const QString& condition, const QStringList& arms,
                                 const QString& armsPattern) {
    m_aOrderNames.append(name);
    m_aOrderColumns.append(column);
    m_aOrderSorts.append(sort);
    m_aOrderConditions.append(condition.isEmpty() ? column + QStringLiteral(" LIKE ?") : condition);
    m_aOrderArms.append(arms);
    m_aOrderArmsPatterns.append(armsPattern);
}

QString CGridRowset::SetSearchOrder(int index) {
    m_nSearchOrder = index;
    if (index < 0 || index >= m_aOrderColumns.size())
        throw std::invalid_argument("search order out of range");
    const QString condition = index < m_aOrderConditions.size()
                                  ? m_aOrderConditions[index]
                                  : m_aOrderColumns[index] + QStringLiteral(" LIKE ?");
    // A condition may use the typed text more than once (a key range and a match); every
    // marker is bound to it.
    m_nParams = static_cast<unsigned>(qMax<qsizetype>(1, condition.count(QLatin1Char('?'))));
    SetFilter(condition);
    m_strCondition = condition;
    m_aArms = index < m_aOrderArms.size() ? m_aOrderArms[index] : QStringList();
    m_strArmsPattern =
        index < m_aOrderArmsPatterns.size() ? m_aOrderArmsPatterns[index] : QString();
    m_strArms.clear();
    ApplyPattern();
    if (index >= m_aOrderSorts.size())
        throw std::invalid_argument("search order has no sort");
    m_strSort = m_aOrderSorts[index];
    if (index >= m_aOrderNames.size())
        throw std::invalid_argument("search order has no name");
    return m_aOrderNames[index];
}

void CGridRowset::ApplyPattern() {
    if (m_aArms.isEmpty())
        return;
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(m_strArmsPattern));
    if (pattern.match(m_strFilterParam.left(kMaxParamLength)).hasMatch()) {
        m_strArms = m_aArms;
        SetFilter(QString());
        qsizetype markers = 0;
        for (const QString& arm : m_strArms)
            markers += arm.count(QLatin1Char('?'));
        m_nParams = static_cast<unsigned>(markers);
    } else {
        m_strArms.clear();
        SetFilter(m_strCondition);
        m_nParams =
            static_cast<unsigned>(qMax<qsizetype>(1, m_strCondition.count(QLatin1Char('?'))));
    }
}

void CGridRowset::SetFilter(const QString& condition) {
    m_strFilter = condition.trimmed();
    if (!m_strFilter.isEmpty() && !m_strBaseFilter.isEmpty())
        m_strFilter += QStringLiteral(" AND ");
    m_strFilter += m_strBaseFilter;
}

QString CGridRowset::SelectFrom(const QStringList& columns, const QString& filter,
                                const QStringList& arms, const QString& sort) const {
    const QString list = columns.join(QLatin1Char(','));
    const QString table = GetDefaultSQL();
    const QString where = filter.isEmpty() ? QString() : QStringLiteral(" WHERE ") + filter;
    if (arms.isEmpty())
        return QStringLiteral("SELECT ") + list + QStringLiteral(" FROM ") + table + where;
    QStringList parts;
    for (const QString& arm : arms) {
        if (m_bArmsCompound)
            parts.append(QStringLiteral("SELECT %1 FROM %2 WHERE (%3)%4")
                             .arg(list, table, arm,
                                  filter.isEmpty() ? QString() : QStringLiteral(" AND ") + filter));
        else if (sort.isEmpty())
            parts.append(QStringLiteral("SELECT * FROM %1 WHERE %2").arg(table, arm));
        else
            // Sorted arms: the planner then merges them in the sort (it plans an arm on its
            // own, unaware of the order wanted outside), and the rows before a block are
            // read from the index.
            parts.append(
                QStringLiteral("(SELECT * FROM %1 WHERE %2 ORDER BY %3)").arg(table, arm, sort));
    }
    const QString all = parts.join(QStringLiteral(" UNION ALL "));
    if (m_bArmsCompound)
        return all;
    return QStringLiteral("SELECT %1 FROM (%2) AS %3%4").arg(list, all, table, where);
}

QString CGridRowset::Window(const QStringList& columns, const QString& filter,
                            const QStringList& arms, const QString& sort, int limit,
                            int offset) const {
    QString tail = sort.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + sort;
    if (limit >= 0)
        tail += QStringLiteral(" LIMIT %1 OFFSET %2").arg(limit).arg(offset);
    if (arms.isEmpty() || !m_bArmsCompound)
        return SelectFrom(columns, filter, arms, sort) + tail;
    // A compound sorts by its own result columns: the sort's terms join the list inside.
    QStringList inner = columns;
    for (QString term : SortTerms(sort)) {
        if (term.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive))
            term.chop(5);
        else if (term.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive))
            term.chop(4);
        if (!inner.contains(term, Qt::CaseInsensitive))
            inner.append(term);
    }
    return QStringLiteral("SELECT %1 FROM (%2%3) AS part")
        .arg(columns.join(QLatin1Char(',')), SelectFrom(inner, filter, arms), tail);
}

QString CGridRowset::GetRowSQL() {
    CFieldExchange names(CFieldExchange::Names, SQL_NULL_HSTMT, 0);
    DoBulkFieldExchange(names);
    return Window(names.Columns(), m_strFilter, m_strArms, m_strSort, -1, 0);
}

QString CGridRowset::GetCountSQL() const {
    if (!m_strArms.isEmpty())
        return QStringLiteral("SELECT COUNT(*) FROM (%1) AS counted")
            .arg(SelectFrom({QStringLiteral("1")}, m_strFilter, m_strArms));
    QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + GetDefaultSQL();
    if (!m_strFilter.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_strFilter;
    return sql;
}

bool CGridRowset::OpenBase() {
    Close();
    ApplyPattern();
    const QString sql = GetRowSQL();
    auto st = std::make_unique<platform::odbc::Statement>(m_db);
    const SQLHSTMT h = st->Handle();
    if (m_bBlockStatements) {
        st->SetReadOnly();
        m_nCursorType = SQL_CURSOR_FORWARD_ONLY;
    } else {
        // Drivers without dynamic cursors answer 01S02 and take the nearest type they have.
        st->Check(SQLSetStmtAttrW(h, SQL_ATTR_CURSOR_TYPE, Value(SQL_CURSOR_DYNAMIC), 0));
        m_nCursorType = SQL_CURSOR_DYNAMIC;
    }
    SQLGetStmtAttrW(h, SQL_ATTR_CURSOR_TYPE, &m_nCursorType, 0, nullptr);
    st->Check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_BIND_TYPE, Value(SQL_BIND_BY_COLUMN), 0));
    st->Check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, Value(m_nRowsetSize), 0));
    st->Check(SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, &m_nRowsFetched, 0));
    if (!m_bBlockStatements) {
        std::u16string text = platform::odbc::ToSqlWChar(sql);
        st->Check(SQLPrepareW(h, reinterpret_cast<SQLWCHAR*>(text.data()),
                              static_cast<SQLINTEGER>(text.size())));
    }
    m_stmt = std::move(st);
    m_strOpenedFilter = m_strFilter;
    m_strOpenedSort = m_strSort;
    m_strOpenedArms = m_strArms;
    m_bOpenedParam = m_nSearchOrder != -1;
    m_bCountCurrent = false;
    m_nBlockStart = -1;
    try {
        if (m_bOpenedParam)
            StoreParameter();
        if (m_bBlockStatements) {
            // The buffers are bound to each block statement as it is prepared.
            m_bound =
                std::make_unique<CFieldExchange>(CFieldExchange::Bind, SQLHSTMT{}, m_nRowsetSize);
            DoBulkFieldExchange(*m_bound);
        } else {
            if (m_bOpenedParam)
                BindParameter();
            Execute();
            m_bound = std::make_unique<CFieldExchange>(CFieldExchange::Bind, h, m_nRowsetSize);
            DoBulkFieldExchange(*m_bound);
        }
        Move(1, SQL_FETCH_NEXT);
    } catch (...) {
        Close();
        throw;
    }
    return true;
}

void CGridRowset::StoreParameter() {
    const QString value = m_strFilterParam.left(kMaxParamLength);
    std::u16string w = platform::odbc::ToSqlWChar(value);
    std::copy(w.begin(), w.end(), reinterpret_cast<char16_t*>(m_param));
    m_param[w.size()] = 0;
    m_paramLength = static_cast<SQLLEN>(w.size() * sizeof(SQLWCHAR));
}

void CGridRowset::BindParameter() {
    const SQLHSTMT h = m_stmt->Handle();
    for (unsigned n = 1; n <= m_nParams; ++n)
        m_stmt->Check(SQLBindParameter(h, static_cast<SQLUSMALLINT>(n), SQL_PARAM_INPUT,
                                       SQL_C_WCHAR, SQL_VARCHAR, kMaxParamLength, 0, m_param,
                                       sizeof m_param, &m_paramLength));
}

void CGridRowset::Execute() {
    const SQLHSTMT h = m_stmt->Handle();
    m_stmt->Check(SQLExecute(h));
}

void CGridRowset::Close() {
    m_stmt.reset();
    m_aAnchors.clear();
    if (m_bound)
        m_bound->Release();
    m_bound.reset();
    m_nRowsFetched = 0;
    m_nBlockStart = -1;
    m_bCountCurrent = false;
}

bool CGridRowset::Open() {
    const bool ok = OpenBase();
    if (ok && CountsLater()) {
        m_nFirstRow = 0;
        m_nRowCount = 0;
        m_bCountKnown = false;
        TakeKnownRows(static_cast<int>(m_nRowsFetched));
        return ok;
    }
    m_bCountKnown = true;
    m_nRowCount = ok ? CountRows() : 0;
    m_bCountCurrent = ok;
    if (m_nRowCount != 0) {
        m_nFirstRow = 0;
        m_nLastRow = static_cast<int>(m_nRowsFetched) - 1;
    } else {
        m_nFirstRow = m_nLastRow = 0;
    }
    return ok;
}

bool CGridRowset::Requery() {
    if (!IsOpen())
        return Open();
    ApplyPattern();
    if (m_strFilter != m_strOpenedFilter || m_strSort != m_strOpenedSort ||
        m_strArms != m_strOpenedArms) {
        // A new statement text: built, prepared and counted anew, the block at the start.
        Close();
        return Open();
    }
    // Places found for the rows as they were say nothing of the rows now.
    m_aAnchors.clear();
    if (m_bBlockStatements) {
        // Each block statement runs with the pattern kept here; the count comes first, so
        // a block near the end may be read from the end.
        m_bCountCurrent = false;
        if (m_bOpenedParam)
            StoreParameter();
        if (CountsLater()) {
            // Where the old window was says nothing about the new result, and reading past
            // its end costs a scan of all of it: the list starts at the top.
            ReadUncounted(0);
            return true;
        }
    } else {
        const SQLHSTMT h = m_stmt->Handle();
        SQLFreeStmt(h, SQL_CLOSE);
        if (m_bOpenedParam) {
            StoreParameter();
            BindParameter();
        }
        Execute();
    }
    m_nRowCount = CountRows();
    m_bCountCurrent = true;
    m_bCountKnown = true;
    if (m_nRowCount > 0) {
        // The block stays where the window started, unless the new result ends before it:
        // an empty block beside rows that exist helps no one, and on a server-side cursor
        // the move past the end is the most expensive fetch there is.
        if (m_nFirstRow >= m_nRowCount)
            m_nFirstRow = 0;
        Move(m_nFirstRow + 1, SQL_FETCH_ABSOLUTE);
    } else {
        m_nFirstRow = m_nLastRow = 0;
        if (m_bBlockStatements) {
            // Nothing to read: the block is empty, as a fetch from an empty result leaves it.
            m_nRowsFetched = 0;
            m_nBlockStart = -1;
        }
    }
    return true;
}

void CGridRowset::ReadUncounted(int start) {
    m_bCountKnown = false;
    for (;;) {
        m_nRowsFetched = 0;
        const SQLRETURN ret = FetchBlock(start);
        if (ret == SQL_NO_DATA)
            m_nRowsFetched = 0;
        CheckRowsetError(ret);
        SQLFreeStmt(m_stmt->Handle(), SQL_CLOSE);
        // An empty block beside rows that may exist helps no one: the window goes to the
        // start.
        if (m_nRowsFetched > 0 || start == 0)
            break;
        start = 0;
    }
    m_nFirstRow = start;
    m_nRowCount = 0;
    TakeKnownRows(static_cast<int>(m_nRowsFetched));
}

void CGridRowset::TakeKnownRows(int fetched) {
    if (fetched <= 0) {
        // Nothing at the window's start: the result ends before it, or is empty.
        if (m_nFirstRow == 0) {
            m_nRowCount = 0;
            m_bCountKnown = true;
        }
        m_nFirstRow = m_nLastRow = 0;
        return;
    }
    m_nLastRow = m_nFirstRow + fetched - 1;
    const int known = m_nLastRow + 1;
    if (fetched < static_cast<int>(m_nRowsetSize)) {
        // A short block is the end of the result.
        m_nRowCount = known;
        m_bCountKnown = true;
    } else {
        m_nRowCount = qMax(m_nRowCount, known);
    }
}

void CGridRowset::SetCountedRows(int count) {
    m_nRowCount = qMax(0, count);
    m_bCountKnown = true;
    m_bCountCurrent = true;
}

int CGridRowset::BlockStart(SQLLEN rows, SQLUSMALLINT fetchType) const {
    // The rowset a scrollable cursor moves to, by the ODBC rules for each fetch type.
    const SQLLEN size = static_cast<SQLLEN>(m_nRowsetSize);
    const SQLLEN current = m_nBlockStart;
    SQLLEN start = -1;
    switch (fetchType & 0xFFFF) {
    case SQL_FETCH_NEXT:
        start = current < 0 ? 0 : current + size;
        break;
    case SQL_FETCH_FIRST:
        start = 0;
        break;
    case SQL_FETCH_LAST:
        start = qMax<SQLLEN>(0, m_nRowCount - size);
        break;
    case SQL_FETCH_PRIOR:
        start = current <= 0 ? -1 : qMax<SQLLEN>(0, current - size);
        break;
    case SQL_FETCH_ABSOLUTE:
        if (rows > 0)
            start = rows - 1;
        else if (rows < 0)
            start = qMax<SQLLEN>(0, m_nRowCount + rows);
        break;
    case SQL_FETCH_RELATIVE:
        start = current < 0 ? rows - 1 : current + rows;
        break;
    default:
        throw DatabaseError(QStringLiteral("Fetch type out of range"), QStringLiteral("HY106"));
    }
    return start < 0 ? -1 : static_cast<int>(qMin<SQLLEN>(start, INT_MAX));
}

SQLRETURN CGridRowset::FetchBlock(int start) {
    const SQLHSTMT h = m_stmt->Handle();
    SQLFreeStmt(h, SQL_CLOSE);
    m_nBlockStart = start;
    if (start < 0)
        return SQL_NO_DATA;
    // Rows at the far end of a long result are cheaper to reach from that end: the same
    // query sorted backwards skips the rows after the block, and the outer sort puts the
    // block back in order. Only with a count of this very result, for the block's length.
    const int size = static_cast<int>(qMin<SQLULEN>(m_nRowsetSize, INT_MAX));
    QString sql;
    const QString reversed = m_strOpenedSort.isEmpty() ? QString() : ReversedSort(m_strOpenedSort);
    const int length = qMin(size, m_nRowCount - start);
    const bool fromEnd = m_bCountCurrent && !reversed.isEmpty() && length > 0 &&
                         m_nRowCount - start - length < start;
    const QStringList& columns = m_bound->Columns();
    const QString& filter = m_strOpenedFilter;
    const QStringList& arms = m_strOpenedArms;
    const int tailOffset = m_nRowCount - start - length;
    if (!m_strKeyColumn.isEmpty() && !m_strOpenedSort.isEmpty()) {
        // The rows skipped on the way to the block are read from an index alone when only
        // their keys are asked for; the block's own rows are then read by their keys.
        QString keys = fromEnd
                           ? Window({m_strKeyColumn}, filter, arms, reversed, length, tailOffset)
                           : Window({m_strKeyColumn}, filter, arms, m_strOpenedSort, size, start);
        // A place nearer than either end: the rows from its value on, past fewer of them.
        const Anchor* anchor = nullptr;
        for (const Anchor& a : m_aAnchors)
            if (a.row <= start)
                anchor = &a;
        if (anchor && start - anchor->row < (fromEnd ? tailOffset : start)) {
            const QString from = SortTerms(m_strOpenedSort).first() + QStringLiteral(" >= ") +
                                 Literal(anchor->value);
            keys = Window({m_strKeyColumn},
                          filter.isEmpty() ? from : filter + QStringLiteral(" AND ") + from, arms,
                          m_strOpenedSort, size, start - anchor->row);
        }
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4) ORDER BY %5")
                  .arg(columns.join(QLatin1Char(',')), GetDefaultSQL(), m_strKeyColumn, keys,
                       m_strOpenedSort);
    } else if (fromEnd) {
        // One multi-argument arg: a value holding "%1" (a section ID, a typed pattern) is
        // never read as a placeholder by a later step.
        sql =
            QStringLiteral("SELECT %1 FROM (%2) AS tail ORDER BY %3")
                .arg(columns.join(QLatin1Char(',')),
                     Window(columns, filter, arms, reversed, length, tailOffset), m_strOpenedSort);
    } else {
        sql = Window(columns, filter, arms, m_strOpenedSort, size, start);
    }
    std::u16string text = platform::odbc::ToSqlWChar(sql);
    m_stmt->Check(SQLPrepareW(h, reinterpret_cast<SQLWCHAR*>(text.data()),
                              static_cast<SQLINTEGER>(text.size())));
    if (m_bOpenedParam)
        BindParameter();
    m_bound->BindTo(h);
    Execute();
    return SQLFetchScroll(h, SQL_FETCH_NEXT, 0);
}

void CGridRowset::Move(SQLLEN rows, SQLUSMALLINT fetchType) {
    if (!m_stmt)
        return;
    const SQLHSTMT h = m_stmt->Handle();
    m_nRowsFetched = 0;
    const SQLRETURN ret = m_bBlockStatements
                              ? FetchBlock(BlockStart(rows, fetchType))
                              : SQLFetchScroll(h, static_cast<SQLSMALLINT>(fetchType), rows);
    if (ret == SQL_NO_DATA)
        m_nRowsFetched = 0;
    CheckRowsetError(ret);
    // The rows are in the block buffers; the block statement's result is not needed.
    if (m_bBlockStatements)
        SQLFreeStmt(h, SQL_CLOSE);
    if (!m_bCountKnown) {
        // Not counted yet: the block's place is the one asked for, and the rows known grow.
        const int start = m_nBlockStart < 0 ? 0 : m_nBlockStart;
        const int fetched = static_cast<int>(m_nRowsFetched);
        m_nFirstRow = fetched > 0 ? start : m_nFirstRow;
        if (fetched > 0) {
            TakeKnownRows(fetched);
        } else {
            // The result ends before the block: it has fewer rows than were known.
            m_nRowCount = qMin(m_nRowCount, start);
            m_nLastRow = m_nFirstRow - 1;
        }
        return;
    }
    if (m_nRowCount == 0) {
        m_nFirstRow = m_nLastRow = 0;
        return;
    }
    const int fetched = static_cast<int>(m_nRowsFetched);
    switch (fetchType & 0xFFFF) {
    case SQL_FETCH_NEXT:
        m_nFirstRow = m_nLastRow + 1;
        break;
    case SQL_FETCH_FIRST:
        m_nFirstRow = 0;
        break;
    case SQL_FETCH_LAST:
        m_nFirstRow = m_nRowCount - fetched;
        break;
    case SQL_FETCH_PRIOR:
        m_nFirstRow = m_nFirstRow - fetched;
        break;
    case SQL_FETCH_ABSOLUTE:
        m_nFirstRow = static_cast<int>(rows) - 1;
        break;
    default:
        break;
    }
    m_nLastRow = m_nFirstRow + fetched - 1;
}

void CGridRowset::EnsureRowCached(int row) {
    if (m_nRowCount == 0) {
        m_nFirstRow = m_nLastRow = 0;
        return;
    }
    int start = 50 * ((row + 10) / 50) - 50;
    if (start < 0)
        start = 0;
    // The second test refetches a block that came back short because rows went away
    // between the count and the fetch.
    if (start != m_nFirstRow || !IsRowCached(row))
        Move(start + 1, SQL_FETCH_ABSOLUTE);
}

QString CGridRowset::CountStatement() const {
    if (!m_strArms.isEmpty()) {
        // The pattern goes into each arm before they are put together: a "?" in the base
        // condition's literals, which comes between them, stays text.
        const QString literal = Literal(m_strFilterParam.left(kMaxParamLength));
        QStringList arms;
        for (QString arm : m_strArms) {
            for (qsizetype at = arm.indexOf(QLatin1Char('?')); at >= 0;
                 at = arm.indexOf(QLatin1Char('?'), at + literal.size()))
                arm.replace(at, 1, literal);
            arms.append(arm);
        }
        return QStringLiteral("SELECT COUNT(*) FROM (%1) AS counted")
            .arg(SelectFrom({QStringLiteral("1")}, m_strFilter, arms));
    }
    return WithPattern(GetCountSQL());
}

QString CGridRowset::WithPattern(QString sql) const {
    if (m_nSearchOrder != -1) {
        // Only the markers of the search condition, which comes first in the filter: a "?"
        // inside the base condition's literals is text, not a marker.
        const QString literal = Literal(m_strFilterParam.left(kMaxParamLength));
        qsizetype from = 0;
        for (unsigned n = 0; n < m_nParams; ++n) {
            const qsizetype at = sql.indexOf(QLatin1Char('?'), from);
            if (at < 0)
                break;
            sql.replace(at, 1, literal);
            from = at + literal.size();
        }
    }
    return sql;
}

QString CGridRowset::AnchorStatement() const {
    if (m_nAnchorSpacing <= 0 || !m_strOpenedArms.isEmpty() || m_strKeyColumn.isEmpty() ||
        !m_bBlockStatements || !IsOpen() || !m_aOrderAnchored.value(m_nSearchOrder, true))
        return QString();
    const QStringList terms = SortTerms(m_strOpenedSort);
    if (terms.isEmpty() || terms.first().contains(QLatin1String(" DESC"), Qt::CaseInsensitive) ||
        terms.first().contains(QLatin1String(" ASC"), Qt::CaseInsensitive) ||
        terms.first().contains(QLatin1String("NULLS"), Qt::CaseInsensitive))
        return QString();
    // rank() over the first term is the first row with the value; the whole sort numbers the
    // rows to pick every spacing-th.
    QString sql = QStringLiteral("SELECT CAST(a AS TEXT), r FROM (SELECT ") + terms.first() +
                  QStringLiteral(" AS a, rank() OVER (ORDER BY ") + terms.first() +
                  QStringLiteral(") AS r, row_number() OVER (ORDER BY ") + m_strOpenedSort +
                  QStringLiteral(") AS n FROM ") + GetDefaultSQL();
    if (!m_strOpenedFilter.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_strOpenedFilter;
    sql += QStringLiteral(") AS numbered WHERE n % ") + QString::number(m_nAnchorSpacing) +
           QStringLiteral(" = 0 ORDER BY n");
    return WithPattern(sql);
}

QList<CGridRowset::Anchor> CGridRowset::ReadAnchors(platform::odbc::Connection& db,
                                                    const QString& sql) {
    if (sql.isEmpty())
        return QList<Anchor>();
    platform::odbc::Statement st(db);
    st.SetReadOnly();
    st.ExecDirect(sql);
    return FetchAnchors(st);
}

QList<CGridRowset::Anchor> CGridRowset::FetchAnchors(platform::odbc::Statement& st) {
    QList<Anchor> anchors;
    while (st.Fetch()) {
        const std::optional<QString> value = st.GetText(1);
        const std::optional<long long> row = st.GetInt(2);
        // A place without a value (NULL) cannot be compared with: the jumps past it go
        // the long way.
        if (value && row && *row >= 1 && *row <= INT_MAX)
            anchors.append({static_cast<int>(*row - 1), *value});
    }
    return anchors;
}

int CGridRowset::CountRows() {
    platform::odbc::Statement count(m_db);
    count.SetReadOnly();
    count.ExecDirect(CountStatement());
    if (!count.Fetch())
        return 0;
    return static_cast<int>(count.GetInt(1).value_or(0));
}

void CGridRowset::CheckRowsetError(SQLRETURN ret) {
    if (ret == SQL_SUCCESS || ret == SQL_NO_DATA || ret == SQL_NEED_DATA)
        return;
    const SQLHSTMT h = m_stmt->Handle();
    if (ret == SQL_SUCCESS_WITH_INFO) {
        // 01004 (text cut to its buffer) and other notes pass; an error in a row does not.
        for (SQLSMALLINT rec = 1;; ++rec) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT len = 0;
            if (!SQL_SUCCEEDED(
                    SQLGetDiagRecW(SQL_HANDLE_STMT, h, rec, state, &native, nullptr, 0, &len)))
                return;
            if (platform::odbc::FromSqlWChar(state, 5) == QLatin1String("01S01"))
                m_stmt->Check(SQL_ERROR);
        }
    }
    m_stmt->Check(ret == SQL_INVALID_HANDLE ? ret : SQL_ERROR);
}
