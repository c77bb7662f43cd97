#include "app/uHoliday.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qorDialogFields.h"

TfrmHoliday::TfrmHoliday(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmHoliday"));
  setWindowTitle(QStringLiteral("Holiday"));
  resize(kWidth, kHeight);

  auto* form = new QFormLayout;
  cbStartDate = NewDatePicker(this);
  cbStartDate->setObjectName(QStringLiteral("cbStartDate"));
  cbEndDate = NewDatePicker(this);
  cbEndDate->setObjectName(QStringLiteral("cbEndDate"));
  form->addRow(QStringLiteral("From"), cbStartDate);
  form->addRow(QStringLiteral("To"), cbEndDate);

  auto* buttons = new QDialogButtonBox(this);
  cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmHoliday::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmHoliday::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();
  layout->addWidget(buttons);
  setTabOrder(cbStartDate, cbEndDate);
  setTabOrder(cbEndDate, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void TfrmHoliday::SetDates(double startDate, double endDate) {
  cbStartDate->setDate(DayToDate(startDate));
  cbEndDate->setDate(DayToDate(endDate));
}

double TfrmHoliday::StartDate() const {
  return DateToDay(cbStartDate->date());
}

double TfrmHoliday::EndDate() const {
  return DateToDay(cbEndDate->date());
}

bool TfrmHoliday::Execute(double& startDate, double& endDate) {
  SetDates(startDate, endDate);
  if (exec() != QDialog::Accepted) return false;
  startDate = StartDate();
  endDate = EndDate();
  return true;
}

void TfrmHoliday::showEvent(QShowEvent* event) {
  cbStartDate->setFocus();
  QDialog::showEvent(event);
}
