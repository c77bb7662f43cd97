// The planner grid widget driven by real mouse and key events, and its pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include <random>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "tests/qtTestEnvironment.h"

namespace {

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("plannergrid_tests"));

double Day(int m, int d, int y = 2005) {
  return EncodeDate(y, m, d);
}

QColor Rgb(TqorColor c) {
  return QColor(c.Red, c.Green, c.Blue);
}

// One raised event: its name and element.
struct Raised {
  std::string Event;
  TqorXMLNode2* Node;
  bool operator==(const Raised&) const = default;
};

class GridTest : public ::testing::Test {
 protected:
  TqorRegionalSettingsGuard guard_;
  double today_ = Day(1, 12);
  std::unique_ptr<TqorPlannerGrid> grid_;
  std::vector<Raised> raised_;
  TqorXMLNode2 *p1_ = nullptr, *t10_ = nullptr, *t11_ = nullptr, *p2_ = nullptr, *t20_ = nullptr;

  void SetUp() override {
    RegionalSettings() = TqorRegionalSettings();
    grid_ = std::make_unique<TqorPlannerGrid>(nullptr, [this] { return today_; });
    grid_->resize(900, 400);
    grid_->SetStartDate(Day(1, 1));
    grid_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(grid_.get()));
  }

  // Alpha (1 to 20 January) with Design (3 to 5, half of a 35-hour resource) and Build (6 to
  // 8); Beta (10 to 15) with Test (12 to 14). Rows: 2 Alpha, 3 Design, 4 Build, 5 Beta, 6 Test.
  void LoadPlan() {
    auto res = std::make_unique<TqorXMLNode2>("resource");
    res->SetAttribute("id", "1");
    res->SetAttribute("initials", "AB");
    res->SetAttribute("hoursperweek", 35.0);
    grid_->ResourcesNode()->AddChild(std::move(res));
    p1_ = Project("1", "Alpha", Day(1, 1), Day(1, 20));
    p2_ = Project("2", "Beta", Day(1, 10), Day(1, 15));
    t10_ = grid_->AddTask("1", "10", "Design", Day(1, 3), Day(1, 5), false);
    t11_ = grid_->AddTask("1", "11", "Build", Day(1, 6), Day(1, 8), false);
    t20_ = grid_->AddTask("2", "20", "Test", Day(1, 12), Day(1, 14), false);
    auto a = std::make_unique<TqorXMLNode2>("assignment");
    a->SetAttribute("id", "1");
    a->SetAttribute("resourceid", "1");
    a->SetAttribute("units", 50.0);
    t10_->AddChild(std::move(a));
    t10_->SetAttribute("assignedhours", 0.0);
    grid_->SortTasks();
    grid_->SetProjectFilter("[1][2]");
    ASSERT_EQ(grid_->RowNode(3), t10_);
    ASSERT_EQ(grid_->RowNode(6), t20_);
    AttachEvents();
  }
  TqorXMLNode2* Project(const std::string& id, const std::string& name, double s, double e) {
    TqorXMLNode2* p = grid_->AddProject(id, name);
    p->SetAttribute("startdate", s);
    p->SetAttribute("enddate", e);
    return p;
  }
  void AttachEvents() {
    auto record = [this](const char* name) {
      return [this, name](TqorPlannerGrid* sender, TqorXMLNode2* node) {
        EXPECT_EQ(sender, grid_.get());
        raised_.push_back({name, node});
      };
    };
    grid_->onTaskChanged = record("TaskChanged");
    grid_->onTaskEdit = record("TaskEdit");
    grid_->onProjectChanged = record("ProjectChanged");
    grid_->onProjectEdit = record("ProjectEdit");
  }

  int Col(int m, int d) const { return static_cast<int>(Day(m, d) - grid_->StartDate()) + 2; }
  QPoint At(int col, int row) const { return grid_->CellRect(col, row).center(); }
  QWidget* Viewport() const { return grid_->viewport(); }
  void Release(int col, int row, Qt::KeyboardModifiers mods,
               Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(Viewport(), button, mods, At(col, row));
  }
  void DoubleClick(int col, int row) {
    QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(col, row));
  }
  static double Start(const TqorXMLNode2* n) { return n->GetAttribute("startdate").AsReal(); }
  static double End(const TqorXMLNode2* n) { return n->GetAttribute("enddate").AsReal(); }
};

