// The main window: its menu, toolbar, help, about, the error report and the messages of the
// features still to come. Message boxes are caught and answered while they are open.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "app/qorAppDir.h"
#include "app/qorApplication.h"
#include "app/qorHelpWindow.h"
#include "app/qorMessagePrompts.h"
#include "app/uVazadod.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/grid/qorPlannerGrid.h"
#include "planner/qorGridCells.h"
#include "tests/app/appTestPlanner.h"
#include "tests/planner/base/test_util.h"
#include "tests/qtTestEnvironment.h"

namespace {

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<TqorApplication>("app_tests"));

// Answers every message box that opens while it lives with Answer when the box has that
// button (else closes it), recording its title and text.
class BoxCatcher {
 public:
  QMessageBox::StandardButton Answer = QMessageBox::Ok;
  BoxCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }
  std::vector<QString> Texts;
  std::vector<QString> Titles;

 private:
  void Poll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      Texts.push_back(box->text());
      Titles.push_back(box->windowTitle());
      if (QAbstractButton* button = box->button(Answer))
        button->click();
      else
        box->done(QMessageBox::Ok);
    }
  }
  QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  TqorRegionalSettingsGuard guard_;
  BoxCatcher boxes_;
  TTestPlanner planner_;
  std::unique_ptr<TfrmVazadod> window_;

  void Open(const std::string& appDir = VZ_SOURCE_DIR) {
    window_ = std::make_unique<TfrmVazadod>(planner_.Path(), appDir);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  template <class T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  TqorPlannerGrid* Grid() const { return window_->TaskGrid(); }
};

