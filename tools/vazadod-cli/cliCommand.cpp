#include "tools/vazadod-cli/cliCommand.h"

#include <charconv>

#include "planner/base/qorCalendar.h"

int64_t TCliArgs::WholeNumber(const std::string& name, int64_t min, int64_t max, bool required,
                              int64_t def) const {
  auto it = Options.find(name);
  if (it == Options.end()) {
    if (required) throw ECliUsage("option '--" + name + "' is needed");
    return def;
  }
  const std::string& text = it->second;
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    throw ECliUsage("'--" + name + "' takes a whole number from " + std::to_string(min) + " to " +
                    std::to_string(max) + ", not '" + text + "'");
  }
  return value;
}

int32_t TCliArgs::DayNumber(const std::string& name) const {
  const auto it = Options.find(name);
  if (it == Options.end()) throw ECliUsage("option '--" + name + "' is needed");
  const std::string& text = it->second;
  const auto digits = [&](size_t first, size_t count) {
    int value = 0;
    for (size_t i = first; i < first + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  double day = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || digits(0, 4) < 1 ||
      digits(5, 2) < 0 || digits(8, 2) < 0 ||
      !TryEncodeDate(digits(0, 4), digits(5, 2), digits(8, 2), day))
    throw ECliUsage("'--" + name + "' takes a date as YYYY-MM-DD, not '" + text + "'");
  return static_cast<int32_t>(day);
}

TCliArgs ParseCliArgs(const std::vector<std::string>& args,
                      const std::vector<std::string>& optionNames,
                      const std::vector<std::string>& flagNames) {
  TCliArgs result;
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.size() < 2 || a[0] != '-') {
      result.Positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options = false;
      continue;
    }
    std::string name = a.rfind("--", 0) == 0 ? a.substr(2) : std::string();
    std::string value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasValue = true;
    }
    bool known = false, flag = false;
    for (const std::string& n : optionNames) known = known || n == name;
    for (const std::string& n : flagNames) flag = flag || n == name;
    if (flag) {
      if (hasValue) throw ECliUsage("option '--" + name + "' takes no value");
    } else if (!known) {
      throw ECliUsage("unknown option '" + a + "'");
    } else if (!hasValue) {
      if (i + 1 >= args.size()) throw ECliUsage("option '--" + name + "' needs a value");
      value = args[++i];
    }
    if (!result.Options.emplace(name, value).second) {
      throw ECliUsage("option '--" + name + "' is given twice");
    }
  }
  return result;
}
