// Conversion between the engine's UTF-8 text and code page 936 (GBK), the
// encoding of .pc files, through the C library's iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace levelnet {

// Decodes GBK bytes into UTF-8. On bytes that are not GBK returns false and
// sets `badOffset` to the offset of the first such byte.
bool gbkToUtf8(std::string_view gbk, std::string& utf8, std::size_t& badOffset);

// Encodes UTF-8 text as GBK. Returns false when the text holds a character
// that GBK cannot encode (or is not valid UTF-8).
bool utf8ToGbk(std::string_view utf8, std::string& gbk);

// Number of characters (code points) of UTF-8 text; a Chinese character
// counts one.
std::size_t utf8Length(std::string_view utf8);

}  // namespace levelnet
