// What the planner's three list windows (projects, resources, a resource's holidays) share: a
// toolbar with "Add" and "Delete" above a list filling the window, whose entries show a text and
// carry the id of the row they stand for. The window fills the list when it is shown and after
// each of its own changes.
//
// Mouse and keys: "Add" or Insert adds, "Delete" or the Delete key deletes the selected entry,
// a double click or Enter on an entry opens it, Escape closes the window. Delete and open do
// nothing without a selected entry. An error of an operation is shown in a message box, and the
// list is filled again whatever the outcome.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "app/core/qorListEntry.h"

class QListWidget;
class QToolButton;

class TqorListWindow : public QDialog {
  Q_OBJECT

 public:
  // The entries to show.
  std::function<std::vector<TqorListEntry>()> onFill;

  // Fills the list from onFill, keeping the selected entry selected when it is still there.
  void Refill();
  // Shows the entries, keeping the selected entry selected when it is still there.
  void SetEntries(const std::vector<TqorListEntry>& entries);
  QListWidget* List() const { return list_; }
  // The id the selected entry carries, "" when no entry is selected.
  std::string SelectedId() const;

 protected:
  // caption, size, and the object names of the list and of the "Add" button.
  TqorListWindow(QWidget* parent, const QString& caption, int width, int height,
                 const char* listName, const char* addName);

  virtual void AddClick() = 0;
  // Called only with an entry selected.
  virtual void DeleteEntry(const std::string& id) = 0;
  virtual void OpenEntry(const std::string& id) = 0;

  // Whether showing the window fills the list (else the entries are set before it is shown).
  bool fillOnShow_ = true;

  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs one of the operations above, then refills the list.
  template <class F>
  void Run(F&& f);
  void DeleteClick();
  void OpenClick();

  QListWidget* list_;
  QToolButton* cmdAdd_;
  QToolButton* cmdDelete_;
};
