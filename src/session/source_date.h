// The moment reproducible outputs carry: SOURCE_DATE_EPOCH, the variable of
// reproducible builds (seconds since 1970-01-01 00:00 UTC), where it is set.
// A PDF or a workbook made again from the same network with the same
// variable is then the same file, byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace levelnet::session {

// The last second a four-digit year can show, 9999-12-31 23:59:59 UTC: the
// dates written into documents and workbooks have four digits for the year.
inline constexpr std::int64_t kLatestSourceDate = 253402300799;

// The seconds `text` gives: nothing when there is no text or it is empty.
// Throws InputError, naming the variable, for a text that is not a plain
// count of seconds (digits only) or lies beyond kLatestSourceDate.
std::optional<std::int64_t> sourceDateEpoch(const std::optional<std::string>& text);

// sourceDateEpoch of the process's SOURCE_DATE_EPOCH.
std::optional<std::int64_t> sourceDateEpochFromEnvironment();

// A moment as the UTC calendar shows it (proleptic Gregorian calendar).
struct CivilTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

// The UTC date and time of `seconds` since 1970-01-01 00:00 UTC, from 0 to
// kLatestSourceDate; computed here, not by the C library, whose gmtime on
// some systems ends in the year 3000.
CivilTime civilTimeOf(std::int64_t seconds);

}  // namespace levelnet::session
