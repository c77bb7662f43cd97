// A value of an XML attribute: text, 32-bit integer, real, boolean, date or Null. Conversions
// follow the user's regional settings (decimal separator, short date format, long time format):
//   to text:    integers in decimal; reals with up to 15 significant digits, no fraction part
//               when whole, the regional decimal separator; booleans "-1" and "0"; dates in the
//               short date format (with the long time format when not midnight); Null "".
//   from text:  decimal text with the regional decimal separator to numbers; "True"/"False"
//               (any letter case) or a number (non-zero is true) to boolean; the short date
//               format or a number to dates.
// Reals convert to integers rounding halves to even. Booleans are -1 and 0 as numbers.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

enum class TqorVarKind { Text, Integer, Real, Boolean, Date, Null };

// Raised when a value does not convert to the kind asked for.
class EqorVariantError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TqorVariant {
 public:
  // The empty text.
  TqorVariant() = default;
  TqorVariant(const char* text) : text_(text ? text : "") {}
  TqorVariant(std::string text) : text_(std::move(text)) {}
  TqorVariant(std::string_view text) : text_(text) {}
  TqorVariant(int32_t value) : kind_(TqorVarKind::Integer), int_(value) {}
  TqorVariant(double value) : kind_(TqorVarKind::Real), real_(value) {}
  TqorVariant(bool value) : kind_(TqorVarKind::Boolean), bool_(value) {}

  // A date value holding a day number.
  static TqorVariant FromDate(double dayNumber);
  static TqorVariant Null();

  TqorVarKind Kind() const { return kind_; }
  bool IsNull() const { return kind_ == TqorVarKind::Null; }
  // The stored text (empty for other kinds).
  const std::string& RawText() const { return text_; }

  // The text form (never raises except for a date outside the calendar's range).
  std::string ToText() const;
  // Conversions that report failure instead of raising.
  bool TryToInt(int32_t& value) const;
  bool TryToReal(double& value) const;
  bool TryToBool(bool& value) const;
  bool TryToDate(double& value) const;

  // The same conversions, raising EqorVariantError when the value does not convert.
  int32_t AsInteger() const;
  double AsReal() const;
  bool AsBoolean() const;
  double AsDate() const;

  // Kind and value equal (no conversion).
  bool operator==(const TqorVariant& other) const;

 private:
  TqorVarKind kind_ = TqorVarKind::Text;
  std::string text_;
  int32_t int_ = 0;
  double real_ = 0;
  bool bool_ = false;
};

// The name of a kind as used in conversion messages ("String", "Integer", "Double", ...).
const char* VarKindName(TqorVarKind kind);
// Real to text as described above, with the given decimal separator.
std::string RealToText(double value, std::string_view decimalSeparator);
