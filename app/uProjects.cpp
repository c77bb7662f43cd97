#include "app/uProjects.h"

#include "app/qorDialogFields.h"

TfrmProjects::TfrmProjects(QWidget* parent)
    : TqorListWindow(parent, QStringLiteral("Projects"), kWidth, kHeight, "Projects", "cmdAdd") {
  setObjectName(QStringLiteral("frmProjects"));
}

void TfrmProjects::AddClick() {
  QString name;
  if (!InputQuery(this, QStringLiteral("Add Project"), QStringLiteral("Enter project name"), name))
    return;
  name = name.trimmed();
  if (!name.isEmpty() && onCreate) onCreate(name.toStdString());
}

void TfrmProjects::DeleteEntry(const std::string& id) {
  if (AskYesNo(this, QStringLiteral("Are sure that you want to delete this project?")) && onDelete)
    onDelete(id);
}

void TfrmProjects::OpenEntry(const std::string& id) {
  if (onEdit) onEdit(id);
}
