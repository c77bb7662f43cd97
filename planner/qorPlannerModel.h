// The planner document and the rows of the calendar grid, without any window.
//
// The document is an XML tree with the id index on, created from the skeleton
//   <planner><projects id="projects"/><resources id="resources"/><holidays
//   id="holidays"/></planner>
// and holding project > task > assignment, resource and holiday elements, each with its
// database key as "id", and in a plan with links between tasks a "links" container after the
// holidays. The grid widget owns one model and forwards to it.
//
// Rows: row 0 is the date header (70 pixels high), row 1 the weekday header, then one row per
// visible project followed by one row per task of that project (24 pixels; 0 for the tasks of a
// collapsed project). With no project or an empty project filter there is exactly one more,
// empty placeholder row. Columns 2 to 91 are the 90 days from StartDate.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "planner/xml/qorXMLParser2.h"

// The rescheduling gestures of the grid: Ctrl+Shift sets the start day, Ctrl the end day,
// Shift moves the bar keeping its length.
enum class TqorDateGesture { SetStart, SetEnd, Move };

class TqorPlannerModel {
 public:
  static constexpr int kFixedRows = 2;
  static constexpr int kHeaderRowHeight = 70;
  static constexpr int kDefaultRowHeight = 24;
  static constexpr int kFixedCols = 2;
  static constexpr int kDayColumns = 90;
  static constexpr int kColumnCount = kFixedCols + kDayColumns;

  // today gives today's date as a day number; by default the local system date.
  explicit TqorPlannerModel(std::function<double()> today = SystemTodayClock());
  ~TqorPlannerModel();
  TqorPlannerModel(const TqorPlannerModel&) = delete;
  TqorPlannerModel& operator=(const TqorPlannerModel&) = delete;

  static std::function<double()> SystemTodayClock();

  // --- The document ---
  TqorXMLParser2& Document() { return *document_; }
  const TqorXMLParser2& Document() const { return *document_; }
  // The containers (nullptr only when the document was replaced by one without them).
  TqorXMLNode2* ProjectsNode() const;
  TqorXMLNode2* ResourcesNode() const;
  TqorXMLNode2* HolidaysNode() const;
  // The links between tasks ("link" elements with "predecessorid", "successorid", "type" and
  // "lag"); nullptr for a plan without links.
  TqorXMLNode2* LinksNode() const;

  // Creates a "project" with "id", "name" and "expanded" = true and appends it to the projects.
  // Raises EqorXMLError for a duplicate id (the node then stays, unindexed). Rows unchanged.
  TqorXMLNode2* AddProject(std::string_view projectId, std::string_view name);
  // Creates a "task" with "id", "name", "startdate", "enddate", "ismilestone" under the project
  // with that id; nullptr when there is no such project. Raises EqorXMLError for a duplicate id.
  // Neither sorts nor rebuilds the rows.
  TqorXMLNode2* AddTask(std::string_view projectId, std::string_view taskId, std::string_view name,
                        double startDate, double endDate, bool isMilestone);
  // Deletes the task (with its assignments); an unknown id does nothing. The rows keep their
  // places until RebuildRows, but no row refers to the freed task any more.
  void DeleteTask(std::string_view taskId);
  // Sorts the tasks of every project by end date (earliest first), tasks that end on the same day
  // by id (whole numbers by value): the order follows from dates and ids alone, never from the
  // order before. Tasks whose end date is no number come last.
  void SortTasks();

  const std::string& ProjectFilter() const { return projectFilter_; }
  // Stores the filter ("[1][4][12]") and rebuilds the rows.
  void SetProjectFilter(std::string filter);
  // The project's "[" + id + "]" occurs in the filter.
  bool IsProjectVisible(const TqorXMLNode2* project) const;

