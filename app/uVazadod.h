// The main window: toolbar, menu, the planner grid filling the client area and an empty status
// bar. It creates, shows and frees the objects the whole program shares, in this order:
//   FormCreate   decimal separator ".", AppDir, the database connection, the report objects,
//                the grid, the grid's events, the task dialog and the task workflows, the
//                project, resource, holiday and filter windows
//   FormShow     the loading of the planner (projects, tasks, resources, assignments,
//                holidays, settings), then the first day cell of the first row current
//   FormDestroy  the workflows, the database connection, the report objects
// A start-up step that fails is reported in a message box and the later steps of FormCreate do
// not run; StartFailed() then tells the program to end without showing the window (a planner
// without its data would lose every change). A plan found damaged while it is loaded
// (qorPlannerCheck.h) stays open read-only, so that what can be read can still be seen,
// reported and exported: the damage is shown in a message box and stays in the status bar, and
// nothing is written to the plan (see ReadOnly()).
#pragma once

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorEditHistory.h"
#include "app/core/qorExchangeFiles.h"
#include "app/core/qorTaskEditor.h"
#include "app/uChart.h"

class QAction;
class TqorLoadView;
class QPoint;
class QActionGroup;
class QMenu;
class QTimer;
class QToolButton;
class TfrmLink;
class TfrmTask;
class TqorAssignmentWorkflows;
class TqorLinkWorkflows;
class TqorDatabaseController;
class TqorFastString;
class TqorHelpWindow;
class TqorLauncher;
class TqorLauncherPlatform;
class TqorPDFReporter;
class TqorRTFReporter;
class TqorPlanDialogs;
class TqorPlannerGrid;
class TqorTaskWorkflows;
class TqorXMLNode2;

class TfrmVazadod : public QMainWindow {
  Q_OBJECT

 public:
  // Opens the planner database at databasePath (which must exist with the planner's tables).
  // appDir overrides the folder the program's files are addressed from (tests); empty means the
  // program's own folder (or the installed data folder).
  explicit TfrmVazadod(const std::string& databasePath, const std::string& appDir = {},
                       QWidget* parent = nullptr);
  ~TfrmVazadod() override;

  // True when FormCreate failed (the database could not be opened): the error was shown and the
  // window has no grid; the program ends.
  bool StartFailed() const { return startFailed_; }
  // The database access, nullptr when the start failed.
  TqorDatabaseController* Controller() const { return controller_.get(); }
  const std::string& DatabasePath() const { return databasePath_; }

  // The folder of the program's files, ending in "/".
  const std::string& AppDir() const { return appDir_; }
  // The planner grid; nullptr when a start-up step before it failed.
  TqorPlannerGrid* TaskGrid() const { return taskGrid_; }
  // "PDF" or "RTF" (any other text set stays as set and checks neither item).
  const std::string& ReportFormat() const { return reportFormat_; }
  // Checks the format's menu item, makes it the report format and stores it in the Settings row
  // (for this run only while read-only).
  void SetReportFormat(const std::string& format);

  // True when the plan was found damaged at start. Then nothing is written to it: the database
  // connection refuses every change, the Task menu and the project and resource windows are
  // off, the grid's date gestures and edit dialogs do nothing, and the project filter and the
  // report format apply to this run only. Reports and the export work as ever.
  bool ReadOnly() const { return !damageMessage_.empty(); }
  // What was found damaged, as shown at start; empty for a whole plan.
  const std::string& DamageMessage() const { return damageMessage_; }

