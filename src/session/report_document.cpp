#include "session/report_document.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "network/errors.h"
#include "session/adjustment.h"
#include "session/network_plot.h"
#include "session/source_date.h"

namespace levelnet::session {

ReportDocument makeReportDocument(const std::string& fileName, const std::string& date,
                                  const AdjustmentResults& results, const ResultsTable& table, const std::string& grade,
                                  const std::string& checkText) {
  ReportDocument document;
  document.fileName = fileName;
  document.date = date;
  document.knownCount = results.net.knownCount;
  document.unknownCount = results.net.unknownCount;
  document.observationCount = results.net.observationCount;
  document.grade = grade;
  document.results = table;
  document.reportText = reportText(results);
  document.checkText = checkText;
  return document;
}

void addNetworkDrawing(ReportDocument& document, const AdjustmentResults& results, const CheckRun* check) {
  DrawingSources sources;
  sources.adjusted = &results;
  sources.check = check;
  document.drawing = drawGathered(results.net, sources, "");
}

std::string documentDate(const std::optional<std::string>& sourceDateEpochText) {
  int year = 0, month = 0, day = 0;
  if (const std::optional<std::int64_t> epoch = sourceDateEpoch(sourceDateEpochText)) {
    const CivilTime t = civilTimeOf(*epoch);
    year = t.year;
    month = t.month;
    day = t.day;
  } else {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) throw InputError("无法取得今天的日期");
#else
    if (localtime_r(&now, &local) == nullptr) throw InputError("无法取得今天的日期");
#endif
    year = local.tm_year + 1900;
    month = local.tm_mon + 1;
    day = local.tm_mday;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string documentDateFromEnvironment() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  return documentDate(epoch ? std::optional<std::string>(epoch) : std::nullopt);
}

}  // namespace levelnet::session
