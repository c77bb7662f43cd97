#include <chrono>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/qorPlannerModel.h"
#include "tests/planner/base/test_util.h"

namespace {

class ModelTest : public RegionalTest {
 protected:
  double today_ = EncodeDate(2005, 1, 12);
  TqorPlannerModel model_{[this] { return today_; }};

  TqorXMLNode2* AddResource(const std::string& id, double hoursPerWeek,
                            const std::string& initials) {
    auto r = std::make_unique<TqorXMLNode2>("resource");
    r->SetAttribute("name", "R" + id);
    r->SetAttribute("initials", initials);
    r->SetAttribute("id", id);
    r->SetAttribute("hoursperweek", hoursPerWeek);
    return model_.ResourcesNode()->AddChild(std::move(r));
  }
  TqorXMLNode2* Assign(TqorXMLNode2* task, const std::string& id, const std::string& resourceId,
                       double units) {
    auto a = std::make_unique<TqorXMLNode2>("assignment");
    a->SetAttribute("id", id);
    a->SetAttribute("resourceid", resourceId);
    a->SetAttribute("units", units);
    return task->AddChild(std::move(a));
  }
  std::vector<std::string> RowIds() const {
    std::vector<std::string> ids;
    for (int r = 0; r < model_.RowCount(); ++r) {
      TqorXMLNode2* n = model_.RowNode(r);
      ids.push_back(n ? n->Name()[0] + n->GetAttributeStr("id") : "-");
    }
    return ids;
  }
};

TEST_F(ModelTest, NewDocumentHasTheSkeleton) {
  EXPECT_EQ(model_.Document().Xml(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n"
            "<planner>\r\n"
            "  <projects id=\"projects\"/>\r\n"
            "  <resources id=\"resources\"/>\r\n"
            "  <holidays id=\"holidays\"/>\r\n"
            "</planner>");
  EXPECT_TRUE(model_.Document().IndexIds());
  EXPECT_EQ(model_.ProjectsNode(), model_.Document().GetChild(0));
  EXPECT_EQ(model_.ResourcesNode(), model_.Document().GetChild(1));
  EXPECT_EQ(model_.HolidaysNode(), model_.Document().GetChild(2));
}

TEST_F(ModelTest, ProjectsAndTasks) {
  TqorXMLNode2* p = model_.AddProject("1", "Alpha");
  EXPECT_EQ(model_.Document().GetNodeById("project", "1"), p);
  ASSERT_EQ(p->AttributeCount(), 3);
  EXPECT_EQ(p->Attribute(0)->Name, "id");
  EXPECT_EQ(p->Attribute(1)->Name, "name");
  EXPECT_EQ(p->Attribute(2)->Name, "expanded");
  EXPECT_EQ(p->GetAttribute("expanded"), TqorVariant(true));

  const double jan3 = EncodeDate(2005, 1, 3), jan9 = EncodeDate(2005, 1, 9);
  TqorXMLNode2* t = model_.AddTask("1", "10", "Build", jan3, jan9, false);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Parent(), p);
  const std::string xml = model_.Document().Xml();
  EXPECT_EQ(xml.substr(xml.find("    <project")),
            "    <project id=\"1\" name=\"Alpha\" expanded=\"-1\">\r\n"
            "      <task id=\"10\" name=\"Build\" startdate=\"38355\" enddate=\"38361\" "
            "ismilestone=\"0\"/>\r\n"
            "    </project>\r\n"
            "  </projects>\r\n"
            "  <resources id=\"resources\"/>\r\n"
            "  <holidays id=\"holidays\"/>\r\n"
            "</planner>");

  EXPECT_EQ(model_.AddTask("99", "11", "Orphan", jan3, jan9, false), nullptr);
  EXPECT_EQ(model_.Document().GetNodeById("task", "11"), nullptr);
  try {
    model_.AddTask("1", "10", "Again", jan3, jan9, true);
    FAIL();
  } catch (const EqorXMLError& e) {
    EXPECT_STREQ(e.what(), "Found duplicate id 10 in name index task");
  }
  EXPECT_EQ(p->ChildCount(), 2);
  EXPECT_THROW(model_.AddProject("1", "Twin"), EqorXMLError);

  // Deleting the first task keeps the unindexed duplicate and its namesake's entry apart.
  Assign(t, "100", "1", 50);
  model_.DeleteTask("10");
  EXPECT_EQ(model_.Document().GetNodeById("task", "10"), nullptr);
  EXPECT_EQ(model_.Document().GetNodeById("assignment", "100"), nullptr);
  EXPECT_EQ(p->ChildCount(), 1);
  model_.DeleteTask("10");
  model_.DeleteTask("nope");
  EXPECT_EQ(p->ChildCount(), 1);
}

TEST_F(ModelTest, SortTasksByEndDate) {
  model_.AddProject("1", "A");
  model_.AddProject("2", "B");
  model_.AddTask("1", "a", "a", 38350, 38361, false);
  model_.AddTask("1", "b", "b", 38350, 38355, false);
  model_.AddTask("1", "c", "c", 38350, 38358, false);
  model_.AddTask("2", "d", "d", 38350, 38340, false);
  model_.SortTasks();
  TqorXMLNode2* p = model_.Document().GetNodeById("project", "1");
  EXPECT_EQ(p->GetChild(0)->GetAttributeStr("enddate"), "38355");
  EXPECT_EQ(p->GetChild(1)->GetAttributeStr("enddate"), "38358");
  EXPECT_EQ(p->GetChild(2)->GetAttributeStr("enddate"), "38361");

  // Dates read from a file are text and sort as numbers, not as text.
  p->GetChild(0)->SetAttribute("enddate", "9");
  p->GetChild(1)->SetAttribute("enddate", "100");
  p->GetChild(2)->SetAttribute("enddate", "20");
  model_.SortTasks();
  EXPECT_EQ(p->GetChild(0)->GetAttributeStr("enddate"), "9");
  EXPECT_EQ(p->GetChild(1)->GetAttributeStr("enddate"), "20");
  EXPECT_EQ(p->GetChild(2)->GetAttributeStr("enddate"), "100");

  // Equal end dates go by id, whole numbers by value; an end date that is no number goes last,
  // whatever the order before.
  const std::vector<std::pair<const char*, const char*>> tasks = {
      {"10", "5"}, {"9", "5"}, {"x", "5"}, {"11", "bad"}, {"2", "7"}};
  for (int rotation = 0; rotation < 5; ++rotation) {
    model_.AddProject("3", "C");
    for (size_t i = 0; i < tasks.size(); ++i) {
      const auto& [id, end] = tasks[(i + static_cast<size_t>(rotation)) % tasks.size()];
      model_.AddTask("3", id, "t", 0, 0, false)->SetAttribute("enddate", end);
    }
    model_.SortTasks();
    TqorXMLNode2* c = model_.Document().GetNodeById("project", "3");
    std::vector<std::string> ids;
    for (int i = 0; i < c->ChildCount(); ++i) ids.push_back(c->GetChild(i)->GetAttributeStr("id"));
    EXPECT_EQ(ids, (std::vector<std::string>{"9", "10", "x", "2", "11"}))
        << "rotation " << rotation;
    model_.ProjectsNode()->DeleteChild(c);
  }
}

TEST_F(ModelTest, AssignedHours) {
  model_.AddProject("1", "A");
  AddResource("1", 35, "AB");
  AddResource("2", 40, "CD");
  const double jan3 = EncodeDate(2005, 1, 3), jan9 = EncodeDate(2005, 1, 9);
  TqorXMLNode2* t = model_.AddTask("1", "1", "t", jan3, jan9, false);
  EXPECT_EQ(model_.CalcAssignedHours(t), 0);
  EXPECT_EQ(model_.GetResourceInitials(t), "");
  Assign(t, "1", "1", 50);
  EXPECT_DOUBLE_EQ(model_.CalcAssignedHours(t), 17.5);
  Assign(t, "2", "2", 100);
  Assign(t, "3", "404", 100);  // a deleted resource counts nothing
  EXPECT_DOUBLE_EQ(model_.CalcAssignedHours(t), 57.5);
  EXPECT_EQ(model_.GetResourceInitials(t), "AB, CD");

  t->SetAttribute("assignedhours", model_.CalcAssignedHours(t));
  TqorXMLNode2* u = model_.AddTask("1", "2", "u", jan3, jan3, false);
  EXPECT_DOUBLE_EQ(model_.SumAssignedHours(t->Parent()), 57.5) << "a task without hours adds 0";
  u->SetAttribute("assignedhours", "2.5");
  EXPECT_DOUBLE_EQ(model_.SumAssignedHours(t->Parent()), 60);
  u->SetAttribute("assignedhours", "lots");
  EXPECT_THROW(model_.SumAssignedHours(t->Parent()), EqorVariantError);
}

TEST_F(ModelTest, RowsFollowDocumentAndFilter) {
  int changes = 0;
  model_.SetOnChanged([&] { ++changes; });
  // No project: the two header rows and the placeholder.
  model_.RebuildRows();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "-"}));
  EXPECT_TRUE(model_.HasPlaceholderRow());
  EXPECT_EQ(model_.RowHeight(0), 70);
  EXPECT_EQ(model_.RowHeight(1), 24);
  EXPECT_EQ(model_.RowHeight(2), 24);

  model_.AddProject("1", "A");
  model_.AddProject("2", "B");
  model_.AddProject("12", "L");
  model_.AddTask("1", "1", "a", 1, 2, false);
  model_.AddTask("1", "2", "b", 1, 2, false);
  model_.AddTask("12", "3", "c", 1, 2, false);
  model_.RebuildRows();
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "-"})) << "empty filter";

  model_.SetProjectFilter("[1][12]");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "p1", "t1", "t2", "p12", "t3"}));
  EXPECT_FALSE(model_.HasPlaceholderRow());
  EXPECT_TRUE(model_.IsProjectVisible(model_.Document().GetNodeById("project", "12")));
  EXPECT_FALSE(model_.IsProjectVisible(model_.Document().GetNodeById("project", "2")));
  EXPECT_EQ(model_.FindRow(model_.Document().GetNodeById("task", "3")), 6);
  EXPECT_EQ(model_.FindRow(model_.Document().GetNodeById("project", "2")), -1);

  model_.SetProjectFilter("[7]");
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-"})) << "no placeholder";

  // A collapsed project keeps its task rows at height 0.
  model_.Document().GetNodeById("project", "1")->SetAttribute("expanded", false);
  model_.SetProjectFilter("[1]");
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "p1", "t1", "t2"}));
  EXPECT_EQ(model_.RowHeight(2), 24);
  EXPECT_EQ(model_.RowHeight(3), 0);
  EXPECT_EQ(model_.RowHeight(4), 0);
  EXPECT_EQ(model_.RowNode(99), nullptr);
  EXPECT_EQ(model_.RowHeight(-1), 0);
}

