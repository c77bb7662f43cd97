// The task workflows driven through the real windows on a planner database file: the Task menu,
// rescheduling in the grid, the task dialog with its check, and the resource lists (dragging,
// buttons, context menu) with the holiday and capacity checks. Each test looks at the planner
// document and at the rows the database holds; the program is started again on the same file to
// show the same rows, and a database that refuses a change leaves the document as stored.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorPlannerStatements.h"
#include "app/qorAllocationList.h"
#include "app/qorApplication.h"
#include "app/qorDialogFields.h"
#include "app/qorMessagePrompts.h"
#include "app/qorPlanDialogs.h"
#include "app/uLink.h"
#include "app/uProjects.h"
#include "app/uTask.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "planner/qorGridCells.h"
#include "tests/app/appTestPlanner.h"
#include "tests/qtTestEnvironment.h"

namespace {

namespace st = qorStatements;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<TqorApplication>("app_task_tests"));

// Answers the message boxes and input prompts that open while it lives, recording what they
// showed: questions get the next of Answers (Yes when none is left), prompts the next of Inputs
// typed in (none: Cancel).
class TResponder {
 public:
  std::deque<QMessageBox::StandardButton> Answers;
  std::deque<std::optional<std::string>> Inputs;
  std::vector<std::string> Messages;
  // "caption|label|default" of each prompt.
  std::vector<std::string> Prompts;

  TResponder() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }
  // The messages since the last call.
  std::vector<std::string> Take() { return std::exchange(Messages, {}); }

 private:
  void Poll() {
    if (busy_) return;
    busy_ = true;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        Messages.push_back(box->text().toStdString());
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (box->button(QMessageBox::Yes)) {
          answer = Answers.empty() ? QMessageBox::Yes : Answers.front();
          if (!Answers.empty()) Answers.pop_front();
        }
        box->button(answer)->click();
      } else if (auto* prompt = qobject_cast<QInputDialog*>(w)) {
        Prompts.push_back(prompt->windowTitle().toStdString() + "|" +
                          prompt->labelText().toStdString() + "|" +
                          prompt->textValue().toStdString());
        std::optional<std::string> input;
        if (!Inputs.empty()) {
          input = Inputs.front();
          Inputs.pop_front();
        }
        auto* edit = prompt->findChild<QLineEdit*>();
        if (!input || !edit) {
          prompt->reject();
        } else {
          edit->selectAll();
          QTest::keyClick(edit, Qt::Key_Delete);
          // The test keyboard has ASCII keys only: other letters are put in as an input method
          // would.
          const QString text = QString::fromStdString(*input);
          bool ascii = true;
          for (QChar c : text) ascii = ascii && c.unicode() < 128;
          if (ascii)
            QTest::keyClicks(edit, text);
          else
            edit->insert(text);
          QTest::keyClick(edit, Qt::Key_Return);
        }
      }
    }
    busy_ = false;
  }
  QTimer timer_;
  bool busy_ = false;
};

// The values of a database row, read through the window's own connection.
struct TRow {
  TqorDatabaseController& db;
  TqorDatabaseRecordSet* set;
  TRow(TqorDatabaseController& c, const std::string& sql) : db(c), set(c.OpenRecordSet(sql)) {}
  ~TRow() { db.CloseRecordSet(set); }
  bool Exists() { return !db.Eof(set); }
  std::string Text(const char* f) { return db.GetString(set, f); }
  double Real(const char* f) { return db.GetFloat(set, f); }
  bool Flag(const char* f) { return db.GetBoolean(set, f); }
};

class TaskWorkflows : public ::testing::Test {
 protected:
  void SetUp() override {
    prompts_previous_ = SetUserPrompts(&prompts_);
    today_ = SystemToday();
    db_.OpenDatabase(planner_.Path());
    db_.Execute(st::InsertProject("Web", today_));
    web_ = st::NewProjectId(db_);
    db_.Execute(st::UpdateProjectFilter("[" + std::to_string(web_) + "]"));
  }
  void TearDown() override {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetUserPrompts(prompts_previous_);
  }

  // --- The plan before the program starts (days counted from today) ---
  int32_t Task(const std::string& name, int from, int to, double progress = 0) {
    db_.Execute(st::InsertTask(name, today_, web_));
    const int32_t id = st::NewTaskId(db_);
    db_.Execute(
        st::UpdateTask(id, {name, today_ + from, today_ + to, false, false, 0, progress, ""}));
    return id;
  }
  int32_t Resource(const std::string& name, double hoursPerWeek) {
    db_.Execute(st::InsertResource(name));
    const int32_t id = st::NewResourceId(db_);
    db_.Execute(st::UpdateResource(id, {name, name.substr(0, 2), hoursPerWeek, 0, 100, ""}));
    return id;
  }
  void Assign(int32_t task, int32_t resource, double units) {
    db_.Execute(st::InsertAssignment(task, resource, units));
  }
  void Holiday(int32_t resource, int from, int to) {
    db_.Execute(st::InsertHoliday(resource, today_ + from, today_ + to));
  }

