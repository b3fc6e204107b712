// levelnet results: the 成果表 of one file in txt, csv, json or xlsx.
#include "cli/commands.h"
#include "session/adjustment.h"
#include "session/data_check.h"
#include "session/results_files.h"

namespace levelnet::cli {

session::ResultsFormat tablesFormatOf(const Arguments& a) {
  if (a.format == "csv")
    return a.encodingGiven && a.encoding == "gbk" ? session::ResultsFormat::csvGbk : session::ResultsFormat::csv;
  if (a.format == "json") return session::ResultsFormat::json;
  if (a.format == "xlsx") return session::ResultsFormat::xlsx;
  return a.encoding == "gbk" ? session::ResultsFormat::textGbk : session::ResultsFormat::text;
}

int runResults(const Arguments& a, const Streams& s) {
  if (a.format == "xlsx" && a.output.empty()) throw UsageError("--format xlsx 需要用 -o 指定输出文件");
  if (a.checkOptionGiven && !a.withCheck)
    throw UsageError(
        "--grade、--terrain、--sigma-km、--min-redundancy 和 --iterate 用于检核：results 须同时给出 --with-check");
  const std::optional<CheckOptions> options = a.withCheck ? std::optional(checkOptionsOf(a)) : std::nullopt;
  const std::string& path = a.files[0];
  const NetworkText net = openFileToAdjust(path, a, s, kLargeNetworkLimits);
  const session::ResultsFormat format = tablesFormatOf(a);
  if (format == session::ResultsFormat::csvGbk || format == session::ResultsFormat::textGbk) requireGbkNames(net);
  const session::AdjustmentRun run = session::adjustForResultsTable(net, kLargeNetworkLimits);
  warnOfDuplicates(path, run.duplicateNames, s.err);
  // --with-check adds the check's r and w (τ) of every observation; its
  // verdict is the check command's business.
  const ResultsTable table =
      options ? session::withCheckFigures(*run.table, session::checkNetwork(net, *options, displayName(path)))
              : *run.table;
  deliver(a, s.out, session::resultsFileBytes(table, format));
  return kDone;
}

}  // namespace levelnet::cli