// --- Rescheduling ---

TEST_F(GridTest, ShiftMovesATaskAndReSortsItsProject) {
  LoadPlan();
  grid_->onTaskChanged = [this](TqorPlannerGrid*, TqorXMLNode2* task) {
    raised_.push_back({"TaskChanged", task});
    // The document holds the new values; the rows are rebuilt afterwards.
    EXPECT_EQ(Start(task), Day(1, 10));
    EXPECT_EQ(grid_->RowNode(3), t10_);
  };
  Release(Col(1, 10), 3, Qt::ShiftModifier);
  EXPECT_EQ(Start(t10_), Day(1, 10));
  EXPECT_EQ(End(t10_), Day(1, 12));
  EXPECT_DOUBLE_EQ(t10_->GetAttribute("assignedhours").AsReal(), 7.5) << "recomputed";
  EXPECT_EQ(raised_, (std::vector<Raised>{{"TaskChanged", t10_}}));
  EXPECT_EQ(p1_->GetChild(0), t11_) << "sorted by end date";
  EXPECT_EQ(grid_->RowNode(3), t11_) << "rows rebuilt";
  EXPECT_EQ(grid_->RowNode(4), t10_);
}

TEST_F(GridTest, CtrlSetsTheEndAndCtrlShiftTheStartWithinTheBar) {
  LoadPlan();
  // Ctrl: the end day, never before the start.
  Release(Col(1, 2), 3, Qt::ControlModifier);
  EXPECT_EQ(End(t10_), Day(1, 5));
  EXPECT_TRUE(raised_.empty());
  Release(Col(1, 3), 3, Qt::ControlModifier);
  EXPECT_EQ(Start(t10_), Day(1, 3));
  EXPECT_EQ(End(t10_), Day(1, 3)) << "a one-day task";
  EXPECT_DOUBLE_EQ(t10_->GetAttribute("assignedhours").AsReal(), 2.5);
  EXPECT_EQ(raised_.size(), 1u);

  // Ctrl+Shift: the start day, never after the end. t10 now ends on 3 January.
  const int row = grid_->Model().FindRow(t10_);
  Release(Col(1, 4), row, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Start(t10_), Day(1, 3));
  EXPECT_EQ(raised_.size(), 1u);
  Release(Col(1, 1), row, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Start(t10_), Day(1, 1));
  EXPECT_EQ(End(t10_), Day(1, 3));
  EXPECT_EQ(raised_.size(), 2u);

  // Alt is ignored, and any button counts.
  Release(Col(1, 9), grid_->Model().FindRow(t10_), Qt::ControlModifier | Qt::AltModifier,
          Qt::RightButton);
  EXPECT_EQ(End(t10_), Day(1, 9));
  EXPECT_EQ(raised_.size(), 3u);
  // No modifier does nothing.
  Release(Col(1, 15), grid_->Model().FindRow(t10_), Qt::NoModifier);
  EXPECT_EQ(End(t10_), Day(1, 9));
  EXPECT_EQ(raised_.size(), 3u);
}

TEST_F(GridTest, ProjectsMoveWithoutTheirTasks) {
  LoadPlan();
  Release(Col(1, 17), 5, Qt::ShiftModifier);
  EXPECT_EQ(Start(p2_), Day(1, 17));
  EXPECT_EQ(End(p2_), Day(1, 22));
  EXPECT_EQ(Start(t20_), Day(1, 12));
  EXPECT_EQ(raised_, (std::vector<Raised>{{"ProjectChanged", p2_}}));
  Release(Col(1, 23), 5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Start(p2_), Day(1, 17)) << "a start after the end is refused";
  EXPECT_EQ(raised_.size(), 1u);
}