  // --- The program ---
  void Start() {
    db_.CloseDatabase();
    window_ = std::make_unique<TfrmVazadod>(planner_.Path(), VZ_SOURCE_DIR);
    ASSERT_FALSE(window_->StartFailed());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void Restart() {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window_ = std::make_unique<TfrmVazadod>(planner_.Path(), VZ_SOURCE_DIR);
    ASSERT_FALSE(window_->StartFailed());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  TqorPlannerGrid* Grid() { return window_->TaskGrid(); }
  TqorDatabaseController& Db() { return *window_->Controller(); }
  TfrmTask* Dialog() { return window_->TaskDialog(); }
  TqorXMLNode2* Node(const char* element, int32_t id) {
    return Grid()->Document().GetNodeById(element, std::to_string(id));
  }
  double Attr(const TqorXMLNode2* node, const char* name) {
    return node->GetAttribute(name).AsReal();
  }
  int Col(int day) { return static_cast<int>(today_ + day - Grid()->StartDate()) + 2; }
  QPoint At(int col, int row) { return Grid()->CellRect(col, row).center(); }
  void Menu(const char* item) { window_->findChild<QAction*>(item)->trigger(); }
  // Shows what the grid shows: per row its element's name, dates and hours, and the texts of
  // the two fixed cells.
  std::vector<std::string> Screen() {
    std::vector<std::string> rows;
    const TqorPlannerModel& model = Grid()->Model();
    for (int row = 2; row < Grid()->RowCount(); ++row) {
      std::string line;
      for (int col = 0; col < 2; ++col)
        for (const TqorCellText& t : DecideCell(model, col, row, {0, 0, 150, 24}, {}).Texts)
          line += t.Text + "|";
      if (const TqorXMLNode2* node = Grid()->RowNode(row))
        for (const char* a : {"startdate", "enddate", "iscompleted", "progress", "notes"})
          line += node->GetAttributeStr(a) + "|";
      rows.push_back(line);
    }
    return rows;
  }
  // Opens the task's dialog by a double click on its name, runs work while it shows, and
  // returns once the dialog has closed (work must close it).
  void InDialog(int32_t task, const std::function<void(TfrmTask&)>& work) {
    bool ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (ran || !Dialog()->isVisible()) return;
      ran = true;
      QApplication::setActiveWindow(Dialog());
      EXPECT_TRUE(QTest::qWaitForWindowActive(Dialog()));
      work(*Dialog());
    });
    poll.start(10);
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       At(0, Grid()->Model().FindRow(Node("task", task))));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(Dialog()->isVisible());
  }
  // Drags the entry with that name from one list and drops it on the other.
  void Drag(TqorAllocationList* from, TqorAllocationList* to, const std::string& name) {
    const QList<QListWidgetItem*> items =
        from->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name;
    from->setCurrentItem(items.first());
    std::unique_ptr<QMimeData> data(from->SelectionDragData());
    const QPoint pos = to->viewport()->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(to->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(pos, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(to->viewport(), &drop);
    ASSERT_TRUE(drop.isAccepted());
    QTest::qWait(20);  // the drop is handled after the drag
  }
  // Gives a widget of a dialog the keyboard (an input prompt closing leaves no window active on
  // the test platform).
  void Focus(QWidget* widget) {
    QApplication::setActiveWindow(widget->window());
    widget->setFocus();
  }
  std::vector<std::string> Names(const TqorAllocationList* list) {
    std::vector<std::string> names;
    for (const TqorResourceEntry& e : list->Entries()) names.push_back(e.Name);
    return names;
  }

  TqorRegionalSettingsGuard settings_;
  TqorMessagePrompts prompts_;
  TqorUserPrompts* prompts_previous_ = nullptr;
  TResponder answers_;
  TTestPlanner planner_;
  TqorDatabaseController db_;
  double today_ = 0;
  int32_t web_ = 0;
  std::unique_ptr<TfrmVazadod> window_;
};

TEST_F(TaskWorkflows, TheTaskMenuAddsAndDeletesTasks) {
  const int32_t late = Task("Late", 5, 9);
  const int32_t early = Task("Early", 0, 0);
  const int32_t ann = Resource("Ann", 35);
  Assign(early, ann, 100);
  db_.Execute(st::UpdateTaskAssignedHours(early, 5));
  db_.Execute(st::UpdateProjectAssignedHours(web_, 5));
  Start();
  TqorXMLNode2* project = Node("project", web_);

  // On the project's row: a task from today to the day after tomorrow, placed by its end date.
  Grid()->SelectGridCell(2, Grid()->Model().FindRow(project));
  answers_.Inputs = {"O'Neil's  review "};
  Menu("Add1");
  EXPECT_EQ(answers_.Prompts.back(), "Add Task|Enter task name|");
  const int32_t added = st::NewTaskId(Db());
  TqorXMLNode2* task = Node("task", added);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->Parent(), project);
  EXPECT_EQ(Attr(task, "startdate"), today_);
  EXPECT_EQ(Attr(task, "enddate"), today_ + 2);
  EXPECT_EQ(Grid()->Model().FindRow(task), Grid()->Model().FindRow(Node("task", early)) + 1);
  {
    TRow row(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(added));
    ASSERT_TRUE(row.Exists());
    EXPECT_EQ(row.Text("TaskName"), "O'Neil's  review ");
    EXPECT_EQ(row.Real("StartDate"), today_);
    EXPECT_EQ(row.Real("EndDate"), today_ + 2);
    EXPECT_EQ(row.Text("ProjectId"), std::to_string(web_));
    EXPECT_FALSE(row.Flag("IsCompleted"));
  }

  // On a task's row: the task's project. Cancel and an empty name add nothing.
  Grid()->SelectGridCell(2, Grid()->Model().FindRow(Node("task", late)));
  answers_.Inputs = {"Second"};
  Menu("Add1");
  EXPECT_EQ(Node("task", st::NewTaskId(Db()))->Parent(), project);
  const int tasks = project->ChildCount();
  answers_.Inputs = {std::nullopt, ""};
  Menu("Add1");
  Menu("Add1");
  EXPECT_EQ(project->ChildCount(), tasks);

  // Delete on a project row says so; No keeps the task; Yes deletes it with its assignments,
  // and the project's stored hours stay until its next roll-up.
  answers_.Take();
  Grid()->SelectGridCell(2, Grid()->Model().FindRow(project));
  Menu("Delete1");
  EXPECT_EQ(answers_.Take(), std::vector<std::string>{"You did not select a task to delete"});
  Grid()->SelectGridCell(2, Grid()->Model().FindRow(Node("task", early)));
  answers_.Answers = {QMessageBox::No, QMessageBox::Yes};
  Menu("Delete1");
  EXPECT_NE(Node("task", early), nullptr);
  Menu("Delete1");
  EXPECT_EQ(answers_.Take(), (std::vector<std::string>{"Are you sure you want to delete Early?",
                                                       "Are you sure you want to delete Early?"}));
  EXPECT_EQ(Node("task", early), nullptr);
  EXPECT_FALSE(TRow(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(early)).Exists());
  EXPECT_FALSE(
      TRow(Db(), "SELECT * FROM Assignments WHERE TaskId=" + std::to_string(early)).Exists());
  EXPECT_EQ(Attr(project, "assignedhours"), 5);
  EXPECT_EQ(TRow(Db(), "SELECT * FROM Projects").Real("AssignedHours"), 5);

  // With the project filtered out only the placeholder row is left: nothing to add to.
  Grid()->SetProjectFilter("");
  Grid()->SelectGridCell(2, 2);
  Menu("Add1");
  EXPECT_EQ(answers_.Take(), std::vector<std::string>{"You did not select a project."});
}

