// What must be true of a product before a label of it may print: a price that is a positive
// number, a code of digits only, and a best-before moment a label can show.
#pragma once

#include "workstation/screenstate.h"

#include <QString>

// The years a best-before moment may lie in, as the label's date fields can show them.
bool IsPrintableBestBefore(const QDateTime& moment);

// Empty when product may print; otherwise the message for the operator, which names the
// product.
QString ProductPrintError(const CurrentProduct& product);
