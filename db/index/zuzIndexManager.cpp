// The indexes of an open table (zuzIndexManager.h).
#include "db/index/zuzIndexManager.h"

#include <algorithm>
#include <cstring>

#include "db/record/zuzDataUnit.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TIndexManager";
[[noreturn]] void KeyViolation(const TIndexItem& item, const char* caller) {
  ZuzDatabaseError(ZUZ_ERR_KEY_VIOLATION, caller, "Index " + item.IndexName, kObject);
}

// Raises 8581 with the message when f fails with an engine error; the original error is in the
// diagnostic log.
template <typename F>
void OrFail(const char* caller, const std::string& message, F&& f) {
  try {
    f();
  } catch (const EZuzDatabaseError&) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, message, kObject);
  }
}

std::string IndexAndNumber(const TIndexItem& item) {
  return item.IndexName + ". Index " + std::to_string(item.IndexSequence);
}

TKeyValue ToKeyValue(const TLookupValue& v) {
  return std::visit([](const auto& x) -> TKeyValue { return x; }, v);
}

}  // namespace

// ---- TIndexItem ---------------------------------------------------------------------------

void TIndexItem::Assign(const TInternalIndexDef& def) {
  IndexSequence = def.IndexSequence;
  IndexName = def.IndexName;
  Unique = def.Unique;
  Primary = def.Primary;
  Hidden = def.Hidden;
  Maintained = def.Maintained;
  Memory = def.Memory;
  MaximumKeySize = def.MaximumKeySize;
  KeyDataOffset = def.KeyDataOffset;
  IndexPageSize = def.IndexPageSize;
  KeyFields.clear();
  tree_.reset();
}

void TIndexItem::Open(TBaseIOInterface* io, TSortOrderFunc sortOrder) {
  if (!io)
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TIndexItem.Open", "IO Interface is unassigned", kObject);
  tree_ = std::make_unique<TBTree>(io, Root, Depth, KeyFields, KeyDataOffset, MaximumKeySize,
                                   sortOrder, static_cast<int>(IndexPageSize));
  try {
    tree_->Open();
  } catch (...) {
    tree_.reset();
    throw;
  }
}

TBTree& TIndexItem::Tree() {
  if (!tree_) ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TIndexItem.Tree", "Not initialized", kObject);
  return *tree_;
}

// ---- opening ------------------------------------------------------------------------------

void TIndexManager::Assign(const std::vector<TInternalIndexDef>& defs) {
  items_.clear();
  current_ = -1;
  for (const auto& def : defs) {
    items_.push_back(std::make_unique<TIndexItem>());
    items_.back()->Assign(def);
  }
}

void TIndexManager::AssignKeyFields(const TKeyFields& keyFields) {
  const char* caller = "TIndexManager.AssignKeyFields";
  for (auto& item : items_) item->KeyFields.clear();
  for (const TKeyFieldItem& k : keyFields) {
    TIndexItem* item = FindIndex(k.IndexName);
    if (!item) ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, caller, k.IndexName, kObject);
    if (k.DataType == TFieldType::ftString && k.SizeMarkerOffset == 0) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "KeyBuffers invalid", kObject);
    }
    item->KeyFields.push_back(k);
  }
  for (auto& item : items_) {
    if (item->KeyFields.empty()) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "KeyBuffers invalid", kObject);
    }
    std::stable_sort(item->KeyFields.begin(), item->KeyFields.end(),
                     [](const auto& a, const auto& b) { return a.KeyIndex < b.KeyIndex; });
  }
}

void TIndexManager::Open(TTableHeader* header, TBaseIOInterface* io) {
  if (!sortOrder_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TIndexManager.Open", "Sort function not assinged", kObject);
  }
  if (!header) IndexAssert("IndexManager table header = nil");
  header_ = header;
  io_ = io;
  visible_ = 0;
  for (auto& item : items_) {
    if (item->IndexSequence < 0 || item->IndexSequence >= TTableHeader::kMaxIndexes) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TIndexManager.Open",
                       "Invalid index slot " + std::to_string(item->IndexSequence), kObject);
    }
    item->Root = header_->IndexRoot(item->IndexSequence);
    item->Depth = header_->IndexLevels(item->IndexSequence);
    item->Open(io, sortOrder_);
    if (!item->Hidden) ++visible_;
  }
}

