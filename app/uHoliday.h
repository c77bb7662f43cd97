// The holiday dialog: the first ("From") and last ("To") day of a holiday in two date pickers.
// OK and Cancel close it at once; an end before the start is accepted.
#pragma once

#include <QDialog>

class QDateEdit;
class QPushButton;

class TfrmHoliday : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 329;
  static constexpr int kHeight = 162;

  explicit TfrmHoliday(QWidget* parent = nullptr);

  // Day numbers.
  void SetDates(double startDate, double endDate);
  double StartDate() const;
  double EndDate() const;

  // Shows the dialog modally with the dates; true with the chosen dates on OK.
  bool Execute(double& startDate, double& endDate);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QDateEdit* cbStartDate;
  QDateEdit* cbEndDate;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};
