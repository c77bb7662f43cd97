#include <algorithm>
#include <chrono>
#include <cmath>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "tests/planner/base/test_util.h"

namespace {

using namespace std::chrono;

// Independent references, written from the calendar's definitions rather than the code's rules.

double Day(year_month_day ymd) {
  return static_cast<double>(sys_days{ymd}.time_since_epoch().count()) + 25569;
}

// The anonymous Gregorian algorithm (Meeus/Jones/Butcher).
year_month_day AnonymousEaster(int y) {
  int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25,
      g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4,
      l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451,
      month = (h + l - 7 * m + 114) / 31, day = (h + l - 7 * m + 114) % 31 + 1;
  return year{y} / month / day;
}

// ISO week by the Thursday rule: a week belongs to the year of its Thursday.
TqorISOWeek ThursdayRuleWeek(double date) {
  sys_days d{days{static_cast<long long>(date) - 25569}};
  sys_days thursday = d + days{4 - static_cast<int>(weekday{d}.iso_encoding())};
  int y = static_cast<int>(year_month_day{thursday}.year());
  sys_days firstThursday = sys_days{year{y} / January / Thursday[1]};
  return {static_cast<int>((thursday - firstThursday).count() / 7) + 1, y};
}

TEST(CalendarTest, DayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2005, 1, 3), 38355);
  EXPECT_EQ(EncodeDate(2005, 1, 9), 38361);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  int y, m, d;
  DecodeDate(38355.75, y, m, d);
  EXPECT_EQ(y * 10'000 + m * 100 + d, 20050103);
  EXPECT_EQ(YearOf(-1), 1899);
  EXPECT_EQ(DayOf(-1), 29);
  EXPECT_EQ(StartOfAYear(2024), EncodeDate(2024, 1, 1));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_THROW(EncodeDate(2005, 2, 29), EqorDateError);
  EXPECT_THROW(YearOf(1e12), EqorDateError);
  EXPECT_THROW(YearOf(std::nan("")), EqorDateError);
  EXPECT_THROW(MondayOf(-1e9), EqorDateError);

  EXPECT_EQ(DayOfWeek(EncodeDate(2005, 1, 2)), 1);  // a Sunday
  EXPECT_EQ(ISODayOfWeek(EncodeDate(2005, 1, 2)), 7);
  EXPECT_EQ(ISODayOfWeek(EncodeDate(2005, 1, 3)), 1);
  EXPECT_EQ(MondayOf(EncodeDate(2005, 1, 2) + 0.5), EncodeDate(2004, 12, 27));
  EXPECT_EQ(SundayOf(EncodeDate(2005, 1, 2)), EncodeDate(2005, 1, 2));
  EXPECT_EQ(SundayOf(EncodeDate(2005, 1, 8)), EncodeDate(2005, 1, 2));

  EXPECT_EQ(DateFromISOText("2005-01-03"), 38355);
  EXPECT_EQ(DateFromISOText("2005-02-30"), 0);
  EXPECT_EQ(DateFromISOText("2005-1-3"), 0);
  EXPECT_EQ(DateFromISOText("2005-01-03T12:00"), 38355);
  EXPECT_EQ(DateFromISOText("abcd-01-03"), 0);

  EXPECT_EQ(DaysBetween(38361.9, 38355.1), 6);
  EXPECT_EQ(DaysBetween(-1.5, 0), -1);  // fractions are cut off towards zero

  EXPECT_EQ(IncMonth(EncodeDate(2005, 12, 1), 1), EncodeDate(2006, 1, 1));
  EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 1), -1), EncodeDate(2004, 12, 1));
  EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 31), 1), EncodeDate(2005, 2, 28));
  EXPECT_EQ(IncMonth(EncodeDate(2024, 2, 29), 12), EncodeDate(2025, 2, 28));
  EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 3) + 0.25, 1), EncodeDate(2005, 2, 3) + 0.25);
}

