// What the parser asks of the database while it checks names: the definitions of its disk
// tables and memory tables. The executor's layer hands in the database's catalogue; tests and
// the SQL tools can use TZuzSqlTableList, a plain list of definitions.
#pragma once

#include <string_view>
#include <vector>

#include "db/record/zuzTableDef.h"

namespace zuz {

class TZuzSqlCatalogue {
 public:
  virtual ~TZuzSqlCatalogue() = default;
  // The definition of the disk table (memory false) or memory table (memory true) with that
  // name, letter case ignored; nullptr when there is none. It must stay valid while a statement
  // is prepared (the statement tree keeps copies of what it needs, never the pointer).
  virtual const TTableDef* FindTable(std::string_view name, bool memory) const = 0;
};

class TZuzSqlTableList : public TZuzSqlCatalogue {
 public:
  void AddDiskTable(TTableDef def) { disk_.push_back(std::move(def)); }
  void AddMemoryTable(TTableDef def) { memory_.push_back(std::move(def)); }
  const TTableDef* FindTable(std::string_view name, bool memory) const override;

 private:
  std::vector<TTableDef> disk_;
  std::vector<TTableDef> memory_;
};

}  // namespace zuz
