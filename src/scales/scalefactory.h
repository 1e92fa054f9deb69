// Creates the scale object for a configured scale type and port, with that protocol's line
// settings.
#pragma once

#include "scales/iscale.h"

#include <cstdint>
#include <memory>

enum ScaleType {
    kScaleNone = 0,
    kScaleOka = 1,
    kScaleMassa = 2,
    kScaleCas = 3,
    kScaleMtSics = 4,
    kScaleContinuous = 5,
};

// Line settings of a scale set otherwise than its family usually is. Zero or -1 keeps the
// protocol's own value. Only the MT-SICS and continuous-output families can be set so; the
// older protocols have fixed settings.
struct ScaleLine {
    std::uint32_t nBaudRate = 0;
    int nParity = -1;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int nByteSize = 0;  // data bits, 5 to 8
    int nStopBits = -1; // 0 one, 1 one and a half, 2 two
};

// Null for type 0 and for any type not listed. Only the low 8 bits of nPort are the port
// number, so a scale on port 0 (or 256) exists but never opens.
std::unique_ptr<IScale> CreateScale(int nType, unsigned int nPort,
                                    const ScaleLine& line = ScaleLine());
