#include "app/uTask.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "app/core/qorNumberText.h"
#include "app/qorAllocationList.h"
#include "app/qorDialogFields.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/schedule/qorWorkCalendar.h"

namespace {

constexpr int kWidth = 485;
constexpr int kHeight = 400;

// The working days the dialog counts with: the grid's weekends and feasts.
const TqorWorkCalendar& Calendar() {
  static const TqorWorkCalendar calendar;
  return calendar;
}

// A date picker in the short date format, its year always written with four digits.
QDateEdit* NewFullYearPicker(QWidget* parent) {
  QDateEdit* picker = NewDatePicker(parent);
  QString format = picker->displayFormat();
  if (!format.contains(QStringLiteral("yyyy")))
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  picker->setDisplayFormat(format);
  return picker;
}

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// An action of a list's context menu, also reachable by its key while the list has the focus.
QAction* AddListAction(QWidget* list, const QString& caption, const QKeySequence& key,
                       const char* name) {
  auto* action = new QAction(caption, list);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(key);
  action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  list->addAction(action);
  return action;
}

}  // namespace

TfrmTask::TfrmTask(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTask"));
  setWindowTitle(QStringLiteral("Task"));
  resize(kWidth, kHeight);

  pgcTask = new QTabWidget(this);
  pgcTask->setObjectName(QStringLiteral("pgcTask"));

  // --- Properties ---
  auto* properties = new QWidget;
  properties->setObjectName(QStringLiteral("tsProperties"));
  edTaskName = new QLineEdit;
  edTaskName->setObjectName(QStringLiteral("edTaskName"));
  edProjectName = new QLineEdit;
  edProjectName->setObjectName(QStringLiteral("edProjectName"));
  edProjectName->setEnabled(false);
  ckIsMileStone = new QCheckBox(QStringLiteral("Milestone"));
  ckIsMileStone->setObjectName(QStringLiteral("ckIsMileStone"));
  edProgress = new QLineEdit;
  edProgress->setObjectName(QStringLiteral("edProgress"));
  ckIsCompleted = new QCheckBox(QStringLiteral("Completed"));
  ckIsCompleted->setObjectName(QStringLiteral("ckIsCompleted"));

  Assignments = new TqorAllocationList;
  Assignments->setObjectName(QStringLiteral("Assignments"));
  Resources = new TqorAllocationList;
  Resources->setObjectName(QStringLiteral("Resources"));
  Assignments->SetPartner(Resources);
  Resources->SetPartner(Assignments);
  btnAllocate = new QPushButton(QStringLiteral("< &Allocate"));
  btnAllocate->setObjectName(QStringLiteral("btnAllocate"));
  btnRemove = new QPushButton(QStringLiteral("&Remove >"));
  btnRemove->setObjectName(QStringLiteral("btnRemove"));
  btnUnits = new QPushButton(QStringLiteral("&Units..."));
  btnUnits->setObjectName(QStringLiteral("btnUnits"));
  for (QPushButton* b : {btnAllocate, btnRemove, btnUnits}) b->setAutoDefault(false);

  cbStartDate = NewFullYearPicker(this);
  cbStartDate->setObjectName(QStringLiteral("cbStartDate"));
  cbEndDate = NewFullYearPicker(this);
  cbEndDate->setObjectName(QStringLiteral("cbEndDate"));
  edDuration = new QSpinBox;
  edDuration->setObjectName(QStringLiteral("edDuration"));
  edDuration->setRange(1, 99999);
  edDuration->setSuffix(QStringLiteral(" working days"));

  auto* nameLabel = new QLabel(QStringLiteral("&Name"));
  nameLabel->setBuddy(edTaskName);
  auto* projectLabel = new QLabel(QStringLiteral("Project"));
  auto* progressLabel = new QLabel(QStringLiteral("%&Progress"));
  progressLabel->setBuddy(edProgress);
  auto* assignedLabel = new QLabel(QStringLiteral("Assigned &to:"));
  assignedLabel->setBuddy(Assignments);
  auto* resourcesLabel = new QLabel(QStringLiteral("R&esources"));
  resourcesLabel->setBuddy(Resources);

  auto* fields = new QGridLayout;
  fields->addWidget(nameLabel, 0, 0);
  fields->addWidget(edTaskName, 0, 1, 1, 4);
  fields->addWidget(projectLabel, 1, 0);
  fields->addWidget(edProjectName, 1, 1, 1, 4);
  fields->addWidget(ckIsMileStone, 2, 1);
  fields->addWidget(progressLabel, 2, 2, Qt::AlignRight);
  fields->addWidget(edProgress, 2, 3);
  fields->addWidget(ckIsCompleted, 2, 4);
  auto* startLabel = new QLabel(QStringLiteral("&Start"));
  startLabel->setBuddy(cbStartDate);
  auto* endLabel = new QLabel(QStringLiteral("E&nd"));
  endLabel->setBuddy(cbEndDate);
  auto* durationLabel = new QLabel(QStringLiteral("&Duration"));
  durationLabel->setBuddy(edDuration);
  fields->addWidget(startLabel, 3, 0);
  fields->addWidget(cbStartDate, 3, 1);
  fields->addWidget(endLabel, 3, 2, Qt::AlignRight);
  fields->addWidget(cbEndDate, 3, 3);
  fields->addWidget(durationLabel, 4, 0);
  fields->addWidget(edDuration, 4, 1);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);

  auto* buttons = new QVBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnAllocate);
  buttons->addWidget(btnRemove);
  buttons->addWidget(btnUnits);
  buttons->addStretch();
  auto* lists = new QGridLayout;
  lists->addWidget(assignedLabel, 0, 0);
  lists->addWidget(resourcesLabel, 0, 2);
  lists->addWidget(Assignments, 1, 0);
  lists->addLayout(buttons, 1, 1);
  lists->addWidget(Resources, 1, 2);
  lists->setColumnStretch(0, 1);
  lists->setColumnStretch(2, 1);

  auto* propertiesLayout = new QVBoxLayout(properties);
  propertiesLayout->addLayout(fields);
  propertiesLayout->addLayout(lists, 1);
  pgcTask->addTab(properties, QStringLiteral("Properties"));

  // --- Notes ---
  auto* notes = new QWidget;
  notes->setObjectName(QStringLiteral("tsNotes"));
  memNotes = new QPlainTextEdit;
  memNotes->setObjectName(QStringLiteral("memNotes"));
  memNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memNotes->setTabChangesFocus(true);
  auto* notesLayout = new QVBoxLayout(notes);
  notesLayout->addWidget(memNotes);
  KeepXmlCharacters(edTaskName);
  KeepXmlCharacters(memNotes);
  pgcTask->addTab(notes, QStringLiteral("Notes"));

  // --- Links ---
  auto* linksPage = new QWidget;
  linksPage->setObjectName(QStringLiteral("tsLinks"));
  lstLinks = new QListWidget;
  lstLinks->setObjectName(QStringLiteral("lstLinks"));
  btnAddLink = new QPushButton(QStringLiteral("Add..."));
  btnAddLink->setObjectName(QStringLiteral("btnAddLink"));
  btnEditLink = new QPushButton(QStringLiteral("Edit..."));
  btnEditLink->setObjectName(QStringLiteral("btnEditLink"));
  btnRemoveLink = new QPushButton(QStringLiteral("Remove"));
  btnRemoveLink->setObjectName(QStringLiteral("btnRemoveLink"));
  for (QPushButton* b : {btnAddLink, btnEditLink, btnRemoveLink}) b->setAutoDefault(false);
  auto* linkButtons = new QVBoxLayout;
  linkButtons->addWidget(btnAddLink);
  linkButtons->addWidget(btnEditLink);
  linkButtons->addWidget(btnRemoveLink);
  linkButtons->addStretch();
  auto* linksLayout = new QHBoxLayout(linksPage);
  linksLayout->addWidget(lstLinks, 1);
  linksLayout->addLayout(linkButtons);
  pgcTask->addTab(linksPage, QStringLiteral("Links"));
  connect(btnAddLink, &QPushButton::clicked, this, [this] {
    if (onAddLink) onAddLink();
  });
  connect(btnEditLink, &QPushButton::clicked, this, [this] {
    if (const std::optional<int32_t> id = SelectedLink(); id && onEditLink) onEditLink(*id);
  });
  connect(lstLinks, &QListWidget::itemDoubleClicked, this, [this] {
    if (const std::optional<int32_t> id = SelectedLink(); id && onEditLink) onEditLink(*id);
  });
  connect(btnRemoveLink, &QPushButton::clicked, this, [this] {
    if (const std::optional<int32_t> id = SelectedLink(); id && onRemoveLink) onRemoveLink(*id);
  });
  connect(cbStartDate, &QDateEdit::dateChanged, this, [this] { StartOrDurationChanged(); });
  connect(edDuration, &QSpinBox::valueChanged, this, [this] { StartOrDurationChanged(); });
  connect(cbEndDate, &QDateEdit::dateChanged, this, [this] { EndChanged(); });

  // --- OK and Cancel ---
  btnOK = new QPushButton(QStringLiteral("OK"));
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"));
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(btnOK);
  bottom->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pgcTask, 1);
  layout->addLayout(bottom);

  connect(btnOK, &QPushButton::clicked, this, &TfrmTask::accept);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmTask::reject);

  // --- The allocation requests ---
  Assignments->onDropped = [this](int32_t resourceId) {
    if (onAllocate) onAllocate(resourceId);
  };
  Resources->onDropped = [this](int32_t assignmentId) {
    if (onRemoveAssignment) onRemoveAssignment(assignmentId);
  };
  connect(Assignments, &QListWidget::itemDoubleClicked, this, [this] { ChangeSelectedUnits(); });
  connect(btnAllocate, &QPushButton::clicked, this, [this] { AllocateSelected(); });
  connect(btnRemove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(btnUnits, &QPushButton::clicked, this, [this] { ChangeSelectedUnits(); });
  Assignments->setContextMenuPolicy(Qt::ActionsContextMenu);
  Resources->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(AddListAction(Resources, QStringLiteral("Allocate..."), QKeySequence(Qt::Key_Insert),
                        "actAllocate"),
          &QAction::triggered, this, [this] { AllocateSelected(); });
  connect(AddListAction(Assignments, QStringLiteral("Remove"), QKeySequence(Qt::Key_Delete),
                        "actRemove"),
          &QAction::triggered, this, [this] { RemoveSelected(); });
  connect(AddListAction(Assignments, QStringLiteral("Change Units..."), QKeySequence(Qt::Key_F2),
                        "actUnits"),
          &QAction::triggered, this, [this] { ChangeSelectedUnits(); });

  // Tab order: the fields top to bottom, the lists with their buttons, then OK and Cancel.
  setTabOrder(edTaskName, ckIsMileStone);
  setTabOrder(ckIsMileStone, edProgress);
  setTabOrder(edProgress, ckIsCompleted);
  setTabOrder(ckIsCompleted, cbStartDate);
  setTabOrder(cbStartDate, cbEndDate);
  setTabOrder(cbEndDate, edDuration);
  setTabOrder(edDuration, Assignments);
  setTabOrder(Assignments, btnAllocate);
  setTabOrder(btnAllocate, btnRemove);
  setTabOrder(btnRemove, btnUnits);
  setTabOrder(btnUnits, Resources);
  setTabOrder(Resources, btnOK);
  setTabOrder(btnOK, btnCancel);
}