  // --- Reports and export ---
  // The save dialog (title, filter, folder) giving the chosen file name, or empty when the user
  // cancelled. By default a file dialog that asks before replacing a file; tests replace it.
  using TSaveDialog =
      std::function<QString(const QString& title, const QString& filter, const QString& folder)>;
  void SetSaveDialog(TSaveDialog dialog) { saveDialog_ = std::move(dialog); }
  // The open dialog of File, Import (title, filter, folder), as the save dialog.
  void SetOpenDialog(TSaveDialog dialog) { openDialog_ = std::move(dialog); }
  // The chart's options dialog of File, Export Chart (forExport) and of Print and Print
  // Preview: the settings chosen, or none when the user cancelled. By default TfrmChart; tests
  // replace it.
  using TChartDialog = std::function<std::optional<TqorChartSettings>(
      const TqorChartSettings& settings, bool forExport)>;
  void SetChartDialog(TChartDialog dialog) { chartDialog_ = std::move(dialog); }
  // The chart's settings the dialogs start from: the last chosen, or the grid's period on the
  // day scale, folded as the grid is, the critical path as View shows it, the paper the
  // locale uses (Letter in the United States, else A4), landscape.
  TqorChartSettings ChartSettings() const;
  // The chart of the plan with these settings, and its layout options.
  TqorChartInput ChartInput(const TqorChartSettings& settings);
  static TqorChartOptions ChartOptions(const TqorChartSettings& settings);
  // The plan's name: its file's name without the extension.
  QString PlanName() const;
  // The file name for a report, with the extension of the checked format (".pdf" or ".rtf");
  // empty when cancelled. Asks before replacing a file the extension rule chose.
  std::string AskReportFileName(const QString& title = QStringLiteral("Save Task report"));
  // The folder the save dialogs start in: "Vazadod reports" in the user's documents folder,
  // created when missing.
  static QString ReportsFolder();
  // The launcher that opens finished reports (nullptr before FormCreate made it).
  TqorLauncher* Launcher() const { return launcher_.get(); }
  // Replaces the desktop under the launcher (tests).
  void SetLauncherPlatform(std::unique_ptr<TqorLauncherPlatform> platform);
  // The help window once it was opened, else nullptr.
  TqorHelpWindow* HelpWindow() const { return helpWindow_; }
  // The task dialog, created once with the window; nullptr when the start failed.
  TfrmTask* TaskDialog() const { return frmTask_; }
  // The project, resource, holiday and filter windows; nullptr when the start failed.
  TqorPlanDialogs* PlanDialogs() const { return planDialogs_.get(); }
  // The edit history of this session (empty at each start).
  TqorEditHistory& History() { return history_; }

  // --- Keeping up with other programs ---
  // View, Reload (F5): loads the plan again from the file and shows it as it was shown: the same
  // projects folded, the same task or project current (in the same column), the same period and
  // scroll position; open project and resource lists are filled again. Nothing without a plan.
  void ReloadPlan();
  // Loads the plan again (ReloadPlan) when another program committed to it since this window
  // loaded it or stored its own last change, or when a reload was asked for and is still due.
  // Returns whether it reloaded. The window calls it when it is activated, every
  // kCheckIntervalMs while it is idle (no mouse button held, no menu and no dialog open) and
  // before it opens a dialog that edits.
  bool ReloadIfChanged();
  // True while a reload must wait: a mouse button is held, a menu or a modal window is open, or
  // a statement waits for another program's lock.
  bool Busy() const;
  static constexpr int kCheckIntervalMs = 2000;
  // A statement waits this long for another program's lock before it gives up; after
  // kBusyMessageMs of waiting the status bar says so.
  static constexpr int kLockWaitLimitMs = 10 * 1000;
  static constexpr int kBusyMessageMs = 2000;
  // The status bar's text while waiting for another program's lock.
  static QString BusyMessage();
  // The database's lock-wait observer: the engine waits for another program's lock (waitedMs
  // so far; -1 when the wait ended). The busy cursor from the first call, the busy message from
  // kBusyMessageMs on; both gone at the end.
  void LockWait(int waitedMs);

