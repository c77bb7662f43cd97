// The program entry: the command line, the user's planner, the application object, the main
// window, the event loop. Exit status: 0 after the window closed, 1 when the planner database
// could not be opened (the error was shown), 2 for wrong usage.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/core/qorCommandLine.h"
#include "app/core/qorUserPlan.h"
#include "app/qorAppDir.h"
#include "app/qorApplication.h"
#include "app/qorErrorReport.h"
#include "app/qorMessagePrompts.h"
#include "app/uVazadod.h"

#ifndef VAZADOD_VERSION
#define VAZADOD_VERSION "0.1"
#endif

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr, "Vazadod: %s\n%sTry 'Vazadod --help' for more information.\n",
               problem.c_str(), CommandLineSynopsis().c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("Vazadod"));
  // --help and --version answer without a display.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      const std::string plan = UserPlanPath();
      std::fputs(CommandLineHelp(plan.empty() ? "(no data folder is known)" : plan).c_str(),
                 stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Vazadod %s\n", VAZADOD_VERSION);
      return 0;
    }
  }

  // The application object takes the toolkit's own options out of the arguments.
  TqorApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Vazadod"));
  QGuiApplication::setDesktopFileName(QStringLiteral("vazadod"));
  const TqorCommandLine commandLine =
      ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (commandLine.Action == TqorCommandLine::TAction::Usage) return Usage(commandLine.Problem);

  TqorMessagePrompts prompts;
  SetUserPrompts(&prompts);
  int result = 1;
  std::string database = commandLine.Database;
  if (database.empty()) {
    // The user's planner, made from the shipped empty one on the first start.
    const std::string plan = UserPlanPath();
    const std::string templatePath =
        ResolveAppDir(QCoreApplication::applicationDirPath().toStdString()) + "db/Vazadod.zuz";
    RunGuarded([&] {
      if (plan.empty())
        throw EqorUserPlanError(
            "No data folder is known for your planner. Start Vazadod with --database FILE.");
      database = EnsureUserPlan(templatePath, plan);
    });
  }
  if (!database.empty()) {
    // The dialogs of the planner join the main window here, each created once for the whole
    // run.
    TfrmVazadod frmVazadod(database);
    if (!frmVazadod.StartFailed()) {
      frmVazadod.show();
      result = app.exec();
    }
  }
  SetUserPrompts(nullptr);
  return result;
}
