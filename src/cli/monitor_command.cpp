// levelnet monitor: the settlement monitoring of a project of epochs, its
// tables in txt, csv, json or xlsx, and with --pdf its curves.
#include "cli/commands.h"
#include "network/errors.h"
#include "network/file_identity.h"
#include "network/number_text.h"
#include "network/safe_file.h"
#include "session/monitoring.h"
#ifdef LEVELNET_WITH_PDF
#include "print/monitoring_charts.h"
#include "session/report_document.h"
#endif

namespace levelnet::cli {

namespace {

double settingOf(const std::string& text, const char* option, double low, double high) {
  const std::optional<double> v = parseNumber(text);
  if (!v || !(*v > low) || !(*v < high))
    throw UsageError(std::string(option) + " 的值“" + text + "”不对（应在 " + numberText(low) + " 与 " +
                     numberText(high) + " 之间）");
  return *v;
}

}  // namespace

int runMonitor(const Arguments& a, const Streams& s) {
  if (a.format == "xlsx" && a.output.empty()) throw UsageError("--format xlsx 需要用 -o 指定输出文件");
  if (!a.pdf.empty() && a.formatGiven && a.output.empty())
    throw UsageError("--pdf 与 --format 同时给出时，表格须用 -o 写到文件");
  // Checked before anything is read; -1 where not given.
  const double stableRate = a.stableRate.empty() ? -1.0 : settingOf(a.stableRate, "--stable-rate", 0.0, 1000.0);
  const double attention = a.attention.empty() ? -1.0 : settingOf(a.attention, "--attention", 0.0, 100.0);
  const std::string& path = a.files[0];
  if (path == "-") throw UsageError("monitor 需要监测项目文件名（各期的平差文件相对于它）");
  // --encoding is the tables' encoding: the project file and every epoch
  // are read in the encoding their bytes show (GBK or plainly UTF-8).
  session::MonitoringInput input = session::openMonitoringProject(path);
  // No output replaces an epoch's file either.
  for (const std::string& output : {a.output, a.pdf}) refuseOutputOverInput(output, input.inputFiles);
  for (const std::string& note : input.encodingNotes) s.err << "levelnet: " << note << "\n";
  if (stableRate > 0.0) input.project.settings.stableRate = stableRate;
  if (attention > 0.0) input.project.settings.attentionFraction = attention / 100.0;
  const monitor::MonitoringResults results = session::runMonitoring(input);
  for (const std::string& note : results.notes) s.err << "levelnet: " << displayName(path) << ": " << note << "\n";
  // Everything is made before anything is written.
  std::string tables;
  const bool wantTables = a.pdf.empty() || a.formatGiven || !a.output.empty();
  if (wantTables) tables = session::monitoringFileBytes(results, tablesFormatOf(a));
  if (!a.pdf.empty()) {
#ifdef LEVELNET_WITH_PDF
    const std::string pdf = print::monitoringPdfWithoutDisplay(results, session::documentDateFromEnvironment());
    if (a.pdf == "-") {
      writeOut(s.out, pdf);
      flushOut(s.out);
    } else {
      saveFileSafely(a.pdf, pdf);
    }
#else
    throw InputError("这个版本没有编译 PDF（需要 Qt 6 Gui）");
#endif
  }
  if (wantTables) deliver(a, s.out, tables);
  if (results.anyWarning()) {
    std::string names;
    for (const monitor::PointSeries& p : results.points)
      if (p.currentLevel == monitor::WarningLevel::warning) names += (names.empty() ? "" : "、") + p.name;
    s.err << "levelnet: " << displayName(path) << ": 预警：" << names << " 达到预警值\n";
    return kCheckFailed;
  }
  return kDone;
}

}  // namespace levelnet::cli