  // Toolbar.
  void cmdPrevYearClick();
  void cmdPrevMonthClick();
  void cmdCurrentMonthClick();
  void cmdNexMonthClick();
  void cmdNextYearClick();
  // Menu.
  void mnuExportXmlClick();
  // File, Export: the plan as MS Project XML, TaskJuggler, CSV (three files named after the one
  // chosen) or iCalendar, written whole; what was left out is said.
  void mnuExportMspdiClick();
  void mnuExportTaskJugglerClick();
  void mnuExportCsvClick();
  void mnuExportICalendarClick();
  // File, Import, MS Project XML: the file's projects added to the plan in one step of the
  // history, shown at once, and a summary of what came in and what could not be mapped.
  void mnuImportMspdiClick();
  // File, Export Chart: the chart as PDF, PNG or SVG after its options and the file name.
  void mnuExportChartClick();
  // File, Print (Ctrl+P) and Print Preview: the chart after its options, on the paper and pages
  // of the print dialog or in the preview, tiled as the export tiles a PDF.
  void mnuPrintClick();
  void mnuPrintPreviewClick();
  // The chart's options from the chart dialog, kept for the next time; none when cancelled.
  std::optional<TqorChartSettings> AskChart(bool forExport);
  // View, Resource Load (Ctrl+L): shows or hides the load of each resource below the grid; a
  // double click on a day there selects its first task in the grid (SelectTaskOnDay).
  void mnuResourceLoadClick();
  void SelectTaskOnDay(int32_t taskId, int32_t day);
  // Edit, Undo and Redo (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y), also on the toolbar: the step named in
  // the menu is undone or redone in the plan file, and the plan is loaded again with the view
  // kept. Refused (with the reason) when its rows were changed since, or the plan is read-only.
  void mnuUndoClick();
  void mnuRedoClick();
  void Add1Click();
  void Delete1Click();
  void mnuProjectsClick();
  void mnuResourcesClick();
  void mnuReloadClick();
  // Task, Reschedule (F9): every task with predecessors as soon as its links allow; the status
  // bar says how many moved.
  void mnuRescheduleClick();
  // View, Critical Path: outlines the tasks that decide the plan's end, and their links, in red.
  void mnuCriticalPathClick();
  // View, Go to Date (Ctrl+G): the period of the month of a date typed in the short date format,
  // that date's column current.
  void mnuGoToDateClick();
  void mnuReportTasksClick();
  void mnuReportHolidaysClick();
  void mnuReportResourcesClick();
  void mnuReportPDFClick();
  void mnuReportRTFClick();
  void FilterProjects1Click();
  void Vazadod1Click();
  void About1Click();
  // The project dialog on a project of the grid's document (the grid's project-edit event opens
  // it): on OK the project is stored, and an open project list shows it. Nothing without a
  // database.
  void EditProject(TqorXMLNode2* pProject);
  // The grid's events.
  void TaskGridTaskChanged(TqorPlannerGrid* Sender, TqorXMLNode2* pTask);
  void TaskGridTaskEdit(TqorPlannerGrid* Sender, TqorXMLNode2* pTask);
  void TaskGridProjectChanged(TqorPlannerGrid* Sender, TqorXMLNode2* pProject);
  void TaskGridProjectEdit(TqorPlannerGrid* Sender, TqorXMLNode2* pProject);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Sees every key of the application first; an F1 release in this window opens the help.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void FormKeyUp(int key);
  // Makes the window read-only after the plan was found damaged, and says so.
  // damaged: the plan's tables are damaged (else it could not be upgraded).
  void OpenReadOnly(const std::string& message, const std::vector<std::string>& problems,
                    bool damaged = true);
  // Tells that a change is not possible while read-only.
  void RefuseChange();
  // A write was refused because another program changed the row first (text as the error's):
  // says so and offers to load the plan again ("Reload", the default). A task dialog whose
  // entries were refused opens again on the reloaded task with them.
  void OfferReload(const QString& text);
  // The reload asked for, once the window is no longer busy.
  void RunDueReload();
  // The task or project with the id, after a reload may have replaced the element; tells the
  // user and gives nullptr when another program deleted it.
  TqorXMLNode2* ElementAfterCheck(const char* element, const std::string& id);
  // Checks the menu item of the stored report format ("PDF" or "RTF"; any other text checks
  // nothing new) and keeps the text.
  void LoadReportFormat(const std::string& format);

  void CreateToolbar();
  void CreateMenu();
  // The critical tasks again from the plan's links and dates, when the path is shown.
  void UpdateCriticalPath();
  // "Moved 12 tasks" in the status bar for a while; nothing for none.
  void ShowMoved(int moved);
  // A finish-to-start link from one task to the other (Alt+drag in the grid).
  void LinkTasks(TqorXMLNode2* from, TqorXMLNode2* to);
  // The task dialog's Links page: a new link through the link dialog, a link's type and lag
  // changed, and the page and the dates shown again after a change.
  void DialogAddLink();
  void DialogEditLink(int32_t linkId);
  void RefreshDialogLinks();
  // The start of the task the dialog shows, as the document holds it.
  double DialogTaskStart();
  // A task's context menu: Link to..., Remove Links.
  void TaskMenu(TqorXMLNode2* task, const QPoint& at);
  // After an undo or redo: the report format as stored, the open lists filled again.
  void ShowUndoneStep();
  // The Undo and Redo commands named after the steps they would take, and off without one.
  void UpdateUndoCommands();
  QAction* AddMenuItem(QMenu* menu, const QString& caption, const char* component,
                       void (TfrmVazadod::*handler)());
  // Asks for a file name, builds the report's markup, writes the file in the report format and
  // opens it in the viewer.
  // Asks for the report's file under the title, writes it and opens it in its viewer; the status
  // bar says where it went, and when nothing could show it the user may open its folder.
  void MakeReport(const QString& title, const std::function<std::string()>& build);
  // The chosen name with the extension, or empty; asks before replacing a file that the
  // extension rule chose.
  std::string AskFileName(const QString& title, const QString& filter, const char* extension);
  // Asks for the file and writes the plan in the format into it (Export).
  void ExportAs(TqorExchangeFormat format, const QString& title, const QString& filter);