TEST_F(TaskWorkflows, ReschedulingInTheGridIsStored) {
  const int32_t design = Task("Design", 1, 3);
  const int32_t ann = Resource("Ann", 28);
  Assign(design, ann, 50);
  Task("Other", 2, 2);
  Start();
  TqorXMLNode2* task = Node("task", design);
  TqorXMLNode2* project = Node("project", web_);

  // Shift: the task moves to day 10, keeping its three days; its hours and its project's follow.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(10), Grid()->Model().FindRow(task)));
  EXPECT_EQ(Attr(task, "startdate"), today_ + 10);
  EXPECT_EQ(Attr(task, "enddate"), today_ + 12);
  EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 3 * 4 * 0.5);
  EXPECT_DOUBLE_EQ(Attr(project, "assignedhours"), 6);
  {
    TRow row(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(design));
    EXPECT_EQ(row.Real("StartDate"), today_ + 10);
    EXPECT_EQ(row.Real("EndDate"), today_ + 12);
    EXPECT_DOUBLE_EQ(row.Real("AssignedHours"), 6);
  }
  EXPECT_DOUBLE_EQ(TRow(Db(), "SELECT * FROM Projects").Real("AssignedHours"), 6);

  // Ctrl on the project's row: its end date.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    At(Col(40), Grid()->Model().FindRow(project)));
  EXPECT_EQ(TRow(Db(), "SELECT * FROM Projects").Real("EndDate"), today_ + 40);
  EXPECT_EQ(TRow(Db(), "SELECT * FROM Projects").Real("StartDate"), today_);
}

TEST_F(TaskWorkflows, TheTaskDialogShowsChecksAndStoresTheTask) {
  const int32_t review = Task("Review", 0, 4, 37.5);
  Start();
  TqorXMLNode2* task = Node("task", review);

  InDialog(review, [&](TfrmTask& d) {
    EXPECT_EQ(d.pgcTask->currentIndex(), 0);
    EXPECT_EQ(d.edTaskName->text(), "Review");
    EXPECT_EQ(d.edProjectName->text(), "Web");
    EXPECT_FALSE(d.edProjectName->isEnabled());
    EXPECT_EQ(d.edProgress->text(), "37.5");
    // Tab walks the fields, the lists and their buttons, then OK and Cancel.
    std::vector<QWidget*> order;
    for (int i = 0; i < 10; ++i) {
      order.push_back(QApplication::focusWidget());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order,
              (std::vector<QWidget*>{d.edTaskName, d.ckIsMileStone, d.edProgress, d.ckIsCompleted,
                                     d.cbStartDate, d.cbEndDate, d.edDuration, d.Assignments,
                                     d.btnAllocate, d.btnRemove}));
    // An empty name and a progress that is no number: both named, and the dialog stays.
    d.edTaskName->clear();
    d.edProgress->clear();
    QTest::keyClicks(d.edProgress, "1,5");
    QTest::keyClick(d.edProgress, Qt::Key_Return);
    EXPECT_EQ(answers_.Take(),
              std::vector<std::string>{"No or incorrect date in:\n\nName\n%Progress\n"});
    EXPECT_TRUE(d.isVisible());
    // A name longer than the table takes is one to correct too: the limit is said, and the name
    // stays as typed.
    d.edTaskName->setText(QString(128, QChar(0xE9)));
    d.edProgress->setText("5");
    QTest::keyClick(d.edProgress, Qt::Key_Return);
    EXPECT_EQ(answers_.Take(),
              std::vector<std::string>{
                  "The following field is too long to store:\n\nName: 256 bytes, at most 255\n\n"
                  "A length counts bytes of UTF-8: a character beyond plain ASCII (an accented "
                  "letter, a letter of another script) takes 2 to 4 of them."});
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.edTaskName->text(), QString(128, QChar(0xE9)));
    d.edTaskName->clear();
    QTest::keyClicks(d.edTaskName, "Final review");
    d.edProgress->clear();
    QTest::keyClicks(d.edProgress, "120");
    QTest::keyClick(d.ckIsCompleted, Qt::Key_Space);
    d.pgcTask->setCurrentIndex(1);
    QTest::keyClicks(d.memNotes, "Ask O'Neil");
    QTest::keyClick(d.memNotes, Qt::Key_Return);
    QTest::keyClicks(d.memNotes, "then ship");
    QTest::keyClick(d.edTaskName, Qt::Key_Enter);
  });
  EXPECT_EQ(task->GetAttributeStr("name"), "Final review");
  EXPECT_EQ(Attr(task, "progress"), 120);
  EXPECT_TRUE(task->GetAttribute("iscompleted").AsBoolean());
  EXPECT_EQ(task->GetAttributeStr("notes"), "Ask O'Neil\nthen ship");
  {
    TRow row(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(review));
    EXPECT_EQ(row.Text("TaskName"), "Final review");
    EXPECT_EQ(row.Real("Progress"), 120);
    EXPECT_TRUE(row.Flag("IsCompleted"));
    EXPECT_EQ(row.Text("Notes"), "Ask O'Neil\nthen ship");
  }

  // It opens on its first page again; Escape changes nothing.
  InDialog(review, [&](TfrmTask& d) {
    EXPECT_EQ(d.pgcTask->currentIndex(), 0);
    d.edTaskName->setText("Not kept");
    QTest::keyClick(d.edTaskName, Qt::Key_Escape);
  });
  EXPECT_EQ(task->GetAttributeStr("name"), "Final review");

  // Completion lasts over a restart.
  Restart();
  EXPECT_TRUE(Node("task", review)->GetAttribute("iscompleted").AsBoolean());
}

