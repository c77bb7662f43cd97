// The task dialog: caption "Task", two pages. "Properties" holds the name, the project's name
// (read-only), milestone, %progress and completed, and the two resource lists side by side:
// "Assigned to:" (the task's assignments) and "Resources" (the resources not on the task), with
// the buttons "< Allocate", "Remove >" and "Units..." between them; "Notes" holds the notes.
//
// Resources are allocated by dragging an entry from "Resources" to "Assigned to:", by the
// "< Allocate" button or the list's context menu (or Insert); an assignment is removed by
// dragging it back, by "Remove >", the context menu or Delete; its units are changed by a double
// click, "Units...", the context menu or F2. The dialog only reports these through its on...
// handlers; the main window's workflows store them and refill the lists.
//
// Created once with the main window and shown modally again and again; it always opens on
// "Properties". OK runs the check (a name, a progress that is a number) and stays open with a
// message naming the bad fields; Enter is OK and Escape Cancel.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

#include "app/core/qorTaskEditor.h"

class QCheckBox;
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
  bool Execute() override;

  // The next Execute on the same task shows these entries (name, milestone, completed, progress,
  // notes) over the task's own values: what the user typed before the plan was loaded again is
  // not lost.
  void KeepEntriesOnce(const TqorTaskDialogValues& entries) { kept_ = entries; }

  // The allocation requests, with the number the entry carries.
  std::function<void(int32_t resourceId)> onAllocate;
  std::function<void(int32_t assignmentId)> onRemoveAssignment;
  std::function<void(int32_t assignmentId)> onChangeUnits;

  // Components, named as on the window.
  QTabWidget* pgcTask = nullptr;
  QLineEdit* edTaskName = nullptr;
  QLineEdit* edProjectName = nullptr;
  QCheckBox* ckIsMileStone = nullptr;
  QLineEdit* edProgress = nullptr;
  QCheckBox* ckIsCompleted = nullptr;
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

  TqorTaskDialogValues task_;
  std::optional<TqorTaskDialogValues> kept_;
};