TEST_F(ModelTest, FoldingAndRowHeights) {
  model_.AddProject("1", "A");
  model_.AddTask("1", "1", "a", 1, 2, false);
  model_.AddTask("1", "2", "b", 1, 2, false);
  model_.SetProjectFilter("[1]");
  int changes = 0;
  model_.SetOnChanged([&] { ++changes; });
  EXPECT_FALSE(model_.ToggleProjectRow(3)) << "a task row does not fold";
  EXPECT_FALSE(model_.ToggleProjectRow(0));
  EXPECT_TRUE(model_.ToggleProjectRow(2));
  EXPECT_EQ(model_.RowNode(2)->GetAttribute("expanded"), TqorVariant(false));
  EXPECT_EQ(model_.RowHeight(3), 0);
  EXPECT_EQ(model_.RowHeight(4), 0);
  EXPECT_TRUE(model_.ToggleProjectRow(2));
  EXPECT_EQ(model_.RowHeight(3), 24);
  EXPECT_EQ(changes, 2);
  model_.SetRowHeight(4, -5);
  EXPECT_EQ(model_.RowHeight(4), 0);
  model_.SetRowHeight(40, 10);  // ignored
}

TEST_F(ModelTest, RowsNeverReferToFreedNodes) {
  model_.AddProject("1", "A");
  model_.AddTask("1", "1", "a", 1, 2, false);
  model_.AddTask("1", "2", "b", 1, 2, false);
  model_.SetProjectFilter("[1]");
  TqorXMLNode2* second = model_.Document().GetNodeById("task", "2");
  model_.DeleteTask("1");
  // Until the rows are rebuilt they keep their places, the deleted one without a node.
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "p1", "-", "t2"}));
  EXPECT_EQ(model_.FindRow(second), 4);
  // The same holds for nodes removed directly and for a new document text.
  model_.ProjectsNode()->DeleteChild(model_.Document().GetNodeById("project", "1"));
  EXPECT_EQ(RowIds(), (std::vector<std::string>{"-", "-", "-", "-", "-"}));
  model_.AddProject("5", "E");
  model_.SetProjectFilter("[5]");
  model_.Document().SetXml("<planner/>");
  EXPECT_EQ(model_.RowNode(2), nullptr);
  EXPECT_EQ(model_.ProjectsNode(), nullptr);
  model_.RebuildRows();
  EXPECT_TRUE(model_.HasPlaceholderRow());
  EXPECT_THROW(model_.AddProject("1", "x"), std::runtime_error);
}