TEST_F(TaskWorkflows, AllocationChecksHolidaysAndCapacity) {
  const int32_t span = Task("Span", 10, 14);
  const int32_t busy = Task("Busy", 14, 20);
  const int32_t early = Task("Early", 5, 10);
  const int32_t late = Task("Late", 14, 16);
  const int32_t ann = Resource("Ann", 35);
  const int32_t bob = Resource("Bob", 35);
  const int32_t cy = Resource("Cy", 35);
  const int32_t di = Resource("Di", 35);
  const int32_t eve = Resource("Eve", 35);
  const int32_t fay = Resource("Fay", 35);
  Assign(busy, ann, 70);   // overlaps Span on its last day
  Assign(early, bob, 60);  // Early and Late each overlap Span, not each other
  Assign(late, bob, 60);
  Holiday(cy, 14, 15);  // touches Span's last day
  Holiday(di, 8, 9);    // ends the day before Span starts
  Holiday(fay, 3, 10);  // touches Span's first day
  Start();

  InDialog(span, [&](TfrmTask& d) {
    auto allocate = [&](const std::string& name, std::deque<std::optional<std::string>> inputs) {
      answers_.Inputs = std::move(inputs);
      Drag(d.Resources, d.Assignments, name);
      return answers_.Take();
    };
    EXPECT_EQ(allocate("Ann", {"31"}),
              std::vector<std::string>{"There are only 30% units available for allocation."});
    EXPECT_EQ(answers_.Prompts.back(), "Units|Percentage of maximum units:|0");
    EXPECT_TRUE(allocate("Ann", {"30"}).empty());
    EXPECT_EQ(allocate("Bob", {"1"}),
              std::vector<std::string>{"There are only 0% units available for allocation."});
    const std::vector<std::string> holiday{
        "Can not allocate because of resource's holiday period."};
    EXPECT_EQ(allocate("Cy", {"10"}), holiday);
    EXPECT_EQ(allocate("Fay", {"10"}), holiday);
    EXPECT_TRUE(allocate("Di", {"10"}).empty());
    for (const char* bad : {"abc", "1,5", "101", "-1"}) {
      answers_.Inputs = {bad};
      Drag(d.Resources, d.Assignments, "Eve");
    }
    answers_.Inputs = {std::nullopt};  // Cancel
    Drag(d.Resources, d.Assignments, "Eve");
    EXPECT_EQ(answers_.Take(),
              (std::vector<std::string>{"abc is not a valid number.", "1,5 is not a valid number.",
                                        "Units must be from 0 to 100%.",
                                        "Units must be from 0 to 100%."}));
    // "0" does nothing, "0.0" allocates with 0 units.
    EXPECT_TRUE(allocate("Eve", {"0"}).empty());
    EXPECT_EQ(Names(d.Assignments), (std::vector<std::string>{"Ann", "Di"}));
    EXPECT_TRUE(allocate("Eve", {"0.0"}).empty());
    EXPECT_EQ(Names(d.Assignments), (std::vector<std::string>{"Ann", "Di", "Eve"}));
    EXPECT_EQ(Names(d.Resources), (std::vector<std::string>{"Bob", "Cy", "Fay"}));
    QTest::keyClick(d.edTaskName, Qt::Key_Escape);
  });
  EXPECT_EQ(
      TRow(Db(), "SELECT * FROM Assignments WHERE ResourceId=" + std::to_string(eve)).Real("Units"),
      0);
  // Span: 5 days at 35 hours a week: Ann 30 units, Di 10, Eve 0 = 25 * 0.4 hours.
  TqorXMLNode2* task = Node("task", span);
  EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 10);
  EXPECT_DOUBLE_EQ(
      TRow(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(span)).Real("AssignedHours"),
      10);
  EXPECT_DOUBLE_EQ(Attr(Node("project", web_), "assignedhours"), 10);
  EXPECT_DOUBLE_EQ(TRow(Db(), "SELECT * FROM Projects").Real("AssignedHours"), 10);
  // Allocations made in a dialog that was cancelled stay.
  Restart();
  EXPECT_EQ(Node("task", span)->ChildCount(), 3);
}

