#include "app/uProjectFilter.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfrmProjectFilter::TfrmProjectFilter(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmProjectFilter"));
  setWindowTitle(QStringLiteral("Project Filter"));
  resize(kWidth, kHeight);

  auto* group = new QGroupBox(QStringLiteral("Projects"), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  Projects = new QListWidget(group);
  Projects->setObjectName(QStringLiteral("Projects"));
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(Projects);

  auto newButton = [this](const char* name, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    return button;
  };
  cmdSelectAll = newButton("cmdSelectAll", QStringLiteral("Select All"));
  cmdSelectNone = newButton("cmdSelectNone", QStringLiteral("Select None"));
  cmdOK = newButton("cmdOK", QStringLiteral("OK"));
  cmdCancel = newButton("cmdCancel", QStringLiteral("Cancel"));
  for (QPushButton* button : {cmdSelectAll, cmdSelectNone}) button->setAutoDefault(false);
  cmdOK->setDefault(true);
  connect(cmdSelectAll, &QPushButton::clicked, this, [this] { CheckAll(true); });
  connect(cmdSelectNone, &QPushButton::clicked, this, [this] { CheckAll(false); });
  connect(cmdOK, &QPushButton::clicked, this, &TfrmProjectFilter::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &TfrmProjectFilter::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdSelectAll);
  buttons->addWidget(cmdSelectNone);
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(buttons);

  setTabOrder(Projects, cmdSelectAll);
  setTabOrder(cmdSelectAll, cmdSelectNone);
  setTabOrder(cmdSelectNone, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void TfrmProjectFilter::SetEntries(const std::vector<TqorListEntry>& entries) {
  Projects->clear();
  for (const TqorListEntry& entry : entries) {
    auto* item = new QListWidgetItem(QString::fromStdString(entry.Text), Projects);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(entry.Checked ? Qt::Checked : Qt::Unchecked);
    item->setData(Qt::UserRole, QString::fromStdString(entry.Id));
  }
  if (Projects->count() > 0) Projects->setCurrentRow(0);
}

std::vector<TqorListEntry> TfrmProjectFilter::Entries() const {
  std::vector<TqorListEntry> entries;
  for (int i = 0; i < Projects->count(); ++i) {
    const QListWidgetItem* item = Projects->item(i);
    entries.push_back({item->text().toStdString(),
                       item->data(Qt::UserRole).toString().toStdString(),
                       item->checkState() == Qt::Checked});
  }
  return entries;
}

bool TfrmProjectFilter::Execute(std::vector<TqorListEntry>& entries) {
  SetEntries(entries);
  if (exec() != QDialog::Accepted) return false;
  entries = Entries();
  return true;
}

void TfrmProjectFilter::CheckAll(bool checked) {
  for (int i = 0; i < Projects->count(); ++i)
    Projects->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TfrmProjectFilter::showEvent(QShowEvent* event) {
  Projects->setFocus();
  QDialog::showEvent(event);
}
