// The rows of a label batch for varnet-label: a CSV file whose first line names the columns
// (",", or ";" as Excel on a Russian Windows writes it; UTF-8, with or without a byte order
// mark) or JSON lines (one object per line), each row the values of one label by name.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

struct LabelBatchRow {
    int number = 0; // the row's place among the labels, from 1
    int line = 0;   // its line in the file, from 1
    QHash<QString, QString> values;
    QString error; // why the row could not be read; its values are then empty
};

struct LabelBatch {
    QList<LabelBatchRow> rows;
    // The file's numbers may carry a decimal comma (a ";"-separated CSV).
    bool decimalComma = false;
};

// Reads path; false with error set when the file as a whole cannot be read. A row that cannot
// be read is kept with its error, so that the others still make labels. Only the names in
// known are taken as columns or keys; any other name refuses the whole file (a misspelt
// column would otherwise print every label without its value).
bool ReadLabelBatch(const QString& path, const QStringList& known, LabelBatch& batch,
                    QString* error);
