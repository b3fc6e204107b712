// Field records as both shells use them: reading observation handbooks and
// digital levels' files, importing them as a network, and checking a
// network against the books it came from.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "fieldbook/corrections.h"
#include "fieldbook/field_file.h"
#include "network/text_table.h"
#include "session/known_points.h"

namespace levelnet::session {

// One field file, decoded and read into its lines of stations.
struct FieldBook {
  std::string name;  // as messages and reports name it (the path as given)
  fieldbook::FieldText text;
};

// A file that could not be used, and why (the message names the line where
// there is one).
struct FieldBookRefusal {
  std::string name;
  std::string message;
};

struct FieldBookReading {
  std::vector<FieldBook> books;  // the files that could be read, in order
  std::vector<FieldBookRefusal> refusals;
};

// Reads every file; a file that cannot be used is named in `refusals` and
// the others are still read, so the user hears of all of them at once.
// A path "-" is read from `standardInput` (once; it is named “标准输入”),
// refused when there is none.
FieldBookReading readFieldBooks(const std::vector<std::string>& paths, std::istream* standardInput = nullptr);

// The corrections of precise leveling as the user gives them (texts, file
// names; empty: not given). correctionInputs reads the numbers and files.
struct CorrectionSettings {
  std::string rodMetreError;           // mm per m, the rod pair's mean metre error
  std::string rodExpansion;            // mm per m and ℃
  std::string calibrationTemperature;  // ℃; "" is 20
  std::string rodTemperaturesFile;     // 起点,终点,尺温 of each run
  std::string pointsFile;              // 点名,纬度[,近似高程][,重力异常]
};

// The window's syntax of the corrections: "尺长=0.02，膨胀系数=0.001，
// 检定温度=20，尺温文件=PATH，点位文件=PATH" (any of them; separated by
// `,` `，` `;` `；` or line ends; blanks around a piece are dropped). Throws
// InputError naming a piece that is not KEY=VALUE of these keys.
CorrectionSettings parseCorrectionSettings(std::string_view text);

// The files the corrections read, for the check that no output replaces an
// input.
std::vector<std::string> correctionFiles(const CorrectionSettings& settings);

// Reads the settings: numbers in their ranges, the files whole. Throws
// InputError naming the setting, or the file, line and text.
fieldbook::CorrectionInputs correctionInputs(const CorrectionSettings& settings);

struct ImportSettings {
  std::string grade;    // a field grade, or a data check's grade (fieldGradeFor); "" is 四等
  std::string terrain;  // "", 平原 or 山区
  KnownPoints known;
  std::vector<std::string> sectionEnds;
  std::string unitLength = "1";  // km
  bool weightByStations = false;
  CorrectionSettings corrections;
};

struct FieldImportRun {
  NetworkText network;  // as a new, unsaved network
  std::string report;   // the station-check report, UTF-8, CR LF
  bool passed = true;   // no station or section beyond its tolerance
};

// Reduces and checks the books and builds the network. Throws InputError
// for bad settings and books that cannot be reduced.
FieldImportRun importFieldBooks(const std::vector<FieldBook>& books, const ImportSettings& settings);

struct RecordsCheck {
  std::string text;  // to follow the check report: a heading, the match count, the station report
  bool passed = true;
  int sections = 0;  // of the books
  int matched = 0;   // of them that are observations of the network
};

// The station and section checks of the books a network was made from, at
// the data check's grade, with the network's known points and every point
// that ends one of its observations as section ends (so the books are cut
// as the import cut them), and how many of their sections are observations
// of the network: the same ends (either way) and the same height difference
// as the .pc carries it (0.1 mm).
// `corrections`: those the import applied (the network holds the corrected
// differences), so that the books give the same observations again.
RecordsCheck checkFieldRecords(const NetworkText& network, const std::vector<FieldBook>& books,
                               const std::string& grade, const std::string& terrain,
                               const fieldbook::CorrectionInputs& corrections = {});

}  // namespace levelnet::session
