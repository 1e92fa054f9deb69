// The text lines of the MT-SICS and continuous-output scales as plain functions of the
// characters received, so the exchanges and the fuzz target share one reading of them.
#pragma once

#include "scales/scalestate.h"

#include <cstddef>
#include <string>

namespace scales {

struct LineReading {
    enum Kind {
        Garbage, // not a line of the protocol: no reading, and the line is not an answer
        Error,   // an error line of the scale (ES, ET, EL): no reading
        Weight,  // dKg holds what GetWeight returns for the line
        Refused, // a unit the counter cannot weigh in (strUnit): no reading
    };
    Kind kind = Garbage;
    double dKg = -1.0;
    std::string strUnit;
    ScaleState state = ScaleState::Unknown; // of a Weight line

    // What GetWeight returns for this line.
    double Result() const { return kind == Weight ? dKg : -1.0; }
};

// One answer line of an MT-SICS scale to SI or S, without its CR LF: "S S      0.512 kg".
LineReading ParseMtSicsLine(const char* line, std::size_t size);
// The answer of an MT-SICS scale to I2 (its type and capacity), without its CR LF:
// "I2 A \"WMS404C-L/10 WMS-Bridge 410.0090 g\"". The capacity in kilograms; 0 for any other
// line, or a unit other than g and kg.
double ParseMtSicsCapacity(const char* line, std::size_t size);
// One line of an indicator with continuous output, without its CR LF: "ST,GS,+0000.512kg".
LineReading ParseContinuousLine(const char* line, std::size_t size);

} // namespace scales
