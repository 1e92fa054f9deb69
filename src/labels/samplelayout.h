// A ready layout for a label of a given size, so a new counter prints a useful label before
// anyone opens the layout editor: name, information, price, weight or count and amount with
// their captions, pack date, best-before and the barcode.
#pragma once

#include "labels/labelinfo.h"

CBarCodeLabelInfo SampleLayout(bool bWeight, double widthMM, double heightMM);