TEST_F(ModelTest, PeriodNavigation) {
  // Created on today's month.
  EXPECT_EQ(model_.StartDate(), EncodeDate(2005, 1, 1));
  EXPECT_EQ(model_.Today(), today_);
  EXPECT_EQ(model_.ColToDate(2), EncodeDate(2005, 1, 1));
  EXPECT_EQ(model_.ColToDate(91), EncodeDate(2005, 3, 31));
  EXPECT_EQ(model_.Easter(), EncodeDate(2005, 3, 27));
  EXPECT_EQ(model_.Ascension(), EncodeDate(2005, 5, 5));
  EXPECT_EQ(model_.Pentecost(), EncodeDate(2005, 5, 15));
  EXPECT_EQ(model_.NewYear(), EncodeDate(2005, 1, 1));
  EXPECT_EQ(model_.Christmas(), EncodeDate(2005, 12, 25));

  int changes = 0;
  model_.SetOnChanged([&] { ++changes; });
  model_.SetStartDate(EncodeDate(2005, 12, 1) + 0.7);
  EXPECT_EQ(model_.StartDate(), EncodeDate(2005, 12, 1));
  model_.NextMonth();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2006, 1, 1));
  EXPECT_EQ(model_.Easter(), EncodeDate(2006, 4, 16));
  model_.PreviousMonth();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2005, 12, 1));
  model_.NextYear();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2006, 12, 1));
  model_.PreviousYear();
  model_.PreviousYear();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2004, 12, 1));
  EXPECT_EQ(changes, 6);
  model_.SetStartDate(EncodeDate(2005, 1, 31));
  model_.NextMonth();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2005, 2, 28));
  today_ = EncodeDate(2024, 5, 19);
  model_.ShowCurrentMonth();
  EXPECT_EQ(model_.StartDate(), EncodeDate(2024, 5, 1));
  EXPECT_EQ(model_.Pentecost(), EncodeDate(2024, 5, 19));
  EXPECT_EQ(model_.Ascension(), EncodeDate(2024, 5, 9));
  EXPECT_THROW(model_.SetStartDate(1e10), EqorDateError);
  EXPECT_EQ(model_.StartDate(), EncodeDate(2024, 5, 1));
}

