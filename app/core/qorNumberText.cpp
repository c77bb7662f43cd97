#include "app/core/qorNumberText.h"

#include <cmath>

#include "planner/base/qorStrings.h"
#include "planner/base/qorVariant.h"

std::string FormatNumber(double value) {
  return RealToText(value, ".");
}

bool ParseNumber(std::string_view text, double& value) {
  double parsed = 0;
  if (!TryTextToFloat(text, ".", parsed) || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}
