// The one error type of the engine: input that cannot be used.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>

namespace levelnet {

// Thrown when a field, a table cell or a file cannot be used. The message is
// in Chinese (UTF-8) and names the place (field, table, row, column or file
// line) and the offending text. Only the window's handlers and the command
// line's main catch it.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

// No output ever shows inf or nan: a computation that comes out non-finite
// is refused. `task` names what could not be finished ("平差未完成", ...).
inline InputError nonFiniteResult(const std::string& task) {
  return InputError(task + "：计算中出现了超出数值范围的结果（无穷大或非数），请检查高程、观测高差与路线长度");
}

inline void requireFinite(double value, const char* task) {
  if (!std::isfinite(value)) throw nonFiniteResult(task);
}

}  // namespace levelnet
