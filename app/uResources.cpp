#include "app/uResources.h"

#include "app/core/qorTextColumns.h"
#include "app/qorDialogFields.h"
#include "app/uResource.h"

TfrmResources::TfrmResources(QWidget* parent)
    : TqorListWindow(parent, QStringLiteral("Resources"), kWidth, kHeight, "Resources",
                     "cmdResourceAdd") {
  setObjectName(QStringLiteral("frmResources"));
}

void TfrmResources::AddClick() {
  QString name;
  // The resource dialog takes no longer name; nor does the table.
  const auto fits = [](const std::string& text) {
    const std::string trimmed = QString::fromStdString(text).trimmed().toStdString();
    return CheckTextLengths({{"Name", trimmed, kResourceNameBytes}});
  };
  if (!InputQuery(this, QStringLiteral("Add Resource"), QStringLiteral("Enter resource name"), name,
                  TfrmResource::kNameLength, fits))
    return;
  name = name.trimmed();
  if (!name.isEmpty() && onCreate) onCreate(name.toStdString());
}

void TfrmResources::DeleteEntry(const std::string& id) {
  if (AskYesNo(this, QStringLiteral("Are sure that you want to delete this resource?")) && onDelete)
    onDelete(id);
}

void TfrmResources::OpenEntry(const std::string& id) {
  if (onEdit) onEdit(id);
}
