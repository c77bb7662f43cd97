// Reads, from the raw file:
//   the map pages (tags of every page), the table-header maps and header blocks;
//   record blocks: status, owner check (table id x 16 + 9), sequence, version, null flags, fields;
//   blob chains: blocks of (u32 next, u32 count, data);
//   the catalogues $MSTRTBLUSER (1024) and $MSTRTBLSYSTEM (1025): Name, TableDef text.
// Pages of encrypted tables are decrypted as the engine does (XOR stepping by table id, Blowfish
// in 8-bit cipher feedback restarted at every page).
#include "tools/zuzdump/dumpTables.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>

#include "db/index/zuzBTree.h"
#include "db/index/zuzBTreeCheck.h"
#include "db/record/zuzObjectText.h"
#include "db/record/zuzTableDef.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzMapPage.h"

using namespace zuz;

namespace {

constexpr int64_t kPage = 4096;

class TRawDb {
 public:
  TRawDb(const std::vector<uint8_t>& file, const char* key) : f_(file) {
    std::string_view k = key && *key ? std::string_view(key) : DefaultBlowfishKey();
    blowfish_ =
        std::make_unique<TZuzBlowfish>(reinterpret_cast<const uint8_t*>(k.data()), k.size());
    LoadMap();
  }

  int problems = 0;
  void Problem(const std::string& text) {
    std::printf("  !! %s\n", text.c_str());
    ++problems;
  }

  bool Has(int64_t offset, int64_t n) const {
    return offset >= 0 && n >= 0 && offset + n <= static_cast<int64_t>(f_.size());
  }
  uint32_t SecurityLevel() const { return Has(246, 4) ? GetU32(f_.data() + 246) : 0; }
  uint32_t SortOrder() const { return Has(200, 4) ? GetU32(f_.data() + 200) : 0; }

  uint16_t TagOf(int64_t pageAddress) const {
    auto it = tags_.find(pageAddress);
    return it == tags_.end() ? 0 : it->second;
  }

  // n bytes at the address as the engine sees them (pages decrypted by the flags); false when
  // the range is not inside the file.
  bool Read(int64_t address, int64_t n, uint32_t ioFlags, uint32_t tableId, uint8_t* out) {
    if (!Has(address, n)) return false;
    if ((ioFlags & (ioXor | ioBlowfish)) == 0) {
      std::memcpy(out, f_.data() + address, static_cast<size_t>(n));
      return true;
    }
    int64_t done = 0;
    while (done < n) {
      const int64_t a = address + done, page = a - a % kPage;
      const int64_t count = std::min(n - done, page + kPage - a);
      if (!Has(page, kPage)) return false;
      std::vector<uint8_t> p(f_.begin() + page, f_.begin() + page + kPage);
      if (ioFlags & ioBlowfish) blowfish_->DecryptBuffer(p.data(), p.size());
      if (ioFlags & ioXor) {
        XorCryptBuffer(p.data(), p.size(), BuiltInXorKey().data(), kXorKeyLength, tableId);
      }
      std::memcpy(out + done, p.data() + (a - page), static_cast<size_t>(count));
      done += count;
    }
    return true;
  }

  // Every block of an interface (block size, tag), in map order, as the engine lists them.
  std::vector<int64_t> Blocks(uint16_t tag, int64_t blockSize) {
    std::vector<int64_t> pages;
    for (const auto& [address, t] : order_)
      if (t == tag) pages.push_back(address);
    const int64_t group = GetBestPageRequestSize(blockSize, kPage);
    const int64_t groupPages = group / kPage;
    std::vector<int64_t> blocks;
    for (std::size_t i = 0; i < pages.size();) {
      std::size_t n = 1;
      while (n < static_cast<size_t>(groupPages) && i + n < pages.size() &&
             pages[i + n] == pages[i] + static_cast<int64_t>(n) * kPage) {
        ++n;
      }
      if (n < static_cast<size_t>(groupPages)) {
        Problem("pages " + std::to_string(pages[i] / kPage) + "... of tag " + std::to_string(tag) +
                " do not form a group of " + std::to_string(groupPages) + " pages");
      } else {
        for (int64_t off = 0; off + blockSize <= group; off += blockSize)
          blocks.push_back(pages[i] + off);
      }
      i += n;
    }
    return blocks;
  }

