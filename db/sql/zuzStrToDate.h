// The string-to-date conversion used when a string meets a date, time or date-time value: by
// the parser for constants compared with or assigned to such columns, and by the executor.
//
//   date part  the runs of letters and digits of the text, everything else skipped; up to
//              three runs read as day, month and year in the order of the short date format
//              (as D, M and Y first appear in it), else as year, month, day. Day and month of
//              one or two digits are numbers, a longer month is a short month name (letter case
//              ignored); a year of one or two digits lies in the fifty-year century window
//              before and after the current year. Two runs are day and month of the current
//              year.
//   time part  up to four numbers (hour, minute, second, millisecond); "PM" adds 12 to an hour
//              below 12, "AM" turns hour 12 into 0. A date-time reads it from the text after
//              the date part, when there is any.
// The result is a day number (days since 30 December 1899, the fraction the time of day).
#pragma once

#include <string_view>

#include "db/storage/zuzFieldTypes.h"
#include "planner/base/qorRegionalSettings.h"

namespace zuz {

// Converts for a target of type ftDate, ftTime or ftDateTime (any other type counts as
// ftDateTime) under the process-wide regional settings and today's year. Raises 10059 "Invalid
// date value" or 10058 "Invalid time value" with "Value %s was not of the expected format %s"
// when the text is no such value.
double ConvertStrToDateTime(std::string_view text, TFieldType target);
double ConvertStrToDateTime(std::string_view text, TFieldType target,
                            const TqorRegionalSettings& settings, int currentYear);

// The same without raising: false when the text is no such value (timeFailed tells which part).
bool TryStrToDateTime(std::string_view text, TFieldType target,
                      const TqorRegionalSettings& settings, int currentYear, double& value,
                      bool& timeFailed);

}  // namespace zuz
