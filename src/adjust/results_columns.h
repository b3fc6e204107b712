// What the four formats of the 成果表 share: the GBK conversion, the
// observation table's columns (with the check's r and w where they were
// added), the kind of a point and the rows of the precision summary.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/results_export.h"

namespace levelnet::results_export {

// Converts a whole export to GBK; the names are the only texts that may not
// fit, so the message points at them.
std::string encoded(std::string utf8, ResultsEncoding encoding);

// Appends a CSV field: quoted (its quotes doubled) where it holds a comma,
// a quote or a line break, or starts or ends with a blank or a tab, which a
// spreadsheet would otherwise drop or split; as it is otherwise. Shared by
// the 成果表 and the settlement tables.
void appendCsvField(std::string& out, std::string_view field);

// Whether the check's r and w (τ) were added to the table.
inline bool hasCheckFigures(const ResultsTable& table) { return !table.testStatisticName.empty(); }

// The observation table's header and rows, shared by CSV, text and XLSX.
std::vector<std::string> observationHeader(const ResultsTable& table);
std::vector<std::string> observationRow(const ResultsTable& table, const ObservationResult& o);

inline const char* pointKind(const PointResult& p) { return p.known ? "已知点" : "待定点"; }

// The rows of the precision summary, label and text, shared by CSV and XLSX.
struct SummaryRow {
  std::string label;
  std::string text;
  std::optional<double> value;  // the figure the text shows; none for a name or "—"
  int decimals = 0;
};

// The number a figure's text shows ("1.3170" is 1.317); none for "—".
std::optional<double> shownFigure(const std::string& text);

std::vector<SummaryRow> summaryRows(const PrecisionSummary& s);

}  // namespace levelnet::results_export
