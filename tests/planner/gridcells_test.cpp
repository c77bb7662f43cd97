// What the calendar grid's cells show, decided without pixels.
#include <algorithm>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorGridCells.h"
#include "tests/planner/base/test_util.h"

namespace {

using namespace qorGridColors;

constexpr TqorRect kDayRect{250, 94, 264, 118};  // a 14 x 24 day cell
constexpr TqorRect kHeaderRect{250, 0, 264, 70};
constexpr TqorRect kWeekdayRect{250, 70, 264, 94};
constexpr TqorRect kNameRect{0, 94, 150, 118};
constexpr TqorRect kHoursRect{150, 94, 250, 118};

class GridCellsTest : public RegionalTest {
 protected:
  double today_ = EncodeDate(2005, 1, 12);
  TqorPlannerModel model_{[this] { return today_; }};

  void SetUp() override {
    RegionalTest::SetUp();
    model_.SetStartDate(EncodeDate(2005, 1, 1));
  }
  int Col(int y, int m, int d) const {
    return static_cast<int>(EncodeDate(y, m, d) - model_.StartDate()) + 2;
  }
  TqorCellDrawing Cell(int col, int row, TqorRect rect, TqorCellState state = {}) const {
    return DecideCell(model_, col, row, rect, state);
  }
  TqorXMLNode2* AddResource(const std::string& id, const std::string& initials) {
    auto r = std::make_unique<TqorXMLNode2>("resource");
    r->SetAttribute("id", id);
    r->SetAttribute("initials", initials);
    r->SetAttribute("hoursperweek", 35.0);
    return model_.ResourcesNode()->AddChild(std::move(r));
  }
  void Assign(TqorXMLNode2* task, const std::string& id, const std::string& resourceId) {
    auto a = std::make_unique<TqorXMLNode2>("assignment");
    a->SetAttribute("id", id);
    a->SetAttribute("resourceid", resourceId);
    a->SetAttribute("units", 50.0);
    task->AddChild(std::move(a));
  }
  TqorXMLNode2* Project(const std::string& id, double start, double end) {
    TqorXMLNode2* p = model_.AddProject(id, "Project " + id);
    p->SetAttribute("startdate", start);
    p->SetAttribute("enddate", end);
    return p;
  }
  void ShowAll(const std::string& filter) { model_.SetProjectFilter(filter); }
};

std::vector<std::string> TextsOf(const TqorCellDrawing& d) {
  std::vector<std::string> out;
  for (const auto& t : d.Texts) out.push_back(t.Text);
  return out;
}

TEST_F(GridCellsTest, DateHeaderLabels) {
  model_.SetStartDate(EncodeDate(2024, 3, 1));
  auto label = [&](int m, int d) { return HeaderDateLabel(model_, EncodeDate(2024, m, d)); };
  EXPECT_EQ(label(4, 1), "01-04-2024") << "a Monday, but the first of the month wins";
  EXPECT_EQ(label(3, 31), "31 Easter");
  EXPECT_EQ(label(5, 9), "09 Asc");
  EXPECT_EQ(label(5, 19), "19 Pent");
  EXPECT_EQ(label(4, 8), "08 (15)") << "Mondays carry the ISO week";
  EXPECT_EQ(label(5, 20), "20 (21)") << "Whit Monday is labelled as a Monday";
  EXPECT_EQ(label(4, 7), "07-Apr") << "other Sundays carry the month name";
  EXPECT_EQ(label(4, 2), "02");
  EXPECT_EQ(HeaderDateLabel(model_, EncodeDate(2024, 12, 30)), "30 (1)")
      << "the last days of 2024 are in week 1 of 2025";

  // Month names come from the regional settings.
  RegionalSettings().ShortMonthNames[3] = "avr.";
  EXPECT_EQ(label(4, 14), "14-avr.");

  // The label is drawn rotated upwards from the bottom-left corner of the cell, 2 pixels up.
  const TqorCellDrawing d = Cell(Col(2024, 3, 31), 0, kHeaderRect);
  ASSERT_EQ(d.Texts.size(), 1u);
  EXPECT_EQ(d.Texts[0].Text, "31 Easter");
  EXPECT_EQ(d.Texts[0].Angle, 90);
  EXPECT_EQ(d.Texts[0].Origin, (TqorPoint{250, 68}));
  EXPECT_FALSE(d.Texts[0].Ellipsis);
  EXPECT_TRUE(d.GridLines.empty()) << "the date header has no grid lines";
}

TEST_F(GridCellsTest, WeekdayHeaderUsesTheRegionalNamesAndTheDayBackground) {
  RegionalSettings().ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  const TqorCellDrawing mon = Cell(Col(2005, 1, 3), 1, kWeekdayRect);
  EXPECT_EQ(TextsOf(mon), std::vector<std::string>{"Mo"});
  EXPECT_EQ(mon.Texts[0].Angle, 90);
  EXPECT_EQ(mon.Texts[0].Origin, (TqorPoint{250, 92}));
  EXPECT_EQ(mon.Background.Kind, TqorCellFill::Solid);
  EXPECT_EQ(mon.Background.Color, kPlainDay);
  EXPECT_EQ(mon.GridLines.size(), 2u);
  const TqorCellDrawing sat = Cell(Col(2005, 1, 8), 1, kWeekdayRect);
  EXPECT_EQ(TextsOf(sat), std::vector<std::string>{"Sa"});
  EXPECT_EQ(sat.Background.Color, kNonWorkingDay);
}

TEST_F(GridCellsTest, FixedCellGradients) {
  // January is odd, February even: even months reverse the date header's gradient.
  EXPECT_EQ(Cell(Col(2005, 1, 31), 0, kHeaderRect).Background.Gradient, kHeader);
  const TqorGradient reversed{kHeader.Bottom, kHeader.Top};
  EXPECT_EQ(Cell(Col(2005, 2, 1), 0, kHeaderRect).Background.Gradient, reversed);

  for (auto [c, r] : {std::pair{0, 0}, {1, 0}, {0, 1}}) {
    const TqorCellDrawing d = Cell(c, r, {0, 0, 150, 70});
    EXPECT_EQ(d.Background.Kind, TqorCellFill::Gradient);
    EXPECT_EQ(d.Background.Gradient, kHeader);
    EXPECT_EQ(d.Background.Rect, (TqorRect{0, 0, 150, 70}));
    EXPECT_TRUE(d.Texts.empty()) << c << "," << r;
    EXPECT_TRUE(d.GridLines.empty());
  }

  const TqorCellDrawing hours = Cell(1, 1, {150, 70, 250, 94});
  ASSERT_EQ(TextsOf(hours), (std::vector<std::string>{"Hours", "Budget", "Assigned"}));
  EXPECT_EQ(hours.Texts[0].Align, TqorTextAlign::Center);
  EXPECT_EQ(hours.Texts[0].Rect, (TqorRect{150, 70, 250, 82}));
  EXPECT_EQ(hours.Texts[1].Color, kSecondaryText);
  EXPECT_EQ(hours.Texts[1].Align, TqorTextAlign::Right);
  EXPECT_EQ(hours.Texts[1].Rect, (TqorRect{152, 82, 202, 94}));
  EXPECT_EQ(hours.Texts[2].Color, kText);
  EXPECT_EQ(hours.Texts[2].Rect, (TqorRect{204, 82, 248, 94}))
      << "a gap between the labels, whatever the font's width";
  EXPECT_GE(hours.Texts[2].Rect.Left - hours.Texts[1].Rect.Right, 2);
}

TEST_F(GridCellsTest, CurrentRowAndSelectedCell) {
  Project("1", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 20));
  model_.AddTask("1", "10", "Build", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), false);
  ShowAll("[1]");
  TqorCellState state;
  state.CurrentRow = 3;
  EXPECT_EQ(Cell(0, 3, kNameRect, state).Background.Gradient, kSelected);
  EXPECT_EQ(Cell(1, 3, kHoursRect, state).Background.Gradient, kSelected);
  EXPECT_EQ(Cell(0, 2, kNameRect, state).Background.Gradient, kHeader);

  // A selected day cell: the selected gradient over the whole cell, the bar still on top.
  state.Selected = true;
  const TqorCellDrawing sel = Cell(Col(2005, 1, 4), 3, kDayRect, state);
  EXPECT_EQ(sel.Background.Kind, TqorCellFill::Gradient);
  EXPECT_EQ(sel.Background.Gradient, kSelected);
  EXPECT_EQ(sel.Background.Rect, kDayRect);
  EXPECT_EQ(sel.Bar.Kind, TqorBarKind::Task);
  // Not selected: a solid fill that leaves the right and bottom grid lines alone.
  const TqorCellDrawing plain = Cell(Col(2005, 1, 4), 3, kDayRect);
  EXPECT_EQ(plain.Background.Kind, TqorCellFill::Solid);
  EXPECT_EQ(plain.Background.Rect, (TqorRect{250, 94, 263, 117}));
  EXPECT_EQ(plain.GridLines,
            (std::vector<TqorLineSegment>{{{263, 94}, {263, 117}}, {{263, 117}, {250, 117}}}));
}

