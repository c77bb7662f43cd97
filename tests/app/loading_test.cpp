// The main window started on a planner database: the grid shows every visible project with its
// tasks by end date, names, initials, hours and colours as stored, with the stored filter and
// report format; a database that cannot be opened ends the start with the engine's message and
// leaves the file as it was; a damaged one opens read-only, says what is damaged, and is never
// written; the program's command line.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorUserPlan.h"
#include "app/qorApplication.h"
#include "app/uProjectFilter.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/objects/zuzDatabase.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "planner/qorGridCells.h"
#include "tests/app/appDamagedPlan.h"
#include "tests/app/appTestPlanner.h"
#include "tests/app/modalScript.h"
#include "tests/qtTestEnvironment.h"

namespace {

namespace st = qorStatements;

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TqorApplication>("app_loading_tests"));

// Closes every message box that opens while it lives, recording its text.
class BoxCatcher {
 public:
  BoxCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible()) continue;
        Texts.push_back(box->text().toStdString());
        box->done(QMessageBox::Ok);
      }
    });
    timer_.start(5);
  }
  std::vector<std::string> Texts;

 private:
  QTimer timer_;
};

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Loading : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void Start(const std::string& database) {
    window_ = std::make_unique<TfrmVazadod>(database, VZ_SOURCE_DIR);
    if (window_->StartFailed()) return;
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    const TqorPlannerGrid* grid = window_->TaskGrid();
    for (int row = 2; row < grid->RowCount(); ++row)
      if (const TqorXMLNode2* node = grid->RowNode(row))
        names.push_back(node->GetAttribute("name").ToText());
    return names;
  }
  TqorCellDrawing Cell(int col, int row) const {
    const TqorPlannerModel& model = window_->TaskGrid()->Model();
    return DecideCell(model, col, row, {0, 0, 150, 24}, {});
  }
  std::string Texts(int col, int row) const {
    std::string all;
    for (const TqorCellText& t : Cell(col, row).Texts) all += t.Text + "|";
    return all;
  }
  // The row showing the element with that name.
  int RowOf(const std::string& name) const {
    const TqorPlannerGrid* grid = window_->TaskGrid();
    for (int row = 2; row < grid->RowCount(); ++row)
      if (grid->RowNode(row) && grid->RowNode(row)->GetAttribute("name").ToText() == name)
        return row;
    return -1;
  }
  int ColOf(double day) const {
    return static_cast<int>(day - window_->TaskGrid()->StartDate()) + 2;
  }

  TqorRegionalSettingsGuard settings_;
  BoxCatcher boxes_;
  TTestPlanner planner_;
  std::unique_ptr<TfrmVazadod> window_;
};

