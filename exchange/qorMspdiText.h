// The text forms of MS Project XML (MSPDI) values, as the export writes them and the import reads
// them:
//
//   date and time  "2025-01-06T08:00:00": xsd:dateTime without a zone. A reader also takes a
//                  fraction of a second and a zone (both ignored) and a date without a time.
//   time of day    "08:00:00"; a reader also takes "08:00".
//   duration       "PT40H30M0S": hours, minutes and seconds of working time.
//   decimal        "0.5", "-62.25", "3": xsd:decimal, without an exponent. Written from the
//                  shortest digits that give the double back, so that reading the text gives
//                  the same double, also when the value is moved by a power of ten on the way
//                  (a percentage written as a fraction: 33.3 as "0.333"). A reader also takes
//                  an exponent ("1E-2"), as xsd:double has one.
//   integer        "-12"
//   flag           "1" or "0"; a reader also takes "true" and "false".
//   text           element text: "&", "<" and ">" as named references, a carriage return as
//                  "&#13;" (a reader turns raw CR LF into LF), and blanks, tabs and line feeds
//                  at either end as numeric references (this program's XML reader trims raw
//                  ones there). Characters XML 1.0 cannot hold (control characters other than
//                  tab, line feed and carriage return, U+FFFE, U+FFFF) are left out and counted;
//                  a byte that starts no well-formed UTF-8 sequence is written as its Latin-1
//                  character, as at the program's other edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// REQUIRES: a calendar day number (qorCalendar.h; EqorDateError otherwise) and
// 0 <= minutes < 1440.
std::string MspdiDateTime(int32_t day, int32_t minutes);
// The day and the minutes after midnight; false when the text is no such date (or a date
// outside 0001-01-01 .. 9999-12-31).
bool TryParseMspdiDateTime(std::string_view text, int32_t& day, int32_t& minutes);

// REQUIRES: 0 <= minutes <= 1440.
std::string MspdiTime(int32_t minutes);
// Minutes after midnight, 0 to 1440 ("24:00:00").
bool TryParseMspdiTime(std::string_view text, int32_t& minutes);

// REQUIRES: minutes >= 0.
std::string MspdiDuration(int64_t minutes);

// The decimal of value * 10^shift; "0" for a value that is not finite.
std::string MspdiDecimal(double value, int shift = 0);
// The text's number * 10^shift; false for a text that is no number, or whose value is not a
// finite double.
bool TryParseMspdiDecimal(std::string_view text, int shift, double& value);

bool TryParseMspdiInteger(std::string_view text, int64_t& value);
bool TryParseMspdiFlag(std::string_view text, bool& value);

// Appends the text as element text; adds the characters left out to dropped.
void AppendMspdiText(std::string& out, std::string_view text, size_t& dropped);
// The characters of element text as the XML reader keeps it (raw, references not decoded):
// the five named references and numeric ones decoded, raw CR LF and lone CR as LF. A "&" that
// starts no such reference stays as it is.
std::string DecodeMspdiText(std::string_view raw);