TEST_F(GridTest, GesturesOutsideTheDayCellsOfElementsChangeNothing) {
  LoadPlan();
  const std::string before = grid_->Document().Xml();
  for (Qt::KeyboardModifiers mods :
       {Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers(Qt::ControlModifier),
        Qt::ControlModifier | Qt::ShiftModifier}) {
    Release(1, 3, mods);           // the hours column
    Release(Col(1, 10), 0, mods);  // the date header
    Release(Col(1, 10), 1, mods);  // the weekday header
    Release(0, 3, mods);           // a task's name: not even folding
  }
  EXPECT_EQ(grid_->Document().Xml(), before);
  EXPECT_TRUE(raised_.empty());

  // The placeholder row of an empty filter holds no element.
  grid_->SetProjectFilter("");
  Release(Col(1, 10), 2, Qt::ShiftModifier);
  EXPECT_EQ(grid_->Document().Xml(), before);
}

// --- Folding ---

TEST_F(GridTest, AReleaseOnAProjectNameFoldsAndUnfoldsIt) {
  LoadPlan();
  Release(0, 2, Qt::NoModifier);
  EXPECT_EQ(p1_->GetAttribute("expanded"), TqorVariant(false));
  EXPECT_EQ(grid_->RowHeight(3), 0);
  EXPECT_EQ(grid_->RowHeight(4), 0);
  EXPECT_EQ(grid_->RowHeight(6), 24) << "other projects stay";
  EXPECT_TRUE(grid_->CellRect(0, 3).isEmpty());
  EXPECT_EQ(grid_->CellRect(0, 5).top(), grid_->CellRect(0, 2).bottom() + 1)
      << "folded rows take no space";
  // With modifiers it folds all the same (column 0 reschedules nothing).
  Release(0, 2, Qt::ShiftModifier);
  EXPECT_EQ(p1_->GetAttribute("expanded"), TqorVariant(true));
  EXPECT_EQ(grid_->RowHeight(3), 24);
  EXPECT_TRUE(raised_.empty());

  // A double click on the name delivers two releases: folded and unfolded again, and opened.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
  EXPECT_EQ(p1_->GetAttribute("expanded"), TqorVariant(true));
  EXPECT_EQ(grid_->RowHeight(3), 24);
  EXPECT_EQ(raised_, (std::vector<Raised>{{"ProjectEdit", p1_}}));
}

// A project opened by a double click shows a dialog, which takes the double click's last
// release: the fold is still as it was, and the next click on the name folds as usual.
TEST_F(GridTest, ADoubleClickOnAProjectNameLeavesItsFoldAsItWas) {
  LoadPlan();
  for (const bool expanded : {true, false}) {
    ASSERT_EQ(p1_->GetAttribute("expanded"), TqorVariant(expanded));
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
    QMouseEvent dblclick(QEvent::MouseButtonDblClick, At(0, 2), Viewport()->mapToGlobal(At(0, 2)),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Viewport(), &dblclick);
    EXPECT_EQ(p1_->GetAttribute("expanded"), TqorVariant(expanded)) << "no last release";
    EXPECT_EQ(grid_->RowHeight(3), expanded ? 24 : 0);
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));  // folds by hand
  }
  // With its last release delivered, a double click leaves the fold as it was too.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 2));
  DoubleClick(0, 2);
  Release(0, 2, Qt::NoModifier);
  EXPECT_EQ(p1_->GetAttribute("expanded"), TqorVariant(true));
  EXPECT_EQ(raised_.size(), 3u);
}

// --- Double click ---

TEST_F(GridTest, DoubleClickOpensTasksOnTheirBarOrName) {
  LoadPlan();
  DoubleClick(Col(1, 5), 3);  // the last day of Design's bar
  EXPECT_EQ(raised_, (std::vector<Raised>{{"TaskEdit", t10_}, {"TaskChanged", t10_}}));
  raised_.clear();
  DoubleClick(Col(1, 6), 3);  // the day after it
  EXPECT_TRUE(raised_.empty());
  DoubleClick(0, 3);  // the name
  EXPECT_EQ(raised_, (std::vector<Raised>{{"TaskEdit", t10_}, {"TaskChanged", t10_}}));
  raised_.clear();
  DoubleClick(1, 3);  // the hours column stands for 31 December, outside Design
  EXPECT_TRUE(raised_.empty());
  DoubleClick(Col(1, 10), 0);  // the header
  EXPECT_TRUE(raised_.empty());

  // The hours column hits a task that covers the day before the period.
  TqorXMLNode2* early = grid_->AddTask("1", "12", "Early", Day(12, 30, 2004), Day(1, 2), false);
  grid_->SortTasks();
  grid_->RebuildRows();
  DoubleClick(1, grid_->Model().FindRow(early));
  EXPECT_EQ(raised_, (std::vector<Raised>{{"TaskEdit", early}, {"TaskChanged", early}}));
}

