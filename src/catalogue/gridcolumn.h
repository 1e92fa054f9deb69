// How a column of the virtual grid finds its values in a record set's block and turns them
// into text; plain functions, so the cell texts are tested without a window.
#pragma once

#include "catalogue/gridrowset.h"

#include <QChar>
#include <QString>

#include <functional>
#include <optional>

enum ColumnType : int {
    COL_NONE = 0,
    COL_LONG = 1,
    COL_TEXT = 2,
    COL_BYTE = 3,
    COL_FLAG = 4,
    COL_DOUBLE = 5,
    COL_TIMESTAMP = 6,
};

// Horizontal alignment of a cell's text.
enum : unsigned { DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2 };

struct tagColumn;
using ColumnFormatter = std::function<QString(const tagColumn&, int blockRow)>;

// The descriptor holds the addresses of the record set's array pointers, because the arrays
// exist only while the record set is open.
struct tagColumn {
    ColumnFormatter pfnFormat;
    unsigned nTextFormat = DT_LEFT;
    int nType = COL_NONE;
    // COL_TEXT: characters per row in the text block; COL_DOUBLE: decimals; COL_TIMESTAMP:
    // the form (0 date and time, 1 date, 2 time).
    int nParam = 0;
    SQLLEN** ppLengths = nullptr;
    SQLINTEGER** ppLongs = nullptr;
    SQLCHAR** ppBytes = nullptr;
    SQLWCHAR** ppTexts = nullptr;
    SQLINTEGER** ppFlags = nullptr;
    SQLDOUBLE** ppDoubles = nullptr;
    SQL_TIMESTAMP_STRUCT** ppTimestamps = nullptr;
    bool bTrimZeros = false;
    bool bBlankZero = false;
    QChar chThousands;
    std::optional<QString> pszNullText;
};

// A number with a fixed count of decimals and "." as the point; optionally without trailing
// zeros of the decimals, empty for zero, and with a thousands separator.
QString FormatNumber(double value, int decimals, bool trimZeros, bool blankZero, QChar thousands);

// The text of the column at block row k.
QString CellText(const tagColumn& column, int k);

// The list is about to show rows from..to: move the block so they stay at least 10 rows
// inside it, except at the ends of the result.
void CacheHint(CGridRowset& rowset, int from, int to);

// The selected row after a refresh left count rows: none when empty, else within the rows.
int SelectedAfterRefresh(int selected, int count);
