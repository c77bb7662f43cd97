#include "app/uVazadod.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <utility>

#include "app/core/qorAssignmentWorkflows.h"
#include "app/core/qorChangedElsewhere.h"
#include "app/core/qorDocumentRows.h"
#include "app/core/qorLauncher.h"
#include "app/core/qorLinkWorkflows.h"
#include "app/core/qorPlanChart.h"
#include "app/core/qorPlanLoad.h"
#include "app/core/qorPlanReload.h"
#include "app/core/qorPlanSchedule.h"
#include "app/core/qorPlanUpgrade.h"
#include "app/core/qorPlannerCheck.h"
#include "app/core/qorPlannerLoader.h"
#include "app/core/qorPlannerSchema.h"
#include "app/core/qorPlannerStatements.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorReportBuilders.h"
#include "app/core/qorReportFiles.h"
#include "app/core/qorTaskWorkflows.h"
#include "app/qorAppDir.h"
#include "app/qorDesktopLauncher.h"
#include "app/qorDialogFields.h"
#include "app/qorErrorReport.h"
#include "planner/base/qorCalendar.h"
#include "planner/grid/qorChartPainter.h"
#include "app/qorHelpWindow.h"
#include "app/qorPlanDialogs.h"
#include "app/uLink.h"
#include "app/uTask.h"
#include "app/zuzPasswordDialog.h"
#include "db/access/qorDatabaseController.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/grid/qorLoadView.h"
#include "planner/grid/qorPlannerGrid.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"

#ifndef VAZADOD_VERSION
#define VAZADOD_VERSION "0.1"
#endif

namespace {

constexpr int kWindowWidth = 782;
constexpr int kWindowHeight = 644;
constexpr int kToolButtonWidth = 75;
constexpr int kToolSeparatorWidth = 8;
const QColor kWindowColor(0xF0, 0xF0, 0xF0);

// The frame a window manager usually draws around a window (title bar on top), assumed while the
// real one is not known yet.
const QMargins kAssumedFrame(8, 32, 8, 8);

// The client rectangle of a window of the wanted size centred in the available area: shrunk so
// that it fits there together with its frame, and never with its frame outside the area.
QRect FitIntoArea(QSize wanted, QMargins frame, const QRect& available) {
  const QRect inner = available.marginsRemoved(frame);
  QRect r(QPoint(0, 0), wanted.boundedTo(inner.size()).expandedTo(QSize(1, 1)));
  r.moveCenter(inner.center());
  if (r.right() > inner.right()) r.moveRight(inner.right());
  if (r.bottom() > inner.bottom()) r.moveBottom(inner.bottom());
  if (r.left() < inner.left()) r.moveLeft(inner.left());
  if (r.top() < inner.top()) r.moveTop(inner.top());
  return r;
}

const char* const kHelpFile = "help/Vazadod.html";
const char* const kHelpTopic = "Vazadod";

// Pictures named by a report's "img" elements come from here, below AppDir.
const char* const kReportImageFolder = "reports/";
const char* const kReportsFolderName = "Vazadod reports";

// The file dialog of the platform, asking before it replaces a file.
QString AskWithFileDialog(QWidget* parent, const QString& title, const QString& filter,
                          const QString& folder) {
  return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

}  // namespace

TfrmVazadod::TfrmVazadod(const std::string& databasePath, const std::string& appDir,
                         QWidget* parent)
    : QMainWindow(parent), databasePath_(databasePath), appDirOverride_(appDir) {
  setObjectName(QStringLiteral("frmVazadod"));
  setWindowTitle(QStringLiteral("Vazadod"));
  resize(kWindowWidth, kWindowHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    setGeometry(FitIntoArea(QSize(kWindowWidth, kWindowHeight), kAssumedFrame,
                            screen->availableGeometry()));
  }
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kWindowColor);
  setPalette(pal);
  setAutoFillBackground(true);

  CreateToolbar();
  CreateMenu();
  statusBar();  // empty: only a damaged plan's notice stands there

  // The window sees every key before its controls.
  qApp->installEventFilter(this);

  startFailed_ = !RunGuarded([this] { FormCreate(); });
  if (startFailed_) controller_.reset();
}

TfrmVazadod::~TfrmVazadod() {
  FormDestroy();
}

// --- Creating, showing and freeing ---

