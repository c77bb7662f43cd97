#include "app/uResource.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/core/qorTextColumns.h"
#include "app/qorDialogFields.h"
#include "app/qorErrorReport.h"

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

// Shows the text in the field, letting a longer stored text stay whole rather than be cut.
void SetLimitedText(QLineEdit* field, int limit, const std::string& text) {
  const QString value = QString::fromStdString(text);
  field->setMaxLength(std::max<int>(limit, static_cast<int>(value.size())));
  field->setText(value);
}

}  // namespace

TfrmResource::TfrmResource(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmResource"));
  setWindowTitle(QStringLiteral("Resource"));
  resize(kWidth, kHeight);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("Pages"));
  auto* properties = new QWidget(pages_);
  properties->setObjectName(QStringLiteral("Properties"));
  auto* form = new QFormLayout(properties);
  edResourceName = NewField(properties, "edResourceName");
  edResourceName->setMaxLength(kNameLength);
  edInitials = NewField(properties, "edInitials");
  edInitials->setMaxLength(kInitialsLength);
  edHoursPerWeek = NewField(properties, "edHoursPerWeek");
  edCostPerHour = NewField(properties, "edCostPerHour");
  edMaxUnits = NewField(properties, "edMaxUnits");
  cmdEditHolidays = new QPushButton(QStringLiteral("Edit Holidays"), properties);
  cmdEditHolidays->setObjectName(QStringLiteral("cmdEditHolidays"));
  cmdEditHolidays->setAutoDefault(false);
  connect(cmdEditHolidays, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { cmdEditHolidaysClick(); }); });
  form->addRow(QStringLiteral("Name"), edResourceName);
  form->addRow(QStringLiteral("Initials"), edInitials);
  form->addRow(QStringLiteral("Hours per Week"), edHoursPerWeek);
  form->addRow(QStringLiteral("Cost per Hour"), edCostPerHour);
  form->addRow(QStringLiteral("MaxUnits (%)"), edMaxUnits);
  auto* holidaysRow = new QHBoxLayout;
  holidaysRow->addWidget(cmdEditHolidays);
  holidaysRow->addStretch();
  form->addRow(QString(), holidaysRow);
  pages_->addTab(properties, QStringLiteral("Properties"));

  auto* notes = new QWidget(pages_);
  notes->setObjectName(QStringLiteral("Notes"));
  auto* notesLayout = new QVBoxLayout(notes);
  memNotes = new QPlainTextEdit(notes);
  memNotes->setObjectName(QStringLiteral("memNotes"));
  memNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memNotes->setTabChangesFocus(true);
  notesLayout->addWidget(memNotes);
  for (QLineEdit* text : {edResourceName, edInitials}) KeepXmlCharacters(text);
  KeepXmlCharacters(memNotes);
  pages_->addTab(notes, QStringLiteral("Notes"));

  auto* buttons = new QDialogButtonBox(this);
  cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmResource::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmResource::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);

  setTabOrder(edResourceName, edInitials);
  setTabOrder(edInitials, edHoursPerWeek);
  setTabOrder(edHoursPerWeek, edCostPerHour);
  setTabOrder(edCostPerHour, edMaxUnits);
  setTabOrder(edMaxUnits, cmdEditHolidays);
  setTabOrder(cmdEditHolidays, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void TfrmResource::SetValues(int32_t resourceId, const TqorResourceValues& values) {
  resourceId_ = resourceId;
  SetLimitedText(edResourceName, kNameLength, values.Name);
  SetLimitedText(edInitials, kInitialsLength, values.Initials);
  edHoursPerWeek->setText(NumberText(values.HoursPerWeek));
  edCostPerHour->setText(NumberText(values.CostPerHour));
  edMaxUnits->setText(NumberText(values.MaxUnits));
  memNotes->setPlainText(QString::fromStdString(values.Notes));
}

TqorResourceValues TfrmResource::Values() const {
  TqorResourceValues v;
  v.Name = edResourceName->text().toStdString();
  v.Initials = edInitials->text().toStdString();
  v.HoursPerWeek = NumberOf(edHoursPerWeek);
  v.CostPerHour = NumberOf(edCostPerHour);
  v.MaxUnits = NumberOf(edMaxUnits);
  v.Notes = memNotes->toPlainText().toStdString();
  return v;
}

QString TfrmResource::BadFields() const {
  QString bad;
  double number = 0;
  if (edResourceName->text().isEmpty()) bad += QStringLiteral("Resource Name\r\n");
  if (edInitials->text().isEmpty()) bad += QStringLiteral("Initials\r\n");
  if (!ReadNumber(edHoursPerWeek->text(), number)) bad += QStringLiteral("Hours per Week\r\n");
  if (!ReadNumber(edCostPerHour->text(), number)) bad += QStringLiteral("Cost per Hour\r\n");
  if (!ReadNumber(edMaxUnits->text(), number)) bad += QStringLiteral("MaxUnits\r\n");
  return bad;
}

bool TfrmResource::Execute(int32_t resourceId, TqorResourceValues& values) {
  SetValues(resourceId, values);
  if (exec() != QDialog::Accepted) return false;
  values = Values();
  return true;
}

void TfrmResource::accept() {
  const QString bad = BadFields();
  if (!bad.isEmpty()) {
    ShowInfo(this, QStringLiteral("The following fields have no or incorrect data:\r\n\r\n") + bad);
    return;
  }
  const std::string name = edResourceName->text().toStdString();
  const std::string initials = edInitials->text().toStdString();
  const std::string tooLong = CheckTextLengths(
      {{"Resource Name", name, kResourceNameBytes}, {"Initials", initials, kInitialsBytes}});
  if (!tooLong.empty()) {
    ShowInfo(this, tooLong);
    return;
  }
  QDialog::accept();
}

void TfrmResource::cmdEditHolidaysClick() {
  if (onEditHolidays) onEditHolidays(resourceId_);
}

void TfrmResource::showEvent(QShowEvent* event) {
  pages_->setCurrentIndex(0);
  edResourceName->setFocus();
  QDialog::showEvent(event);
}
