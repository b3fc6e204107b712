// Adjust as the window and the command line run it: gather the network from
// the fields and cells, compute the results, write the report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "adjust/adjustment_results.h"
#include "adjust/report_writer.h"
#include "network/leveling_network.h"
#include "network/text_table.h"

namespace levelnet {

// What a run tells its caller besides the report.
struct AdjustmentOutcome {
  // Duplicate point names the user must be warned of (the report follows
  // the first row of each).
  std::vector<DuplicateName> duplicateNames;
  // Rows of the points table whose empty elevation the run took as 0; the
  // window shows that by writing "0" into them.
  std::vector<int> emptyElevationRows;
  // The computed results the report was written from, for the 成果表 and the
  // exports; null when nothing was adjusted (an empty known-point field).
  std::shared_ptr<const AdjustmentResults> results;
};

// An empty known-point field writes nothing and changes nothing; otherwise
// the fields and tables are checked and gathered, the whole adjustment is
// computed and only then the report is written to `report`, so a refused
// run writes nothing. Throws InputError when the input cannot be adjusted
// (out of memory included). The tables are only read.
AdjustmentOutcome adjustNetwork(const ParameterFields& fields, const TextTable& points, const TextTable& observations,
                                TextSink& report);

// The report of adjustNetwork as one text.
std::string runAdjustment(const ParameterFields& fields, const TextTable& points, const TextTable& observations);

}  // namespace levelnet
