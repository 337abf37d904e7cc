#ifndef QUARNEL_UTIL_EPOCH_TIME_H_
#define QUARNEL_UTIL_EPOCH_TIME_H_

// Date-time values as the host product keeps them: OLE Automation dates, a
// double counting days since 30 December 1899 00:00 local time, the fraction
// being the time of day. Before that day the whole part counts back while the
// fraction still runs forward from midnight (-1.25 is 29 December 1899
// 06:00). No time zone enters anywhere.

#include <cstdint>

#include "platform/env.h"

namespace quarnel {

using OleDate = double;

// 1 January 1970 00:00:00, from which counts of seconds start.
inline constexpr OleDate kEpochDate = 25569.0;

// The date-time value of a local date and time.
OleDate OleDateFromLocalTime(const LocalTime& time);

// The whole seconds from `from` to `to`, each taken to its nearest second
// first; negative when `to` is earlier. Throws RunError 6 (Overflow) when
// the count leaves the 32-bit signed range or a value is no date at all.
int32_t SecondsBetween(OleDate from, OleDate to);

// The date-time `seconds` after the epoch, computed in double precision as
// 25569 + (seconds / 3600) / 24, in that order.
OleDate DateFromEpochSeconds(int32_t seconds);

}  // namespace quarnel

#endif  // QUARNEL_UTIL_EPOCH_TIME_H_
