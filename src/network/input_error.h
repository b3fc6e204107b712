// The one error type of the engine: input that cannot be used.
#pragma once

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

}  // namespace levelnet
