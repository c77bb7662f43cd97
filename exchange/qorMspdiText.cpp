#include "exchange/qorMspdiText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorUtf8.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// n digits at s[at], as a number; false when they are not all digits.
bool Digits(std::string_view s, size_t at, size_t n, int& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!IsDigit(s[i])) return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

// Whether XML 1.0 can hold the character.
bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// "hh:mm" with optional ":ss" and fraction at s[at]; moves at behind it.
bool ReadTime(std::string_view s, size_t& at, int32_t& minutes) {
  int h, m, sec = 0;
  if (!Digits(s, at, 2, h) || at + 2 >= s.size() || s[at + 2] != ':' || !Digits(s, at + 3, 2, m))
    return false;
  at += 5;
  if (at < s.size() && s[at] == ':') {
    if (!Digits(s, at + 1, 2, sec)) return false;
    at += 3;
    if (at < s.size() && s[at] == '.') {
      ++at;
      const size_t from = at;
      while (at < s.size() && IsDigit(s[at])) ++at;
      if (at == from) return false;
    }
  }
  if (h > 24 || m > 59 || sec > 60 || (h == 24 && (m != 0 || sec != 0))) return false;
  minutes = h * 60 + m;
  return true;
}

}  // namespace

std::string MspdiDateTime(int32_t day, int32_t minutes) {
  int y, m, d;
  DecodeDate(day, y, m, d);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00", y, m, d, minutes / 60,
                minutes % 60);
  return text;
}

bool TryParseMspdiDateTime(std::string_view text, int32_t& day, int32_t& minutes) {
  const std::string_view s = Trim(text);
  int y, m, d;
  if (!Digits(s, 0, 4, y) || s.size() < 10 || s[4] != '-' || !Digits(s, 5, 2, m) || s[7] != '-' ||
      !Digits(s, 8, 2, d))
    return false;
  double date;
  if (!TryEncodeDate(y, m, d, date)) return false;
  size_t at = 10;
  int32_t time = 0;
  if (at < s.size()) {
    if (s[at] != 'T') return false;
    ++at;
    if (!ReadTime(s, at, time)) return false;
    if (at < s.size() && s[at] == 'Z') {
      ++at;
    } else if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
      int zh, zm;
      if (!Digits(s, at + 1, 2, zh) || at + 3 >= s.size() || s[at + 3] != ':' ||
          !Digits(s, at + 4, 2, zm) || zh > 14 || zm > 59)
        return false;
      at += 6;
    }
    if (at != s.size()) return false;
  }
  day = static_cast<int32_t>(date);
  minutes = time;
  return true;
}

std::string MspdiTime(int32_t minutes) {
  // REQUIRES: 0 <= minutes < 1440, so that both fields have two digits.
  const auto twoDigits = [](int32_t n) {
    return std::string{char('0' + n / 10), char('0' + n % 10)};
  };
  return twoDigits(minutes / 60) + ":" + twoDigits(minutes % 60) + ":00";
}

bool TryParseMspdiTime(std::string_view text, int32_t& minutes) {
  const std::string_view s = Trim(text);
  size_t at = 0;
  return ReadTime(s, at, minutes) && at == s.size();
}

std::string MspdiDuration(int64_t minutes) {
  return "PT" + std::to_string(minutes / 60) + "H" + std::to_string(minutes % 60) + "M0S";
}

std::string MspdiDecimal(double value, int shift) {
  if (!std::isfinite(value) || value == 0) return "0";
  // "-d.ddde+xx": the shortest digits that read back as the value.
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string_view s(buf, static_cast<size_t>(written.ptr - buf));
  const size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e))
    if (IsDigit(c)) digits += c;
  int exponent = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exponent);
  // The number is 0.digits * 10^point.
  const long point = 1L + exponent + shift;
  const long n = static_cast<long>(digits.size());
  std::string out = value < 0 ? "-" : "";
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += digits;
  } else if (point >= n) {
    out += digits;
    out.append(static_cast<size_t>(point - n), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(point));
    out += '.';
    out.append(digits, static_cast<size_t>(point), std::string::npos);
  }
  return out;
}

