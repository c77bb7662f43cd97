// Helpers of the writers' tests: random plans with awkward texts, a folder of the test's own,
// whole files, commands run with their output, and the peer programs the tests need.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/qorExchangePlan.h"

namespace writers_test {

// A new folder below $TMPDIR (or /tmp), removed when the object goes unless test files are kept.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

// The exit status and output (stdout and stderr together) of a shell command.
struct TCommandResult {
  int Status = -1;
  std::string Output;
};
TCommandResult RunCommand(const std::string& command);

// Whether the shell finds the program. When it does not, the test is to be skipped, and it fails
// with a message instead when VAZADOD_CI is set.
bool HaveProgram(const std::string& program);
// A python3 that imports the module ("" for the standard library alone): the one on the PATH or
// the system's; empty (with the same rule for VAZADOD_CI) when there is none.
std::string PythonWith(const std::string& module);

// The components of one kind (VEVENT, VTODO) of an iCalendar file, read twice by python3:
// Module, as the icalendar module's Calendar reader gives them; Lines, from the file's lines as
// RFC 5545 writes them (unfolded, split at the first ":", TEXT escapes decoded in one pass). The
// module (4.0.3) decodes the TEXT escapes one kind after the other, "\\n" before "\\\\", so it
// reads a backslash before an "n", "N", "," or ";" wrongly; Lines reads them right. A date is
// "DATE:YYYY-MM-DD" when the property has VALUE=DATE; a field is empty when the component lacks
// the property.
struct TICalendarItem {
  std::string Uid, Summary, Description, Start, End, Transp, Stamp;
  std::vector<std::string> Categories;
  int Repeated = 0;  // properties that came twice (Lines only)
};
struct TICalendarReading {
  std::vector<TICalendarItem> Module, Lines;
};
TICalendarReading ReadICalendar(const std::string& python, const std::string& path,
                                const std::string& component);

// The number in the environment variable, or the default when it is unset or not a number.
uint64_t EnvNumber(const char* name, uint64_t byDefault);

// Random texts: empty, plain, or pieces that writers must take care of (separators, quotes,
// backslashes, line breaks of every kind, tabs, leading =, +, -, @, "${x}", letters outside ASCII
// up to four UTF-8 bytes, text that looks like a number or a date). Always valid UTF-8.
std::string RandomText(std::mt19937_64& random);

// A random plan: projects, tasks near Easter, Christmas and New Year of random years, weekends
// and feasts among their days, milestones, completed tasks, resources, assignments, holidays and
// links of all four types with lags and leads (links the scheduler refuses among them when
// badLinks). Ids are distinct and positive.
struct TPlanShape {
  int Tasks = 20;
  int LinksPer100 = 90;
  bool BadLinks = true;
};
TqorExchangePlan RandomPlan(std::mt19937_64& random, const TPlanShape& shape = {});

// The plan's tasks placed as the program's scheduler places them (RescheduleAll) over the links
// it accepts; the ids of the tasks it placed by their links (those with such a link that are
// not completed).
std::set<int32_t> Reschedule(TqorExchangePlan& plan);

// "YYYY-MM-DD" of a day number.
std::string IsoDay(int32_t day);
// Every line break (CR LF, CR or LF) as LF.
std::string WithLf(std::string_view text);
// The bytes as lower-case hexadecimal, and back.
std::string Hex(std::string_view bytes);
std::string Unhex(std::string_view hex);

}  // namespace writers_test