TEST_F(GridTest, DoubleClickWithoutAnEditHandlerNeitherRebuildsNorReports) {
  LoadPlan();
  grid_->onTaskEdit = nullptr;
  // A rebuild would give the row its default height back.
  grid_->Model().SetRowHeight(4, 30);
  DoubleClick(Col(1, 4), 3);
  EXPECT_TRUE(raised_.empty());
  EXPECT_EQ(grid_->RowHeight(4), 30);
  // With the handler, the rows are rebuilt after it.
  AttachEvents();
  DoubleClick(Col(1, 4), 3);
  EXPECT_EQ(grid_->RowHeight(4), 24);
}

TEST_F(GridTest, DoubleClickOpensProjectsOnTheirBarOrName) {
  LoadPlan();
  DoubleClick(Col(1, 12), 5);
  DoubleClick(0, 5);
  EXPECT_EQ(raised_, (std::vector<Raised>{{"ProjectEdit", p2_}, {"ProjectEdit", p2_}}));
  raised_.clear();
  DoubleClick(Col(1, 16), 5);
  EXPECT_TRUE(raised_.empty());
}

TEST_F(GridTest, AnEditThatDeletesTheTaskIsNotReportedAsAChange) {
  LoadPlan();
  grid_->onTaskEdit = [this](TqorPlannerGrid* grid, TqorXMLNode2* task) {
    raised_.push_back({"TaskEdit", task});
    grid->DeleteTask("10");
  };
  DoubleClick(0, 3);
  ASSERT_EQ(raised_.size(), 1u);
  EXPECT_EQ(grid_->Document().GetNodeById("task", "10"), nullptr);
  EXPECT_EQ(grid_->RowNode(3), t11_);
}

// --- Current cell, keyboard and repainting ---

// Collects the regions painted on a widget.
class PaintSpy : public QObject {
 public:
  explicit PaintSpy(QWidget* w) { w->installEventFilter(this); }
  QRegion Painted;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

// Delivers every event already posted (the paints that updates asked for among them).
void Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

TEST_F(GridTest, SelectGridCellAndTheRepaintRule) {
  LoadPlan();
  grid_->SelectGridCell(1, 3);
  grid_->SelectGridCell(4, 1);
  grid_->SelectGridCell(4, 99);
  EXPECT_EQ(grid_->Col(), 2);
  EXPECT_EQ(grid_->Row(), 2);
  grid_->SelectGridCell(2, 3);
  EXPECT_EQ(grid_->Row(), 3);
  EXPECT_EQ(grid_->SelectedRow(), 3);
  Settle();

  PaintSpy spy(Viewport());
  grid_->setFocus();
  QTest::keyClick(grid_.get(), Qt::Key_Right);
  const QRegion twoCells = QRegion(grid_->CellRect(2, 3)) | grid_->CellRect(3, 3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return spy.Painted.contains(twoCells.boundingRect()); }));
  Settle();
  EXPECT_EQ(grid_->Col(), 3);
  EXPECT_EQ(spy.Painted.boundingRect(), grid_->CellRect(2, 3) | grid_->CellRect(3, 3))
      << "within the row only the two cells repaint";

  spy.Painted = QRegion();
  QTest::keyClick(grid_.get(), Qt::Key_Down);
  ASSERT_TRUE(QTest::qWaitFor([&] { return spy.Painted.contains(Viewport()->rect()); }));
  EXPECT_EQ(grid_->Row(), 4);
  EXPECT_EQ(grid_->SelectedRow(), 4);
  EXPECT_TRUE(spy.Painted.contains(Viewport()->rect())) << "a new row repaints everything";

  // The fixed cells of the current row carry the selected gradient, the others do not.
  EXPECT_EQ(grid_->RenderCell(0, 4).pixelColor(20, 0), Rgb(qorGridColors::kSelected.Top));
  EXPECT_EQ(grid_->RenderCell(0, 3).pixelColor(20, 0), Rgb(qorGridColors::kHeader.Top));
  EXPECT_EQ(grid_->RenderCell(3, 4).pixelColor(3, 0), Rgb(qorGridColors::kSelected.Top));
}