TEST_F(GridCellsTest, DayTints) {
  auto color = [&](int m, int d) { return Cell(Col(2005, m, d), 2, kDayRect).Background.Color; };
  EXPECT_EQ(color(1, 12), kToday);
  EXPECT_EQ(color(1, 11), kPlainDay);
  EXPECT_EQ(color(1, 8), kNonWorkingDay);
  EXPECT_EQ(color(1, 9), kNonWorkingDay);
  EXPECT_EQ(color(3, 28), kNonWorkingDay) << "Easter Monday 2005";
  today_ = EncodeDate(2005, 1, 8);
  EXPECT_EQ(color(1, 8), kToday) << "today wins over the weekend";
  // The placeholder row of an empty planner: tints, no bars, no texts.
  EXPECT_TRUE(model_.HasPlaceholderRow());
  const TqorCellDrawing d = Cell(Col(2005, 1, 8), 2, kDayRect);
  EXPECT_EQ(d.Bar.Kind, TqorBarKind::None);
  EXPECT_TRUE(d.Texts.empty());
  EXPECT_TRUE(Cell(0, 2, kNameRect).Texts.empty());
}

TEST_F(GridCellsTest, TaskBarsOverdueCompletedAndMilestones) {
  Project("1", EncodeDate(2005, 1, 1), EncodeDate(2005, 1, 4));
  TqorXMLNode2* late =
      model_.AddTask("1", "10", "Late", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), false);
  TqorXMLNode2* done =
      model_.AddTask("1", "11", "Done", EncodeDate(2005, 1, 2), EncodeDate(2005, 1, 2), true);
  done->SetAttribute("iscompleted", true);
  ShowAll("[1]");
  ASSERT_EQ(model_.RowNode(3), late);
  ASSERT_EQ(model_.RowNode(4), done);

  auto bar = [&](int row, int day) { return Cell(Col(2005, 1, day), row, kDayRect).Bar; };
  EXPECT_EQ(bar(3, 2).Kind, TqorBarKind::None);
  EXPECT_EQ(bar(3, 3).Kind, TqorBarKind::Task);
  EXPECT_EQ(bar(3, 4).Kind, TqorBarKind::Task);
  EXPECT_EQ(bar(3, 5).Kind, TqorBarKind::Overdue) << "after the project's end";
  EXPECT_EQ(bar(3, 5).Gradient, kOverdue);
  EXPECT_EQ(bar(3, 6).Kind, TqorBarKind::None);
  EXPECT_FALSE(bar(3, 5).Milestone);
  EXPECT_EQ(bar(3, 3).Rect, (TqorRect{250, 99, 264, 113})) << "5 pixels off top and bottom";

  // A completed one-day milestone: green with a black diamond outlined in the bar's last colour.
  const TqorCellBar m = bar(4, 2);
  EXPECT_EQ(m.Kind, TqorBarKind::Completed);
  EXPECT_EQ(m.Gradient, kCompleted);
  EXPECT_TRUE(m.Milestone);
  EXPECT_EQ(m.MilestoneFill, kMilestone);
  EXPECT_EQ(m.MilestoneOutline, kCompleted.Bottom);

  // A milestone over several days has its diamond on the end day only; overdue wins over
  // completed.
  late->SetAttribute("ismilestone", true);
  late->SetAttribute("iscompleted", true);
  EXPECT_FALSE(bar(3, 4).Milestone);
  EXPECT_EQ(bar(3, 4).Kind, TqorBarKind::Completed);
  EXPECT_TRUE(bar(3, 5).Milestone);
  EXPECT_EQ(bar(3, 5).Kind, TqorBarKind::Overdue);
  EXPECT_EQ(bar(3, 5).MilestoneOutline, kOverdue.Bottom);
}

