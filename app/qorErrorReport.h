// The program's error report: an error that ends a command, an event handler or a start-up step
// is shown in a message box with its text, and the program waits for the next user action.
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <utility>

// Shows the text in an error message box over the active window. While such a box is open,
// further errors (for example from painting behind it) go to standard error instead.
void ShowErrorMessage(const QString& text);
// Shows the exception's what() text; anything that is no std::exception gets a general text.
// A write refused because another program changed the row first goes to the handler set with
// SetChangedElsewhereHandler when there is one.
void ReportCurrentException();
// The handler of refused writes (the main window's offer to reload), receiving the error's text;
// an empty function removes it.
void SetChangedElsewhereHandler(std::function<void(const QString& text)> handler);

// Runs f; an exception escaping it is reported and swallowed. Returns whether f completed.
template <class F>
bool RunGuarded(F&& f) {
  try {
    std::forward<F>(f)();
    return true;
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}