TEST_F(Loading, TheGridShowsTheStoredPlan) {
  const double today = SystemToday();
  {
    TqorDatabaseController db;
    db.OpenDatabase(planner_.Path());
    db.Execute(st::InsertProject("Web", today));
    const int32_t web = st::NewProjectId(db);
    db.Execute(st::UpdateProject(web, {"Web", "WEB", today, today + 6, 100, 0, 0, 0, false, ""}));
    db.Execute(st::UpdateProjectAssignedHours(web, 999));
    db.Execute(st::InsertProject("Hidden", today));
    db.Execute(st::InsertTask("Hidden task", today, st::NewProjectId(db)));
    auto task = [&](TqorTaskValues values) {
      db.Execute(st::InsertTask(values.Name, today, web));
      const int32_t id = st::NewTaskId(db);
      db.Execute(st::UpdateTask(id, values));
      return id;
    };
    task({"Zeta", today, today + 8, false, false, 0, 0, ""});
    const int32_t alpha = task({"Alpha", today, today + 1, false, true, 20, 100, ""});
    task({"Beyond", today + 5, today + 9, false, false, 0, 0, ""});
    db.Execute(st::InsertResource("Zoë O'Neil"));
    const int32_t zoe = st::NewResourceId(db);
    db.Execute(st::UpdateResource(zoe, {"Zoë O'Neil", "ZO", 35, 50, 100, ""}));
    db.Execute(st::InsertAssignment(alpha, zoe, 50));
    db.Execute(st::UpdateProjectFilter("[" + std::to_string(web) + "]"));
    db.Execute(st::UpdateReportFormat("rtf"));
  }
  Start(planner_.Path());
  ASSERT_FALSE(window_->StartFailed());
  EXPECT_TRUE(boxes_.Texts.empty());
  // The visible project, its tasks by end date (not by name), nothing of the hidden one.
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Web", "Alpha", "Zeta", "Beyond"}));
  const int project = RowOf("Web"), alpha = RowOf("Alpha"), beyond = RowOf("Beyond");
  EXPECT_EQ(Texts(0, alpha), "Alpha|ZO|");
  EXPECT_NE(Texts(1, project).find(FormatGridHours(999)), std::string::npos)
      << "stored, not recomputed: " << Texts(1, project);
  EXPECT_NE(Texts(1, alpha).find(FormatGridHours(20)), std::string::npos) << Texts(1, alpha);
  EXPECT_EQ(Cell(ColOf(today), alpha).Bar.Kind, TqorBarKind::Completed);
  EXPECT_EQ(Cell(ColOf(today + 5), beyond).Bar.Kind, TqorBarKind::Task);
  EXPECT_EQ(Cell(ColOf(today + 8), beyond).Bar.Kind, TqorBarKind::Overdue);
  EXPECT_EQ(Cell(ColOf(today + 2), project).Bar.Kind, TqorBarKind::Project);
  // The stored settings.
  EXPECT_EQ(window_->ReportFormat(), "RTF");
  EXPECT_TRUE(window_->findChild<QAction*>("mnuReportRTF")->isChecked());
  EXPECT_FALSE(window_->findChild<QAction*>("mnuReportPDF")->isChecked());
  EXPECT_EQ(window_->TaskGrid()->Row(), 2) << "the first day cell of the first row is current";
}

TEST_F(Loading, AnUnknownReportFormatLeavesPdfChecked) {
  {
    TqorDatabaseController db;
    db.OpenDatabase(planner_.Path());
    db.Execute(st::UpdateReportFormat("DOC"));
  }
  Start(planner_.Path());
  EXPECT_EQ(window_->ReportFormat(), "DOC");
  EXPECT_TRUE(window_->findChild<QAction*>("mnuReportPDF")->isChecked());
  EXPECT_FALSE(window_->findChild<QAction*>("mnuReportRTF")->isChecked());
}

TEST_F(Loading, AFreshUserFolderGetsTheEmptyPlannerFromTheTemplate) {
  const std::string plan = (planner_.Dir() / "user" / "data" / "Vazadod.zuz").string();
  EnsureUserPlan(VZ_PLANNER_TEMPLATE, plan);
  Start(plan);
  ASSERT_FALSE(window_->StartFailed());
  EXPECT_TRUE(boxes_.Texts.empty());
  EXPECT_TRUE(RowNames().empty());
  EXPECT_TRUE(window_->TaskGrid()->Model().HasPlaceholderRow());
  EXPECT_EQ(window_->ReportFormat(), "PDF");
}

TEST_F(Loading, ADatabaseThatCannotBeOpenedEndsTheStartAndStaysAsItWas) {
  // Missing: nothing is created.
  const std::string missing = (planner_.Dir() / "missing.zuz").string();
  Start(missing);
  EXPECT_TRUE(window_->StartFailed());
  EXPECT_EQ(window_->TaskGrid(), nullptr);
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  EXPECT_NE(boxes_.Texts[0].find("File not found"), std::string::npos) << boxes_.Texts[0];
  EXPECT_FALSE(std::filesystem::exists(missing));

  // Damaged: the header is no database's.
  const std::string damaged = (planner_.Dir() / "damaged.zuz").string();
  std::ofstream(damaged, std::ios::binary) << std::string(4096, '\x5A');
  boxes_.Texts.clear();
  Start(damaged);
  EXPECT_TRUE(window_->StartFailed());
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  EXPECT_NE(boxes_.Texts[0].find("database engine raised an error"), std::string::npos);
  EXPECT_EQ(Bytes(damaged), std::string(4096, '\x5A'));

  // Locked by another program that holds it alone.
  const std::string before = Bytes(planner_.Path());
  {
    zuz::TZuzDataBase other;
    other.SetDataBaseName(planner_.Path());
    other.SetExclusive(true);
    other.Open();
    boxes_.Texts.clear();
    Start(planner_.Path());
    EXPECT_TRUE(window_->StartFailed());
    ASSERT_EQ(boxes_.Texts.size(), 1u);
    EXPECT_NE(boxes_.Texts[0].find("database engine raised an error"), std::string::npos);
    window_.reset();
  }
  EXPECT_EQ(Bytes(planner_.Path()), before);
}