TEST_F(GridCellsTest, ProjectBars) {
  TqorXMLNode2* p = Project("1", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 4));
  ShowAll("[1]");
  auto bar = [&](int day) { return Cell(Col(2005, 1, day), 2, kDayRect).Bar; };
  EXPECT_EQ(bar(2).Kind, TqorBarKind::None);
  EXPECT_EQ(bar(3).Kind, TqorBarKind::Project);
  EXPECT_EQ(bar(3).Gradient, kProject);
  EXPECT_EQ(bar(5).Kind, TqorBarKind::None);
  p->SetAttribute("iscompleted", true);
  EXPECT_EQ(bar(4).Kind, TqorBarKind::Completed);
  p->SetAttribute("ismilestone", true);
  EXPECT_FALSE(bar(4).Milestone) << "projects have no diamonds";
}

TEST_F(GridCellsTest, HourFigures) {
  TqorXMLNode2* p = Project("1", 0, 0);
  p->SetAttribute("budgethours", 10.0);
  p->SetAttribute("assignedhours", 12.5);
  TqorXMLNode2* t = model_.AddTask("1", "10", "T", 0, 0, false);
  t->SetAttribute("assignedhours", 7.25);
  ShowAll("[1]");

  const TqorCellDrawing over = Cell(1, 2, kHoursRect);
  ASSERT_EQ(TextsOf(over), (std::vector<std::string>{"10.0", "12.5"}));
  EXPECT_EQ(over.Texts[0].Color, kSecondaryText);
  EXPECT_EQ(over.Texts[1].Color, kOverBudget);
  EXPECT_TRUE(over.Texts[0].Bold && over.Texts[1].Bold);
  EXPECT_EQ(over.Texts[0].Rect, (TqorRect{152, 94, 202, 118}));
  EXPECT_EQ(over.Texts[1].Rect, (TqorRect{202, 94, 248, 118}));
  EXPECT_EQ(over.Texts[1].Align, TqorTextAlign::Right);

  p->SetAttribute("budgethours", 12.5);
  EXPECT_EQ(Cell(1, 2, kHoursRect).Texts[1].Color, kText) << "on budget is not over budget";

  const TqorCellDrawing task = Cell(1, 3, kHoursRect);
  ASSERT_EQ(TextsOf(task), std::vector<std::string>{"7.2"}) << "%2.1f rounds like printf";
  EXPECT_EQ(task.Texts[0].Rect, (TqorRect{150, 94, 248, 118}));
  EXPECT_FALSE(task.Texts[0].Bold);
  EXPECT_EQ(task.Texts[0].Color, kText);

  RegionalSettings().DecimalSeparator = ",";
  EXPECT_EQ(FormatGridHours(12.5), "12,5");
  EXPECT_EQ(FormatGridHours(0), "0,0");
  RegionalSettings().DecimalSeparator = ".";
  EXPECT_EQ(FormatGridHours(1234.56), "1234.6");

  // Values that are missing or not numbers leave their figure out instead of failing.
  p->SetAttribute("assignedhours", "n/a");
  const TqorCellDrawing broken = Cell(1, 2, kHoursRect);
  EXPECT_EQ(TextsOf(broken), std::vector<std::string>{"12.5"});
  EXPECT_TRUE(Cell(1, 3, kHoursRect).Texts.size() == 1);
  t->SetAttribute("assignedhours", TqorVariant::Null());
  EXPECT_TRUE(Cell(1, 3, kHoursRect).Texts.empty());
}

