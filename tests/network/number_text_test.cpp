// Number text rules and the report's field filling.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "adjust/report_writer.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet {
namespace {

TEST(NumberText, ParseAcceptsTheNumberForms) {
  struct Row {
    const char* text;
    double value;
  } rows[] = {
      {"5", 5},          {"5.", 5},
      {".5", 0.5},       {"-.5", -0.5},
      {"+2.25", 2.25},   {" 7\t", 7},
      {"\t-3.5 ", -3.5}, {"1e3", 1000},
      {"1E+3", 1000},    {"2.5e-2", 0.025},
      {"007", 7},        {"-0", 0},
      {"1e-400", 0},     {"12.3456789012345678", 12.3456789012345678},
  };
  for (const Row& r : rows) {
    const std::optional<double> v = parseNumber(r.text);
    ASSERT_TRUE(v) << r.text;
    EXPECT_EQ(*v, r.value) << r.text;
  }
}

TEST(NumberText, ParseRefusesWhatIsNotANumber) {
  const char* rows[] = {"",    " ",     ".",   "-",    "+",     "e5",     "1e",  "1e+", "0x10", "inf",  "nan",
                        "1,5", "1.2.3", "1 2", "12,5", "1e400", "-1e400", "abc", "5m",  "１２", "1.5.", "--1"};
  for (const char* text : rows) EXPECT_FALSE(parseNumber(text)) << "accepted: " << text;
}

TEST(NumberText, ParseIgnoresTheLocale) {
  // Under a locale with a decimal comma "1.5" is still 1.5 and "1,5" no number.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  const bool haveComma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(parseNumber("1.5"), 1.5);
  EXPECT_FALSE(parseNumber("1,5"));
  EXPECT_EQ(fixedText(1.5, 4), "1.5000");
  EXPECT_EQ(numberText(1.5), "1.5");
  EXPECT_EQ(numberText(1e-5), "1e-05");
  EXPECT_EQ(fixedText(1e20, 1), "100000000000000000000.0");
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!haveComma) GTEST_SKIP() << "no de_DE locale here; checked under the C locale only";
}

TEST(NumberText, IsCountTakesWholeNumbersFromZero) {
  EXPECT_TRUE(isCount(0));
  EXPECT_TRUE(isCount(-0.0));
  EXPECT_TRUE(isCount(3));
  EXPECT_TRUE(isCount(1e5));
  EXPECT_FALSE(isCount(2.5));
  EXPECT_FALSE(isCount(-1));
  EXPECT_FALSE(isCount(INFINITY));
  EXPECT_FALSE(isCount(NAN));
}

TEST(NumberText, GeneralTextHasFifteenDigitsAndNoTrailingZeros) {
  struct Row {
    double v;
    const char* text;
  } rows[] = {
      {11.003, "11.003"},
      {5, "5"},
      {-6, "-6"},
      {12.5, "12.5"},
      {0.1 + 0.2, "0.3"},
      {10 + 1.003, "11.003"},
      {-0.0, "0"},
      {0, "0"},
      {123456789012345, "123456789012345"},
      {1.0 / 3, "0.333333333333333"},
      {-2.5, "-2.5"},
      {0.0001, "0.0001"},
      {1e-5, "1e-05"},
      {1e15, "1e+15"},
      {-7.2, "-7.2"},
  };
  for (const Row& r : rows) EXPECT_EQ(numberText(r.v), r.text) << r.v;
}

TEST(NumberText, RoundHalfUpGoesTowardsPlusInfinity) {
  EXPECT_EQ(roundHalfUp(2.25, 1), 2.3);
  EXPECT_EQ(roundHalfUp(-2.25, 1), -2.2);
  EXPECT_EQ(roundHalfUp(-0.05, 1), 0.0);
  EXPECT_FALSE(std::signbit(roundHalfUp(-0.04, 1)));  // never a negative zero
  EXPECT_FALSE(std::signbit(roundHalfUp(-0.00004, 4)));
  EXPECT_EQ(roundHalfUp(-0.06, 1), -0.1);
  EXPECT_EQ(roundHalfUp(1.23449, 3), 1.234);
  EXPECT_EQ(roundHalfUp(0.5, 0), 1.0);
  EXPECT_EQ(roundHalfUp(-0.5, 0), 0.0);
}