TTableMgrServices IndexedTableServices() {
  return TTableMgrServices{MakeIndexManager};
}

std::unique_ptr<TTableIndexes> MakeIndexManager(const TTableIndexContext& context) {
  auto manager = std::make_unique<TIndexManager>();
  manager->Assign(context.def->InternalIndexDefs);
  manager->AssignKeyFields(context.def->KeyFields);
  manager->SetSortOrderFunction(SortOrderFunction(context.def->SortOrder));
  manager->recordSize_ = context.def->RecordSize;
  manager->checkRecord_ = context.checkRecord;
  manager->Open(context.header, context.nodes);
  manager->ChooseCurrentIndex("");
  return manager;
}

TIndexManager& IndexManagerOf(TOpenTable& table) {
  auto* manager = dynamic_cast<TIndexManager*>(&table.Indexes());
  if (!manager) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TIndexManager.Of",
                     "The table " + table.Def().TableName + " keeps no indexes", kObject);
  }
  return *manager;
}

// ---- finding indexes ----------------------------------------------------------------------

TIndexItem* TIndexManager::FindIndex(std::string_view name) {
  for (auto& item : items_)
    if (SameName(item->IndexName, name)) return item.get();
  return nullptr;
}

void TIndexManager::ChooseCurrentIndex(std::string_view datasetIndexName) {
  current_ = -1;
  if (items_.size() == 1 && items_[0]->Hidden) {
    current_ = 0;
    return;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (SameName(items_[i]->IndexName, datasetIndexName)) {
      current_ = static_cast<int>(i);
      return;
    }
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i]->Hidden) {
      current_ = static_cast<int>(i);
      return;
    }
  }
}

void TIndexManager::SelectCurrentIndex(std::string_view indexName) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (SameName(items_[i]->IndexName, indexName)) {
      current_ = static_cast<int>(i);
      return;
    }
  }
  ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, "TIndexManager.CurrentIndex", indexName, kObject);
}

TIndexItem& TIndexManager::CurrentIndex() {
  if (current_ < 0 || current_ >= Count()) {
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, "TIndexManager.CurrentIndex", {}, kObject);
  }
  return *items_[static_cast<size_t>(current_)];
}

TIndexItem* TIndexManager::IndexForFields(std::string_view fields, bool caseSensitiveOnly) {
  const std::vector<std::string> names = SplitNameList(fields);
  if (names.empty()) return nullptr;
  for (auto& item : items_) {
    const TKeyFields& keys = item->KeyFields;
    if (keys.size() < names.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < names.size() && match; ++i) {
      match = !keys[i].Hidden && SameName(keys[i].FieldName, names[i]) &&
              !(caseSensitiveOnly && keys[i].CaseInsensitive);
    }
    if (match) return item.get();
  }
  return nullptr;
}

TIndexItem& TIndexManager::FindIndexForFields(std::string_view fields, bool caseSensitiveOnly) {
  TIndexItem* item = IndexForFields(fields, caseSensitiveOnly);
  if (!item)
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, "TZuzDataSet.FindIndexForFields", fields, kObject);
  return *item;
}

void TIndexManager::CheckIndexesPresent() const {
  if (visible_ == 0)
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_INDEX, "TZuzDataSet.CheckIndexesPresent", {}, kObject);
}

// ---- roots --------------------------------------------------------------------------------

void TIndexManager::ReloadRoots(bool dropNodes) {
  if (!header_) IndexAssert("IndexManager table header = nil");
  for (auto& item : items_) {
    const uint32_t root = header_->IndexRoot(item->IndexSequence);
    const uint16_t depth = header_->IndexLevels(item->IndexSequence);
    const bool moved = root != item->Root || depth != item->Depth;
    item->Root = root;
    item->Depth = depth;
    if ((dropNodes || moved) && item->IsOpen()) item->Tree().InvalidateNodes();
  }
}

void TIndexManager::WriteRoots() {
  if (!header_) IndexAssert("IndexManager table header = nil");
  for (auto& item : items_) header_->SetIndexSlot(item->IndexSequence, item->Root, item->Depth);
}

