#include "app/uLink.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmLink::TfrmLink(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmLink"));
  setWindowTitle(QStringLiteral("Link"));
  lblTask = new QLabel;
  lblTask->setObjectName(QStringLiteral("lblTask"));
  cbRole = new QComboBox;
  cbRole->setObjectName(QStringLiteral("cbRole"));
  cbRole->addItems({QStringLiteral("follows"), QStringLiteral("comes before")});
  cbOther = new QComboBox;
  cbOther->setObjectName(QStringLiteral("cbOther"));
  cbType = new QComboBox;
  cbType->setObjectName(QStringLiteral("cbType"));
  cbType->addItems({QStringLiteral("Finish to start (FS)"), QStringLiteral("Start to start (SS)"),
                    QStringLiteral("Finish to finish (FF)"),
                    QStringLiteral("Start to finish (SF)")});
  edLag = new QSpinBox;
  edLag->setObjectName(QStringLiteral("edLag"));
  edLag->setRange(-9999, 9999);
  edLag->setSuffix(QStringLiteral(" working days"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Task"), lblTask);
  form->addRow(QStringLiteral("&It"), cbRole);
  form->addRow(QStringLiteral("&Task"), cbOther);
  form->addRow(QStringLiteral("T&ype"), cbType);
  form->addRow(QStringLiteral("&Lag (negative: lead)"), edLag);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void TfrmLink::Show(const TValues& values) {
  cbRole->setCurrentIndex(values.OtherComesFirst ? 0 : 1);
  cbType->setCurrentIndex(static_cast<int>(values.Type));
  edLag->setValue(values.Lag);
}

void TfrmLink::Read(TValues& values) const {
  values.OtherComesFirst = cbRole->currentIndex() == 0;
  values.Type = static_cast<TqorLinkType>(std::max(0, cbType->currentIndex()));
  values.Lag = edLag->value();
  if (cbOther->isEnabled() && cbOther->currentIndex() >= 0)
    values.OtherTaskId = cbOther->currentData().toInt();
}

bool TfrmLink::ExecuteNew(const std::string& taskName, const std::vector<TqorResourceEntry>& others,
                          TValues& values) {
  lblTask->setText(QString::fromStdString(taskName));
  cbOther->clear();
  for (const TqorResourceEntry& e : others) cbOther->addItem(QString::fromStdString(e.Name), e.Id);
  cbRole->setEnabled(true);
  cbOther->setEnabled(true);
  Show(values);
  if (exec() != QDialog::Accepted || cbOther->count() == 0) return false;
  Read(values);
  return true;
}

bool TfrmLink::ExecuteEdit(const std::string& linkText, TValues& values) {
  lblTask->setText(QString::fromStdString(linkText));
  cbOther->clear();
  cbRole->setEnabled(false);
  cbOther->setEnabled(false);
  Show(values);
  if (exec() != QDialog::Accepted) return false;
  Read(values);
  return true;
}
