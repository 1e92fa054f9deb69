#include "catalogue/gridcolumn.h"

QString FormatNumber(double value, int decimals, bool trimZeros, bool blankZero, QChar thousands) {
    if (blankZero && value == 0.0)
        return QString();
    QString text = QString::asprintf("%.*f", decimals, value);
    if (trimZeros && decimals >= 1) {
        for (int i = 0; i < decimals && text.endsWith(QLatin1Char('0')); ++i)
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (!thousands.isNull() && text.size() <= 255) {
        qsizetype p = text.indexOf(QLatin1Char('.'));
        if (p < 0)
            p = text.size();
        for (qsizetype i = p - 3; i > 0; i -= 3) {
            if (text[i - 1] == QLatin1Char('-'))
                break;
            text.insert(i, thousands);
        }
    }
    return text;
}

QString CellText(const tagColumn& c, int k) {
    if (c.nType == COL_NONE || !c.ppLengths || !*c.ppLengths || k < 0)
        return QString();
    if (c.pfnFormat)
        return c.pfnFormat(c, k);
    const bool isNull = (*c.ppLengths)[k] == SQL_NULL_DATA;
    if (isNull && c.pszNullText)
        return *c.pszNullText;
    switch (c.nType) {
    case COL_LONG:
        if (!c.ppLongs || !*c.ppLongs)
            return QString();
        return FormatNumber(isNull ? 0.0 : (*c.ppLongs)[k], 0, c.bTrimZeros, c.bBlankZero,
                            c.chThousands);
    case COL_TEXT:
        if (isNull || !c.ppTexts || !*c.ppTexts || c.nParam <= 0)
            return QString();
        {
            const SQLWCHAR* text = *c.ppTexts + static_cast<qsizetype>(k) * c.nParam;
            qsizetype n = 0;
            while (n < c.nParam && text[n])
                ++n;
            return platform::odbc::FromSqlWChar(text, n);
        }
    case COL_BYTE:
        if (!c.ppBytes || !*c.ppBytes)
            return QString();
        if (isNull)
            return c.bBlankZero ? QString() : QStringLiteral("0");
        if (c.bBlankZero && (*c.ppBytes)[k] == 0)
            return QString();
        return QString::number((*c.ppBytes)[k]);
    case COL_FLAG:
        if (isNull || !c.ppFlags || !*c.ppFlags)
            return QString();
        return (*c.ppFlags)[k] != 0 ? QStringLiteral("X") : QString();
    case COL_DOUBLE:
        if (!c.ppDoubles || !*c.ppDoubles)
            return QString();
        return FormatNumber(isNull ? 0.0 : (*c.ppDoubles)[k], c.nParam, c.bTrimZeros, c.bBlankZero,
                            c.chThousands);
    case COL_TIMESTAMP: {
        if (isNull || !c.ppTimestamps || !*c.ppTimestamps)
            return QString();
        const SQL_TIMESTAMP_STRUCT& t = (*c.ppTimestamps)[k];
        switch (c.nParam) {
        case 0:
            return QString::asprintf("%02u.%02u.%04d %02u:%02u:%02u", t.day, t.month, t.year,
                                     t.hour, t.minute, t.second);
        case 1:
            return QString::asprintf("%02u.%02u.%04d", t.day, t.month, t.year);
        case 2:
            return QString::asprintf("%02u:%02u", t.hour, t.minute);
        default:
            return QString();
        }
    }
    default:
        return QString();
    }
}

void CacheHint(CGridRowset& rowset, int from, int to) {
    if (from < rowset.m_nFirstRow + 10)
        rowset.EnsureRowCached(from);
    else if (to > rowset.m_nLastRow - 10)
        rowset.EnsureRowCached(to);
}

int SelectedAfterRefresh(int selected, int count) {
    if (count <= 0)
        return -1;
    return selected > count - 1 ? count - 1 : selected;
}
