// The indexes of an open table: one TIndexItem per index of the table's definition (its key
// fields and its B+tree) and the TIndexManager that keeps them all in step with the table's rows.
//
// Where an index lives:
//   definition     TTableDef.InternalIndexDefs[i] (IndexSequence i) with its key fields in
//                  TTableDef.KeyFields (zuzTableDef.h)
//   root, depth    the table header's index slot i: u32 root node address, u16 levels
//                  (zuzTableHeader.h); copied into the item's Root and Depth, which the tree
//                  changes and the manager writes back after every change of the table
//   nodes          4096-byte pages of the table's index-node interface (docs/index-format.md)
//
// Row operations (zuzTableIndexes.h for the order of the calls):
//   add      every unique or primary index is searched for the new key; a hit is 9729
//            "Key violation " with "Index <name>" and nothing has been written yet (8451 when
//            the hit's record is not there: the key belongs to a damaged record). After the
//            record is written its key goes into every index.
//   update   an index whose key bytes changed (a change of case counts) is searched for the new
//            key; a hit for another record is 9729. After the record is written the old key
//            is deleted and the new one inserted, in those indexes only.
//   delete   the record's key must be in every index (8708 "Index <name>" otherwise); after the
//            record is released its keys are deleted.
// A non-unique index's keys end with the record's sequence number, so they never collide. Two
// NULLs in a unique index's field are equal keys, so a second such record is a key violation.
//
// The current index gives the order in which the table is read: the hidden "_LogicalRecNo" when
// it is the only index (insertion order), else the index of the dataset's index name, else the
// first index that is not hidden. The primary index has the empty name, so a dataset without an
// index name reads in primary key order when the table has a primary index.
//
// Other programs. Before each operation the table header is read again; when its write counter
// moved (or this program rolled back a transaction) the roots and depths are reloaded and every
// node buffer is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/index/zuzBTree.h"
#include "db/index/zuzIndexHashList.h"
#include "db/record/zuzTableDef.h"
#include "db/record/zuzTableIndexes.h"
#include "db/record/zuzTableMgrUnit.h"

namespace zuz {

class TOpenTable;
class TTableHeader;

// One open index: its definition, key fields, root and depth, and its tree.
class TIndexItem {
 public:
  TIndexItem() = default;
  TIndexItem(const TIndexItem&) = delete;  // the tree refers to Root and Depth
  TIndexItem& operator=(const TIndexItem&) = delete;

  // Takes the properties of the definition; the key fields come with AssignKeyFields.
  void Assign(const TInternalIndexDef& def);
  // Builds and opens the tree over the key fields: 8581 "IO Interface is unassigned" without a
  // node interface, the tree's checks of the key definition.
  void Open(TBaseIOInterface* io, TSortOrderFunc sortOrder);
  bool IsOpen() const { return tree_ != nullptr; }
  // 8581 when the index is not open.
  TBTree& Tree();
  bool RefusesDuplicates() const { return Unique || Primary; }

  int IndexSequence = 0;
  std::string IndexName;
  bool Unique = false;
  bool Primary = false;
  bool Hidden = false;
  bool Maintained = true;
  bool Memory = false;
  TKeyFields KeyFields;
  int MaximumKeySize = 0;
  int KeyDataOffset = 0;
  uint32_t IndexPageSize = kIndexPageSize;
  uint32_t Root = 0;
  uint16_t Depth = 0;

 private:
  std::unique_ptr<TBTree> tree_;
};

class TIndexManager : public TTableIndexes {
 public:
  TIndexManager() = default;

  // One item per index definition, in slot order (replacing any items).
  void Assign(const std::vector<TInternalIndexDef>& defs);
  // Gives each key field to the index it names (without case): 9997 "Index does not exist" with
  // the name for a key field of no index; 8581 "KeyBuffers invalid" for a string key field
  // without length marker offset or an index left without key fields.
  void AssignKeyFields(const TKeyFields& keyFields);
  void SetSortOrderFunction(TSortOrderFunc sortOrder) { sortOrder_ = sortOrder; }
  // Needs the sort-order function (8581 "Sort function not assinged") and the table header;
  // reloads every root and depth from the header and opens every item.
  void Open(TTableHeader* header, TBaseIOInterface* io);

