// The adjustment as a document to hand in (the PDF and the printed pages):
// what goes into it, assembled once for both shells. The pages themselves
// are laid out and painted in src/print.
#pragma once

#include <optional>
#include <string>

#include "adjust/adjustment_results.h"
#include "adjust/results_table.h"
#include "plot/network_drawing.h"
#include "session/data_check.h"

namespace levelnet::session {

struct ReportDocument {
  std::string fileName;  // the network file as the title block names it (UTF-8); may be empty
  std::string date;      // "2026-12-07"
  int knownCount = 0, unknownCount = 0, observationCount = 0;
  std::string grade;       // the check's grade ("二等", …); empty: none given
  ResultsTable results;    // the 成果表 (with the check's r and w where it ran) and the precision summary
  std::string reportText;  // the adjustment report, UTF-8, lines ending in "\n" or "\r\n"
  std::string checkText;   // the check report, UTF-8; empty: the document has no check part
  // The 网图 after the title block (adjusted elevations and M, the check's
  // colours where it ran); none: no picture page.
  std::optional<plot::NetworkDrawing> drawing;
};

// The document of one adjustment: the counts from the results, the whole
// report written again from them, the 成果表 given (so the check's figures
// it carries go in too), the grade and the check report where a check of
// the same data ran (empty otherwise).
ReportDocument makeReportDocument(const std::string& fileName, const std::string& date,
                                  const AdjustmentResults& results, const ResultsTable& table,
                                  const std::string& grade = {}, const std::string& checkText = {});

// The document's 网图 of the adjustment, laid out from the network's graph,
// with the check's colours when `check` (of the same observations) is given.
void addNetworkDrawing(ReportDocument& document, const AdjustmentResults& results, const CheckRun* check);

// The date a document carries, "YYYY-MM-DD": the day (UTC) of
// `sourceDateEpoch` (seconds since 1970, as the SOURCE_DATE_EPOCH of
// reproducible builds) when given, so that a document made again carries the
// same date; else today, local time. Throws InputError for an epoch that is
// not a plain count of seconds or lies beyond the year 9999 (sourceDateEpoch).
std::string documentDate(const std::optional<std::string>& sourceDateEpoch);

// documentDate with the process's SOURCE_DATE_EPOCH, where it is set.
std::string documentDateFromEnvironment();

}  // namespace levelnet::session