void TfrmTask::SetTask(const TqorTaskDialogValues& values) {
  task_ = values;
  edTaskName->setText(Text(values.Name));
  edProjectName->setText(Text(values.ProjectName));
  ckIsMileStone->setChecked(values.IsMilestone);
  edProgress->setText(Text(FormatNumber(values.Progress)));
  ckIsCompleted->setChecked(values.IsCompleted);
  memNotes->setPlainText(Text(values.Notes));
  SetDates(values.StartDate, values.EndDate);
  pgcTask->setCurrentIndex(0);
  edTaskName->setFocus();
}

TqorTaskDialogValues TfrmTask::GetTask() const {
  TqorTaskDialogValues values = task_;
  values.Name = edTaskName->text().toStdString();
  values.IsMilestone = ckIsMileStone->isChecked();
  values.IsCompleted = ckIsCompleted->isChecked();
  ParseNumber(edProgress->text().toStdString(), values.Progress);
  values.Notes = memNotes->toPlainText().toStdString();
  values.StartDate = DateToDay(cbStartDate->date());
  values.EndDate = DateToDay(cbEndDate->date());
  return values;
}

void TfrmTask::SetDates(double startDate, double endDate) {
  task_.StartDate = startDate;
  task_.EndDate = endDate;
  settingDates_ = true;
  cbStartDate->setDate(DayToDate(startDate));
  cbEndDate->setDate(DayToDate(std::max(startDate, endDate)));
  try {
    edDuration->setValue(std::max(
        1, Calendar().WorkingDays(static_cast<int32_t>(startDate), static_cast<int32_t>(endDate))));
  } catch (const std::exception&) {
    edDuration->setValue(1);
  }
  settingDates_ = false;
}

