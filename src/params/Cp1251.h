// Text encodings of the parameter files: the program holds UTF-8, the files
// are Windows-1251 (Russian 8-bit code page), or UTF-8 when edited elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace valdrin::params {

// Every byte maps to one character (0x98, undefined in the code page, maps to
// U+0098), so any byte string converts and converts back unchanged.
std::string Cp1251ToUtf8(std::string_view text);

// Characters the code page lacks, and bytes that are not valid UTF-8, become
// "?" (one per character or per stray byte).
std::string Utf8ToCp1251(std::string_view text);

// UTF-8 text kept as it is, except that each byte not part of a valid
// sequence becomes its Windows-1251 character: a note typed in the code page
// into a UTF-8 file reads as written.
std::string RepairUtf8(std::string_view text);

// True when Utf8ToCp1251 keeps every character of the (valid UTF-8) text.
bool FitsCp1251(std::string_view text);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

} // namespace valdrin::params
