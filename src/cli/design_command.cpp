// levelnet design: the precision of a planned network before it is leveled,
// with routes added (--add) or taken away (--remove) to try a change.
#include "cli/commands.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "session/network_design.h"

namespace levelnet::cli {

int runDesign(const Arguments& a, const Streams& s) {
  DesignOptions options;
  session::RouteChanges changes;
  try {
    options = session::designOptions(a.grade, a.terrain, a.sigmaKm, a.pointLimit);
    for (const std::string& text : a.additions) changes.added.push_back(session::parsePlannedRoute(text));
  } catch (const InputError& e) {
    throw UsageError(messageOf(e));
  }
  for (const std::string& text : a.removals) {
    const std::optional<double> row = parseNumber(text);
    if (!row || !isCount(*row) || *row < 1 || *row > 1e7)
      throw UsageError("--remove 的值“" + text + "”不是观测值的序号（从 1 起的整数）");
    changes.removed.push_back(static_cast<int>(*row));
  }
  const std::string& path = a.files[0];
  const NetworkText net = openFileToAdjust(path, a, s, kLargeNetworkLimits);
  const session::DesignRun run = session::designNetwork(net, options, changes, displayName(path));
  warnOfDuplicates(path, run.net.duplicateNames, s.err);
  deliver(a, s.out, inReportEncoding(a, run.report));
  return kDone;
}

}  // namespace levelnet::cli
