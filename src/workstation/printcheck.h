// What must be true of a product before a label of it may print: a price that is a positive
// number, a code of digits only, and a best-before moment a label can show.
#pragma once

#include "journal/journalrow.h"
#include "workstation/screenstate.h"

#include <QString>

// The years a best-before moment may lie in, as the label's date fields can show them.
bool IsPrintableBestBefore(const QDateTime& moment);
// The operator's message for a best-before moment a label cannot show.
QString BadBestBeforeMessage();

// A price or sum a label may carry: positive, and one every journal holds.
bool IsPrintableMoney(double value);
// The operator's message for a product whose price, or the sum of its label, is not one.
QString BadPriceMessage(const CurrentProduct& product);

// Empty when product may print; otherwise the message for the operator, which names the
// product.
QString ProductPrintError(const CurrentProduct& product);
