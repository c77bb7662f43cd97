// The table object: one table of the database (or a memory table) as a dataset, read in the
// order of its current index: the index named by IndexName, else the primary index, else the
// first visible one, else insertion order.
//
// Every read takes the table's read lock for its duration unless a lock is held; posting and
// deleting take the write lock and run the record operations, each a transaction of its own
// outside an open transaction. Entering edit mode reads the record again and takes its record
// lock, which posting, cancelling or closing releases. Opening checks the open privilege, and a
// ReadOnly table refuses changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/objects/zuzDataSet.h"
#include "db/objects/zuzSecurityMgr.h"

namespace zuz {

class TOpenTable;

class TZuzTable : public TZuzDataSet {
 public:
  TZuzTable() = default;
  ~TZuzTable() override;

  std::string TableName;
  // A memory table of the database.
  bool Memory = false;
  const std::string& IndexName() const { return indexName_; }
  // Changes the reading order; an open table reads its rows again.
  void SetIndexName(const std::string& name);
  // The fields of the current index, ";"-separated.
  std::string IndexFieldNames();

  // Finds the first row whose leading fields of the current index hold the values and stands on
  // it; false (position unchanged) when there is none.
  bool FindKey(const std::vector<TqorVariant>& values);

 protected:
  void DoOpen() override;
  void DoClose() override;
  size_t DoRowCount() override { return addresses_.size(); }
  void DoReadRow(size_t i, TZuzRow& row) override;
  void DoEdit(size_t row) override;
  void DoCancelEdit(size_t row) override;
  size_t DoPost(bool inserting, size_t row, const TZuzRow& values,
                const std::vector<bool>& changed) override;
  void DoDelete(size_t row) override;
  void DoRefresh() override;
  const TTableDef* FilterTableDef() override;

 private:
  void LoadAddresses();
  void ReleaseRecordLock();
  // The privilege check of a table of the database file (memory tables need none).
  void CheckTablePrivilege(TZuzPrivilege privilege);
  size_t PositionOf(uint32_t address) const;

  std::string indexName_;
  std::unique_ptr<TOpenTable> table_;
  std::vector<uint32_t> addresses_;
  uint32_t lockedAddress_ = 0;
  bool memoryTable_ = false;
};

}  // namespace zuz