void TIndexManager::FreeNodes() {
  if (!io_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TIndexManager.Recreate", "IO Interface is unassigned",
                     kObject);
  }
  io_->Empty();
  for (auto& item : items_) item->Tree().InvalidateNodes();
}

void TIndexManager::Recreate() {
  FreeNodes();
  for (auto& item : items_) item->Tree().CreateEmpty();
  WriteRoots();
}

// ---- searching ----------------------------------------------------------------------------

int64_t TIndexManager::ImageSize() const {
  return recordSize_ > 0 ? recordSize_ : 65536;
}

bool TIndexManager::PositionOnRecord(TIndexItem& item, const uint8_t* image, uint32_t address) {
  TBTree& tree = item.Tree();
  tree.SetKeyFromRecord({image, static_cast<size_t>(ImageSize())});
  if (tree.SearchKey(skEqual) != 0) return false;
  // Equal keys (damage aside, only in a unique index) are searched for this record's entry.
  for (;;) {
    if (tree.GetRecordAddress() == address) return true;
    if (!tree.NextKey() || tree.CompareToOptimizedKey(0, tree.GetCurrentKeyBuf()) != 0) {
      return false;
    }
  }
}

std::vector<uint32_t> TIndexManager::AddressesOf(TIndexItem& item) {
  TBTree& tree = item.Tree();
  std::vector<uint32_t> out;
  const int64_t count = tree.KeyCount();
  if (count == 0) return out;
  // The count comes from the nodes' subtree counts, which a damaged file may overstate: the
  // list grows with the keys actually found instead.
  out.push_back(tree.SearchByRecNo(1));
  while (tree.NextKey()) out.push_back(tree.GetRecordAddress());
  return out;
}

std::optional<std::vector<uint32_t>> TIndexManager::AddressesInOrder() {
  return AddressesOf(CurrentIndex());
}

std::optional<std::vector<uint32_t>> TIndexManager::FindByFields(
    std::string_view fields, const std::vector<TLookupValue>& values) {
  TIndexItem* item = IndexForFields(fields, true);
  if (!item) item = IndexForFields(fields, false);
  const int n = static_cast<int>(SplitNameList(fields).size());
  if (!item || n != static_cast<int>(values.size())) return std::nullopt;
  std::vector<TKeyValue> keyValues;
  for (const auto& v : values) keyValues.push_back(ToKeyValue(v));
  TBTree& tree = item->Tree();
  tree.ConstructKeyBufFromVariants(keyValues);
  const TSearchModifier modifier{true, n};
  std::vector<uint32_t> out;
  if (tree.SearchKey(skEqual, &modifier) != 0) return out;
  do {
    if (tree.CompareToOptimizedKey(n, tree.GetCurrentKeyBuf()) != 0) break;
    out.push_back(tree.GetRecordAddress());
  } while (tree.NextKey());
  return out;
}

bool TIndexManager::LoadHashList(std::string_view column, THashList& list) {
  auto keyFieldOf = [&](TIndexItem& item) {
    for (std::size_t k = 0; k < item.KeyFields.size(); ++k) {
      if (!item.KeyFields[k].Hidden && SameName(item.KeyFields[k].FieldName, column)) {
        return static_cast<int>(k);
      }
    }
    return -1;
  };
  TIndexItem* chosen = nullptr;
  int keyField = -1;
  if (current_ >= 0 && (keyField = keyFieldOf(CurrentIndex())) >= 0) chosen = &CurrentIndex();
  for (std::size_t i = 0; !chosen && i < items_.size(); ++i) {
    if ((keyField = keyFieldOf(*items_[i])) >= 0) chosen = items_[i].get();
  }
  if (!chosen) return false;
  TBTree& tree = chosen->Tree();
  if (tree.SearchByRecNo(1) != 0) tree.LoadHashList(keyField, list);
  return true;
}

// ---- the row operations -------------------------------------------------------------------

void TIndexManager::HeaderReloaded(bool changedElsewhere) {
  ReloadRoots(changedElsewhere);
}

