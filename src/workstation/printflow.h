// Printing one label of the current product: the weight or count from the screen, the
// barcode, the amount, the layout of the product's kind, and a one-page job named
// "Pelgrin", recorded in the packing journal. Every failure is told to the operator and leaves the
// screen as it was.
#pragma once

#include "journal/journalrow.h"
#include "workstation/screenstate.h"

#include <QString>

class QWidget;

// The name and information texts of a label from the product's name and extra
// information: the information, when there is any, carries two name lines and the
// information text separated by carriage returns. False when it has fewer than two.
bool SplitProductInfo(const QString& name, const QString& info, QString* printedName,
                      QString* printedInfo);

// What started a print: the print key (or Enter), or auto-print on a new pack.
enum class PrintBy { Key, AutoPrint };

// The print key of the main screen. Does nothing while a print runs; a print that gives no
// label says why on the state strip. A label the spooler accepted is recorded in the packing
// journal. A stopped printer is told of in a box once per stop when auto-print finds it.
// Copies of a piece label are as many identical labels, each its own job and journal row.
void PrintLabel(CScreenState& state, QWidget* owner, PrintBy by = PrintBy::Key, int copies = 1);

// Prints a label of the journal again with the same values, barcode and pack date, and
// records it as a reprint. False when it did not print (the operator was told why).
bool ReprintLabel(CScreenState& state, const JournalRow& original, QWidget* owner);
