// The command line's arguments: one table of options, each with the
// commands it belongs to and how its value is taken, and one table of
// commands with how many files each takes. parseArguments reads argv
// against them; what a command needs beyond that it checks itself.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "network/gbk.h"
#include "session/field_books.h"
#include "session/known_points.h"

namespace levelnet::cli {

// A wrong command line: exit status 2, a short usage after the message.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Command { none, adjust, check, results, report, import, normalize, monitor, plot, design };

struct Arguments {
  Command command = Command::none;
  std::string commandName;
  std::vector<std::string> files;
  std::string encoding = "utf-8";  // of the report: "utf-8" or "gbk"
  bool encodingGiven = false;
  std::optional<FileEncoding> inputEncoding;  // of the file read, when forced
  std::string output;                         // -o
  std::string grade, terrain, sigmaKm;
  std::string minRedundancy;      // check: --min-redundancy
  bool iterate = false;           // check: --iterate
  bool checkOptionGiven = false;  // --grade, --terrain or --sigma-km
  std::string format = "txt";     // results: txt, csv, json or xlsx
  bool formatGiven = false;
  bool resultsOnly = false;                 // adjust --results
  std::string pdf;                          // report --pdf
  bool withCheck = false;                   // report and results --with-check
  session::KnownPoints known;               // import --known
  std::vector<std::string> sectionEnds;     // import --section-end
  std::string unitLength;                   // import --unit-length
  std::string weight;                       // import --weight: "", "length" or "stations"
  std::vector<std::string> records;         // check --records
  std::string stableRate;                   // monitor --stable-rate (mm/d)
  std::string attention;                    // monitor --attention (percent of a warning value)
  session::CorrectionSettings corrections;  // import, check --records: the corrections of precise leveling
  std::string coordinates;                  // plot --coordinates
  std::vector<std::string> additions;       // design --add FROM,TO,L
  std::vector<std::string> removals;        // design --remove N
  std::string pointLimit;                   // design --point-limit
  bool help = false;
  bool version = false;
};

// Reads the command line; throws UsageError for anything it cannot take:
// an unknown option or command, a missing value, an option given to a
// command it does not belong to, the wrong number of files.
Arguments parseArguments(int argc, const char* const* argv);

// The whole usage (--help) and the short one that ends a usage error.
extern const char kUsageText[];
extern const char kShortUsage[];

}  // namespace levelnet::cli
