#include "common/StrRout.h"

#include <algorithm>

namespace valdrin::common {

namespace {

constexpr char kQuote = '"';

bool In(const TCharSet &D, char c)
{
    return D.test(static_cast<unsigned char>(c));
}

// Only a..z fold; Cyrillic and every other byte compare exactly.
char UpperLatin(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// 0-based index of the first F in S at or after `from`, or npos. An empty F
// never occurs.
std::size_t Find(std::string_view F, std::string_view S, bool caseSensitive, std::size_t from = 0)
{
    if (F.empty() || from > S.size() || F.size() > S.size() - from)
        return std::string_view::npos;
    if (caseSensitive)
        return S.find(F, from);
    for (std::size_t i = from; i + F.size() <= S.size(); ++i) {
        std::size_t k = 0;
        while (k < F.size() && UpperLatin(S[i + k]) == UpperLatin(F[k]))
            ++k;
        if (k == F.size())
            return i;
    }
    return std::string_view::npos;
}

} // namespace

TCharSet MakeCharSet(std::string_view chars)
{
    TCharSet set;
    for (char c : chars)
        set.set(static_cast<unsigned char>(c));
    return set;
}

std::string ReadWord(
    std::string_view S, const TCharSet &D, bool skipLeading, int E, int &P, bool stripQuotes)
{
    std::string word;
    E = std::min(E, static_cast<int>(S.size()));
    if (P < 1)
        P = 1;
    auto at = [&](int pos) { return S[static_cast<std::size_t>(pos - 1)]; };
    if (skipLeading)
        while (P <= E && In(D, at(P)))
            ++P;
    bool quoting = false;
    while (P <= E) {
        const char c = at(P);
        if (!quoting && In(D, c))
            break;
        if (c == kQuote)
            quoting = !quoting;
        if (!quoting && In(D, c))
            break;
        word += c;
        ++P;
    }
    if (P <= E && In(D, at(P)))
        ++P;
    if (stripQuotes)
        word = StripChar(word, kQuote);
    return word;
}

std::string GetNextWord(
    std::string_view S, const TCharSet &D, bool skipLeading, int &P, bool stripQuotes)
{
    return ReadWord(S, D, skipLeading, static_cast<int>(S.size()), P, stripQuotes);
}

int CountWords(std::string_view S, const TCharSet &D, bool collapse)
{
    if (S.empty())
        return 0;
    int count = 1;
    bool inRun = false;
    for (char c : S) {
        const bool isDelim = In(D, c);
        if (isDelim && (!collapse || !inRun))
            ++count;
        inRun = isDelim;
    }
    return count;
}

std::string NthWord(std::string_view S, int N, const TCharSet &D, bool collapse)
{
    if (N <= 0)
        return {};
    const int len = static_cast<int>(S.size());
    int P = 1;
    int taken = 0;
    std::string word;
    while (P <= len && taken < N) {
        word = ReadWord(S, D, collapse, len, P, false);
        ++taken;
    }
    return taken == N ? word : std::string();
}

std::string TextBefore(std::string_view F, std::string_view S, bool caseSensitive)
{
    const auto pos = Find(F, S, caseSensitive);
    return std::string(pos == std::string_view::npos ? S : S.substr(0, pos));
}

std::string TextAfter(std::string_view F, std::string_view S, bool caseSensitive)
{
    const auto pos = Find(F, S, caseSensitive);
    if (pos == std::string_view::npos)
        return {};
    return std::string(S.substr(pos + F.size()));
}

std::vector<std::string> SplitToStrings(std::string_view S, const TCharSet &D, bool collapse)
{
    std::vector<std::string> L;
    const int len = static_cast<int>(S.size());
    if (len > 0) {
        int P = 1;
        do {
            L.push_back(ReadWord(S, D, collapse, len, P, false));
        } while (P <= len);
    }
    if (S.empty() || In(D, S.back()))
        L.emplace_back();
    return L;
}

std::string JoinStrings(const std::vector<std::string> &L, char C, int first, int last)
{
    if (L.empty())
        return {};
    const int n = static_cast<int>(L.size());
    if (last == -1 || last >= n)
        last = n - 1;
    if (first < 0)
        first = 0;
    if (first >= n)
        return {};
    std::string result = L[static_cast<std::size_t>(first)];
    for (int i = first + 1; i <= last; ++i) {
        result += C;
        result += L[static_cast<std::size_t>(i)];
    }
    return result;
}

std::string StripChar(std::string_view S, char Q)
{
    if (S.empty())
        return {};
    if (S.front() == Q)
        S.remove_prefix(1);
    // "at least 2 characters" refers to the original text: a single Q is
    // already gone, and "QQ" loses both.
    if (!S.empty() && S.back() == Q)
        S.remove_suffix(1);
    return std::string(S);
}

std::string ReplaceText(
    std::string_view S, std::string_view oldText, std::string_view newText, bool caseSensitive)
{
    // Left to right, non-overlapping, a replacement never searched again; one
    // pass, so a multi-megabyte row stays linear.
    std::string result;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = Find(oldText, S, caseSensitive, pos);
        if (hit == std::string_view::npos) {
            result.append(S.substr(pos));
            return result;
        }
        result.append(S.substr(pos, hit - pos));
        result.append(newText);
        pos = hit + oldText.size();
    }
}

std::string_view TrimBlanks(std::string_view S)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!S.empty() && blank(S.front()))
        S.remove_prefix(1);
    while (!S.empty() && blank(S.back()))
        S.remove_suffix(1);
    return S;
}

std::string AsciiLower(std::string_view S)
{
    std::string out(S);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EqualsNoCase(std::string_view A, std::string_view B)
{
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
        return UpperLatin(a) == UpperLatin(b);
    });
}

} // namespace valdrin::common
