// The index calls of a table's row operations, behind one interface so that the indexes can be
// kept by a separate unit. The row operations call, in this order:
//
//   add      CheckForAdd (duplicate keys) -> blobs, record block -> InsertKeys
//   update   CheckForUpdate (duplicate new keys) -> blobs, record block -> UpdateKeys
//   delete   CheckForDelete (every key present) -> record block, blobs -> DeleteKeys
//
// and StoreRoots before they write the table header. The index layer keeps the indexes (its index
// manager, which the engine set-up hands to every table manager); the record layer's own tests
// use TNoTableIndexes, which keeps no index: the table is then read in block order. Empty index
// trees are created for every index of a new table: one 4096-byte node from the table's index
// interface,
//
//   0    u32   1 (a leaf)
//   4    ...   zero (no entries, no neighbours)
//
// entered in the table header's index slot with 1 level.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zuz {

class TBaseIOInterface;
class TDiskMgr;
class TTableHeader;
struct TTableDef;

// A value to look up: NULL, an integer, a double, a boolean or a text (as TFieldValue).
using TLookupValue = std::variant<std::monostate, int64_t, double, bool, std::string>;

struct TTableIndexContext {
  TDiskMgr* disk = nullptr;
  const TTableDef* def = nullptr;
  TTableHeader* header = nullptr;
  TBaseIOInterface* nodes = nullptr;  // index nodes: 4096-byte blocks, usage 8
  // Raises the corrupt-file error (8451) unless a live record of the table lies at the address:
  // asked before a key is reported as taken, so that a key whose record is gone is damage.
  std::function<void(uint32_t address)> checkRecord;
};

class TTableIndexes {
 public:
  virtual ~TTableIndexes() = default;

  // The table header was read again; changedElsewhere when another writer changed the table
  // since (roots and depths must be reloaded and cached nodes dropped).
  virtual void HeaderReloaded(bool changedElsewhere) = 0;
  // 9729 "Key violation" when a key of the new image exists in a unique index (8451 when the
  // record of the existing key is not there).
  virtual void CheckForAdd(const uint8_t* image) = 0;
  virtual void InsertKeys(const uint8_t* image, uint32_t address) = 0;
  // 9729 when a changed key of the new image exists for another record (8451 as above).
  virtual void CheckForUpdate(const uint8_t* oldImage, const uint8_t* newImage,
                              uint32_t address) = 0;
  virtual void UpdateKeys(const uint8_t* oldImage, const uint8_t* newImage, uint32_t address) = 0;
  // 8708 when a key of the record is missing from an index.
  virtual void CheckForDelete(const uint8_t* image, uint32_t address) = 0;
  virtual void DeleteKeys(const uint8_t* image, uint32_t address) = 0;
  // The record addresses in the current index's order; nothing when records are read in block
  // order.
  virtual std::optional<std::vector<uint32_t>> AddressesInOrder() = 0;
  // Gives every index a new empty tree (the table's index pages were freed).
  virtual void RecreateEmpty() = 0;
  // Writes the roots and depths into the table header (not yet into the file).
  virtual void StoreRoots() = 0;
  // The addresses of the records whose fields (a ";"-separated list) hold the values, found
  // through an index that leads with those fields; nothing when no index does. The addresses are
  // candidates: an index that compares without case, or cuts long texts to the field's size,
  // also finds near matches, so the caller compares the records' values.
  virtual std::optional<std::vector<uint32_t>> FindByFields(
      std::string_view fields, const std::vector<TLookupValue>& values) = 0;
};

using TTableIndexesFactory =
    std::function<std::unique_ptr<TTableIndexes>(const TTableIndexContext&)>;

class TNoTableIndexes : public TTableIndexes {
 public:
  explicit TNoTableIndexes(const TTableIndexContext& context) : context_(context) {}

  void HeaderReloaded(bool) override {}
  void CheckForAdd(const uint8_t*) override {}
  void InsertKeys(const uint8_t*, uint32_t) override {}
  void CheckForUpdate(const uint8_t*, const uint8_t*, uint32_t) override {}
  void UpdateKeys(const uint8_t*, const uint8_t*, uint32_t) override {}
  void CheckForDelete(const uint8_t*, uint32_t) override {}
  void DeleteKeys(const uint8_t*, uint32_t) override {}
  std::optional<std::vector<uint32_t>> AddressesInOrder() override { return std::nullopt; }
  void RecreateEmpty() override;
  void StoreRoots() override {}
  std::optional<std::vector<uint32_t>> FindByFields(std::string_view,
                                                    const std::vector<TLookupValue>&) override {
    return std::nullopt;
  }

 private:
  TTableIndexContext context_;
};

// A factory of TNoTableIndexes.
TTableIndexesFactory NoTableIndexes();

// Allocates an empty leaf node from the index interface; returns its address.
uint32_t AllocateEmptyIndexRoot(TBaseIOInterface& nodes);
// Gives every index of the definition an empty tree in its header slot (root, 1 level).
void CreateEmptyIndexes(const TTableIndexContext& context);

}  // namespace zuz
