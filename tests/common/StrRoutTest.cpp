#include <gtest/gtest.h>

#include "common/StrRout.h"

using namespace valdrin::common;

namespace {

using List = std::vector<std::string>;

const TCharSet kComma = MakeCharSet(",");
const TCharSet kBlank = MakeCharSet(" ");
const TCharSet kTab = MakeCharSet("\t");
const TCharSet kLineBreaks = MakeCharSet("\r\n");

// Every word of S by repeated ReadWord, with the positions after each.
struct Read {
    List Words;
    std::vector<int> Positions;
};
Read ReadAll(std::string_view S, const TCharSet &D, bool skip, bool strip)
{
    Read r;
    int P = 1;
    while (P <= static_cast<int>(S.size())) {
        r.Words.push_back(ReadWord(S, D, skip, static_cast<int>(S.size()), P, strip));
        r.Positions.push_back(P);
    }
    return r;
}

} // namespace

TEST(ReadWord, QuotesGroupDelimitersAndStayUnlessStripped)
{
    const std::string s = "\"x,y\",z";
    int P = 1;
    EXPECT_EQ(ReadWord(s, kComma, false, 7, P, false), "\"x,y\"");
    EXPECT_EQ(P, 7);
    EXPECT_EQ(ReadWord(s, kComma, false, 7, P, false), "z");
    EXPECT_EQ(P, 8);

    P = 1;
    EXPECT_EQ(ReadWord(s, kComma, false, 7, P, true), "x,y");
    // A quote inside a word switches quoting too.
    P = 1;
    EXPECT_EQ(ReadWord("a\"b,c\"d,e", kComma, false, 9, P, false), "a\"b,c\"d");
    // An unclosed quote runs to the end.
    P = 1;
    EXPECT_EQ(ReadWord("\"a,b", kComma, false, 4, P, true), "a,b");
}

TEST(ReadWord, ConsumesExactlyOneDelimiterAndSkipsOnlyWhenAsked)
{
    auto r = ReadAll("a,,b", kComma, false, false);
    EXPECT_EQ(r.Words, (List { "a", "", "b" }));
    EXPECT_EQ(r.Positions, (std::vector<int> { 3, 4, 5 }));

    r = ReadAll(",,a", kComma, true, false);
    EXPECT_EQ(r.Words, (List { "a" }));

    r = ReadAll("a  b ", kBlank, true, false);
    EXPECT_EQ(r.Words, (List { "a", "b" }));
}

TEST(ReadWord, EndPositionAndOutOfRangeStarts)
{
    int P = 1;
    EXPECT_EQ(ReadWord("abc,def", kComma, false, 2, P, false), "ab"); // E stops it
    EXPECT_EQ(P, 3);
    P = 0; // before the text: from the start
    EXPECT_EQ(ReadWord("abc", kComma, false, 3, P, false), "abc");
    P = 10; // past the end: nothing, P unchanged
    EXPECT_EQ(ReadWord("abc", kComma, false, 3, P, false), "");
    EXPECT_EQ(P, 10);
    P = 1; // E beyond the text is the end of the text
    EXPECT_EQ(ReadWord("ab", kComma, false, 99, P, false), "ab");
    EXPECT_EQ(P, 3);
}

TEST(ReadWord, AQuoteThatIsAlsoADelimiter)
{
    // The closing quote ends the word and is consumed as the delimiter.
    const auto D = MakeCharSet("\"");
    int P = 1;
    EXPECT_EQ(ReadWord("ab\"cd", D, false, 5, P, false), "ab");
    EXPECT_EQ(P, 4);
    EXPECT_EQ(GetNextWord("ab\"cd", D, false, P, false), "cd");
}

TEST(CountWords, FieldsCountDelimitersNotQuotes)
{
    EXPECT_EQ(CountWords("a\tb", kTab, false), 2);
    EXPECT_EQ(CountWords("", kTab, false), 0);
    EXPECT_EQ(CountWords("x\r\n\r\n", kLineBreaks, true), 2);
    EXPECT_EQ(CountWords("x\r\n\r\n", kLineBreaks, false), 5);
    EXPECT_EQ(CountWords("a,b,", kComma, false), 3);
    EXPECT_EQ(CountWords(",", kComma, false), 2);
    EXPECT_EQ(CountWords("\"a,b\"", kComma, false), 2); // a quoted comma still counts
    EXPECT_EQ(CountWords(",,a,,b,,", kComma, true), 4);
    EXPECT_EQ(CountWords("abc", kComma, true), 1);
}

TEST(NthWord, OneBasedAndEmptyBeyondTheEnd)
{
    EXPECT_EQ(NthWord("a b", 3, kBlank, false), "");
    EXPECT_EQ(NthWord("a b", 2, kBlank, false), "b");
    EXPECT_EQ(NthWord("a b", 1, kBlank, false), "a");
    EXPECT_EQ(NthWord("a b", 0, kBlank, false), "");
    EXPECT_EQ(NthWord("a b", -1, kBlank, false), "");
    EXPECT_EQ(NthWord("a,,b", 2, kComma, false), "");
    EXPECT_EQ(NthWord("a,,b", 3, kComma, false), "b");
    EXPECT_EQ(NthWord("a,,b", 2, kComma, true), "b");
    EXPECT_EQ(NthWord("a,", 2, kComma, false), ""); // the text ran out first
    EXPECT_EQ(NthWord("\"x y\" z", 2, kBlank, false), "z");
    EXPECT_EQ(NthWord("", 1, kBlank, false), "");
}

