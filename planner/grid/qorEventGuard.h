// Exceptions must not unwind through the window toolkit's event dispatch (its frames would
// skip their clean-up). Widget event handlers therefore run their work through GuardEvent,
// which hands an escaping exception to the program's error report. Without an installed
// report the exception propagates as before.
#pragma once

#include <functional>
#include <utility>

// The report is called inside a catch block (it may rethrow with "throw;" to inspect the
// exception) and must not let the exception escape.
using TqorErrorReport = std::function<void()>;

// Installs the process-wide report; an empty function removes it.
void SetEventErrorReport(TqorErrorReport report);
const TqorErrorReport& EventErrorReport();

template <class F>
void GuardEvent(F&& work) {
  if (!EventErrorReport()) {
    std::forward<F>(work)();
    return;
  }
  try {
    std::forward<F>(work)();
  } catch (...) {
    EventErrorReport()();
  }
}
