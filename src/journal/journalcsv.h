// CSV files of the journal for Excel and 1C on a Russian Windows: UTF-8 with a byte order
// mark (without it Excel reads the bytes as Windows-1251), ";" between fields (the list
// separator of the Russian locale, which Excel uses on opening) and "," as the decimal
// point, so that numbers arrive as numbers. Lines end in CR LF.
#pragma once

#include "journal/journaltotals.h"

#include <QByteArray>
#include <QStringList>

namespace journalcsv {

// One field, quoted when it holds the separator, a quote or a line break.
QString Field(const QString& text);
// A text cell that a spreadsheet must show as text: one that begins as a formula would
// ("=", "+", "-", "@", a tab or a carriage return) gets a leading "'".
QString Text(const QString& text);
// A number with a decimal comma and the given decimals, no grouping.
QString Number(double value, int decimals);
// A whole file: the byte order mark and the lines.
QByteArray File(const QList<QStringList>& lines);

// The labels themselves, one line each, with a header line; shifts, when given, holds the
// start of each row's shift.
QByteArray Rows(const QList<JournalRow>& rows, const QList<QDateTime>& shifts = {});
// Totals per product (or per hour) with a header line and the grand total last.
QByteArray Totals(const QList<JournalTotal>& totals, const JournalTotal& grand, bool byHour);

} // namespace journalcsv
