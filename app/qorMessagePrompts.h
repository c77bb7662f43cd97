// The questions and messages of the planner core, as message boxes and input prompts over the
// active window. Texts written with "\r\n" line ends show as plain line breaks.
#pragma once

#include "planner/base/qorUserPrompts.h"

class TqorMessagePrompts : public TqorUserPrompts {
 public:
  // Yes/No, No being the default button.
  bool Confirm(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  // A one-line input dialog (object name "InputQuery") with OK and Cancel; its field takes no
  // character XML cannot hold.
  bool InputQuery(const std::string& caption, const std::string& label,
                  std::string& value) override;
  // The same, its OK running the check: a message from it keeps the dialog open.
  bool CheckedInputQuery(const std::string& caption, const std::string& label, std::string& value,
                         const TqorInputCheck& check) override;
};
