#include "session/known_points.h"

#include "network/errors.h"

namespace levelnet::session {

namespace {

// The length of the separator at `at`, 0 when there is none: the ASCII
// ones, and the full-width comma and semicolon and the ideographic space
// (three bytes each in UTF-8).
std::size_t separatorAt(std::string_view text, std::size_t at) {
  const char c = text[at];
  if (c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') return 1;
  static constexpr std::string_view kWide[] = {"，", "；", "　"};
  for (std::string_view wide : kWide)
    if (text.substr(at, wide.size()) == wide) return wide.size();
  return 0;
}

}  // namespace

KnownPoints parseKnownPoints(std::string_view text) {
  KnownPoints known;
  std::size_t start = 0;
  auto takePiece = [&](std::size_t end) {
    const std::string_view piece = text.substr(start, end - start);
    if (piece.empty()) return;
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == piece.size())
      throw InputError("已知点“" + std::string(piece) + "”应写成 点名=高程，如 BM1=12.345", Remedy::knownPoints);
    known.emplace_back(std::string(piece.substr(0, equals)), std::string(piece.substr(equals + 1)));
  };
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t separator = separatorAt(text, i);
    if (separator == 0) {
      ++i;
      continue;
    }
    takePiece(i);
    i += separator;
    start = i;
  }
  takePiece(text.size());
  return known;
}

}  // namespace levelnet::session