TEST_F(MainWindowTest, WindowToolbarAndMenuAsDesigned) {
  RegionalSettings().DecimalSeparator = ",";
  Open();
  EXPECT_EQ(RegionalSettings().DecimalSeparator, ".") << "set first thing at start";
  EXPECT_EQ(window_->windowTitle(), "Vazadod");
  EXPECT_EQ(window_->size(), QSize(782, 644)) << "the designed size fits a 1280 x 1024 screen";
  EXPECT_TRUE(window_->screen()->availableGeometry().contains(window_->frameGeometry()));
  EXPECT_EQ(window_->palette().color(QPalette::Window), QColor(0xF0, 0xF0, 0xF0));
  // The grid fills the central area while the resource load view below it is hidden.
  EXPECT_EQ(Grid()->parentWidget(), window_->centralWidget());
  EXPECT_EQ(Grid()->geometry(), window_->centralWidget()->rect());
  ASSERT_NE(window_->statusBar(), nullptr);
  EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty());
  EXPECT_EQ(window_->ReportFormat(), "PDF");

  // Toolbar: seven 75-pixel buttons, each after an 8-pixel separator.
  auto* bar = window_->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  const QList<QAction*> actions = bar->actions();
  ASSERT_EQ(actions.size(), 14);
  const std::vector<std::pair<const char*, const char*>> buttons{
      {"cmdPrevYear", "< Year"},  {"cmdPrevMonth", "< Month"}, {"cmdCurrentMonth", "This Month"},
      {"cmdNexMonth", "Month >"}, {"cmdNextYear", "Year >"},   {"cmdUndo", "Undo"},
      {"cmdRedo", "Redo"}};
  for (size_t i = 0; i < buttons.size(); ++i) {
    QWidget* separator = bar->widgetForAction(actions[static_cast<int>(2 * i)]);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(actions[2 * i + 1]));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(separator->width(), 8);
    EXPECT_EQ(button->objectName(), buttons[i].first);
    EXPECT_EQ(button->text(), buttons[i].second);
    EXPECT_EQ(button->width(), 75);
  }

  // The menu: captions with their access keys, in order.
  std::vector<std::string> captions;
  for (QAction* menu : window_->menuBar()->actions()) {
    captions.push_back(menu->text().toStdString());
    for (QAction* item : menu->menu()->actions()) {
      std::string text = item->isSeparator() ? "-" : item->text().toStdString();
      if (item->menu())
        for (QAction* sub : item->menu()->actions()) text += "|" + sub->text().toStdString();
      captions.push_back("  " + text);
    }
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"&File",
                                                "  &Export to XML",
                                                "  E&xport|&MS Project XML...|&TaskJuggler..."
                                                "|&CSV...|&iCalendar...",
                                                "  &Import|&MS Project XML...",
                                                "  Export &Chart...",
                                                "  -",
                                                "  Print Pre&view...",
                                                "  &Print...",
                                                "&Edit",
                                                "  &Undo",
                                                "  &Redo",
                                                "&Task",
                                                "  &Add",
                                                "  &Delete",
                                                "  -",
                                                "  Re&schedule",
                                                "&View",
                                                "  &Projects",
                                                "  &Resources",
                                                "  -",
                                                "  &Critical Path",
                                                "  &Go to Date...",
                                                "  Resource L&oad",
                                                "  -",
                                                "  Re&load",
                                                "&Report",
                                                "  &Tasks",
                                                "  &Holidays",
                                                "  &Resources",
                                                "  -",
                                                "  &Format|PDF|RTF",
                                                "&Options",
                                                "  &Filter Projects...",
                                                "&Help",
                                                "  &Vazadod Help",
                                                "  &About"}));
  EXPECT_EQ(Find<QAction>("Vazadod1")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(Find<QAction>("mnuReload")->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(Find<QAction>("mnuUndo")->shortcut(), QKeySequence::fromString("Ctrl+Z"));
  EXPECT_EQ(Find<QAction>("mnuReschedule")->shortcut(), QKeySequence(Qt::Key_F9));
  EXPECT_EQ(Find<QAction>("mnuGoToDate")->shortcut(), QKeySequence::fromString("Ctrl+G"));
  EXPECT_EQ(Find<QAction>("mnuResourceLoad")->shortcut(), QKeySequence::fromString("Ctrl+L"));
  EXPECT_EQ(Find<QAction>("mnuRedo")->shortcuts(),
            (QList<QKeySequence>{QKeySequence::fromString("Ctrl+Shift+Z"),
                                 QKeySequence::fromString("Ctrl+Y")}));
  for (const char* name : {"mnuExportXml", "Add1", "Delete1", "mnuProjects", "mnuResources",
                           "mnuReportTasks", "mnuReportHolidays", "mnuReportResources",
                           "mnuReportPDF", "mnuReportRTF", "FilterProjects1", "About1"})
    Find<QAction>(name);

  // Showing the window made the first day cell of the first row current.
  EXPECT_EQ(Grid()->Col(), 2);
  EXPECT_EQ(Grid()->Row(), 2);
  EXPECT_TRUE(boxes_.Texts.empty());
}

// Started under a locale with a decimal comma, the program still writes numbers with ".".
TEST_F(MainWindowTest, NumbersUseAPointUnderACommaLocale) {
  ProcessLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is not installed";
  Open();
  TqorPlannerGrid* grid = Grid();
  grid->AddProject("1", "Alpha");
  TqorXMLNode2* task =
      grid->AddTask("1", "10", "Design", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), false);
  task->SetAttribute("assignedhours", 7.5);
  EXPECT_NE(grid->Document().Xml().find("assignedhours=\"7.5\""), std::string::npos);
  EXPECT_EQ(FormatGridHours(7.5), "7.5");
}

