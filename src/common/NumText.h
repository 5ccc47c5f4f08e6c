// Numbers as texts. Two kinds of text: what a user types (their decimal
// separator, passed in) and what files hold (always a point).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace valdrin::common {

// A real typed by the user: optional blanks, sign, digits with at most one
// decimalSep, optional exponent (e/E, sign, digits), optional blanks. Any
// other character (a point where a comma is expected, a thousands separator,
// "inf", "nan") makes the text not a number.
std::optional<double> TextToFloat(std::string_view text, char decimalSep);
// strtod in the C locale, whatever LC_NUMERIC the program runs under (a
// window sets the user's, where "1.5e-400" would read as 1): for the values
// from_chars reports out of range without giving them.
double StrToDoubleC(const std::string &text);

// A table cell or an edit's text: TextToFloat with decimalSep, the point or
// the comma. Neither is a digit-group separator in these texts, so a cell
// written under another locale reads as its writer meant it.
std::optional<double> TextToFloatAnySep(std::string_view text, char decimalSep);

// A decimal 32-bit integer: optional blanks, sign, digits, optional blanks.
std::optional<int> TextToInt(std::string_view text);

// "%1.*f": fixed point with `digits` decimals. Non-finite values give "NAN",
// "INF" or "-INF".
std::string FormatFixed(double value, int digits, char decimalSep = '.');
// As FormatFixed, for the eye: a value that shows as zero has no sign
// ("0.0", not "-0.0").
std::string FormatShown(double value, int digits, char decimalSep = '.');

// The shortest text that reads back to the same double, in the general form
// of the parameter files: plain notation, or mantissa "E" exponent (1E-6,
// 1.5E20) when |value| < 0.00001 or the integer part has more than 18 digits.
std::string FormatGeneral(double value, char decimalSep = '.');

// "%1.*e": `digits` significant digits, "E", sign and a three-digit
// exponent, as in 1.2346E-004 for FormatExponent(0.000123456, 5).
std::string FormatExponent(double value, int digits, char decimalSep = '.');

} // namespace valdrin::common
