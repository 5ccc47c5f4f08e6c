// Text splitting and joining with double-quote grouping. Strings are UTF-8;
// every delimiter the program uses is ASCII, so byte positions (1-based, as
// in the routines' contracts) never split a multi-byte character.
#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace valdrin::common {

using TCharSet = std::bitset<256>;
TCharSet MakeCharSet(std::string_view chars);

// The word that starts at P (1-based, in and out); P ends past the word and
// past at most one delimiter. E is the last position looked at.
std::string ReadWord(
    std::string_view S, const TCharSet &D, bool skipLeading, int E, int &P, bool stripQuotes);
std::string GetNextWord(
    std::string_view S, const TCharSet &D, bool skipLeading, int &P, bool stripQuotes);
int CountWords(std::string_view S, const TCharSet &D, bool collapse);
std::string NthWord(std::string_view S, int N, const TCharSet &D, bool collapse);
std::string TextBefore(std::string_view F, std::string_view S, bool caseSensitive);
std::string TextAfter(std::string_view F, std::string_view S, bool caseSensitive);
std::vector<std::string> SplitToStrings(std::string_view S, const TCharSet &D, bool collapse);
std::string JoinStrings(const std::vector<std::string> &L, char C, int first = 0, int last = -1);
std::string StripChar(std::string_view S, char Q);
std::string ReplaceText(
    std::string_view S, std::string_view oldText, std::string_view newText, bool caseSensitive);

// S without the spaces and tabs at its ends.
std::string_view TrimBlanks(std::string_view S);
// A..Z as a..z; every other byte (Cyrillic too) as it is.
std::string AsciiLower(std::string_view S);
bool EqualsNoCase(std::string_view A, std::string_view B); // A..Z fold only

} // namespace valdrin::common