void TfrmVazadod::FormCreate() {
  // 1. Every number the program formats or reads uses "." whatever the regional settings.
  RegionalSettings().DecimalSeparator.assign(1, '.');

  // 2. The folder of the program's files.
  appDir_ = appDirOverride_.empty()
                ? ResolveAppDir(QCoreApplication::applicationDirPath().toStdString())
                : ResolveAppDir(appDirOverride_);

  // 3. The database connection. A failure here (a missing, damaged or locked file) ends
  //    FormCreate with the engine's message, and the program.
  //    A protected database asks for its password in the login dialog.
  controller_ = std::make_unique<TqorDatabaseController>();
  InstallLoginDialog(controller_->Database(), this);
  controller_->OpenDatabase(databasePath_);
  // A plan of an earlier version is brought up to this program's, in one transaction; one of a
  // newer version ends the start with a message naming both. When the upgrade fails the plan
  // stays as it was and opens read-only, saying why.
  try {
    UpgradePlan(*controller_, databasePath_);
  } catch (const EqorPlanVersionError& e) {
    if (StoredPlanVersion(*controller_) > kPlanVersion) throw;
    upgradeFailure_ = e.what();
  }

  // 4. The report objects: the PDF and RTF converters in English, the report text, the
  //    launcher (the node list is a member).
  pdfReporter_ = std::make_unique<TqorPDFReporter>();
  pdfReporter_->SetLanguage("english");
  rtfReporter_ = std::make_unique<TqorRTFReporter>();
  rtfReporter_->SetLanguage("english");
  reportText_ = std::make_unique<TqorFastString>();
  launcher_ = std::make_unique<TqorLauncher>(std::make_unique<TqorDesktopLauncher>());

  // 5. The planner grid fills the client area; the resource load view (View, Resource Load)
  //    lies below it when shown, its days under the grid's.
  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->setObjectName(QStringLiteral("PlanSplitter"));
  splitter->setChildrenCollapsible(false);
  taskGrid_ = new TqorPlannerGrid(splitter);
  taskGrid_->setObjectName(QStringLiteral("TaskGrid"));
  loadView_ = new TqorLoadView(
      taskGrid_, [this] { return LoadInputOf(taskGrid_->Model()); }, splitter);
  loadView_->onTaskActivated = [this](int32_t taskId, int32_t day) {
    RunGuarded([&] { SelectTaskOnDay(taskId, day); });
  };
  loadView_->hide();
  splitter->addWidget(taskGrid_);
  splitter->addWidget(loadView_);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  setCentralWidget(splitter);

  // 6. The grid's events; onTaskAdded and onTaskDeleted stay unattached. An error in a handler
  //    is reported and the grid goes on.
  taskGrid_->onTaskChanged = [this](TqorPlannerGrid* sender, TqorXMLNode2* task) {
    RunGuarded([&] { TaskGridTaskChanged(sender, task); });
  };
  taskGrid_->onTaskEdit = [this](TqorPlannerGrid* sender, TqorXMLNode2* task) {
    RunGuarded([&] { TaskGridTaskEdit(sender, task); });
  };
  taskGrid_->onProjectChanged = [this](TqorPlannerGrid* sender, TqorXMLNode2* project) {
    RunGuarded([&] { TaskGridProjectChanged(sender, project); });
  };
  taskGrid_->onProjectEdit = [this](TqorPlannerGrid* sender, TqorXMLNode2* project) {
    RunGuarded([&] { TaskGridProjectEdit(sender, project); });
  };

  // 7. The task dialog and the workflows behind the Task menu, the grid's events and the
  //    dialog's resource lists. An error while allocating is shown over the dialog, which stays.
  frmTask_ = new TfrmTask(this);
  taskWorkflows_ = std::make_unique<TqorTaskWorkflows>(*controller_, taskGrid_->Model());
  assignmentWorkflows_ =
      std::make_unique<TqorAssignmentWorkflows>(*controller_, taskGrid_->Model(), *frmTask_);
  frmTask_->onAllocate = [this](int32_t resourceId) {
    RunGuarded([&] { assignmentWorkflows_->AllocationDrop(resourceId); });
  };
  frmTask_->onRemoveAssignment = [this](int32_t assignmentId) {
    RunGuarded(
        [&] { assignmentWorkflows_->RemoveAssignment(frmTask_->GetTask().TaskId, assignmentId); });
  };
  frmTask_->onChangeUnits = [this](int32_t assignmentId) {
    RunGuarded([&] {
      assignmentWorkflows_->ChangeAssignmentUnits(frmTask_->GetTask().TaskId, assignmentId);
    });
  };

  // 8. The windows of projects, resources, holidays and the project filter, created once and
  //    shown again and again; the project and resource lists stay over this window.
  planDialogs_ = std::make_unique<TqorPlanDialogs>(this, *controller_, *taskGrid_);
  planDialogs_->beforeEdit = [this] { ReloadIfChanged(); };

  // 8a. Every change stored by the workflows and the windows is a step of the edit history,
  //     which the Edit menu and the toolbar undo and redo.
  taskWorkflows_->SetHistory(&history_);
  assignmentWorkflows_->SetHistory(&history_);
  planDialogs_->SetHistory(&history_);
  history_.onChange = [this] {
    UpdateUndoCommands();
    UpdateCriticalPath();
  };
  UpdateUndoCommands();

  // 8b. Links between tasks: Alt+drag from one bar to another, a task's context menu, and the
  //     tooltip with its dates, slack and links.
  linkWorkflows_ = std::make_unique<TqorLinkWorkflows>(*controller_, taskGrid_->Model());
  linkWorkflows_->SetHistory(&history_);
  taskGrid_->onLinkDrag = [this](TqorPlannerGrid*, TqorXMLNode2* from, TqorXMLNode2* to) {
    RunGuarded([&] { LinkTasks(from, to); });
  };
  taskGrid_->onTaskMenu = [this](TqorPlannerGrid*, TqorXMLNode2* task, const QPoint& at) {
    RunGuarded([&] { TaskMenu(task, at); });
  };
  taskGrid_->onTaskToolTip = [this](const TqorXMLNode2* task) {
    return qorPlanSchedule::TaskSummary(taskGrid_->Model(), task);
  };
  // The task dialog's Links page; each change is stored at once, as the allocations are.
  frmLink_ = new TfrmLink(frmTask_);
  frmTask_->onAddLink = [this] { RunGuarded([&] { DialogAddLink(); }); };
  frmTask_->onEditLink = [this](int32_t linkId) { RunGuarded([&] { DialogEditLink(linkId); }); };
  frmTask_->onRemoveLink = [this](int32_t linkId) {
    RunGuarded([&] {
      linkWorkflows_->RemoveLink(linkId);
      RefreshDialogLinks();
    });
  };

  // 9. Keeping up with other programs on the plan: a write refused because one of them changed
  //    the row offers to reload; a commit of theirs is noticed on activation and while idle;
  //    a wait for their lock shows, and ends with the engine's error after the limit.
  SetChangedElsewhereHandler([this](const QString& text) { OfferReload(text); });
  controller_->SetLockWaitObserver([this](int waitedMs) { LockWait(waitedMs); });
  controller_->SetLockWaitLimit(kLockWaitLimitMs);
  checkTimer_ = new QTimer(this);
  checkTimer_->setInterval(kCheckIntervalMs);
  connect(checkTimer_, &QTimer::timeout, this, [this] {
    if (!Busy()) RunGuarded([this] { ReloadIfChanged(); });
  });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
    if (s == Qt::ApplicationActive && !Busy()) RunGuarded([this] { ReloadIfChanged(); });
  });
}

void TfrmVazadod::FormShow() {
  if (!taskGrid_ || !controller_) return;
  // Projects, tasks, resources, assignments, holidays, then the settings: the project filter
  // (which rebuilds the rows) and the report format; each table checked as it is read.
  std::vector<std::string> problems;
  const uint32_t counter = controller_->ChangeCounter();
  const TqorPlannerSettings settings =
      LoadCheckedPlanner(*controller_, taskGrid_->Model(), problems);
  controller_->NoteSeen(counter);
  checkTimer_->start();
  LoadReportFormat(settings.ReportFormat);
  taskGrid_->SelectGridCell(2, 2);
  taskGrid_->setFocus();
  if (!upgradeFailure_.empty()) {
    OpenReadOnly(upgradeFailure_,
                 {"the plan could not be brought up to version " + std::to_string(kPlanVersion)},
                 false);
  } else if (!problems.empty()) {
    OpenReadOnly(DamagedPlanMessage(databasePath_, problems), problems);
  }
}

void TfrmVazadod::ReloadPlan() {
  if (!taskGrid_ || !controller_ || !shown_) return;
  const TqorPlanView view = CapturePlanView(taskGrid_->Model(), taskGrid_->Row());
  const int col = taskGrid_->Col();
  const int hScroll = taskGrid_->horizontalScrollBar()->value();
  const int vScroll = taskGrid_->verticalScrollBar()->value();
  std::vector<std::string> problems;
  TqorPlannerSettings settings;
  reloadDue_ = false;
  // A commit between reading the counter and loading only causes one more reload.
  const uint32_t counter = controller_->ChangeCounter();
  const int row = ReloadPlanner(*controller_, taskGrid_->Model(), view, problems, &settings);
  controller_->NoteSeen(counter);
  LoadReportFormat(settings.ReportFormat);
  if (row >= 0) taskGrid_->SelectGridCell(std::max(col, TqorPlannerGrid::kFixedCols), row);
  taskGrid_->horizontalScrollBar()->setValue(hScroll);
  taskGrid_->verticalScrollBar()->setValue(vScroll);
  if (planDialogs_) planDialogs_->RefillLists();
  if (!problems.empty() && !ReadOnly())
    OpenReadOnly(DamagedPlanMessage(databasePath_, problems), problems);
}

bool TfrmVazadod::ReloadIfChanged() {
  if (!taskGrid_ || !controller_ || !shown_) return false;
  if (!reloadDue_ && !controller_->ChangedElsewhere()) return false;
  ReloadPlan();
  return true;
}

bool TfrmVazadod::Busy() const {
  return lockWaitCursor_ || QApplication::activeModalWidget() ||
         QApplication::activePopupWidget() || QGuiApplication::mouseButtons() != Qt::NoButton;
}

void TfrmVazadod::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Back in this window from another one: checked once the activation is handled.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && shown_)
    QTimer::singleShot(0, this, [this] {
      if (!Busy()) RunGuarded([this] { ReloadIfChanged(); });
    });
}

