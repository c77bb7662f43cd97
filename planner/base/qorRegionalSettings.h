// The user's regional settings as the program uses them: decimal separator, short date format,
// long time format and abbreviated day and month names. One process-wide copy, read from the
// user's locale on first use; the program sets the decimal separator to "." at start and tests
// set everything explicitly (TqorRegionalSettingsGuard restores the previous values).
//
// Date patterns: "yyyy" four-digit year, "yy" two-digit year, "MMMM"/"MMM" abbreviated month
// name, "MM" two-digit month, "M" month, "dddd"/"ddd" abbreviated day name, "dd" two-digit day,
// "d" day. Time patterns: "hh"/"h" hour (0-23, or 1-12 when the pattern holds "AM/PM"), "nn"/"n"
// minutes, "ss"/"s" seconds, "AM/PM" the half-day marker. Other characters are copied;
// text in double quotes is copied without the quotes.
#pragma once

#include <array>
#include <string>

struct TqorRegionalSettings {
  std::string DecimalSeparator = ".";
  std::string ShortDateFormat = "dd/MM/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

  // The settings of a locale ("" is the user's locale from the environment). Falls back to the
  // "C" locale when the name is unknown. Texts come back as UTF-8. Never changes the global
  // locale of the process.
  static TqorRegionalSettings FromLocale(const char* localeName = "");
};

// The process-wide settings; the first call reads them from the user's locale.
TqorRegionalSettings& RegionalSettings();

// Restores the process-wide settings it saw at construction when it goes out of scope.
class TqorRegionalSettingsGuard {
 public:
  TqorRegionalSettingsGuard() : saved_(RegionalSettings()) {}
  ~TqorRegionalSettingsGuard() { RegionalSettings() = saved_; }
  TqorRegionalSettingsGuard(const TqorRegionalSettingsGuard&) = delete;
  TqorRegionalSettingsGuard& operator=(const TqorRegionalSettingsGuard&) = delete;

 private:
  TqorRegionalSettings saved_;
};

// Converts a date pattern of the C library (strftime, as the locale's D_FMT) into the pattern
// language above; unknown conversions are dropped.
std::string DatePatternFromStrftime(const std::string& fmt);
// The same for a time pattern (the locale's T_FMT).
std::string TimePatternFromStrftime(const std::string& fmt);
