// Helpers shared by the index tests: a record layout with images to build keys from, the key
// fields of an index over it, and an index tree on a database file in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/index/zuzBTree.h"
#include "db/index/zuzBTreeCheck.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzGlobalHdr.h"
#include "db/storage/zuzIOInterface.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {

struct TTestField {
  TFieldType type;
  int declaredSize = 0;  // strings: the declared length
};

// Record layout: status @0, owner check @2, sequence number @6, version @10, one null flag per
// field @14, then the fields (a string: u16 length marker, then FieldSize bytes).
struct TTestLayout {
  std::vector<TTestField> fields;
  std::vector<int> dataOffset, nullOffset, markerOffset, fieldSize;
  int recordSize = 0;

  explicit TTestLayout(std::vector<TTestField> f) : fields(std::move(f)) {
    int pos = 14 + static_cast<int>(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
      const TTestField& t = fields[i];
      nullOffset.push_back(14 + static_cast<int>(i));
      if (t.type == TFieldType::ftString) {
        fieldSize.push_back(t.declaredSize + 1);
        markerOffset.push_back(pos);
        dataOffset.push_back(pos + 2);
        pos += 2 + t.declaredSize + 1;
      } else {
        fieldSize.push_back(0);
        markerOffset.push_back(0);
        dataOffset.push_back(pos);
        pos += StoredFieldWidth(t.type, 0);
      }
    }
    recordSize = pos;
  }
};

// One index over the layout: its key fields (with the hidden sequence field unless unique),
// KeyDataOffset and MaximumKeySize.
struct TTestIndex {
  TKeyFields keyFields;
  int keyDataOffset = 0;
  int maximumKeySize = 0;
  bool unique = false;

  // desc / ci: one flag per listed field (missing: false).
  TTestIndex(const TTestLayout& layout, const std::vector<int>& fieldNos, bool isUnique,
             std::vector<bool> desc = {}, std::vector<bool> ci = {}, bool descendingIndex = false)
      : unique(isUnique) {
    for (size_t k = 0; k < fieldNos.size(); ++k) {
      const int f = fieldNos[k];
      TKeyFieldItem item;
      item.FieldName = "F" + std::to_string(f);
      item.DataType = layout.fields[static_cast<size_t>(f)].type;
      item.FieldSize = layout.fieldSize[static_cast<size_t>(f)];
      item.Descending = k < desc.size() && desc[k];
      item.CaseInsensitive = k < ci.size() && ci[k];
      item.IsVariable = item.DataType == TFieldType::ftString;
      item.RecBufOffset = layout.dataOffset[static_cast<size_t>(f)];
      item.NullFlagOffset = layout.nullOffset[static_cast<size_t>(f)];
      item.SizeMarkerOffset = layout.markerOffset[static_cast<size_t>(f)];
      item.PhysicalFieldNo = f;
      item.IndexName = "ix";
      item.KeyIndex = static_cast<int>(k);
      keyFields.push_back(item);
    }
    if (!unique) {
      TKeyFieldItem seq;
      seq.DataType = TFieldType::ftInteger;
      seq.FieldSize = 4;
      seq.RecBufOffset = 6;
      seq.NullFlagOffset = 0;
      seq.PhysicalFieldNo = -1;
      seq.IndexName = "ix";
      seq.Hidden = true;
      seq.Descending = descendingIndex;
      seq.KeyIndex = static_cast<int>(keyFields.size());
      keyFields.push_back(seq);
    }
    keyDataOffset = static_cast<int>(keyFields.size()) / 8 + 1;
    maximumKeySize = 10 + keyDataOffset;
    for (const TKeyFieldItem& k : keyFields) {
      maximumKeySize += KeyCoreSize(k.DataType);
      if (k.DataType == TFieldType::ftString) maximumKeySize += k.FieldSize;
    }
  }
};

// A record image of the layout, live, with a sequence number; every field NULL until set.
struct TTestRecord {
  const TTestLayout* layout;
  std::vector<uint8_t> bytes;

