#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdint>
#include <string>

#include "params/Cp1251.h"

using namespace valdrin::params;

namespace {

// glibc's converter as an independent reference for the code page.
std::string IconvToUtf8(const std::string &cp1251)
{
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (reinterpret_cast<std::intptr_t>(cd) == -1)
        return {};
    std::string in = cp1251;
    std::string out(in.size() * 4 + 4, '\0');
    char *inPtr = in.data();
    char *outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return {};
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

TEST(Cp1251, EveryByteMapsAsTheSystemConverterDoesAndConvertsBack)
{
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = Cp1251ToUtf8(byte);
        EXPECT_TRUE(IsValidUtf8(utf8)) << b;
        EXPECT_EQ(Utf8ToCp1251(utf8), byte) << b;
        if (b != 0x98) { // undefined in the code page; glibc refuses it
            EXPECT_EQ(utf8, IconvToUtf8(byte)) << b;
        }
    }
}

TEST(Cp1251, RussianTextBothWays)
{
    const std::string cp = "\xD1\xF2\xE0\xED\xF6\xE8\xFF \xA8\xB8 \xB9"
                           "5";
    const std::string utf8 = "Станция Ёё №5";
    EXPECT_EQ(Cp1251ToUtf8(cp), utf8);
    EXPECT_EQ(Utf8ToCp1251(utf8), cp);
}

TEST(Cp1251, WhatTheCodePageLacksBecomesAQuestionMark)
{
    EXPECT_EQ(Utf8ToCp1251("a日b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("😀"), "?");
    EXPECT_EQ(Utf8ToCp1251("é"), "?");
    // Stray bytes: one mark per byte, the rest of the text survives.
    EXPECT_EQ(Utf8ToCp1251("x\xFF\xFEy"), "x??y");
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");
    EXPECT_EQ(Utf8ToCp1251("\xD0"
                           "A"),
        "?A");
}

TEST(IsValidUtf8, StrictForms)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII\r\n"));
    EXPECT_TRUE(IsValidUtf8("Норбек 😀 €"));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBB\xBF[x]"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80")); // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF")); // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82")); // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));
    // Russian in the 8-bit code page is not UTF-8.
    EXPECT_FALSE(IsValidUtf8("\xD1\xF2\xE0\xED\xF6\xE8\xFF"));
}
