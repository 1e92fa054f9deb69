#include "catalogue/gridrowset.h"

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

} // namespace

void CFieldExchange::Column(const QString& column, SQLSMALLINT cType, size_t elementSize,
                            void** values, SQLLEN** lengths) {
    m_columns.append(column);
    if (m_op != Bind)
        return;
    const size_t rows = static_cast<size_t>(m_rows);
    auto valueBuffer = std::make_unique<unsigned char[]>(elementSize * rows);
    auto lengthBuffer = std::make_unique<unsigned char[]>(sizeof(SQLLEN) * rows);
    Check(SQLBindCol(m_hstmt, static_cast<SQLUSMALLINT>(m_columns.size()), cType, valueBuffer.get(),
                     static_cast<SQLLEN>(elementSize),
                     reinterpret_cast<SQLLEN*>(lengthBuffer.get())),
          SQL_HANDLE_STMT, m_hstmt);
    *values = valueBuffer.get();
    *lengths = reinterpret_cast<SQLLEN*>(lengthBuffer.get());
    m_owners.push_back(values);
    m_owners.push_back(reinterpret_cast<void**>(lengths));
    m_buffers.push_back(std::move(valueBuffer));
    m_buffers.push_back(std::move(lengthBuffer));
}

void CFieldExchange::Release() {
    for (void** p : m_owners)
        *p = nullptr;
    m_owners.clear();
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
                                 const QString& condition) {
    m_aOrderNames.append(name);
    m_aOrderColumns.append(column);
    m_aOrderSorts.append(sort);
    m_aOrderConditions.append(condition.isEmpty() ? column + QStringLiteral(" LIKE ?") : condition);
}

QString CGridRowset::SetSearchOrder(int index) {
    m_nSearchOrder = index;
    m_nParams = 1;
    if (index < 0 || index >= m_aOrderColumns.size())
        throw std::invalid_argument("search order out of range");
    SetFilter(index < m_aOrderConditions.size()
                  ? m_aOrderConditions[index]
                  : m_aOrderColumns[index] + QStringLiteral(" LIKE ?"));
    if (index >= m_aOrderSorts.size())
        throw std::invalid_argument("search order has no sort");
    m_strSort = m_aOrderSorts[index];
    if (index >= m_aOrderNames.size())
        throw std::invalid_argument("search order has no name");
    return m_aOrderNames[index];
}

void CGridRowset::SetFilter(const QString& condition) {
    m_strFilter = condition.trimmed();
    if (!m_strFilter.isEmpty() && !m_strBaseFilter.isEmpty())
        m_strFilter += QStringLiteral(" AND ");
    m_strFilter += m_strBaseFilter;
}

QString CGridRowset::GetRowSQL() {
    CFieldExchange names(CFieldExchange::Names, SQL_NULL_HSTMT, 0);
    DoBulkFieldExchange(names);
    QString sql = QStringLiteral("SELECT ") + names.Columns().join(QLatin1Char(',')) +
                  QStringLiteral(" FROM ") + GetDefaultSQL();
    if (!m_strFilter.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_strFilter;
    if (!m_strSort.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + m_strSort;
    return sql;
}

QString CGridRowset::GetCountSQL() const {
    QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + GetDefaultSQL();
    if (!m_strFilter.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_strFilter;
    return sql;
}

bool CGridRowset::OpenBase() {
    Close();
    const QString sql = GetRowSQL();
    auto st = std::make_unique<platform::odbc::Statement>(m_db);
    const SQLHSTMT h = st->Handle();
    // Drivers without dynamic cursors answer 01S02 and take the nearest type they have.
    Check(SQLSetStmtAttrW(h, SQL_ATTR_CURSOR_TYPE, Value(SQL_CURSOR_DYNAMIC), 0), SQL_HANDLE_STMT,
          h);
    m_nCursorType = SQL_CURSOR_DYNAMIC;
    SQLGetStmtAttrW(h, SQL_ATTR_CURSOR_TYPE, &m_nCursorType, 0, nullptr);
    Check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_BIND_TYPE, Value(SQL_BIND_BY_COLUMN), 0), SQL_HANDLE_STMT,
          h);
    Check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, Value(m_nRowsetSize), 0), SQL_HANDLE_STMT, h);
    Check(SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, &m_nRowsFetched, 0), SQL_HANDLE_STMT, h);
    std::u16string text = platform::odbc::ToSqlWChar(sql);
    Check(SQLPrepareW(h, reinterpret_cast<SQLWCHAR*>(text.data()),
                      static_cast<SQLINTEGER>(text.size())),
          SQL_HANDLE_STMT, h);
    m_stmt = std::move(st);
    m_strOpenedFilter = m_strFilter;
    m_strOpenedSort = m_strSort;
    try {
        if (m_nSearchOrder != -1)
            BindParameter();
        Execute();
        m_bound = std::make_unique<CFieldExchange>(CFieldExchange::Bind, h, m_nRowsetSize);
        DoBulkFieldExchange(*m_bound);
        Move(1, SQL_FETCH_NEXT);
    } catch (...) {
        Close();
        throw;
    }
    return true;
}