TEST_F(ModelTest, NonWorkingDays) {
  model_.SetStartDate(EncodeDate(2006, 12, 1));
  EXPECT_EQ(model_.ColToDate(91), EncodeDate(2007, 2, 28));
  EXPECT_TRUE(model_.IsNonWorkingDay(EncodeDate(2006, 12, 25)));
  EXPECT_TRUE(model_.IsNonWorkingDay(EncodeDate(2006, 12, 26)));
  EXPECT_FALSE(model_.IsNonWorkingDay(EncodeDate(2006, 12, 27)));
  // New Year of the following year is a holiday too, though the period began the year before.
  EXPECT_TRUE(model_.IsNonWorkingDay(EncodeDate(2007, 1, 1)));
  EXPECT_FALSE(model_.IsNonWorkingDay(EncodeDate(2007, 1, 2)));

  // Every day of 1900 to 2200 against weekends and the feasts of the anonymous Easter rule.
  using namespace std::chrono;
  auto day = [](sys_days d) { return static_cast<double>(d.time_since_epoch().count()) + 25569; };
  for (int y = 1900; y <= 2200; ++y) {
    model_.SetStartDate(EncodeDate(y, 1, 1));
    int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25,
        g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4,
        l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
    const sys_days easter{year{y} / ((h + l - 7 * m + 114) / 31) /
                          ((h + l - 7 * m + 114) % 31 + 1)};
    ASSERT_EQ(model_.Easter(), day(easter)) << y;
    ASSERT_EQ(model_.Pentecost(), day(easter + days{49})) << y;
    ASSERT_EQ(model_.Ascension(), day(easter + days{39})) << y;
    const std::set<sys_days> feasts{sys_days{year{y} / 1 / 1},   easter + days{1},
                                    easter + days{39},           easter + days{50},
                                    sys_days{year{y} / 12 / 25}, sys_days{year{y} / 12 / 26}};
    for (sys_days x = sys_days{year{y} / 1 / 1}; x <= sys_days{year{y} / 12 / 31}; x += days{1}) {
      const bool expected = weekday{x} == Saturday || weekday{x} == Sunday || feasts.count(x) != 0;
      ASSERT_EQ(model_.IsNonWorkingDay(day(x)), expected) << y << " " << day(x);
    }
  }
}