void TfrmVazadod::OfferReload(const QString& text) {
  const std::optional<TqorTaskDialogValues> entries = std::exchange(reopenEntries_, std::nullopt);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Vazadod"),
                  text +
                      QStringLiteral(".\n\nYour change was not stored, and the window shows "
                                     "the row as it is stored now. Reload the plan to see "
                                     "everything the other program changed.") +
                      (entries ? QStringLiteral("\nThe task dialog then opens again with what "
                                                "you entered.")
                               : QString()),
                  QMessageBox::NoButton, QApplication::activeWindow());
  QPushButton* reload = box.addButton(QStringLiteral("Reload"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
  box.setDefaultButton(reload);
  box.exec();
  if (box.clickedButton() != reload) return;
  // Loaded once the handler that failed has returned and no dialog is open any more.
  reloadDue_ = true;
  reopenEntries_ = entries;
  QTimer::singleShot(0, this, [this] { RunDueReload(); });
}

void TfrmVazadod::RunDueReload() {
  if (!reloadDue_) return;
  if (Busy()) {
    QTimer::singleShot(100, this, [this] { RunDueReload(); });
    return;
  }
  if (!RunGuarded([this] { ReloadPlan(); })) return;
  const std::optional<TqorTaskDialogValues> entries = std::exchange(reopenEntries_, std::nullopt);
  if (!entries || !frmTask_) return;
  RunGuarded([&] {
    const std::string id = std::to_string(entries->TaskId);
    TqorXMLNode2* task = ElementAfterCheck("task", id);
    if (!task) return;
    frmTask_->KeepEntriesOnce(*entries);
    // As a double click on the task would: the dialog, then the change stored.
    TaskGridTaskEdit(taskGrid_, task);
    task = taskGrid_->Document().GetNodeById("task", id);
    if (task && dialogEntries_) TaskGridTaskChanged(taskGrid_, task);
    taskGrid_->SortTasks();
    taskGrid_->RebuildRows();
  });
}

TqorXMLNode2* TfrmVazadod::ElementAfterCheck(const char* element, const std::string& id) {
  ReloadIfChanged();
  TqorXMLNode2* node = taskGrid_->Document().GetNodeById(element, id);
  if (!node)
    QMessageBox::information(
        this, QStringLiteral("Vazadod"),
        QStringLiteral("Another program deleted this %1; the window now shows the plan as "
                       "stored.")
            .arg(QString::fromLatin1(element)));
  return node;
}

QString TfrmVazadod::BusyMessage() {
  return QStringLiteral("The plan is busy in another program: waiting for it...");
}

void TfrmVazadod::LockWait(int waitedMs) {
  if (waitedMs < 0) {
    if (lockWaitCursor_) QApplication::restoreOverrideCursor();
    if (lockWaitMessage_) statusBar()->clearMessage();
    lockWaitCursor_ = lockWaitMessage_ = false;
    return;
  }
  if (!lockWaitCursor_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    lockWaitCursor_ = true;
  }
  if (waitedMs >= kBusyMessageMs && !lockWaitMessage_) {
    statusBar()->showMessage(BusyMessage());
    // Painted at once: the engine holds the thread, and no event is handled while it waits.
    statusBar()->repaint();
    lockWaitMessage_ = true;
  }
}

void TfrmVazadod::OpenReadOnly(const std::string& message, const std::vector<std::string>& problems,
                               bool damaged) {
  damageMessage_ = message;
  controller_->SetReadOnly(damaged ? "The plan is damaged and open read-only: nothing can be "
                                     "changed or stored."
                                   : "The plan is open read-only: nothing can be changed or "
                                     "stored.");
  setWindowTitle(QStringLiteral("Vazadod (read-only)"));
  for (QAction* item : {Add1, Delete1, mnuProjects, mnuResources}) item->setEnabled(false);
  UpdateUndoCommands();
  QString problemList;
  for (const std::string& problem : problems)
    problemList += (problemList.isEmpty() ? "" : "; ") + QString::fromStdString(problem);
  auto* label = new QLabel(
      damaged ? QStringLiteral("<b>Read-only:</b> the plan is damaged (%1). Check the file with "
                               "<nobr>zuzdump --check</nobr>.")
                    .arg(problemList.toHtmlEscaped())
              : QStringLiteral("<b>Read-only:</b> %1.").arg(problemList.toHtmlEscaped()),
      this);
  label->setObjectName(QStringLiteral("lblDamaged"));
  label->setTextFormat(Qt::RichText);
  label->setWordWrap(true);
  label->setToolTip(QString::fromStdString(message));
  label->setStyleSheet(QStringLiteral("QLabel { color: #8b0000; padding: 2px; }"));
  statusBar()->addWidget(label, 1);
  // Told once the window with the plan stands behind the message.
  QTimer::singleShot(0, this, [this] {
    QMessageBox::warning(this, QStringLiteral("Vazadod"),
                         QString::fromStdString(damageMessage_) +
                             QStringLiteral("\n\nVazadod opened it read-only: you can read it, "
                                            "make reports and export it, but nothing you change "
                                            "is stored."));
  });
}

void TfrmVazadod::RefuseChange() {
  QMessageBox::information(
      this, QStringLiteral("Vazadod"),
      QStringLiteral("The plan is damaged and open read-only: nothing can be changed."));
}

void TfrmVazadod::FormDestroy() {
  // Freed in this order once they exist: the database controller (which disconnects), the PDF
  // and RTF converters, the report text, the launcher and the node list. The windows and the
  // workflows, which use the connection, go first.
  SetChangedElsewhereHandler(nullptr);
  if (lockWaitCursor_) QApplication::restoreOverrideCursor();
  lockWaitCursor_ = false;
  planDialogs_.reset();
  assignmentWorkflows_.reset();
  taskWorkflows_.reset();
  linkWorkflows_.reset();
  controller_.reset();
  pdfReporter_.reset();
  rtfReporter_.reset();
  reportText_.reset();
  launcher_.reset();
  nodeList_.clear();
  qApp->removeEventFilter(this);
}

void TfrmVazadod::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  RunGuarded([this] { FormShow(); });
}

// --- Toolbar and menu ---

void TfrmVazadod::CreateToolbar() {
  QToolBar* bar = addToolBar(QStringLiteral("Navigation"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->toggleViewAction()->setVisible(false);
  auto addButton = [&](QToolButton*& button, const char* component, const QString& caption,
                       void (TfrmVazadod::*handler)()) {
    auto* separator = new QWidget(bar);
    separator->setFixedWidth(kToolSeparatorWidth);
    bar->addWidget(separator);
    button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(component));
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedWidth(kToolButtonWidth);
    bar->addWidget(button);
    connect(button, &QToolButton::clicked, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
  };
  addButton(cmdPrevYear, "cmdPrevYear", QStringLiteral("< Year"), &TfrmVazadod::cmdPrevYearClick);
  addButton(cmdPrevMonth, "cmdPrevMonth", QStringLiteral("< Month"),
            &TfrmVazadod::cmdPrevMonthClick);
  addButton(cmdCurrentMonth, "cmdCurrentMonth", QStringLiteral("This Month"),
            &TfrmVazadod::cmdCurrentMonthClick);
  addButton(cmdNexMonth, "cmdNexMonth", QStringLiteral("Month >"), &TfrmVazadod::cmdNexMonthClick);
  addButton(cmdNextYear, "cmdNextYear", QStringLiteral("Year >"), &TfrmVazadod::cmdNextYearClick);
  addButton(cmdUndo, "cmdUndo", QStringLiteral("Undo"), &TfrmVazadod::mnuUndoClick);
  addButton(cmdRedo, "cmdRedo", QStringLiteral("Redo"), &TfrmVazadod::mnuRedoClick);
}

QAction* TfrmVazadod::AddMenuItem(QMenu* menu, const QString& caption, const char* component,
                                  void (TfrmVazadod::*handler)()) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(component));
  connect(action, &QAction::triggered, this, [this, handler] {
    RunGuarded([&] { (this->*handler)(); });
    if (loadView_) loadView_->Refresh();
  });
  return action;
}