  // The free blocks of a list starting at first (runs: next at 8, count at 12).
  std::set<int64_t> FreeList(uint32_t first, int64_t blockSize, uint32_t flags, uint32_t tableId) {
    std::set<int64_t> out;
    for (uint32_t run = first; run != 0;) {
      uint8_t head[16];
      if (!Read(run, 16, flags, tableId, head)) {
        Problem("the free list leads outside the file at " + std::to_string(run));
        break;
      }
      const uint32_t count = GetU32(head + 12);
      for (uint32_t i = 0; i < count && out.size() < 10000000; ++i) {
        if (!out.insert(run + int64_t{i} * blockSize).second) {
          Problem("the free list loops or overlaps at " + std::to_string(run));
          return out;
        }
      }
      run = GetU32(head + 8);
    }
    return out;
  }

  // The value of a blob chain; problem text in *problem when it is damaged.
  std::string Blob(uint32_t first, uint32_t length, int64_t blockSize, uint16_t tag, uint32_t flags,
                   uint32_t tableId, std::string* problem, int* blocks) {
    std::string out;
    *blocks = 0;
    if (first == 0 || length == 0) {
      if (first != length)
        *problem = "reference " + std::to_string(first) + "/" + std::to_string(length);
      return out;
    }
    const int64_t data = blockSize - 8;
    const int64_t expected = (length + data - 1) / data;
    std::vector<uint8_t> block(static_cast<size_t>(blockSize));
    uint32_t address = first;
    for (int64_t i = 0; i < expected; ++i) {
      if (TagOf(address - address % kPage) != tag ||
          !Read(address, blockSize, flags, tableId, block.data())) {
        *problem = "block " + std::to_string(address) + " is no blob block of this table";
        return out;
      }
      const uint32_t next = GetU32(block.data()), count = GetU32(block.data() + 4);
      const bool last = i + 1 == expected;
      if (count > data || (last ? next != 0 : next == 0)) {
        *problem = "block " + std::to_string(address) + " has count " + std::to_string(count) +
                   " and link " + std::to_string(next);
        return out;
      }
      out.append(reinterpret_cast<const char*>(block.data()) + 8, count);
      ++*blocks;
      address = next;
    }
    if (out.size() != length) *problem = "the chain holds " + std::to_string(out.size()) + " bytes";
    return out;
  }

  // The table ids of a table-header map with their header block addresses.
  std::map<uint32_t, uint32_t> HeaderMap(int64_t base) const {
    std::map<uint32_t, uint32_t> out;
    if (!Has(base, 8000)) return out;
    for (int i = 0; i < 1000; ++i) {
      const uint32_t id = GetU32(f_.data() + base + 8 * i);
      if (id != 0) out[id] = GetU32(f_.data() + base + 8 * i + 4);
    }
    return out;
  }
  const uint8_t* HeaderBlock(uint32_t address) const {
    return Has(address, 256) ? f_.data() + address : nullptr;
  }

 private:
  void LoadMap() {
    if (!Has(1024, 128)) return;
    int64_t address = GetU32(f_.data() + 1024 + 20);
    const uint32_t count = GetU32(f_.data() + 1024 + 24);
    std::set<int64_t> seen;
    for (uint32_t k = 0; k < count && address != 0 && Has(address, kPage); ++k) {
      if (!seen.insert(address).second) break;
      const uint8_t* page = f_.data() + address;
      for (int i = 0; i < kMapEntriesPerPage; ++i) {
        const uint16_t e = GetU16(page + 20 + 2 * i);
        if (e == 0 || (e & kMapFreeBit)) continue;
        const int64_t p = (int64_t{k} * kMapEntriesPerPage + i) * kPage;
        tags_[p] = e;
        order_.emplace_back(p, e);
      }
      address = GetU32(page + 4);
    }
  }

