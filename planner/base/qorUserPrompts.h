// The questions and messages the core puts to the user. The core has no window toolkit of its
// own: the application installs an implementation (message boxes) at start. Without one,
// Confirm answers No, InputQuery answers Cancel and ShowMessage writes the text and a line break
// to standard error.
#pragma once

#include <functional>
#include <string>

// The check of an input prompt's text: empty when the text will do, else what is wrong with it.
using TqorInputCheck = std::function<std::string(const std::string& text)>;

class TqorUserPrompts {
 public:
  virtual ~TqorUserPrompts() = default;
  // A Yes/No question; true when the user chose Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // A plain message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // A one-line input prompt with a caption and a label, starting with value; true with the text
  // typed in value when the user chose OK, false (value unchanged) on Cancel. Prompts that ask
  // for no input answer Cancel.
  virtual bool InputQuery(const std::string& caption, const std::string& label, std::string& value);
  // As InputQuery, with a check of the text on OK: while it returns a message, the message is
  // shown and the prompt stays open with the text typed. By default the prompt is asked again,
  // starting with that text, after the message.
  virtual bool CheckedInputQuery(const std::string& caption, const std::string& label,
                                 std::string& value, const TqorInputCheck& check);
};

// Installs the process-wide prompts (not owned; nullptr restores the default). Returns the
// previously installed prompts, or nullptr when none was installed.
TqorUserPrompts* SetUserPrompts(TqorUserPrompts* prompts);
TqorUserPrompts* UserPrompts();

// Shows a message through the installed prompts (standard error without them).
void ShowMessage(const std::string& text);
// Asks through the installed prompts (Cancel without them).
bool InputQuery(const std::string& caption, const std::string& label, std::string& value);
bool CheckedInputQuery(const std::string& caption, const std::string& label, std::string& value,
                       const TqorInputCheck& check);
