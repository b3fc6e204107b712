// Conversion between the engine's UTF-8 text and code page 936 (GBK), the
// encoding of .pc files, through the program's own table (gbk_table.*), so
// that every platform converts alike.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace levelnet {

// Text decoded from bytes, or where the decoding stopped.
struct DecodedText {
  std::string text;                      // UTF-8; complete only when badOffset is empty
  std::optional<std::size_t> badOffset;  // the first byte that is not in the encoding
};

// Decodes GBK bytes into UTF-8.
DecodedText gbkToUtf8(std::string_view gbk);

// Encodes UTF-8 text as GBK; nothing when the text holds a character that
// GBK cannot encode (or is not valid UTF-8).
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// Encodes a report as GBK, as utf8ToGbk does, but with the few symbols of
// the reports' formulas that GBK lacks written as GBK can: "−" (U+2212) as
// "－", "∇" as "▽", "²" as "^2", "ᵀ" as "^T", "₀" as "0", "Š" as "S". Each
// of the first two stays a double-width character and each of "^2" and "^T"
// keeps the two columns of the one it stands for, so the columns of a table
// line up as in UTF-8. Any other character GBK cannot encode gives nothing.
std::optional<std::string> reportToGbk(std::string_view utf8);

// A message or the usage for a GBK terminal: as reportToGbk, with "?" for
// any other character GBK has not and for each byte that is not UTF-8. It
// is only shown, never saved.
std::string messageToGbk(std::string_view utf8);

// Number of characters (code points) of UTF-8 text; a Chinese character
// counts one.
std::size_t utf8Length(std::string_view utf8);

}  // namespace levelnet

namespace levelnet {

// The encodings a .pc file may come in: GBK is the format; UTF-8 is what many
// modern editors save.
enum class FileEncoding { gbk, utf8 };

// The offset of the first byte where `bytes` stop being well-formed UTF-8
// (overlong forms, surrogates and anything beyond U+10FFFF included);
// nothing when they are well-formed throughout.
std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes);

// The encoding a file's bytes are most likely in, GBK (the format) unless
// the bytes give evidence that GBK text cannot: UTF-8 when they start with
// the UTF-8 byte-order mark, or when they are well-formed UTF-8 holding at
// least one multi-byte character, every such character one that Chinese
// text in UTF-8 is made of (CJK ideographs and punctuation, full-width
// forms, general punctuation, symbols), and either they are not GBK at all
// or their UTF-8 reading has the larger share of GB 2312 characters (GBK on
// a tie). So a file of GB 2312 names in GBK, as Save writes it, is always
// read as GBK, also where its bytes happen to be valid UTF-8 (濉板啊).
// Everything else (plain ASCII included) is GBK; the reader still takes
// well-formed UTF-8 that is no GBK at all as UTF-8.
FileEncoding detectFileEncoding(std::string_view bytes);

// detectFileEncoding, and whether the bytes were truly ambiguous: valid in
// both encodings with the same share of GB 2312 characters, so that GBK was
// taken by the rule alone and the user should hear of it.
struct EncodingGuess {
  FileEncoding encoding = FileEncoding::gbk;
  bool ambiguous = false;
};
EncodingGuess guessFileEncoding(std::string_view bytes);

// The UTF-8 byte-order mark.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace levelnet
