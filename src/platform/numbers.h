// Numbers read from the leading part of a text and written with "." as the decimal point,
// whatever the locale: the conventions of the catalogue, the settings and the screen.
#pragma once

#include <QString>

#include <cstdint>

namespace platform {

// The leading decimal number of text after white space: optional sign, digits, optional
// "." and digits; 0 when there is none ("0.512 " reads 0.512, "12abc" 12, "abc" 0).
double ParseLeadingDouble(const QString& text);
// The leading integer of text after white space (optional sign, digits); 0 when none.
// Digits beyond the range saturate instead of wrapping.
int64_t ParseLeadingInt(const QString& text);
// The leading digits of text as an unsigned number; 0 when none.
uint64_t ParseLeadingUInt(const QString& text);

// value with the given number of decimals and "." as the decimal point ("%.*f").
QString FormatFixed(double value, int decimals);
// The same without the zeros a reader does not need: 15.000 as "15", 6.500 as "6.5".
QString FormatShort(double value, int decimals);

// Money in the smallest unit in use, hundredths with penny and whole units without, rounded
// to the nearest integer with halves away from zero; a price like 12.345, a hair below its
// half in binary, counts as the half. What the scale's display receives.
long long MoneyUnits(double amount, bool penny);
// The one text of money on the screen, the label and the editor's preview: MoneyUnits
// written with two decimals or none, so every place shows the figure the scale shows.
QString FormatMoney(double amount, bool penny);

} // namespace platform
