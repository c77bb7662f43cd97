// What an MS Project XML import raises for a file it cannot read: the element it stopped at, the
// line of the file (1-based; 0 when the problem has no place, such as an encoding) and the
// reason. what() is "<element> at line <line>: <reason>", or the reason alone without a place.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class EqorMspdiError : public std::runtime_error {
 public:
  EqorMspdiError(std::string element, int64_t line, std::string reason);

  const std::string& Element() const { return element_; }
  int64_t Line() const { return line_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string element_;
  int64_t line_;
  std::string reason_;
};
