// The project, resource, holiday and filter windows driven as a user drives them (typing,
// clicking, keys, answering prompts and questions) on a real database file: afterwards the
// planner document and the database rows hold the change, and a fresh load of the file gives
// the document back. Numbers go with "." although the regional settings use ",".
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "app/core/qorNodeValues.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorTextColumns.h"
#include "app/qorApplication.h"
#include "app/qorDialogFields.h"
#include "app/qorPlanDialogs.h"
#include "app/uHoliday.h"
#include "app/uHolidays.h"
#include "app/uProject.h"
#include "app/uProjectFilter.h"
#include "app/uProjects.h"
#include "app/uResource.h"
#include "app/uResources.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzPosixFile.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"
#include "tests/app/appTestPlanner.h"
#include "tests/app/core/planSnapshot.h"
#include "tests/app/modalScript.h"
#include "tests/qtTestEnvironment.h"

// Texts in failure messages.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<TqorApplication>("dialogs_test"));

namespace st = qorStatements;
const double kToday = EncodeDate(2005, 1, 3);

template <class W>
W* Child(QWidget* window, const char* name) {
  W* child = window->findChild<W*>(QLatin1String(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Replaces the text of a field by typing.
void Type(QWidget* window, const char* field, const QString& text) {
  auto* edit = Child<QLineEdit>(window, field);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

QString Text(QWidget* window, const char* field) {
  return Child<QLineEdit>(window, field)->text();
}

void Press(QWidget* widget, Qt::Key key) {
  QTest::keyClick(widget, key);
}

void Click(QWidget* window, const char* button) {
  QTest::mouseClick(Child<QAbstractButton>(window, button), Qt::LeftButton);
}

// Types into the prompt and confirms with Enter.
std::function<void(QInputDialog*)> Answer(const QString& text) {
  return [text](QInputDialog* prompt) {
    auto* edit = prompt->findChild<QLineEdit*>();
    QTest::keyClicks(edit, text);
    Press(edit, Qt::Key_Return);
  };
}

// Answers a message box with the button, keeping its text.
std::function<void(QMessageBox*)> Reply(QMessageBox::StandardButton button, QString* text) {
  return [button, text](QMessageBox* box) {
    if (text) *text = box->text();
    box->button(button)->click();
  };
}

QStringList Entries(QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

// A double click of the mouse on the entry. (The events are sent one by one: QTest's own double
// click is not taken for one when it follows another click too closely.)
void DoubleClickEntry(QListWidget* list, const QString& text) {
  const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1) << text.toStdString();
  QWidget* viewport = list->viewport();
  const QPointF at = list->visualItemRect(items.front()).center();
  const QPointF global = viewport->mapToGlobal(at);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    // Regional settings that differ from what the dialogs must use for numbers.
    RegionalSettings().DecimalSeparator = ",";
    RegionalSettings().ShortDateFormat = "dd.MM.yyyy";
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("Vazadod.zuz")).toStdString();
    CreatePlannerDatabase(path_);
    db_ = std::make_unique<TqorDatabaseController>(&faults_);
    db_->OpenDatabase(path_);
    db_->Execute(st::InsertProject("Web", kToday));
    db_->Execute(st::InsertProject("Shop", kToday));
    db_->Execute(st::InsertTask("Design", kToday, 1));
    db_->Execute(st::InsertResource("Ann"));
    db_->Execute(st::InsertAssignment(1, 1, 50));
    db_->Execute(st::InsertHoliday(1, kToday + 5, kToday + 6));
    db_->Execute(st::UpdateProjectFilter("[1][2]"));

    owner_ = std::make_unique<QMainWindow>();
    grid_ = new TqorPlannerGrid(owner_.get(), [] { return kToday; });
    owner_->setCentralWidget(grid_);
    LoadPlanner(*db_, grid_->Model());
    dialogs_ = std::make_unique<TqorPlanDialogs>(owner_.get(), *db_, *grid_);
    owner_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(owner_.get()));
  }
  void TearDown() override {
    dialogs_.reset();
    owner_.reset();
    db_.reset();
  }

  TqorPlannerModel& Planner() { return grid_->Model(); }
  TqorXMLNode2* Node(const char* name, const std::string& id) {
    return Planner().Document().GetNodeById(name, id);
  }
  std::string Column(const std::string& sql) { return db_->LookupValue(sql).ToText(); }
  // The document a new start on the file loads.
  std::string Reloaded() {
    TqorDatabaseController fresh;
    fresh.OpenDatabase(path_);
    TqorPlannerModel planner([] { return kToday; });
    LoadPlanner(fresh, planner);
    return Snapshot(planner);
  }

  TqorRegionalSettingsGuard settings_;
  QTemporaryDir dir_;
  std::string path_;
  zuz::TFaultFileSystem faults_{zuz::TPosixFileSystem::Instance()};
  std::unique_ptr<TqorDatabaseController> db_;
  std::unique_ptr<QMainWindow> owner_;
  TqorPlannerGrid* grid_ = nullptr;
  std::unique_ptr<TqorPlanDialogs> dialogs_;
};

TEST_F(Dialogs, EveryWindowHasItsCaptionAndSizeAndOnlyTheListsAreNotModal) {
  struct TWindow {
    QDialog* window;
    const char* caption;
    int width, height;
    bool modal;
  };
  const TWindow windows[] = {
      {dialogs_->Project(), "Project", 423, 369, true},
      {dialogs_->Resource(), "Resource", 383, 329, true},
      {dialogs_->Holiday(), "Holiday", 329, 162, true},
      {dialogs_->Holidays(), "Holidays", 502, 398, true},
      {dialogs_->Projects(), "Projects", 505, 357, false},
      {dialogs_->Resources(), "Resources", 482, 377, false},
      {dialogs_->ProjectFilter(), "Project Filter", 486, 340, true},
  };
  for (const TWindow& w : windows) {
    EXPECT_EQ(w.window->windowTitle(), QLatin1String(w.caption));
    EXPECT_EQ(w.window->size(), QSize(w.width, w.height)) << w.caption;
    EXPECT_EQ(w.window->parentWidget(), owner_.get()) << w.caption;
    EXPECT_TRUE(w.window->isWindow()) << w.caption;
  }
  // The lists show without waiting and stay over the main window, which stays usable.
  dialogs_->ShowProjects();
  dialogs_->ShowResources();
  for (QDialog* list : {static_cast<QDialog*>(dialogs_->Projects()),
                        static_cast<QDialog*>(dialogs_->Resources())}) {
    EXPECT_TRUE(list->isVisible());
    EXPECT_FALSE(list->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  EXPECT_EQ(Entries(Child<QListWidget>(dialogs_->Projects(), "Projects")),
            QStringList({"Web", "Shop"}));
  EXPECT_EQ(Entries(Child<QListWidget>(dialogs_->Resources(), "Resources")), QStringList({"Ann"}));
  // The modal ones really are: the holiday list shown over the resource dialog.
  TModalScript script;
  script.Then<TfrmResource>([](TfrmResource* d) { Click(d, "cmdEditHolidays"); })
      .Then<TfrmHolidays>([](TfrmHolidays* d) {
        EXPECT_TRUE(d->isModal());
        Press(d->List(), Qt::Key_Escape);
      })
      .Then<TfrmResource>([](TfrmResource* d) { Press(d, Qt::Key_Escape); });
  dialogs_->EditResource(Node("resource", "1"));
  EXPECT_TRUE(script.Finished());
}

TEST_F(Dialogs, TheProjectListAddsOpensAndDeletesProjects) {
  dialogs_->ShowProjects();
  TfrmProjects* projects = dialogs_->Projects();
  QListWidget* list = projects->List();

  // Blanks around the name go; a name of blanks only, or a cancelled prompt, adds nothing.
  QString caption, label;
  TModalScript script;
  script
      .Then<QInputDialog>([&](QInputDialog* prompt) {
        caption = prompt->windowTitle();
        label = prompt->labelText();
        Answer("  O'Neil  ")(prompt);
      })
      .Then<QInputDialog>(Answer("   "))
      .Then<QInputDialog>([](QInputDialog* prompt) { Press(prompt, Qt::Key_Escape); });
  Click(projects, "cmdAdd");
  Click(projects, "cmdAdd");
  Click(projects, "cmdAdd");
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(caption, "Add Project");
  EXPECT_EQ(label, "Enter project name");
  EXPECT_EQ(Entries(list), QStringList({"Web", "Shop", "O'Neil"}));
  TqorXMLNode2* neil = Node("project", "3");
  ASSERT_NE(neil, nullptr);
  EXPECT_EQ(NodeText(neil, "name"), "O'Neil");
  EXPECT_NE(Planner().FindRow(neil), -1);
  EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=3"), "O'Neil");
  EXPECT_EQ(Column("SELECT ProjectFilter FROM Settings"), "[1][2][3]");

  // Opened: bad fields are listed and keep the dialog open; then the values are stored.
  QString problems;
  TModalScript edit;
  edit.Then<TfrmProject>([](TfrmProject* d) {
        EXPECT_EQ(Child<QTabWidget>(d, "Pages")->currentIndex(), 0);
        EXPECT_EQ(Text(d, "edProjectName"), "O'Neil");
        EXPECT_EQ(Child<QDateEdit>(d, "cbEndDate")->date(), DayToDate(kToday + 30));
        EXPECT_EQ(Child<QDateEdit>(d, "cbEndDate")->displayFormat(), "dd.MM.yyyy");
        Type(d, "edProjectName", "");
        Type(d, "edBudgetHours", "1,5");
        Type(d, "edActualCost", "");
        Press(Child<QLineEdit>(d, "edBudgetHours"), Qt::Key_Return);
      })
      .Then<QMessageBox>(Reply(QMessageBox::Ok, &problems))
      .Then<TfrmProject>([](TfrmProject* d) {
        Type(d, "edProjectName", "O'Neil & Co");
        Type(d, "edProjectTag", "A tag that is longer than twenty-five characters");
        Type(d, "edBudgetHours", "12.5");
        Type(d, "edActualCost", "-3");
        Child<QCheckBox>(d, "ckIsCompleted")->setFocus();
        Press(Child<QCheckBox>(d, "ckIsCompleted"), Qt::Key_Space);
        QTest::keyClicks(Child<QPlainTextEdit>(d, "memNotes"), "First line");
        Press(Child<QLineEdit>(d, "edActualHours"), Qt::Key_Return);
      });
  DoubleClickEntry(list, "O'Neil");
  ASSERT_TRUE(edit.Finished());
  EXPECT_EQ(problems,
            "The following field have no or incorrect data:\r\n\r\nProject name\r\n"
            "Budget Hours\r\nActual Cost\r\n");
  EXPECT_EQ(Entries(list), QStringList({"Web", "Shop", "O'Neil & Co"}));
  EXPECT_EQ(NodeText(neil, "tag"), "A tag that is longer than");
  EXPECT_EQ(NodeReal(neil, "budgethours"), 12.5);
  EXPECT_TRUE(NodeFlag(neil, "iscompleted"));
  EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=3"), "O'Neil & Co");
  EXPECT_EQ(Column("SELECT BudgetHours FROM Projects WHERE ProjectId=3"), "12,5");
  EXPECT_EQ(Column("SELECT ActualCost FROM Projects WHERE ProjectId=3"), "-3");
  EXPECT_EQ(Column("SELECT Notes FROM Projects WHERE ProjectId=3"), "First line");
  EXPECT_EQ(db_->LookupValue("SELECT IsCompleted FROM Projects WHERE ProjectId=3").AsBoolean(),
            true);
  // Shown again: numbers with ".", on the first page.
  TModalScript reopen;
  reopen.Then<TfrmProject>([](TfrmProject* d) {
    EXPECT_EQ(Text(d, "edBudgetHours"), "12.5");
    Child<QTabWidget>(d, "Pages")->setCurrentIndex(1);
    Press(d, Qt::Key_Escape);
  });
  reopen.Then<TfrmProject>([](TfrmProject* d) {
    EXPECT_EQ(Child<QTabWidget>(d, "Pages")->currentIndex(), 0);
    Click(d, "cmdCancel");
  });
  DoubleClickEntry(list, "O'Neil & Co");
  DoubleClickEntry(list, "O'Neil & Co");
  ASSERT_TRUE(reopen.Finished());

  // Deleting asks first; No keeps the project.
  QString question;
  TModalScript remove;
  remove.Then<QMessageBox>(Reply(QMessageBox::No, &question))
      .Then<QMessageBox>(Reply(QMessageBox::Yes, nullptr));
  list->setCurrentRow(0);
  Click(projects, "cmdDelete");
  EXPECT_EQ(Entries(list).size(), 3);
  list->setCurrentRow(0);
  Press(list, Qt::Key_Delete);
  ASSERT_TRUE(remove.Finished());
  EXPECT_EQ(question, "Are sure that you want to delete this project?");
  EXPECT_EQ(Entries(list), QStringList({"Shop", "O'Neil & Co"}));
  EXPECT_EQ(Node("project", "1"), nullptr);
  EXPECT_EQ(Node("task", "1"), nullptr);
  EXPECT_EQ(db_->LookupInteger("SELECT COUNT(*) FROM Tasks"), 0);
  EXPECT_EQ(db_->LookupInteger("SELECT COUNT(*) FROM Assignments"), 0);
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));
}

TEST_F(Dialogs, TheResourceWindowsEditAResourceAndItsHolidays) {
  dialogs_->ShowResources();
  TfrmResources* resources = dialogs_->Resources();
  QListWidget* list = resources->List();
  TModalScript add;
  add.Then<QInputDialog>([](QInputDialog* prompt) {
    EXPECT_EQ(prompt->windowTitle(), "Add Resource");
    EXPECT_EQ(prompt->labelText(), "Enter resource name");
    Answer(" O'Neil")(prompt);
  });
  Click(resources, "cmdResourceAdd");
  ASSERT_TRUE(add.Finished());
  EXPECT_EQ(Entries(list), QStringList({"Ann", "O'Neil"}));

  QString problems;
  QStringList holidayLists;
  auto keepList = [&](TfrmHolidays* d) { holidayLists << Entries(d->List()).join('|'); };
  TModalScript edit;
  edit.Then<TfrmResource>([](TfrmResource* d) {
        EXPECT_EQ(Text(d, "edResourceName"), "O'Neil");
        EXPECT_EQ(Text(d, "edInitials"), "NN");
        EXPECT_EQ(Text(d, "edHoursPerWeek"), "0");
        EXPECT_EQ(Text(d, "edCostPerHour"), "0");
        EXPECT_EQ(Text(d, "edMaxUnits"), "100");
        Type(d, "edInitials", "");
        Type(d, "edHoursPerWeek", "37,5");
        Type(d, "edMaxUnits", "150");
        Press(Child<QLineEdit>(d, "edMaxUnits"), Qt::Key_Return);
      })
      .Then<QMessageBox>(Reply(QMessageBox::Ok, &problems))
      .Then<TfrmResource>([](TfrmResource* d) {
        Type(d, "edInitials", "ON");
        Type(d, "edHoursPerWeek", "37.5");
        Type(d, "edCostPerHour", "80.25");
        Click(d, "cmdEditHolidays");
      })
      // Added: offered from today to today + 3, typed over.
      .Then<TfrmHolidays>([](TfrmHolidays* d) { Click(d, "cmdAdd"); })
      .Then<TfrmHoliday>([](TfrmHoliday* d) {
        auto* from = Child<QDateEdit>(d, "cbStartDate");
        EXPECT_EQ(from->date(), DayToDate(kToday));
        EXPECT_EQ(Child<QDateEdit>(d, "cbEndDate")->date(), DayToDate(kToday + 3));
        // As Tab leaves it: the day selected; the date typed part by part.
        from->setFocus();
        from->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(from, "24122004");
        Press(from, Qt::Key_Return);
      })
      .Then<TfrmHolidays>([&](TfrmHolidays* d) {
        keepList(d);
        Press(d->List(), Qt::Key_Insert);
      })
      .Then<TfrmHoliday>([](TfrmHoliday* d) { Click(d, "cmdOK"); })
      // Opened: the stored dates; an end before the start is taken.
      .Then<TfrmHolidays>([&](TfrmHolidays* d) {
        keepList(d);
        DoubleClickEntry(d->List(), "24-12-2004  06-01-2005");
      })
      .Then<TfrmHoliday>([](TfrmHoliday* d) {
        EXPECT_EQ(Child<QDateEdit>(d, "cbStartDate")->date(), QDate(2004, 12, 24));
        Child<QDateEdit>(d, "cbEndDate")->setDate(QDate(2004, 12, 20));
        Press(d, Qt::Key_Return);
      })
      // Deleted without a question.
      .Then<TfrmHolidays>([&](TfrmHolidays* d) {
        keepList(d);
        d->List()->setCurrentRow(1);
        Click(d, "cmdDelete");
        keepList(d);
        Press(d->List(), Qt::Key_Escape);
      })
      .Then<TfrmResource>([](TfrmResource* d) { Click(d, "cmdOK"); });
  DoubleClickEntry(list, "O'Neil");
  ASSERT_TRUE(edit.Finished());
  EXPECT_EQ(problems,
            "The following fields have no or incorrect data:\r\n\r\nInitials\r\n"
            "Hours per Week\r\n");
  EXPECT_EQ(
      holidayLists,
      QStringList({"24-12-2004  06-01-2005", "24-12-2004  06-01-2005|03-01-2005  06-01-2005",
                   "24-12-2004  20-12-2004|03-01-2005  06-01-2005", "24-12-2004  20-12-2004"}));
  TqorXMLNode2* neil = Node("resource", "2");
  EXPECT_EQ(NodeText(neil, "initials"), "ON");
  EXPECT_EQ(NodeReal(neil, "hoursperweek"), 37.5);
  EXPECT_EQ(NodeReal(neil, "maxunits"), 150);
  EXPECT_EQ(Column("SELECT CostPerHour FROM Resources WHERE ResourceId=2"), "80,25");
  EXPECT_EQ(Column("SELECT ResourceName FROM Resources WHERE ResourceId=2"), "O'Neil");
  EXPECT_EQ(db_->LookupInteger("SELECT COUNT(*) FROM Holidays WHERE ResourceId=2"), 1);
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));

  // Ann goes with her assignment and her holiday, after the question.
  TModalScript remove;
  remove.Then<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->text(), "Are sure that you want to delete this resource?");
    box->button(QMessageBox::Yes)->click();
  });
  list->setCurrentRow(0);
  Click(resources, "cmdDelete");
  ASSERT_TRUE(remove.Finished());
  EXPECT_EQ(Entries(list), QStringList({"O'Neil"}));
  EXPECT_EQ(Node("assignment", "1"), nullptr);
  EXPECT_EQ(db_->LookupInteger("SELECT COUNT(*) FROM Holidays"), 1);
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));
}