TEST_F(MainWindowTest, ReportFormatRadioItems) {
  Open();
  auto* pdf = Find<QAction>("mnuReportPDF");
  auto* rtf = Find<QAction>("mnuReportRTF");
  ASSERT_EQ(pdf->actionGroup(), rtf->actionGroup());
  EXPECT_TRUE(pdf->actionGroup()->isExclusive());
  EXPECT_TRUE(pdf->isChecked());
  EXPECT_FALSE(rtf->isChecked());

  rtf->trigger();
  EXPECT_TRUE(rtf->isChecked());
  EXPECT_FALSE(pdf->isChecked());
  EXPECT_EQ(window_->ReportFormat(), "RTF");
  const std::string stored = "SELECT ReportFormat FROM Settings WHERE SettingId=1";
  EXPECT_EQ(window_->Controller()->LookupValue(stored).ToText(), "RTF");
  pdf->trigger();
  EXPECT_EQ(window_->ReportFormat(), "PDF");
  EXPECT_TRUE(pdf->isChecked());
  pdf->trigger();
  EXPECT_TRUE(pdf->isChecked()) << "checking the checked item keeps it checked";
  EXPECT_TRUE(boxes_.Texts.empty());
  EXPECT_EQ(window_->Controller()->LookupValue(stored).ToText(), "PDF");

  // A format read from elsewhere that is neither checks neither.
  window_->SetReportFormat("DOC");
  EXPECT_FALSE(pdf->isChecked());
  EXPECT_FALSE(rtf->isChecked());
  EXPECT_EQ(window_->ReportFormat(), "DOC");
}

TEST_F(MainWindowTest, ToolbarButtonsMoveThePeriod) {
  Open();
  TqorPlannerGrid* grid = Grid();
  grid->SetStartDate(EncodeDate(2005, 3, 1));
  auto click = [&](const char* name) {
    QTest::mouseClick(Find<QToolButton>(name), Qt::LeftButton);
    return grid->StartDate();
  };
  EXPECT_EQ(click("cmdNextYear"), EncodeDate(2006, 3, 1));
  EXPECT_EQ(click("cmdPrevMonth"), EncodeDate(2006, 2, 1));
  EXPECT_EQ(click("cmdNexMonth"), EncodeDate(2006, 3, 1));
  EXPECT_EQ(click("cmdPrevYear"), EncodeDate(2005, 3, 1));
  const double today = SystemToday();
  EXPECT_EQ(click("cmdCurrentMonth"), EncodeDate(YearOf(today), MonthOf(today), 1));
  EXPECT_TRUE(boxes_.Texts.empty());
}

TEST_F(MainWindowTest, ErrorsAreReportedAndTheProgramGoesOn) {
  Open();
  TqorPlannerGrid* grid = Grid();
  // A year after 9999 is outside the calendar: the command fails with the date error.
  grid->SetStartDate(EncodeDate(9999, 3, 1));
  QTest::mouseClick(Find<QToolButton>("cmdNextYear"), Qt::LeftButton);
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  EXPECT_EQ(boxes_.Titles[0], "Vazadod");
  EXPECT_FALSE(boxes_.Texts[0].isEmpty());
  EXPECT_EQ(grid->StartDate(), EncodeDate(9999, 3, 1));
  QTest::mouseClick(Find<QToolButton>("cmdPrevMonth"), Qt::LeftButton);
  EXPECT_EQ(grid->StartDate(), EncodeDate(9999, 2, 1)) << "the next command works";

  // An exception escaping a grid event handler reaches the same report.
  boxes_.Texts.clear();
  grid->SetStartDate(EncodeDate(2005, 1, 1));
  grid->AddProject("1", "Alpha");
  grid->AddTask("1", "10", "Design", EncodeDate(2005, 1, 3), EncodeDate(2005, 1, 5), false);
  grid->SetProjectFilter("[1]");
  grid->onTaskChanged = [](TqorPlannerGrid*, TqorXMLNode2*) {
    throw std::runtime_error("The disk is full");
  };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    grid->CellRect(11, 3).center());
  EXPECT_EQ(boxes_.Texts, std::vector<QString>{"The disk is full"});
  boxes_.Texts.clear();
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                    grid->CellRect(0, 2).center());
  EXPECT_EQ(grid->RowHeight(3), 0) << "the grid still folds";
  EXPECT_TRUE(boxes_.Texts.empty());
}

// An object whose event handling fails.
class Failing : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("The handler failed");
    return QObject::event(e);
  }
};

TEST_F(MainWindowTest, TheApplicationReportsWhatEscapesAnyHandler) {
  Failing failing;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&failing, &event));
  EXPECT_EQ(boxes_.Texts, std::vector<QString>{"The handler failed"});
}

