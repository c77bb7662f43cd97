// The link dialog, opened from the task dialog's Links page: caption "Link", the task the link
// belongs to, whether the other task comes before it ("follows") or after it ("comes before"),
// the other task, the type (finish to start, start to start, finish to finish, start to finish)
// and the lag in working days (negative: a lead). When a link is changed only its type and lag
// can be.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/qorTaskEditor.h"
#include "planner/schedule/qorScheduleLink.h"

class QComboBox;
class QLabel;
class QSpinBox;

class TfrmLink : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmLink(QWidget* parent = nullptr);

  struct TValues {
    // The other task is the predecessor (the task follows it), else the successor.
    bool OtherComesFirst = true;
    int32_t OtherTaskId = 0;
    TqorLinkType Type = TqorLinkType::FS;
    int32_t Lag = 0;
  };
  // A new link of the task named taskName with one of the other tasks: true on OK, with values.
  bool ExecuteNew(const std::string& taskName, const std::vector<TqorResourceEntry>& others,
                  TValues& values);
  // A link's type and lag, the link shown as text: true on OK, with values.
  bool ExecuteEdit(const std::string& linkText, TValues& values);

  QLabel* lblTask = nullptr;
  QComboBox* cbRole = nullptr;
  QComboBox* cbOther = nullptr;
  QComboBox* cbType = nullptr;
  QSpinBox* edLag = nullptr;

 private:
  void Show(const TValues& values);
  void Read(TValues& values) const;
};