void TfrmVazadod::CreateMenu() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  mnuExportXml = AddMenuItem(file, QStringLiteral("&Export to XML"), "mnuExportXml",
                             &TfrmVazadod::mnuExportXmlClick);
  QMenu* exports = file->addMenu(QStringLiteral("E&xport"));
  exports->setObjectName(QStringLiteral("mnuExport"));
  mnuExportMspdi = AddMenuItem(exports, QStringLiteral("&MS Project XML..."), "mnuExportMspdi",
                               &TfrmVazadod::mnuExportMspdiClick);
  mnuExportTaskJuggler =
      AddMenuItem(exports, QStringLiteral("&TaskJuggler..."), "mnuExportTaskJuggler",
                  &TfrmVazadod::mnuExportTaskJugglerClick);
  mnuExportCsv = AddMenuItem(exports, QStringLiteral("&CSV..."), "mnuExportCsv",
                             &TfrmVazadod::mnuExportCsvClick);
  mnuExportICalendar = AddMenuItem(exports, QStringLiteral("&iCalendar..."), "mnuExportICalendar",
                                   &TfrmVazadod::mnuExportICalendarClick);
  QMenu* imports = file->addMenu(QStringLiteral("&Import"));
  imports->setObjectName(QStringLiteral("mnuImport"));
  mnuImportMspdi = AddMenuItem(imports, QStringLiteral("&MS Project XML..."), "mnuImportMspdi",
                               &TfrmVazadod::mnuImportMspdiClick);
  mnuExportChart = AddMenuItem(file, QStringLiteral("Export &Chart..."), "mnuExportChart",
                               &TfrmVazadod::mnuExportChartClick);
  file->addSeparator();
  mnuPrintPreview = AddMenuItem(file, QStringLiteral("Print Pre&view..."), "mnuPrintPreview",
                                &TfrmVazadod::mnuPrintPreviewClick);
  mnuPrint = AddMenuItem(file, QStringLiteral("&Print..."), "mnuPrint", &TfrmVazadod::mnuPrintClick);
  mnuPrint->setShortcut(QKeySequence::Print);

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  mnuUndo = AddMenuItem(edit, QStringLiteral("&Undo"), "mnuUndo", &TfrmVazadod::mnuUndoClick);
  mnuUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  mnuRedo = AddMenuItem(edit, QStringLiteral("&Redo"), "mnuRedo", &TfrmVazadod::mnuRedoClick);
  mnuRedo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

  QMenu* task = bar->addMenu(QStringLiteral("&Task"));
  Add1 = AddMenuItem(task, QStringLiteral("&Add"), "Add1", &TfrmVazadod::Add1Click);
  Delete1 = AddMenuItem(task, QStringLiteral("&Delete"), "Delete1", &TfrmVazadod::Delete1Click);
  task->addSeparator();
  mnuReschedule = AddMenuItem(task, QStringLiteral("Re&schedule"), "mnuReschedule",
                              &TfrmVazadod::mnuRescheduleClick);
  mnuReschedule->setShortcut(QKeySequence(Qt::Key_F9));

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  mnuProjects =
      AddMenuItem(view, QStringLiteral("&Projects"), "mnuProjects", &TfrmVazadod::mnuProjectsClick);
  mnuResources = AddMenuItem(view, QStringLiteral("&Resources"), "mnuResources",
                             &TfrmVazadod::mnuResourcesClick);
  view->addSeparator();
  mnuCriticalPath = AddMenuItem(view, QStringLiteral("&Critical Path"), "mnuCriticalPath",
                                &TfrmVazadod::mnuCriticalPathClick);
  mnuCriticalPath->setCheckable(true);
  mnuGoToDate = AddMenuItem(view, QStringLiteral("&Go to Date..."), "mnuGoToDate",
                            &TfrmVazadod::mnuGoToDateClick);
  mnuGoToDate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  mnuResourceLoad = AddMenuItem(view, QStringLiteral("Resource L&oad"), "mnuResourceLoad",
                                &TfrmVazadod::mnuResourceLoadClick);
  mnuResourceLoad->setCheckable(true);
  mnuResourceLoad->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  view->addSeparator();
  mnuReload =
      AddMenuItem(view, QStringLiteral("Re&load"), "mnuReload", &TfrmVazadod::mnuReloadClick);
  mnuReload->setShortcut(QKeySequence(Qt::Key_F5));

  QMenu* report = bar->addMenu(QStringLiteral("&Report"));
  mnuReportTasks = AddMenuItem(report, QStringLiteral("&Tasks"), "mnuReportTasks",
                               &TfrmVazadod::mnuReportTasksClick);
  mnuReportHolidays = AddMenuItem(report, QStringLiteral("&Holidays"), "mnuReportHolidays",
                                  &TfrmVazadod::mnuReportHolidaysClick);
  mnuReportResources = AddMenuItem(report, QStringLiteral("&Resources"), "mnuReportResources",
                                   &TfrmVazadod::mnuReportResourcesClick);
  report->addSeparator();
  QMenu* format = report->addMenu(QStringLiteral("&Format"));
  mnuReportPDF =
      AddMenuItem(format, QStringLiteral("PDF"), "mnuReportPDF", &TfrmVazadod::mnuReportPDFClick);
  mnuReportRTF =
      AddMenuItem(format, QStringLiteral("RTF"), "mnuReportRTF", &TfrmVazadod::mnuReportRTFClick);
  mnuReportFormat = new QActionGroup(this);
  mnuReportFormat->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (QAction* item : {mnuReportPDF, mnuReportRTF}) {
    item->setCheckable(true);
    mnuReportFormat->addAction(item);
  }
  mnuReportPDF->setChecked(true);

  QMenu* options = bar->addMenu(QStringLiteral("&Options"));
  FilterProjects1 = AddMenuItem(options, QStringLiteral("&Filter Projects..."), "FilterProjects1",
                                &TfrmVazadod::FilterProjects1Click);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  Vazadod1 =
      AddMenuItem(help, QStringLiteral("&Vazadod Help"), "Vazadod1", &TfrmVazadod::Vazadod1Click);
  Vazadod1->setShortcut(QKeySequence(Qt::Key_F1));
  About1 = AddMenuItem(help, QStringLiteral("&About"), "About1", &TfrmVazadod::About1Click);
}

void TfrmVazadod::SetReportFormat(const std::string& format) {
  if (controller_ && !ReadOnly()) {
    try {
      StoreReportFormat(*controller_, reportFormat_, format, &history_);
    } catch (const EqorChangedElsewhere&) {
      // The menu shows the format another program stored; the message offers to reload.
      LoadReportFormat(StoredReportFormat(*controller_));
      throw;
    } catch (...) {
      LoadReportFormat(reportFormat_);
      throw;
    }
  }
  mnuReportPDF->setChecked(format == "PDF");
  mnuReportRTF->setChecked(format == "RTF");
  reportFormat_ = format;
}

// --- Reports and export ---

QString TfrmVazadod::ReportsFolder() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  const QString folder = QDir(documents).filePath(QLatin1String(kReportsFolderName));
  QDir().mkpath(folder);
  return folder;
}

std::string TfrmVazadod::AskFileName(const QString& title, const QString& filter,
                                     const char* extension) {
  const QString folder = ReportsFolder();
  const QString chosen = saveDialog_ ? saveDialog_(title, filter, folder)
                                     : AskWithFileDialog(this, title, filter, folder);
  if (chosen.isEmpty()) return {};
  const std::string name = ChangeFileExtension(chosen.toStdString(), extension);
  CheckNotPlanFile(name, databasePath_);
  // The dialog asked about the name it was given; a different file of the name written is
  // not replaced without asking either.
  if (name != chosen.toStdString() && QFileInfo::exists(QString::fromStdString(name))) {
    const QString text = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QDir::toNativeSeparators(QString::fromStdString(name)));
    if (QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
      return {};
  }
  return name;
}

std::string TfrmVazadod::AskReportFileName(const QString& title) {
  const bool pdf = mnuReportPDF->isChecked();
  return AskFileName(
      title,
      pdf ? QStringLiteral("PDF reports (*.pdf)") : QStringLiteral("RTF reports (*.rtf)"),
      pdf ? ".pdf" : ".rtf");
}

void TfrmVazadod::SetLauncherPlatform(std::unique_ptr<TqorLauncherPlatform> platform) {
  launcher_ = std::make_unique<TqorLauncher>(std::move(platform));
}

