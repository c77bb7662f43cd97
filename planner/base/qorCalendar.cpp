// Calendar rules on day numbers through std::chrono's civil calendar.
#include "planner/base/qorCalendar.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"

// --- Dates ---

namespace {

using namespace std::chrono;

constexpr long long kUnixEpochDay = 25569;  // 1 January 1970
constexpr double kMinDate = -693593;        // 1 January 0001
constexpr double kMaxDate = 2958466;        // 1 January 10000 (exclusive)

}  // namespace

bool IsCalendarDayNumber(double date) {
  return std::isfinite(date) && date >= kMinDate && date < kMaxDate;
}

namespace {

sys_days ToDays(double date) {
  if (!IsCalendarDayNumber(date)) {
    throw EqorDateError(CFormat("Invalid day number %g", date));
  }
  return sys_days{days{static_cast<long long>(std::floor(date)) - kUnixEpochDay}};
}

double FromDays(sys_days d) {
  return static_cast<double>(d.time_since_epoch().count() + kUnixEpochDay);
}

year_month_day Ymd(double date) {
  return year_month_day{ToDays(date)};
}

}  // namespace

bool TryEncodeDate(int y, int m, int d, double& date) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return false;
  year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return false;
  date = FromDays(sys_days{ymd});
  return true;
}

double EncodeDate(int y, int m, int d) {
  double date;
  if (!TryEncodeDate(y, m, d, date)) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "Invalid date %04d-%02d-%02d", y, m, d);
    throw EqorDateError(buf);
  }
  return date;
}

