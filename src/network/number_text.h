// Number text rules shared by the tables, the data file and the report.
//
// The decimal separator is always "." whatever the locale, in both directions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace levelnet {

// Reads a number: optional blanks (space or tab), optional sign, digits with an
// optional "." and optional fraction ("5.") or "." and digits (".5"), an
// optional exponent (e/E, optional sign, digits), optional blanks. No hex, inf
// or nan; a value beyond the range of a double (1e400) is not a number, one
// too small for it reads as 0. Nothing when `text` is not a number.
std::optional<double> parseNumber(std::string_view text);

// The decimals a number's text gives, counted from its fraction digits and
// exponent: 4 for "1.2345", 3 for "-0.120", 0 for "12", -2 for "12e2",
// clamped to -20..20. The resolution of the text is 10^-decimals. Expects a
// text parseNumber accepts; other text gives 0.
int decimalPlaces(std::string_view text);

// The texts Open shows for a number's text, found from the text alone where
// it is a plain decimal (optional "-", digits, optional "." and digits; no
// blanks, "+" or exponent) with at most 15 significant digits: exactly
// numberText(*parseNumber(text)) and, for at most 4 decimals and fewer than
// 10^10 in magnitude, fixedText(*parseNumber(text), 4), without a conversion.
// False (and `out` untouched) for any other text; the caller converts then.
bool plainNumberText(std::string_view text, std::string& out);
bool plainFixedText4(std::string_view text, std::string& out);

// True when `value` is a whole number from 0 upwards.
bool isCount(double value);

// Half up to `decimals` (0 to 4) decimals: floor(v * 10^k + 0.5) / 10^k. Ties go
// towards plus infinity; the result is never a negative zero.
double roundHalfUp(double v, int decimals);

// The general text of a number: up to 15 significant digits, no trailing
// zeros, no "." for a whole number, exponent form only where printf's %.15g
// would use it. Never "-0".
void appendNumberText(std::string& out, double v);
std::string numberText(double v);

// The masks "0.0" (1), "0.000" (3), "0.0000" (4): the value rounded half up to
// `decimals` decimals, at least one digit before ".", exactly `decimals` after
// it, "-" only for a negative result.
void appendFixedText(std::string& out, double v, int decimals);
// The same into `buf` (room for kMaxNumberChars), returning the length.
std::size_t writeFixedText(char* buf, double v, int decimals);
std::size_t writeNumberText(char* buf, double v);
inline constexpr std::size_t kMaxNumberChars = 400;
std::string fixedText(double v, int decimals);

}  // namespace levelnet