// A plan made before links existed (version 1) is brought up to the program's version as it
// opens and shows all it held; one of a newer version ends the start, naming both versions, and
// stays as it was.
TEST_F(Loading, APlanOfTheVersionBeforeIsUpgradedAndOneOfANewerVersionRefused) {
  const std::string old = (planner_.Dir() / "old.zuz").string();
  std::filesystem::copy_file(VZ_SOURCE_DIR "/tests/data/plan-version-1.zuz", old);
  Start(old);
  ASSERT_FALSE(window_->StartFailed());
  EXPECT_TRUE(boxes_.Texts.empty()) << boxes_.Texts.front();
  EXPECT_EQ(StoredPlanVersion(*window_->Controller()), kPlanVersion);
  int tasks = 0;
  for (int row = 2; row < window_->TaskGrid()->RowCount(); ++row)
    if (const TqorXMLNode2* node = window_->TaskGrid()->RowNode(row))
      tasks += node->Name() == "task";
  EXPECT_EQ(tasks, 12);
  window_->Controller()->Execute("UPDATE PlanVersion SET Version=" +
                                 std::to_string(kPlanVersion + 1));
  window_.reset();

  const std::string before = Bytes(old);
  Start(old);
  EXPECT_TRUE(window_->StartFailed());
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  EXPECT_NE(boxes_.Texts[0].find("is of version " + std::to_string(kPlanVersion + 1) +
                                 ", made by a newer Vazadod; this program reads plans up to "
                                 "version " + std::to_string(kPlanVersion)),
            std::string::npos)
      << boxes_.Texts[0];
  window_.reset();
  EXPECT_EQ(Bytes(old), before);
}