TEST(CalendarTest, EasterMatchesTheAnonymousAlgorithm) {
  EXPECT_EQ(EasterSunday(2004), EncodeDate(2004, 4, 11));
  EXPECT_EQ(EasterSunday(2005), EncodeDate(2005, 3, 27));
  EXPECT_EQ(EasterSunday(1954), EncodeDate(1954, 4, 18));
  EXPECT_EQ(EasterSunday(1981), EncodeDate(1981, 4, 19));
  for (int y = 1900; y <= 2200; ++y) {
    EXPECT_EQ(EasterSunday(y), Day(AnonymousEaster(y))) << y;
    EXPECT_EQ(DayOfWeek(EasterSunday(y)), 1) << y;
  }
  EXPECT_THROW(EasterSunday(0), EqorDateError);
}

TEST(CalendarTest, IsoWeeksMatchTheThursdayRule) {
  EXPECT_EQ(ISOWeekNumber(EncodeDate(2005, 1, 1)), (TqorISOWeek{53, 2004}));
  EXPECT_EQ(ISOWeekNumber(EncodeDate(2005, 1, 3)), (TqorISOWeek{1, 2005}));
  EXPECT_EQ(ISOWeekNumber(EncodeDate(2007, 12, 31)), (TqorISOWeek{1, 2008}));
  const double from = EncodeDate(1900, 1, 1), to = EncodeDate(2200, 12, 31);
  for (double d = from; d <= to; ++d) {
    TqorISOWeek expected = ThursdayRuleWeek(d);
    ASSERT_EQ(ISOWeekNumber(d + 0.5), expected) << d;
  }
  for (int y = 1900; y <= 2200; ++y) {
    // The year's last ISO week is the week of 28 December.
    EXPECT_EQ(WeeksInYear(y), ThursdayRuleWeek(EncodeDate(y, 12, 28)).Week) << y;
  }
}

TEST(CalendarTest, SundayWeeksMatchCountedSundays) {
  EXPECT_EQ(WeekNumber(EncodeDate(2006, 1, 1)), 1);  // a Sunday 1 January
  EXPECT_EQ(WeekNumber(EncodeDate(2006, 1, 7)), 1);
  EXPECT_EQ(WeekNumber(EncodeDate(2006, 1, 8)), 2);
  EXPECT_EQ(WeekNumber(EncodeDate(2005, 1, 1)), 1);  // a Saturday
  EXPECT_EQ(WeekNumber(EncodeDate(2005, 1, 2)), 2);
  // Week 1 plus one for every Sunday after 1 January up to the date.
  for (int y = 1900; y <= 2200; ++y) {
    const sys_days jan1{year{y} / January / 1}, dec31{year{y} / December / 31};
    int week = 1;
    for (sys_days x = jan1; x <= dec31; x += days{1}) {
      if (x != jan1 && weekday{x} == Sunday) ++week;
      ASSERT_EQ(WeekNumber(Day(year_month_day{x})), week) << y;
    }
  }
}

TEST(CalendarTest, NonWorkingDaysAreWeekendsAndTheEasterFeasts) {
  EXPECT_TRUE(IsNonWorkingDay(EncodeDate(2024, 5, 20) + 0.75));  // Whit Monday, in the evening
  EXPECT_FALSE(IsNonWorkingDay(EncodeDate(2024, 3, 29)));        // Good Friday works
  for (int y = 1900; y <= 2200; ++y) {
    const sys_days easter{AnonymousEaster(y)};
    const sys_days feasts[] = {year{y} / 1 / 1,   easter + days{1},  easter + days{39},
                               easter + days{50}, year{y} / 12 / 25, year{y} / 12 / 26};
    for (sys_days x{year{y} / 1 / 1}; x <= sys_days{year{y} / 12 / 31}; x += days{1}) {
      const bool expected = weekday{x} == Saturday || weekday{x} == Sunday ||
                            std::find(std::begin(feasts), std::end(feasts), x) != std::end(feasts);
      ASSERT_EQ(IsNonWorkingDay(Day(year_month_day{x})), expected) << y << " " << Day(x);
    }
  }
}

}  // namespace
