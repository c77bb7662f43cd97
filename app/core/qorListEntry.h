// An entry of the planner's list windows (projects, resources, holidays, the project filter):
// the text shown and the database id of the row it stands for, as the text of the element's
// "id". The windows keep the id rather than the element, so that an entry whose element is gone
// finds nothing instead of a freed node.
#pragma once

#include <string>

struct TqorListEntry {
  std::string Text;
  std::string Id;
  // The check box of the project filter's entries; unused elsewhere.
  bool Checked = false;
};