TEST_F(Dialogs, TheFilterDialogChecksWholeIdsAndStoresTheChecked) {
  for (int i = 3; i <= 11; ++i) CreateProject(*db_, Planner(), "P" + std::to_string(i));
  StoreProjectFilter(*db_, Planner(), "[11]");
  auto checked = [](QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->checkState() == Qt::Checked) names << list->item(i)->text();
    return names;
  };
  QStringList seen;
  TModalScript script;
  script
      .Then<TfrmProjectFilter>([&](TfrmProjectFilter* d) {
        auto* list = Child<QListWidget>(d, "Projects");
        seen << checked(list).join('|');
        Click(d, "cmdSelectAll");
        seen << QString::number(checked(list).size());
        Press(d, Qt::Key_Escape);
      })
      .Then<TfrmProjectFilter>([&](TfrmProjectFilter* d) {
        auto* list = Child<QListWidget>(d, "Projects");
        Click(d, "cmdSelectNone");
        seen << checked(list).join('|');
        // The keyboard: Space checks the current entry, Enter is OK.
        list->setFocus();
        list->setCurrentRow(2);
        Press(list, Qt::Key_Space);
        list->setCurrentRow(0);
        Press(list, Qt::Key_Space);
        Press(list, Qt::Key_Return);
      });
  dialogs_->FilterProjects();
  dialogs_->FilterProjects();
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(seen, QStringList({"P11", "11", ""}));
  EXPECT_EQ(Planner().ProjectFilter(), "[1][3]");
  EXPECT_EQ(Column("SELECT ProjectFilter FROM Settings"), "[1][3]");
  EXPECT_FALSE(Planner().IsProjectVisible(Node("project", "2")));

  // Nothing checked: no project shows.
  TModalScript none;
  none.Then<TfrmProjectFilter>([](TfrmProjectFilter* d) {
    Click(d, "cmdSelectNone");
    Click(d, "cmdOK");
  });
  dialogs_->FilterProjects();
  ASSERT_TRUE(none.Finished());
  EXPECT_TRUE(Planner().HasPlaceholderRow());
  EXPECT_EQ(Column("SELECT ProjectFilter FROM Settings"), "");
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));
}

