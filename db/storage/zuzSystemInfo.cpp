#include "db/storage/zuzSystemInfo.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <vector>

#include "db/storage/zuzCoding.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

std::string OperatingSystemText() {
  struct utsname u {};
  if (uname(&u) != 0) return "unknown";
  int major = 0, minor = 0, patch = 0;
  if (std::sscanf(u.release, "%d.%d.%d", &major, &minor, &patch) < 1) return "unknown";
  char buf[160];
  std::snprintf(buf, sizeof buf, "XX:  %d.%d.%d.%d %s", 0, major, minor, patch, u.release);
  return buf;
}

std::string LoginUserName() {
  struct passwd* pw = getpwuid(geteuid());
  return pw && pw->pw_name ? pw->pw_name : "";
}

std::string ComputerName() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return "";
  return buf;
}

double NowDayNumber() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  // 25569 is the day number of 1 January 1970.
  double localSeconds = static_cast<double>(t) + static_cast<double>(tm.tm_gmtoff);
  return 25569.0 + localSeconds / 86400.0;
}

namespace {

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  return DecodeUtf8At(text, i).value_or(0xFFFD);
}

}  // namespace

void PutUtf16Slot(uint8_t* slot, std::size_t slotBytes, std::string_view utf8) {
  std::fill(slot, slot + slotBytes, 0);
  const std::size_t maxUnits = slotBytes / 2 == 0 ? 0 : slotBytes / 2 - 1;
  std::vector<uint16_t> units;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    if (cp == 0) break;
    if (cp >= 0x10000) {
      if (units.size() + 2 > maxUnits) break;
      cp -= 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 | (cp >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      if (units.size() + 1 > maxUnits) break;
      units.push_back(static_cast<uint16_t>(cp));
    }
  }
  for (std::size_t k = 0; k < units.size(); ++k) PutU16(slot + 2 * k, units[k]);
}

std::string GetUtf16Slot(const uint8_t* slot, std::size_t slotBytes) {
  std::string out;
  const std::size_t n = slotBytes / 2;
  for (std::size_t k = 0; k < n; ++k) {
    char32_t u = GetU16(slot + 2 * k);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
      char32_t low = GetU16(slot + 2 * (k + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++k;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

std::string LockFileNameFor(const std::string& databasePath) {
  std::size_t slash = databasePath.find_last_of('/');
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (FoldCase(databasePath).find(".ZUZ") != std::string::npos) {
    std::size_t dot = databasePath.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return databasePath + ".lck";
    return databasePath.substr(0, dot) + ".lck";
  }
  std::string name = databasePath.substr(nameStart);
  std::replace(name.begin(), name.end(), '.', '_');
  return databasePath.substr(0, nameStart) + name + ".lck";
}

}  // namespace zuz
