#include "util/epoch_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace quarnel {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

OleDate At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return OleDateFromLocalTime(LocalTime{year, month, day, hour, minute, second});
}

int32_t SinceEpoch(OleDate date) { return SecondsBetween(kEpochDate, date); }

void ExpectOverflow(OleDate date) {
  try {
    SinceEpoch(date);
    ADD_FAILURE() << "no overflow for " << date;
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), kErrOverflow);
  }
}

TEST(EpochTimeTest, DatesAreOleAutomationDates) {
  EXPECT_EQ(At(1899, 12, 30), 0.0);
  EXPECT_EQ(At(1970, 1, 1), kEpochDate);
  EXPECT_EQ(At(2000, 1, 1, 12), 36526.5);
  EXPECT_EQ(At(1899, 12, 29, 6), -1.25);
  EXPECT_EQ(At(1800, 1, 1), -36522.0);
}

TEST(EpochTimeTest, CountsWholeSecondsFromTheEpoch) {
  EXPECT_EQ(SinceEpoch(At(1970, 1, 1)), 0);
  EXPECT_EQ(SinceEpoch(At(1970, 1, 2)), 86400);
  EXPECT_EQ(SinceEpoch(At(1969, 12, 31, 23, 59, 59)), -1);
  EXPECT_EQ(SinceEpoch(At(2024, 2, 29, 13, 45, 30)), 1709214330);
}

TEST(EpochTimeTest, TheThirtyTwoBitRangeEndsInOverflow) {
  EXPECT_EQ(SinceEpoch(At(2038, 1, 19, 3, 14, 7)), kMax);
  ExpectOverflow(At(2038, 1, 19, 3, 14, 8));
  EXPECT_EQ(SinceEpoch(At(1901, 12, 13, 20, 45, 52)), kMin);
  ExpectOverflow(At(1901, 12, 13, 20, 45, 51));
  ExpectOverflow(At(1899, 12, 29, 6));
  ExpectOverflow(std::nan(""));
  ExpectOverflow(1e300);
}

TEST(EpochTimeTest, FractionsOfASecondGoToTheNearestSecond) {
  EXPECT_EQ(SinceEpoch(kEpochDate + 0.4 / 86400), 0);
  EXPECT_EQ(SinceEpoch(kEpochDate + 0.6 / 86400), 1);
  EXPECT_EQ(SinceEpoch(kEpochDate - 0.6 / 86400), -1);
}

TEST(EpochTimeTest, DatesBefore1899CountTheirTimeForward) {
  // -1.25 is 29 December 1899 06:00, eighteen hours before day zero.
  EXPECT_EQ(SecondsBetween(-1.25, 0.0), 18 * 3600);
  EXPECT_EQ(SecondsBetween(-1.75, -1.25), -12 * 3600);
}

TEST(EpochTimeTest, SecondsBecomeDatesAndBack) {
  EXPECT_EQ(DateFromEpochSeconds(0), kEpochDate);
  EXPECT_EQ(DateFromEpochSeconds(86400), kEpochDate + 1);
  EXPECT_EQ(DateFromEpochSeconds(-86400), kEpochDate - 1);
  EXPECT_NEAR(DateFromEpochSeconds(kMax), At(2038, 1, 19, 3, 14, 7), 1e-9);
  EXPECT_NEAR(DateFromEpochSeconds(kMin), At(1901, 12, 13, 20, 45, 52), 1e-9);
  for (int32_t seconds : {kMin, -1, 1, 12345678, kMax}) {
    EXPECT_EQ(SinceEpoch(DateFromEpochSeconds(seconds)), seconds);
  }
}

}  // namespace
}  // namespace quarnel
