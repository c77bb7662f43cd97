#include "db/storage/zuzTableHeaderMgr.h"

#include <algorithm>
#include <set>
#include <string>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {
constexpr const char* kObject = "TTableHeaderMgr";
}

TTableHeaderMgr::TTableHeaderMgr(TDiskMgr& disk, bool systemTables)
    : disk_(disk),
      baseAddress_(systemTables ? kSystemTableMapAddress : kUserTableMapAddress),
      baseId_(systemTables ? kSystemBaseId : kUserBaseId),
      headers_(&disk, TTableHeader::kSize, 0, usSystem, 0) {
  headers_.SetGlobalFirstEmpty(systemTables ? ghSystemTableHeaderFirstEmpty
                                            : ghUserTableHeaderFirstEmpty);
}

TTableHeaderMgr::~TTableHeaderMgr() = default;

void TTableHeaderMgr::Open() {
  if (baseAddress_ == 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TTableHeaderMgr.Open",
                     "Base address of table header mapper has not been set", kObject);
  }
  headers_.Open();
  open_ = true;
}

void TTableHeaderMgr::Close() {
  // Dirty headers of tables still open are written as their last close would.
  for (auto& [id, entry] : openTables_) {
    if (entry.header->Dirty()) entry.header->WriteHeader();
  }
  openTables_.clear();
  headers_.Close();
  open_ = false;
}

std::vector<std::pair<uint32_t, uint32_t>> TTableHeaderMgr::ReadMap() {
  std::vector<uint8_t> bytes(kMapBytes);
  disk_.ReadData(baseAddress_, kMapBytes, bytes.data(), 0, 0);
  std::vector<std::pair<uint32_t, uint32_t>> pairs;
  std::set<uint32_t> ids;
  bool ended = false;
  auto damaged = [&](int i) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TTableHeaderMgr.ReadMap",
                     "The table header map at " + std::to_string(baseAddress_) +
                         " is damaged at pair " + std::to_string(i),
                     kObject);
  };
  for (int i = 0; i < kMaxTables; ++i) {
    uint32_t id = GetU32(bytes.data() + 8 * i);
    uint32_t address = GetU32(bytes.data() + 8 * i + 4);
    if (id == 0) {
      if (address != 0) damaged(i);
      ended = true;
      continue;
    }
    if (ended || id < baseId_ || id >= baseId_ + kMaxTables || !ids.insert(id).second ||
        address % TTableHeader::kSize != 0 || address < kInitialPages * kMapPageSize ||
        address + TTableHeader::kSize > disk_.LogicalEndOfFile()) {
      damaged(i);
    }
    pairs.emplace_back(id, address);
  }
  return pairs;
}

void TTableHeaderMgr::WriteMap(const std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
  std::vector<uint8_t> bytes(kMapBytes, 0);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    PutU32(bytes.data() + 8 * i, pairs[i].first);
    PutU32(bytes.data() + 8 * i + 4, pairs[i].second);
  }
  disk_.WriteData(baseAddress_, kMapBytes, bytes.data(), 0, 0);
}

uint32_t TTableHeaderMgr::AddTable(int indexCount) {
  if (!open_) ZuzInternalError("TTableHeaderMgr.AddTable", "The table header map is not open");
  THeaderWriteLock lock(disk_);
  auto pairs = ReadMap();
  if (static_cast<int>(pairs.size()) >= kMaxTables) {
    ZuzDatabaseError(ZUZ_ERR_TABLE_LIMIT, "TTableHeaderMgr.AddTable", {}, kObject);
  }
  std::set<uint32_t> used;
  for (const auto& p : pairs) used.insert(p.first);
  uint32_t id = baseId_;
  while (used.count(id)) ++id;  // fewer than 1000 ids are in use, so id < base + 1000
  auto bytes = TTableHeader::NewHeaderBytes(id, indexCount);
  int64_t address = headers_.AllocateNewAddress(TTableHeader::kSize, bytes.data());
  pairs.emplace_back(id, static_cast<uint32_t>(address));
  WriteMap(pairs);
  lock.Release();
  return id;
}

TTableHeader& TTableHeaderMgr::OpenTable(uint32_t tableId) {
  auto it = openTables_.find(tableId);
  if (it != openTables_.end()) {
    ++it->second.refs;
    return *it->second.header;
  }
  auto pairs = ReadMap();
  auto found =
      std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == tableId; });
  if (found == pairs.end()) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TTableHeaderMgr.OpenTable",
                     "The TableID could not be found: " + std::to_string(tableId), kObject);
  }
  auto header = std::make_unique<TTableHeader>(disk_, tableId, found->second);
  header->ReadHeader();
  TOpenHeader& entry = openTables_[tableId];
  entry.header = std::move(header);
  entry.refs = 1;
  return *entry.header;
}

void TTableHeaderMgr::CloseTable(uint32_t tableId) {
  auto it = openTables_.find(tableId);
  if (it == openTables_.end()) return;
  if (--it->second.refs > 0) return;
  std::unique_ptr<TTableHeader> header = std::move(it->second.header);
  openTables_.erase(it);
  if (header->Dirty() && !header->Outdated()) header->WriteHeader();
}

void TTableHeaderMgr::DeleteTable(uint32_t tableId) {
  if (!open_) ZuzInternalError("TTableHeaderMgr.DeleteTable", "The table header map is not open");
  THeaderWriteLock lock(disk_);
  auto pairs = ReadMap();
  auto found =
      std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == tableId; });
  if (found == pairs.end()) {
    ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, "TTableHeaderMgr.DeleteTable", "Delete table", kObject);
  }
  uint32_t address = found->second;
  pairs.erase(found);
  openTables_.erase(tableId);
  WriteMap(pairs);
  headers_.ReleaseBlock(address, TTableHeader::kSize);
  lock.Release();
}

}  // namespace zuz
