// Text utilities shared by the whole program: a growable text buffer, exact and letter-case-blind
// search and replace, number and colour parsing, whole-file text input and output, a Yes/No
// question, and the date helpers behind the planner's calendar.
//
// Text is UTF-8 and positions count bytes, 1-based, 0 meaning "not found". Dates are day
// numbers: days since 30 December 1899 (day 0), the fraction being the time of day. The date
// helpers accept day numbers from 1 January 0001 to 31 December 9999 and raise
// EqorDateError for anything else (including NaN and infinities).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A text buffer that grows in steps, for building long texts by appending.
class TqorFastString {
 public:
  static constexpr size_t kGrowthStep = 65536;

  // Empties the buffer and allocates one growth step.
  void Reset();
  // Copies text behind the used part; when it does not fit, the capacity grows by the larger of
  // the growth step and the text's length. An empty text changes nothing.
  void Append(std::string_view text);
  // The used part; releases the buffer (capacity 0 afterwards, like a fresh buffer).
  std::string GetText();
  size_t Length() const { return length_; }
  size_t Capacity() const { return capacity_; }

 private:
  std::string buffer_;  // sized to the capacity; the first length_ bytes are used
  size_t capacity_ = 0;
  size_t length_ = 0;
};

// 1-based position of part in text at or after start; 0 when either is empty, part is not
// found, or start is beyond the last position where part would fit. A start below 1 counts as 1.
int PosEx(std::string_view part, std::string_view text, int start = 1);
// As PosEx, comparing letter-case-blind: ASCII letters and the Cyrillic letters of the
// single-byte Cyrillic code page (whose upper and lower case forms have equal UTF-8 lengths).
int PosText(std::string_view part, std::string_view text, int start = 1);
// Every occurrence of find, scanning left to right behind each match, replaced; an empty find
// or no occurrence returns the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);
// As ReplaceAll with PosText matching.
std::string ReplaceText(std::string_view text, std::string_view find,
                        std::string_view replacement);
// The upper-case form used by the case-blind helpers (same byte length as the input).
std::string FoldCase(std::string_view text);

// Converts decimal text with the given decimal separator: optional blanks around, optional sign,
// digits with at most one separator, optional exponent ("1.5E3"). False for anything else.
bool TryTextToFloat(std::string_view text, std::string_view decimalSeparator, double& value);
// True with the value when the text converts with the program's decimal separator (the regional
// settings').
bool IsFloat(std::string_view text, double& value);
bool IsNumeric(std::string_view text);
double StrToFloatDef(std::string_view text, double defaultValue);

struct TqorColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const TqorColor&) const = default;
};
// "#RRGGBB" (hexadecimal pairs, either case) to a colour; black for any other text.
TqorColor HtmlColorToColor(std::string_view text);

// Raised when a file cannot be opened, created, read or written; the message names the file and
// the system's reason.
class EqorFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// Creates or truncates the file and writes the text's bytes. Raises EqorFileError.
void SaveStringToFile(const std::string& fileName, std::string_view text);
// The whole file's bytes. Raises EqorFileError.
std::string LoadStringFromFile(const std::string& fileName);

// A Yes/No question through the installed user prompts; No when none is installed.
bool Confirm(const std::string& message);

// The sound code of a word (first letter's code plus up to three weighted digits).
int Soundex(std::string_view word);

// --- Dates ---

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
