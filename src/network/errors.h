// The errors of the engine, by kind. Every message is in Chinese (UTF-8) and
// names the place (file and line, field, table, row and column) and the
// offending text. The kind tells a shell what to do besides showing the
// message: the command line maps kinds to exit statuses in one place, the
// window puts the cursor on the cell a bad input names.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>

namespace levelnet {

enum class ErrorKind {
  input,       // a field, cell, file content or setting that cannot be used
  file,        // a file that cannot be opened, read or written (the system's reason)
  adjustment,  // the network cannot be adjusted: no unique solution, a result beyond the numbers
  memory,      // the work needs more memory than the machine can give
};

// A message as it may be shown anywhere: each control character it quotes
// from the input (a NUL byte, which would end the message where it is read
// as a C string; an escape sequence, which a terminal would act on) written
// as the text \xHH, a C1 control as \u00HH; line breaks kept.
inline std::string printableMessage(const std::string& message) {
  auto control = [](unsigned char c) { return (c < 0x20 && c != '\n') || c == 0x7F; };
  auto c1 = [&](std::size_t i) {
    return static_cast<unsigned char>(message[i]) == 0xC2 && i + 1 < message.size() &&
           static_cast<unsigned char>(message[i + 1]) >= 0x80 && static_cast<unsigned char>(message[i + 1]) <= 0x9F;
  };
  bool any = false;
  for (std::size_t i = 0; i < message.size() && !any; ++i) any = control(message[i]) || c1(i);
  if (!any) return message;
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (std::size_t i = 0; i < message.size(); ++i) {
    const auto c = static_cast<unsigned char>(message[i]);
    if (control(c)) {
      shown += "\\x";
    } else if (c1(i)) {
      shown += "\\u00";
      ++i;
    } else {
      shown += message[i];
      continue;
    }
    const auto code = static_cast<unsigned char>(message[i]);
    shown += kHex[code >> 4];
    shown += kHex[code & 0xF];
  }
  return shown;
}

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(printableMessage(message)), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

// The input the user edits: the four count fields and the two tables.
enum class InputTable { none, fields, points, observations };

// Where bad input sits. For the tables, row and column as TextTable counts
// them (data rows from 1, column 0 the serial number); for the fields, the
// column is the field: 0 已知点, 1 待定点, 2 观测值, 3 单位权长度.
struct InputPlace {
  InputTable table = InputTable::none;
  int row = 0;
  int column = 0;
};

// What the user can give to get past a refusal. The engine's message says
// what is missing in words; each shell adds its own way to give it (the
// command line its option, the window its field or dialog).
enum class Remedy {
  none,
  utf8Encoding,  // write (or read) the file in UTF-8 instead of GBK
  otherFormat,   // choose another output format (this build lacks the one asked for)
  knownPoints,   // give the known points with their elevations (name=elevation)
  sectionEnds,   // name the points where a line is cut into sections
  sigmaPerKm,    // give the a-priori standard error per km of leveling
};

// Input that cannot be used. `place` is the first offending cell or field
// where the input came from the tables; none for a file's contents or a
// setting.
class InputError : public Error {
 public:
  explicit InputError(const std::string& message, InputPlace place = {}, Remedy remedy = Remedy::none)
      : Error(ErrorKind::input, message), place_(place), remedy_(remedy) {}
  InputError(const std::string& message, Remedy remedy) : InputError(message, InputPlace{}, remedy) {}
  const InputPlace& place() const { return place_; }
  Remedy remedy() const { return remedy_; }

 private:
  InputPlace place_;
  Remedy remedy_;
};

// A file that cannot be used as a file: missing, a folder, no permission, a
// full disk, a failed rename. `path` is the file as the caller named it;
// `writing` whether it was to be written (a save) rather than read;
// `systemError` the errno value behind it, 0 where there is none.
class FileError : public Error {
 public:
  FileError(const std::string& message, std::string path, bool writing, int systemError = 0)
      : Error(ErrorKind::file, message), path_(std::move(path)), writing_(writing), systemError_(systemError) {}
  const std::string& path() const { return path_; }
  bool writing() const { return writing_; }
  int systemError() const { return systemError_; }

 private:
  std::string path_;
  bool writing_;
  int systemError_;
};

// A network that was read and gathered but cannot be adjusted.
class AdjustmentError : public Error {
 public:
  explicit AdjustmentError(const std::string& message) : Error(ErrorKind::adjustment, message) {}
};

// More memory than the machine gives, for a task the message names.
class OutOfMemoryError : public Error {
 public:
  explicit OutOfMemoryError(const std::string& message) : Error(ErrorKind::memory, message) {}
};

// No output ever shows inf or nan: a computation that comes out non-finite
// is refused. `task` names what could not be finished ("平差未完成", ...).
inline AdjustmentError nonFiniteResult(const std::string& task) {
  return AdjustmentError(task + "：计算中出现了超出数值范围的结果（无穷大或非数），请检查高程、观测高差与路线长度");
}

inline void requireFinite(double value, const char* task) {
  if (!std::isfinite(value)) throw nonFiniteResult(task);
}

}  // namespace levelnet