TEST_F(MainWindowTest, F1OpensTheHelpAtItsTopicWhereverTheFocusIs) {
  Open();
  window_->activateWindow();
  (void)QTest::qWaitForWindowActive(window_.get());
  Grid()->setFocus();
  QTest::keyClick(Grid(), Qt::Key_F1);
  TqorHelpWindow* help = window_->HelpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  const QUrl source = help->Browser()->source();
  EXPECT_EQ(source.fragment(), "Vazadod");
  EXPECT_EQ(std::filesystem::path(source.toLocalFile().toStdString()),
            std::filesystem::path(window_->AppDir()) / "help" / "Vazadod.html");
  EXPECT_TRUE(help->Browser()->toPlainText().contains("planner grid"));

  // The release of F1 alone (the window's key-up handling) opens the same window.
  help->hide();
  QTest::keyRelease(Find<QToolButton>("cmdNextYear"), Qt::Key_F1);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(window_->HelpWindow(), help) << "created once and reused";
  help->hide();
  Find<QAction>("Vazadod1")->trigger();
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(boxes_.Texts.empty());
}

TEST_F(MainWindowTest, AMissingHelpFileIsNamed) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vz_app_nohelp_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  Open(dir.string());
  QTest::keyClick(Grid(), Qt::Key_F1);
  ASSERT_EQ(boxes_.Texts.size(), 1u) << "one key stroke, one message";
  EXPECT_EQ(boxes_.Texts[0],
            QString::fromStdString("The help file " + (dir / "help" / "Vazadod.html").string() +
                                   " was not found."));
  window_.reset();
  std::filesystem::remove_all(dir);
}

TEST_F(MainWindowTest, About) {
  Open();
  Find<QAction>("About1")->trigger();
  ASSERT_EQ(boxes_.Texts.size(), 1u);
  const QStringList lines = boxes_.Texts[0].split('\n');
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "Vazadod");
  EXPECT_TRUE(lines[1].startsWith("Version "));
  EXPECT_EQ(lines[2], "Vazadod developers");
}

TEST_F(MainWindowTest, TheCoresQuestionsAreMessageBoxes) {
  TqorMessagePrompts prompts;
  TqorUserPrompts* previous = SetUserPrompts(&prompts);
  boxes_.Answer = QMessageBox::Yes;
  EXPECT_TRUE(Confirm("Delete the task?"));
  boxes_.Answer = QMessageBox::No;
  EXPECT_FALSE(Confirm("Delete the task?"));
  ShowMessage("Done.");
  SetUserPrompts(previous);
  EXPECT_EQ(boxes_.Texts, (std::vector<QString>{"Delete the task?", "Delete the task?", "Done."}));
}

TEST(AppDir, BuildFolderInstalledTreeAndNeither) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("vz_appdir_" + std::to_string(getpid()));
  fs::create_directories(root / "build" / "help");
  fs::create_directories(root / "usr" / "bin");
  fs::create_directories(root / "usr" / "share" / "vazadod" / "help");
  fs::create_directories(root / "bare");
  EXPECT_EQ(ResolveAppDir((root / "build").string()), (root / "build").string() + "/");
  EXPECT_EQ(ResolveAppDir((root / "usr" / "bin").string()),
            (root / "usr" / "share" / "vazadod").string() + "/");
  EXPECT_EQ(ResolveAppDir((root / "bare").string() + "/"), (root / "bare").string() + "/");
  fs::remove_all(root);
}

// The icon comes from PNG renderings built into the program: no SVG image plugin is needed.
TEST_F(MainWindowTest, TheWindowShowsTheProgramIconInTheDesktopSizes) {
  Open();
  const QIcon icon = window_->windowIcon();
  const QList<QSize> sizes = icon.availableSizes();
  for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
  }
  const QImage image = icon.pixmap(QSize(48, 48)).toImage();
  ASSERT_EQ(image.size(), QSize(48, 48));
  EXPECT_EQ(qAlpha(image.pixel(24, 24)), 255);  // drawn, not a blank square
}

}  // namespace
