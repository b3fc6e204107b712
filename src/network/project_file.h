// The adjustment data file (.pc): comma-separated text in code page 936 (GBK),
// CR LF line ends. Line 1: known-point count, unknown-point count,
// observation count, unit-weight length (km). Then one line per point (name,
// elevation in m), then one per observation (from, to, observed height
// difference in m, route length in km).
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/gbk.h"
#include "network/leveling_network.h"
#include "network/text_table.h"

namespace levelnet {

// The largest file Open reads: far more than 32767 points and 100,000
// observations with long names need, and room for the large-network limits
// (leveling_network.h) with names of ordinary length.
inline constexpr std::size_t kMaxProjectFileBytes = std::size_t(64) << 20;

// The contents of a file as the texts Open shows in the fields and cells.
struct ProjectData {
  ParameterFields fields;
  std::vector<std::array<std::string, 2>> points;        // name, elevation
  std::vector<std::array<std::string, 4>> observations;  // from, to, difference ("0.0000"), length
  FileEncoding encoding = FileEncoding::gbk;             // the encoding the file was read in
  // Read as GBK by the rule alone: the bytes read as well in UTF-8
  // (guessFileEncoding); the user is told.
  bool encodingAmbiguous = false;
};

// Reads a whole file of at most kMaxProjectFileBytes. The file must hold
// every item its header announces; a header count must be empty or a whole
// number from 0 upwards, with at most `limits` points and observations (the
// textbook report's kMaxPoints and kMaxObservations unless a larger use asks). The encoding is `forced` where given,
// else GBK unless the bytes are plainly UTF-8 (detectFileEncoding; a UTF-8 byte-order mark is dropped). Throws
// InputError naming the file, the line and the text; a file that is not in its encoding is refused, never read as
// garbage.
ProjectData readProjectFile(const std::string& path, std::optional<FileEncoding> forced = std::nullopt,
                            NetworkLimits limits = kReportLimits);

// The same for a stream (standard input); `name` is used in messages.
ProjectData readProjectStream(std::istream& in, const std::string& name,
                              std::optional<FileEncoding> forced = std::nullopt, NetworkLimits limits = kReportLimits);

// The same for the bytes of a file; `name` is used in messages.
ProjectData parseProjectBytes(std::string_view bytes, const std::string& name,
                              std::optional<FileEncoding> forced = std::nullopt, NetworkLimits limits = kReportLimits);

// The same read straight into tables held in memory as Open fills them
// (applyProject), without the rows' texts in between: `network` receives
// the fields and both tables only when the whole file was read; the
// ProjectData returned has the fields, the encoding and its ambiguity, and
// no rows.
ProjectData readProjectFile(const std::string& path, std::optional<FileEncoding> forced, NetworkLimits limits,
                            NetworkText& network);
ProjectData readProjectStream(std::istream& in, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits, NetworkText& network);
ProjectData parseProjectBytes(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits, NetworkText& network);

// The text of a file's bytes, decoded as .pc files are: `forced` where
// given, else GBK unless the bytes are plainly UTF-8 (a UTF-8 byte-order
// mark is dropped). `encoding` tells what was used and `ambiguous` whether
// GBK was taken by the rule alone. Throws InputError naming the file, the
// line and the bytes that are not in the encoding.
std::string decodeTextFile(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                           FileEncoding& encoding, bool& ambiguous);

// A note for the user when a file was not read as GBK, else "": the file was
// read as UTF-8 and Save will write it as GBK.
// A file that read as well in both encodings was read as GBK: the note says
// so, and that it may be read as UTF-8 instead.
std::string encodingNote(const ProjectData& data, const std::string& name);

// Puts read data into the fields and tables as Open does: both row counts
// set from the data, every cell of every data row written, column 0 numbered.
void applyProject(const ProjectData& data, ParameterFields& fields, TextTable& points, TextTable& observations);

// The file bytes Save writes for the fields and every data row of both
// tables. A text holding a comma, or starting or ending with a blank, is
// written in double quotes, and so is a point name (also a from or to name)
// that Open would read as a number with another text ("007", "1e2", "1.50");
// names that read back as they are ("12", "BM1") and the numeric columns stay
// unquoted. A text holding a double quote, a line break, another control
// character (a tab excepted) or a character GBK cannot encode is refused with InputError naming the field or table, row
// and column.
std::string formatProjectBytes(const ParameterFields& fields, const TextTable& points, const TextTable& observations);

// Saves to `path` through saveFileSafely (safe_file.h): an existing file is
// never damaged. Throws InputError when the data cannot be saved or the file
// cannot be written; the target is then as it was.
void writeProjectFile(const std::string& path, const ParameterFields& fields, const TextTable& points,
                      const TextTable& observations);

}  // namespace levelnet
