// Text on the printed page's grid of cells: every character of the
// monospaced report font takes one cell (Latin letters, digits, blanks) or
// two (Chinese characters, fullwidth punctuation), so the report's columns
// line up. Long lines are wrapped here, the same way on every machine.
// No Qt: the rules are plain functions of the text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace levelnet::print {

// How many cells a character takes (1 or 2).
using CellWidth = std::function<int(char32_t)>;

// 2 for East Asian wide and fullwidth characters (CJK ideographs, kana,
// hangul, CJK and fullwidth punctuation), 1 for every other character.
int unicodeCells(char32_t c);

// The characters of UTF-8 text; a byte that does not start a valid sequence
// becomes U+FFFD, so no input stops the printout.
std::u32string decodeUtf8(std::string_view text);
std::string encodeUtf8(std::u32string_view text);

// The cells `text` takes.
int cellsOf(std::u32string_view text, const CellWidth& cells);

// Whether a line may break between two characters: after a word (before a
// blank), or next to a Chinese (two-cell) character, except before closing
// punctuation (，。）” …) and after opening punctuation (（“ …).
bool breakAllowed(char32_t before, char32_t after, const CellWidth& cells);

// Wraps one line into pieces of at most `width` cells. A line that fits is
// one piece. Otherwise each piece but the last ends at the last place that
// fits where breakAllowed lets it break, and the text after it, with the
// blanks that lead it, goes on in the next piece, which is printed `indent`
// cells in (so a continuation is always indented, and rows of a matrix that
// are alike break at the same places and keep their columns under each
// other). Text with no such place in a piece is cut after the last
// character that fits. Blanks left over at the end of a line make no piece
// of their own. `indent` must be less than `width`.
std::vector<std::u32string> wrapCells(std::u32string_view line, int width, int indent, const CellWidth& cells);

}  // namespace levelnet::print
