// Text utilities shared by the whole program: a growable text buffer, exact and letter-case-blind
// search and replace, number and colour parsing, whole-file text input and output and a Yes/No
// question. (The calendar rules are in qorCalendar.h.)
//
// Text is UTF-8 and positions count bytes, 1-based, 0 meaning "not found".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A text buffer that grows in steps, for building long texts by appending.
class TqorFastString {
 public:
  static constexpr size_t kGrowthStep = 65536;

  // Empties the buffer and allocates one growth step.
  void Reset();
  // Copies text behind the used part; when it does not fit, the capacity grows by the larger of
  // the growth step and the text's length. An empty text changes nothing.
  void Append(std::string_view text);
  // The used part; releases the buffer (capacity 0 afterwards, like a fresh buffer).
  std::string GetText();
  size_t Length() const { return length_; }
  size_t Capacity() const { return capacity_; }

 private:
  std::string buffer_;  // sized to the capacity; the first length_ bytes are used
  size_t capacity_ = 0;
  size_t length_ = 0;
};

// 1-based position of part in text at or after start; 0 when either is empty, part is not
// found, or start is beyond the last position where part would fit. A start below 1 counts as 1.
int PosEx(std::string_view part, std::string_view text, int start = 1);
// As PosEx, comparing letter-case-blind: ASCII letters and the Cyrillic letters of the
// single-byte Cyrillic code page (whose upper and lower case forms have equal UTF-8 lengths).
int PosText(std::string_view part, std::string_view text, int start = 1);
// Every occurrence of find, scanning left to right behind each match, replaced; an empty find
// or no occurrence returns the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);
// As ReplaceAll with PosText matching.
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement);
// The upper-case form used by the case-blind helpers (same byte length as the input).
std::string FoldCase(std::string_view text);
// Letter-case-blind equality and order of two texts: the case-blind helpers' folding (ASCII
// letters, and the Cyrillic letters whose two forms have equal UTF-8 lengths), then byte order.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// printf-style formatting in the "C" locale: numbers are written with "." whatever locale the
// process runs under (the regional settings' separator is the caller's to put in).
std::string CFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Converts decimal text with the given decimal separator: optional blanks around, optional sign,
// digits with at most one separator, optional exponent ("1.5E3"). False for anything else.
bool TryTextToFloat(std::string_view text, std::string_view decimalSeparator, double& value);
// True with the value when the text converts with the program's decimal separator (the regional
// settings').
bool IsFloat(std::string_view text, double& value);
bool IsNumeric(std::string_view text);
double StrToFloatDef(std::string_view text, double defaultValue);

struct TqorColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const TqorColor&) const = default;
};
// "#RRGGBB" (hexadecimal pairs, either case) to a colour; black for any other text.
TqorColor HtmlColorToColor(std::string_view text);

// Raised when a file cannot be opened, created, read or written; the message names the file and
// the system's reason.
class EqorFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// Creates or truncates the file and writes the text's bytes. Raises EqorFileError.
void SaveStringToFile(const std::string& fileName, std::string_view text);
// The whole file's bytes. Raises EqorFileError.
std::string LoadStringFromFile(const std::string& fileName);

// A Yes/No question through the installed user prompts; No when none is installed.
bool Confirm(const std::string& message);

// The sound code of a word (first letter's code plus up to three weighted digits).
int Soundex(std::string_view word);
