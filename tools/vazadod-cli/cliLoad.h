// The load command of vazadod-cli: the resource load table (planner/schedule/qorResourceLoad.h)
// of a plan as CSV on standard output.
//
//   vazadod-cli load --from YYYY-MM-DD --to YYYY-MM-DD [--format csv] DBFILE
//
// The plan is loaded from DBFILE as the program loads it at start, and every project counts,
// whatever the stored project filter shows. The period holds both dates; a --to before --from
// or a period of more than kMaxLoadDays days is wrong usage. A damaged DBFILE is refused with
// what is damaged (exit status 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/vazadod-cli/cliCommand.h"

// The longest period the command prints (ten years).
constexpr int32_t kMaxLoadDays = 3660;

class TqorDatabaseController;
class TqorPlannerModel;

// Opens the plan (its login from the environment or the terminal) and loads it as the program
// does at start; a damaged plan is refused with what is damaged.
void LoadCliPlan(TqorDatabaseController& controller, TqorPlannerModel& planner,
                 const std::string& database);

// The command's work, with the arguments after its name; the exit status. Raises ECliUsage for
// wrong usage, and the error of whatever failed.
int RunLoadCommand(const std::vector<std::string>& args);

extern const TCliCommand kLoadCommand;
