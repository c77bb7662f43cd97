// The project dialog: a project's name, tag, dates, budget and actual hours and costs, whether it
// is completed, and its notes, on the pages "Properties" and "Notes". It only shows and collects
// values; the caller stores them. OK closes it only when the name is not empty, the four
// numbers read as numbers with "." and name and tag fit their columns; otherwise a message lists
// the bad fields and it stays open. Its text fields take no character XML cannot hold.
#pragma once

#include <QDialog>

#include <cstdint>

#include "app/core/qorPlannerStatements.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class TfrmProject : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 423;
  static constexpr int kHeight = 369;
  static constexpr int kTagLength = 25;

  explicit TfrmProject(QWidget* parent = nullptr);

  // Shows the values of the project with that id, on the page "Properties".
  void SetValues(int32_t projectId, const TqorProjectValues& values);
  // The values in the fields; a number field that is no number reads 0.
  TqorProjectValues Values() const;
  int32_t ProjectId() const { return projectId_; }
  // The names of the fields that are bad, each followed by "\r\n", in the order of the fields.
  QString BadFields() const;

  // Shows the dialog modally with the values; true with the changed values on OK.
  bool Execute(int32_t projectId, TqorProjectValues& values);

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  int32_t projectId_ = 0;
  QTabWidget* pages_;
  QLineEdit* edProjectName;
  QLineEdit* edProjectTag;
  QDateEdit* cbStartDate;
  QDateEdit* cbEndDate;
  QLineEdit* edBudgetHours;
  QLineEdit* edActualHours;
  QLineEdit* edBudgetCost;
  QLineEdit* edActualCost;
  QCheckBox* ckIsCompleted;
  QPlainTextEdit* memNotes;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};
