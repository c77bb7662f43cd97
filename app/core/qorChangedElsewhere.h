// Another program on the same plan changed (or deleted) a row since this program last read or
// wrote it, and this program was about to write that row: nothing was written.
#pragma once

#include <string>

#include "app/core/qorWorkflowError.h"

class EqorChangedElsewhere : public EqorWorkflowError {
 public:
  // what() is "<row> was changed by another program since this window showed it", where row
  // names the row as the user knows it, for example "Task 'Order the hardware'".
  explicit EqorChangedElsewhere(const std::string& row)
      : EqorWorkflowError(row + " was changed by another program since this window showed it") {}
};
