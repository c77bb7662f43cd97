#include "db/index/zuzIntegrityCheck.h"

#include <algorithm>
#include <map>
#include <set>

#include "db/index/zuzIndexCheck.h"
#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMapPage.h"

namespace zuz {

namespace {

class TChecker {
 public:
  TChecker(TTableMgr& tables, int maxProblems)
      : tables_(tables), disk_(tables.Disk()), maxProblems_(maxProblems) {}

  std::vector<std::string> Run() {
    Guarded("the database header", [&] { disk_.ReadDatabaseHeader(); });
    if (tables_.DatabaseHeader().securityLevel != 0) {
      Guarded("the security header", [&] { disk_.ReadSecurityHeader(); });
    }
    bool headerLocked = false;
    Guarded("the global header", [&] {
      disk_.LockHeaderRead();
      headerLocked = true;
    });
    if (!headerLocked) return problems_;
    CheckMap();
    CheckTableHeaderMaps();
    CheckTables();
    try {
      disk_.UnlockHeader();
    } catch (const EZuzDatabaseError& e) {
      Problem("the global header: " + e.CustomMessage());
    }
    return problems_;
  }

 private:
  void Problem(const std::string& text) {
    if (static_cast<int>(problems_.size()) < maxProblems_) problems_.push_back(text);
  }
  template <typename F>
  bool Guarded(const std::string& what, const F& f) {
    try {
      f();
      return true;
    } catch (const EZuzDatabaseError& e) {
      Problem(what + ": " + e.CustomMessage());
      return false;
    }
  }

  // Every map page and entry; collects the pages of each tag.
  void CheckMap() {
    const int64_t pageSize = disk_.PageSize;
    const int64_t end = disk_.LogicalEndOfFile();
    if (end % pageSize != 0) {
      Problem("the file's size " + std::to_string(end) + " is no whole number of pages");
    }
    const int64_t pages = end / pageSize;
    TMapPageMgr& map = disk_.MapMgr();
    const uint32_t count = map.MapPageCount();
    if (int64_t{count} * kMapEntriesPerPage < pages) {
      Problem("the map describes " + std::to_string(int64_t{count} * kMapEntriesPerPage) +
              " pages of " + std::to_string(pages));
    }
    std::vector<uint8_t> page(static_cast<size_t>(pageSize));
    for (uint32_t k = 0; k < count; ++k) {
      TMapPage mapPage;
      const bool read = Guarded("map page " + std::to_string(k), [&] {
        mapPage = map.ReadMapPage(map.SearchMapsForMapPage(k), k);
        TMapPageMgr::FreeChain(mapPage, "TIntegrityCheck.Map");
      });
      if (!read) continue;
      for (int i = 0; i < kMapEntriesPerPage; ++i) {
        const int64_t p = int64_t{k} * kMapEntriesPerPage + i;
        const uint16_t entry = mapPage.Entry(i);
        const int64_t address = p * pageSize;
        if (p >= pages) {
          if (entry != 0) Problem("page " + std::to_string(p) + " lies beyond the file's end");
          continue;
        }
        if (entry == 0) {
          Problem("page " + std::to_string(p) + " was never allocated");
        } else if (entry & kMapFreeBit) {
          Guarded("free page " + std::to_string(p), [&] {
            disk_.ReadData(address, pageSize, page.data(), 0, 0);
            if (std::any_of(page.begin(), page.end(), [](uint8_t b) { return b != 0; })) {
              Problem("free page " + std::to_string(p) + " is not empty");
            }
          });
        } else {
          tagged_[entry].insert(address);
        }
      }
    }
    for (const auto& [tag, addresses] : tagged_) {
      const uint32_t table = tag / 16, usage = tag % 16;
      const bool known = (table == 0 && (usage == usSystem || usage == usMapPage)) ||
                         (table != 0 && (usage == usIndex || usage == usRecord || usage == usBlob));
      if (!known) {
        Problem(std::to_string(addresses.size()) + " page(s) carry the unknown tag " +
                std::to_string(tag));
      }
    }
  }

  void CheckTableHeaderMaps() {
    for (const bool internal : {false, true}) {
      Guarded(std::string("the ") + (internal ? "system" : "user") + " table-header map", [&] {
        for (const auto& [id, address] : tables_.HeaderMgr(internal).ReadMap()) {
          headerIds_.insert(id);
          (void)address;
        }
      });
    }
    for (const auto& [tag, addresses] : tagged_) {
      const uint32_t table = tag / 16;
      if (table != 0 && !headerIds_.count(table)) {
        Problem(std::to_string(addresses.size()) + " page(s) of table id " + std::to_string(table) +
                " of no table header");
      }
    }
  }

  void CheckTable(TOpenTable& table, const std::string& name) {
    const auto id = static_cast<uint32_t>(table.TableId());
    seenIds_.insert(id);
    if (!headerIds_.count(id)) Problem("table " + name + " has no table header in a map");
    for (const auto& p : table.CheckStorage()) Problem("table " + name + ": " + p);
    for (const auto& p : CheckTableIndexes(table)) Problem("table " + name + ": " + p);
  }

  void CheckTables() {
    for (const bool internal : {false, true}) {
      Guarded(std::string("the ") + (internal ? "system" : "user") + " catalogue", [&] {
        TOpenTable& catalogue = tables_.Catalogue(internal);
        CheckTable(catalogue, catalogue.Def().TableName);
      });
      std::vector<std::string> names;
      Guarded("the catalogue's names", [&] { names = tables_.TableNames(internal); });
      for (const std::string& name : names) {
        Guarded("table " + name, [&] {
          auto table = tables_.OpenTable(name);
          CheckTable(*table, name);
        });
      }
    }
    for (uint32_t id : headerIds_) {
      if (!seenIds_.count(id)) {
        Problem("table id " + std::to_string(id) + " has a table header but no catalogue row");
      }
    }
  }

  TTableMgr& tables_;
  TDiskMgr& disk_;
  int maxProblems_;
  std::vector<std::string> problems_;
  std::map<uint16_t, std::set<int64_t>> tagged_;
  std::set<uint32_t> headerIds_;
  std::set<uint32_t> seenIds_;
};

}  // namespace

std::vector<std::string> CheckDatabaseIntegrity(TTableMgr& tables, int maxProblems) {
  return TChecker(tables, maxProblems).Run();
}

}  // namespace zuz
