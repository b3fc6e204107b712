#include "session/results_files.h"

#include <cctype>

#include "session/source_date.h"

namespace levelnet::session {

std::string resultsFileBytes(const ResultsTable& table, ResultsFormat format) {
  switch (format) {
    case ResultsFormat::csv:
      return resultsCsv(table, ResultsEncoding::utf8);
    case ResultsFormat::csvGbk:
      return resultsCsv(table, ResultsEncoding::gbk);
    case ResultsFormat::xlsx:
      return resultsXlsx(table, sourceDateEpochFromEnvironment());
    case ResultsFormat::json:
      return resultsJson(table);
    case ResultsFormat::text:
      return resultsText(table, ResultsEncoding::utf8);
    case ResultsFormat::textGbk:
      return resultsText(table, ResultsEncoding::gbk);
  }
  return {};
}

std::string suffixOf(ResultsFormat format) {
  switch (format) {
    case ResultsFormat::csv:
    case ResultsFormat::csvGbk:
      return ".csv";
    case ResultsFormat::xlsx:
      return ".xlsx";
    case ResultsFormat::json:
      return ".json";
    case ResultsFormat::text:
    case ResultsFormat::textGbk:
      return ".txt";
  }
  return {};
}

std::optional<ResultsFormat> formatNamedBy(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string suffix = path.substr(dot);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (suffix == ".csv") return ResultsFormat::csv;
  if (suffix == ".xlsx") return ResultsFormat::xlsx;
  if (suffix == ".json") return ResultsFormat::json;
  if (suffix == ".txt") return ResultsFormat::text;
  return std::nullopt;
}

bool sameKind(ResultsFormat a, ResultsFormat b) { return suffixOf(a) == suffixOf(b); }

}  // namespace levelnet::session
