#include "network/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace levelnet {
namespace {

// Converts all of `in`; returns false at the first input that cannot be
// converted, with its offset.
bool convert(const char* to, const char* from, std::string_view in, std::string& out, std::size_t& badOffset) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  out.clear();
  out.resize(in.size() * 2 + 16);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  std::size_t used = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    used = out.size() - outLeft;
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (bytes or character not in the target) or EINVAL (input ends
    // inside a character).
    ok = false;
    badOffset = static_cast<std::size_t>(inPtr - in.data());
    break;
  }
  if (ok) {
    // Flush any shift state (none for these encodings, but iconv asks for it).
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    used = out.size() - outLeft;
  }
  iconv_close(cd);
  out.resize(used);
  return ok;
}

}  // namespace

bool gbkToUtf8(std::string_view gbk, std::string& utf8, std::size_t& badOffset) {
  return convert("UTF-8", "GBK", gbk, utf8, badOffset);
}

bool utf8ToGbk(std::string_view utf8, std::string& gbk) {
  std::size_t bad = 0;
  return convert("GBK", "UTF-8", utf8, gbk, bad);
}

std::size_t utf8Length(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace levelnet