TEST_F(TaskWorkflows, AssignmentsAreRemovedAndChangedByDragButtonMenuAndKeys) {
  const int32_t day = Task("One day", 3, 3);
  const int32_t other = Task("Overlapping", 2, 5);
  Resource("Ann", 35);
  Resource("Bob", 70);
  Resource("Cy", 7);
  Resource("Dee", 14);
  Start();
  TqorXMLNode2* task = Node("task", day);
  auto units = [&](const std::string& who) {
    return TRow(Db(),
                "SELECT Units FROM Assignments INNER JOIN Resources ON "
                "Assignments.ResourceId=Resources.ResourceId WHERE ResourceName='" +
                    who + "'")
        .Real("Units");
  };

  InDialog(day, [&](TfrmTask& d) {
    // By the button, the context menu, Insert and dragging.
    d.Resources->setCurrentRow(0);  // Ann
    answers_.Inputs = {"100"};
    QTest::mouseClick(d.btnAllocate, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 5);  // a day at 35 hours a week
    d.Resources->setCurrentRow(0);                     // Bob
    answers_.Inputs = {"50"};
    d.Resources->findChild<QAction*>("actAllocate")->trigger();
    d.Resources->setCurrentRow(0);  // Cy
    Focus(d.Resources);
    answers_.Inputs = {"100"};
    QTest::keyClick(d.windowHandle(), Qt::Key_Insert);
    answers_.Inputs = {"100"};
    Drag(d.Resources, d.Assignments, "Dee");
    EXPECT_EQ(Names(d.Assignments), (std::vector<std::string>{"Ann", "Bob", "Cy", "Dee"}));
    EXPECT_TRUE(Names(d.Resources).empty());
    EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 5 + 5 + 1 + 2);

    // Units: a double click shows the stored units; they are checked as an allocation is, so
    // 150 is refused and Ann keeps 100 on this day.
    answers_.Take();
    answers_.Inputs = {"150"};
    QListWidgetItem* ann = d.Assignments->item(0);
    const QPoint annAt = d.Assignments->visualItemRect(ann).center();
    QTest::mouseClick(d.Assignments->viewport(), Qt::LeftButton, Qt::NoModifier, annAt);
    QTest::mouseDClick(d.Assignments->viewport(), Qt::LeftButton, Qt::NoModifier, annAt);
    EXPECT_EQ(answers_.Prompts.back(), "Assignment|Number of units per (0-100%):|100");
    EXPECT_EQ(answers_.Take(), std::vector<std::string>{"Units must be from 0 to 100%."});
    EXPECT_EQ(units("Ann"), 100);
    d.Assignments->setCurrentRow(1);  // Bob
    answers_.Inputs = {"x"};
    QTest::mouseClick(d.btnUnits, Qt::LeftButton);
    EXPECT_EQ(answers_.Take(), std::vector<std::string>{"x is not a valid number of units."});
    answers_.Inputs = {"25"};
    d.Assignments->findChild<QAction*>("actUnits")->trigger();
    EXPECT_EQ(units("Bob"), 25);
    EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 5 + 2.5 + 1 + 2);

    // Removing, at once: dragging back, Delete, the button.
    Drag(d.Assignments, d.Resources, "Cy");
    d.Assignments->setCurrentRow(1);  // Bob
    Focus(d.Assignments);
    QTest::keyClick(d.windowHandle(), Qt::Key_Delete);
    d.Assignments->setCurrentRow(1);  // Dee
    QTest::mouseClick(d.btnRemove, Qt::LeftButton);
    EXPECT_EQ(Names(d.Assignments), std::vector<std::string>{"Ann"});
    EXPECT_DOUBLE_EQ(Attr(task, "assignedhours"), 5);
    EXPECT_DOUBLE_EQ(
        TRow(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(day)).Real("AssignedHours"),
        5);
    // A list takes no drop from itself.
    d.Resources->setCurrentRow(0);
    std::unique_ptr<QMimeData> own(d.Resources->SelectionDragData());
    EXPECT_FALSE(d.Resources->AcceptedId(own.get()));
    EXPECT_TRUE(d.Assignments->AcceptedId(own.get()));
    QTest::keyClick(d.edTaskName, Qt::Key_Escape);
  });
  EXPECT_EQ(task->ChildCount(), 1);

  // Ann, at 100 on an overlapping task, has nothing left for another.
  InDialog(other, [&](TfrmTask& d) {
    answers_.Take();
    answers_.Inputs = {"1"};
    Drag(d.Resources, d.Assignments, "Ann");
    EXPECT_EQ(answers_.Take(),
              std::vector<std::string>{"There are only 0% units available for allocation."});
    QTest::keyClick(d.edTaskName, Qt::Key_Escape);
  });
  EXPECT_EQ(Node("task", other)->ChildCount(), 0);
}

TEST_F(TaskWorkflows, AStartOnTheSameFileShowsWhatWasOnScreen) {
  const int32_t design = Task("Design", 0, 2);
  const int32_t build = Task("Build", 3, 8);
  Resource("Ann", 40);
  Start();
  // A session of edits: a task added, one moved, one edited with an allocation.
  Grid()->SelectGridCell(2, Grid()->Model().FindRow(Node("task", design)));
  answers_.Inputs = {"Zoë O'Neil"};
  Menu("Add1");
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(20), Grid()->Model().FindRow(Node("task", design))));
  InDialog(build, [&](TfrmTask& d) {
    answers_.Inputs = {"62.5"};
    Drag(d.Resources, d.Assignments, "Ann");
    QTest::keyClick(d.ckIsCompleted, Qt::Key_Space);
    d.edProgress->setText("33.3");
    d.memNotes->setPlainText("two\nlines");
    QTest::mouseClick(d.btnOK, Qt::LeftButton);
  });
  const std::vector<std::string> before = Screen();
  ASSERT_EQ(before.size(), 4u);
  Restart();
  EXPECT_EQ(Screen(), before);
}

