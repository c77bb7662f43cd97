// Reads the locale's texts through nl_langinfo_l; they arrive in the locale's code set and are
// turned into UTF-8 (ISO-8859-1 bytes are widened; other non-UTF-8 bytes are taken as Latin-1).
#include "planner/base/qorRegionalSettings.h"

#include <langinfo.h>
#include <locale.h>

#include "planner/base/qorEncoding.h"
#include "planner/base/qorUtf8.h"

namespace {

std::string LocaleText(locale_t loc, nl_item item) {
  const char* s = nl_langinfo_l(item, loc);
  std::string text = s ? s : "";
  if (!IsValidUtf8(text)) text = Latin1ToUtf8(text);
  return text;
}

std::string FromStrftime(const std::string& fmt, bool time) {
  std::string out;
  bool twelveHour = false;
  for (size_t i = 0; i < fmt.size(); ++i) {
    char c = fmt[i];
    if (c != '%') {
      if (c == '"') {
        continue;  // a literal quote cannot be expressed; dropped
      } else if (std::string_view("dMyhHnsmAaPp").find(c) != std::string_view::npos) {
        out += '"';
        out += c;
        out += '"';
      } else {
        out += c;
      }
      continue;
    }
    if (++i >= fmt.size()) break;
    char k = fmt[i];
    while ((k == 'E' || k == 'O' || k == '-' || k == '_' || k == '0' || k == '^' || k == '#') &&
           i + 1 < fmt.size())
      k = fmt[++i];
    switch (k) {
      case 'd':
        out += "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += "MM";
        break;
      case 'y':
        out += "yy";
        break;
      case 'Y':
      case 'G':
        out += "yyyy";
        break;
      case 'b':
      case 'h':
      case 'B':
        out += "MMM";
        break;
      case 'a':
      case 'A':
        out += "ddd";
        break;
      case 'D':
        out += "MM/dd/yy";
        break;
      case 'F':
        out += "yyyy-MM-dd";
        break;
      case 'H':
        out += "hh";
        break;
      case 'k':
        out += "h";
        break;
      case 'I':
        out += "hh";
        twelveHour = true;
        break;
      case 'l':
        out += "h";
        twelveHour = true;
        break;
      case 'M':
        out += "nn";
        break;
      case 'S':
        out += "ss";
        break;
      case 'p':
      case 'P':
        out += "AM/PM";
        twelveHour = false;
        break;
      case 'T':
        out += "hh:nn:ss";
        break;
      case 'R':
        out += "hh:nn";
        break;
      case 'r':
        out += "hh:nn:ss AM/PM";
        break;
      case 'n':
        out += ' ';
        break;
      case 't':
        out += ' ';
        break;
      case '%':
        out += '%';
        break;
      default:
        break;
    }
  }
  if (time && twelveHour && out.find("AM/PM") == std::string::npos) out += " AM/PM";
  // Drop separators left dangling by dropped conversions.
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

std::string DatePatternFromStrftime(const std::string& fmt) {
  return FromStrftime(fmt, false);
}
std::string TimePatternFromStrftime(const std::string& fmt) {
  return FromStrftime(fmt, true);
}

TqorRegionalSettings TqorRegionalSettings::FromLocale(const char* localeName) {
  TqorRegionalSettings rs;
  locale_t loc = newlocale(LC_ALL_MASK, localeName ? localeName : "", static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (!loc) return rs;
  std::string sep = LocaleText(loc, RADIXCHAR);
  if (!sep.empty()) rs.DecimalSeparator = sep;
  std::string date = DatePatternFromStrftime(LocaleText(loc, D_FMT));
  if (!date.empty()) rs.ShortDateFormat = date;
  std::string time = TimePatternFromStrftime(LocaleText(loc, T_FMT));
  if (!time.empty()) rs.LongTimeFormat = time;
  static const nl_item days[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
  static const nl_item months[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                     ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  for (int i = 0; i < 7; ++i) {
    std::string n = LocaleText(loc, days[i]);
    if (!n.empty()) rs.ShortDayNames[i] = n;
  }
  for (int i = 0; i < 12; ++i) {
    std::string n = LocaleText(loc, months[i]);
    if (!n.empty()) rs.ShortMonthNames[i] = n;
  }
  freelocale(loc);
  return rs;
}

TqorRegionalSettings& RegionalSettings() {
  static TqorRegionalSettings settings = TqorRegionalSettings::FromLocale("");
  return settings;
}