  std::string databasePath_;
  std::string appDirOverride_;
  std::string appDir_;
  std::unique_ptr<TqorDatabaseController> controller_;
  bool startFailed_ = false;
  std::string damageMessage_;
  std::string reportFormat_ = "PDF";
  TqorPlannerGrid* taskGrid_ = nullptr;
  TqorLoadView* loadView_ = nullptr;  // below the grid, in the central splitter
  TqorHelpWindow* helpWindow_ = nullptr;
  TfrmLink* frmLink_ = nullptr;
  // The start of the dialog's task before the last change of its links.
  double dialogTaskStart_ = 0;
  TfrmTask* frmTask_ = nullptr;
  std::unique_ptr<TqorTaskWorkflows> taskWorkflows_;
  std::unique_ptr<TqorLinkWorkflows> linkWorkflows_;
  std::unique_ptr<TqorAssignmentWorkflows> assignmentWorkflows_;
  // The windows of projects, resources, holidays and the project filter with their operations.
  std::unique_ptr<TqorPlanDialogs> planDialogs_;
  TqorEditHistory history_;
  // The message of an upgrade of the plan that failed at the start ("" when none did).
  std::string upgradeFailure_;
  bool shown_ = false;
  // Checks for other programs' commits while idle.
  QTimer* checkTimer_ = nullptr;
  // A reload asked for that waits until the window is not busy.
  bool reloadDue_ = false;
  // The task dialog's entries of the last OK, until the task is stored; when another program's
  // change refused them, the entries to show again after the reload.
  std::optional<TqorTaskDialogValues> dialogEntries_, reopenEntries_;
  // While the engine waits for a lock: the cursor is the busy one, and the status bar says so.
  bool lockWaitCursor_ = false;
  bool lockWaitMessage_ = false;
  TSaveDialog saveDialog_;
  TSaveDialog openDialog_;
  TChartDialog chartDialog_;
  std::optional<TqorChartSettings> chartSettings_;
  // The report objects.
  std::unique_ptr<TqorPDFReporter> pdfReporter_;
  std::unique_ptr<TqorRTFReporter> rtfReporter_;
  std::unique_ptr<TqorFastString> reportText_;
  std::unique_ptr<TqorLauncher> launcher_;
  std::vector<TqorXMLNode2*> nodeList_;
  // Set when the help was opened during the current F1 key stroke, so that the key's release
  // does not open it a second time.
  bool helpOpenedThisKey_ = false;

  QToolButton* cmdPrevYear = nullptr;
  QToolButton* cmdPrevMonth = nullptr;
  QToolButton* cmdCurrentMonth = nullptr;
  QToolButton* cmdNexMonth = nullptr;
  QToolButton* cmdNextYear = nullptr;
  QToolButton* cmdUndo = nullptr;
  QToolButton* cmdRedo = nullptr;
  QAction* mnuExportXml = nullptr;
  QAction* mnuExportMspdi = nullptr;
  QAction* mnuExportTaskJuggler = nullptr;
  QAction* mnuExportCsv = nullptr;
  QAction* mnuExportICalendar = nullptr;
  QAction* mnuExportChart = nullptr;
  QAction* mnuPrint = nullptr;
  QAction* mnuPrintPreview = nullptr;
  QAction* mnuImportMspdi = nullptr;
  QAction* mnuResourceLoad = nullptr;
  QAction* mnuUndo = nullptr;
  QAction* mnuRedo = nullptr;
  QAction* Add1 = nullptr;
  QAction* Delete1 = nullptr;
  QAction* mnuProjects = nullptr;
  QAction* mnuResources = nullptr;
  QAction* mnuReload = nullptr;
  QAction* mnuReschedule = nullptr;
  QAction* mnuCriticalPath = nullptr;
  QAction* mnuGoToDate = nullptr;
  QAction* mnuReportTasks = nullptr;
  QAction* mnuReportHolidays = nullptr;
  QAction* mnuReportResources = nullptr;
  QAction* mnuReportPDF = nullptr;
  QAction* mnuReportRTF = nullptr;
  QActionGroup* mnuReportFormat = nullptr;
  QAction* FilterProjects1 = nullptr;
  QAction* Vazadod1 = nullptr;
  QAction* About1 = nullptr;
};
