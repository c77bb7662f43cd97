// The task dialog as the workflows see it: it shows a task's values and the two resource lists
// ("Resources": the resources not on the task, each carrying its ResourceId; "Assignments": the
// resources on it, each carrying its AssignmentId), is shown modally, and hands back the values
// the user set. It keeps the task's id and dates for the allocation operations. The window
// itself (TfrmTask) collects and checks values only; the workflows store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/qorTextColumns.h"

struct TqorTaskDialogValues {
  int32_t TaskId = 0;
  std::string Name;
  bool IsMilestone = false;
  // Shown as Start and End (with the duration in working days between them).
  double StartDate = 0;
  double EndDate = 0;
  bool IsCompleted = false;
  // Shown read-only.
  std::string ProjectName;
  double Progress = 0;
  std::string Notes;
};

// One entry of a resource list: the name shown and the id it carries.
struct TqorResourceEntry {
  std::string Name;
  int32_t Id = 0;
  bool operator==(const TqorResourceEntry&) const = default;
};

class TqorTaskEditor {
 public:
  virtual ~TqorTaskEditor() = default;
  // Shows the task's values (the dialog opens on its first page) and keeps its id and dates.
  virtual void SetTask(const TqorTaskDialogValues& values) = 0;
  // The task being edited: its kept id and dates, with the other fields as the user set them.
  // REQUIRES: the progress field holds a number (the dialog's check passed).
  virtual TqorTaskDialogValues GetTask() const = 0;
  // Replaces the entries of the lists, in the order given.
  virtual void SetResourceList(const std::vector<TqorResourceEntry>& entries) = 0;
  virtual void SetAssignmentList(const std::vector<TqorResourceEntry>& entries) = 0;
  // The Links page: one entry per link of the task ("After 'Design' FS+2", "Before 'Ship' SS"),
  // carrying the link's id. A dialog without the page ignores it.
  virtual void SetLinkList(const std::vector<TqorResourceEntry>& /*entries*/) {}
  // The task's dates as they are now.
  virtual void SetDates(double /*startDate*/, double /*endDate*/) {}
  // A link made in the dialog moved the task to start on that day: the dialog shows that start
  // with the duration its fields hold.
  virtual void MoveStart(double /*startDate*/) {}
  // Shows the dialog modally; true when it was closed with OK.
  virtual bool Execute() = 0;
};

// The dialog's check on OK: empty when the name is not empty and the progress text is a number,
// else "No or incorrect date in:\r\n\r\n" followed by "Name" and "%Progress", whichever is bad,
// each ending in "\r\n". A progress above 100 passes. When those pass, a name longer than the
// Tasks table takes gets the message of CheckTextLengths. With dates given, an end before the
// start is "The task ends before it starts: the end is the start or a later day."
std::string CheckTaskValues(const std::string& name, const std::string& progressText,
                            double startDate = 0, double endDate = 0);
