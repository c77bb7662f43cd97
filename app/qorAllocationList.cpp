#include "app/qorAllocationList.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

namespace {
constexpr int kIdRole = Qt::UserRole;
}

TqorAllocationList::TqorAllocationList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  // A drop copies nothing: the lists are refilled after the change is stored.
  setDefaultDropAction(Qt::CopyAction);
}

void TqorAllocationList::SetEntries(const std::vector<TqorResourceEntry>& entries) {
  clear();
  for (const TqorResourceEntry& entry : entries) {
    auto* item = new QListWidgetItem(QString::fromStdString(entry.Name), this);
    item->setData(kIdRole, entry.Id);
  }
}

std::vector<TqorResourceEntry> TqorAllocationList::Entries() const {
  std::vector<TqorResourceEntry> entries;
  for (int i = 0; i < count(); ++i)
    entries.push_back({item(i)->text().toStdString(), item(i)->data(kIdRole).toInt()});
  return entries;
}

std::optional<int32_t> TqorAllocationList::SelectedId() const {
  const QList<QListWidgetItem*> items = selectedItems();
  if (items.isEmpty()) return std::nullopt;
  return items.first()->data(kIdRole).toInt();
}

QMimeData* TqorAllocationList::SelectionDragData() const {
  return mimeData(selectedItems());
}

QStringList TqorAllocationList::mimeTypes() const {
  return {QString::fromLatin1(kMimeType)};
}

QMimeData* TqorAllocationList::mimeData(const QList<QListWidgetItem*>& items) const {
  if (items.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  const QByteArray payload =
      objectName().toUtf8() + '\n' + QByteArray::number(items.first()->data(kIdRole).toInt());
  data->setData(QString::fromLatin1(kMimeType), payload);
  return data;
}

std::optional<int32_t> TqorAllocationList::AcceptedId(const QMimeData* data) const {
  if (!partner_ || !data || !data->hasFormat(QString::fromLatin1(kMimeType))) return std::nullopt;
  const QByteArray payload = data->data(QString::fromLatin1(kMimeType));
  const qsizetype newline = payload.indexOf('\n');
  if (newline < 0 || payload.left(newline) != partner_->objectName().toUtf8()) return std::nullopt;
  bool ok = false;
  const int id = payload.mid(newline + 1).toInt(&ok);
  if (!ok) return std::nullopt;
  return id;
}

void TqorAllocationList::dragEnterEvent(QDragEnterEvent* event) {
  if (AcceptedId(event->mimeData())) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void TqorAllocationList::dragMoveEvent(QDragMoveEvent* event) {
  if (AcceptedId(event->mimeData())) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void TqorAllocationList::dropEvent(QDropEvent* event) {
  const std::optional<int32_t> id = AcceptedId(event->mimeData());
  if (!id) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  // The drag still holds the mouse and the keyboard until this returns: the handler, which may
  // ask the user, runs after it.
  QTimer::singleShot(0, this, [this, value = *id] {
    if (onDropped) onDropped(value);
  });
}
