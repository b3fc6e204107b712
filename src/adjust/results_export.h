// The results table (成果表) as files: CSV, JSON, fixed-width text and, where
// libxlsxwriter is installed, XLSX. Each writer returns the bytes; saving
// them (saveFileSafely) or writing them out is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/results_table.h"

namespace levelnet {

enum class ResultsEncoding { utf8, gbk };

// CSV, lines ending in "\r\n", "." as decimal point, in three sections one
// after the other, each a title line (点成果, 观测值, 精度评定), a header row
// and its rows, with an empty line between sections:
//   点成果 / 序号,点号,类型,高程(m),中误差(mm)
//   观测值 / 序号,起点,终点,观测高差(m),路线长度(km),改正数(mm),平差值(m)
//   精度评定 / 项目,值 and one row per figure
// Every number is its text in the table. A field holding a comma, a double
// quote, a line break or a blank at either end is quoted ("" for a quote).
// UTF-8 starts with the byte-order mark (so that Excel reads the Chinese);
// GBK has none and throws InputError for a name it cannot encode.
std::string resultsCsv(const ResultsTable& table, ResultsEncoding encoding = ResultsEncoding::utf8);

// One JSON object, UTF-8 without byte-order mark:
//   {"points":[{"number","name","known","elevation","elevationText",
//               "standardError","standardErrorText"}...],
//    "observations":[{"number","from","to","observedDifference",
//               "observedDifferenceText","routeLength","routeLengthText",
//               "correction","correctionText","adjustedDifference",
//               "adjustedDifferenceText"}...],
//    "precision":{"unitWeightError","unitWeightErrorText","errorPerKilometre",
//               "errorPerKilometreText","maxPointError","maxPointErrorText",
//               "maxPointErrorName","meanPointError","meanPointErrorText",
//               "observationCount","parameterCount","redundancy"}}
// Values are the unrounded doubles in the shortest text that reads back to
// the same double; a missing value (M of a known point) is null.
std::string resultsJson(const ResultsTable& table);

// A fixed-width 成果表 in Chinese, lines ending in "\r\n": a title, 一、点成果,
// 二、观测值 and 三、精度评定. Columns are padded by display columns (see
// displayColumns), names left-aligned, numbers right-aligned, so the table
// lines up in a monospaced CJK font. GBK throws InputError for a name it
// cannot encode.
std::string resultsText(const ResultsTable& table, ResultsEncoding encoding = ResultsEncoding::utf8);

// True when this build writes XLSX.
bool xlsxAvailable();

// An XLSX workbook with two sheets, 点成果 and 观测值 (the precision figures
// below the observations), numbers as numbers: each cell holds the figure its
// text shows, formatted with the same decimals. The workbook's creation time
// (its document properties) is `created`, seconds since 1970 UTC, when given
// (from 1970-01-01 00:00:01 to 9999-12-31 23:59:59; the container's member
// times are always 1980-01-01), so the same table and time give the same
// bytes; else the moment it is made. Throws InputError when this build has
// no XLSX or the workbook cannot be made.
std::string resultsXlsx(const ResultsTable& table, std::optional<std::int64_t> created = std::nullopt);

// A sheet of a workbook: a header row and rows of cells, text or numbers
// (a number holds the figure its text shows, formatted with its decimals),
// then lines of notes below.
struct XlsxCell {
  std::string text;
  std::optional<double> number;
  int decimals = 0;  // 0 to 4
};
struct XlsxSheet {
  std::string name;  // at most 31 characters
  std::vector<std::string> header;
  std::vector<std::vector<XlsxCell>> rows;
  std::vector<std::string> notes;
};

// A workbook of the sheets, made as resultsXlsx makes its workbook (with its
// creation time `created` as there). Throws as resultsXlsx.
std::string sheetsXlsx(const std::vector<XlsxSheet>& sheets, std::optional<std::int64_t> created = std::nullopt);

// The columns a monospaced CJK font gives a UTF-8 text: 2 for CJK ideographs,
// kana, hangul, full-width forms and the symbols of GB 2312 (Greek and
// Cyrillic letters, "—" and the other general punctuation, CJK punctuation),
// 1 for everything else.
std::size_t displayColumns(std::string_view utf8);

// The shortest text of `v` that reads back as the same double ("0" for
// -0). Throws InputError for inf or nan.
std::string shortestNumberText(double v);

// `text` as a JSON string: quoted, with ", \ and the control characters
// escaped. The caller has made sure it is UTF-8 (and says where it is not).
void appendJsonQuoted(std::string& out, std::string_view text);

}  // namespace levelnet
