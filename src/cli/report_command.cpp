// levelnet report: the adjustment (and with --with-check the check) as an
// A4 PDF with the 网图 after the title block, through the PDF writer of
// src/print.
#include "cli/commands.h"
#include "print/report_document.h"
#include "session/adjustment.h"
#include "session/data_check.h"
#include "session/report_document.h"

namespace levelnet::cli {

// Everything is computed and the whole PDF made before the file is written;
// a check that fails is told in the document and on standard error, and the
// status stays 0: the document asked for was written.
int runReport(const Arguments& a, const Streams& s) {
  if (a.pdf.empty()) throw UsageError("report 需要用 --pdf 指定输出的 PDF 文件");
  if (!a.output.empty()) throw UsageError("report 的输出文件用 --pdf 指定，不接受 -o");
  if ((!a.terrain.empty() || !a.sigmaKm.empty() || !a.minRedundancy.empty() || a.iterate) && !a.withCheck)
    throw UsageError("--terrain、--sigma-km、--min-redundancy 和 --iterate 只用于检核：report 须同时给出 --with-check");
  const CheckOptions options = checkOptionsOf(a);  // the grade goes into the title block also without a check
  const std::string& path = a.files[0];
  const NetworkText net = openFileToAdjust(path, a, s, kReportLimits);
  std::optional<session::CheckRun> check;
  if (a.withCheck) check = session::checkNetwork(net, options, displayName(path), kReportLimits);
  const session::AdjustmentRun run = session::adjustForResultsTable(net, kReportLimits);
  warnOfDuplicates(path, run.duplicateNames, s.err);
  const ResultsTable table = check ? session::withCheckFigures(*run.table, *check) : *run.table;
  session::ReportDocument document =
      session::makeReportDocument(displayName(path), session::documentDateFromEnvironment(), *run.results, table,
                                  a.grade, check ? check->report : std::string());
  session::addNetworkDrawing(document, *run.results, check ? &*check : nullptr);
  const std::string bytes = print::reportDocumentPdfWithoutDisplay(document);
  if (a.pdf == "-") {
    writeOut(s.out, bytes);
    flushOut(s.out);
  } else {
    saveFileSafely(a.pdf, bytes);
  }
  if (check && !check->passed)
    s.err << "levelnet: " << displayName(path) << ": 注意：检核未通过，详见 PDF 的“五、检核报告”（PDF 已写出）\n";
  return kDone;
}

}  // namespace levelnet::cli
