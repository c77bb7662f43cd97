// Property lists of the report styles, as written in a style class or passed to a writer:
//
//   name:value; name:value ...     entries separated by ";", name and value at the first ":"
//
// Every entry is trimmed, split at its first ":", and its name and value are trimmed and
// lower-cased (ASCII letters). An entry without ":" is ignored. Numeric values are whole
// numbers ("-12", "+7", "40"); anything else counts as a fallback value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TqorStyleProperty {
  std::string Name;
  std::string Value;
  bool operator==(const TqorStyleProperty&) const = default;
};

// The entries of a property list in the order written (entries with an empty name included:
// callers that key on the name skip them).
std::vector<TqorStyleProperty> ParseStyleProperties(std::string_view list);

// The value as a whole number: optional blanks around, an optional sign and decimal digits only,
// within the 32-bit range; fallback for anything else (fractions, units, empty text).
int32_t StyleWholeNumber(std::string_view value, int32_t fallback = 0);
