// The pieces the check's and the design's reports are written with: display
// widths of UTF-8 text, the numbers as the reports show them (never "inf" or
// "nan"), lines ending in CR LF, and tables whose columns widen to their
// longest cell.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "network/errors.h"
#include "network/leveling_network.h"
#include "network/number_text.h"

namespace levelnet::report_text {

// Columns on a terminal or in a fixed-width font: a Chinese character (or
// any other non-ASCII one) takes two cells, an ASCII character one.
inline std::size_t displayWidth(const std::string& text) {
  std::size_t width = 0;
  for (unsigned char c : text) {
    if (c < 0x80)
      width += 1;
    else if ((c & 0xC0) != 0x80)
      width += 2;
  }
  return width;
}

inline std::string right(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : std::string(width - n, ' ') + text;
}

inline std::string left(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : text + std::string(width - n, ' ');
}

inline constexpr const char* kTask = "检核未完成";

// Numbers of the check report; one that is not finite refuses the check
// rather than show "inf" or "nan".
inline std::string fixed(double v, int decimals) {
  requireFinite(v, kTask);
  return fixedText(v, decimals);
}

inline std::string signedFixed(double v, int decimals) {
  std::string t = fixed(v, decimals);
  return t[0] == '-' ? t : "+" + t;
}

// A small positive level such as 0.00270 or 0.0000128: `digits` significant
// digits, never in exponent form.
inline std::string significant(double v, int digits) {
  requireFinite(v, kTask);
  if (!(v > 0.0)) return "0";
  const int decimals = std::clamp(digits - 1 - static_cast<int>(std::floor(std::log10(v))), 0, 30);
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, result.ptr);
}

inline std::string count(int n) { return std::to_string(n); }

class Lines {
 public:
  void add(const std::string& line) { text_ += line + "\r\n"; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// A table whose columns widen to their longest cell, so that numbers of any
// size stay aligned. A right-aligned column keeps `gap` blanks before its
// longest cell; `before` is written ahead of a column; the last column is
// never padded.
struct Column {
  std::string header;
  std::size_t width = 0;  // at least
  bool rightAligned = true;
  std::size_t gap = 2;
  std::string before;
};

inline Column numberColumn(std::string header, std::size_t width, std::size_t gap = 2) {
  return {std::move(header), width, true, gap, ""};
}

inline Column textColumn(std::string header, std::size_t width) { return {std::move(header), width, false, 0, "  "}; }

class ReportTable {
 public:
  explicit ReportTable(std::vector<Column> columns) : columns_(std::move(columns)) {}
  void add(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

  void writeTo(Lines& out) const {
    std::vector<std::size_t> widths;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const Column& column = columns_[c];
      const std::size_t gap = column.rightAligned ? column.gap : 0;
      std::size_t width = std::max(column.width, displayWidth(column.header) + gap);
      for (const auto& row : rows_) width = std::max(width, displayWidth(row[c]) + gap);
      widths.push_back(width);
    }
    auto line = [&](const auto& cellOf) {
      std::string text;
      for (std::size_t c = 0; c < columns_.size(); ++c) {
        const Column& column = columns_[c];
        const std::string& cell = cellOf(c);
        text += column.before;
        if (c + 1 == columns_.size())
          text += cell;
        else
          text += column.rightAligned ? right(cell, widths[c]) : left(cell, widths[c]);
      }
      out.add(text);
    };
    line([&](std::size_t c) -> const std::string& { return columns_[c].header; });
    for (const auto& row : rows_) line([&](std::size_t c) -> const std::string& { return row[c]; });
  }

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

inline std::string observationName(const LevelingNetwork& net, int k) {
  return net.pointName[net.fromPoint[k]] + "→" + net.pointName[net.toPoint[k]];
}

// "第 13、22 个"
inline std::string observationNumbers(const std::vector<int>& numbers) {
  std::string text = "第 ";
  for (std::size_t i = 0; i < numbers.size(); ++i) text += (i ? "、" : "") + count(numbers[i]);
  return text + " 个";
}

}  // namespace levelnet::report_text
