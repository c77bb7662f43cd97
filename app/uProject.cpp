#include "app/uProject.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/core/qorTextColumns.h"
#include "app/qorDialogFields.h"

namespace {

QLineEdit* NewField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QLatin1String(name));
  return field;
}

double NumberOf(const QLineEdit* field) {
  double value = 0;
  return ReadNumber(field->text(), value) ? value : 0;
}

}  // namespace

TfrmProject::TfrmProject(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmProject"));
  setWindowTitle(QStringLiteral("Project"));
  resize(kWidth, kHeight);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("Pages"));
  auto* properties = new QWidget(pages_);
  properties->setObjectName(QStringLiteral("Properties"));
  auto* form = new QFormLayout(properties);
  edProjectName = NewField(properties, "edProjectName");
  edProjectTag = NewField(properties, "edProjectTag");
  edProjectTag->setMaxLength(kTagLength);
  cbStartDate = NewDatePicker(properties);
  cbStartDate->setObjectName(QStringLiteral("cbStartDate"));
  cbEndDate = NewDatePicker(properties);
  cbEndDate->setObjectName(QStringLiteral("cbEndDate"));
  edBudgetHours = NewField(properties, "edBudgetHours");
  edActualHours = NewField(properties, "edActualHours");
  edBudgetCost = NewField(properties, "edBudgetCost");
  edActualCost = NewField(properties, "edActualCost");
  ckIsCompleted = new QCheckBox(QStringLiteral("Completed"), properties);
  ckIsCompleted->setObjectName(QStringLiteral("ckIsCompleted"));
  // The caption stands left of the box.
  ckIsCompleted->setLayoutDirection(Qt::RightToLeft);
  form->addRow(QStringLiteral("Name"), edProjectName);
  form->addRow(QStringLiteral("Tag"), edProjectTag);
  form->addRow(QStringLiteral("StartDate"), cbStartDate);
  form->addRow(QStringLiteral("EndDate"), cbEndDate);
  form->addRow(QStringLiteral("Budget Hours"), edBudgetHours);
  form->addRow(QStringLiteral("Actual Hours"), edActualHours);
  form->addRow(QStringLiteral("Budget Cost"), edBudgetCost);
  form->addRow(QStringLiteral("Actual Cost"), edActualCost);
  form->addRow(QString(), ckIsCompleted);
  pages_->addTab(properties, QStringLiteral("Properties"));

  auto* notes = new QWidget(pages_);
  notes->setObjectName(QStringLiteral("Notes"));
  auto* notesLayout = new QVBoxLayout(notes);
  memNotes = new QPlainTextEdit(notes);
  memNotes->setObjectName(QStringLiteral("memNotes"));
  memNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memNotes->setTabChangesFocus(true);
  notesLayout->addWidget(memNotes);
  for (QLineEdit* text : {edProjectName, edProjectTag}) KeepXmlCharacters(text);
  KeepXmlCharacters(memNotes);
  pages_->addTab(notes, QStringLiteral("Notes"));

  auto* buttons = new QDialogButtonBox(this);
  cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmProject::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmProject::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);

  setTabOrder(edProjectName, edProjectTag);
  setTabOrder(edProjectTag, cbStartDate);
  setTabOrder(cbStartDate, cbEndDate);
  setTabOrder(cbEndDate, edBudgetHours);
  setTabOrder(edBudgetHours, edActualHours);
  setTabOrder(edActualHours, edBudgetCost);
  setTabOrder(edBudgetCost, edActualCost);
  setTabOrder(edActualCost, ckIsCompleted);
  setTabOrder(ckIsCompleted, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void TfrmProject::SetValues(int32_t projectId, const TqorProjectValues& values) {
  projectId_ = projectId;
  const QString tag = QString::fromStdString(values.Tag);
  // A longer stored tag is shown whole rather than cut.
  edProjectTag->setMaxLength(std::max<int>(kTagLength, static_cast<int>(tag.size())));
  edProjectName->setText(QString::fromStdString(values.Name));
  edProjectTag->setText(tag);
  cbStartDate->setDate(DayToDate(values.StartDate));
  cbEndDate->setDate(DayToDate(values.EndDate));
  edBudgetHours->setText(NumberText(values.BudgetHours));
  edActualHours->setText(NumberText(values.ActualHours));
  edBudgetCost->setText(NumberText(values.BudgetCost));
  edActualCost->setText(NumberText(values.ActualCost));
  ckIsCompleted->setChecked(values.IsCompleted);
  memNotes->setPlainText(QString::fromStdString(values.Notes));
}

TqorProjectValues TfrmProject::Values() const {
  TqorProjectValues v;
  v.Name = edProjectName->text().toStdString();
  v.Tag = edProjectTag->text().toStdString();
  v.StartDate = DateToDay(cbStartDate->date());
  v.EndDate = DateToDay(cbEndDate->date());
  v.BudgetHours = NumberOf(edBudgetHours);
  v.ActualHours = NumberOf(edActualHours);
  v.BudgetCost = NumberOf(edBudgetCost);
  v.ActualCost = NumberOf(edActualCost);
  v.IsCompleted = ckIsCompleted->isChecked();
  v.Notes = memNotes->toPlainText().toStdString();
  return v;
}

QString TfrmProject::BadFields() const {
  QString bad;
  double number = 0;
  if (edProjectName->text().isEmpty()) bad += QStringLiteral("Project name\r\n");
  if (!ReadNumber(edBudgetHours->text(), number)) bad += QStringLiteral("Budget Hours\r\n");
  if (!ReadNumber(edActualHours->text(), number)) bad += QStringLiteral("Actual Hours\r\n");
  if (!ReadNumber(edBudgetCost->text(), number)) bad += QStringLiteral("Budget Cost\r\n");
  if (!ReadNumber(edActualCost->text(), number)) bad += QStringLiteral("Actual Cost\r\n");
  return bad;
}

bool TfrmProject::Execute(int32_t projectId, TqorProjectValues& values) {
  SetValues(projectId, values);
  if (exec() != QDialog::Accepted) return false;
  values = Values();
  return true;
}

void TfrmProject::accept() {
  const QString bad = BadFields();
  if (!bad.isEmpty()) {
    ShowInfo(this, QStringLiteral("The following field have no or incorrect data:\r\n\r\n") + bad);
    return;
  }
  const std::string name = edProjectName->text().toStdString();
  const std::string tag = edProjectTag->text().toStdString();
  const std::string tooLong =
      CheckTextLengths({{"Project name", name, kProjectNameBytes}, {"Tag", tag, kProjectTagBytes}});
  if (!tooLong.empty()) {
    ShowInfo(this, tooLong);
    return;
  }
  QDialog::accept();
}

void TfrmProject::showEvent(QShowEvent* event) {
  pages_->setCurrentIndex(0);
  edProjectName->setFocus();
  QDialog::showEvent(event);
}
