// The program folder from which the program's files are addressed: help/, later db/ and
// reports/. A program run from its build folder finds help/ beside it; an installed program
// (bin/Vazadod) finds its files in ../share/vazadod/.
#pragma once

#include <string>

// The folder, ending in "/": exeDir when it holds "help/", else exeDir/../share/vazadod/ when
// that holds "help/", else exeDir (so that messages about missing files name the program's own
// folder).
std::string ResolveAppDir(const std::string& exeDir);
