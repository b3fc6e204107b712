#include "print/text_cells.h"

#include <algorithm>

namespace levelnet::print {

int unicodeCells(char32_t c) {
  // The wide and fullwidth blocks of Unicode's East Asian Width property, as
  // terminals count them.
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                    (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                    (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x2FFFD) ||
                    (c >= 0x30000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

std::u32string decodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t c = 0;
    if (b < 0x80) {
      length = 1;
      c = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      c = b & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
    if (valid &&
        ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    if (valid) {
      out.push_back(c);
      i += length;
    } else {
      out.push_back(U'\uFFFD');
      ++i;
    }
  }
  return out;
}

std::string encodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace {

// Punctuation that must not start a line, and that must not end one.
bool closing(char32_t c) {
  return std::u32string_view(U"，。、；：？！）》」』】〕”’…—·,.;:?!)]}%").find(c) != std::u32string_view::npos;
}
bool opening(char32_t c) { return std::u32string_view(U"（《「『【〔“‘([{").find(c) != std::u32string_view::npos; }

}  // namespace

bool breakAllowed(char32_t before, char32_t after, const CellWidth& cells) {
  if (before == U' ') return false;
  if (after == U' ') return true;
  return (cells(before) == 2 || cells(after) == 2) && !closing(after) && !opening(before);
}

int cellsOf(std::u32string_view text, const CellWidth& cells) {
  int total = 0;
  for (char32_t c : text) total += cells(c);
  return total;
}

std::vector<std::u32string> wrapCells(std::u32string_view line, int width, int indent, const CellWidth& cells) {
  std::vector<std::u32string> pieces;
  std::u32string_view rest = line;
  long long restCells = cellsOf(line, cells);
  // Past this many characters from the start of `rest` there are only blanks.
  std::size_t contentEnd = line.find_last_not_of(U' ');
  contentEnd = contentEnd == std::u32string_view::npos ? 0 : contentEnd + 1;
  int room = width;
  for (;;) {
    if (restCells <= room) {
      pieces.emplace_back(rest);
      break;
    }
    // The longest start of `rest` that fits, and within it the last place
    // a line may break.
    int used = 0;
    std::size_t fitEnd = 0, lastBreak = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      const int w = cells(rest[i]);
      if (used + w > room) break;
      used += w;
      fitEnd = i + 1;
      if (i + 1 < rest.size() && breakAllowed(rest[i], rest[i + 1], cells)) lastBreak = i + 1;
    }
    const std::size_t cut = lastBreak > 0 ? lastBreak : std::max<std::size_t>(fitEnd, 1);
    pieces.emplace_back(rest.substr(0, cut));
    restCells -= cellsOf(rest.substr(0, cut), cells);
    rest.remove_prefix(cut);
    if (cut >= contentEnd) break;
    contentEnd -= cut;
    room = width - indent;
  }
  return pieces;
}

}  // namespace levelnet::print
