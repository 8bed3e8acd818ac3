// Names as the A functions see them (Windows-1252 bytes) and as they are stored on disk (UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace hostfs {

// Every byte has a code point (the five bytes Windows-1252 leaves undefined map to U+0081,
// U+008D, U+008F, U+0090 and U+009D, as Windows converts them), so this never loses anything.
std::string Cp1252ToUtf8(std::string_view cp1252);

// Each code point that Windows-1252 cannot hold, and each byte of invalid UTF-8, becomes '?'.
// Returns false when that happened: such a name cannot be given back to the file system.
bool Utf8ToCp1252(std::string_view utf8, std::string& cp1252);
std::string Utf8ToCp1252(std::string_view utf8);

// Windows-1252 letter case: ASCII, the Latin-1 letters (not the multiplication and division
// signs), and the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. Folds to upper case; ß and µ have no pair.
unsigned char FoldCase(unsigned char c);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// FindFirstFileA's matching of a name (cp1252) against the last component of its pattern,
// regardless of case: '*' any run, '?' one character but none at a dot or the end of the name,
// "*.*" everything, "*." names without a dot, "name.*" also "name".
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Characters Windows refuses in a name: <>:"|?* and the control characters 1..31.
bool IsInvalidNameChar(unsigned char c);

} // namespace hostfs