TEST_F(Dialogs, TheDialogsGoByTabInTheirFieldOrder) {
  auto focusOrder = [](int steps) {
    QStringList names;
    for (int i = 0; i < steps; ++i) {
      names << QApplication::focusWidget()->objectName();
      Press(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return names;
  };
  QStringList project, resource;
  TModalScript script;
  script.Then<TfrmProject>([&](TfrmProject* d) {
    project = focusOrder(11);
    Press(d, Qt::Key_Escape);
  });
  script.Then<TfrmResource>([&](TfrmResource* d) {
    resource = focusOrder(8);
    Press(d, Qt::Key_Escape);
  });
  const std::string before = Snapshot(Planner());
  dialogs_->EditProject(Node("project", "1"));
  dialogs_->EditResource(Node("resource", "1"));
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(project, QStringList({"edProjectName", "edProjectTag", "cbStartDate", "cbEndDate",
                                  "edBudgetHours", "edActualHours", "edBudgetCost", "edActualCost",
                                  "ckIsCompleted", "cmdOK", "cmdCancel"}));
  EXPECT_EQ(resource,
            QStringList({"edResourceName", "edInitials", "edHoursPerWeek", "edCostPerHour",
                         "edMaxUnits", "cmdEditHolidays", "cmdOK", "cmdCancel"}));
  EXPECT_EQ(Snapshot(Planner()), before);
}

TEST_F(Dialogs, AFailingDatabaseShowsTheEnginesMessageAndLosesNoEarlierChange) {
  dialogs_->ShowProjects();
  QListWidget* list = dialogs_->Projects()->List();
  TModalScript add;
  add.Then<QInputDialog>(Answer("Kept"));
  Click(dialogs_->Projects(), "cmdAdd");
  ASSERT_TRUE(add.Finished());

  // The file refuses the next write: the edit's statement fails.
  QString message;
  TModalScript edit;
  edit.Then<TfrmProject>([this](TfrmProject* d) {
        Type(d, "edProjectName", "Renamed");
        faults_.Arm(zuz::TFaultOp::Write, 1);
        Press(Child<QLineEdit>(d, "edProjectName"), Qt::Key_Return);
      })
      .Then<QMessageBox>(Reply(QMessageBox::Ok, &message));
  DoubleClickEntry(list, "Web");
  ASSERT_TRUE(edit.Finished());
  EXPECT_TRUE(faults_.Triggered());
  faults_.Disarm();
  // The engine's message, with the file system's reason.
  EXPECT_TRUE(message.contains(QStringLiteral("Unable to write the journal")))
      << message.toStdString();
  EXPECT_TRUE(message.contains(QStringLiteral("Injected I/O fault"))) << message.toStdString();
  EXPECT_EQ(NodeText(Node("project", "1"), "name"), "Web");
  EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=1"), "Web");
  EXPECT_EQ(Entries(list), QStringList({"Web", "Shop", "Kept"}));
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));

  // The same edit once the file takes it again.
  TModalScript again;
  again.Then<TfrmProject>([](TfrmProject* d) {
    Type(d, "edProjectName", "Renamed");
    Click(d, "cmdOK");
  });
  DoubleClickEntry(list, "Web");
  ASSERT_TRUE(again.Finished());
  EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=1"), "Renamed");
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));
}