TEST_F(GridTest, KeysMoveTheCurrentCellLikeATable) {
  LoadPlan();
  grid_->SelectGridCell(2, 2);
  grid_->setFocus();
  auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(grid_.get(), k, m);
    return std::pair{grid_->Col(), grid_->Row()};
  };
  EXPECT_EQ(key(Qt::Key_Left), (std::pair{2, 2})) << "the fixed columns are not entered";
  EXPECT_EQ(key(Qt::Key_Up), (std::pair{2, 2}));
  EXPECT_EQ(key(Qt::Key_Down), (std::pair{2, 3}));
  EXPECT_EQ(key(Qt::Key_End), (std::pair{91, 3}));
  EXPECT_TRUE(Viewport()->rect().contains(grid_->CellRect(91, 3))) << "scrolled into view";
  EXPECT_EQ(key(Qt::Key_Right), (std::pair{91, 3}));
  EXPECT_EQ(key(Qt::Key_Home), (std::pair{2, 3}));
  EXPECT_EQ(key(Qt::Key_End, Qt::ControlModifier), (std::pair{91, 6}));
  EXPECT_EQ(key(Qt::Key_Home, Qt::ControlModifier), (std::pair{2, 2}));
  EXPECT_EQ(key(Qt::Key_PageDown), (std::pair{2, 6}));
  EXPECT_EQ(key(Qt::Key_PageUp), (std::pair{2, 2}));

  // Folded rows are stepped over.
  Release(0, 2, Qt::NoModifier);
  EXPECT_EQ(key(Qt::Key_Down), (std::pair{2, 5}));
  EXPECT_EQ(key(Qt::Key_Up), (std::pair{2, 2}));
}

TEST_F(GridTest, TheCurrentCellFollowsItsElementWhenRowsAreRebuilt) {
  LoadPlan();
  grid_->SelectGridCell(5, 3);  // Design
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ShiftModifier, At(Col(1, 10), 3));
  EXPECT_EQ(grid_->RowNode(grid_->Row()), t10_);
  EXPECT_EQ(grid_->Row(), 4);
  EXPECT_EQ(grid_->Col(), Col(1, 10)) << "the press of the click made it current";

  grid_->DeleteTask("10");
  grid_->RebuildRows();
  EXPECT_EQ(grid_->Row(), 4) << "a deleted element leaves the cell on its row";
  grid_->SetProjectFilter("[9]");
  EXPECT_EQ(grid_->RowCount(), 2);
  EXPECT_EQ(grid_->Row(), -1);
  grid_->SetProjectFilter("[1][2]");
  EXPECT_EQ(grid_->Row(), 2);
}

// --- Scrolling ---

