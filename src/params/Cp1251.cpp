#include "params/Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace valdrin::params {

namespace {

// Code points of the bytes 0x80..0xFF; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char32_t ByteToCodePoint(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return static_cast<char32_t>(0x0410 + (b - 0xC0));
    return kHigh[b - 0x80];
}

// (code point, byte) of 0x80..0xBF, sorted by code point for the reverse lookup.
using TReversePair = std::pair<char16_t, unsigned char>;
const std::array<TReversePair, 64> &ReverseTable()
{
    static const std::array<TReversePair, 64> table = [] {
        std::array<TReversePair, 64> t {};
        for (std::size_t i = 0; i < kHigh.size(); ++i)
            t[i] = { kHigh[i], static_cast<unsigned char>(0x80 + i) };
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

int CodePointToByte(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(0xC0 + (cp - 0x0410));
    if (cp > 0xFFFF)
        return -1;
    const auto &table = ReverseTable();
    const auto it = std::lower_bound(table.begin(), table.end(), TReversePair { char16_t(cp), 0 });
    if (it == table.end() || it->first != cp)
        return -1;
    return it->second;
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one character at text[pos]; returns its length, or 0 when the
// bytes there are not a valid UTF-8 sequence.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t &cp)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t minCp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        minCp = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        minCp = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        minCp = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - pos < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minCp || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string Cp1251ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text)
        AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8ToCp1251(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0) {
            out += '?';
            ++pos;
            continue;
        }
        const int b = CodePointToByte(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
        pos += len;
    }
    return out;
}

std::string RepairUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0) {
            AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(text[pos])));
            ++pos;
        } else {
            out.append(text.substr(pos, len));
            pos += len;
        }
    }
    return out;
}

bool FitsCp1251(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0 || CodePointToByte(cp) < 0)
            return false;
        pos += len;
    }
    return true;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        // ASCII runs are the common case of a parameter file.
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0)
            return false;
        pos += len;
    }
    return true;
}

} // namespace valdrin::params
