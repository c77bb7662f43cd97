// One of the task dialog's two resource lists. Each entry shows a resource name and carries a
// whole number (a ResourceId or an AssignmentId). An entry can be dragged to the partner list;
// a list accepts a drop only when it comes from its partner, and then reports the entry dropped
// instead of moving it (the workflows refill both lists from the database).
//
// Drag data: the MIME type "application/x-vazadod-allocation" holding
//   <object name of the list dragged from> "\n" <the entry's number in decimal digits>
#pragma once

#include <QListWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/qorTaskEditor.h"

class QMimeData;

class TqorAllocationList : public QListWidget {
  Q_OBJECT

 public:
  static constexpr const char* kMimeType = "application/x-vazadod-allocation";

  explicit TqorAllocationList(QWidget* parent = nullptr);

  // The list whose entries this one accepts (not owned).
  void SetPartner(const TqorAllocationList* partner) { partner_ = partner; }
  // Called with the number of the partner's entry dropped here, after the drag has ended (so
  // that the handler may ask the user in a dialog of its own).
  std::function<void(int32_t id)> onDropped;

  void SetEntries(const std::vector<TqorResourceEntry>& entries);
  std::vector<TqorResourceEntry> Entries() const;
  // The number of the selected entry; none without a selection.
  std::optional<int32_t> SelectedId() const;
  // The drag data of the selected entry (nullptr without a selection); the caller owns it.
  QMimeData* SelectionDragData() const;
  // The number a drop with this data brings from the partner; none for anything else.
  std::optional<int32_t> AcceptedId(const QMimeData* data) const;

 protected:
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  const TqorAllocationList* partner_ = nullptr;
};