void TfrmTask::MoveStart(double startDate) {
  task_.StartDate = startDate;
  cbStartDate->setDate(DayToDate(startDate));  // the end follows with the duration
}

void TfrmTask::StartOrDurationChanged() {
  if (settingDates_) return;
  const auto start = static_cast<int32_t>(DateToDay(cbStartDate->date()));
  try {
    const int32_t end = Calendar().Shift(Calendar().Next(start), edDuration->value() - 1);
    settingDates_ = true;
    cbEndDate->setDate(DayToDate(end));
  } catch (const std::exception&) {
    // A date the calendar does not reach keeps the end as it was.
  }
  settingDates_ = false;
}

void TfrmTask::EndChanged() {
  if (settingDates_) return;
  const auto start = static_cast<int32_t>(DateToDay(cbStartDate->date()));
  const auto end = static_cast<int32_t>(DateToDay(cbEndDate->date()));
  if (end < start) return;  // the check on OK says so
  try {
    settingDates_ = true;
    edDuration->setValue(std::max(1, Calendar().WorkingDays(start, end)));
  } catch (const std::exception&) {
  }
  settingDates_ = false;
}

void TfrmTask::SetLinkList(const std::vector<TqorResourceEntry>& entries) {
  lstLinks->clear();
  for (const TqorResourceEntry& entry : entries) {
    auto* item = new QListWidgetItem(Text(entry.Name), lstLinks);
    item->setData(Qt::UserRole, entry.Id);
  }
}

