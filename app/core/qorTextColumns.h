// The text columns of the planner's tables and how long a text each takes. The engine counts a
// text's length in bytes of UTF-8 (a character beyond ASCII takes 2 to 4 of them) and refuses a
// longer one; the dialogs check their fields against these limits before a statement is sent,
// so that nothing typed is lost behind the engine's message. Notes and the project filter are
// memos of any length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kProjectNameBytes = 255;
constexpr size_t kProjectTagBytes = 100;
constexpr size_t kTaskNameBytes = 255;
constexpr size_t kResourceNameBytes = 200;
constexpr size_t kInitialsBytes = 40;
constexpr size_t kReportFormatBytes = 10;

// A dialog's text field: the name its messages give it, its text, and the most bytes its column
// takes.
struct TqorTextField {
  std::string Name;
  std::string_view Text;
  size_t MaxBytes = 0;
};

// Empty when every text fits its column; else a message that names each field that does not,
// with its length and its limit, and says how the length is counted.
std::string CheckTextLengths(const std::vector<TqorTextField>& fields);