TEST_F(GridCellsTest, NamesTagsAndInitials) {
  TqorXMLNode2* p = Project("1", 0, 0);
  p->SetAttribute("tag", "ALPHA");
  TqorXMLNode2* alone = model_.AddTask("1", "10", "Alone", 0, 0, false);
  TqorXMLNode2* team = model_.AddTask("1", "11", "Team", 0, 0, false);
  AddResource("1", "AB");
  AddResource("2", "CD");
  Assign(team, "1", "1");
  Assign(team, "2", "99");  // its resource is gone: skipped
  Assign(team, "3", "2");
  ShowAll("[1]");
  ASSERT_EQ(model_.RowNode(3), alone);

  const TqorCellDrawing project = Cell(0, 2, kNameRect);
  ASSERT_EQ(TextsOf(project), (std::vector<std::string>{"Project 1", "ALPHA"}));
  EXPECT_TRUE(project.Texts[0].Bold);
  EXPECT_EQ(project.Texts[0].Rect, (TqorRect{2, 94, 150, 106}));
  EXPECT_EQ(project.Texts[1].Rect, (TqorRect{2, 106, 150, 118}));
  EXPECT_EQ(project.Texts[1].Color, kSecondaryText);
  EXPECT_FALSE(project.Texts[1].Bold);

  const TqorCellDrawing a = Cell(0, 3, kNameRect);
  ASSERT_EQ(TextsOf(a), std::vector<std::string>{"Alone"});
  EXPECT_EQ(a.Texts[0].Rect, (TqorRect{7, 94, 150, 118})) << "centred in the whole cell";
  EXPECT_FALSE(a.Texts[0].Bold);

  const TqorCellDrawing t = Cell(0, 4, kNameRect);
  ASSERT_EQ(TextsOf(t), (std::vector<std::string>{"Team", "AB, CD"}));
  EXPECT_EQ(t.Texts[0].Rect, (TqorRect{7, 94, 150, 106}));
  EXPECT_EQ(t.Texts[1].Rect, (TqorRect{7, 106, 150, 118}));
  EXPECT_EQ(t.Texts[1].Color, kSecondaryText);
  for (const auto& text : t.Texts) {
    EXPECT_TRUE(text.Ellipsis);
    EXPECT_EQ(text.Angle, 0);
    EXPECT_EQ(text.Align, TqorTextAlign::Left);
  }
  // Day cells below the headers carry no text.
  EXPECT_TRUE(Cell(Col(2005, 1, 3), 4, kDayRect).Texts.empty());
}