void TfrmVazadod::MakeReport(const QString& title, const std::function<std::string()>& build) {
  if (!reportText_ || !taskGrid_) return;
  const std::string file = AskReportFileName(title);
  if (file.empty()) return;
  const std::string markup = build();
  if (!RenderReportFile(reportFormat_, markup, file, appDir_ + kReportImageFolder, *pdfReporter_,
                        *rtfReporter_))
    return;
  if (reportFormat_ == "PDF" && pdfReporter_->CharactersWithoutFont() > 0)
    ShowInfo(this, NoFontMessage(pdfReporter_->CharactersWithoutFont()) + ".");
  const std::string_view viewer = reportFormat_ == "PDF" ? kPDFViewerProgram : kRTFViewerProgram;
  const QString shown = QDir::toNativeSeparators(QString::fromStdString(file));
  statusBar()->showMessage(QStringLiteral("Report saved to %1").arg(shown), 8000);
  if (launcher_->OpenDocument(file, viewer)) return;
  const QString folder = QFileInfo(QString::fromStdString(file)).absolutePath();
  const QString text =
      QStringLiteral("The report was saved to\n%1\nbut no program was found to show it (neither "
                     "%2 nor the desktop's program for %3 files).\n\nDo you want to open its "
                     "folder?")
          .arg(shown, QString::fromUtf8(viewer.data(), static_cast<qsizetype>(viewer.size())),
               QString::fromStdString(reportFormat_));
  if (QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) == QMessageBox::Yes)
    launcher_->Platform().OpenWithDesktop(folder.toStdString());
}

void TfrmVazadod::LoadReportFormat(const std::string& format) {
  reportFormat_ = format;
  if (format == "PDF") {
    mnuReportPDF->setChecked(true);
  } else if (format == "RTF") {
    mnuReportRTF->setChecked(true);
  }
}

// --- Handlers ---

void TfrmVazadod::cmdPrevYearClick() {
  if (taskGrid_) taskGrid_->PreviousYear();
}
void TfrmVazadod::cmdPrevMonthClick() {
  if (taskGrid_) taskGrid_->PreviousMonth();
}
void TfrmVazadod::cmdCurrentMonthClick() {
  if (taskGrid_) taskGrid_->ShowCurrentMonth();
}
void TfrmVazadod::cmdNexMonthClick() {
  if (taskGrid_) taskGrid_->NextMonth();
}
void TfrmVazadod::cmdNextYearClick() {
  if (taskGrid_) taskGrid_->NextYear();
}

