// The adjustment report and the helpers every section uses to write it.
//
// Lines end in "\r\n"; every section after the first is preceded by one empty
// line. Numbers are written either in the masks "0.0000", "0.000", "0.0"
// (rounded half up first) or in the general text, and some are right-aligned
// in 6 characters by FormatN.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "network/number_text.h"

namespace levelnet {

// Puts blanks in front of `text` until it is 6 characters long; never
// shortens it. Characters are counted, not bytes: "水准点" takes three.
std::string FormatN(std::string_view text);

// The report text, built by appending. Numbers are formatted into a small
// buffer on the stack and copied straight into the one growing text.
class AdjustmentReport {
 public:
  // Room for `bytes` of text, ahead of writing it.
  void reserve(std::size_t bytes);

  // A section title line; every section but the first gets an empty line
  // before it.
  void title(std::string_view line);

  void append(std::string_view piece) { text_.append(piece); }
  void endLine() { text_.append("\r\n"); }

  // General text of a number (counters, approximate elevations).
  void appendNumber(double v);
  // A number in a mask of `decimals` decimals, rounded half up.
  void appendFixed(double v, int decimals);
  // The same, right-aligned in 6 characters.
  void appendFormatN(std::string_view text);
  void appendFormatNNumber(double v);
  void appendFormatNFixed(double v, int decimals);

  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  void padTo6(std::size_t characters);
  std::string text_;
};

}  // namespace levelnet
