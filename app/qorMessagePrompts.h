// The questions and messages of the planner core, as message boxes over the active window.
#pragma once

#include "planner/base/qorUserPrompts.h"

class TqorMessagePrompts : public TqorUserPrompts {
 public:
  // Yes/No, No being the default button.
  bool Confirm(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
};