  const std::vector<uint8_t>& f_;
  std::unique_ptr<TZuzBlowfish> blowfish_;
  std::map<int64_t, uint16_t> tags_;
  std::vector<std::pair<int64_t, uint16_t>> order_;
};

struct TRecordInfo {
  int64_t address;
  std::vector<uint8_t> image;
};

struct TTableInfo {
  TTableDef def;
  std::vector<TRecordInfo> live;
  int64_t blocks = 0;
  int64_t free = 0;
  const uint8_t* header = nullptr;
};

// Reads a table's record blocks; flags blocks that are neither live nor on the free list.
TTableInfo LoadTable(TRawDb& db, const TTableDef& def, bool report) {
  TTableInfo info;
  info.def = def;
  const uint32_t id = static_cast<uint32_t>(def.TableID);
  const auto map = db.HeaderMap(id >= 1024 ? 4096 : 12288);
  auto it = map.find(id);
  if (it == map.end()) {
    if (report) db.Problem("table " + std::to_string(id) + " is not in its table-header map");
    return info;
  }
  info.header = db.HeaderBlock(it->second);
  const uint32_t flags = IoFlagsFor(def.EncryptionLevel);
  const uint32_t owner = RecordOwnerCheck(id);
  const auto blocks = db.Blocks(static_cast<uint16_t>(id * 16 + 9), def.RecordSize);
  std::set<int64_t> free;
  if (info.header) free = db.FreeList(GetU32(info.header + 12), def.RecordSize, flags, id);
  info.blocks = static_cast<int64_t>(blocks.size());
  for (int64_t address : blocks) {
    TRecordInfo r{address, std::vector<uint8_t>(static_cast<size_t>(def.RecordSize))};
    if (!db.Read(address, def.RecordSize, flags, id, r.image.data())) continue;
    const bool isFree = free.erase(address) > 0;
    if (r.image[0] == 1 && GetU32(r.image.data() + 2) == owner) {
      if (isFree && report)
        db.Problem("record at " + std::to_string(address) + " is on the free list");
      info.live.push_back(std::move(r));
    } else if (isFree) {
      ++info.free;
      if (report && (GetU64(r.image.data()) != 0)) {
        db.Problem("free block at " + std::to_string(address) + " is not empty (status " +
                   std::to_string(r.image[0]) + "): the engine refuses to reuse it");
      }
    } else if (report) {
      db.Problem("block at " + std::to_string(address) + " is neither a record (status " +
                 std::to_string(r.image[0]) + ", owner " +
                 std::to_string(GetU32(r.image.data() + 2)) + ") nor on the free list");
    }
  }
  if (!free.empty() && report) db.Problem("the record free list leads outside the table's blocks");
  return info;
}

// The catalogue rows: name -> definition text (problems reported).
std::vector<std::pair<std::string, TTableDef>> Catalogue(TRawDb& db, uint32_t id,
                                                         const char* name) {
  const bool encrypted = db.SecurityLevel() != 0;
  TTableDef master = TTableMgr::SetMasterTableDef(
      id, name, encrypted, db.SortOrder() == 1 ? TSortOrder::soASCII : TSortOrder::soANSI);
  TTableInfo cat = LoadTable(db, master, true);
  const auto& nameField = master.InternalFields[1];
  const auto& defField = master.InternalFields[2];
  std::vector<std::pair<std::string, TTableDef>> out;
  for (const auto& r : cat.live) {
    const uint8_t* img = r.image.data();
    const uint16_t n = GetU16(img + nameField.SizeMarkerOffset);
    if (n >= nameField.FieldSize) {
      db.Problem("catalogue row at " + std::to_string(r.address) + " has a damaged name length");
      continue;
    }
    std::string tableName(reinterpret_cast<const char*>(img + nameField.DataOffset), n);
    std::string problem;
    int blocks = 0;
    std::string text =
        db.Blob(GetU32(img + defField.DataOffset), GetU32(img + defField.DataOffset + 4),
                master.DefaultBlobSize, static_cast<uint16_t>(id * 16 + 10),
                IoFlagsFor(master.EncryptionLevel), id, &problem, &blocks);
    if (!problem.empty()) {
      db.Problem("the definition of " + tableName + ": blob chain damaged: " + problem);
      continue;
    }
    try {
      TTableDef def = TableDefFromText(text);
      ValidateStoredTableDef(def);
      if (def.TableName != tableName)
        db.Problem("row " + tableName + " holds the definition of " + def.TableName);
      out.emplace_back(tableName, std::move(def));
    } catch (const EZuzDatabaseError& e) {
      db.Problem("the definition of " + tableName + " can't be read: " + e.CustomMessage());
    }
  }
  return out;
}

void PrintTable(TRawDb& db, const TTableDef& def) {
  TTableInfo info = LoadTable(db, def, true);
  std::printf(
      "\n  %s: table %d, record size %d, %zu field%s, %zu index%s, %s, %s%s\n",
      QuoteObjectString(def.TableName).c_str(), def.TableID, def.RecordSize,
      def.InternalFields.size(), def.InternalFields.size() == 1 ? "" : "s",
      def.InternalIndexDefs.size(), def.InternalIndexDefs.size() == 1 ? "" : "es",
      EncryptionLevelName(def.EncryptionLevel).c_str(), SortOrderName(def.SortOrder).c_str(),
      def.UsesBlobs ? (", blob blocks " + std::to_string(def.DefaultBlobSize)).c_str() : "");
  std::printf("    created %s by %s, version %s\n", DayText(def.CreationDate).c_str(),
              QuoteObjectString(def.CreatedBy).c_str(), def.Version.c_str());
  for (const auto& f : def.InternalFields) {
    std::string type = FieldTypeName(f.DataType);
    if (f.DataType == TFieldType::ftString) type += " " + std::to_string(f.FieldSize - 1);
    if (f.DataType == TFieldType::ftBytes) type += " " + std::to_string(f.FieldSize);
    std::printf(
        "    field %-3d %-24s %-14s null flag %d, %sdata %d%s\n", f.FieldNo,
        QuoteObjectString(f.FieldName).c_str(), type.c_str(), f.NullFlagOffset,
        f.SizeMarkerOffset ? ("length " + std::to_string(f.SizeMarkerOffset) + ", ").c_str() : "",
        f.DataOffset, f.Required ? ", required" : "");
  }
  for (const auto& x : def.InternalIndexDefs) {
    std::string root;
    if (info.header && x.IndexSequence < 34) {
      root = ", root " + std::to_string(GetU32(info.header + 48 + 6 * x.IndexSequence)) +
             " levels " + std::to_string(GetU16(info.header + 52 + 6 * x.IndexSequence));
    }
    std::printf("    index %d %s%s%s%s: key size %d, key data offset %d%s\n", x.IndexSequence,
                QuoteObjectString(x.IndexName).c_str(), x.Primary ? " primary" : "",
                x.Unique ? " unique" : "", x.Hidden ? " hidden" : "", x.MaximumKeySize,
                x.KeyDataOffset, root.c_str());
    for (const auto& k : def.KeyFieldsOf(x.IndexName)) {
      std::printf("      key %d: %s %s at %d%s%s\n", k.KeyIndex,
                  k.Hidden ? "(sequence number)" : QuoteObjectString(k.FieldName).c_str(),
                  FieldTypeName(k.DataType).c_str(), k.RecBufOffset,
                  k.Descending ? ", descending" : "", k.CaseInsensitive ? ", without case" : "");
    }
  }
  if (info.header) {
    std::printf("    header: writes %u, last auto-increment %u, last sequence %u\n",
                GetU32(info.header + 4), GetU32(info.header + 16), GetU32(info.header + 20));
  }
  std::printf("    records: %zu live, %lld free, %lld blocks\n", info.live.size(),
              static_cast<long long>(info.free), static_cast<long long>(info.blocks));
}

void PrintRecords(TRawDb& db, const TTableDef& def) {
  TTableInfo info = LoadTable(db, def, true);
  const uint32_t id = static_cast<uint32_t>(def.TableID);
  std::printf("\nRecords of %s (table %u, record size %d): %zu\n",
              QuoteObjectString(def.TableName).c_str(), id, def.RecordSize, info.live.size());
  std::set<uint32_t> sequences;
  for (const auto& r : info.live) {
    const uint8_t* img = r.image.data();
    const uint32_t seq = GetU32(img + 6);
    std::printf("  @%lld seq %u version %u:", static_cast<long long>(r.address), seq,
                GetU32(img + 10));
    if (!sequences.insert(seq).second)
      db.Problem("sequence number " + std::to_string(seq) + " twice");
    std::string problems;
    for (const auto& f : def.InternalFields) {
      const uint8_t flag = img[f.NullFlagOffset];
      const uint8_t* p = img + f.DataOffset;
      std::string value;
      if (flag > 1)
        problems += " null flag of " + f.FieldName + " is " + std::to_string(flag) + ";";
      if (flag == 0 && !IsBlobFieldType(f.DataType)) {
        value = "NULL";
      } else {
        switch (f.DataType) {
          case TFieldType::ftString: {
            const uint16_t n = GetU16(img + f.SizeMarkerOffset);
            if (n >= f.FieldSize) {
              problems += " length of " + f.FieldName + " is " + std::to_string(n) + ";";
              value = "?";
            } else {
              value = QuoteObjectString(std::string(reinterpret_cast<const char*>(p), n));
            }
            break;
          }
          case TFieldType::ftSmallint:
            value = std::to_string(static_cast<int16_t>(GetU16(p)));
            break;
          case TFieldType::ftWord:
            value = std::to_string(GetU16(p));
            break;
          case TFieldType::ftInteger:
          case TFieldType::ftAutoInc:
            value = std::to_string(static_cast<int32_t>(GetU32(p)));
            break;
          case TFieldType::ftBoolean:
            value = *p == 0 ? "False" : *p == 1 ? "True" : "?" + std::to_string(*p);
            break;
          case TFieldType::ftDate:
          case TFieldType::ftDateTime: {
            char buf[80];
            std::snprintf(buf, sizeof buf, "%.10g (%s)", GetF64(p), DayText(GetF64(p)).c_str());
            value = buf;
            break;
          }
          case TFieldType::ftBytes:
            value = "x" + Hex(p, f.FieldSize);
            break;
          case TFieldType::ftBlob:
          case TFieldType::ftMemo:
          case TFieldType::ftGraphic:
          case TFieldType::ftFmtMemo: {
            const uint32_t first = GetU32(p), length = GetU32(p + 4);
            if ((length != 0) != (flag == 1))
              problems += " null flag of " + f.FieldName + " disagrees;";
            std::string problem;
            int blocks = 0;
            std::string data =
                db.Blob(first, length, def.DefaultBlobSize, static_cast<uint16_t>(id * 16 + 10),
                        IoFlagsFor(def.EncryptionLevel), id, &problem, &blocks);
            if (length == 0) {
              value = "NULL";
            } else {
              value = "<blob " + std::to_string(length) + " bytes in " + std::to_string(blocks) +
                      " block" + (blocks == 1 ? "" : "s") + " from " + std::to_string(first);
              if (f.DataType == TFieldType::ftMemo && problem.empty()) {
                value +=
                    ": " + QuoteObjectString(data.substr(0, 60)) + (data.size() > 60 ? "..." : "");
              }
              value += ">";
            }
            if (!problem.empty()) problems += " blob " + f.FieldName + ": " + problem + ";";
            break;
          }
          default: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", GetF64(p));
            value = buf;
          }
        }
      }
      std::printf(" %s=%s", f.FieldName.c_str(), value.c_str());
    }
    std::printf("\n");
    if (!problems.empty()) db.Problem(problems.substr(1, problems.size() - 2));
  }
}