bool TryParseMspdiDecimal(std::string_view text, int shift, double& value) {
  std::string_view s = Trim(text);
  std::string mantissa;
  size_t at = 0;
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
    if (s[at] == '-') mantissa += '-';
    ++at;
  }
  size_t digits = 0;
  while (at < s.size() && IsDigit(s[at])) mantissa += s[at++], ++digits;
  if (at < s.size() && s[at] == '.') {
    mantissa += s[at++];
    while (at < s.size() && IsDigit(s[at])) mantissa += s[at++], ++digits;
  }
  if (digits == 0) return false;
  long exponent = 0;
  if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
    ++at;
    bool negative = false;
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) negative = s[at++] == '-';
    const size_t from = at;
    while (at < s.size() && IsDigit(s[at])) {
      if (exponent < 100000) exponent = exponent * 10 + (s[at] - '0');
      ++at;
    }
    if (at == from) return false;
    if (negative) exponent = -exponent;
  }
  if (at != s.size()) return false;
  mantissa += 'e';
  mantissa += std::to_string(exponent + shift);
  double result = 0;
  const auto read = std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), result);
  if (read.ec != std::errc() || read.ptr != mantissa.data() + mantissa.size() ||
      !std::isfinite(result))
    return false;
  value = result;
  return true;
}

bool TryParseMspdiInteger(std::string_view text, int64_t& value) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int64_t result = 0;
  const auto read = std::from_chars(s.data(), s.data() + s.size(), result);
  if (s.empty() || read.ec != std::errc() || read.ptr != s.data() + s.size()) return false;
  value = result;
  return true;
}

bool TryParseMspdiFlag(std::string_view text, bool& value) {
  const std::string_view s = Trim(text);
  if (s == "1" || s == "true") {
    value = true;
    return true;
  }
  if (s == "0" || s == "false") {
    value = false;
    return true;
  }
  return false;
}

void AppendMspdiText(std::string& out, std::string_view text, size_t& dropped) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const bool edge = i < first || i >= last;
    switch (c) {
      case '&':
        out += "&amp;";
        ++i;
        continue;
      case '<':
        out += "&lt;";
        ++i;
        continue;
      case '>':
        out += "&gt;";
        ++i;
        continue;
      case '\r':
        out += "&#13;";
        ++i;
        continue;
      case ' ':
      case '\t':
      case '\n':
        if (edge) {
          out += c == ' ' ? "&#32;" : c == '\t' ? "&#9;" : "&#10;";
        } else {
          out += c;
        }
        ++i;
        continue;
      default:
        break;
    }
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x80) {
      out += c;
      ++i;
      continue;
    }
    const size_t from = i;
    const std::optional<char32_t> cp = DecodeUtf8At(text, i);
    if (!cp) {
      AppendUtf8(out, byte);
    } else if (IsXmlChar(*cp)) {
      out.append(text.substr(from, i - from));
    } else {
      ++dropped;
    }
  }
}

std::string DecodeMspdiText(std::string_view raw) {
  if (raw.find_first_of("&\r") == std::string_view::npos) return std::string(raw);
  static constexpr struct {
    std::string_view ref;
    char ch;
  } kNamed[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size();) {
    const char c = raw[i];
    if (c == '\r') {
      out += '\n';
      i += (i + 1 < raw.size() && raw[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c != '&') {
      out += c;
      ++i;
      continue;
    }
    bool named = false;
    for (const auto& n : kNamed) {
      if (raw.substr(i, n.ref.size()) == n.ref) {
        out += n.ch;
        i += n.ref.size();
        named = true;
        break;
      }
    }
    if (named) continue;
    if (raw.substr(i, 2) == "&#") {
      size_t j = i + 2;
      const bool hex = j < raw.size() && raw[j] == 'x';
      if (hex) ++j;
      char32_t cp = 0;
      size_t digits = 0;
      for (; j < raw.size() && digits < 8; ++j, ++digits) {
        const char d = raw[j];
        int v;
        if (IsDigit(d))
          v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
          v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
          v = d - 'A' + 10;
        else
          break;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(v);
      }
      if (digits > 0 && j < raw.size() && raw[j] == ';' && IsXmlChar(cp)) {
        AppendUtf8(out, cp);
        i = j + 1;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}