void CGridRowset::BindParameter() {
    const QString value = m_strFilterParam.left(kMaxParamLength);
    std::u16string w = platform::odbc::ToSqlWChar(value);
    std::copy(w.begin(), w.end(), reinterpret_cast<char16_t*>(m_param));
    m_param[w.size()] = 0;
    m_paramLength = static_cast<SQLLEN>(w.size() * sizeof(SQLWCHAR));
    const SQLHSTMT h = m_stmt->Handle();
    Check(SQLBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_VARCHAR, kMaxParamLength, 0,
                           m_param, sizeof m_param, &m_paramLength),
          SQL_HANDLE_STMT, h);
}

void CGridRowset::Execute() {
    const SQLHSTMT h = m_stmt->Handle();
    Check(SQLExecute(h), SQL_HANDLE_STMT, h);
}

void CGridRowset::Close() {
    m_stmt.reset();
    if (m_bound)
        m_bound->Release();
    m_bound.reset();
    m_nRowsFetched = 0;
}

bool CGridRowset::Open() {
    const bool ok = OpenBase();
    m_nRowCount = ok ? CountRows() : 0;
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
    if (m_strFilter != m_strOpenedFilter || m_strSort != m_strOpenedSort) {
        // A new statement text: built, prepared and counted anew, the block at the start.
        Close();
        return Open();
    }
    const SQLHSTMT h = m_stmt->Handle();
    SQLFreeStmt(h, SQL_CLOSE);
    if (m_nSearchOrder != -1)
        BindParameter();
    Execute();
    m_nRowCount = CountRows();
    if (m_nRowCount > 0) {
        // The block stays where the window started, unless the new result ends before it:
        // an empty block beside rows that exist helps no one, and on a server-side cursor
        // the move past the end is the most expensive fetch there is.
        if (m_nFirstRow >= m_nRowCount)
            m_nFirstRow = 0;
        Move(m_nFirstRow + 1, SQL_FETCH_ABSOLUTE);
    } else {
        m_nFirstRow = m_nLastRow = 0;
    }
    return true;
}

void CGridRowset::Move(SQLLEN rows, SQLUSMALLINT fetchType) {
    if (!m_stmt)
        return;
    const SQLHSTMT h = m_stmt->Handle();
    m_nRowsFetched = 0;
    const SQLRETURN ret = SQLFetchScroll(h, static_cast<SQLSMALLINT>(fetchType), rows);
    if (ret == SQL_NO_DATA)
        m_nRowsFetched = 0;
    CheckRowsetError(ret);
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
    QString sql = GetCountSQL();
    if (m_nSearchOrder != -1) {
        // Only the marker of the search condition, which comes first in the filter: a "?"
        // inside the base condition's literals is text, not a marker.
        const qsizetype at = sql.indexOf(QLatin1Char('?'));
        if (at >= 0)
            sql.replace(at, 1, Literal(m_strFilterParam.left(kMaxParamLength)));
    }
    return sql;
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
                Check(SQL_ERROR, SQL_HANDLE_STMT, h);
        }
    }
    Check(ret == SQL_INVALID_HANDLE ? ret : SQL_ERROR, SQL_HANDLE_STMT, h);
}
