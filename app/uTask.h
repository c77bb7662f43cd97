// The task dialog: caption "Task", three pages. "Properties" holds the name, the project's name
// (read-only), milestone, %progress and completed, the Start and End dates (the short date
// format with a four-digit year) with the Duration in working days that keeps End in step (a
// new Start or Duration moves End; a new End sets the Duration), and the two resource lists:
// "Assigned to:" (the task's assignments) and "Resources" (the resources not on the task), with
// the buttons "< Allocate", "Remove >" and "Units..." between them; "Notes" holds the notes.
//
// Resources are allocated by dragging an entry from "Resources" to "Assigned to:", by the
// "< Allocate" button or the list's context menu (or Insert); an assignment is removed by
// dragging it back, by "Remove >", the context menu or Delete; its units are changed by a double
// click, "Units...", the context menu or F2. The dialog only reports these through its on...
// handlers; the main window's workflows store them and refill the lists.
//
// "Links" lists the task's predecessors and successors with type and lag; Add..., Edit... and
// Remove report through onAddLink, onEditLink and onRemoveLink, which the main window's link
// workflows store (the list and the dates are then set again).
//
// Created once with the main window and shown modally again and again; it always opens on
// "Properties". OK runs the check (a name, a progress that is a number, an end not before the
// start) and stays open with a message naming the bad fields; Enter is OK and Escape Cancel.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

#include "app/core/qorTaskEditor.h"

class QCheckBox;
class QDateEdit;
class QListWidget;
class QSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TqorAllocationList;

class TfrmTask : public QDialog, public TqorTaskEditor {
  Q_OBJECT

 public:
  explicit TfrmTask(QWidget* parent = nullptr);

  // --- TqorTaskEditor ---
  void SetTask(const TqorTaskDialogValues& values) override;
  TqorTaskDialogValues GetTask() const override;
  void SetResourceList(const std::vector<TqorResourceEntry>& entries) override;
  void SetAssignmentList(const std::vector<TqorResourceEntry>& entries) override;
  void SetLinkList(const std::vector<TqorResourceEntry>& entries) override;
  void SetDates(double startDate, double endDate) override;
  void MoveStart(double startDate) override;
  bool Execute() override;

  // The next Execute on the same task shows these entries (name, milestone, completed, progress,
  // notes) over the task's own values: what the user typed before the plan was loaded again is
  // not lost.
  void KeepEntriesOnce(const TqorTaskDialogValues& entries) { kept_ = entries; }

  // The allocation requests, with the number the entry carries.
  std::function<void(int32_t resourceId)> onAllocate;
  std::function<void(int32_t assignmentId)> onRemoveAssignment;
  std::function<void(int32_t assignmentId)> onChangeUnits;
  std::function<void()> onAddLink;
  std::function<void(int32_t linkId)> onEditLink;
  std::function<void(int32_t linkId)> onRemoveLink;

  // Components, named as on the window.
  QTabWidget* pgcTask = nullptr;
  QLineEdit* edTaskName = nullptr;
  QLineEdit* edProjectName = nullptr;
  QCheckBox* ckIsMileStone = nullptr;
  QLineEdit* edProgress = nullptr;
  QCheckBox* ckIsCompleted = nullptr;
  QDateEdit* cbStartDate = nullptr;
  QDateEdit* cbEndDate = nullptr;
  QSpinBox* edDuration = nullptr;
  QListWidget* lstLinks = nullptr;
  QPushButton* btnAddLink = nullptr;
  QPushButton* btnEditLink = nullptr;
  QPushButton* btnRemoveLink = nullptr;
  TqorAllocationList* Assignments = nullptr;
  TqorAllocationList* Resources = nullptr;
  QPushButton* btnAllocate = nullptr;
  QPushButton* btnRemove = nullptr;
  QPushButton* btnUnits = nullptr;
  QPlainTextEdit* memNotes = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  // OK: closes with OK only when the check finds no bad field.
  void accept() override;

 private:
  void AllocateSelected();
  void RemoveSelected();
  void ChangeSelectedUnits();
  // The link id of the selected entry of the Links page.
  std::optional<int32_t> SelectedLink() const;
  // End from Start and Duration; Duration from Start and End.
  void StartOrDurationChanged();
  void EndChanged();

  TqorTaskDialogValues task_;
  std::optional<TqorTaskDialogValues> kept_;
  // Set while the fields are filled, so that filling one does not move the others.
  bool settingDates_ = false;
};
