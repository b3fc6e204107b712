// The data check as both shells run it: the settings read once, the network
// checked, the check report, and (after an import) the station checks of
// the field books the network came from.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adjust/report_writer.h"
#include "adjust/results_table.h"
#include "check/network_check.h"
#include "network/leveling_network.h"
#include "network/text_table.h"
#include "session/field_books.h"

namespace levelnet::session {

// The check's settings from the texts a user gives them: the grade ("" for
// none, else one of checkGrades()), the terrain ("", 平原 or 山区) and the
// a-priori standard error per km in mm ("" for none), the redundancy below
// which a test counts as weak ("" for kDefaultMinRedundancy) and whether to
// iterate the blunder search. Throws InputError (remedy sigmaPerKm for σ)
// naming what cannot be used.
CheckOptions checkOptions(const std::string& grade, const std::string& terrain, const std::string& sigmaKm,
                          const std::string& minRedundancy = "", bool iterate = false);

struct CheckRun {
  std::string report;  // UTF-8, CR LF: the check report, then the field books' checks where given
  bool passed = true;  // the network's check and the books' station checks
  ResidualAnalysis residuals;
  std::vector<std::string> attentionText;  // the 成果表's 须注意 of every observation, 1..n
  // For the 网图: the check's attention masks (1..n), the loops beyond the
  // tolerance (point numbers) and the observations the iteration removed.
  std::vector<unsigned char> attention;
  std::vector<std::vector<int>> failedLoops;
  std::vector<int> removed;
  CheckOptions options;
};

// Checks the network (adjusted on the sparse path, up to `limits`), naming
// it `fileName` in the report's file line; with `books` the station checks
// of those field books follow (checkFieldRecords). Throws as the
// adjustment and InputError for bad options.
CheckRun checkNetwork(const NetworkText& network, const CheckOptions& options, const std::string& fileName,
                      NetworkLimits limits = kLargeNetworkLimits, const std::vector<FieldBook>* books = nullptr,
                      const fieldbook::CorrectionInputs& corrections = {});

// The same check with its report (and the field books' checks after it)
// streamed to `sink` as it is written, never held whole: the command line's
// check. The text is let go once the network is gathered from it (and the
// books checked against it), so that its memory serves the check. Returns
// whether it passed (CheckRun::passed); throws as checkNetwork and what a
// write throws.
bool checkNetworkInto(NetworkText network, const CheckOptions& options, const std::string& fileName, TextSink& sink,
                      NetworkLimits limits = kLargeNetworkLimits, const std::vector<FieldBook>* books = nullptr,
                      const fieldbook::CorrectionInputs& corrections = {});

// The 成果表 with the check's r and w (τ) of every observation, when the check
// is of the same observations; the table unchanged otherwise.
ResultsTable withCheckFigures(const ResultsTable& table, const CheckRun& check);

}  // namespace levelnet::session
