#include "app/uProjects.h"

#include "app/core/qorTextColumns.h"
#include "app/qorDialogFields.h"

TfrmProjects::TfrmProjects(QWidget* parent)
    : TqorListWindow(parent, QStringLiteral("Projects"), kWidth, kHeight, "Projects", "cmdAdd") {
  setObjectName(QStringLiteral("frmProjects"));
}

void TfrmProjects::AddClick() {
  QString name;
  // A name the table cannot take keeps the prompt open with it.
  const auto fits = [](const std::string& text) {
    const std::string trimmed = QString::fromStdString(text).trimmed().toStdString();
    return CheckTextLengths({{"Name", trimmed, kProjectNameBytes}});
  };
  if (!InputQuery(this, QStringLiteral("Add Project"), QStringLiteral("Enter project name"), name,
                  0, fits))
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
