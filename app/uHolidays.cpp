#include "app/uHolidays.h"

TfrmHolidays::TfrmHolidays(QWidget* parent)
    : TqorListWindow(parent, QStringLiteral("Holidays"), kWidth, kHeight, "Holidays", "cmdAdd") {
  setObjectName(QStringLiteral("frmHolidays"));
  setModal(true);
  fillOnShow_ = false;
}

void TfrmHolidays::AddClick() {
  if (onCreate) onCreate(resourceId_);
}

void TfrmHolidays::DeleteEntry(const std::string& id) {
  if (onDelete) onDelete(id, resourceId_);
}

void TfrmHolidays::OpenEntry(const std::string& id) {
  if (onEdit) onEdit(id, resourceId_);
}
