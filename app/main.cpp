// The program entry: the command line, the user's planner, the application object, the main
// window, the event loop. Exit status: 0 after the window closed, 1 when the planner database
// could not be opened (the error was shown) or was found damaged (the window showed it
// read-only), 2 for wrong usage.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
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
  std::fprintf(stderr, "vazadod: %s\n%sTry 'vazadod --help' for more information.\n",
               problem.c_str(), CommandLineSynopsis().c_str());
  return 2;
}

// Whether the argument is one of the toolkit's own options (with one dash or two), which the
// application object takes out of the arguments; *takesValue tells whether the next argument is
// its value.
bool IsToolkitOption(const char* arg, bool* takesValue) {
  static const char* const withValue[] = {"platform",      "platformpluginpath",
                                          "platformtheme", "plugin",
                                          "qmljsdebugger", "qwindowgeometry",
                                          "qwindowicon",   "qwindowtitle",
                                          "session",       "display",
                                          "geometry",      "style",
                                          "stylesheet",    "title",
                                          "name",          "visual"};
  static const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  if (arg[0] != '-') return false;
  const char* name = arg[1] == '-' ? arg + 2 : arg + 1;
  for (const char* o : withValue) {
    if (std::strcmp(name, o) == 0) {
      *takesValue = true;
      return true;
    }
  }
  for (const char* o : flags) {
    if (std::strcmp(name, o) == 0) {
      *takesValue = false;
      return true;
    }
  }
  return false;
}

// The user's planner as the help names it: the home folder written as "~".
std::string ShownPath(const std::string& path) {
  const char* home = std::getenv("HOME");
  const std::string h = home ? home : "";
  if (!h.empty() && h != "/" && path.rfind(h + "/", 0) == 0) return "~" + path.substr(h.size());
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("Vazadod"));
  // The command line is read before the application object is made, so that --help, --version
  // and wrong usage need no display; the toolkit's options are left to it.
  std::vector<std::string> ours;
  for (int i = 1; i < argc; ++i) {
    bool takesValue = false;
    if (std::strcmp(argv[i], "--") == 0) {
      ours.insert(ours.end(), argv + i, argv + argc);
      break;
    }
    if (IsToolkitOption(argv[i], &takesValue)) {
      if (takesValue) ++i;
      continue;
    }
    ours.emplace_back(argv[i]);
  }
  const TqorCommandLine commandLine = ParseCommandLine(ours);
  switch (commandLine.Action) {
    case TqorCommandLine::TAction::Help: {
      const std::string plan = UserPlanPath();
      std::fputs(
          CommandLineHelp(plan.empty() ? "(no data folder is known)" : ShownPath(plan)).c_str(),
          stdout);
      return 0;
    }
    case TqorCommandLine::TAction::Version:
      std::printf("vazadod (Vazadod) %s\n", VAZADOD_VERSION);
      return 0;
    case TqorCommandLine::TAction::Usage:
      return Usage(commandLine.Problem);
    case TqorCommandLine::TAction::Run:
      break;
  }

  TqorApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Vazadod"));
  QGuiApplication::setDesktopFileName(QStringLiteral("vazadod"));

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
      if (result == 0 && frmVazadod.ReadOnly()) result = 1;
    }
  }
  SetUserPrompts(nullptr);
  return result;
}