// The index nodes of a table read from the raw file, for the tree and its checker: read only, and
// only pages the map tags as the table's index nodes.
class TRawNodeInterface : public TBaseIOInterface {
 public:
  TRawNodeInterface(TRawDb& db, uint32_t tableId, uint32_t ioFlags) : db_(db) {
    blockSize_ = kIndexPageSize;
    tableId_ = tableId;
    usage_ = 8;
    ioFlags_ = ioFlags;
    buf_.resize(kIndexPageSize);
  }
  void ReadBlock(int64_t address, int64_t size, void* buffer) override {
    if (size <= 0 || size > kIndexPageSize || address % kPage != 0 ||
        db_.TagOf(address) != OwnerTag() ||
        !db_.Read(address, kIndexPageSize, ioFlags_, tableId_, buf_.data())) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, "zuzdump",
                       "node " + std::to_string(address) + " is no index node of this table");
    }
    if (buffer != buf_.data()) std::memcpy(buffer, buf_.data(), static_cast<size_t>(size));
  }
  const uint8_t* ReadBlockByRef(int64_t address, int64_t size) override {
    ReadBlock(address, size, buf_.data());
    return buf_.data();
  }
  void ReadBlockHeader(int64_t address, int64_t n, void* buffer) override {
    ReadBlock(address, n, buffer);
  }
  // The inspector never changes the file.
  void Open() override {}
  void Close() override {}
  void Empty() override { ReadOnly(); }
  int64_t AllocateNewAddress(int64_t, const void*) override { ReadOnly(); }
  void ReleaseBlock(int64_t, int64_t) override { ReadOnly(); }
  void WriteBlock(int64_t, int64_t, const void*) override { ReadOnly(); }
  void WriteBlockHeader(int64_t, int64_t, const void*) override { ReadOnly(); }
  std::vector<int64_t> ListBlocks() override { ReadOnly(); }

 private:
  [[noreturn]] static void ReadOnly() {
    ZuzDatabaseError(ZUZ_ERR_INVALID_OPERATION, "zuzdump", "the inspector reads the file only");
  }
  TRawDb& db_;
  std::vector<uint8_t> buf_;
};

