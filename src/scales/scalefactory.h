// Creates the scale object for a configured scale type and port, with that protocol's line
// settings.
#pragma once

#include "scales/iscale.h"

#include <memory>

enum ScaleType {
    kScaleNone = 0,
    kScaleOka = 1,
    kScaleMassa = 2,
    kScaleCas = 3,
};

// Null for type 0 and for any type not listed. Only the low 8 bits of nPort are the port
// number, so a scale on port 0 (or 256) exists but never opens.
std::unique_ptr<IScale> CreateScale(int nType, unsigned int nPort);
