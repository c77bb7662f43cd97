// A resource's holiday list: modal. Entries read "dd-mm-yyyy  dd-mm-yyyy" (first and last day
// off) in order of their start. "Add" adds a holiday through the holiday dialog, "Delete"
// deletes the selected one at once (no question), a double click opens it in the holiday dialog.
// The list window only asks; the operations behind it are its owner's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/qorListWindow.h"

class TfrmHolidays : public TqorListWindow {
  Q_OBJECT

 public:
  static constexpr int kWidth = 502;
  static constexpr int kHeight = 398;

  explicit TfrmHolidays(QWidget* parent = nullptr);

  // The resource whose holidays are listed; set before the window is shown.
  int32_t ResourceId() const { return resourceId_; }
  void SetResourceId(int32_t id) { resourceId_ = id; }

  std::function<void(int32_t resourceId)> onCreate;
  std::function<void(const std::string& holidayId, int32_t resourceId)> onDelete;
  std::function<void(const std::string& holidayId, int32_t resourceId)> onEdit;

 protected:
  void AddClick() override;
  void DeleteEntry(const std::string& id) override;
  void OpenEntry(const std::string& id) override;

 private:
  int32_t resourceId_ = 0;
};