// Random texts, in characters of 1 to 4 bytes, a few bytes on either side of the longest name
// the Projects table takes, typed as a project's name in its dialog and in the prompt that adds
// one: a text that fits is stored as typed; a longer one gets a message with its length and the
// limit, and the dialog stays open with the text as typed. And whatever the text fields of the
// project and resource dialogs are given (set, pasted), they keep no character XML cannot hold.
TEST_F(Dialogs, TextFieldsTakeWhatTheirColumnsAndXmlCanHold) {
  std::mt19937 rng(28);
  auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  // A text of exactly bytes bytes of UTF-8, without blanks at its ends.
  auto text = [&](size_t bytes) {
    static const char* const kChars[] = {
        "a", "Z", "'", "\xC3\xA9", "\xD0\x96", "\xE2\x82\xAC", "\xE6\x97\xA5", "\xF0\x9F\x98\x80"};
    std::string t;
    while (t.size() < bytes) {
      const std::string c = kChars[pick(8)];
      t += t.size() + c.size() <= bytes ? c : std::string(bytes - t.size(), 'x');
    }
    return t;
  };
  auto tooLong = [](size_t bytes) {
    return QString::fromStdString("The following field is too long to store:\n\nName: " +
                                  std::to_string(bytes) + " bytes, at most 255\n");
  };
  dialogs_->ShowProjects();
  QListWidget* list = dialogs_->Projects()->List();
  for (int trial = 0; trial < 6; ++trial) {
    // The limit itself and one byte more first, then around it.
    const size_t bytes = trial < 2 ? kProjectNameBytes + trial : kProjectNameBytes - 3 + pick(7);
    SCOPED_TRACE(std::to_string(bytes) + " bytes");
    const QString typed = QString::fromStdString(text(bytes));
    const bool fits = bytes <= kProjectNameBytes;
    const std::string stored = Column("SELECT ProjectName FROM Projects WHERE ProjectId=1");

    // The project dialog.
    QString message;
    TModalScript edit;
    edit.Then<TfrmProject>([&](TfrmProject* d) {
      Child<QLineEdit>(d, "edProjectName")->setText(typed);
      Press(Child<QLineEdit>(d, "edProjectName"), Qt::Key_Return);
    });
    if (!fits) {
      edit.Then<QMessageBox>([&](QMessageBox* box) {
            // With VZ_SCREENSHOT_DIR set the message is saved there as name-too-long.png.
            if (const char* dir = std::getenv("VZ_SCREENSHOT_DIR")) {
              EXPECT_TRUE(box->grab().save(QString::fromUtf8(dir) + "/name-too-long.png"));
            }
            Reply(QMessageBox::Ok, &message)(box);
          })
          .Then<TfrmProject>([&](TfrmProject* d) {
            EXPECT_EQ(Text(d, "edProjectName"), typed);
            Click(d, "cmdCancel");
          });
    }
    dialogs_->EditProject(Node("project", "1"));
    ASSERT_TRUE(edit.Finished());
    EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=1"),
              fits ? typed.toStdString() : stored);
    if (!fits) {
      EXPECT_TRUE(message.startsWith(
          QString(tooLong(bytes)).replace(QLatin1String("Name"), QLatin1String("Project name"))))
          << message.toStdString();
    }

    // The prompt of the project list's "Add"; the blanks around the name do not count.
    TModalScript add;
    add.Then<QInputDialog>([&](QInputDialog* prompt) {
      prompt->findChild<QLineEdit*>()->setText(QStringLiteral("  ") + typed + QStringLiteral(" "));
      Press(prompt->findChild<QLineEdit*>(), Qt::Key_Return);
    });
    if (!fits) {
      add.Then<QMessageBox>(Reply(QMessageBox::Ok, &message))
          .Then<QInputDialog>([&](QInputDialog* prompt) {
            EXPECT_EQ(prompt->textValue().trimmed(), typed);
            Press(prompt, Qt::Key_Escape);
          });
    }
    const int before = list->count();
    Click(dialogs_->Projects(), "cmdAdd");
    ASSERT_TRUE(add.Finished());
    ASSERT_EQ(list->count(), before + (fits ? 1 : 0));
    if (fits) {
      EXPECT_EQ(list->item(before)->text(), typed);
      EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=" +
                       Column("SELECT MAX(ProjectId) FROM Projects")),
                typed.toStdString());
    } else {
      EXPECT_TRUE(message.startsWith(tooLong(bytes))) << message.toStdString();
    }
  }
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));

  // Characters XML cannot hold, set or pasted into every text field, are gone at once (short
  // enough for the initials).
  const QString dirty = QString::fromUtf8("\va\x01\t\xEF\xBF\xBE\xF0\x9F\x98\x80") + QChar(0xD800) +
                        QStringLiteral("z");
  const QString clean = QString::fromUtf8("a\t\xF0\x9F\x98\x80z");
  auto fill = [&](QDialog* d, const char* field) {
    QGuiApplication::clipboard()->setText(dirty);
    if (auto* edit = d->findChild<QLineEdit*>(QLatin1String(field))) {
      edit->setText(dirty);
      EXPECT_EQ(edit->text(), clean) << field;
      edit->clear();
      edit->paste();
      EXPECT_EQ(edit->text(), clean) << field;
      return;
    }
    auto* notes = Child<QPlainTextEdit>(d, field);
    notes->setPlainText(dirty);
    EXPECT_EQ(notes->toPlainText(), clean) << field;
    notes->paste();
    EXPECT_EQ(notes->toPlainText(), clean + clean) << field;
  };
  TModalScript project;
  project.Then<TfrmProject>([&](TfrmProject* d) {
    for (const char* field : {"edProjectName", "edProjectTag", "memNotes"}) fill(d, field);
    Click(d, "cmdOK");
  });
  dialogs_->EditProject(Node("project", "2"));
  ASSERT_TRUE(project.Finished());
  TModalScript resource;
  resource.Then<TfrmResource>([&](TfrmResource* d) {
    for (const char* field : {"edResourceName", "edInitials", "memNotes"}) fill(d, field);
    Click(d, "cmdOK");
  });
  dialogs_->EditResource(Node("resource", "1"));
  ASSERT_TRUE(resource.Finished());
  EXPECT_EQ(Column("SELECT ProjectName FROM Projects WHERE ProjectId=2"), clean.toStdString());
  EXPECT_EQ(Column("SELECT Notes FROM Projects WHERE ProjectId=2"), (clean + clean).toStdString());
  EXPECT_EQ(Column("SELECT Initials FROM Resources WHERE ResourceId=1"), clean.toStdString());
  EXPECT_EQ(Reloaded(), Snapshot(Planner()));
}