void TfrmVazadod::mnuExportXmlClick() {
  if (!taskGrid_) return;
  const std::string file =
      AskFileName(QStringLiteral("Export to XML"), QStringLiteral("XML Files (*.xml)"), ".xml");
  if (file.empty()) return;
  if (const size_t dropped = ExportPlannerXml(taskGrid_->Document(), file))
    ShowInfo(this, XmlLeftOutMessage(dropped, file));
}
void TfrmVazadod::ExportAs(TqorExchangeFormat format, const QString& title, const QString& filter) {
  if (!taskGrid_ || !controller_) return;
  TqorExportRequest request;
  request.Format = format;
  request.FileName = AskFileName(title, filter, ExchangeFormatExtension(format));
  if (request.FileName.empty()) return;
  if (format == TqorExchangeFormat::Csv) {
    // The three files are not those the dialog asked about.
    QStringList existing;
    for (const std::string& name : CsvFileNames(request.FileName))
      if (QFileInfo::exists(QString::fromStdString(name)))
        existing << QDir::toNativeSeparators(QString::fromStdString(name));
    if (!existing.isEmpty() &&
        QMessageBox::question(
            this, title,
            existing.join('\n') +
                (existing.size() == 1
                     ? QStringLiteral("\nalready exists.\nDo you want to replace it?")
                     : QStringLiteral("\nalready exist.\nDo you want to replace them?")),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
      return;
  }
  request.PlanName = PlanName().toStdString();
  request.PlanId = ExportPlanId(*controller_, databasePath_);
  request.Stamp = QDateTime::currentSecsSinceEpoch();
  const TqorExportResult result = WriteExportFiles(taskGrid_->Model(), request, databasePath_);
  std::string text;
  if (result.Files.size() > 1) {
    text = "The plan was written to";
    for (const std::string& name : result.Files)
      text += "\n" + QDir::toNativeSeparators(QString::fromStdString(name)).toStdString();
  }
  for (const std::string& note : result.Notes) text += (text.empty() ? "" : "\n\n") + note;
  if (!text.empty()) ShowInfo(this, text);
  statusBar()->showMessage(
      QStringLiteral("Exported to %1")
          .arg(QDir::toNativeSeparators(QString::fromStdString(
              result.Files.empty() ? request.FileName : result.Files.front()))),
      5000);
}

void TfrmVazadod::mnuExportMspdiClick() {
  ExportAs(TqorExchangeFormat::Mspdi, QStringLiteral("Export to MS Project XML"),
           QStringLiteral("MS Project XML files (*.xml)"));
}
void TfrmVazadod::mnuExportTaskJugglerClick() {
  ExportAs(TqorExchangeFormat::TaskJuggler, QStringLiteral("Export to TaskJuggler"),
           QStringLiteral("TaskJuggler projects (*.tjp)"));
}
void TfrmVazadod::mnuExportCsvClick() {
  ExportAs(TqorExchangeFormat::Csv, QStringLiteral("Export to CSV"),
           QStringLiteral("CSV files (*.csv)"));
}
void TfrmVazadod::mnuExportICalendarClick() {
  ExportAs(TqorExchangeFormat::ICalendar, QStringLiteral("Export to iCalendar"),
           QStringLiteral("iCalendar files (*.ics)"));
}

void TfrmVazadod::mnuImportMspdiClick() {
  if (ReadOnly()) return RefuseChange();
  if (!taskGrid_ || !controller_) return;
  const QString title = QStringLiteral("Import MS Project XML");
  const QString filter = QStringLiteral("MS Project XML files (*.xml);;All files (*)");
  const QString folder = QDir::homePath();
  const QString chosen = openDialog_ ? openDialog_(title, filter, folder)
                                     : QFileDialog::getOpenFileName(this, title, folder, filter);
  if (chosen.isEmpty()) return;
  TqorImportResult result;
  try {
    result = ImportMspdiFile(*controller_, chosen.toStdString(), &history_);
  } catch (const std::exception& e) {
    QMessageBox::warning(this, title,
                         QStringLiteral("%1 was not imported; the plan is as it was.\n\n%2")
                             .arg(QDir::toNativeSeparators(chosen), QString::fromUtf8(e.what())));
    return;
  }
  ReloadPlan();
  statusBar()->showMessage(QString::fromStdString(ImportedText(result.Counts)), 5000);
  ShowInfo(this, ImportResultText(result));
}

namespace {

QDate DateOfDay(double day) {
  int y = 0, m = 0, d = 0;
  DecodeDate(day, y, m, d);
  return QDate(y, m, d);
}

// " (1 page)", " (2 pages)".
QString PagesText(int pages) {
  return pages == 1 ? QStringLiteral(" (1 page)") : QStringLiteral(" (%1 pages)").arg(pages);
}

QPageSize ChartPaper(int paper) {
  return QPageSize(paper == 1 ? QPageSize::Letter : paper == 2 ? QPageSize::A3 : QPageSize::A4);
}

// The paper, orientation and margins the export gives a PDF, so that a print to a file holds
// the same pages.
void SetUpChartPrinter(QPrinter& printer, const TqorChartSettings& settings) {
  const TqorChartPaper margins;
  printer.setPageLayout(
      QPageLayout(ChartPaper(settings.Paper),
                  settings.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                  QMarginsF(margins.MarginMm, margins.MarginMm, margins.MarginMm, margins.MarginMm),
                  QPageLayout::Millimeter));
}

}  // namespace

QString TfrmVazadod::PlanName() const {
  return QFileInfo(QString::fromStdString(databasePath_)).completeBaseName();
}

TqorChartSettings TfrmVazadod::ChartSettings() const {
  if (chartSettings_) return *chartSettings_;
  TqorChartSettings s;
  if (taskGrid_) {
    const double first = taskGrid_->Model().StartDate();
    s.From = DateOfDay(first);
    s.To = DateOfDay(first + TqorPlannerModel::kDayColumns - 1);
    s.CriticalPath = taskGrid_->Model().ShowCriticalPath();
  }
  s.Paper = QLocale().measurementSystem() == QLocale::ImperialUSSystem ? 1 : 0;
  return s;
}

TqorChartInput TfrmVazadod::ChartInput(const TqorChartSettings& settings) {
  TqorChartContent content;
  content.AllUnfolded = settings.AllUnfolded;
  content.CriticalPath = settings.CriticalPath;
  content.Title = PlanName().toStdString();
  return ChartInputOf(taskGrid_->Model(), content);
}

TqorChartOptions TfrmVazadod::ChartOptions(const TqorChartSettings& settings) {
  TqorChartOptions options;
  const auto day = [](const QDate& date) {
    return static_cast<int32_t>(EncodeDate(date.year(), date.month(), date.day()));
  };
  options.From = day(settings.From);
  options.To = day(settings.To);
  options.Scale = settings.Scale;
  options.FitToPage = settings.FitToPage;
  return options;
}

std::optional<TqorChartSettings> TfrmVazadod::AskChart(bool forExport) {
  std::optional<TqorChartSettings> chosen;
  if (chartDialog_) {
    chosen = chartDialog_(ChartSettings(), forExport);
  } else {
    TfrmChart dialog(this, ChartSettings(), forExport);
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.Settings();
  }
  if (chosen) chartSettings_ = chosen;
  return chosen;
}

void TfrmVazadod::mnuExportChartClick() {
  if (!taskGrid_) return;
  const std::optional<TqorChartSettings> chosen = AskChart(true);
  if (!chosen) return;
  static const char* const kExtensions[] = {".pdf", ".png", ".svg"};
  static const char* const kFilters[] = {"PDF documents (*.pdf)", "PNG images (*.png)",
                                         "SVG drawings (*.svg)"};
  const int f = static_cast<int>(chosen->Format);
  const QString title = QStringLiteral("Export Chart");
  std::string file;
  try {
    file = AskFileName(title, QString::fromLatin1(kFilters[f]), kExtensions[f]);
    if (file.empty()) return;
    const QString path = QString::fromStdString(file);
    const TqorChartInput input = ChartInput(*chosen);
    const TqorChartOptions options = ChartOptions(*chosen);
    QString done = QStringLiteral("Chart exported to %1").arg(QDir::toNativeSeparators(path));
    if (chosen->Format == TqorChartFormat::Pdf) {
      TqorChartPaper paper;
      paper.Size = ChartPaper(chosen->Paper);
      paper.Orientation = chosen->Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
      const int pages = WriteChartPdf(path, input, options, paper);
      done += PagesText(pages);
    } else if (chosen->Format == TqorChartFormat::Png) {
      WriteChartPng(path, input, options, chosen->Dpi);
    } else {
      WriteChartSvg(path, input, options);
    }
    statusBar()->showMessage(done, 8000);
  } catch (const std::exception& e) {
    QMessageBox::warning(
        this, title,
        QStringLiteral("The chart was not exported.\n\n%1").arg(QString::fromUtf8(e.what())));
  }
}

void TfrmVazadod::mnuPrintClick() {
  if (!taskGrid_) return;
  const std::optional<TqorChartSettings> chosen = AskChart(false);
  if (!chosen) return;
  QPrinter printer(QPrinter::HighResolution);
  SetUpChartPrinter(printer, *chosen);
  printer.setDocName(PlanName());
  QPrintDialog dialog(&printer, this);
  dialog.setObjectName(QStringLiteral("dlgPrint"));
  dialog.setWindowTitle(QStringLiteral("Print Chart"));
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (dialog.exec() != QDialog::Accepted) return;
  try {
    const int pages = PaintChart(printer, ChartInput(*chosen), ChartOptions(*chosen));
    statusBar()->showMessage(QStringLiteral("The chart was printed") + PagesText(pages), 8000);
  } catch (const std::exception& e) {
    QMessageBox::warning(
        this, QStringLiteral("Print Chart"),
        QStringLiteral("The chart was not printed.\n\n%1").arg(QString::fromUtf8(e.what())));
  }
}

void TfrmVazadod::mnuPrintPreviewClick() {
  if (!taskGrid_) return;
  const std::optional<TqorChartSettings> chosen = AskChart(false);
  if (!chosen) return;
  const TqorChartInput input = ChartInput(*chosen);
  const TqorChartOptions options = ChartOptions(*chosen);
  QPrinter printer(QPrinter::HighResolution);
  SetUpChartPrinter(printer, *chosen);
  QPrintPreviewDialog preview(&printer, this);
  preview.setObjectName(QStringLiteral("dlgPrintPreview"));
  preview.setWindowTitle(QStringLiteral("Print Preview"));
  QString failure;
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
    try {
      PaintChart(*target, input, options);
    } catch (const std::exception& e) {
      failure = QString::fromUtf8(e.what());
    }
  });
  preview.exec();
  if (!failure.isEmpty())
    QMessageBox::warning(this, QStringLiteral("Print Preview"),
                         QStringLiteral("The chart cannot be shown.\n\n%1").arg(failure));
}

void TfrmVazadod::Add1Click() {
  if (ReadOnly()) return RefuseChange();
  if (!taskWorkflows_) return;
  ReloadIfChanged();  // the current row stays on its project
  taskWorkflows_->Add1Click(taskGrid_->Row());
}
void TfrmVazadod::Delete1Click() {
  if (ReadOnly()) return RefuseChange();
  if (!taskWorkflows_) return;
  ReloadIfChanged();
  taskWorkflows_->Delete1Click(taskGrid_->Row());
}
void TfrmVazadod::mnuProjectsClick() {
  ReloadIfChanged();
  if (planDialogs_) planDialogs_->ShowProjects();
}
void TfrmVazadod::mnuResourcesClick() {
  ReloadIfChanged();
  if (planDialogs_) planDialogs_->ShowResources();
}
void TfrmVazadod::mnuReloadClick() {
  ReloadPlan();
}
void TfrmVazadod::mnuRescheduleClick() {
  if (ReadOnly()) return RefuseChange();
  if (!linkWorkflows_) return;
  ReloadIfChanged();
  const int moved = linkWorkflows_->Reschedule();
  ShowMoved(moved);
  if (moved == 0)
    statusBar()->showMessage(QStringLiteral("Every task is where its links allow"), 5000);
}

void TfrmVazadod::mnuCriticalPathClick() {
  if (!taskGrid_) return;
  taskGrid_->Model().SetShowCriticalPath(mnuCriticalPath->isChecked());
  UpdateCriticalPath();
}

void TfrmVazadod::mnuResourceLoadClick() {
  if (!loadView_) return;
  loadView_->setVisible(mnuResourceLoad->isChecked());
  // Shown for the first time (or squeezed): a quarter of the height, the grid the rest.
  auto* splitter = qobject_cast<QSplitter*>(centralWidget());
  if (splitter && loadView_->isVisible() && loadView_->height() < 4 * TqorLoadView::kRowHeight) {
    const int total = splitter->height();
    splitter->setSizes({total - total / 4, total / 4});
  }
}

