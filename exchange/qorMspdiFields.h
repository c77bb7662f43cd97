// The codes of MS Project XML (MSPDI) that both directions of the exchange use: the namespace,
// the link types, the lag formats, and the extended attributes that hold the plan's own fields
// that MSPDI has no element for.
//
// Extended attributes: the file declares each one it uses once, under Project/ExtendedAttributes
// (FieldID, FieldName, Alias), and a task or resource gives its value in an ExtendedAttribute
// child (FieldID, Value). The import recognises a field by the alias its declaration gives it,
// not by the FieldID alone, so that a file that uses Text1 for something else is not misread.
//
//   alias           field     FieldID     on          holds
//   Tag             Text1     188743731   summaries   a project's tag
//   Budget hours    Number1   188743767   summaries   a project's budget hours
//   Actual hours    Number2   188743768   summaries   a project's actual hours
//   Budget cost     Number3   188743769   summaries   a project's budget cost
//   Actual cost     Number4   188743770   summaries   a project's actual cost
//   Progress        Number5   188743771   tasks       the progress, where PercentComplete
//                                                     (a whole percent, 100 when completed)
//                                                     does not give it exactly
//   Completed       Flag1     188743752   tasks       "0" for a task that is not completed
//                                                     although PercentComplete says 100
//   Hours per week  Text1     205520904   resources   the hours per week, as a decimal
#pragma once

#include <cstdint>
#include <string_view>

#include "planner/schedule/qorScheduleLink.h"

inline constexpr std::string_view kMspdiNamespace = "http://schemas.microsoft.com/project";

// PredecessorLink/Type: 0 finish-to-finish, 1 finish-to-start, 2 start-to-finish,
// 3 start-to-start.
int MspdiLinkTypeCode(TqorLinkType type);
// False for a code that is none of the four.
bool TryMspdiLinkType(int64_t code, TqorLinkType& type);

// How a PredecessorLink's LagFormat counts its LinkLag (always tenths of minutes): working time
// (minutes, hours, days, weeks, months, also "estimated"), elapsed time, or a percentage of the
// predecessor's duration.
enum class TqorMspdiLagKind { Working, Elapsed, Percent };
// The working-day format (LagFormat 7) an export writes.
inline constexpr int kMspdiLagDays = 7;
// Codes MSPDI does not define count as working time.
TqorMspdiLagKind MspdiLagKind(int64_t lagFormat);

enum class TqorMspdiField {
  None,
  Tag,
  BudgetHours,
  ActualHours,
  BudgetCost,
  ActualCost,
  Progress,
  Completed,
  HoursPerWeek,
};

struct TqorMspdiFieldInfo {
  TqorMspdiField Field;
  int64_t FieldId;
  std::string_view FieldName;
  std::string_view Alias;
  bool OnResources;  // a resource field; else a task field
};

// Every field of the table above, in its order.
inline constexpr TqorMspdiFieldInfo kMspdiFields[] = {
    {TqorMspdiField::Tag, 188743731, "Text1", "Tag", false},
    {TqorMspdiField::BudgetHours, 188743767, "Number1", "Budget hours", false},
    {TqorMspdiField::ActualHours, 188743768, "Number2", "Actual hours", false},
    {TqorMspdiField::BudgetCost, 188743769, "Number3", "Budget cost", false},
    {TqorMspdiField::ActualCost, 188743770, "Number4", "Actual cost", false},
    {TqorMspdiField::Progress, 188743771, "Number5", "Progress", false},
    {TqorMspdiField::Completed, 188743752, "Flag1", "Completed", false},
    {TqorMspdiField::HoursPerWeek, 205520904, "Text1", "Hours per week", true},
};

// The entry of the table for a field (REQUIRES: not None).
const TqorMspdiFieldInfo& MspdiFieldInfo(TqorMspdiField field);
// The field an alias names, letter case aside (SameTextIgnoringCase); None for any other.
TqorMspdiField MspdiFieldOfAlias(std::string_view alias);