TEST_F(GridTest, ScrollingAPlanOfTwoThousandRows) {
  std::vector<TqorXMLNode2*> projects;
  std::string filter;
  for (int p = 1; p <= 200; ++p) {
    const std::string id = std::to_string(p);
    projects.push_back(Project(id, "P" + id, Day(1, 1), Day(1, 31)));
    for (int t = 0; t < 9; ++t)
      grid_->AddTask(id, std::to_string(p * 100 + t), "T", Day(1, 1 + t), Day(1, 3 + t), false);
    filter += "[" + id + "]";
  }
  grid_->SetProjectFilter(filter);
  ASSERT_EQ(grid_->RowCount(), 2002);
  QScrollBar* v = grid_->verticalScrollBar();
  const int visible = Viewport()->height() - 94;
  EXPECT_EQ(v->maximum(), 2000 * 24 - visible);

  v->setValue(v->maximum());
  EXPECT_EQ(grid_->CellRect(0, 0), QRect(0, 0, 150, 70)) << "the header stays";
  EXPECT_EQ(grid_->CellRect(0, 1), QRect(0, 70, 150, 24));
  int col, row;
  ASSERT_TRUE(grid_->CellAt(QPoint(5, Viewport()->height() - 1), col, row));
  EXPECT_EQ(std::pair(col, row), std::pair(0, 2001));
  ASSERT_TRUE(grid_->CellAt(QPoint(300, 80), col, row));
  EXPECT_EQ(row, 1);

  // Fold a random third of the projects; every point of the view still finds the row a walk
  // over all rows finds.
  std::mt19937 rng(7);
  for (int p = 0; p < 200; ++p)
    if (rng() % 3 == 0) grid_->Model().ToggleProjectRow(grid_->Model().FindRow(projects[p]));
  int total = 0;
  for (int r = 2; r < grid_->RowCount(); ++r) total += grid_->RowHeight(r);
  EXPECT_EQ(v->maximum(), total - visible);
  for (int scroll : {0, 1, 23, v->maximum() / 2, v->maximum() - 5, v->maximum()}) {
    v->setValue(scroll);
    for (int y = 94; y < Viewport()->height(); y += 7) {
      int expected = -1, top = 0;
      for (int r = 2; r < grid_->RowCount(); ++r) {
        const int h = grid_->RowHeight(r);
        if (h > 0 && y - 94 + scroll >= top && y - 94 + scroll < top + h) expected = r;
        top += h;
      }
      ASSERT_TRUE(grid_->CellAt(QPoint(400, y), col, row)) << scroll << " " << y;
      ASSERT_EQ(row, expected) << scroll << " " << y;
    }
  }

  // Ctrl+End brings the last row into view; the view paints there.
  grid_->SelectGridCell(2, 2);
  grid_->setFocus();
  QTest::keyClick(grid_.get(), Qt::Key_End, Qt::ControlModifier);
  int last = grid_->RowCount() - 1;
  while (grid_->RowHeight(last) == 0) --last;
  EXPECT_EQ(grid_->Row(), last);
  EXPECT_TRUE(Viewport()->rect().contains(grid_->CellRect(91, last)));
  EXPECT_FALSE(grid_->RenderView().isNull());
}

// --- Pixels ---

TEST_F(GridTest, PixelsOfBarsTintsMilestonesAndHeaders) {
  LoadPlan();
  t11_->SetAttribute("iscompleted", true);
  t11_->SetAttribute("ismilestone", true);
  using namespace qorGridColors;

  // A task bar: 5 pixels of day background above and below, 15 gradient lines between.
  const QImage bar = grid_->RenderCell(Col(1, 4), 3);
  ASSERT_EQ(bar.size(), QSize(14, 24));
  EXPECT_EQ(bar.pixelColor(3, 4), Rgb(kPlainDay));
  EXPECT_EQ(bar.pixelColor(3, 5), Rgb(kTask.Top));
  EXPECT_EQ(bar.pixelColor(3, 12), Rgb(GradientLineColor(kTask, 14, 7)));
  EXPECT_EQ(bar.pixelColor(3, 19), Rgb(kTask.Bottom));
  EXPECT_EQ(bar.pixelColor(3, 20), Rgb(kPlainDay));
  EXPECT_EQ(bar.pixelColor(13, 12), bar.pixelColor(3, 12)) << "the bar covers the grid line";
  EXPECT_EQ(bar.pixelColor(13, 2), Rgb(kGridLine));
  EXPECT_EQ(bar.pixelColor(6, 23), Rgb(kGridLine));

  // The completed milestone on Build's last day: black diamond on green.
  const QImage mile = grid_->RenderCell(Col(1, 8), 4);
  EXPECT_EQ(mile.pixelColor(6, 12), Rgb(kMilestone));
  EXPECT_EQ(mile.pixelColor(6, 8), Rgb(kMilestone));
  EXPECT_EQ(mile.pixelColor(1, 12), Rgb(kCompleted.Bottom)) << "outlined in the last colour";
  EXPECT_EQ(mile.pixelColor(1, 6), Rgb(GradientLineColor(kCompleted, 14, 1)));
  EXPECT_EQ(grid_->RenderCell(Col(1, 7), 4).pixelColor(6, 12),
            Rgb(GradientLineColor(kCompleted, 14, 7)))
      << "no diamond before the end day";

  // Today (12 January) in a row without a bar there.
  EXPECT_EQ(grid_->RenderCell(Col(1, 12), 3).pixelColor(5, 5), Rgb(kToday));
  EXPECT_EQ(grid_->RenderCell(Col(1, 8), 3).pixelColor(5, 5), Rgb(kNonWorkingDay));

  // Header gradients: the top line and the last line inside the cell.
  const QImage corner = grid_->RenderCell(0, 0);
  EXPECT_EQ(corner.pixelColor(5, 0), Rgb(kHeader.Top));
  EXPECT_EQ(corner.pixelColor(5, 69), Rgb(GradientLineColor(kHeader, 70, 69)));
  const QImage february = grid_->RenderCell(Col(2, 1), 0);
  EXPECT_EQ(february.pixelColor(13, 0), Rgb(kHeader.Bottom)) << "even months reversed";

  // The rotated date label stays within the 12 pixels from the cell's left edge and ends 2
  // pixels above its bottom.
  const QImage label = grid_->RenderCell(Col(1, 3), 0);  // "03 (1)"
  int inkTop = 70, inkBottom = -1, inkRight = -1;
  for (int y = 0; y < label.height(); ++y)
    for (int x = 0; x < label.width(); ++x)
      if (qGray(label.pixel(x, y)) < 100) {
        inkTop = std::min(inkTop, y);
        inkBottom = std::max(inkBottom, y);
        inkRight = std::max(inkRight, x);
      }
  EXPECT_LE(inkBottom, 68);
  EXPECT_GE(inkBottom, 60);
  EXPECT_LE(inkRight, 12);
  EXPECT_GT(inkBottom - inkTop, 20) << "a label several characters long, reading upwards";
}