bool TIndexManager::KeyChanged(TIndexItem& item, const uint8_t* oldImage, const uint8_t* newImage) {
  const auto m = static_cast<size_t>(item.MaximumKeySize);
  oldKey_.resize(m);
  newKey_.resize(m);
  const std::span<const uint8_t> a(oldImage, static_cast<size_t>(ImageSize()));
  const std::span<const uint8_t> b(newImage, static_cast<size_t>(ImageSize()));
  item.Tree().BuildKey(a, oldKey_.data());
  item.Tree().BuildKey(b, newKey_.data());
  return std::memcmp(oldKey_.data() + keBitmap, newKey_.data() + keBitmap, m - keBitmap) != 0;
}

void TIndexManager::CheckForAdd(const uint8_t* image) {
  for (auto& item : items_) {
    // A non-unique index's keys end with the new record's sequence number: never found.
    if (!item->RefusesDuplicates()) continue;
    TBTree& tree = item->Tree();
    tree.SetKeyFromRecord({image, static_cast<size_t>(ImageSize())});
    if (tree.SearchKey(skEqual) != 0) continue;
    if (checkRecord_) checkRecord_(tree.GetRecordAddress());
    KeyViolation(*item, "TZuzDataSet.AddRecord");
  }
}

void TIndexManager::InsertKeys(const uint8_t* image, uint32_t address) {
  for (auto& item : items_) {
    OrFail("TZuzDataSet.AddRecord", "Failed to add key to Index " + item->IndexName, [&] {
      TBTree& tree = item->Tree();
      tree.SetKeyFromRecord({image, static_cast<size_t>(ImageSize())});
      tree.SetKeyAddress(address);
      tree.InsertKey();
    });
  }
}

void TIndexManager::CheckForUpdate(const uint8_t* oldImage, const uint8_t* newImage,
                                   uint32_t address) {
  for (auto& item : items_) {
    if (!item->RefusesDuplicates() || !KeyChanged(*item, oldImage, newImage)) continue;
    TBTree& tree = item->Tree();
    tree.SetKeyFromRecord({newImage, static_cast<size_t>(ImageSize())});
    if (tree.SearchKey(skEqual) != 0) continue;
    do {
      const uint32_t other = tree.GetRecordAddress();
      if (other == address) continue;
      if (checkRecord_) checkRecord_(other);
      KeyViolation(*item, "TZuzDataSet.UpdateRecord");
    } while (tree.NextKey() && tree.CompareToOptimizedKey(0, tree.GetCurrentKeyBuf()) == 0);
  }
}

void TIndexManager::UpdateKeys(const uint8_t* oldImage, const uint8_t* newImage, uint32_t address) {
  const char* caller = "TZuzDataSet.UpdateRecord";
  for (auto& item : items_) {
    if (!KeyChanged(*item, oldImage, newImage)) continue;
    TBTree& tree = item->Tree();
    bool found = false;
    OrFail(caller, "Key not found in Index - " + IndexAndNumber(*item),
           [&] { found = PositionOnRecord(*item, oldImage, address); });
    if (!found) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller,
                       "Key not found in Index - " + IndexAndNumber(*item), kObject);
    }
    OrFail(caller, "Failed to delete key from Index " + IndexAndNumber(*item),
           [&] { tree.DeleteCurrentKey(); });
    OrFail(caller, "Unexpected key violation on update- Index " + IndexAndNumber(*item), [&] {
      tree.SetKeyFromRecord({newImage, static_cast<size_t>(ImageSize())});
      tree.SetKeyAddress(address);
      tree.InsertKey();
    });
  }
}

void TIndexManager::CheckForDelete(const uint8_t* image, uint32_t address) {
  for (auto& item : items_) {
    if (!PositionOnRecord(*item, image, address)) {
      ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, "TZuzDataSet.DeleteRecord",
                       "Index " + item->IndexName, kObject);
    }
  }
}

void TIndexManager::DeleteKeys(const uint8_t* image, uint32_t address) {
  for (auto& item : items_) {
    OrFail("TZuzDataSet.DeleteRecord", "Failed to delete key from Index " + item->IndexName, [&] {
      if (!PositionOnRecord(*item, image, address)) {
        ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzDataSet.DeleteRecord", "Key not found", kObject);
      }
      item->Tree().DeleteCurrentKey();
    });
  }
}

}  // namespace zuz
