// The program folder from which the program's files are addressed: help/, db/ (the empty
// planner that the user's planner is made from) and reports/. A program run from its build
// folder finds help/ beside it; an installed program (bin/Vazadod) finds its files in
// ../share/vazadod/. The user's own planner lives in the user's data folder.
#pragma once

#include <string>

// The folder, ending in "/": exeDir when it holds "help/", else exeDir/../share/vazadod/ when
// that holds "help/", else exeDir (so that messages about missing files name the program's own
// folder).
std::string ResolveAppDir(const std::string& exeDir);

// The user's planner: Vazadod.zuz in the user's data folder (~/.local/share/Vazadod/ by
// default); "" when the system names no such folder. REQUIRES: the application name is set.
std::string UserPlanPath();
