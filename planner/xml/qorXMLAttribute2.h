// One attribute of an XML element: a name and a variant value.
#pragma once

#include <string>

#include "planner/base/qorVariant.h"

class TqorXMLAttribute2 {
 public:
  TqorXMLAttribute2() = default;
  TqorXMLAttribute2(std::string name, TqorVariant value)
      : Name(std::move(name)), Value(std::move(value)) {}

  std::string Name;
  TqorVariant Value;
};