TEST(SplitToStrings, EmptyFieldsAndTheTrailingItem)
{
    EXPECT_EQ(SplitToStrings("a,,b", kComma, false), (List { "a", "", "b" }));
    EXPECT_EQ(SplitToStrings("a,", kComma, false), (List { "a", "" }));
    EXPECT_EQ(SplitToStrings("", kComma, false), (List { "" }));
    EXPECT_EQ(SplitToStrings(",a", kComma, false), (List { "", "a" }));
    EXPECT_EQ(SplitToStrings(",a", kComma, true), (List { "a" }));
    EXPECT_EQ(SplitToStrings("a,,b", kComma, true), (List { "a", "b" }));
    // CR LF at the end: the lone LF left after the last word gives one empty
    // item, the trailing delimiter another.
    EXPECT_EQ(
        SplitToStrings("1\t2\r\n3\t4\r\n", kLineBreaks, true), (List { "1\t2", "3\t4", "", "" }));
    EXPECT_EQ(SplitToStrings("1\r\n2", kLineBreaks, true), (List { "1", "2" }));
    EXPECT_EQ(SplitToStrings("\"a,b\",c", kComma, false), (List { "\"a,b\"", "c" }));
}

TEST(JoinStrings, SeparatorsBetweenItemsFromFirstToLast)
{
    EXPECT_EQ(JoinStrings({ "3", "", "", "", "" }, ';', 0, -1), "3;;;;");
    EXPECT_EQ(JoinStrings({ "a", "b", "c" }, ',', 1, -1), "b,c");
    EXPECT_EQ(JoinStrings({ "a", "b", "c" }, ',', 0, 1), "a,b");
    EXPECT_EQ(JoinStrings({}, ',', 0, -1), "");
    EXPECT_EQ(JoinStrings({ "a" }, ',', 0, -1), "a");
    // Out-of-range indices stay inside the list.
    EXPECT_EQ(JoinStrings({ "a", "b" }, ',', 0, 7), "a,b");
    EXPECT_EQ(JoinStrings({ "a", "b" }, ',', 5, -1), "");
    EXPECT_EQ(JoinStrings({ "a", "b" }, ',', -2, -1), "a,b");
}

TEST(TextBeforeAfter, LatinCaseFoldingOnlyAndCopiesFromTheText)
{
    EXPECT_EQ(TextBefore("ab", "xxABc", false), "xx");
    EXPECT_EQ(TextBefore("ab", "xxABc", true), "xxABc");
    EXPECT_EQ(TextAfter("ab", "xxABc", false), "c");
    EXPECT_EQ(TextAfter("ab", "xxABc", true), "");
    EXPECT_EQ(TextAfter("=", "Key=Value=2", true), "Value=2");
    EXPECT_EQ(TextBefore("", "abc", false), "abc"); // an empty text never occurs
    EXPECT_EQ(TextAfter("", "abc", false), "");
    EXPECT_EQ(TextBefore("abcd", "abc", false), "abc");
    // Cyrillic letters are compared exactly.
    EXPECT_EQ(TextBefore("да", "ДА да", false), "ДА ");
    EXPECT_EQ(TextAfter("ДА", "xдаy", false), "");
    EXPECT_EQ(TextAfter("name", "[NAME]x", false), "]x");
}

TEST(StripChar, OneQuoteAtEachEnd)
{
    EXPECT_EQ(StripChar("", '"'), "");
    EXPECT_EQ(StripChar("\"", '"'), "");
    EXPECT_EQ(StripChar("\"\"", '"'), "");
    EXPECT_EQ(StripChar("\"\"\"", '"'), "\"");
    EXPECT_EQ(StripChar("\"a\"", '"'), "a");
    EXPECT_EQ(StripChar("\"a", '"'), "a");
    EXPECT_EQ(StripChar("a\"", '"'), "a");
    EXPECT_EQ(StripChar("a", '"'), "a");
}

TEST(ReplaceText, EveryOccurrenceLeftToRightWithoutRescanning)
{
    EXPECT_EQ(ReplaceText("1;2;;4", ";", "\r\n", true), "1\r\n2\r\n\r\n4");
    EXPECT_EQ(ReplaceText("1;2;", ";", "\r\n", true), "1\r\n2\r\n");
    EXPECT_EQ(ReplaceText("aaa", "aa", "b", true), "ba");
    EXPECT_EQ(ReplaceText("ab", "a", "aa", true), "aab"); // the new text is not searched again
    EXPECT_EQ(ReplaceText("xAbxab", "ab", "-", false), "x-x-");
    EXPECT_EQ(ReplaceText("xAbxab", "ab", "-", true), "xAbx-");
    EXPECT_EQ(ReplaceText("abc", "", "-", true), "abc");
    EXPECT_EQ(ReplaceText("", ";", "-", true), "");
    EXPECT_EQ(ReplaceText(";", ";", "", true), "");
    // A row of several megabytes of separators (a damaged parameter file).
    const std::string row(4 << 20, ';');
    const std::string lines = ReplaceText(row, ";", "\n", true);
    EXPECT_EQ(lines, std::string(4 << 20, '\n'));
}

TEST(StrRout, RowsStoredAndReadBackThroughJoinAndReplace)
{
    // A table row goes into a parameter file joined with ";" and comes back
    // split into lines; a delimiter inside quotes stays in its cell.
    const List row { "ARA0", "", "1.3", "\"q;x\"" };
    const auto stored = JoinStrings(row, ';', 0, -1);
    EXPECT_EQ(stored, "ARA0;;1.3;\"q;x\"");
    const auto lines = ReplaceText(stored, ";", "\n", true);
    EXPECT_EQ(
        SplitToStrings(lines, MakeCharSet("\n"), false), (List { "ARA0", "", "1.3", "\"q\nx\"" }));
}
