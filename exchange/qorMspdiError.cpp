#include "exchange/qorMspdiError.h"

namespace {

std::string Message(const std::string& element, int64_t line, const std::string& reason) {
  if (element.empty() && line <= 0) return reason;
  std::string text = element.empty() ? std::string("Line") : element + " at line";
  return text + " " + std::to_string(line) + ": " + reason;
}

}  // namespace

EqorMspdiError::EqorMspdiError(std::string element, int64_t line, std::string reason)
    : std::runtime_error(Message(element, line, reason)),
      element_(std::move(element)),
      line_(line),
      reason_(std::move(reason)) {}
