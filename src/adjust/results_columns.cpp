#include "adjust/results_columns.h"

#include <charconv>

#include "network/errors.h"
#include "network/gbk.h"

namespace levelnet::results_export {

std::string encoded(std::string utf8, ResultsEncoding encoding) {
  if (encoding == ResultsEncoding::utf8) return utf8;
  std::optional<std::string> gbk = utf8ToGbk(utf8);
  if (!gbk) throw InputError("点名含有 GBK 编码无法表示的字符：成果表请改用 UTF-8 编码", Remedy::utf8Encoding);
  return std::move(*gbk);
}

std::vector<std::string> observationHeader(const ResultsTable& table) {
  std::vector<std::string> header = {"序号", "起点", "终点", "观测高差(m)", "路线长度(km)", "改正数(mm)", "平差值(m)"};
  if (hasCheckFigures(table)) {
    header.push_back("多余观测分量 r");
    header.push_back("统计量 " + table.testStatisticName);
    header.push_back("须注意");
  }
  return header;
}

std::vector<std::string> observationRow(const ResultsTable& table, const ObservationResult& o) {
  std::vector<std::string> row = {
      std::to_string(o.number), o.from, o.to, o.observedDifference.text, o.routeLength.text, o.correction.text,
      o.adjustedDifference.text};
  if (hasCheckFigures(table)) {
    row.push_back(o.redundancyText);
    row.push_back(o.testStatisticText);
    row.push_back(o.attention);
  }
  return row;
}

std::optional<double> shownFigure(const std::string& text) {
  if (text == kNoValueText) return std::nullopt;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::vector<SummaryRow> summaryRows(const PrecisionSummary& s) {
  return {
      {"单位权中误差 μ(mm)", s.unitWeightError.text, shownFigure(s.unitWeightError.text), 3},
      {"每公里高差中误差(mm)", s.errorPerKilometre.text, shownFigure(s.errorPerKilometre.text), 3},
      {"最弱点高程中误差 M_max(mm)", s.maxPointErrorText, shownFigure(s.maxPointErrorText), 1},
      {"最弱点", s.maxPointError ? s.maxPointErrorName : std::string(kNoValueText), std::nullopt, 0},
      {"平均高程中误差 M_mean(mm)", s.meanPointErrorText, shownFigure(s.meanPointErrorText), 1},
      {"观测值个数 n", std::to_string(s.observationCount), s.observationCount, 0},
      {"待定点个数 t", std::to_string(s.parameterCount), s.parameterCount, 0},
      {"多余观测数 f=n-t", std::to_string(s.redundancy), s.redundancy, 0},
  };
}

}  // namespace levelnet::results_export
