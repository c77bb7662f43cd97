// The string-to-date conversion: the locale's order and the year-month-day fallback, month
// names, the century window, times with AM and PM, date-times, and the errors it raises.
#include <gtest/gtest.h>

#include "db/sql/zuzStrToDate.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

using F = TFieldType;

TqorRegionalSettings Locale(const char* shortDate, const char* longTime = "hh:nn:ss") {
  TqorRegionalSettings s;
  s.ShortDateFormat = shortDate;
  s.LongTimeFormat = longTime;
  return s;
}

double Date(std::string_view text, const TqorRegionalSettings& s, int year = 2025) {
  return ConvertStrToDateTime(text, F::ftDate, s, year);
}

double Time(int h, int n, int sec = 0, int ms = 0) {
  return (((h * 60.0 + n) * 60.0 + sec) * 1000.0 + ms) / 86400000.0;
}

TEST(DbSqlStrToDate, IsoDatesUnderEveryOrderButYearDayMonth) {
  double may31 = EncodeDate(2004, 5, 31);
  for (const char* f : {"dd/MM/yyyy", "MM/dd/yyyy", "yyyy-MM-dd", "d.M.yy"}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(Date("2004-05-31", Locale(f)), may31);
  }
  // Year, day, month: the locale's order succeeds first and reads another date.
  EXPECT_EQ(Date("2004-05-12", Locale("yyyy/dd/MM")), EncodeDate(2004, 12, 5));
  // The fallback still reads what the locale's order can't.
  EXPECT_EQ(Date("2004-05-31", Locale("yyyy/dd/MM")), may31);
}

TEST(DbSqlStrToDate, LocaleOrderFirst) {
  EXPECT_EQ(Date("01/02/2004", Locale("dd/MM/yyyy")), EncodeDate(2004, 2, 1));
  EXPECT_EQ(Date("01/02/2004", Locale("MM/dd/yyyy")), EncodeDate(2004, 1, 2));
  EXPECT_EQ(Date("31.5.2004", Locale("d.M.yyyy")), EncodeDate(2004, 5, 31));
  // Any characters that are no letters or digits separate.
  EXPECT_EQ(Date("  31 -- 05 ++ 2004 ", Locale("dd/MM/yyyy")), EncodeDate(2004, 5, 31));
}

TEST(DbSqlStrToDate, MonthNames) {
  TqorRegionalSettings s = Locale("dd/MM/yyyy");
  EXPECT_EQ(Date("31 may 2004", s), EncodeDate(2004, 5, 31));
  EXPECT_EQ(Date("2004-DEC-01", s), EncodeDate(2004, 12, 1));
  s.ShortMonthNames[2] = "mär";
  EXPECT_EQ(Date("1 MäR 2004", s), EncodeDate(2004, 3, 1));
  EXPECT_EQ(ErrorCodeOf([&] { Date("1 June 2004", s); }), ZUZ_ERR_DATE_VALUE);
}

TEST(DbSqlStrToDate, TwoDigitYearsLieInTheWindowAroundThisYear) {
  TqorRegionalSettings s = Locale("dd/MM/yy");
  EXPECT_EQ(Date("1/2/30", s, 2025), EncodeDate(2030, 2, 1));
  EXPECT_EQ(Date("1/2/75", s, 2025), EncodeDate(1975, 2, 1));
  EXPECT_EQ(Date("1/2/74", s, 2025), EncodeDate(2074, 2, 1));
  EXPECT_EQ(Date("1/2/99", s, 2060), EncodeDate(2099, 2, 1));
  EXPECT_EQ(Date("1/2/09", s, 2060), EncodeDate(2109, 2, 1));
  // Four digits are taken as written.
  EXPECT_EQ(Date("01/02/0987", s), EncodeDate(987, 2, 1));
}

TEST(DbSqlStrToDate, DayAndMonthOfThisYear) {
  EXPECT_EQ(Date("31/05", Locale("dd/MM/yyyy"), 2025), EncodeDate(2025, 5, 31));
  EXPECT_EQ(Date("05/31", Locale("MM/dd/yyyy"), 2025), EncodeDate(2025, 5, 31));
}

TEST(DbSqlStrToDate, InvalidDates) {
  TqorRegionalSettings s = Locale("dd/MM/yyyy");
  for (const char* text : {"", "2004", "2004-02-30", "2004-13-01", "32/01/2004", "001/02/2004",
                           "1x/02/2004", "01/02/20045", "tomorrow"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCodeOf([&] { Date(text, s); }), ZUZ_ERR_DATE_VALUE);
  }
  EXPECT_EQ(ErrorTextOf([&] { Date("2004-02-30", s); }),
            "Value 2004-02-30 was not of the expected format yyyy-mmm-dd");
}

TEST(DbSqlStrToDate, Times) {
  TqorRegionalSettings s = Locale("dd/MM/yyyy", "h:nn:ss AM/PM");
  auto time = [&](std::string_view text) { return ConvertStrToDateTime(text, F::ftTime, s, 2025); };
  EXPECT_DOUBLE_EQ(time("10:30"), Time(10, 30));
  EXPECT_DOUBLE_EQ(time("10:30:15.250"), Time(10, 30, 15, 250));
  EXPECT_DOUBLE_EQ(time("10:30 PM"), Time(22, 30));
  EXPECT_DOUBLE_EQ(time("12:05 am"), Time(0, 5));
  EXPECT_DOUBLE_EQ(time("12:05 PM"), Time(12, 5));
  EXPECT_DOUBLE_EQ(time("7"), Time(7, 0));
  for (const char* text :
       {"", "24:00", "10:60", "10:00:60", "1:2:3:4:5", "10 o'clock", "10 AM PM"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCodeOf([&] { time(text); }), ZUZ_ERR_TIME_VALUE);
  }
  EXPECT_EQ(ErrorTextOf([&] { time("25:00"); }),
            "Value 25:00 was not of the expected format h:nn:ss AM/PM");
}

TEST(DbSqlStrToDate, DateTimes) {
  TqorRegionalSettings s = Locale("dd/MM/yyyy");
  auto dt = [&](std::string_view text) {
    return ConvertStrToDateTime(text, F::ftDateTime, s, 2025);
  };
  EXPECT_DOUBLE_EQ(dt("2004-05-31 10:30:00"), EncodeDate(2004, 5, 31) + Time(10, 30));
  EXPECT_DOUBLE_EQ(dt("31/05/2004 10:30 PM"), EncodeDate(2004, 5, 31) + Time(22, 30));
  EXPECT_DOUBLE_EQ(dt("2004-05-31"), EncodeDate(2004, 5, 31));
  EXPECT_EQ(ErrorCodeOf([&] { dt("2004-05-31 noon"); }), ZUZ_ERR_TIME_VALUE);
  EXPECT_EQ(ErrorCodeOf([&] { dt("2004-05-32 10:00"); }), ZUZ_ERR_DATE_VALUE);
  // A date target reads the date part only.
  EXPECT_EQ(ConvertStrToDateTime("2004-05-31 10:30", F::ftDate, s, 2025), EncodeDate(2004, 5, 31));
}

}  // namespace
}  // namespace zuz::test
