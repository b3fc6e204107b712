// The tables of a monitoring, as every output shows them: 观测期, 沉降观测成果表
// (one row per point, one column group per epoch, as the standards lay it
// out), 沉降量明细 (every figure with its standard error, significance and
// warning), 基准点稳定性检验, 基准点位移 and 预警与稳定. Every number is the
// text the tables print and the figure it shows; the formats only lay them
// out.
#pragma once

#include <string>
#include <vector>

#include "adjust/results_export.h"
#include "monitor/settlement.h"

namespace levelnet::monitor {

struct OutputTable {
  std::string title;  // "一、观测期"
  XlsxSheet sheet;    // name, header, cells, notes
  std::vector<bool> rightAligned;
};

std::vector<OutputTable> monitoringTables(const MonitoringResults& results);

// The lines above the tables (the project, the epochs, the verdict).
std::vector<std::string> summaryLines(const MonitoringResults& results);

// Fixed-width text, lines ending in CR LF, columns padded by display columns.
std::string monitoringText(const MonitoringResults& results, ResultsEncoding encoding = ResultsEncoding::utf8);
// CSV: each table a title line, a header row and its rows, an empty line
// between tables; UTF-8 with the byte-order mark, or GBK.
std::string monitoringCsv(const MonitoringResults& results, ResultsEncoding encoding = ResultsEncoding::utf8);
// One JSON object (UTF-8): project, epochs, references with their tests,
// points with every epoch's figures (values unrounded and as tabled).
std::string monitoringJson(const MonitoringResults& results);
// One sheet per table.
std::string monitoringXlsx(const MonitoringResults& results, std::optional<std::int64_t> created = std::nullopt);

}  // namespace levelnet::monitor