TEST_F(ModelTest, DateGestures) {
  model_.AddProject("1", "A");
  AddResource("1", 7, "R");
  const double jan3 = EncodeDate(2005, 1, 3), jan5 = EncodeDate(2005, 1, 5);
  TqorXMLNode2* t = model_.AddTask("1", "1", "t", jan3, jan5, false);
  Assign(t, "1", "1", 100);
  EXPECT_TRUE(model_.ContainsDate(t, jan5));
  EXPECT_FALSE(model_.ContainsDate(t, jan5 + 1));
  EXPECT_FALSE(model_.ContainsDate(model_.Document().GetNodeById("project", "1"), jan3))
      << "a project without dates contains no day";

  // Shift on 10 January moves the task, keeping its three days, and recomputes its hours.
  EXPECT_TRUE(model_.ApplyDateGesture(t, jan3 + 7, TqorDateGesture::Move));
  EXPECT_EQ(t->GetAttribute("startdate"), TqorVariant(jan3 + 7));
  EXPECT_EQ(t->GetAttribute("enddate"), TqorVariant(jan5 + 7));
  EXPECT_EQ(t->GetAttribute("assignedhours"), TqorVariant(3.0));
  // Ctrl before the start and Ctrl+Shift after the end change nothing.
  EXPECT_FALSE(model_.ApplyDateGesture(t, jan3 + 6, TqorDateGesture::SetEnd));
  EXPECT_FALSE(model_.ApplyDateGesture(t, jan5 + 8, TqorDateGesture::SetStart));
  // Ctrl on the start day makes a one-day task.
  EXPECT_TRUE(model_.ApplyDateGesture(t, jan3 + 7, TqorDateGesture::SetEnd));
  EXPECT_EQ(t->GetAttribute("assignedhours"), TqorVariant(1.0));
  EXPECT_TRUE(model_.ApplyDateGesture(t, jan3, TqorDateGesture::SetStart));
  EXPECT_EQ(t->GetAttributeStr("startdate"), "38355");

  // A project moves without its tasks and gets no hours.
  TqorXMLNode2* p = t->Parent();
  p->SetAttribute("startdate", "38355");
  p->SetAttribute("enddate", "38360");
  EXPECT_TRUE(model_.ApplyDateGesture(p, 38400, TqorDateGesture::Move));
  EXPECT_EQ(p->GetAttribute("enddate"), TqorVariant(38405.0));
  EXPECT_FALSE(p->HasAttribute("assignedhours"));
  EXPECT_EQ(t->GetAttributeStr("startdate"), "38355");
  EXPECT_FALSE(model_.ApplyDateGesture(model_.ResourcesNode(), 1, TqorDateGesture::Move));
}

}  // namespace
