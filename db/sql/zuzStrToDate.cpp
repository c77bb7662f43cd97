#include "db/sql/zuzStrToDate.h"

#include <string>
#include <vector>

#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

constexpr const char* kCaller = "TExprOptimizerMgr.ConvertStrToDateTime";
constexpr int kCenturyWindow = 50;

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
// Letters: ASCII letters and every byte of a multi-byte character (month names may hold them).
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}

struct TRun {
  std::string_view Text;
  size_t End = 0;  // byte position after the run
};

std::vector<TRun> Runs(std::string_view text) {
  std::vector<TRun> runs;
  size_t i = 0;
  while (i < text.size()) {
    if (!IsLetter(text[i]) && !IsAsciiDigit(text[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && (IsLetter(text[i]) || IsAsciiDigit(text[i]))) ++i;
    runs.push_back(TRun{text.substr(start, i - start), i});
  }
  return runs;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

int Digits(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// "DMY", "MDY", "YMD", ... from the short date format.
std::string DateOrder(const std::string& pattern) {
  std::string order;
  for (char c : pattern) {
    char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  for (char u : std::string("DMY")) {
    if (order.find(u) == std::string::npos) order += u;
  }
  return order;
}

bool ReadDate(const std::vector<TRun>& runs, const std::string& order,
              const TqorRegionalSettings& settings, int currentYear, double& value) {
  std::string_view day, month, year;
  bool haveYear = runs.size() >= 3;
  size_t next = 0;
  for (char part : order) {
    if (part == 'Y' && !haveYear) continue;
    std::string_view text = runs[next++].Text;
    if (part == 'D') day = text;
    if (part == 'M') month = text;
    if (part == 'Y') year = text;
  }
  if (day.size() > 2 || !AllDigits(day)) return false;
  int d = Digits(day);
  int m = 0;
  if (month.size() <= 2) {
    if (!AllDigits(month)) return false;
    m = Digits(month);
  } else {
    for (size_t k = 0; k < settings.ShortMonthNames.size(); ++k) {
      if (SameTextIgnoringCase(settings.ShortMonthNames[k], month)) m = static_cast<int>(k) + 1;
    }
  }
  int y = currentYear;
  if (haveYear) {
    if (year.size() > 4 || !AllDigits(year)) return false;
    y = Digits(year);
    if (year.size() <= 2) {
      int base = currentYear - kCenturyWindow;
      y += base / 100 * 100;
      if (y < base) y += 100;
    }
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  return TryEncodeDate(y, m, d, value);
}

bool ReadTime(std::string_view text, bool required, double& fraction) {
  int numbers[4] = {0, 0, 0, 0};
  int count = 0;
  int half = 0;  // 1 AM, 2 PM
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (IsAsciiDigit(c)) {
      size_t start = i;
      while (i < text.size() && IsAsciiDigit(text[i])) ++i;
      if (count == 4 || i - start > 4) return false;
      numbers[count++] = Digits(text.substr(start, i - start));
    } else if (IsLetter(c)) {
      size_t start = i;
      while (i < text.size() && IsLetter(text[i])) ++i;
      std::string_view word = text.substr(start, i - start);
      if (half != 0) return false;
      if (SameTextIgnoringCase(word, "AM")) {
        half = 1;
      } else if (SameTextIgnoringCase(word, "PM")) {
        half = 2;
      } else {
        return false;
      }
    } else {
      ++i;
    }
  }
  if (count == 0) {
    fraction = 0;
    return !required && half == 0;
  }
  int h = numbers[0], n = numbers[1], s = numbers[2], ms = numbers[3];
  if (half == 2 && h < 12) h += 12;
  if (half == 1 && h == 12) h = 0;
  if (h > 23 || n > 59 || s > 59 || ms > 999) return false;
  fraction = (((h * 60.0 + n) * 60.0 + s) * 1000.0 + ms) / 86400000.0;
  return true;
}

}  // namespace

bool TryStrToDateTime(std::string_view text, TFieldType target,
                      const TqorRegionalSettings& settings, int currentYear, double& value,
                      bool& timeFailed) {
  timeFailed = false;
  if (target == TFieldType::ftTime) {
    double fraction = 0;
    if (!ReadTime(text, true, fraction)) {
      timeFailed = true;
      return false;
    }
    value = fraction;
    return true;
  }
  std::vector<TRun> runs = Runs(text);
  if (runs.size() < 2) return false;
  size_t used = runs.size() >= 3 ? 3 : 2;
  std::vector<TRun> dateRuns(runs.begin(), runs.begin() + static_cast<long>(used));
  double date = 0;
  if (!ReadDate(dateRuns, DateOrder(settings.ShortDateFormat), settings, currentYear, date) &&
      !ReadDate(dateRuns, "YMD", settings, currentYear, date)) {
    return false;
  }
  value = date;
  if (target == TFieldType::ftDate) return true;
  double fraction = 0;
  if (!ReadTime(text.substr(dateRuns.back().End), false, fraction)) {
    timeFailed = true;
    return false;
  }
  value = date + fraction;
  return true;
}

double ConvertStrToDateTime(std::string_view text, TFieldType target,
                            const TqorRegionalSettings& settings, int currentYear) {
  double value = 0;
  bool timeFailed = false;
  if (TryStrToDateTime(text, target, settings, currentYear, value, timeFailed)) return value;
  std::string message = "Value " + std::string(text) + " was not of the expected format ";
  if (timeFailed) ZuzDatabaseError(ZUZ_ERR_TIME_VALUE, kCaller, message + settings.LongTimeFormat);
  ZuzDatabaseError(ZUZ_ERR_DATE_VALUE, kCaller, message + "yyyy-mmm-dd");
}

double ConvertStrToDateTime(std::string_view text, TFieldType target) {
  return ConvertStrToDateTime(text, target, RegionalSettings(), YearOf(SystemToday()));
}

}  // namespace zuz
