#include "session/source_date.h"

#include <cstdlib>

#include "network/errors.h"

namespace levelnet::session {

std::optional<std::int64_t> sourceDateEpoch(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  const auto refuse = [&]() {
    return InputError("环境变量 SOURCE_DATE_EPOCH 的值“" + *text +
                      "”不是自 1970 年 1 月 1 日起的秒数（最晚到 9999 年 12 月 31 日）");
  };
  if (text->find_first_not_of("0123456789") != std::string::npos) throw refuse();
  // The sum stops as soon as it passes the limit, so no length of text
  // overflows it.
  std::int64_t seconds = 0;
  for (const char c : *text) {
    seconds = seconds * 10 + (c - '0');
    if (seconds > kLatestSourceDate) throw refuse();
  }
  return seconds;
}

std::optional<std::int64_t> sourceDateEpochFromEnvironment() {
  const char* value = std::getenv("SOURCE_DATE_EPOCH");
  return sourceDateEpoch(value ? std::optional<std::string>(value) : std::nullopt);
}

CivilTime civilTimeOf(std::int64_t seconds) {
  CivilTime t;
  const std::int64_t inDay = seconds % 86400;
  t.hour = static_cast<int>(inDay / 3600);
  t.minute = static_cast<int>(inDay / 60 % 60);
  t.second = static_cast<int>(inDay % 60);
  // Days since 1970-01-01 to the civil date, counted in eras of 400 years
  // from 0000-03-01.
  const std::int64_t z = seconds / 86400 + 719468;
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

}  // namespace levelnet::session