// Each index of the table (or the named one): definition, levels and fill, the checker's
// findings, the keys against the live records, and the first keys in order (at most limit).
void PrintIndexes(TRawDb& db, const TTableDef& def, const char* indexName, int64_t limit) {
  TTableInfo info = LoadTable(db, def, true);
  const uint32_t id = static_cast<uint32_t>(def.TableID);
  bool any = false;
  for (const auto& x : def.InternalIndexDefs) {
    if (indexName && !SameName(x.IndexName, indexName)) continue;
    any = true;
    const TKeyFields keys = def.KeyFieldsOf(x.IndexName);
    std::printf("\nIndex %d %s of %s (table %u):%s%s%s key size %d, key data offset %d\n",
                x.IndexSequence, QuoteObjectString(x.IndexName).c_str(),
                QuoteObjectString(def.TableName).c_str(), id, x.Primary ? " primary," : "",
                x.Unique ? " unique," : "", x.Hidden ? " hidden," : "", x.MaximumKeySize,
                x.KeyDataOffset);
    for (const auto& k : keys) {
      std::printf("  key %d: %s %s%s%s\n", k.KeyIndex,
                  k.Hidden ? "(sequence number)" : QuoteObjectString(k.FieldName).c_str(),
                  FieldTypeName(k.DataType).c_str(), k.Descending ? ", descending" : "",
                  k.CaseInsensitive ? ", without case" : "");
    }
    if (!info.header || x.IndexSequence >= 34) {
      db.Problem("index " + x.IndexName + " has no header slot");
      continue;
    }
    uint32_t root = GetU32(info.header + 48 + 6 * x.IndexSequence);
    uint16_t depth = GetU16(info.header + 52 + 6 * x.IndexSequence);
    std::printf("  root %u, %u level%s\n", root, depth, depth == 1 ? "" : "s");
    TRawNodeInterface nodes(db, id, IoFlagsFor(def.EncryptionLevel));
    try {
      TBTree tree(&nodes, root, depth, keys, x.KeyDataOffset, x.MaximumKeySize,
                  SortOrderFunction(def.SortOrder));
      tree.Open();
      const TBTreeReport report = CheckBTree(tree, x.Unique || x.Primary, 50);
      for (size_t level = 0; level < report.Levels.size(); ++level) {
        const TBTreeLevelStats& s = report.Levels[level];
        const double room = static_cast<double>(s.Nodes) * (kIndexPageSize - kNodeHeaderSize);
        std::printf("  level %zu: %d node%s, %lld entries, %.0f%% full, %d underfull\n", level + 1,
                    s.Nodes, s.Nodes == 1 ? "" : "s", static_cast<long long>(s.Entries),
                    room > 0 ? 100.0 * static_cast<double>(s.UsedBytes) / room : 0.0, s.Underfull);
      }
      for (const auto& p : report.Problems) db.Problem("index " + x.IndexName + ": " + p);
      if (!report.Ok()) continue;
      // The keys against the live records.
      const auto m = static_cast<size_t>(x.MaximumKeySize);
      std::map<uint32_t, std::vector<uint8_t>> expected;
      std::vector<uint8_t> key(m);
      for (const auto& r : info.live) {
        tree.BuildKey(r.image, key.data());
        expected[static_cast<uint32_t>(r.address)] = key;
      }
      const int64_t count = tree.KeyCount();
      std::printf("  keys: %lld for %zu live records\n", static_cast<long long>(count),
                  info.live.size());
      if (count == 0) continue;
      int64_t recNo = 1;
      tree.SearchByRecNo(1);
      do {
        const uint32_t address = tree.GetRecordAddress();
        const uint8_t* k = tree.GetCurrentKeyBuf();
        if (recNo <= limit) {
          std::printf("    %lld @%u %s\n", static_cast<long long>(recNo), address,
                      tree.Format().Describe(k).c_str());
        }
        auto it = expected.find(address);
        if (it == expected.end()) {
          db.Problem("index " + x.IndexName + ": key " + tree.Format().Describe(k) + " for " +
                     std::to_string(address) + ", which holds no live record");
        } else {
          if (std::memcmp(it->second.data() + keBitmap, k + keBitmap, m - keBitmap) != 0) {
            db.Problem("index " + x.IndexName + ": the key at " + std::to_string(address) +
                       " is not its record's " + tree.Format().Describe(it->second.data()));
          }
          expected.erase(it);
        }
        ++recNo;
      } while (tree.NextKey());
      if (count > limit) std::printf("    ... %lld more\n", static_cast<long long>(count - limit));
      for (const auto& [address, k] : expected) {
        db.Problem("index " + x.IndexName + ": no key for the record at " +
                   std::to_string(address) + " " + tree.Format().Describe(k.data()));
      }
    } catch (const EZuzDatabaseError& e) {
      db.Problem("index " + x.IndexName + ": " + e.CustomMessage());
    }
  }
  if (!any) {
    std::printf("\nTable %s has no index %s.\n", QuoteObjectString(def.TableName).c_str(),
                indexName ? QuoteObjectString(indexName).c_str() : "");
    ++db.problems;
  }
}

}  // namespace

