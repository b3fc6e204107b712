// The 成果表 as CSV.
#include <string_view>

#include "adjust/results_columns.h"

namespace levelnet {

using namespace results_export;

namespace {

template <typename Fields>
void appendCsvFields(std::string& out, const Fields& fields) {
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) out.push_back(',');
    first = false;
    appendCsvField(out, f);
  }
  out.append("\r\n");
}

void appendCsvRow(std::string& out, std::initializer_list<std::string_view> fields) { appendCsvFields(out, fields); }
void appendCsvRow(std::string& out, const std::vector<std::string>& fields) { appendCsvFields(out, fields); }

}  // namespace

void results_export::appendCsvField(std::string& out, std::string_view field) {
  const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!field.empty() &&
                       (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' || field.back() == '\t'));
  if (!quoted) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string resultsCsv(const ResultsTable& table, ResultsEncoding encoding) {
  std::string out;
  if (encoding == ResultsEncoding::utf8) out.append("\xEF\xBB\xBF");
  appendCsvRow(out, {"点成果"});
  appendCsvRow(out, {"序号", "点号", "类型", "高程(m)", "中误差(mm)"});
  for (const PointResult& p : table.points)
    appendCsvRow(out, {std::to_string(p.number), p.name, pointKind(p), p.elevation.text, p.standardErrorText});
  out.append("\r\n");
  appendCsvRow(out, {"观测值"});
  appendCsvRow(out, observationHeader(table));
  for (const ObservationResult& o : table.observations) appendCsvRow(out, observationRow(table, o));
  out.append("\r\n");
  appendCsvRow(out, {"精度评定"});
  appendCsvRow(out, {"项目", "值"});
  for (const SummaryRow& row : summaryRows(table.precision)) appendCsvRow(out, {row.label, row.text});
  return encoded(std::move(out), encoding);
}

}  // namespace levelnet