void TfrmVazadod::SelectTaskOnDay(int32_t taskId, int32_t day) {
  if (!taskGrid_) return;
  TqorPlannerModel& model = taskGrid_->Model();
  const std::string id = std::to_string(taskId);
  for (int row = TqorPlannerGrid::kFixedRows; row < taskGrid_->RowCount(); ++row) {
    const TqorXMLNode2* node = taskGrid_->RowNode(row);
    if (!node || node->GetAttributeStr("id") != id || node->Parent() == model.ProjectsNode())
      continue;
    if (taskGrid_->RowHeight(row) <= 0) break;  // its project is folded
    taskGrid_->SelectGridCell(
        TqorPlannerGrid::kFixedCols + static_cast<int>(day - taskGrid_->StartDate()), row);
    taskGrid_->setFocus();
    return;
  }
  statusBar()->showMessage(
      QStringLiteral("The task is not shown: its project is folded or filtered out"), 5000);
}

void TfrmVazadod::mnuGoToDateClick() {
  if (!taskGrid_) return;
  bool ok = false;
  const QString shown = QString::fromStdString(
      FormatDateTime(RegionalSettings().ShortDateFormat, taskGrid_->ColToDate(taskGrid_->Col())));
  const QString text = QInputDialog::getText(
      this, QStringLiteral("Go to Date"),
      QStringLiteral("Date (%1):").arg(QString::fromStdString(RegionalSettings().ShortDateFormat)),
      QLineEdit::Normal, shown, &ok);
  if (!ok || text.trimmed().isEmpty()) return;
  double date = 0;
  if (!TryTextToDate(text.trimmed().toStdString(), date) || !IsCalendarDayNumber(date)) {
    QMessageBox::information(this, QStringLiteral("Go to Date"),
                             text + QStringLiteral(" is not a date."));
    return;
  }
  date = std::floor(date);
  taskGrid_->SetStartDate(EncodeDate(YearOf(date), MonthOf(date), 1));
  const int col = TqorPlannerGrid::kFixedCols + static_cast<int>(date - taskGrid_->StartDate());
  const int row = taskGrid_->Row() >= TqorPlannerGrid::kFixedRows ? taskGrid_->Row()
                                                                  : TqorPlannerGrid::kFixedRows;
  taskGrid_->SelectGridCell(col, row);
}

void TfrmVazadod::UpdateCriticalPath() {
  if (!taskGrid_) return;
  TqorPlannerModel& model = taskGrid_->Model();
  if (model.ShowCriticalPath()) model.SetCriticalTasks(qorPlanSchedule::CriticalTasks(model));
  taskGrid_->viewport()->update();
}

void TfrmVazadod::ShowMoved(int moved) {
  const std::string text = qorPlanSchedule::MovedText(moved);
  if (!text.empty()) statusBar()->showMessage(QString::fromStdString(text), 8000);
}

void TfrmVazadod::LinkTasks(TqorXMLNode2* from, TqorXMLNode2* to) {
  if (ReadOnly()) return RefuseChange();
  ReloadIfChanged();
  const TqorXMLParser2& document = taskGrid_->Document();
  const std::string fromId = from->GetAttributeStr("id"), toId = to->GetAttributeStr("id");
  // The elements may have been replaced by a reload.
  if (!document.GetNodeById("task", fromId) || !document.GetNodeById("task", toId)) return;
  ShowMoved(linkWorkflows_->AddLink(std::stoi(fromId), std::stoi(toId), TqorLinkType::FS, 0));
}

void TfrmVazadod::TaskMenu(TqorXMLNode2* task, const QPoint& at) {
  QMenu menu(this);
  QAction* linkTo = menu.addAction(QStringLiteral("&Link to..."));
  QAction* removeLinks = menu.addAction(QStringLiteral("&Remove Links"));
  const std::string id = task->GetAttributeStr("id");
  removeLinks->setEnabled(!qorDocumentRows::LinksOf(taskGrid_->Model(), {id}).empty());
  linkTo->setEnabled(!ReadOnly());
  removeLinks->setEnabled(removeLinks->isEnabled() && !ReadOnly());
  QAction* chosen = menu.exec(at);
  if (chosen == removeLinks) {
    ReloadIfChanged();
    linkWorkflows_->RemoveLinksOf(std::stoi(id));
    UpdateCriticalPath();
  } else if (chosen == linkTo) {
    // The other tasks, by project, for the one that is to follow this task.
    QStringList names;
    std::vector<std::string> ids;
    const TqorXMLNode2* projects = taskGrid_->ProjectsNode();
    for (int p = 0; projects && p < projects->ChildCount(); ++p) {
      const TqorXMLNode2* project = projects->GetChild(p);
      for (int t = 0; t < project->ChildCount(); ++t) {
        const TqorXMLNode2* other = project->GetChild(t);
        if (other->GetAttributeStr("id") == id) continue;
        names << QString::fromStdString(project->GetAttributeStr("name") + " / " +
                                        other->GetAttributeStr("name"));
        ids.push_back(other->GetAttributeStr("id"));
      }
    }
    if (names.isEmpty()) return;
    bool ok = false;
    const QString picked =
        QInputDialog::getItem(this, QStringLiteral("Link to"),
                              QStringLiteral("The task that follows '%1' (finish to start):")
                                  .arg(QString::fromStdString(task->GetAttributeStr("name"))),
                              names, 0, false, &ok);
    if (!ok) return;
    const std::string successor = ids[static_cast<size_t>(names.indexOf(picked))];
    ReloadIfChanged();
    if (!taskGrid_->Document().GetNodeById("task", id)) return;
    ShowMoved(linkWorkflows_->AddLink(std::stoi(id), std::stoi(successor), TqorLinkType::FS, 0));
  }
}

void TfrmVazadod::DialogAddLink() {
  const TqorTaskDialogValues shown = frmTask_->GetTask();
  std::vector<TqorResourceEntry> others;
  const TqorXMLNode2* projects = taskGrid_->ProjectsNode();
  for (int p = 0; projects && p < projects->ChildCount(); ++p) {
    const TqorXMLNode2* project = projects->GetChild(p);
    for (int t = 0; t < project->ChildCount(); ++t) {
      const TqorXMLNode2* other = project->GetChild(t);
      const int32_t id = other->GetAttribute("id").AsInteger();
      if (id != shown.TaskId)
        others.push_back(
            {project->GetAttributeStr("name") + " / " + other->GetAttributeStr("name"), id});
    }
  }
  TfrmLink::TValues values;
  if (!frmLink_->ExecuteNew(shown.Name, others, values)) return;
  const int moved =
      values.OtherComesFirst
          ? linkWorkflows_->AddLink(values.OtherTaskId, shown.TaskId, values.Type, values.Lag)
          : linkWorkflows_->AddLink(shown.TaskId, values.OtherTaskId, values.Type, values.Lag);
  RefreshDialogLinks();
  ShowMoved(moved);
}

void TfrmVazadod::DialogEditLink(int32_t linkId) {
  const TqorXMLNode2* link = linkWorkflows_->Link(linkId);
  if (!link) return;
  TfrmLink::TValues values;
  values.Type = qorPlanSchedule::LinkTypeOf(link);
  values.Lag = static_cast<int32_t>(std::lround(link->GetAttribute("lag").AsReal()));
  if (!frmLink_->ExecuteEdit(linkWorkflows_->LinkName(link), values)) return;
  const int moved = linkWorkflows_->EditLink(linkId, values.Type, values.Lag);
  RefreshDialogLinks();
  ShowMoved(moved);
}

double TfrmVazadod::DialogTaskStart() {
  const TqorXMLNode2* task =
      taskGrid_->Document().GetNodeById("task", std::to_string(frmTask_->GetTask().TaskId));
  return task ? task->GetAttribute("startdate").AsReal() : 0;
}