int DumpTables(const std::vector<uint8_t>& file, const char* masterKey, bool listTables,
               const char* recordsOf, const char* indexesOf, const char* indexName,
               int64_t keyLimit) {
  TRawDb db(file, masterKey);
  if (db.SecurityLevel() != 0 && !masterKey) {
    std::printf(
        "\nThe database has a master key: give it with --key to read its encrypted tables.\n");
  }
  std::map<std::string, TTableDef> all;
  for (const auto& [id, name] :
       {std::pair{TTableMgr::kUserCatalogueId, TTableMgr::kUserCatalogue},
        std::pair{TTableMgr::kSystemCatalogueId, TTableMgr::kSystemCatalogue}}) {
    if (listTables) std::printf("\nTables of %s (table %u)\n", name, id);
    auto rows = Catalogue(db, id, name);
    if (listTables && rows.empty()) std::printf("  (none)\n");
    for (auto& [tableName, def] : rows) {
      if (listTables) PrintTable(db, def);
      if (!all.emplace(tableName, def).second)
        db.Problem("table " + tableName + " is catalogued twice");
    }
  }
  for (const char* name : {recordsOf, indexesOf}) {
    if (!name) continue;
    auto it = all.find(name);
    if (it == all.end()) {
      std::printf("\nNo table %s in the catalogues.\n", name);
      ++db.problems;
    } else if (name == recordsOf) {
      PrintRecords(db, it->second);
    } else {
      PrintIndexes(db, it->second, indexName, keyLimit);
    }
  }
  return db.problems;
}

std::string DayText(double day) {
  if (!std::isfinite(day) || day < -700000 || day > 3000000) return "(invalid date)";
  auto seconds = static_cast<std::time_t>(std::llround((day - 25569.0) * 86400.0));
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string Hex(const uint8_t* p, int n) {
  std::string s;
  char b[3];
  for (int i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}