  // Hours of a task from its assignments: per assignment whose resource exists,
  // (enddate - startdate + 1) * hoursperweek / 7 * units / 100. Not stored.
  double CalcAssignedHours(const TqorXMLNode2* task) const;
  // Sum of the "assignedhours" of the project's tasks. Not stored.
  double SumAssignedHours(const TqorXMLNode2* project) const;
  // True when the date lies within the node's "startdate" and "enddate" (both inclusive);
  // false when either is missing or not a number.
  bool ContainsDate(const TqorXMLNode2* node, double date) const;
  // Applies a gesture on a day to a "task" or "project": SetStart only when the day is not
  // after "enddate", SetEnd only when it is not before "startdate", Move always (the length,
  // rounded to whole days, is kept). For a task, "assignedhours" is recomputed. Returns whether
  // the node changed; raises no event and neither sorts nor rebuilds the rows.
  bool ApplyDateGesture(TqorXMLNode2* node, double day, TqorDateGesture gesture);
  // The "initials" of the resources of the task's assignments, joined by ", " (assignments
  // whose resource does not exist are skipped).
  std::string GetResourceInitials(const TqorXMLNode2* task) const;

  // --- The rows ---
  // Rebuilds the rows from the document and the filter, then reports a change.
  void RebuildRows();
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The project or task shown in a row; nullptr for the header rows, the placeholder row and
  // rows outside the grid.
  TqorXMLNode2* RowNode(int row) const;
  // 0 for rows outside the grid.
  int RowHeight(int row) const;
  // Changes one row's height (negative heights count as 0); rows outside the grid are ignored.
  void SetRowHeight(int row, int height);
  // The row showing the node, -1 when none does.
  int FindRow(const TqorXMLNode2* node) const;
  // True when the grid shows the empty placeholder row.
  bool HasPlaceholderRow() const { return placeholder_; }
  // Folds or unfolds the project in a row: flips its "expanded" and gives its task rows height
  // 0 or the default height. Returns false (changing nothing) when the row holds no project.
  // Reports a change.
  bool ToggleProjectRow(int row);

  // --- The period ---
  double StartDate() const { return startDate_; }
  double NewYear() const { return newYear_; }
  double Easter() const { return easter_; }
  double Pentecost() const { return pentecost_; }
  double Ascension() const { return ascension_; }
  double Christmas() const { return christmas_; }
  double Today() const { return today_(); }
  // Sets the first day shown (whole days; a time of day is dropped), recomputes the feast dates
  // for its year and rebuilds the rows.
  void SetStartDate(double date);
  // The first day of today's month.
  void ShowCurrentMonth();
  // The same day a month or a year later or earlier (the month's last day when it lacks it).
  void NextMonth();
  void PreviousMonth();
  void NextYear();
  void PreviousYear();
  // The date a column shows: StartDate + column - 2.
  double ColToDate(int column) const { return startDate_ + column - kFixedCols; }
  // Saturdays, Sundays, New Year, Easter Monday, Ascension, Whit Monday, Christmas and the day
  // after, each taken in the date's own year.
  bool IsNonWorkingDay(double date) const;

  // Called after the rows were rebuilt or folded and after the period changed.
  void SetOnChanged(std::function<void()> callback) { onChanged_ = std::move(callback); }

  // --- The critical path as shown ---
  // The tasks (by id) that decide the plan's end, as the schedule's backward pass found them,
  // and whether the grid outlines them (View, Critical path). Kept until set again.
  void SetCriticalTasks(std::unordered_set<std::string> taskIds) {
    criticalTasks_ = std::move(taskIds);
  }
  void SetShowCriticalPath(bool show) { showCriticalPath_ = show; }
  bool ShowCriticalPath() const { return showCriticalPath_; }
  // Shown as critical: the path is shown and the task is on it.
  bool IsShownCritical(const TqorXMLNode2* task) const;

 private:
  struct Row {
    TqorXMLNode2* node = nullptr;
    int height = kDefaultRowHeight;
  };

  TqorXMLNode2* Container(const char* name) const;
  void BuildRows();
  void Changed();
  void NodeFreed(const TqorXMLNode2* node);

  std::unique_ptr<TqorXMLParser2> document_;
  std::string projectFilter_;
  std::vector<Row> rows_;
  std::unordered_map<const TqorXMLNode2*, int> rowOf_;
  bool placeholder_ = false;
  std::function<double()> today_;
  std::function<void()> onChanged_;
  double startDate_ = 0;
  double newYear_ = 0, easter_ = 0, pentecost_ = 0, ascension_ = 0, christmas_ = 0;
  // IsNonWorkingDay of the kDayColumns days from startDate_ (1 or 0; -1 for a day outside the
  // calendar), worked out by SetStartDate.
  std::vector<signed char> periodNonWorking_;
  std::unordered_set<std::string> criticalTasks_;
  bool showCriticalPath_ = false;
};
