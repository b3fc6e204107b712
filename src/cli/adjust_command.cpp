// levelnet adjust: the report of each file, or with --results its sections
// 1, 5, 6 and 7 through the sparse path.
#include <utility>

#include "cli/commands.h"
#include "session/adjustment.h"

namespace levelnet::cli {

int runAdjust(const Arguments& a, const Streams& s) {
  const NetworkLimits limits = a.resultsOnly ? kLargeNetworkLimits : kReportLimits;
  return forEveryFile(a, s, [&](const std::string& path, TextSink& sink) {
    NetworkText net = openFileToAdjust(path, a, s, limits);
    if (a.encoding == "gbk") requireGbkNames(net);
    const session::AdjustmentRun run = a.resultsOnly ? session::adjustResultsOnly(std::move(net), sink, limits)
                                                     : session::adjust(net, sink, session::ResultsTableWanted::no);
    warnOfDuplicates(path, run.duplicateNames, s.err);
    return kDone;
  });
}

}  // namespace levelnet::cli
