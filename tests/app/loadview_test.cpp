// The resource load view in the window: the table it shows is the one vazadod-cli load prints
// for the grid's period; it follows the grid's period and scroll; its cells paint what they
// hold; a double click selects the cell's first task in the grid.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/qorApplication.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/grid/qorLoadView.h"
#include "planner/grid/qorPlannerGrid.h"
#include "planner/schedule/qorResourceLoad.h"
#include "tests/app/appTestPlanner.h"
#include "tests/cliRun.h"
#include "tests/qtTestEnvironment.h"

namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TqorApplication>("app_loadview_tests", 1920, 1080));

int Cli(const std::string& args, std::string& output) {
  TCommandRun run = RunVazadodCli(args);
  output = std::move(run.Out);
  return run.Status;
}

std::string Iso(int32_t day) {
  int y = 0, m = 0, d = 0;
  DecodeDate(day, y, m, d);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  return text;
}

TEST(LoadView, ShowsTheToolsTableFollowsTheGridAndLeadsToTheTasks) {
  TTestPlanner folder("loadview");
  const std::string db = (folder.Dir() / "sample.zuz").string();
  std::string out;
  ASSERT_EQ(Cli("sample --projects 6 --tasks-per-project 12 --resources 3 --seed 21 " + db, out), 0)
      << out;
  {
    // The sample keeps every resource within its capacity: resource 1 takes every task too.
    TqorDatabaseController c;
    c.OpenDatabase(db);
    c.Execute(
        "INSERT INTO Assignments (TaskId, ResourceId, Units) SELECT TaskId, 1, 100 FROM "
        "Tasks WHERE TaskId NOT IN (SELECT TaskId FROM Assignments WHERE ResourceId = 1)");
  }
  TfrmVazadod window(db, VZ_SOURCE_DIR);
  window.resize(1600, 900);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* view = window.findChild<TqorLoadView*>("LoadView");
  auto* grid = window.TaskGrid();
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isVisible()) << "hidden until asked for";
  QAction* item = window.findChild<QAction*>("mnuResourceLoad");
  item->trigger();
  ASSERT_TRUE(view->isVisible());

  int overCells = 0;
  for (int month = 0; month < 4; ++month) {
    SCOPED_TRACE("month " + std::to_string(month));
    const TqorResourceLoad& load = view->Load();
    const auto from = static_cast<int32_t>(grid->StartDate());
    ASSERT_EQ(load.From(), from) << "the grid's period";
    ASSERT_EQ(load.Days(), 90);
    ASSERT_EQ(Cli("load --from " + Iso(from) + " --to " + Iso(from + 89) + " " + db, out), 0)
        << out;
    EXPECT_EQ(ResourceLoadCsv(load), out);

    // Each day's cell lies under the grid's column of the day, also when scrolled.
    grid->horizontalScrollBar()->setValue(month * 97);
    const int day = 30 + month;
    EXPECT_EQ(view->CellRect(0, from + day).left(),
              grid->CellRect(TqorPlannerGrid::kFixedCols + day, 0).left());

    // An over cell paints the warning colour; its tooltip and double click name its tasks.
    const QImage image = view->RenderView();
    for (int r = 0; r < load.Resources(); ++r) {
      for (int32_t d = from; d < from + 90; ++d) {
        const QRect cell = view->CellRect(r, d);
        if (!load.Over(r, d) || cell.left() < 250 || cell.right() >= image.width() ||
            cell.bottom() >= image.height())
          continue;
        ++overCells;
        EXPECT_EQ(image.pixelColor(cell.center().x(), cell.bottom() - 2), QColor(224, 64, 48));
        const QString tip = view->CellToolTip(r, d);
        for (int32_t task : load.Tasks(r, d))
          EXPECT_TRUE(tip.contains(QString::fromStdString(load.TaskName(task))))
              << tip.toStdString();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        const TqorXMLNode2* selected = grid->RowNode(grid->Row());
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(selected->GetAttributeStr("id"), std::to_string(load.Tasks(r, d).front()));
        EXPECT_EQ(grid->ColToDate(grid->Col()), d);
        break;
      }
    }
    grid->NextMonth();
  }
  EXPECT_GT(overCells, 0) << "the plan was to overbook someone";
  if (const char* shots = std::getenv("VZ_SCREENSHOT_DIR")) {
    grid->PreviousMonth();
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(QString::fromUtf8(shots) + "/load-view.png"));
  }
  item->trigger();
  EXPECT_FALSE(view->isVisible());
}

}  // namespace