TEST_F(GridCellsTest, CollapsedRowsAndFilters) {
  TqorXMLNode2* p = Project("1", EncodeDate(2005, 1, 1), EncodeDate(2005, 1, 9));
  model_.AddTask("1", "10", "T", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), false);
  ShowAll("[1]");
  ASSERT_TRUE(model_.ToggleProjectRow(2));
  ASSERT_EQ(p->GetAttribute("expanded"), TqorVariant(false));
  for (int c : {0, 1, Col(2005, 1, 4)}) EXPECT_FALSE(Cell(c, 3, kDayRect).Visible);
  EXPECT_TRUE(Cell(Col(2005, 1, 4), 2, kDayRect).Visible);

  // An empty filter shows the placeholder row even though projects exist.
  model_.SetProjectFilter("");
  EXPECT_TRUE(model_.HasPlaceholderRow());
  EXPECT_EQ(Cell(Col(2005, 1, 4), 2, kDayRect).Bar.Kind, TqorBarKind::None);
  // A filter that names no project leaves only the header rows.
  model_.SetProjectFilter("[7]");
  EXPECT_EQ(model_.RowCount(), 2);
  EXPECT_FALSE(Cell(0, 2, kNameRect).Visible);
}

TEST_F(GridCellsTest, BadValuesAndDaysOutsideTheCalendarNeverFail) {
  model_.AddProject("1", "No dates");
  TqorXMLNode2* t = model_.AddTask("1", "10", "Bad", 0, 0, true);
  t->SetAttribute("startdate", "soon");
  ShowAll("[1]");
  for (int c = 0; c < TqorPlannerModel::kColumnCount; ++c)
    for (int r = 0; r < 4; ++r) {
      const TqorCellDrawing d = Cell(c, r, kDayRect);
      EXPECT_EQ(d.Bar.Kind, TqorBarKind::None);
    }
  EXPECT_EQ(TextsOf(Cell(0, 2, kNameRect)), std::vector<std::string>{"No dates"});

  // The last period the calendar can show runs past 31 December 9999: those columns stay
  // plain and unlabelled.
  model_.SetStartDate(EncodeDate(9999, 12, 1));
  const int lastDay = Col(9999, 12, 31);
  EXPECT_EQ(TextsOf(Cell(lastDay, 0, kHeaderRect)), std::vector<std::string>{"31"});
  const TqorCellDrawing beyond = Cell(lastDay + 1, 0, kHeaderRect);
  EXPECT_TRUE(beyond.Visible);
  EXPECT_TRUE(beyond.Texts.empty());
  EXPECT_EQ(Cell(lastDay + 1, 2, kDayRect).Background.Color, kPlainDay);
  EXPECT_TRUE(Cell(TqorPlannerModel::kColumnCount, 0, kHeaderRect).Texts.empty());
}

TEST_F(GridCellsTest, GradientLines) {
  // A 14-pixel bar: 15 lines from the top colour to the bottom colour.
  EXPECT_EQ(GradientLineColor(kTask, 14, 0), kTask.Top);
  EXPECT_EQ(GradientLineColor(kTask, 14, 14), kTask.Bottom);
  // Line 7 of 14 is half way: 221 + 7 * (108 - 221) / 14 = 164.5, a tie rounded to even.
  EXPECT_EQ(GradientLineColor(kTask, 14, 7), (TqorColor{164, 210, 255}));
  EXPECT_EQ(GradientLineColor(kHeader, 70, 35), (TqorColor{216, 216, 216}));  // 215.5 -> 216
  // 255 + 2 * (249 - 255) / 24 = 254.5: halves go to the even neighbour.
  EXPECT_EQ(GradientLineColor(kProject, 24, 2).Red, 254);
  EXPECT_EQ(GradientLineColor(kTask, 0, 0), kTask.Top) << "a flat gradient is its top colour";
}

TEST_F(GridCellsTest, MilestoneDiamond) {
  EXPECT_EQ(MilestonePolygon({250, 99, 264, 113}),
            (std::array<TqorPoint, 4>{TqorPoint{251, 106}, TqorPoint{256, 101}, TqorPoint{261, 106},
                                      TqorPoint{256, 111}}));
}

}  // namespace
