// The program's own GBK table: what it holds, how text is refused, and, on
// glibc, that it converts exactly as the C library's iconv does, the
// converter it was made from (but for the language tags, which iconv drops
// without a word and the table refuses).
#include <gtest/gtest.h>

#include <string>

#include "network/gbk.h"
#include "network/gbk_table.h"

#if defined(__GLIBC__)
#include <iconv.h>
#endif

namespace levelnet {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

TEST(GbkTable, HoldsTheCodesOfGbk) {
  int codes = 0;
  for (std::uint16_t c : kGbkDoubleByteTable) codes += c != 0;
  // The two-byte codes glibc's GBK converter decodes, the table's source.
  EXPECT_EQ(codes, 21791);
  EXPECT_EQ(gbkToUtf8(bytes({0xCB, 0xAE, 0xD7, 0xBC})).text, "水准");
  EXPECT_EQ(gbkToUtf8(bytes({0xA1, 0xA1})).text, "\u3000");
  EXPECT_EQ(gbkToUtf8(bytes({0x81, 0x40})).text, "\u4E02");  // the first code
  EXPECT_EQ(gbkToUtf8(bytes({0xFE, 0x4F})).text, "\uFA29");
  EXPECT_EQ(gbkToUtf8(bytes({0x80})).text, "€");
  EXPECT_EQ(utf8ToGbk("水准网平差 €"), bytes({0xCB, 0xAE, 0xD7, 0xBC, 0xCD, 0xF8, 0xC6, 0xBD, 0xB2, 0xEE, 0x20, 0x80}));
  EXPECT_EQ(utf8ToGbk(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(GbkTable, RefusesWhatIsNoGbk) {
  // Where the decoding stops: the first byte of the character that is none.
  EXPECT_EQ(gbkToUtf8(bytes({'a', 0xFF, 'b'})).badOffset, 1u);
  EXPECT_EQ(gbkToUtf8(bytes({'a', 0xCB})).badOffset, 1u);               // a lead byte at the end
  EXPECT_EQ(gbkToUtf8(bytes({0xCB, 0xAE, 0xCB, 0x30})).badOffset, 2u);  // trail below 0x40
  EXPECT_EQ(gbkToUtf8(bytes({0xCB, 0x7F})).badOffset, 0u);
  EXPECT_EQ(gbkToUtf8(bytes({0xCB, 0xFF})).badOffset, 0u);
  // The user-defined codes (AAA1-AFFE, F8A1-FEFE, A140-A7A0) that Windows'
  // code page 936 takes are refused here on every platform.
  EXPECT_TRUE(gbkToUtf8(bytes({0xAA, 0xA1})).badOffset);
  EXPECT_TRUE(gbkToUtf8(bytes({0xF8, 0xA1})).badOffset);
  EXPECT_TRUE(gbkToUtf8(bytes({0xA1, 0x40})).badOffset);
  EXPECT_EQ(gbkToUtf8(bytes({'O', 'K', 0xAA, 0xA1})).text, "OK");
  // Characters GBK has not, and bytes that are no UTF-8.
  EXPECT_FALSE(utf8ToGbk("\U0001F600"));
  EXPECT_FALSE(utf8ToGbk("\uE000"));                   // private use
  EXPECT_FALSE(utf8ToGbk("A\U000E0041"));              // a language tag: never dropped silently
  EXPECT_FALSE(utf8ToGbk(bytes({0xC0, 0x80})));        // overlong
  EXPECT_FALSE(utf8ToGbk(bytes({0xED, 0xA0, 0x80})));  // a surrogate
  EXPECT_FALSE(utf8ToGbk(bytes({0xE6, 0xB0})));        // cut short
}

TEST(GbkTable, EveryCodeRoundTrips) {
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string code = bytes({lead, trail});
      const DecodedText decoded = gbkToUtf8(code);
      if (decoded.badOffset) continue;
      ASSERT_EQ(utf8ToGbk(decoded.text), code) << lead << " " << trail;
    }
}

#if defined(__GLIBC__)
// iconv's answer for one piece of input: the output, or nothing when it
// refuses it.
std::optional<std::string> iconvOf(iconv_t cd, const std::string& in) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char out[64];
  char* inPtr = const_cast<char*>(in.data());
  char* outPtr = out;
  std::size_t inLeft = in.size(), outLeft = sizeof out;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
  return std::string(out, static_cast<std::size_t>(outPtr - out));
}

TEST(GbkTable, DecodesAsGlibcIconvDoes) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (int first = 0; first <= 0xFF; ++first) {
    const std::string single = bytes({first});
    const std::optional<std::string> expected = iconvOf(cd, single);
    const DecodedText decoded = gbkToUtf8(single);
    if (expected) {
      EXPECT_EQ(decoded.text, *expected) << first;
      EXPECT_FALSE(decoded.badOffset) << first;
      continue;
    }
    for (int second = 0; second <= 0xFF; ++second, ++compared) {
      const std::string pair = bytes({first, second});
      const std::optional<std::string> expectedPair = iconvOf(cd, pair);
      const DecodedText decodedPair = gbkToUtf8(pair);
      ASSERT_EQ(!decodedPair.badOffset, expectedPair.has_value()) << first << " " << second;
      if (expectedPair) {
        ASSERT_EQ(decodedPair.text, *expectedPair) << first << " " << second;
      }
    }
  }
  iconv_close(cd);
  EXPECT_EQ(compared, 127 * 256);
}

TEST(GbkTable, EncodesAsGlibcIconvDoes) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int encodable = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8;
    if (c < 0x80) {
      utf8 = bytes({static_cast<int>(c)});
    } else if (c < 0x800) {
      utf8 = bytes({static_cast<int>(0xC0 | (c >> 6)), static_cast<int>(0x80 | (c & 0x3F))});
    } else if (c < 0x10000) {
      utf8 = bytes({static_cast<int>(0xE0 | (c >> 12)), static_cast<int>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<int>(0x80 | (c & 0x3F))});
    } else {
      utf8 = bytes({static_cast<int>(0xF0 | (c >> 18)), static_cast<int>(0x80 | ((c >> 12) & 0x3F)),
                    static_cast<int>(0x80 | ((c >> 6) & 0x3F)), static_cast<int>(0x80 | (c & 0x3F))});
    }
    const std::optional<std::string> expected = iconvOf(cd, utf8);
    const std::optional<std::string> encoded = utf8ToGbk(utf8);
    if (c >= 0xE0000 && c <= 0xE007F) {
      // iconv writes nothing for a language tag and reports success.
      EXPECT_EQ(expected, std::string()) << static_cast<unsigned>(c);
      EXPECT_FALSE(encoded) << static_cast<unsigned>(c);
      continue;
    }
    ASSERT_EQ(encoded, expected) << static_cast<unsigned>(c);
    encodable += encoded.has_value();
  }
  iconv_close(cd);
  EXPECT_EQ(encodable, 128 + 1 + 21791);
}
#endif

}  // namespace
}  // namespace levelnet
