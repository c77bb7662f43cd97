// The resource dialog: a resource's name, initials, hours per week, cost per hour and maximum
// units, a button that opens its holidays, and its notes, on the pages "Properties" and "Notes".
// It only shows and collects values; the caller stores them. OK closes it only when name and
// initials are not empty, the three numbers read as numbers with "." and name and initials fit
// their columns; otherwise a message lists the bad fields and it stays open. Its text fields
// take no character XML cannot hold.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

#include "app/core/qorPlannerStatements.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class TfrmResource : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 383;
  static constexpr int kHeight = 329;
  static constexpr int kNameLength = 50;
  static constexpr int kInitialsLength = 10;

  explicit TfrmResource(QWidget* parent = nullptr);

  // "Edit Holidays": opens the holidays of the resource with that id.
  std::function<void(int32_t resourceId)> onEditHolidays;

  // Shows the values of the resource with that id, on the page "Properties".
  void SetValues(int32_t resourceId, const TqorResourceValues& values);
  // The values in the fields; a number field that is no number reads 0.
  TqorResourceValues Values() const;
  int32_t ResourceId() const { return resourceId_; }
  // The names of the fields that are bad, each followed by "\r\n", in the order of the fields.
  QString BadFields() const;

  // Shows the dialog modally with the values; true with the changed values on OK.
  bool Execute(int32_t resourceId, TqorResourceValues& values);

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void cmdEditHolidaysClick();

  int32_t resourceId_ = 0;
  QTabWidget* pages_;
  QLineEdit* edResourceName;
  QLineEdit* edInitials;
  QLineEdit* edHoursPerWeek;
  QLineEdit* edCostPerHour;
  QLineEdit* edMaxUnits;
  QPushButton* cmdEditHolidays;
  QPlainTextEdit* memNotes;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};
