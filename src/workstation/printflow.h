// Printing one label of the current product: the weight or count from the screen, the
// barcode, the amount, the layout of the product's kind, and a one-page job named
// "Pelgrin". Every failure is told to the operator and leaves the screen as it was.
#pragma once

#include "workstation/screenstate.h"

#include <QString>

class QWidget;

// The name and information texts of a label from the product's name and extra
// information: the information, when there is any, carries two name lines and the
// information text separated by carriage returns. False when it has fewer than two.
bool SplitProductInfo(const QString& name, const QString& info, QString* printedName,
                      QString* printedInfo);

// The print key of the main screen. Does nothing without a product or while a print runs.
void PrintLabel(CScreenState& state, QWidget* owner);
