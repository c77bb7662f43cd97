// Rows of the plan as elements of the planner document, as the loader makes them: the same
// attributes in the same order, the same conversions (ids, names and notes as text, numbers as
// reals, dates as day numbers, flags as booleans; a null as "", 0 or false).
//
// ShowRows puts rows that changed in the file (an undo, a redo) into a document that shows the
// plan, so that the document is what a fresh load would give for them without loading the rest:
// an element made or brought up to date for each row that is there, at the place a load gives it
// (projects, resources, holidays and each task's assignments in the order of their ids; tasks
// sorted as always), and the element of a row that is gone taken out with what belongs to it.
// A task or assignment whose project or task the document does not have is left out, as the
// loader leaves out orphans (and a link whose tasks the document lacks); the Settings row sets
// the project filter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorPlanRows.h"

class TqorPlannerModel;
class TqorXMLNode2;

// One row's values by column name, converted as the loader reads them.
class TqorRowReader {
 public:
  virtual ~TqorRowReader() = default;
  virtual std::string Text(const char* column) = 0;
  virtual double Real(const char* column) = 0;
  virtual double Date(const char* column) = 0;
  virtual bool Flag(const char* column) = 0;
};

namespace qorDocumentRows {

// The attributes after those AddProject and AddTask set (id, name; the task's dates and
// milestone flag); a resource's and a holiday's all of them.
void SetProjectValues(TqorXMLNode2* project, TqorRowReader& row);
void SetTaskValues(TqorXMLNode2* task, TqorRowReader& row);
void SetResourceValues(TqorXMLNode2* resource, TqorRowReader& row);
void SetAssignmentValues(TqorXMLNode2* assignment, TqorRowReader& row);
void SetHolidayValues(TqorXMLNode2* holiday, TqorRowReader& row);
// A link: "id", "predecessorid", "successorid", "type" (as stored, in capitals), "lag".
void SetLinkValues(TqorXMLNode2* link, TqorRowReader& row);

// The container of the plan's links ("links", after the holidays), made when create is set and
// the document has none; nullptr otherwise. A plan without links has none, so that its document
// is the one it always was.
TqorXMLNode2* LinksNode(TqorPlannerModel& planner, bool create);
// The link elements with one of the tasks at either end.
std::vector<TqorXMLNode2*> LinksOf(TqorPlannerModel& planner,
                                   const std::vector<std::string>& taskIds);

struct TqorShownRow {
  TqorPlanTable Table = TqorPlanTable::Projects;
  int32_t Id = 0;
  // The row as the file holds it now; none when it is gone.
  std::optional<TqorPlanRow> Row;
};

// As described above; sorts the tasks and rebuilds the rows once.
void ShowRows(TqorPlannerModel& planner, const std::vector<TqorShownRow>& rows);

}  // namespace qorDocumentRows
