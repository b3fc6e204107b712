#include "adjust/report_format.h"

#include <cmath>

#include "adjust/large_array.h"
#include "network/gbk.h"
#include "network/input_error.h"

namespace levelnet {

namespace {
constexpr std::size_t kFieldWidth = 6;

// The report never shows inf or nan: a value that is not finite means the
// run has gone beyond what doubles carry, and the run is refused instead.
void requireFinite(double v) {
  if (!std::isfinite(v))
    throw InputError("平差未完成：计算中出现了超出数值范围的结果（无穷大或非数），请检查高程、观测高差与路线长度");
}
}  // namespace

std::string FormatN(std::string_view text) {
  const std::size_t length = utf8Length(text);
  std::string out;
  if (length < kFieldWidth) out.assign(kFieldWidth - length, ' ');
  out.append(text);
  return out;
}

void AdjustmentReport::reserve(std::size_t bytes) {
  text_.reserve(bytes);
  adviseHugePages(text_.data(), text_.capacity());
}

void AdjustmentReport::title(std::string_view line) {
  if (!text_.empty()) text_.append("\r\n");
  text_.append(line);
  text_.append("\r\n");
}

void AdjustmentReport::padTo6(std::size_t characters) {
  if (characters < kFieldWidth) text_.append(kFieldWidth - characters, ' ');
}

void AdjustmentReport::appendNumber(double v) {
  requireFinite(v);
  char buf[kMaxNumberChars];
  text_.append(buf, writeNumberText(buf, v));
}

void AdjustmentReport::appendFixed(double v, int decimals) {
  requireFinite(v);
  char buf[kMaxNumberChars];
  text_.append(buf, writeFixedText(buf, v, decimals));
}

void AdjustmentReport::appendFormatN(std::string_view text) {
  padTo6(utf8Length(text));
  text_.append(text);
}

void AdjustmentReport::appendFormatNNumber(double v) {
  requireFinite(v);
  char buf[kMaxNumberChars];
  const std::size_t n = writeNumberText(buf, v);
  padTo6(n);
  text_.append(buf, n);
}

void AdjustmentReport::appendFormatNFixed(double v, int decimals) {
  requireFinite(v);
  char buf[kMaxNumberChars];
  const std::size_t n = writeFixedText(buf, v, decimals);
  padTo6(n);
  text_.append(buf, n);
}

}  // namespace levelnet