TEST_F(Loading, ADamagedPlanOpensReadOnlySaysWhyAndIsNeverWritten) {
  const double today = SystemToday();
  {
    TqorDatabaseController db;
    db.OpenDatabase(planner_.Path());
    TqorDatabaseTransaction transaction(db);
    std::string filter;
    for (int p = 0; p < 3; ++p) {
      db.Execute(st::InsertProject("Project " + std::to_string(p), today));
      const int32_t project = st::NewProjectId(db);
      filter += "[" + std::to_string(project) + "]";
      for (int t = 0; t < 16; ++t) {
        const std::string name = "Task " + std::to_string(p) + "." + std::to_string(t);
        db.Execute(st::InsertTask(name, today, project));
        db.Execute(st::UpdateTask(st::NewTaskId(db),
                                  {name, today + t, today + t + 2, false, false, 0, 0, ""}));
      }
    }
    db.Execute(st::UpdateProjectFilter(filter));
    transaction.Commit();
  }
  const std::string path = planner_.Path(), whole = Bytes(path);
  struct Case {
    std::function<void()> damage;
    std::string says;
  };
  for (const Case& c :
       std::vector<Case>{{[&] { ZeroRecordPage(path, "Tasks"); }, "table Tasks: "},
                         {[&] { ReplaceInFile(path, "'TaskName'", "'TaskNbme'"); },
                          "table Tasks: its definition is not the planner's"},
                         {[&] { ZeroRecordPage(path, "Settings"); }, "table Settings: "}}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << whole;
    c.damage();
    const std::string damaged = Bytes(path);
    boxes_.Texts.clear();
    Start(path);
    ASSERT_FALSE(window_->StartFailed()) << c.says;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes_.Texts.empty(); }, 20000)) << c.says;
    const std::string told = boxes_.Texts[0];
    for (const std::string& part : {"The plan " + path + " is damaged:\n", c.says,
                                    "zuzdump --check " + path, std::string("read-only")})
      EXPECT_NE(told.find(part), std::string::npos) << part << " in:\n" << told;
    const auto* label = window_->findChild<QLabel*>("lblDamaged");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().contains(QString::fromStdString(c.says).toHtmlEscaped()))
        << label->text().toStdString();
    EXPECT_TRUE(window_->windowTitle().contains("read-only"));
    for (const char* item : {"Add1", "Delete1", "mnuProjects", "mnuResources"})
      EXPECT_FALSE(window_->findChild<QAction*>(item)->isEnabled()) << item;
    // What is left of the plan is shown; with its Settings damaged, every project.
    EXPECT_EQ(RowOf("Project 0") >= 0 && RowOf("Project 2") >= 0, true) << c.says;

    // Every way of changing the plan: refused, or for this run only.
    boxes_.Texts.clear();
    window_->Add1Click();
    window_->Delete1Click();
    window_->SetReportFormat("RTF");
    EXPECT_EQ(window_->ReportFormat(), "RTF");
    TqorPlannerGrid* grid = window_->TaskGrid();
    for (const char* name : {"Task 0.1", "Project 0"}) {
      const int row = RowOf(name);
      if (row < 0) continue;  // a task of the damaged page
      const TqorXMLNode2* node = grid->RowNode(row);
      const std::string dates =
          node->GetAttributeStr("startdate") + " " + node->GetAttributeStr("enddate");
      for (Qt::KeyboardModifiers gesture :
           {Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers(Qt::ControlModifier),
            Qt::ShiftModifier | Qt::ControlModifier})
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, gesture,
                          grid->CellRect(ColOf(today + 9), row).center());
      EXPECT_EQ(node->GetAttributeStr("startdate") + " " + node->GetAttributeStr("enddate"), dates)
          << name;
      QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                         grid->CellRect(0, row).center());
    }
    // The filter applies to this run only.
    TModalScript filter;
    filter.Then<TfrmProjectFilter>([](TfrmProjectFilter* d) {
      d->findChild<QPushButton*>("cmdSelectNone")->click();
      d->findChild<QPushButton*>("cmdOK")->click();
    });
    window_->FilterProjects1Click();
    ASSERT_TRUE(filter.Finished());
    EXPECT_TRUE(grid->Model().HasPlaceholderRow()) << "no project shown";
    EXPECT_THROW(window_->Controller()->Execute(st::InsertProject("Stored?", today)),
                 EqorDatabaseError);
    QTest::qWait(50);
    EXPECT_GE(boxes_.Texts.size(), 3u);
    for (const std::string& text : boxes_.Texts)
      EXPECT_EQ(text, "The plan is damaged and open read-only: nothing can be changed.");

    // What can be read can be exported.
    const std::string salvage = (planner_.Dir() / "salvage.xml").string();
    window_->SetSaveDialog([&](const QString&, const QString&, const QString&) {
      return QString::fromStdString(salvage);
    });
    window_->mnuExportXmlClick();
    EXPECT_NE(Bytes(salvage).find("name=\"Project 2\""), std::string::npos);
    window_.reset();
    EXPECT_EQ(Bytes(path), damaged) << c.says;
    EXPECT_FALSE(std::filesystem::exists(path + ".journal"));
  }
  // The plan is left whole for the check of the files tests leave.
  std::ofstream(path, std::ios::binary | std::ios::trunc) << whole;
}

// Runs the program with the arguments; its exit status and what it printed.
struct TRun {
  int Status = -1;
  std::string Out;
};
TRun RunProgram(const std::string& args) {
  TRun run;
  const std::string command = std::string(VZ_VAZADOD_PROGRAM) + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) run.Out.append(buf, n);
  const int status = ::pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(ProgramCommandLine, HelpVersionAndWrongUsage) {
  const TRun help = RunProgram("--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("Usage: vazadod [--database FILE | FILE]\n", 0), 0u) << help.Out;
  EXPECT_NE(help.Out.find("Vazadod/Vazadod.zuz"), std::string::npos) << "names the user's plan";
  const TRun version = RunProgram("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("vazadod (Vazadod) ", 0), 0u) << version.Out;
  for (const char* wrong : {"--bogus", "a.zuz b.zuz", "--database", "--database a.zuz b.zuz"}) {
    const TRun run = RunProgram(std::string("-platform offscreen ") + wrong);
    EXPECT_EQ(run.Status, 2) << wrong;
    EXPECT_NE(run.Out.find("Usage: vazadod"), std::string::npos) << wrong;
  }
}

}  // namespace