TEST(NumberText, MasksRoundHalfUpAndNeverWriteMinusZero) {
  struct Row {
    double v;
    int decimals;
    const char* text;
  } rows[] = {
      {1.234, 4, "1.2340"},
      {0.5, 4, "0.5000"},
      {-0.00004, 4, "0.0000"},
      {-0.00006, 4, "-0.0001"},
      {-12.34567, 4, "-12.3457"},
      {2.5, 4, "2.5000"},
      {-1, 4, "-1.0000"},
      {0, 4, "0.0000"},
      {-0.0, 1, "0.0"},
      {-0.04, 1, "0.0"},
      {-0.05, 1, "0.0"},
      {-0.06, 1, "-0.1"},
      {2.25, 1, "2.3"},
      {-2.25, 1, "-2.2"},
      {1.4142, 3, "1.414"},
      {0.99985, 3, "1.000"},
      {0.505, 3, "0.505"},
      {1234567.89, 1, "1234567.9"},
      {1.00005, 4, "1.0001"},
      {123456789012.5, 1, "123456789012.5"},
      {1e20, 4, "100000000000000000000.0000"},
  };
  for (const Row& r : rows) EXPECT_EQ(fixedText(r.v, r.decimals), r.text) << r.v << " /" << r.decimals;
}

// Near the top of the double range the scaling of a mask overflows; the
// text must still hold the value's digits, never "inf".
TEST(NumberText, HugeValuesNeverBecomeInf) {
  for (double v : {1.8e305, -1.7976931348623157e308, 5e304, 1e300}) {
    for (int decimals : {1, 3, 4}) {
      const std::string text = fixedText(v, decimals);
      EXPECT_EQ(text.find("inf"), std::string::npos) << v;
      EXPECT_EQ(parseNumber(text), v) << text;
      EXPECT_EQ(roundHalfUp(v, decimals), v);
    }
  }
}

// The masks write the rounded value's digits directly; that must give the
// bytes std::to_chars gives for the same rounded value, on every magnitude
// a report holds.
TEST(NumberText, MaskDigitsAgreeWithToChars) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-8, 12);
  int compared = 0;
  for (int k = 0; k < 200000; ++k) {
    const double v = mantissa(random) * std::pow(10.0, exponent(random));
    for (int decimals : {1, 3, 4}) {
      const double scale = decimals == 1 ? 10.0 : decimals == 3 ? 1000.0 : 10000.0;
      double rounded = std::floor(v * scale + 0.5) / scale;
      if (rounded == 0.0) rounded = 0.0;  // no "-0"
      char expected[kMaxNumberChars];
      const auto end = std::to_chars(expected, expected + sizeof expected, rounded, std::chars_format::fixed, decimals);
      ASSERT_EQ(fixedText(v, decimals), std::string(expected, end.ptr)) << std::hexfloat << v << " " << decimals;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 600000);
}

// The report refuses a value that is not finite instead of printing it.
TEST(ReportFormat, NonFiniteValuesAreRefused) {
  for (double v : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
    StringSink sink;
    ReportLines report(sink);
    EXPECT_THROW(report.appendFixed(v, 3), AdjustmentError);
    EXPECT_THROW(report.appendNumber(v), AdjustmentError);
    EXPECT_THROW(report.appendRightAlignedFixed(v, 4), AdjustmentError);
    EXPECT_THROW(report.appendRightAlignedNumber(v), AdjustmentError);
    report.finish();
    EXPECT_EQ(sink.text, "");
  }
}