void DecodeDate(double date, int& y, int& m, int& d) {
  year_month_day ymd = Ymd(date);
  y = static_cast<int>(ymd.year());
  m = static_cast<int>(static_cast<unsigned>(ymd.month()));
  d = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

int YearOf(double date) {
  return static_cast<int>(Ymd(date).year());
}
int MonthOf(double date) {
  return static_cast<int>(static_cast<unsigned>(Ymd(date).month()));
}
int DayOf(double date) {
  return static_cast<int>(static_cast<unsigned>(Ymd(date).day()));
}
double StartOfAYear(int y) {
  return EncodeDate(y, 1, 1);
}
bool IsLeapYear(int y) {
  return year{y}.is_leap();
}

int DaysInMonth(int y, int m) {
  if (m < 1 || m > 12) throw EqorDateError("Invalid month " + std::to_string(m));
  return static_cast<int>(static_cast<unsigned>(
      year_month_day_last{year{y}, month_day_last{month{static_cast<unsigned>(m)}}}.day()));
}

int DayOfWeek(double date) {
  return static_cast<int>(weekday{ToDays(date)}.c_encoding()) + 1;
}
int ISODayOfWeek(double date) {
  return static_cast<int>(weekday{ToDays(date)}.iso_encoding());
}
double MondayOf(double date) {
  return std::floor(date) - ISODayOfWeek(date) + 1;
}
double SundayOf(double date) {
  return std::floor(date) - DayOfWeek(date) + 1;
}

double EasterSunday(int y) {
  if (y < 1 || y > 9999) throw EqorDateError("Invalid year " + std::to_string(y));
  int g = y % 19 + 1;
  int c = y / 100 + 1;
  int x = 3 * c / 4 - 12;
  int z = (8 * c + 5) / 25 - 5;
  int d = 5 * y / 4 - x - 10;
  int e = (11 * g + 20 + z - x) % 30;
  if (e < 0) e += 30;
  if ((e == 25 && g > 11) || e == 24) ++e;
  int n = 44 - e;
  if (n < 21) n += 30;
  n = n + 7 - ((d + n) % 7);
  return n > 31 ? EncodeDate(y, 4, n - 31) : EncodeDate(y, 3, n);
}

bool IsNonWorkingDay(double date) {
  const int dow = DayOfWeek(date);
  if (dow == 1 || dow == 7) return true;
  const double day = std::floor(date);
  int y, m, d;
  DecodeDate(day, y, m, d);
  if ((m == 1 && d == 1) || (m == 12 && (d == 25 || d == 26))) return true;
  // Easter Monday falls in March or April, Whit Monday by 14 June at the latest.
  if (m < 3 || m > 6) return false;
  const double easter = EasterSunday(y);
  return day == easter + 1 || day == easter + 39 || day == easter + 50;
}

int WeeksInYear(int y) {
  weekday jan1{sys_days{year{y} / January / 1}};
  if (jan1 == Thursday) return 53;
  if (jan1 == Wednesday && year{y}.is_leap()) return 53;
  return 52;
}

TqorISOWeek ISOWeekNumber(double date) {
  const double d = std::floor(date);
  const int y = YearOf(d);
  const double j = FromDays(sys_days{year{y} / January / 4});
  const double mj = MondayOf(j);
  TqorISOWeek result{0, y};
  if (ISODayOfWeek(j) > 4) {
    if (d < mj + 7)
      result.Week = 1;
    else
      result.Week = 2 + static_cast<int>(MondayOf(d) - (mj + 7)) / 7;
  } else if (d < mj) {
    result.Year = y - 1;
    result.Week = WeeksInYear(y - 1);
  } else {
    result.Week = 1 + static_cast<int>(MondayOf(d) - mj) / 7;
  }
  if (result.Year == y && result.Week > WeeksInYear(y)) result = {1, y + 1};
  return result;
}

int WeekNumber(double date) {
  const double d = std::floor(date);
  const double jan1 = StartOfAYear(YearOf(d));
  int ahead = (8 - DayOfWeek(jan1)) % 7;
  const double firstSunday = jan1 + (ahead == 0 ? 7 : ahead);
  if (d < firstSunday) return 1;
  return 2 + static_cast<int>(SundayOf(d) - firstSunday) / 7;
}

double DateFromISOText(std::string_view text) {
  if (text.size() < 10) return 0;
  auto number = [&](size_t from, size_t len, int& out) {
    out = 0;
    for (size_t k = from; k < from + len; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
      out = out * 10 + (text[k] - '0');
    }
    return true;
  };
  int y, m, d;
  double date;
  if (!number(0, 4, y) || !number(5, 2, m) || !number(8, 2, d)) return 0;
  return TryEncodeDate(y, m, d, date) ? date : 0;
}

int DaysBetween(double a, double b) {
  ToDays(a);  // range checks
  ToDays(b);
  return static_cast<int>(std::trunc(a)) - static_cast<int>(std::trunc(b));
}

double IncMonth(double date, int months) {
  year_month_day ymd = Ymd(date);
  year_month_day moved = ymd + std::chrono::months{months};
  if (!moved.ok())
    moved = year_month_day{year_month_day_last{moved.year(), month_day_last{moved.month()}}};
  double result = FromDays(sys_days{moved}) + (date - std::floor(date));
  ToDays(result);
  return result;
}

double SystemToday() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// --- Formatting and reading dates ---

namespace {

void AppendNumber(std::string& out, int v, int width) {
  char buf[16];
  int len = std::snprintf(buf, sizeof buf, "%0*d", width, v);
  out.append(buf, static_cast<size_t>(len));
}

size_t RunLength(std::string_view s, size_t i, char c) {
  size_t n = 0;
  while (i + n < s.size() && s[i + n] == c) ++n;
  return n;
}

bool StartsWithNoCase(std::string_view s, size_t i, std::string_view what) {
  if (s.size() - i < what.size()) return false;
  for (size_t k = 0; k < what.size(); ++k) {
    char a = s[i + k], b = what[k];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, double date) {
  const TqorRegionalSettings& rs = RegionalSettings();
  sys_days days = ToDays(date);
  year_month_day ymd{days};
  const int y = static_cast<int>(ymd.year());
  const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
  const int d = static_cast<int>(static_cast<unsigned>(ymd.day()));
  long secs = std::lround((date - std::floor(date)) * 86400.0);
  if (secs > 86399) secs = 86399;
  const int hh = static_cast<int>(secs / 3600), nn = static_cast<int>(secs / 60 % 60),
            ss = static_cast<int>(secs % 60);
  const bool twelve = PosText("AM/PM", pattern) != 0;
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = pattern[i];
    if (c == '"') {
      size_t end = pattern.find('"', i + 1);
      if (end == std::string_view::npos) end = pattern.size();
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (StartsWithNoCase(pattern, i, "AM/PM")) {
      out += hh < 12 ? "AM" : "PM";
      i += 5;
      continue;
    }
    size_t run = RunLength(pattern, i, c);
    switch (c) {
      case 'd':
      case 'D':
        if (run >= 3)
          out += rs.ShortDayNames[weekday{days}.c_encoding()];
        else
          AppendNumber(out, d, static_cast<int>(run));
        break;
      case 'M':
        if (run >= 3)
          out += rs.ShortMonthNames[m - 1];
        else
          AppendNumber(out, m, static_cast<int>(run));
        break;
      case 'y':
      case 'Y':
        if (run <= 2)
          AppendNumber(out, y % 100, 2);
        else
          AppendNumber(out, y, 4);
        break;
      case 'h':
      case 'H': {
        int h = hh;
        if (twelve) h = hh % 12 == 0 ? 12 : hh % 12;
        AppendNumber(out, h, run >= 2 ? 2 : 1);
        break;
      }
      case 'n':
      case 'N':
      case 'm':
        AppendNumber(out, nn, run >= 2 ? 2 : 1);
        break;
      case 's':
      case 'S':
        AppendNumber(out, ss, run >= 2 ? 2 : 1);
        break;
      default:
        out.append(pattern.substr(i, run));
        break;
    }
    i += run;
  }
  return out;
}

bool TryTextToDate(std::string_view text, double& date) {
  const std::string& fmt = RegionalSettings().ShortDateFormat;
  // The order of day, month and year in the pattern.
  std::string order;
  for (size_t i = 0; i < fmt.size(); ++i) {
    char c = fmt[i];
    if (c == '"') {
      size_t end = fmt.find('"', i + 1);
      if (end == std::string::npos) break;
      i = end;
      continue;
    }
    char k = c == 'D' ? 'd' : c == 'Y' ? 'y' : c;
    if ((k == 'd' || k == 'M' || k == 'y') && order.find(k) == std::string::npos) order += k;
  }
  if (order.size() != 3) return false;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  auto readNumber = [&](int& v, size_t& len) {
    v = 0;
    len = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && len < 5) {
      v = v * 10 + (text[i++] - '0');
      ++len;
    }
    return len > 0;
  };
  skipBlanks();
  int parts[3];
  size_t lens[3];
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      size_t sepStart = i;
      while (i < text.size() && !(text[i] >= '0' && text[i] <= '9') && text[i] != ' ') ++i;
      skipBlanks();
      if (i == sepStart) return false;
    }
    if (!readNumber(parts[k], lens[k])) return false;
  }
  int y = 0, m = 0, d = 0;
  for (int k = 0; k < 3; ++k) {
    if (order[k] == 'y') {
      y = parts[k];
      if (lens[k] <= 2) y += y < 50 ? 2000 : 1900;
    } else if (order[k] == 'M') {
      m = parts[k];
    } else {
      d = parts[k];
    }
  }
  // A separator may follow the year ("2005." in some formats).
  while (i < text.size() && text[i] == '.') ++i;
  double result;
  if (!TryEncodeDate(y, m, d, result)) return false;
  skipBlanks();
  if (i < text.size()) {
    int h, n, s = 0;
    size_t len;
    if (!readNumber(h, len) || i >= text.size() || text[i] != ':') return false;
    ++i;
    if (!readNumber(n, len)) return false;
    if (i < text.size() && text[i] == ':') {
      ++i;
      if (!readNumber(s, len)) return false;
    }
    skipBlanks();
    if (StartsWithNoCase(text, i, "AM") || StartsWithNoCase(text, i, "PM")) {
      bool pm = StartsWithNoCase(text, i, "PM");
      if (h < 1 || h > 12) return false;
      h = h % 12 + (pm ? 12 : 0);
      i += 2;
      skipBlanks();
    }
    if (i != text.size() || h > 23 || n > 59 || s > 59) return false;
    result += (h * 3600 + n * 60 + s) / 86400.0;
  }
  date = result;
  return true;
}