void TfrmVazadod::RefreshDialogLinks() {
  const int32_t taskId = frmTask_->GetTask().TaskId;
  frmTask_->SetLinkList(qorPlanSchedule::LinkEntries(taskGrid_->Model(), taskId));
  // A link that moved the task moves the start shown; the duration the user set stays.
  const double start = DialogTaskStart();
  if (start != dialogTaskStart_) frmTask_->MoveStart(start);
  dialogTaskStart_ = start;
  UpdateCriticalPath();
}

void TfrmVazadod::mnuUndoClick() {
  if (ReadOnly()) return RefuseChange();
  if (!controller_ || !history_.CanUndo()) return;
  history_.Undo(*controller_, &taskGrid_->Model());
  ShowUndoneStep();
}
void TfrmVazadod::mnuRedoClick() {
  if (ReadOnly()) return RefuseChange();
  if (!controller_ || !history_.CanRedo()) return;
  history_.Redo(*controller_, &taskGrid_->Model());
  ShowUndoneStep();
}

void TfrmVazadod::ShowUndoneStep() {
  // The step may have set the report format back; open lists show its names.
  LoadReportFormat(
      QString::fromStdString(StoredReportFormat(*controller_)).toUpper().toStdString());
  if (planDialogs_) planDialogs_->RefillLists();
  taskGrid_->viewport()->update();
}

void TfrmVazadod::UpdateUndoCommands() {
  const bool canUndo = !ReadOnly() && history_.CanUndo();
  const bool canRedo = !ReadOnly() && history_.CanRedo();
  const QString undo = canUndo
                           ? QStringLiteral("&Undo ") + QString::fromStdString(history_.UndoName())
                           : QStringLiteral("&Undo");
  const QString redo = canRedo
                           ? QStringLiteral("&Redo ") + QString::fromStdString(history_.RedoName())
                           : QStringLiteral("&Redo");
  if (mnuUndo) {
    mnuUndo->setText(undo);
    mnuUndo->setEnabled(canUndo);
  }
  if (mnuRedo) {
    mnuRedo->setText(redo);
    mnuRedo->setEnabled(canRedo);
  }
  if (cmdUndo) {
    cmdUndo->setEnabled(canUndo);
    cmdUndo->setToolTip(QString(undo).remove(QLatin1Char('&')));
  }
  if (cmdRedo) {
    cmdRedo->setEnabled(canRedo);
    cmdRedo->setToolTip(QString(redo).remove(QLatin1Char('&')));
  }
}
void TfrmVazadod::mnuReportTasksClick() {
  MakeReport(QStringLiteral("Save Task report"),
             [this] { return BuildTasksReport(*reportText_, taskGrid_->Model()); });
}
void TfrmVazadod::mnuReportHolidaysClick() {
  if (!controller_) return;
  MakeReport(QStringLiteral("Save Holiday report"),
             [this] { return BuildHolidaysReport(*reportText_, *controller_, SystemToday()); });
}
void TfrmVazadod::mnuReportResourcesClick() {
  MakeReport(QStringLiteral("Save Resource report"),
             [this] { return BuildResourcesReport(*reportText_, taskGrid_->Model(), nodeList_); });
}
void TfrmVazadod::FilterProjects1Click() {
  ReloadIfChanged();
  if (planDialogs_) planDialogs_->FilterProjects(!ReadOnly());
}

void TfrmVazadod::EditProject(TqorXMLNode2* pProject) {
  if (ReadOnly()) return RefuseChange();
  if (!planDialogs_ || !pProject) return;
  if (TqorXMLNode2* project = ElementAfterCheck("project", pProject->GetAttributeStr("id")))
    planDialogs_->EditProject(project);
}

void TfrmVazadod::mnuReportPDFClick() {
  SetReportFormat("PDF");
}
void TfrmVazadod::mnuReportRTFClick() {
  SetReportFormat("RTF");
}

void TfrmVazadod::Vazadod1Click() {
  helpOpenedThisKey_ = true;
  const QString file = QString::fromStdString(appDir_).append(QLatin1String(kHelpFile));
  if (!helpWindow_) helpWindow_ = new TqorHelpWindow(this);
  if (!helpWindow_->ShowTopic(file, QString::fromLatin1(kHelpTopic)))
    QMessageBox::warning(
        this, QStringLiteral("Vazadod"),
        QStringLiteral("The help file %1 was not found.").arg(QDir::toNativeSeparators(file)));
}

void TfrmVazadod::About1Click() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Vazadod"),
                  QStringLiteral("Vazadod\nVersion " VAZADOD_VERSION "\nVazadod developers"),
                  QMessageBox::Ok, this);
  box.exec();
}

void TfrmVazadod::TaskGridTaskChanged(TqorPlannerGrid*, TqorXMLNode2* pTask) {
  // Read-only, no gesture changes a task (see eventFilter).
  const std::optional<TqorTaskDialogValues> entries = std::exchange(dialogEntries_, std::nullopt);
  if (!taskWorkflows_ || ReadOnly()) return;
  try {
    taskWorkflows_->TaskGridTaskChanged(pTask);
    ShowMoved(taskWorkflows_->LastMoved());
  } catch (const EqorChangedElsewhere&) {
    // What the user entered in the dialog is offered again on the reloaded task.
    if (entries && std::to_string(entries->TaskId) == pTask->GetAttributeStr("id"))
      reopenEntries_ = entries;
    throw;
  }
}

void TfrmVazadod::TaskGridTaskEdit(TqorPlannerGrid*, TqorXMLNode2* pTask) {
  dialogEntries_.reset();
  if (ReadOnly()) return RefuseChange();
  if (!taskWorkflows_) return;
  TqorXMLNode2* task = ElementAfterCheck("task", pTask->GetAttributeStr("id"));
  if (task) dialogTaskStart_ = task->GetAttribute("startdate").AsReal();
  if (task && taskWorkflows_->TaskGridTaskEdit(task, *assignmentWorkflows_))
    dialogEntries_ = frmTask_->GetTask();
  // The dialog's step ends with the store the grid asks for next, or here when none follows.
  QTimer::singleShot(0, this, [this] { history_.EndGroup(); });
}

void TfrmVazadod::TaskGridProjectChanged(TqorPlannerGrid*, TqorXMLNode2* pProject) {
  if (taskWorkflows_ && !ReadOnly()) taskWorkflows_->TaskGridProjectChanged(pProject);
}

void TfrmVazadod::TaskGridProjectEdit(TqorPlannerGrid*, TqorXMLNode2* pProject) {
  EditProject(pProject);
}

// --- Keys ---

bool TfrmVazadod::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (key->key() == Qt::Key_F1 && !key->isAutoRepeat() && widget && widget->window() == this) {
      if (type != QEvent::KeyRelease) {
        // A new key stroke: the menu's shortcut may open the help before the release.
        helpOpenedThisKey_ = false;
      } else {
        FormKeyUp(key->key());
        return true;
      }
    }
  }
  if (type == QEvent::MouseButtonRelease && ReadOnly() && taskGrid_ &&
      watched == taskGrid_->viewport() &&
      (static_cast<QMouseEvent*>(event)->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
    return true;  // read-only: no date gesture reaches the grid
  if (type == QEvent::MouseButtonRelease && taskGrid_ && taskWorkflows_ &&
      watched == taskGrid_->viewport()) {
    // A release may reschedule the task or project under it: its values before are kept, to be
    // put back if the change cannot be stored.
    int col = 0, row = 0;
    const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (taskGrid_->CellAt(pos, col, row)) {
      if (const TqorXMLNode2* node = taskGrid_->RowNode(row))
        taskWorkflows_->RememberBeforeChange(node);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmVazadod::FormKeyUp(int key) {
  if (key != Qt::Key_F1) return;
  if (helpOpenedThisKey_) {
    helpOpenedThisKey_ = false;
    return;
  }
  RunGuarded([this] { Vazadod1Click(); });
}
