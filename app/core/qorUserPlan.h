// The user's planner: a planner database in the user's data folder, made from the template the
// program ships (db/Vazadod.zuz in the program's data folder) on the first start. The program
// folder is not writable on an installed system, and a rebuild or reinstall replaces the
// template only: an existing planner is never touched.
#pragma once

#include <stdexcept>
#include <string>

// The user's planner cannot be made (no template, a folder that cannot be written).
class EqorUserPlanError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes planPath a copy of templatePath unless a file of that name exists; the copy appears
// whole or not at all (written beside it, then linked in place), readable and writable by the
// user. Missing folders are created. Returns planPath.
std::string EnsureUserPlan(const std::string& templatePath, const std::string& planPath);
