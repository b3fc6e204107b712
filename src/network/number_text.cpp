#include "network/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace levelnet {
namespace {

const double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal magnitude of a well-formed unsigned number text: the power of ten
// of its first significant digit plus one (so 1 for "5", 0 for "0.5"), plus
// its exponent. Saturates far beyond the range of a double.
long long decimalMagnitude(std::string_view t) {
  long long place = 0;
  bool afterPoint = false, found = false;
  std::size_t i = 0;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    char c = t[i];
    if (c == '.') {
      afterPoint = true;
      continue;
    }
    if (!found && c != '0') {
      found = true;
      if (afterPoint) break;
    }
    if (found && !afterPoint) ++place;
    if (!found && afterPoint) --place;
  }
  while (i < t.size() && t[i] != 'e' && t[i] != 'E') ++i;
  long long exponent = 0;
  if (i < t.size()) {
    ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    for (; i < t.size(); ++i) exponent = std::min(exponent * 10 + (t[i] - '0'), 1000000000LL);
    if (neg) exponent = -exponent;
  }
  return place + exponent;
}

}  // namespace

int decimalPlaces(std::string_view text) {
  long long fraction = 0, exponent = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] != '.' && text[i] != 'e' && text[i] != 'E') ++i;
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && isDigit(text[i]); ++i) ++fraction;
  while (i < text.size() && text[i] != 'e' && text[i] != 'E') ++i;
  if (i < text.size()) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    for (; i < text.size() && isDigit(text[i]); ++i) exponent = std::min(exponent * 10 + (text[i] - '0'), 1000LL);
    if (negative) exponent = -exponent;
  }
  return static_cast<int>(std::clamp(fraction - exponent, -20LL, 20LL));
}

std::optional<double> parseNumber(std::string_view text) {
  std::size_t i = 0, n = text.size();
  while (i < n && isBlank(text[i])) ++i;
  std::size_t end = n;
  while (end > i && isBlank(text[end - 1])) --end;
  std::string_view core = text.substr(i, end - i);

  // Check the form ourselves: from_chars alone would also take "inf", "nan"
  // and hex digits after "0x" in some modes.
  std::size_t p = 0;
  bool negative = false;
  if (p < core.size() && (core[p] == '+' || core[p] == '-')) negative = core[p++] == '-';
  std::size_t mantissaStart = p;
  std::size_t intDigits = 0, fracDigits = 0;
  while (p < core.size() && isDigit(core[p])) ++p, ++intDigits;
  if (p < core.size() && core[p] == '.') {
    ++p;
    while (p < core.size() && isDigit(core[p])) ++p, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return std::nullopt;
  if (p < core.size() && (core[p] == 'e' || core[p] == 'E')) {
    ++p;
    if (p < core.size() && (core[p] == '+' || core[p] == '-')) ++p;
    std::size_t expDigits = 0;
    while (p < core.size() && isDigit(core[p])) ++p, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (p != core.size()) return std::nullopt;

  // from_chars takes no leading "+".
  std::string_view unsignedPart = core.substr(mantissaStart);
  double v = 0.0;
  auto [ptr, ec] =
      std::from_chars(unsignedPart.data(), unsignedPart.data() + unsignedPart.size(), v, std::chars_format::general);
  if (ptr != unsignedPart.data() + unsignedPart.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Too large is no number; too small reads as 0. Which one it is follows
    // from the decimal magnitude: the place of the first significant digit
    // plus the exponent.
    if (decimalMagnitude(core.substr(mantissaStart)) > 0) return std::nullopt;
    v = 0.0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  return negative ? -v : v;
}

bool isCount(double value) { return value >= 0.0 && std::floor(value) == value && std::isfinite(value); }

double roundHalfUp(double v, int decimals) {
  const double scale = kPowersOfTen[decimals];
  const double scaled = v * scale;
  // Beyond 2^53 a double has no fraction left to round; near the top of the
  // range the scaling alone would overflow to infinity.
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9007199254740992.0) return v;
  double r = std::floor(scaled + 0.5) / scale;
  return r == 0.0 ? 0.0 : r;  // never a negative zero
}

std::size_t writeNumberText(char* buf, double v) {
  if (v == 0.0) {  // also -0
    buf[0] = '0';
    return 1;
  }
  auto res = std::to_chars(buf, buf + kMaxNumberChars, v, std::chars_format::general, 15);
  return static_cast<std::size_t>(res.ptr - buf);
}

void appendNumberText(std::string& out, double v) {
  char buf[kMaxNumberChars];
  out.append(buf, writeNumberText(buf, v));
}

std::string numberText(double v) {
  std::string s;
  appendNumberText(s, v);
  return s;
}

std::size_t writeFixedText(char* buf, double v, int decimals) {
  const double scale = kPowersOfTen[decimals];
  const double whole = std::floor(v * scale + 0.5);
  if (std::fabs(whole) < 1e15) {
    // The rounded value is whole / 10^k; its text under the mask has exactly
    // the digits of `whole` (the nearest double to whole / 10^k lies far
    // closer to it than half a unit of the last decimal), so write them
    // directly instead of going through a floating-point conversion.
    std::uint64_t digits = static_cast<std::uint64_t>(std::fabs(whole));
    char tmp[32];
    char* end = tmp + sizeof tmp;
    char* p = end;
    for (int i = 0; i < decimals; ++i) {
      *--p = static_cast<char>('0' + digits % 10);
      digits /= 10;
    }
    if (decimals > 0) *--p = '.';
    do {
      *--p = static_cast<char>('0' + digits % 10);
      digits /= 10;
    } while (digits != 0);
    if (whole < 0.0) *--p = '-';
    std::memcpy(buf, p, static_cast<std::size_t>(end - p));
    return static_cast<std::size_t>(end - p);
  }
  // Far from a whole number of units only where the scaling overflowed: the
  // value itself is then written with its digits, never as "inf".
  const double rounded = std::isfinite(whole) ? whole / scale : v;
  auto res = std::to_chars(buf, buf + kMaxNumberChars, rounded, std::chars_format::fixed, decimals);
  return static_cast<std::size_t>(res.ptr - buf);
}

void appendFixedText(std::string& out, double v, int decimals) {
  char buf[kMaxNumberChars];
  out.append(buf, writeFixedText(buf, v, decimals));
}

std::string fixedText(double v, int decimals) {
  std::string s;
  appendFixedText(s, v, decimals);
  return s;
}

}  // namespace levelnet
