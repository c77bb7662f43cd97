// Calendar rules: day numbers and civil dates, weekdays, Easter, ISO and Sunday-based week
// numbers, month steps, and dates as text in the regional settings' formats.
//
// Dates are day numbers: days since 30 December 1899 (day 0), the fraction being the time of
// day. The helpers accept day numbers from 1 January 0001 to 31 December 9999 and raise
// EqorDateError for anything else (including NaN and infinities).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

class EqorDateError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

struct TqorISOWeek {
  int Week = 0;
  int Year = 0;
  bool operator==(const TqorISOWeek&) const = default;
};

// Day number of a calendar date; raises EqorDateError for an invalid date.
double EncodeDate(int year, int month, int day);
// As EncodeDate, false for an invalid date.
bool TryEncodeDate(int year, int month, int day, double& date);
void DecodeDate(double date, int& year, int& month, int& day);
// Whether the helpers accept the day number (1 January 0001 to the end of 31 December 9999).
bool IsCalendarDayNumber(double date);
int YearOf(double date);
int MonthOf(double date);
int DayOf(double date);
// 1 January of the year.
double StartOfAYear(int year);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// 1 = Sunday through 7 = Saturday.
int DayOfWeek(double date);
// 1 = Monday through 7 = Sunday.
int ISODayOfWeek(double date);
// The Monday of the date's week (whole day).
double MondayOf(double date);
// The Sunday on or before the date (whole day).
double SundayOf(double date);
// Gregorian Easter Sunday of the year.
double EasterSunday(int year);
// The days the plans do not work: Saturdays, Sundays and, each in the date's own year, New Year,
// Easter Monday, Ascension (Easter + 39), Whit Monday (Easter + 50), 25 and 26 December. The
// fraction is ignored.
bool IsNonWorkingDay(double date);
// ISO 8601 week number and week-numbering year.
TqorISOWeek ISOWeekNumber(double date);
// Week number with weeks starting on Sunday: week 1 runs up to the first Sunday after 1 January.
int WeekNumber(double date);
// 53 when 1 January is a Thursday, or a Wednesday in a leap year; else 52.
int WeeksInYear(int year);
// "yyyy-mm-dd" (characters 1-4, 6-7 and 9-10); 0 when they do not form a valid date.
double DateFromISOText(std::string_view text);
// Whole days of a minus whole days of b, fractions cut off.
int DaysBetween(double a, double b);
// The same day and month in a year that many months later (negative: earlier); a day that the
// target month lacks becomes its last day.
double IncMonth(double date, int months);
// Today's date in local time, as a whole day number.
double SystemToday();

// Formats a day number with a date and/or time pattern of the regional settings' pattern
// language.
std::string FormatDateTime(std::string_view pattern, double date);
// Reads a date written in the short date format of the regional settings (day, month and year
// in the pattern's order, separated by any non-digits, two-digit years taken as 1950-2049),
// optionally followed by a time "h:n[:s]". False when the text is no such date.
bool TryTextToDate(std::string_view text, double& date);
