// dialog-screenshots FOLDER: writes a picture of each of the windows in which projects,
// resources and holidays are edited, filled from a small sample plan, into FOLDER:
//   project.png resource.png holiday.png holidays.png projects.png resources.png
//   project-filter.png
// The plan is made in a temporary folder and removed afterwards. Run it on a display (a virtual
// one will do: xvfb-run) so that the windows are drawn as a user sees them.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <string>

#include "app/core/qorHolidayOperations.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "app/qorPlanDialogs.h"
#include "app/uHoliday.h"
#include "app/uHolidays.h"
#include "app/uProject.h"
#include "app/uProjectFilter.h"
#include "app/uProjects.h"
#include "app/uResource.h"
#include "app/uResources.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"

namespace {

namespace st = qorStatements;

void FillSamplePlan(TqorDatabaseController& db, double today) {
  db.Execute(st::InsertProject("Website relaunch", today - 10));
  db.Execute(st::UpdateProject(1, {"Website relaunch", "WEB", today - 10, today + 40, 320, 112.5,
                                   24000, 8437.5, false, "Launch before the trade fair."}));
  db.Execute(st::InsertProject("Customer survey", today));
  db.Execute(st::InsertProject("O'Neil account", today + 5));
  db.Execute(st::InsertResource("Anna Berg"));
  db.Execute(st::UpdateResource(1, {"Anna Berg", "AB", 40, 65, 100, "Team lead"}));
  db.Execute(st::InsertResource("Declan O'Neil"));
  db.Execute(st::UpdateResource(2, {"Declan O'Neil", "DON", 32, 58.5, 80, ""}));
  db.Execute(st::InsertHoliday(1, today + 14, today + 18));
  db.Execute(st::InsertHoliday(1, today + 60, today + 74));
  db.Execute(st::InsertHoliday(1, today - 40, today - 36));
  db.Execute(st::UpdateProjectFilter("[1][3]"));
}

// Lets the window system show and draw what was asked for.
void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget* window, const QString& folder, const char* name) {
  window->show();
  Wait(300);
  const QString file = QDir(folder).filePath(QLatin1String(name));
  const bool ok = window->grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  window->hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "Usage: dialog-screenshots FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  RegionalSettings().DecimalSeparator = ".";
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("Vazadod.zuz")).toStdString();
  CreatePlannerDatabase(path);
  TqorDatabaseController db;
  db.OpenDatabase(path);
  const double today = SystemToday();
  FillSamplePlan(db, today);

  QMainWindow owner;
  owner.resize(782, 644);
  auto* grid = new TqorPlannerGrid(&owner);
  owner.setCentralWidget(grid);
  LoadPlanner(db, grid->Model());
  owner.show();
  TqorPlanDialogs dialogs(&owner, db, *grid);
  TqorPlannerModel& planner = grid->Model();
  TqorXMLNode2* project = planner.Document().GetNodeById("project", "1");
  TqorXMLNode2* resource = planner.Document().GetNodeById("resource", "1");

  bool ok = true;
  dialogs.Project()->SetValues(1, ProjectValuesOf(project));
  ok &= Save(dialogs.Project(), folder, "project.png");
  dialogs.Resource()->SetValues(1, ResourceValuesOf(resource));
  ok &= Save(dialogs.Resource(), folder, "resource.png");
  dialogs.Holiday()->SetDates(today + 14, today + 18);
  ok &= Save(dialogs.Holiday(), folder, "holiday.png");
  dialogs.Holidays()->SetResourceId(1);
  dialogs.Holidays()->SetEntries(FillHolidayList(db, 1));
  ok &= Save(dialogs.Holidays(), folder, "holidays.png");
  ok &= Save(dialogs.Projects(), folder, "projects.png");
  ok &= Save(dialogs.Resources(), folder, "resources.png");
  dialogs.ProjectFilter()->SetEntries(ProjectFilterEntries(planner));
  ok &= Save(dialogs.ProjectFilter(), folder, "project-filter.png");
  return ok ? 0 : 1;
}
