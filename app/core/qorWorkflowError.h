// A workflow asked to change something that is not in the plan (a task or project element that
// is gone), raised before anything is written.
#pragma once

#include <stdexcept>

class EqorWorkflowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
