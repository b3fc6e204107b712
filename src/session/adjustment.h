// Adjust, as both shells run it: the network's text gathered, the results
// computed in full, then the report written (so a refused run writes
// nothing), and the 成果表 made from the same results.
#pragma once

#include <memory>
#include <vector>

#include "adjust/adjustment_results.h"
#include "adjust/report_writer.h"
#include "adjust/results_table.h"
#include "network/leveling_network.h"
#include "network/text_table.h"

namespace levelnet::session {

struct AdjustmentRun {
  // Null when nothing was adjusted: the known-point count is empty.
  std::shared_ptr<const AdjustmentResults> results;
  std::shared_ptr<const ResultsTable> table;  // when asked for
  // Duplicate point names the user must hear of (the first row counts).
  std::vector<DuplicateName> duplicateNames;
  // Rows of the points table whose empty elevation counted as 0.
  std::vector<int> emptyElevationRows;
};

enum class ResultsTableWanted { no, yes };

// The textbook adjustment and its full report into `report`. An empty
// known-point count gives an empty run and writes nothing. Throws
// InputError (the input, with the first offending cell), AdjustmentError or
// OutOfMemoryError; whatever `report` throws (a failed write, a cancel) is
// passed on.
AdjustmentRun adjust(const NetworkText& network, TextSink& report, ResultsTableWanted table = ResultsTableWanted::yes);

// The results mode: sections 1, 5, 6 and 7 of the report through the
// sparse path (large networks, up to `limits`). The text is let go once the
// network is gathered from it, so that its memory serves the adjustment.
AdjustmentRun adjustResultsOnly(NetworkText network, TextSink& report, NetworkLimits limits);

// The results for a 成果表 without a report: the textbook solver within the
// textbook limits (its unrounded numbers go into JSON), the sparse path
// beyond them (whose rounded figures are the same).
AdjustmentRun adjustForResultsTable(const NetworkText& network, NetworkLimits limits);

// The report of the results again, whole (保存报告, the PDF).
std::string reportText(const AdjustmentResults& results);

}  // namespace levelnet::session
