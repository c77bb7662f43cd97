#include "report/qorStyleProperties.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

std::string TrimmedLower(std::string_view s) {
  std::string out(Trim(s));
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::vector<TqorStyleProperty> ParseStyleProperties(std::string_view list) {
  std::vector<TqorStyleProperty> out;
  while (!list.empty()) {
    const size_t semi = list.find(';');
    std::string_view entry = Trim(list.substr(0, semi));
    list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
    const size_t colon = entry.find(':');
    if (colon == std::string_view::npos) continue;
    out.push_back({TrimmedLower(entry.substr(0, colon)), TrimmedLower(entry.substr(colon + 1))});
  }
  return out;
}

int32_t StyleWholeNumber(std::string_view value, int32_t fallback) {
  value = Trim(value);
  bool negative = false;
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty()) return fallback;
  int64_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return fallback;
    n = n * 10 + (c - '0');
    if (n > int64_t{INT32_MAX} + 1) return fallback;
  }
  if (negative) n = -n;
  if (n > INT32_MAX || n < INT32_MIN) return fallback;
  return static_cast<int32_t>(n);
}
