#include "network/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace levelnet {
namespace {

const double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
// 10^0 to 10^22, every one exact in a double.
const double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

// A plain decimal text: optional "-", digits, optional "." and digits, at
// least one digit, nothing else.
struct PlainDecimal {
  bool negative = false;
  std::string_view whole, fraction;
};

bool readPlainDecimal(std::string_view text, PlainDecimal& d) {
  std::size_t p = 0;
  if (p < text.size() && text[p] == '-') d.negative = true, ++p;
  const std::size_t wholeStart = p;
  while (p < text.size() && isDigit(text[p])) ++p;
  d.whole = text.substr(wholeStart, p - wholeStart);
  if (p < text.size() && text[p] == '.') {
    const std::size_t fractionStart = ++p;
    while (p < text.size() && isDigit(text[p])) ++p;
    d.fraction = text.substr(fractionStart, p - fractionStart);
  }
  return p == text.size() && !(d.whole.empty() && d.fraction.empty());
}

}  // namespace

bool plainNumberText(std::string_view text, std::string& out) {
  PlainDecimal d;
  if (!readPlainDecimal(text, d)) return false;
  // The digits of whole and fraction as one sequence; the decimal point
  // stands after `split` of them.
  const std::size_t split = d.whole.size(), count = split + d.fraction.size();
  const auto digit = [&](std::size_t i) { return i < split ? d.whole[i] : d.fraction[i - split]; };
  std::size_t first = 0;
  while (first < count && digit(first) == '0') ++first;
  if (first == count) {  // zero, also "-0": numberText writes "0"
    out.assign(1, '0');
    return true;
  }
  std::size_t last = count - 1;
  while (digit(last) == '0') --last;
  // At most 15 significant digits read back from the double unchanged, and
  // printf's %.15g writes them without an exponent when the first one's
  // power of ten lies in -4..14.
  const long long exponent = static_cast<long long>(split) - 1 - static_cast<long long>(first);
  if (last - first + 1 > 15 || exponent < -4 || exponent > 14) return false;
  out.clear();
  if (d.negative) out += '-';
  if (exponent >= 0)
    out.append(d.whole.substr(first));
  else
    out += '0';
  if (last >= split) {
    out += '.';
    out.append(d.fraction.substr(0, last - split + 1));
  }
  return true;
}

bool plainFixedText4(std::string_view text, std::string& out) {
  PlainDecimal d;
  if (!readPlainDecimal(text, d) || d.fraction.size() > 4) return false;
  std::size_t first = 0;
  while (first < d.whole.size() && d.whole[first] == '0') ++first;
  // Below 10^10 the scaled value v * 10^4 lies within 0.01 of the whole
  // number of units the text gives, so the mask rounds to exactly it.
  if (d.whole.size() - first > 10) return false;
  const bool zero = first == d.whole.size() && d.fraction.find_first_not_of('0') == std::string_view::npos;
  out.clear();
  if (d.negative && !zero) out += '-';
  if (first == d.whole.size())
    out += '0';
  else
    out.append(d.whole.substr(first));
  out += '.';
  out.append(d.fraction);
  out.append(4 - d.fraction.size(), '0');
  return true;
}

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
  const std::size_t mantissaEnd = p;
  long long exponent = 0;
  if (p < core.size() && (core[p] == 'e' || core[p] == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p < core.size() && (core[p] == '+' || core[p] == '-')) negativeExponent = core[p++] == '-';
    std::size_t expDigits = 0;
    while (p < core.size() && isDigit(core[p])) {
      exponent = std::min(exponent * 10 + (core[p] - '0'), 100000LL);
      ++p, ++expDigits;
    }
    if (expDigits == 0) return std::nullopt;
    if (negativeExponent) exponent = -exponent;
  }
  if (p != core.size()) return std::nullopt;

  // The common case without a conversion routine: all digits as one whole
  // number m of at most 2^53 and a power of ten 10^k with |k| <= 22 are both
  // exact doubles, so the one rounded product or quotient m * 10^k is the
  // correctly rounded value of the text, as strtod gives it.
  {
    std::uint64_t m = 0;
    int significant = 0;
    for (std::size_t q = mantissaStart; q < mantissaEnd && significant <= 19; ++q) {
      if (core[q] == '.') continue;
      if (m != 0 || core[q] != '0') ++significant;
      m = m * 10 + static_cast<std::uint64_t>(core[q] - '0');
    }
    const long long k = exponent - static_cast<long long>(fracDigits);
    if (significant <= 19 && m <= (std::uint64_t{1} << 53) && k >= -22 && k <= 22) {
      const double exact = static_cast<double>(m);
      const double v = k >= 0 ? exact * kExactPowersOfTen[k] : exact / kExactPowersOfTen[-k];
      return negative ? -v : v;
    }
  }

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