  int Count() const { return static_cast<int>(items_.size()); }
  // The indexes that are not hidden.
  int VisibleCount() const { return visible_; }
  // REQUIRES: 0 <= i < Count().
  TIndexItem& Item(int i) { return *items_[static_cast<size_t>(i)]; }
  // The first index of the name (without case), or null.
  TIndexItem* FindIndex(std::string_view name);

  // Chooses the current index by the rule of opening a table (see above) for a dataset index
  // name that may name no index.
  void ChooseCurrentIndex(std::string_view datasetIndexName);
  // Makes the named index current; 9997 "Index does not exist" with the name when absent.
  void SelectCurrentIndex(std::string_view indexName);
  // 9997 when there is none (an empty definition).
  TIndexItem& CurrentIndex();
  // The first index whose first key fields are, in order, the fields of the ";"-separated list
  // (without case; with caseSensitiveOnly only key fields that compare with case count);
  // 9997 with the list when there is none.
  TIndexItem& FindIndexForFields(std::string_view fields, bool caseSensitiveOnly = false);
  TIndexItem* IndexForFields(std::string_view fields, bool caseSensitiveOnly);
  // 9997 "TZuzDataSet.CheckIndexesPresent" when every index is hidden.
  void CheckIndexesPresent() const;

  // Reads root and depth of every index from its header slot; drops node buffers when asked or
  // when a root or depth moved.
  void ReloadRoots(bool dropNodes);
  // Writes root and depth of every index into its header slot (not yet into the file).
  void WriteRoots();
  // Frees every page of the table's index-node interface (the roots then lead nowhere).
  void FreeNodes();
  // Frees every page of the index-node interface, gives every index a new empty root and
  // writes the roots.
  void Recreate();

  // The index that holds the record's key at the address, positioned on that key: the search
  // for the key finds the entry of this record among equal keys. False when it is not there.
  bool PositionOnRecord(TIndexItem& item, const uint8_t* image, uint32_t address);
  // The addresses of the keys of the index in order.
  std::vector<uint32_t> AddressesOf(TIndexItem& item);
  // Adds the value of the column and the record's address of every key to the list, through
  // the current index when it has a key field on the column, else any index that has one.
  // False when no index has the column (the caller reads the records).
  bool LoadHashList(std::string_view column, THashList& list);

  // The row operations' calls.
  void HeaderReloaded(bool changedElsewhere) override;
  void CheckForAdd(const uint8_t* image) override;
  void InsertKeys(const uint8_t* image, uint32_t address) override;
  void CheckForUpdate(const uint8_t* oldImage, const uint8_t* newImage, uint32_t address) override;
  void UpdateKeys(const uint8_t* oldImage, const uint8_t* newImage, uint32_t address) override;
  void CheckForDelete(const uint8_t* image, uint32_t address) override;
  void DeleteKeys(const uint8_t* image, uint32_t address) override;
  std::optional<std::vector<uint32_t>> AddressesInOrder() override;
  void RecreateEmpty() override { Recreate(); }
  void StoreRoots() override { WriteRoots(); }
  std::optional<std::vector<uint32_t>> FindByFields(
      std::string_view fields, const std::vector<TLookupValue>& values) override;

 private:
  // The key of the image changed in the index (its bytes differ).
  bool KeyChanged(TIndexItem& item, const uint8_t* oldImage, const uint8_t* newImage);
  int64_t ImageSize() const;

  std::vector<std::unique_ptr<TIndexItem>> items_;
  TTableHeader* header_ = nullptr;
  TBaseIOInterface* io_ = nullptr;
  TSortOrderFunc sortOrder_ = nullptr;
  int current_ = -1;
  int visible_ = 0;
  int recordSize_ = 0;
  std::vector<uint8_t> oldKey_, newKey_;
  std::function<void(uint32_t)> checkRecord_;
  friend std::unique_ptr<TTableIndexes> MakeIndexManager(const TTableIndexContext&);
};

// The index set of an open table kept by this layer: the table's index manager.
std::unique_ptr<TTableIndexes> MakeIndexManager(const TTableIndexContext& context);

// What a table manager needs from this layer: the index manager for every table.
TTableMgrServices IndexedTableServices();

// The index manager of an open table (8581 when the table was opened without one).
TIndexManager& IndexManagerOf(TOpenTable& table);

}  // namespace zuz