// "Budget" and "Assigned" fill their quarters of the hours header in the font the system gives
// for the grid's font; the two columns between them stay the header's own colour.
TEST_F(GridTest, TheHoursLabelsKeepTheirGap) {
  const QImage header = grid_->RenderCell(1, 1);
  ASSERT_EQ(header.width(), 100);
  for (int y = header.height() / 2; y < header.height() - 1; ++y) {
    for (int x : {52, 53}) {
      EXPECT_EQ(header.pixelColor(x, y), header.pixelColor(1, y)) << x << "," << y;
    }
  }
}

TEST_F(GridTest, TheViewPaintsEveryElementInItsCell) {
  LoadPlan();
  t11_->SetAttribute("iscompleted", true);
  using namespace qorGridColors;
  grid_->SelectGridCell(Col(1, 20), 6);
  const QImage view = grid_->RenderView();
  auto at = [&](int col, int row, int dx, int dy) {
    const QRect r = grid_->CellRect(col, row);
    return view.pixelColor(r.left() + dx, r.top() + dy);
  };
  EXPECT_EQ(at(Col(1, 4), 3, 3, 5), Rgb(kTask.Top));
  EXPECT_EQ(at(Col(1, 7), 4, 3, 5), Rgb(kCompleted.Top));
  EXPECT_EQ(at(Col(1, 2), 2, 3, 5), Rgb(kProject.Top));
  EXPECT_EQ(at(Col(1, 10), 5, 3, 19), Rgb(kProject.Bottom));
  EXPECT_EQ(at(Col(1, 20), 6, 3, 0), Rgb(kSelected.Top));
  EXPECT_EQ(at(0, 6, 3, 0), Rgb(kSelected.Top));
  EXPECT_EQ(at(Col(1, 12), 3, 3, 1), Rgb(kToday));

  // An overdue day: Beta ends on 15 January, its task is stretched to the 16th.
  t20_->SetAttribute("enddate", Day(1, 16));
  const QImage after = grid_->RenderView();
  const QRect r = grid_->CellRect(Col(1, 16), 6);
  EXPECT_EQ(after.pixelColor(r.left() + 3, r.top() + 5), Rgb(kOverdue.Top));

  // The budget figure in grey and the over-budget figure in red.
  p1_->SetAttribute("budgethours", 10.0);
  p1_->SetAttribute("assignedhours", 12.5);
  const QImage hours = grid_->RenderCell(1, 2);
  int red = 0, grey = 0;
  for (int y = 0; y < hours.height(); ++y)
    for (int x = 0; x < hours.width(); ++x) {
      const QColor c = hours.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
      if (c.red() == c.green() && c.green() == c.blue() && c.red() < 150) ++grey;
    }
  EXPECT_GT(red, 10);
  EXPECT_GT(grey, 10);
}