TEST_F(TaskWorkflows, ADatabaseThatRefusesAChangeLeavesTheDocumentAsStored) {
  const int32_t design = Task("Design", 0, 2);
  Resource("Ann", 40);
  Start();
  TqorXMLNode2* task = Node("task", design);
  // An earlier change, stored.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(5), Grid()->Model().FindRow(task)));
  const std::vector<std::string> stored = Screen();

  // From now on the file can be read but not written. The first change that reaches the file
  // fails with the engine's write failure; after it the engine asks for the file to be opened
  // for writing first. Every failure is the engine's message, and the screen stays as stored.
  Db().CloseDatabase();
  Db().Database().SetReadOnly(true);
  Db().OpenDatabase(planner_.Path());
  // The engine's message for the code, up to its details.
  auto text = [](int code) {
    const std::string m =
        zuz::EZuzDatabaseError::FormatMessage(code, zuz::LookupErrorCode(code).text, "?");
    return m.substr(0, m.size() - 1);
  };
  auto engineMessages = [&](int code) {
    const std::vector<std::string> messages = answers_.Take();
    for (const std::string& m : messages) EXPECT_EQ(m.rfind(text(code), 0), 0u) << m;
    return messages.size();
  };
  answers_.Take();
  InDialog(design, [&](TfrmTask& d) {
    answers_.Inputs = {"50"};
    Drag(d.Resources, d.Assignments, "Ann");
    EXPECT_EQ(engineMessages(zuz::ZUZ_ERR_WRITE), 1u);
    EXPECT_EQ(Names(d.Resources), std::vector<std::string>{"Ann"});
    EXPECT_EQ(task->ChildCount(), 0);
    d.edTaskName->setText("Renamed");
    QTest::keyClick(d.edTaskName, Qt::Key_Return);
  });
  EXPECT_EQ(engineMessages(zuz::ZUZ_ERR_OPEN_FILE), 1u);
  EXPECT_EQ(Screen(), stored);
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(12), Grid()->Model().FindRow(task)));
  EXPECT_EQ(engineMessages(zuz::ZUZ_ERR_OPEN_FILE), 1u);
  EXPECT_EQ(Screen(), stored);

  // Started again with the file writable: what was stored, and nothing else.
  Restart();
  EXPECT_EQ(Screen(), stored);
}

// Both pages of the dialog as the user sees them. With VZ_SCREENSHOT_DIR set the pages are saved
// there as task-dialog-properties.png and task-dialog-notes.png (docs/screenshots/ is made with
//   VZ_SCREENSHOT_DIR=$PWD/docs/screenshots QT_QPA_PLATFORM=xcb xvfb-run -a
//     build/test/tests/app/app_task_tests --gtest_filter='*BothPages*').
TEST_F(TaskWorkflows, BothPagesOfTheDialogShowTheTask) {
  const int32_t site = Task("Site survey", 0, 4, 40);
  const int32_t ann = Resource("Ann O'Neil", 40);
  Resource("Bob Smith", 35);
  Resource("Carla Diaz", 20);
  Assign(site, ann, 50);
  db_.Execute(st::UpdateTask(site, {"Site survey", today_, today_ + 4, false, false, 0, 40,
                                    "Measure the plot.\nAsk the owner for the old plans."}));
  Start();
  const char* dir = std::getenv("VZ_SCREENSHOT_DIR");
  InDialog(site, [&](TfrmTask& d) {
    QTest::qWait(50);
    EXPECT_TRUE(d.Assignments->isVisible());
    EXPECT_EQ(Names(d.Assignments), std::vector<std::string>{"Ann O'Neil"});
    EXPECT_EQ(Names(d.Resources), (std::vector<std::string>{"Bob Smith", "Carla Diaz"}));
    const QPixmap properties = d.grab();
    d.pgcTask->setCurrentIndex(1);
    QTest::qWait(50);
    EXPECT_TRUE(d.memNotes->isVisible());
    EXPECT_FALSE(d.Assignments->isVisible());
    EXPECT_EQ(d.memNotes->toPlainText(), "Measure the plot.\nAsk the owner for the old plans.");
    const QPixmap notes = d.grab();
    if (dir) {
      EXPECT_TRUE(properties.save(QString::fromUtf8(dir) + "/task-dialog-properties.png"));
      EXPECT_TRUE(notes.save(QString::fromUtf8(dir) + "/task-dialog-notes.png"));
    }
    QTest::keyClick(d.edTaskName, Qt::Key_Escape);
  });
}