std::optional<int32_t> TfrmTask::SelectedLink() const {
  const QListWidgetItem* item = lstLinks->currentItem();
  if (!item) return std::nullopt;
  return item->data(Qt::UserRole).toInt();
}

void TfrmTask::SetResourceList(const std::vector<TqorResourceEntry>& entries) {
  Resources->SetEntries(entries);
}

void TfrmTask::SetAssignmentList(const std::vector<TqorResourceEntry>& entries) {
  Assignments->SetEntries(entries);
}

bool TfrmTask::Execute() {
  if (kept_ && kept_->TaskId == task_.TaskId) {
    TqorTaskDialogValues values = task_;
    values.Name = kept_->Name;
    values.IsMilestone = kept_->IsMilestone;
    values.IsCompleted = kept_->IsCompleted;
    values.Progress = kept_->Progress;
    values.Notes = kept_->Notes;
    values.StartDate = kept_->StartDate;
    values.EndDate = kept_->EndDate;
    SetTask(values);
  }
  kept_.reset();
  pgcTask->setCurrentIndex(0);
  edTaskName->setFocus();
  return exec() == QDialog::Accepted;
}

void TfrmTask::accept() {
  const std::string problems =
      CheckTaskValues(edTaskName->text().toStdString(), edProgress->text().toStdString(),
                      DateToDay(cbStartDate->date()), DateToDay(cbEndDate->date()));
  if (!problems.empty()) {
    ShowMessage(problems);
    return;
  }
  QDialog::accept();
}

void TfrmTask::AllocateSelected() {
  if (const std::optional<int32_t> id = Resources->SelectedId(); id && onAllocate) onAllocate(*id);
}

void TfrmTask::RemoveSelected() {
  if (const std::optional<int32_t> id = Assignments->SelectedId(); id && onRemoveAssignment)
    onRemoveAssignment(*id);
}

void TfrmTask::ChangeSelectedUnits() {
  if (const std::optional<int32_t> id = Assignments->SelectedId(); id && onChangeUnits)
    onChangeUnits(*id);
}
