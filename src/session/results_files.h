// The 成果表 as a file, in the formats both shells offer, and the format a
// file name asks for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adjust/results_export.h"
#include "adjust/results_table.h"

namespace levelnet::session {

enum class ResultsFormat {
  csv,      // UTF-8 with a byte-order mark, so that Excel reads the Chinese
  csvGbk,   // GBK, no byte-order mark
  xlsx,     // a workbook (where this build has libxlsxwriter)
  json,     // UTF-8
  text,     // fixed-width text, UTF-8
  textGbk,  // fixed-width text, GBK
};

// The bytes of the table in `format`. A workbook is created at the moment
// of SOURCE_DATE_EPOCH where it is set (see source_date.h), so that it is
// the same file on every run. Throws InputError (a name GBK cannot hold:
// remedy utf8Encoding; no XLSX in this build: remedy otherFormat; a bad
// SOURCE_DATE_EPOCH for a workbook).
std::string resultsFileBytes(const ResultsTable& table, ResultsFormat format);

// The suffix of a format's files, with its dot: ".csv", ".xlsx", ".json", ".txt".
std::string suffixOf(ResultsFormat format);

// The format a file name's suffix names (case aside): .csv is CSV in UTF-8,
// .txt text in UTF-8, .json, .xlsx; nothing for another or no suffix.
std::optional<ResultsFormat> formatNamedBy(const std::string& path);

// Whether two formats write the same kind of file (CSV in either encoding,
// text in either encoding): a name's suffix agrees with a chosen format then.
bool sameKind(ResultsFormat a, ResultsFormat b);

}  // namespace levelnet::session