TEST(ReportFormat, FormatNRightAlignsInSixCharacters) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"1", "     1"},         {"-6", "    -6"},
      {"", "      "},          {"2.5000", "2.5000"},
      {"-1.0000", "-1.0000"},   // six or more: unchanged
      {"水准点", "   水准点"},  // three characters, nine bytes
      {"BM城东", "  BM城东"},  {"水准点水准点水", "水准点水准点水"},
  };
  for (const Row& r : rows) {
    StringSink sink;
    ReportLines lines(sink);
    lines.appendRightAligned(r.in);
    lines.finish();
    EXPECT_EQ(sink.text, r.out) << r.in;
  }
}

TEST(ReportFormat, ReportSeparatesSectionsByOneEmptyLine) {
  StringSink sink;
  ReportLines report(sink);
  report.title("近拟坐标");
  report.appendRightAlignedNumber(-6);
  report.appendRightAlignedFixed(-0.00004, 4);
  report.appendRightAligned("水准点");
  report.endLine();
  report.title("精度评定:");
  report.finish();
  EXPECT_EQ(sink.text, "近拟坐标\r\n    -60.0000   水准点\r\n\r\n精度评定:\r\n");
}

// The shown texts found from a plain decimal's digits are those the value
// gives, on edge cases and on many random texts of every length, place of
// the point, sign and leading or trailing zeros; other texts are left to
// the conversion.
TEST(NumberText, PlainTextsAreTheValuesTexts) {
  const auto check = [](const std::string& text) {
    const std::optional<double> value = parseNumber(text);
    std::string general = "untouched", fixed = "untouched";
    if (plainNumberText(text, general)) {
      ASSERT_TRUE(value) << text;
      EXPECT_EQ(general, numberText(*value)) << text;
    } else {
      EXPECT_EQ(general, "untouched") << text;
    }
    if (plainFixedText4(text, fixed)) {
      ASSERT_TRUE(value) << text;
      EXPECT_EQ(fixed, fixedText(*value, 4)) << text;
    }
  };
  for (const char* text : {"0",
                           "-0",
                           "-0.0000",
                           ".5",
                           "5.",
                           "-.5",
                           "007",
                           "10.000",
                           "0.0001",
                           "0.00001",
                           "-0.00009",
                           "123456789012345",
                           "1234567890123456",
                           "100000000000000",
                           "1000000000000000",
                           "0.1",
                           "99999.99995",
                           "9999999999.9999",
                           "10000000000.5",
                           "12345.6789",
                           "-1.23456789012345",
                           "0.000123456789012345",
                           "1.5e3",
                           "+1",
                           "1 ",
                           "",
                           "-",
                           ".",
                           "1.2.3",
                           "１"})
    check(text);
  std::mt19937 random(20261208);
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    if (random() % 3 == 0) text += '-';
    const int whole = static_cast<int>(random() % 18), fraction = static_cast<int>(random() % 9);
    const int zeros = static_cast<int>(random() % 4);
    for (int i = 0; i < whole; ++i) text += static_cast<char>('0' + (i < zeros ? 0 : random() % 10));
    if (fraction > 0 || random() % 4 == 0) text += '.';
    for (int i = 0; i < fraction; ++i) text += static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10));
    check(text);
  }
}

// The parser's own quick conversion gives exactly the double strtod gives,
// on numbers of up to 19 significant digits, with and without exponents,
// and beyond where it hands over to the full conversion.
TEST(NumberText, ParseGivesStrtodsDouble) {
  std::mt19937_64 random(936);
  for (int n = 0; n < 300000; ++n) {
    std::string text;
    if (random() % 4 == 0) text += '-';
    const int digits = 1 + static_cast<int>(random() % 22), point = static_cast<int>(random() % (digits + 1));
    for (int i = 0; i < digits; ++i) {
      if (i == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
    const std::optional<double> value = parseNumber(text);
    ASSERT_TRUE(value) << text;
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&*value, &expected, sizeof expected), 0) << text;
  }
  EXPECT_TRUE(std::signbit(*parseNumber("-0.000")));
  EXPECT_EQ(*parseNumber("9007199254740993"), 9007199254740992.0);  // 2^53 + 1 rounds to even
  EXPECT_EQ(*parseNumber("0.1"), 0.1);
}

}  // namespace
}  // namespace levelnet
