// Reading a field file whole: measured against a size limit, decoded from
// GBK or UTF-8 into lines of UTF-8 text, and the helpers every reader uses
// for its messages and numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/gbk.h"

namespace levelnet::fieldbook {

struct FieldText {
  std::string name;                // the file as messages name it
  std::vector<std::string> lines;  // UTF-8, without line ends; line k is lines[k - 1]
  FileEncoding encoding = FileEncoding::gbk;
};

// Reads a file of at most kMaxFieldFileBytes. GBK unless the bytes are
// plainly UTF-8 (detectFileEncoding; a byte-order mark is dropped). Throws
// InputError naming the file (and the line) for a missing, unreadable or
// too large file, bytes not in the encoding and control characters.
FieldText readFieldFile(const std::string& path);

// The same for bytes already read; `name` is used in messages.
FieldText decodeFieldBytes(std::string_view bytes, const std::string& name);

// The formats the readers take.
enum class FieldFormat { handbookCsv, leicaGsi, diniM5 };

// The format of a file by its first non-empty line: a GSI word (an optional
// "*" and six characters of word index and information before a sign), a
// DiNi line ("For M5|"), else the handbook.
FieldFormat detectFieldFormat(const FieldText& text);

// "文件“NAME”第 LINE 行：" — the start of every message about a record.
std::string placeOf(const std::string& file, int line);

// The offending text as a message quotes it: at most 40 characters.
std::string quotedText(std::string_view text);

// Staff readings and distances beyond these are no leveling: a wrong unit
// or a damaged record.
inline constexpr double kMaxReadingMm = 10000.0;
inline constexpr double kMaxSightM = 1000.0;

// Refuses `value` (shown as `shown`) outside [low, high] at its line, as
// "WHAT“SHOWN”超出合理范围（LOW 至 HIGH）".
void checkRange(const FieldText& text, int line, double value, double low, double high, const std::string& what,
                std::string_view shown);

// A number of a record: the project's number text, finite and within
// ±1e9 (no reading, distance or count comes near it); nothing otherwise.
std::optional<double> fieldNumber(std::string_view text);

// A value reduced from readings, rounded half up at `decimals` places as a
// surveyor rounds the decimal figure: the value is first taken back to the
// decimal grid of the readings (10⁻⁶ of its unit, finer than any level
// reads), so a sum that is exactly a tie rounds the same whatever binary
// representation error its readings brought (counts of 0.01 mm in a GSI
// file, metres with five decimals in a DiNi file).
double roundRecorded(double value, int decimals);

// Text without the blanks (spaces, tabs) at both ends.
std::string_view trimmed(std::string_view text);

}  // namespace levelnet::fieldbook
