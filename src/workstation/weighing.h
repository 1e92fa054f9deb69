// The rules a label's weight must meet before it prints: a keyed weight no heavier than the
// scale can weigh, none at all where the weight must come from the scale, and a net weight
// above zero where a tare is taken off.
#pragma once

#include "app/settings.h"

#include <QString>

namespace weighing {

// The capacity of a scale whose protocol does not say, and of a counter without a scale.
constexpr double kDefaultCapacity = 30.0;

// The heaviest weight an operator may key: the setting, else the capacity the scale reports
// (0: none reported), else kDefaultCapacity.
double Capacity(const AppSettings& settings, double reportedCapacity);

// Why a keyed weight of a weighed product does not print; empty when it may.
QString KeyedWeightError(const AppSettings& settings, double reportedCapacity, double weight);

// Why the weight on the scale less its tare does not print; empty when it may.
QString NetWeightError(double net, double tare);

} // namespace weighing
