#include "db/sql/zuzSqlCatalogue.h"

#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

const TTableDef* TZuzSqlTableList::FindTable(std::string_view name, bool memory) const {
  for (const TTableDef& def : memory ? memory_ : disk_) {
    if (SameTextIgnoringCase(def.TableName, name)) return &def;
  }
  return nullptr;
}

}  // namespace zuz