// Ctrl+Z undoes a move in the grid, an edit in the task dialog (with the allocation made in it)
// and the deletion of a project, the latest first; Ctrl+Shift+Z and Ctrl+Y redo them. The Edit
// menu names each step, the toolbar's buttons follow, and after each the grid and the rows are
// those of the state the step left or found.
TEST_F(TaskWorkflows, CtrlZAndCtrlShiftZUndoAndRedoMovesDialogEditsAndDeletions) {
  const int32_t design = Task("Design", 1, 3);
  Assign(design, Resource("Ann", 28), 50);
  Resource("Bob", 35);
  Task("Build", 5, 8);
  Start();
  QAction* undo = window_->findChild<QAction*>("mnuUndo");
  QAction* redo = window_->findChild<QAction*>("mnuRedo");
  auto* undoButton = window_->findChild<QToolButton*>("cmdUndo");
  ASSERT_TRUE(undo && redo && undoButton);
  EXPECT_EQ(undo->text(), "&Undo");
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(undoButton->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  // What the user sees and what the file holds.
  auto state = [&] {
    std::vector<std::string> seen = Screen();
    for (const char* sql :
         {"SELECT TaskId, TaskName, StartDate, EndDate, AssignedHours, ProjectId FROM Tasks",
          "SELECT AssignmentId, TaskId, ResourceId, Units FROM Assignments",
          "SELECT ProjectId, ProjectName, AssignedHours FROM Projects"}) {
      TqorDatabaseRecordSet* set = Db().OpenRecordSet(sql);
      for (; !Db().Eof(set); Db().Next(set)) {
        std::string row = "row";
        for (const char* f : {"TaskId", "AssignmentId", "ProjectId", "TaskName", "ProjectName",
                              "StartDate", "EndDate", "AssignedHours", "ResourceId", "Units"}) {
          if (std::string(sql).find(f) != std::string::npos) row += "|" + Db().GetString(set, f);
        }
        seen.push_back(row);
      }
      Db().CloseRecordSet(set);
    }
    return seen;
  };
  auto key = [&](Qt::Key k, Qt::KeyboardModifiers m) {
    QApplication::setActiveWindow(window_.get());
    QTest::keyClick(Grid(), k, m);
  };
  const auto started = state();

  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(10), Grid()->Model().FindRow(Node("task", design))));
  EXPECT_EQ(undo->text(), "&Undo Move of 'Design'");
  EXPECT_TRUE(undoButton->isEnabled());
  const auto moved = state();

  InDialog(design, [&](TfrmTask& d) {
    answers_.Inputs = {"20"};
    Drag(d.Resources, d.Assignments, "Bob");
    d.edTaskName->setText("Design it");
    QTest::keyClick(d.edTaskName, Qt::Key_Enter);
  });
  EXPECT_EQ(undo->text(), "&Undo Edit of 'Design'");
  const auto edited = state();
  EXPECT_NE(edited, moved);

  Menu("mnuProjects");
  TfrmProjects* projects = window_->PlanDialogs()->Projects();
  projects->List()->setCurrentRow(0);
  QTest::mouseClick(projects->findChild<QToolButton*>("cmdDelete"), Qt::LeftButton);
  projects->close();
  EXPECT_EQ(answers_.Take(),
            std::vector<std::string>{"Are sure that you want to delete this project?"});
  EXPECT_EQ(undo->text(), "&Undo Deletion of 'Web'");
  EXPECT_EQ(Node("task", design), nullptr);
  EXPECT_EQ(Db().LookupInteger("SELECT COUNT(*) FROM Assignments"), 0);
  const auto deleted = state();

  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state(), edited);
  EXPECT_EQ(Node("task", design)->GetAttributeStr("name"), "Design it");
  EXPECT_EQ(redo->text(), "&Redo Deletion of 'Web'");
  // With VZ_SCREENSHOT_DIR set, the open Edit menu is saved there as edit-menu.png (under a real
  // display, as for BothPagesOfTheDialogShowTheTask).
  if (const char* dir = std::getenv("VZ_SCREENSHOT_DIR")) {
    QAction* editMenu = window_->menuBar()->actions().at(1);
    window_->menuBar()->setActiveAction(editMenu);
    QTest::qWait(300);
    const QPixmap screen = window_->screen()->grabWindow(0);
    const QRect shown = window_->frameGeometry().united(editMenu->menu()->geometry());
    EXPECT_TRUE(screen.copy(shown.adjusted(0, 0, 0, 0).intersected(screen.rect()))
                    .save(QString::fromUtf8(dir) + "/edit-menu.png"));
    editMenu->menu()->hide();
  }
  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state(), moved);
  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state(), started);
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_EQ(redo->text(), "&Redo Move of 'Design'");

  key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(state(), moved);
  key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(state(), edited);
  key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(state(), deleted);
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_EQ(undo->text(), "&Undo Deletion of 'Web'");
  EXPECT_TRUE(answers_.Take().empty());
}

}  // namespace