// The view drawn cell by cell with PaintCell, nothing kept between paints: the scrolling cells,
// then the header rows, the fixed columns and the corner over them.
QImage DrawnCellByCell(const TqorPlannerGrid& grid, qreal ratio) {
  QImage image(grid.viewport()->size() * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  const TqorGridFonts fonts = TqorGridFonts::Make();
  auto paint = [&](int c0, int c1, int r0, int r1) {
    for (int r = r0; r < r1; ++r)
      for (int c = c0; c < c1; ++c) {
        const QRect q = grid.CellRect(c, r);
        if (q.isEmpty()) continue;
        TqorCellState state;
        state.Selected = c == grid.Col() && r == grid.Row();
        state.Fixed = c < 2 || r < 2;
        state.CurrentRow = grid.Row();
        const TqorRect rect{q.left(), q.top(), q.right() + 1, q.bottom() + 1};
        PaintCell(painter, DecideCell(grid.Model(), c, r, rect, state), fonts);
      }
  };
  const int cols = grid.ColCount(), rows = grid.RowCount();
  paint(2, cols, 2, rows);
  paint(2, cols, 0, 2);
  paint(0, 2, 2, rows);
  paint(0, 2, 0, 2);
  return image;
}

// The grid keeps the pictures of the cells it painted. After each change below, some made in
// the document without telling the grid, the view at device pixel ratios 1 and 2, and as the
// widget paints it, is the view drawn afresh cell by cell; the day tints follow the calendar.
TEST_F(GridTest, RepaintsAfterChangesShowTheCellsAsDrawnAfresh) {
  LoadPlan();
  auto expectFresh = [&](const char* step) {
    for (const qreal ratio : {1.0, 2.0, 1.0}) {
      const QImage view = grid_->RenderView(ratio);
      ASSERT_EQ(view.size(), Viewport()->size() * ratio) << step;
      EXPECT_TRUE(view == DrawnCellByCell(*grid_, ratio)) << step << " at ratio " << ratio;
    }
    Settle();
    const QImage painted = Viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(painted == DrawnCellByCell(*grid_, 1)) << step << ", painted by the widget";
    // Above the bars of Beta's task row.
    for (int c = 2; c < grid_->ColCount(); ++c) {
      if (c == grid_->Col() && grid_->Row() == 6) continue;
      const double day = grid_->ColToDate(c);
      const TqorColor tint = day == today_          ? qorGridColors::kToday
                             : IsNonWorkingDay(day) ? qorGridColors::kNonWorkingDay
                                                    : qorGridColors::kPlainDay;
      ASSERT_EQ(grid_->RenderCell(c, 6).pixelColor(3, 1), Rgb(tint)) << step << ", column " << c;
    }
  };
  expectFresh("the plan");

  // Bars moved, completed and made a milestone in the document alone. Build's two days then
  // differ only by the diamond.
  t10_->SetAttribute("startdate", Day(1, 4));
  t10_->SetAttribute("enddate", Day(1, 9));
  t11_->SetAttribute("enddate", Day(1, 7));
  t11_->SetAttribute("iscompleted", true);
  t11_->SetAttribute("ismilestone", true);
  p1_->SetAttribute("tag", "ALPHA");
  expectFresh("dates, states and a tag changed");
  grid_->Model().SetCriticalTasks({"10"});
  grid_->Model().SetShowCriticalPath(true);
  expectFresh("the critical path shown");

  grid_->SelectGridCell(Col(1, 6), 4);
  expectFresh("another row selected");
  grid_->SelectGridCell(Col(1, 7), 4);
  expectFresh("another cell in the row selected");

  today_ = Day(1, 10);
  expectFresh("another day is today");

  // Three days later: the weekends and the labels of the header move.
  grid_->SetStartDate(Day(1, 4));
  expectFresh("the period moved");
  grid_->NextYear();
  expectFresh("a year later");
  grid_->SetStartDate(Day(1, 1));

  grid_->Model().ToggleProjectRow(2);
  grid_->horizontalScrollBar()->setValue(3 * TqorPlannerGrid::kDayColWidth + 5);
  expectFresh("a project folded and the days scrolled");
}

}  // namespace
