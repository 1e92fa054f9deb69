// Name keys and case-blind matching for Russian text, shared by the SQLite extension's SQL
// functions: the key orders and ranges names, the match decides which of them a pattern
// selects.
#pragma once

#include <string>

namespace russiantext {

// The text with every letter in lower case (Unicode simple mapping), as a database's
// lower() writes it.
std::u32string Lower(const std::u32string& text);
// The sort key of a name: lower case, with ё weighed as е, so that Ё-words sit among the
// Е-words as in a Russian dictionary.
std::u32string Key(const std::u32string& text);
// The key of the literal start of a LIKE pattern (everything before the first % or _): every
// name the pattern matches has a key that begins with it.
std::u32string PrefixKey(const std::u32string& pattern);
// The least text above every key that begins with key, or false when there is none (an
// empty key: every key begins with it).
bool KeyAbove(std::u32string key, std::u32string& above);
// LIKE without regard to case: % any run of characters, _ one character, every other
// character (a backslash too) itself; Ё and Е are different letters.
bool Like(const std::u32string& pattern, const std::u32string& text);

std::u32string FromUtf8(const unsigned char* text, int bytes);
std::string ToUtf8(const std::u32string& text);

} // namespace russiantext
