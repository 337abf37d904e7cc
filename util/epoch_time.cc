#include "util/epoch_time.h"

#include <cmath>
#include <limits>
#include <string>

namespace quarnel {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// Whole seconds since 30 December 1899 00:00, or false for no date.
bool SecondsSinceOleZero(OleDate date, int64_t* seconds) {
  // OLE dates end in the year 9999; the bound also keeps the arithmetic
  // below inside 64 bits, and a NaN fails it too.
  if (!(std::fabs(date) < 3.0e6)) return false;
  const double day = std::trunc(date);
  const double time_of_day = std::fabs(date - day);
  // Rounded half away from zero, as llround does; by hand, since llround
  // alone would make every start load the maths library. The fraction of a
  // non-negative double is exact.
  const double scaled = time_of_day * kSecondsPerDay;
  int64_t rounded = static_cast<int64_t>(scaled);
  if (scaled - static_cast<double>(rounded) >= 0.5) ++rounded;
  *seconds = static_cast<int64_t>(day) * kSecondsPerDay + rounded;
  return true;
}

}  // namespace

OleDate OleDateFromLocalTime(const LocalTime& time) {
  const double day = static_cast<double>(DaysFromCivil(time.year, time.month, time.day) +
                                         static_cast<int64_t>(kEpochDate));
  const double time_of_day = (time.hour * 3600 + time.minute * 60 + time.second) /
                             static_cast<double>(kSecondsPerDay);
  return day >= 0 ? day + time_of_day : day - time_of_day;
}

int32_t SecondsBetween(OleDate from, OleDate to) {
  int64_t from_seconds = 0;
  int64_t to_seconds = 0;
  const bool dates = SecondsSinceOleZero(from, &from_seconds) &&
                     SecondsSinceOleZero(to, &to_seconds);
  const int64_t count = to_seconds - from_seconds;
  if (!dates || count < std::numeric_limits<int32_t>::min() ||
      count > std::numeric_limits<int32_t>::max()) {
    throw RunError(kErrOverflow, "Counting the seconds from " + std::to_string(from) +
                                     " to " + std::to_string(to) + ": Overflow");
  }
  return static_cast<int32_t>(count);
}

OleDate DateFromEpochSeconds(int32_t seconds) {
  return kEpochDate + (seconds / 3600.0) / 24.0;
}

}  // namespace quarnel
