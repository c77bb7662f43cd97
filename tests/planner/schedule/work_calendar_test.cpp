// The working-day calendar: known holidays, random queries across the centuries against walking
// day by day, and the ends of the calendar.
#include <gtest/gtest.h>

#include <random>

#include "planner/base/qorCalendar.h"
#include "planner/schedule/qorWorkCalendar.h"
#include "tests/planner/schedule/scheduleReference.h"

namespace {

int32_t Day(int y, int m, int d) {
  return static_cast<int32_t>(EncodeDate(y, m, d));
}

TEST(WorkCalendarTest, KnownDates) {
  const TqorWorkCalendar calendar;
  for (int32_t day : {Day(2024, 4, 1), Day(2024, 5, 9), Day(2024, 5, 20), Day(2006, 12, 25),
                      Day(2006, 12, 26), Day(2007, 1, 1), Day(2024, 3, 31), Day(2024, 3, 30)}) {
    EXPECT_FALSE(calendar.IsWorkingDay(day)) << FormatDateTime("yyyy-mm-dd", day);
    EXPECT_TRUE(IsNonWorkingDay(day + 0.5));
  }
  // Good Friday, Whit Sunday's eve, 1 May and the days between Christmas and New Year work.
  for (int32_t day : {Day(2024, 3, 29), Day(2024, 4, 2), Day(2024, 5, 1), Day(2024, 5, 10),
                      Day(2024, 5, 21), Day(2006, 12, 27), Day(2006, 12, 29), Day(2007, 1, 2)}) {
    EXPECT_TRUE(calendar.IsWorkingDay(day)) << FormatDateTime("yyyy-mm-dd", day);
    EXPECT_FALSE(IsNonWorkingDay(day));
  }
  EXPECT_EQ(calendar.Next(Day(2006, 12, 23)), Day(2006, 12, 27));
  EXPECT_EQ(calendar.Prev(Day(2007, 1, 1)), Day(2006, 12, 29));
  EXPECT_EQ(calendar.Shift(Day(2006, 12, 22), 1), Day(2006, 12, 27));
  EXPECT_EQ(calendar.Shift(Day(2007, 1, 2), -3), Day(2006, 12, 27));
  EXPECT_EQ(calendar.WorkingDays(Day(2024, 3, 28), Day(2024, 4, 2)), 3);
  EXPECT_EQ(calendar.Distance(Day(2024, 5, 8), Day(2024, 5, 13)), 2);
}

TEST(WorkCalendarTest, QueriesMatchWalkingDayByDay) {
  const uint32_t seed = ref::Seed() + 3;
  std::mt19937 random(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const TqorWorkCalendar calendar;
  // Queries jump between the centuries, so that the table grows both ways again and again.
  for (int k = 0; k < 6000; ++k) {
    const int32_t a = Day(uniform(1600, 2400), 1, 1) + uniform(0, 364);
    const int32_t b = a + uniform(-200, 200);
    SCOPED_TRACE(testing::Message()
                 << "VZ_SCHEDULE_SEED=" << seed - 3 << ", days " << a << " " << b);
    ASSERT_EQ(calendar.IsWorkingDay(a), ref::IsWorkingDay(a));
    ASSERT_EQ(calendar.Next(a), ref::Next(a));
    ASSERT_EQ(calendar.Prev(a), ref::Prev(a));
    const int n = uniform(-60, 60);
    ASSERT_EQ(calendar.Shift(a, n), ref::Shift(ref::Next(a), n));
    ASSERT_EQ(calendar.WorkingDays(a, b), b < a ? 0 : ref::CountWorkingDays(a, b));
    ASSERT_EQ(calendar.Distance(ref::Next(a), ref::Next(b)),
              ref::Steps(ref::Next(a), ref::Next(b)));
    const int32_t n2 = uniform(-3, 3) * 1000;
    if (k % 50 == 0) {
      ASSERT_EQ(calendar.Shift(ref::Next(a), n2), ref::Shift(ref::Next(a), n2));
    }
  }
  EXPECT_LE(calendar.FirstCovered(), Day(1600, 1, 1));
  EXPECT_GE(calendar.LastCovered(), Day(2400, 12, 31));
}

// One calendar for each end: a table holds every day between the days asked about.
TEST(WorkCalendarTest, TheEndsOfTheCalendar) {
  const int32_t first = Day(1, 1, 1), last = Day(9999, 12, 31);  // a holiday, a Friday
  const TqorWorkCalendar early, late;
  EXPECT_EQ(early.Next(first), first + 1);
  EXPECT_THROW(early.Prev(first), EqorDateError);
  EXPECT_THROW(early.Shift(first + 1, -1), EqorDateError);
  EXPECT_THROW(early.IsWorkingDay(first - 1), EqorDateError);
  EXPECT_EQ(late.Prev(last), last);
  EXPECT_THROW(late.Shift(last, 1), EqorDateError);
  EXPECT_THROW(late.Next(last + 1), EqorDateError);
  EXPECT_THROW(late.WorkingDays(last, last + 1), EqorDateError);
  // The refusals leave the calendars as they were.
  EXPECT_EQ(early.Shift(first + 1, 4), ref::Shift(first + 1, 4));
  EXPECT_EQ(early.WorkingDays(first, first + 40), ref::CountWorkingDays(first, first + 40));
  EXPECT_EQ(late.Shift(last, -4), ref::Shift(last, -4));
  EXPECT_EQ(late.WorkingDays(last - 40, last), ref::CountWorkingDays(last - 40, last));
}

}  // namespace
