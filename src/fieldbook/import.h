// From field records to the network: reads the field files (the handbook
// CSV, Leica GSI-8/16, Trimble DiNi M5), checks every station and section
// against the grade's tolerances, combines forward and backward runs and
// gives the network as the texts Open gives the window, with the check
// report.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "fieldbook/corrections.h"
#include "fieldbook/field_file.h"
#include "fieldbook/field_records.h"
#include "network/project_file.h"

namespace levelnet::fieldbook {

struct ImportOptions {
  std::string grade = "四等";  // one of fieldGrades()
  std::string terrain;         // "", "平原" or "山区": 山区 takes the ±k√n rule where the grade has one
  // Known points and their elevations as typed ("BM1", "12.345"), in order;
  // they come first in the points table and end sections.
  std::vector<std::pair<std::string, std::string>> known;
  // Further points where a digital level's line is cut into sections.
  std::vector<std::string> sectionEnds;
  std::string unitLength = "1";   // km, the .pc's 单位权长度
  bool weightByStations = false;  // route lengths in proportion to the number of stations
  // The corrections of precise leveling, applied to every run of a section
  // before the runs are combined (none by default).
  CorrectionInputs corrections;
};

struct FieldImport {
  ProjectData project;  // the network: fields, points, observations as Open gives them
  std::string report;   // the station-check report, UTF-8, lines end in "\r\n"
  bool passed = true;   // no station and no section beyond its tolerance, M_Δ within its limit
};

// Reads the files (each in its own format, found from its contents) and
// builds the network. Throws InputError naming the file, the line and the
// reason for a file that cannot be read, and for bad options; nothing is
// returned then.
FieldImport importFieldFiles(const std::vector<std::string>& paths, const ImportOptions& options);

// The same for files already decoded.
FieldImport importFieldTexts(const std::vector<FieldText>& texts, const ImportOptions& options);

// The lines of one decoded file, by its format.
std::vector<FieldLine> readFieldLines(const FieldText& text);

}  // namespace levelnet::fieldbook
