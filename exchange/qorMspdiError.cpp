#include "exchange/qorMspdiError.h"

#include "planner/base/qorUtf8.h"

namespace {

// The element's name as a message can show it: what a damaged file put there may hold control
// characters (a NUL would end the message) and bytes that are no UTF-8, written as \xNN.
std::string Printable(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return Utf8WithEscapes(out);
}

std::string Message(const std::string& element, int64_t line, const std::string& reason) {
  if (element.empty() && line <= 0) return reason;
  std::string text = element.empty() ? std::string("Line") : Printable(element) + " at line";
  return text + " " + std::to_string(line) + ": " + reason;
}

}  // namespace

EqorMspdiError::EqorMspdiError(std::string element, int64_t line, std::string reason)
    : std::runtime_error(Message(element, line, reason)),
      element_(std::move(element)),
      line_(line),
      reason_(std::move(reason)) {}
