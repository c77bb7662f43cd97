#include "app/qorListWindow.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/qorErrorReport.h"

TqorListWindow::TqorListWindow(QWidget* parent, const QString& caption, int width, int height,
                               const char* listName, const char* addName)
    : QDialog(parent) {
  setWindowTitle(caption);
  resize(width, height);

  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("ToolBar1"));
  auto addButton = [&](const char* name, const QString& text) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFocusPolicy(Qt::TabFocus);
    bar->addWidget(button);
    return button;
  };
  cmdAdd_ = addButton(addName, QStringLiteral("Add"));
  cmdDelete_ = addButton("cmdDelete", QStringLiteral("Delete"));
  connect(cmdAdd_, &QToolButton::clicked, this, [this] { Run([this] { AddClick(); }); });
  connect(cmdDelete_, &QToolButton::clicked, this, [this] { DeleteClick(); });

  list_ = new QListWidget(this);
  list_->setObjectName(QLatin1String(listName));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->installEventFilter(this);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OpenClick(); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(list_);
  setTabOrder(list_, cmdAdd_);
  setTabOrder(cmdAdd_, cmdDelete_);
}

template <class F>
void TqorListWindow::Run(F&& f) {
  RunGuarded(std::forward<F>(f));
  RunGuarded([this] { Refill(); });
}

void TqorListWindow::Refill() {
  SetEntries(onFill ? onFill() : std::vector<TqorListEntry>{});
}

void TqorListWindow::SetEntries(const std::vector<TqorListEntry>& entries) {
  const QString selected = QString::fromStdString(SelectedId());
  list_->clear();
  for (const TqorListEntry& entry : entries) {
    auto* item = new QListWidgetItem(QString::fromStdString(entry.Text), list_);
    const QString id = QString::fromStdString(entry.Id);
    item->setData(Qt::UserRole, id);
    if (!selected.isEmpty() && id == selected) list_->setCurrentItem(item);
  }
}

std::string TqorListWindow::SelectedId() const {
  const QList<QListWidgetItem*> items = list_->selectedItems();
  if (items.isEmpty()) return {};
  return items.front()->data(Qt::UserRole).toString().toStdString();
}

void TqorListWindow::DeleteClick() {
  const std::string id = SelectedId();
  if (id.empty()) return;
  Run([&] { DeleteEntry(id); });
}

void TqorListWindow::OpenClick() {
  const std::string id = SelectedId();
  if (id.empty()) return;
  Run([&] { OpenEntry(id); });
}

void TqorListWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (fillOnShow_) RunGuarded([this] { Refill(); });
  list_->setFocus();
}

bool TqorListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
          OpenClick();
          return true;
        case Qt::Key_Delete:
          DeleteClick();
          return true;
        case Qt::Key_Insert:
          Run([this] { AddClick(); });
          return true;
        default:
          break;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}