namespace {

// A drag with Alt from one task's bar to another's links them finish to start, and the second
// moves after the first; moving the first in the grid then moves the second after it, in the
// grid and in the file. The grid draws the link's arrow into the second bar, and with View,
// Critical Path the bars of the tasks that decide the end in red.
TEST_F(TaskWorkflows, AltDragLinksTasksAndAMoveCarriesTheSuccessor) {
  // Days counted from the Monday of next week, so that the dates are working days.
  const int monday = static_cast<int>(MondayOf(today_) + 7 - today_);
  const int32_t design = Task("Design", monday, monday + 2);
  const int32_t build = Task("Build", monday + 1, monday + 2);
  Start();
  auto row = [&](int32_t id) { return Grid()->Model().FindRow(Node("task", id)); };
  QTest::mousePress(Grid()->viewport(), Qt::LeftButton, Qt::AltModifier,
                    At(Col(monday + 1), row(design)));
  QTest::mouseRelease(Grid()->viewport(), Qt::LeftButton, Qt::AltModifier,
                      At(Col(monday + 1), row(build)));
  EXPECT_EQ(Db().LookupInteger(
                "SELECT COUNT(*) FROM TaskLinks WHERE PredecessorId=" + std::to_string(design) +
                " AND SuccessorId=" + std::to_string(build) + " AND LinkType='FS'"),
            1);
  // Build starts the working day after Design ends (a Thursday), two working days long.
  EXPECT_EQ(Attr(Node("task", build), "startdate"), today_ + monday + 3);
  EXPECT_EQ(Attr(Node("task", build), "enddate"), today_ + monday + 4);
  EXPECT_EQ(window_->statusBar()->currentMessage(), "Moved 1 task");

  // Design moved to the Thursday: Build follows over the weekend, to Monday and Tuesday.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    At(Col(monday + 3), row(design)));
  EXPECT_EQ(Attr(Node("task", design), "startdate"), today_ + monday + 3);
  EXPECT_EQ(Attr(Node("task", build), "startdate"), today_ + monday + 7);
  EXPECT_EQ(Attr(Node("task", build), "enddate"), today_ + monday + 8);
  {
    TRow stored(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(build));
    EXPECT_EQ(stored.Real("StartDate"), today_ + monday + 7);
    EXPECT_EQ(stored.Real("EndDate"), today_ + monday + 8);
  }

  // The arrow enters Build's bar from the left on its row's middle; the critical path outlines
  // both bars.
  const QRect buildStart = Grid()->CellRect(Col(monday + 7), row(build));
  const QColor link = ToQColor(qorGridColors::kLink);
  EXPECT_EQ(Grid()->RenderView().pixelColor(buildStart.left() - 2, buildStart.center().y()), link);
  const QRect designStart = Grid()->CellRect(Col(monday + 3), row(design));
  EXPECT_NE(Grid()->RenderView().pixelColor(designStart.left(), designStart.top() + 5),
            ToQColor(qorGridColors::kCritical));
  Menu("mnuCriticalPath");
  const QImage critical = Grid()->RenderView();
  EXPECT_EQ(critical.pixelColor(designStart.left(), designStart.top() + 5),
            ToQColor(qorGridColors::kCritical));
  EXPECT_EQ(critical.pixelColor(buildStart.left() - 2, buildStart.center().y()),
            ToQColor(qorGridColors::kCritical));
  if (const char* dir = std::getenv("VZ_SCREENSHOT_DIR")) {
    EXPECT_TRUE(critical.save(QString::fromUtf8(dir) + "/grid-links.png"));
  }

  // Undo takes the move back, Build with it.
  QApplication::setActiveWindow(window_.get());
  QTest::keyClick(Grid(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Attr(Node("task", design), "startdate"), today_ + monday);
  EXPECT_EQ(Attr(Node("task", build), "startdate"), today_ + monday + 3);
}

}  // namespace

namespace {

// The task dialog shows the task's dates with its duration in working days and keeps the end
// in step; an end before the start is refused; a link made on its Links page moves the task
// after its new predecessor at once, and the dates shown follow.
TEST_F(TaskWorkflows, TheTaskDialogSetsDatesAndLinks) {
  const int monday = static_cast<int>(MondayOf(today_) + 7 - today_);
  const int32_t design = Task("Design", monday, monday + 4);
  const int32_t review = Task("Review", monday + 1, monday + 1);
  Start();
  InDialog(review, [&](TfrmTask& d) {
    EXPECT_EQ(DateToDay(d.cbStartDate->date()), today_ + monday + 1);
    EXPECT_EQ(d.edDuration->value(), 1);
    EXPECT_TRUE(d.cbStartDate->displayFormat().contains("yyyy"));
    // Three working days from Tuesday end on Thursday.
    d.edDuration->setValue(3);
    EXPECT_EQ(DateToDay(d.cbEndDate->date()), today_ + monday + 3);
    // An end before the start is refused.
    d.cbEndDate->setDate(DayToDate(today_ + monday));
    QTest::keyClick(d.edTaskName, Qt::Key_Enter);
    EXPECT_EQ(answers_.Take(), std::vector<std::string>{"The task ends before it starts: the "
                                                        "end is the start or a later day."});
    EXPECT_TRUE(d.isVisible());
    d.cbEndDate->setDate(DayToDate(today_ + monday + 3));
    // Links: Review follows Design, finish to start.
    d.pgcTask->setCurrentIndex(2);
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* link = d.findChild<TfrmLink*>();
      if (answered || !link || !link->isVisible()) return;
      answered = true;
      link->cbRole->setCurrentIndex(0);
      link->cbOther->setCurrentIndex(link->cbOther->findText("Web / Design"));
      link->cbType->setCurrentIndex(0);
      link->accept();
    });
    poll.start(10);
    QTest::mouseClick(d.btnAddLink, Qt::LeftButton);
    EXPECT_TRUE(answered);
    ASSERT_EQ(d.lstLinks->count(), 1);
    EXPECT_EQ(d.lstLinks->item(0)->text(), "After 'Design' FS");
    // With VZ_SCREENSHOT_DIR set, the page is saved there as task-dialog-links.png.
    if (const char* dir = std::getenv("VZ_SCREENSHOT_DIR")) {
      EXPECT_TRUE(d.grab().save(QString::fromUtf8(dir) + "/task-dialog-links.png"));
    }
    // The next Monday, the working day after Design's Friday; the duration kept.
    EXPECT_EQ(DateToDay(d.cbStartDate->date()), today_ + monday + 7);
    EXPECT_EQ(DateToDay(d.cbEndDate->date()), today_ + monday + 9);
    QTest::keyClick(d.edTaskName, Qt::Key_Enter);
  });
  EXPECT_EQ(Attr(Node("task", review), "startdate"), today_ + monday + 7);
  EXPECT_EQ(Attr(Node("task", review), "enddate"), today_ + monday + 9);
  TRow stored(Db(), "SELECT * FROM Tasks WHERE TaskId=" + std::to_string(review));
  EXPECT_EQ(stored.Real("StartDate"), today_ + monday + 7);
  EXPECT_EQ(stored.Real("EndDate"), today_ + monday + 9);
  EXPECT_EQ(Db().LookupInteger("SELECT COUNT(*) FROM TaskLinks WHERE PredecessorId=" +
                               std::to_string(design)),
            1);
  // The dialog's edits and its link are one step.
  EXPECT_EQ(window_->History().UndoName(), "Edit of 'Review'");
}

}  // namespace
