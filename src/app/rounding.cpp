// Rounding of amounts.
#include "app/varnetapp.h"

#include <cmath>

double CVarnetApp::RoundAmount(double amount, const AppSettings& settings) {
    double step = static_cast<double>(settings.RoundTo);
    if (settings.Penny)
        step /= 100.0;
    if (step == 0.0)
        step = settings.Penny ? 0.01 : 1.0;
    const double magnitude = std::fabs(amount);
    const double r = std::fmod(magnitude, step);
    const double rounded = std::llround(r * 1e9) >= std::llround(step * 1e9 * 0.5)
                               ? magnitude - r + step
                               : magnitude - r;
    return amount < 0 ? -rounded : rounded;
}
