#include "network/gbk.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <vector>

#include "network/gbk_table.h"

namespace levelnet {
namespace {

// Decodes the UTF-8 sequence at bytes[i]; returns its length (0 when it is
// not well-formed) and sets `codePoint`.
std::size_t decodeUtf8(std::string_view bytes, std::size_t i, char32_t& codePoint);

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {  // GBK holds the basic plane only
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The two-byte GBK code of each character of the basic plane (0: none),
// the table read the other way, made once on first use.
const std::vector<std::uint16_t>& unicodeToGbk() {
  static std::vector<std::uint16_t> table;
  static std::once_flag once;
  std::call_once(once, [] {
    table.assign(0x10000, 0);
    for (int lead = 0; lead < kGbkLeadCount; ++lead)
      for (int trail = 0; trail < kGbkTrailCount; ++trail) {
        const std::uint16_t c = kGbkDoubleByteTable[lead * kGbkTrailCount + trail];
        if (c != 0) table[c] = static_cast<std::uint16_t>(((kGbkFirstLead + lead) << 8) | (kGbkFirstTrail + trail));
      }
  });
  return table;
}

}  // namespace

DecodedText gbkToUtf8(std::string_view gbk) {
  DecodedText decoded;
  decoded.text.reserve(gbk.size() + gbk.size() / 2);
  for (std::size_t i = 0; i < gbk.size();) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    if (lead < 0x80) {
      // A run of ASCII bytes is the same in UTF-8: copied as one piece.
      std::size_t end = i + 1;
      while (end < gbk.size() && static_cast<unsigned char>(gbk[end]) < 0x80) ++end;
      decoded.text.append(gbk.data() + i, end - i);
      i = end;
      continue;
    }
    if (lead == kGbkEuroByte) {
      appendUtf8(decoded.text, kEuroSign);
      ++i;
      continue;
    }
    // A lead byte: 0x81-0xFE with a trail byte 0x40-0xFE after it. A lead
    // at the end, a trail out of range or a code that is none stops here.
    char32_t c = 0;
    if (lead <= 0xFE && i + 1 < gbk.size()) {
      const auto trail = static_cast<unsigned char>(gbk[i + 1]);
      if (trail >= kGbkFirstTrail && trail <= 0xFE)
        c = kGbkDoubleByteTable[(lead - kGbkFirstLead) * kGbkTrailCount + (trail - kGbkFirstTrail)];
    }
    if (c == 0) {
      decoded.badOffset = i;
      return decoded;
    }
    appendUtf8(decoded.text, c);
    i += 2;
  }
  return decoded;
}

namespace {

// What reportToGbk writes for a character GBK has not: another character,
// or ASCII text.
struct GbkStandIn {
  char32_t character;
  char32_t instead;  // 0: `text` instead
  const char* text = "";
};
constexpr GbkStandIn kReportStandIns[] = {
    {U'\u2212', U'\uFF0D'},  // minus sign: fullwidth hyphen-minus
    {U'\u2207', U'\u25BD'},  // nabla: white down-pointing triangle
    {U'\u00B2', 0, "^2"},   {U'\u1D40', 0, "^T"}, {U'\u2080', 0, "0"}, {U'\u0160', 0, "S"},
};

// How a character GBK has not is written: not at all (the text is refused),
// by its stand-in (or refused where it has none), by its stand-in or "?".
enum class Missing { refuse, standIn, standInOrQuestionMark };

std::optional<std::string> encodeGbk(std::string_view utf8, Missing missing) {
  std::string gbk;
  gbk.reserve(utf8.size());
  const std::vector<std::uint16_t>& table = unicodeToGbk();
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    const std::size_t length = decodeUtf8(utf8, i, c);
    if (length == 0) {
      if (missing != Missing::standInOrQuestionMark) return std::nullopt;
      gbk += '?';
      ++i;
      continue;
    }
    i += length;
    if (c < 0x80) {
      gbk += static_cast<char>(c);
    } else if (c == kEuroSign) {
      gbk += static_cast<char>(kGbkEuroByte);
    } else {
      // Beyond the basic plane, or a character GBK has not (the language
      // tags U+E0000-E007F included, which would otherwise vanish unsaid).
      std::uint16_t code = c <= 0xFFFF ? table[c] : 0;
      if (code == 0 && missing != Missing::refuse) {
        const GbkStandIn* standIn = std::find_if(std::begin(kReportStandIns), std::end(kReportStandIns),
                                                 [c](const GbkStandIn& s) { return s.character == c; });
        if (standIn != std::end(kReportStandIns)) {
          if (standIn->instead == 0) {
            gbk += standIn->text;
            continue;
          }
          code = table[standIn->instead];
        }
      }
      if (code == 0 && missing == Missing::standInOrQuestionMark) {
        gbk += '?';
        continue;
      }
      if (code == 0) return std::nullopt;
      gbk += static_cast<char>(code >> 8);
      gbk += static_cast<char>(code & 0xFF);
    }
  }
  return gbk;
}

}  // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8) { return encodeGbk(utf8, Missing::refuse); }

std::optional<std::string> reportToGbk(std::string_view utf8) { return encodeGbk(utf8, Missing::standIn); }

