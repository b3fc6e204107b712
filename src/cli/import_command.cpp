// levelnet import: field books into a network, written to -o through the
// safe save, and the station-check report on standard output.
#include <algorithm>

#include "cli/commands.h"
#include "network/errors.h"
#include "session/field_books.h"
#include "session/grades.h"
#include "session/network_files.h"

namespace levelnet::cli {

// All files are read and checked before anything is written: a refused file
// writes nothing. A check that fails still writes the network (the
// observations are what was observed) and exits 3.
int runImport(const Arguments& a, const Streams& s) {
  if (a.output.empty()) throw UsageError("import 需要用 -o 指定要写出的平差文件（.pc）");
  if (std::count(a.files.begin(), a.files.end(), "-") > 1) throw UsageError("import 只能从标准输入读一个观测手簿");
  session::ImportSettings settings;
  try {
    settings.grade = session::fieldGradeFor(a.grade);
  } catch (const InputError& e) {
    throw UsageError(e.what());
  }
  settings.terrain = a.terrain;
  settings.known = a.known;
  settings.sectionEnds = a.sectionEnds;
  if (!a.unitLength.empty()) settings.unitLength = a.unitLength;
  settings.weightByStations = a.weight == "stations";
  settings.corrections = a.corrections;
  session::FieldBookReading reading = session::readFieldBooks(a.files, &s.in);
  for (const session::FieldBookRefusal& r : reading.refusals)
    s.err << "levelnet: " << r.name << ": " << r.message << "\n";
  if (!reading.refusals.empty()) return kRefused;
  const session::FieldImportRun run = session::importFieldBooks(reading.books, settings);
  const std::string report = inReportEncoding(a, run.report);
  session::saveNetwork(a.output, run.network);
  writeOut(s.out, report);
  flushOut(s.out);
  if (!run.passed) s.err << "levelnet: 注意：有测站或测段超限（见报告），" << a.output << " 已写出\n";
  return run.passed ? kDone : kCheckFailed;
}

}  // namespace levelnet::cli
