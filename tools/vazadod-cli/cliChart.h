// The chart command of vazadod-cli: the plan's chart (planner/chart/qorChartLayout.h) as a PDF
// tiled over pages, a PNG image or an SVG drawing.
//
//   vazadod-cli chart [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--scale day|week|month]
//                     --format pdf|png|svg [--page A4|Letter|A3] [--landscape] [--fit]
//                     [--dpi N] [--critical] [--unfolded] [--all-projects] [--title TEXT]
//                     --output FILE DBFILE
//
// The plan is loaded from DBFILE as the program loads it at start; the chart shows the projects
// the stored project filter shows (all of them with --all-projects), folded as stored (every
// project unfolded with --unfolded). The period defaults to the first and last day of what it
// shows. Drawing needs no display: the command uses Qt's offscreen platform unless
// QT_QPA_PLATFORM names another.
#pragma once

#include <string>
#include <vector>

#include "tools/vazadod-cli/cliCommand.h"

int RunChartCommand(const std::vector<std::string>& args);

extern const TCliCommand kChartCommand;
