// A quick test on a number before its text is made: whether the text of a price, as SQLite
// writes it, can begin with the digits that start a LIKE pattern.
#pragma once

#include <string>

namespace russiantext {

// False only when no text of value can match pattern: pattern starts with digits that the
// text does not start with. True when pattern does not start with a digit or value is not
// a plain positive number of at least 1 (such texts are left to LIKE itself).
bool NumberTextMayMatch(const std::u32string& pattern, double value);
// The same on the pattern's UTF-8 bytes, without copying them (SQLite asks for every row).
bool NumberTextMayMatch(const unsigned char* pattern, int bytes, double value);

// The number a pattern of the form "123%" starts with: one to fifteen digits, the first not a
// zero, then one "%" and nothing else. Such a pattern is matched by the texts of prices in a
// few ranges of numbers, which an index on the price reads directly. False for any other
// pattern.
bool PricePrefix(const unsigned char* pattern, int bytes, double* prefix);

} // namespace russiantext
