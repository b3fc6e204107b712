// The adjustment data file (.pc): comma-separated text in code page 936 (GBK),
// CR LF line ends. Line 1: known-point count, unknown-point count,
// observation count, unit-weight length (km). Then one line per point (name,
// elevation in m), then one per observation (from, to, observed height
// difference in m, route length in km).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "network/text_table.h"

namespace levelnet {

// The contents of a file as the texts Open shows in the fields and cells.
struct ProjectData {
  ParameterFields fields;
  std::vector<std::array<std::string, 2>> points;        // name, elevation
  std::vector<std::array<std::string, 4>> observations;  // from, to, difference ("0.0000"), length
};

// Reads a whole file. The whole file must be GBK and must hold every item
// its header announces; a header count must be empty or a whole number from
// 0 upwards. Throws InputError naming the file, the line and the text.
ProjectData readProjectFile(const std::string& path);

// The same for the bytes of a file; `name` is used in messages.
ProjectData parseProjectBytes(std::string_view bytes, const std::string& name);

// Puts read data into the fields and tables as Open does: both row counts
// set from the data, every cell of every data row written, column 0 numbered.
void applyProject(const ProjectData& data, ParameterFields& fields, TextTable& points, TextTable& observations);

// The file bytes Save writes for the fields and every data row of both
// tables. A text holding a comma, or starting or ending with a blank, is
// written in double quotes; a text holding a double quote, a line break or a
// character GBK cannot encode is refused with InputError naming the field or
// table, row and column.
std::string formatProjectBytes(const ParameterFields& fields, const TextTable& points, const TextTable& observations);

// Saves to `path` without ever damaging an existing file: the bytes go to a
// temporary file beside it, which replaces the target only once complete.
// Throws InputError when the data cannot be saved or the file cannot be
// written; the target is then as it was.
void writeProjectFile(const std::string& path, const ParameterFields& fields, const TextTable& points,
                      const TextTable& observations);

// Writes bytes to `path` through a temporary file beside it (see above).
void replaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace levelnet
