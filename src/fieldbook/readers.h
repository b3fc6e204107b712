// The readers of field records. Each turns the decoded lines of one file
// into leveling lines of stations, or throws InputError naming the file,
// the line and the offending text; nothing is returned half read.
#pragma once

#include <vector>

#include "fieldbook/field_file.h"
#include "fieldbook/field_records.h"

namespace levelnet::fieldbook {

// The 三、四等 double-staff handbook (水准观测手簿) as CSV; the columns are
// described in the README ("From the field book to the network").
std::vector<FieldLine> readHandbookCsv(const FieldText& text);

// Leica GSI-8 and GSI-16 files of digital levels, line methods BF, BFFB,
// aBF and aBFFB. The word layout follows Leica's GSI description as given
// in the TPS1100 Professional Series User Manual (v2.2.1, "Data format":
// word index at positions 1-3, information at 4-6 with the unit at 6,
// sign and data at 7-15 for GSI-8 and 7-23 for GSI-16, a GSI-16 block
// marked by "*" in front), units of position 6 (0: m, last digit 1 mm;
// 6: m, 0.1 mm; 8: m, 0.01 mm; 1: ft, 0.001 ft; 7: ft, 0.0001 ft) as listed
// for the DNA03/DNA10 (Leica DNA03/DNA10 User Manual v2.0, GSI format), and
// the levelling word indices: 11 point number, 32 horizontal distance, 331
// and 332 the first reading of backsight and foresight, 335 and 336 the
// second, 333 and 334 intermediate and set-out sights, 83 height, 573 and
// 574 the running sums of distances. See readers.cpp for what is skipped.
std::vector<FieldLine> readLeicaGsi(const FieldText& text);

// Trimble DiNi files in the M5 format: lines "For M5|Adr N|T2 info|T3 value
// unit|T4 value unit|T5 value unit|" with the column layout of Trimble's M5
// description (Trimble M3 Total Station User Guide, appendix B.8 "M5 data
// format": the address block, a 27-character information block after its
// type identifier, three value blocks of a two-character type identifier,
// a 14-character value and a 4-character unit). The DiNi's own identifiers
// (Trimble DiNi User Guide, P/N 57345002, data format appendix): KD1
// measurement lines with Rb (backsight reading), Rf (foresight reading), HD
// (horizontal distance) and Z (height), KD2 line summaries (Db, Df sums of
// distances), TO text lines ("Start-Line BFFB …", "End-Line", a repeated
// station). See readers.cpp for what is skipped.
std::vector<FieldLine> readDiniM5(const FieldText& text);

}  // namespace levelnet::fieldbook
