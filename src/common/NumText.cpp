#include "common/NumText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h> // newlocale, strtod_l
#include <system_error>

#include "common/StrRout.h"

namespace valdrin::common {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string NonFinite(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

void SetSeparator(std::string &s, char decimalSep)
{
    for (char &c : s)
        if (c == '.')
            c = decimalSep;
}

} // namespace

std::optional<double> TextToFloat(std::string_view text, char decimalSep)
{
    text = TrimBlanks(text);
    // Validate the shape first, building a point-separated copy for from_chars.
    std::string norm;
    norm.reserve(text.size());
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            norm += '-';
        ++i;
    }
    int mantissaDigits = 0; // digits before and after the separator
    while (i < text.size() && IsDigit(text[i])) {
        norm += text[i++];
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == decimalSep) {
        if (mantissaDigits == 0)
            norm += '0'; // from_chars wants a digit before the point
        norm += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            norm += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        norm += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            norm += text[i++];
        int expDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            norm += text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0;
    const char *first = norm.data();
    const auto res = std::from_chars(first, norm.data() + norm.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Overflow is not a number a control can hold; underflow reads as 0.
        const double approx = StrToDoubleC(norm);
        if (std::isinf(approx))
            return std::nullopt;
        return approx;
    }
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size())
        return std::nullopt;
    return value;
}

std::optional<double> TextToFloatAnySep(std::string_view text, char decimalSep)
{
    // At most one separator is allowed, so no text reads two ways.
    for (const char sep : { decimalSep, '.', ',' })
        if (const auto value = TextToFloat(text, sep))
            return value;
    return std::nullopt;
}

std::optional<int> TextToInt(std::string_view text)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string FormatFixed(double value, int digits, char decimalSep)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    if (digits < 0)
        digits = 0;
    if (digits > 30)
        digits = 30;
    // to_chars, not printf: a window that sets a comma locale (LC_NUMERIC)
    // must not change what files hold.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, digits);
    std::string s(buf, res.ptr);
    SetSeparator(s, decimalSep);
    return s;
}

double StrToDoubleC(const std::string &text)
{
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    return c ? strtod_l(text.c_str(), nullptr, c) : std::strtod(text.c_str(), nullptr);
}

std::string FormatShown(double value, int digits, char decimalSep)
{
    std::string s = FormatFixed(value, digits, decimalSep);
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("0.,", 1) == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string FormatGeneral(double value, char decimalSep)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    if (value == 0)
        return "0";
    // Shortest round-trip digits in scientific form: d[.ddd]e[+-]x
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    const auto ePos = sci.find('e');
    std::string mant = sci.substr(0, ePos);
    const int exp10 = std::atoi(sci.c_str() + ePos + 1);
    const bool negative = mant.front() == '-';
    if (negative)
        mant.erase(0, 1);
    std::string digits;
    for (char c : mant)
        if (c != '.')
            digits += c;
    std::string out = negative ? "-" : "";
    if (std::fabs(value) < 0.00001 || exp10 >= 18) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exp10);
    } else if (exp10 >= 0) {
        const std::size_t intLen = static_cast<std::size_t>(exp10) + 1;
        if (digits.size() <= intLen) {
            out += digits + std::string(intLen - digits.size(), '0');
        } else {
            out += digits.substr(0, intLen);
            out += '.';
            out += digits.substr(intLen);
        }
    } else {
        out += "0.";
        out += std::string(static_cast<std::size_t>(-exp10 - 1), '0');
        out += digits;
    }
    SetSeparator(out, decimalSep);
    return out;
}

std::string FormatExponent(double value, int digits, char decimalSep)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    if (digits < 1)
        digits = 1;
    if (digits > 30)
        digits = 30;
    char buf[96];
    const auto res
        = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits - 1);
    std::string s(buf, res.ptr);
    const auto ePos = s.find('e');
    std::string mant = s.substr(0, ePos);
    const char sign = s[ePos + 1];
    const int expAbs = std::abs(std::atoi(s.c_str() + ePos + 1));
    char expBuf[16];
    std::snprintf(expBuf, sizeof expBuf, "%03d", expAbs);
    std::string out = mant + "E" + (sign == '-' ? "-" : "+") + expBuf;
    SetSeparator(out, decimalSep);
    return out;
}

} // namespace valdrin::common
