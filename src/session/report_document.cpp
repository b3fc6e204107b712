#include "session/report_document.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "network/errors.h"
#include "session/adjustment.h"

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

std::string documentDate(const std::optional<std::string>& sourceDateEpoch) {
  int year = 0, month = 0, day = 0;
  if (sourceDateEpoch && !sourceDateEpoch->empty()) {
    const std::string& text = *sourceDateEpoch;
    if (text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos)
      throw InputError("环境变量 SOURCE_DATE_EPOCH 的值“" + text + "”不是自 1970 年 1 月 1 日起的秒数");
    // Days since 1970-01-01 to the civil date (proleptic Gregorian calendar).
    const long long z = std::stoll(text) / 86400 + 719468;
    const long long era = z / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
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