// The main window's commands open the windows; after a session of edits a new start on the
// file shows the same plan and the same rows.
TEST(MainWindowDialogs, TheMenusOpenTheWindowsAndANewStartShowsTheEdits) {
  TqorRegionalSettingsGuard settings;
  TTestPlanner file;
  {
    TqorDatabaseController db;
    db.OpenDatabase(file.Path());
    db.Execute(st::InsertProject("Web", kToday));
    db.Execute(st::InsertProject("Shop", kToday));
    db.Execute(st::UpdateProjectFilter("[1][2]"));
  }
  auto window = std::make_unique<TfrmVazadod>(file.Path(), VZ_SOURCE_DIR);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  auto menu = [&](const char* item) {
    window->findChild<QAction*>(QLatin1String(item))->trigger();
  };
  auto rows = [](TfrmVazadod& w) {
    QStringList names;
    for (int row = 2; row < w.TaskGrid()->RowCount(); ++row) {
      if (const TqorXMLNode2* node = w.TaskGrid()->RowNode(row))
        names << QString::fromStdString(NodeText(node, "name"));
    }
    return names;
  };

  // The lists show without waiting, over the main window.
  menu("mnuProjects");
  menu("mnuResources");
  auto* projects = window->findChild<TfrmProjects*>();
  auto* resources = window->findChild<TfrmResources*>();
  ASSERT_TRUE(projects && resources);
  EXPECT_TRUE(projects->isVisible() && !projects->isModal());
  EXPECT_TRUE(resources->isVisible() && !resources->isModal());
  EXPECT_EQ(Entries(projects->List()), QStringList({"Web", "Shop"}));

  TModalScript script;
  script.Then<QInputDialog>(Answer("O'Neil"))
      .Then<QInputDialog>(Answer("Plan B"))
      .Then<TfrmProjectFilter>([](TfrmProjectFilter* d) {
        auto* list = Child<QListWidget>(d, "Projects");
        list->item(1)->setCheckState(Qt::Unchecked);
        Click(d, "cmdOK");
      })
      .Then<TfrmProject>([](TfrmProject* d) {
        Type(d, "edProjectTag", "WEB");
        Type(d, "edActualHours", "7.25");
        Press(d, Qt::Key_Return);
      });
  Click(resources, "cmdResourceAdd");
  Click(projects, "cmdAdd");
  menu("FilterProjects1");
  TqorXMLNode2* web = window->TaskGrid()->Document().GetNodeById("project", "1");
  window->EditProject(web);
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(NodeText(web, "tag"), "WEB");
  EXPECT_EQ(window->TaskGrid()->ProjectFilter(), "[1][3]");
  EXPECT_EQ(rows(*window), QStringList({"Web", "Plan B"}));

  const std::string before = Snapshot(window->TaskGrid()->Model());
  const QStringList shown = rows(*window);
  window.reset();
  TfrmVazadod again(file.Path(), VZ_SOURCE_DIR);
  again.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
  EXPECT_EQ(Snapshot(again.TaskGrid()->Model()), before);
  EXPECT_EQ(rows(again), shown);
  EXPECT_NE(before.find("resource 1|O'Neil|NN|0|0|100|"), std::string::npos) << before;
}

}  // namespace