  TTestRecord(const TTestLayout& l, uint32_t sequence)
      : layout(&l), bytes(static_cast<size_t>(l.recordSize), 0) {
    bytes[0] = 1;
    PutU32(bytes.data() + 6, sequence);
  }
  uint8_t* At(int f) { return bytes.data() + layout->dataOffset[static_cast<size_t>(f)]; }
  void Present(int f) {
    bytes[static_cast<size_t>(layout->nullOffset[static_cast<size_t>(f)])] = 1;
  }
  TTestRecord& Int(int f, int32_t v) {
    Present(f);
    const TFieldType t = layout->fields[static_cast<size_t>(f)].type;
    if (t == TFieldType::ftSmallint || t == TFieldType::ftWord) {
      PutU16(At(f), static_cast<uint16_t>(v));
    } else if (t == TFieldType::ftBoolean) {
      *At(f) = static_cast<uint8_t>(v);
    } else {
      PutU32(At(f), static_cast<uint32_t>(v));
    }
    return *this;
  }
  TTestRecord& Real(int f, double v) {
    Present(f);
    PutF64(At(f), v);
    return *this;
  }
  TTestRecord& Str(int f, const std::string& s) {
    Present(f);
    PutU16(bytes.data() + layout->markerOffset[static_cast<size_t>(f)],
           static_cast<uint16_t>(s.size()));
    std::memcpy(At(f), s.data(), s.size());
    return *this;
  }
  std::span<const uint8_t> Image() const { return bytes; }
};

// An index tree on a new database file in memory.
struct TTestTree {
  TMemDb db;
  std::unique_ptr<TDiskIOInterface> io;
  uint32_t root = 0;
  uint16_t depth = 0;
  std::unique_ptr<TBTree> tree;
  bool unique;

  TTestTree(const TTestIndex& index, TSortOrder order = TSortOrder::soASCII,
            uint32_t ioFlags = ioEncNone)
      : unique(index.unique) {
    io = std::make_unique<TDiskIOInterface>(db.disk.get(), 4096, 3, usIndex, ioFlags);
    io->SetGlobalFirstEmpty(ghIndexFirstEmpty);
    io->Open();
    tree = std::make_unique<TBTree>(io.get(), root, depth, index.keyFields, index.keyDataOffset,
                                    index.maximumKeySize, SortOrderFunction(order));
    tree->Open();
    tree->CreateEmpty();
  }

  // Inserts the record's key with the address; false when a key violation (unique index).
  bool Insert(const TTestRecord& r, uint32_t address) {
    tree->SetKeyFromRecord(r.Image());
    if (unique && tree->SearchKey(skEqual) == 0) return false;
    tree->SetKeyAddress(address);
    tree->InsertKey();
    return true;
  }
  // Deletes the record's key (found by its full key and address); false when it is missing.
  bool Delete(const TTestRecord& r, uint32_t address) {
    tree->SetKeyFromRecord(r.Image());
    if (tree->SearchKey(skEqual) != 0 || tree->GetRecordAddress() != address) return false;
    tree->DeleteCurrentKey();
    return true;
  }
  // The record addresses in key order, walked forward or backward.
  std::vector<uint32_t> Walk(bool forward) {
    std::vector<uint32_t> out;
    if (tree->SearchByRecNo(forward ? 1 : INT64_MAX) == 0) return out;
    do {
      out.push_back(tree->GetRecordAddress());
    } while (forward ? tree->NextKey() : tree->PriorKey());
    if (!forward) std::reverse(out.begin(), out.end());
    return out;
  }
  // The checker's problems, and a line when the interface holds nodes the tree does not reach.
  std::string Problems() {
    TBTreeReport report = CheckBTree(*tree, true);
    std::string text;
    for (const std::string& p : report.Problems) text += p + "\n";
    size_t nodes = 0;
    for (const TBTreeLevelStats& level : report.Levels) nodes += static_cast<size_t>(level.Nodes);
    if (report.Ok() && io->ListBlocks().size() != nodes) {
      text += std::to_string(io->ListBlocks().size()) + " node pages for " + std::to_string(nodes) +
              " nodes\n";
    }
    return text;
  }
};

}  // namespace zuz::test
