// The project filter: every project with a check box; the checked ones are shown in the grid.
// "Select All" checks and "Select None" clears every box; OK and Cancel close at once. Space
// toggles the box of the current entry.
#pragma once

#include <QDialog>

#include <vector>

#include "app/core/qorListEntry.h"

class QListWidget;
class QPushButton;

class TfrmProjectFilter : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 486;
  static constexpr int kHeight = 340;

  explicit TfrmProjectFilter(QWidget* parent = nullptr);

  void SetEntries(const std::vector<TqorListEntry>& entries);
  // The entries in list order with their boxes as they are now.
  std::vector<TqorListEntry> Entries() const;

  // Shows the dialog modally with the entries; true with the boxes as left on OK.
  bool Execute(std::vector<TqorListEntry>& entries);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CheckAll(bool checked);

  QListWidget* Projects;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  QPushButton* cmdSelectAll;
  QPushButton* cmdSelectNone;
};