std::string messageToGbk(std::string_view utf8) { return *encodeGbk(utf8, Missing::standInOrQuestionMark); }

std::size_t utf8Length(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace levelnet

namespace levelnet {

namespace {

// Decodes the UTF-8 sequence at bytes[i]; returns its length (0 when it is
// not well-formed) and sets `codePoint`.
std::size_t decodeUtf8(std::string_view bytes, std::size_t i, char32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    codePoint = b0;
    return 1;
  }
  std::size_t length = 0;
  char32_t minimum = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF)
    length = 2, codePoint = b0 & 0x1F, minimum = 0x80;
  else if (b0 >= 0xE0 && b0 <= 0xEF)
    length = 3, codePoint = b0 & 0x0F, minimum = 0x800;
  else if (b0 >= 0xF0 && b0 <= 0xF4)
    length = 4, codePoint = b0 & 0x07, minimum = 0x10000;
  else
    return 0;
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (b & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

// Characters Chinese text in UTF-8 is made of, beyond ASCII. All take three
// bytes: GBK bytes misread as UTF-8 give mostly two-byte characters below
// U+0800, and the rare four-byte ones (CJK extension B) are left out because
// GBK names such as 稹安 read as one of them.
bool isChineseTextCharacter(char32_t c) {
  return (c >= 0x2000 && c <= 0x206F)      // general punctuation: “” — …
         || (c >= 0x2100 && c <= 0x22FF)   // letterlike symbols, arrows, mathematical operators: ℃ → ± ≤
         || (c >= 0x2460 && c <= 0x27BF)   // enclosed numbers, box drawing, shapes, symbols: ① ─ ○ ★
         || (c >= 0x3000 && c <= 0x33FF)   // CJK punctuation, kana, bopomofo, CJK compatibility: 、。《》㎞
         || (c >= 0x3400 && c <= 0x4DBF)   // CJK extension A
         || (c >= 0x4E00 && c <= 0x9FFF)   // CJK unified ideographs
         || (c >= 0xF900 && c <= 0xFAFF)   // CJK compatibility ideographs
         || (c >= 0xFE30 && c <= 0xFE4F)   // CJK compatibility forms
         || (c >= 0xFF00 && c <= 0xFFEF);  // full-width forms: （），：
}

}  // namespace

std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = decodeUtf8(bytes, i, c);
    if (length == 0) return i;
    i += length;
  }
  return std::nullopt;
}

namespace {

// GB 2312, the character set nearly all Chinese text keeps to, as GBK
// codes: the symbol rows A1-A9 and the hanzi rows B0-F7, each trail A1-FE.
bool isGb2312Code(unsigned char lead, unsigned char trail) {
  return ((lead >= 0xA1 && lead <= 0xA9) || (lead >= 0xB0 && lead <= 0xF7)) && trail >= 0xA1 && trail <= 0xFE;
}

// The two-byte characters of GBK bytes and how many of them are GB 2312.
struct DoubleByteCount {
  std::size_t all = 0, gb2312 = 0;
};
DoubleByteCount countDoubleBytes(std::string_view gbk) {
  DoubleByteCount count;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    if (lead < 0x80 || i + 1 == gbk.size()) continue;
    ++count.all;
    if (isGb2312Code(lead, static_cast<unsigned char>(gbk[i + 1]))) ++count.gb2312;
    ++i;
  }
  return count;
}

}  // namespace

FileEncoding detectFileEncoding(std::string_view bytes) { return guessFileEncoding(bytes).encoding; }

EncodingGuess guessFileEncoding(std::string_view bytes) {
  constexpr EncodingGuess gbk{FileEncoding::gbk, false}, utf8{FileEncoding::utf8, false};
  if (bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) return utf8;
  bool multiByte = false;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t c = 0;
    const std::size_t length = decodeUtf8(bytes, i, c);
    if (length == 0) return gbk;
    if (length > 1) {
      if (!isChineseTextCharacter(c)) return gbk;
      multiByte = true;
    }
    i += length;
  }
  if (!multiByte) return gbk;
  // Well-formed Chinese UTF-8 that is no GBK can only be UTF-8.
  if (gbkToUtf8(bytes).badOffset) return utf8;
  // Both readings are valid. Text in either encoding keeps to the common
  // characters of GB 2312; the other reading of the same bytes seldom does
  // (GBK of UTF-8 falls on the rare rows, UTF-8 of GBK on rare ideographs,
  // often ones GBK cannot even hold). The reading with the larger share of
  // GB 2312 characters is taken, GBK, the format, on a tie: a file this
  // program wrote, of GB 2312 names, always reads back as written.
  const DoubleByteCount asGbk = countDoubleBytes(bytes);
  const std::optional<std::string> utf8AsGbk = utf8ToGbk(bytes);
  if (!utf8AsGbk) return gbk;  // the UTF-8 reading holds characters GBK has not
  const DoubleByteCount asUtf8 = countDoubleBytes(*utf8AsGbk);
  const std::size_t utf8Share = asUtf8.gb2312 * asGbk.all, gbkShare = asGbk.gb2312 * asUtf8.all;
  if (utf8Share > gbkShare) return utf8;
  return {FileEncoding::gbk, utf8Share == gbkShare};
}

}  // namespace levelnet
