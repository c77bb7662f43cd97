#include "planner/base/qorVariant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"

TqorVariant TqorVariant::FromDate(double dayNumber) {
  TqorVariant v;
  v.kind_ = TqorVarKind::Date;
  v.real_ = dayNumber;
  return v;
}

TqorVariant TqorVariant::Null() {
  TqorVariant v;
  v.kind_ = TqorVarKind::Null;
  return v;
}

const char* VarKindName(TqorVarKind kind) {
  switch (kind) {
    case TqorVarKind::Text:
      return "String";
    case TqorVarKind::Integer:
      return "Integer";
    case TqorVarKind::Real:
      return "Double";
    case TqorVarKind::Boolean:
      return "Boolean";
    case TqorVarKind::Date:
      return "Date";
    case TqorVarKind::Null:
      return "Null";
  }
  return "Unknown";
}

std::string RealToText(double value, std::string_view decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // also for -0
  std::string s = CFormat("%.15G", value);
  // "%G" writes two-digit exponents at least ("1E+20"); keep them as written.
  size_t dot = s.find('.');
  if (dot != std::string::npos) s.replace(dot, 1, decimalSeparator);
  return s;
}

std::string TqorVariant::ToText() const {
  switch (kind_) {
    case TqorVarKind::Text:
      return text_;
    case TqorVarKind::Integer:
      return std::to_string(int_);
    case TqorVarKind::Real:
      return RealToText(real_, RegionalSettings().DecimalSeparator);
    case TqorVarKind::Boolean:
      return bool_ ? "-1" : "0";
    case TqorVarKind::Null:
      return "";
    case TqorVarKind::Date: {
      const TqorRegionalSettings& rs = RegionalSettings();
      std::string s = FormatDateTime(rs.ShortDateFormat, real_);
      if (std::lround((real_ - std::floor(real_)) * 86400.0) % 86400 != 0) {
        s += ' ';
        s += FormatDateTime(rs.LongTimeFormat, real_);
      }
      return s;
    }
  }
  return "";
}

namespace {

bool RealToInt(double v, int32_t& out) {
  if (!std::isfinite(v)) return false;
  double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    return false;
  out = static_cast<int32_t>(r);
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool TqorVariant::TryToReal(double& value) const {
  switch (kind_) {
    case TqorVarKind::Text:
      return TryTextToFloat(text_, RegionalSettings().DecimalSeparator, value);
    case TqorVarKind::Integer:
      value = int_;
      return true;
    case TqorVarKind::Real:
    case TqorVarKind::Date:
      value = real_;
      return true;
    case TqorVarKind::Boolean:
      value = bool_ ? -1 : 0;
      return true;
    case TqorVarKind::Null:
      return false;
  }
  return false;
}

bool TqorVariant::TryToInt(int32_t& value) const {
  switch (kind_) {
    case TqorVarKind::Integer:
      value = int_;
      return true;
    case TqorVarKind::Boolean:
      value = bool_ ? -1 : 0;
      return true;
    case TqorVarKind::Null:
      return false;
    default: {
      double r;
      return TryToReal(r) && RealToInt(r, value);
    }
  }
}

bool TqorVariant::TryToBool(bool& value) const {
  switch (kind_) {
    case TqorVarKind::Boolean:
      value = bool_;
      return true;
    case TqorVarKind::Integer:
      value = int_ != 0;
      return true;
    case TqorVarKind::Real:
    case TqorVarKind::Date:
      value = real_ != 0;
      return true;
    case TqorVarKind::Null:
      return false;
    case TqorVarKind::Text: {
      std::string_view t = Trimmed(text_);
      if (EqualsNoCase(t, "TRUE")) {
        value = true;
        return true;
      }
      if (EqualsNoCase(t, "FALSE")) {
        value = false;
        return true;
      }
      double r;
      if (!TryTextToFloat(t, RegionalSettings().DecimalSeparator, r)) return false;
      value = r != 0;
      return true;
    }
  }
  return false;
}

bool TqorVariant::TryToDate(double& value) const {
  double r;
  switch (kind_) {
    case TqorVarKind::Text:
      if (TryTextToDate(text_, r) ||
          TryTextToFloat(text_, RegionalSettings().DecimalSeparator, r)) {
        value = r;
        return true;
      }
      return false;
    case TqorVarKind::Null:
      return false;
    default:
      return TryToReal(value);
  }
}

namespace {
[[noreturn]] void Fail(TqorVarKind from, const char* to) {
  std::string message = "Could not convert variant of type (";
  message += VarKindName(from);
  message += ") into type (";
  message += to;
  message += ')';
  throw EqorVariantError(message);
}
}  // namespace

int32_t TqorVariant::AsInteger() const {
  int32_t v;
  if (!TryToInt(v)) Fail(kind_, "Integer");
  return v;
}

double TqorVariant::AsReal() const {
  double v;
  if (!TryToReal(v)) Fail(kind_, "Double");
  return v;
}

bool TqorVariant::AsBoolean() const {
  bool v;
  if (!TryToBool(v)) Fail(kind_, "Boolean");
  return v;
}

double TqorVariant::AsDate() const {
  double v;
  if (!TryToDate(v)) Fail(kind_, "Date");
  return v;
}

bool TqorVariant::operator==(const TqorVariant& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case TqorVarKind::Text:
      return text_ == other.text_;
    case TqorVarKind::Integer:
      return int_ == other.int_;
    case TqorVarKind::Real:
    case TqorVarKind::Date:
      return real_ == other.real_;
    case TqorVarKind::Boolean:
      return bool_ == other.bool_;
    case TqorVarKind::Null:
      return true;
  }
  return false;
}
