// The errors of path queries.
#pragma once

#include <stdexcept>
#include <string>

#include "planner/base/qorVariant.h"

// Raised by SelectNodes for a path it cannot walk ("Missing ] in pattern a[@x=1]b").
class EqorXPathError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by SelectNodes when a predicate's result does not convert to a truth value: the
// variant conversion error ("Could not convert variant of type (Null) into type (Boolean)"),
// with the error that stopped the predicate's evaluation, if one did, as Cause.
class EqorXPathPredicateError : public EqorVariantError {
 public:
  EqorXPathPredicateError(const std::string& message, std::string cause)
      : EqorVariantError(message), cause_(std::move(cause)) {}
  // Empty when the evaluation ran to its end.
  const std::string& Cause() const { return cause_; }

 private:
  std::string cause_;
};
