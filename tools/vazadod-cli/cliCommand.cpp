#include "tools/vazadod-cli/cliCommand.h"

#include <charconv>

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

TCliArgs ParseCliArgs(const std::vector<std::string>& args,
                      const std::vector<std::string>& optionNames) {
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
    bool known = false;
    for (const std::string& n : optionNames) known = known || n == name;
    if (!known) throw ECliUsage("unknown option '" + a + "'");
    if (!hasValue) {
      if (i + 1 >= args.size()) throw ECliUsage("option '--" + name + "' needs a value");
      value = args[++i];
    }
    if (!result.Options.emplace(name, value).second) {
      throw ECliUsage("option '--" + name + "' is given twice");
    }
  }
  return result;
}
