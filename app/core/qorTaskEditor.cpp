#include "app/core/qorTaskEditor.h"

#include "app/core/qorNumberText.h"

std::string CheckTaskValues(const std::string& name, const std::string& progressText,
                            double startDate, double endDate) {
  std::string bad;
  if (name.empty()) bad += "Name\r\n";
  double progress = 0;
  if (!ParseNumber(progressText, progress)) bad += "%Progress\r\n";
  if (!bad.empty()) return "No or incorrect date in:\r\n\r\n" + bad;
  if (endDate < startDate)
    return "The task ends before it starts: the end is the start or a later day.";
  // A name the table cannot take would be refused when the task is stored, after the dialog
  // closed; it is one to correct here.
  return CheckTextLengths({{"Name", name, kTaskNameBytes}});
}
