#include "db/index/zuzIndexCheck.h"

#include <cstring>
#include <map>

#include "db/index/zuzBTreeCheck.h"
#include "db/index/zuzIndexManager.h"
#include "db/record/zuzDataUnit.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"

namespace zuz {

std::vector<std::string> CheckTableIndexes(TOpenTable& table, int maxProblems) {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& text) {
    if (static_cast<int>(problems.size()) < maxProblems) problems.push_back(text);
  };
  try {
    TOpenTable::TLockScope lock(table, ltRead);
    TIndexManager& manager = IndexManagerOf(table);
    // The live records and their images.
    std::map<uint32_t, std::vector<uint8_t>> records;
    for (uint32_t address : table.BlockOrderAddresses()) {
      std::vector<uint8_t> image;
      if (table.ReadRecordImage(address, image)) records.emplace(address, std::move(image));
    }
    const size_t span = static_cast<size_t>(table.Def().RecordSize);
    for (int i = 0; i < manager.Count(); ++i) {
      TIndexItem& item = manager.Item(i);
      const std::string name = "index " + std::to_string(i) + " (" + item.IndexName + "): ";
      try {
        TBTree& tree = item.Tree();
        const TBTreeReport report = CheckBTree(tree, item.RefusesDuplicates(), maxProblems);
        for (const auto& p : report.Problems) problem(name + p);
        if (!report.Ok()) continue;
        const auto m = static_cast<size_t>(item.MaximumKeySize);
        // The keys the index holds, by record address.
        std::map<uint32_t, std::vector<uint8_t>> held;
        if (tree.KeyCount() > 0) {
          tree.SearchByRecNo(1);
          do {
            const uint32_t address = tree.GetRecordAddress();
            const uint8_t* key = tree.GetCurrentKeyBuf();
            if (!held.emplace(address, std::vector<uint8_t>(key + keBitmap, key + m)).second) {
              problem(name + "two keys for the record at " + std::to_string(address));
            }
          } while (tree.NextKey());
        }
        std::vector<uint8_t> key(m);
        for (const auto& [address, image] : records) {
          tree.BuildKey({image.data(), span}, key.data());
          auto it = held.find(address);
          if (it == held.end()) {
            problem(name + "no key for the record at " + std::to_string(address) + " " +
                    tree.Format().Describe(key.data()));
            continue;
          }
          if (std::memcmp(it->second.data(), key.data() + keBitmap, m - keBitmap) != 0) {
            problem(name + "the key of the record at " + std::to_string(address) +
                    " is not the record's " + tree.Format().Describe(key.data()));
          }
          held.erase(it);
        }
        for (const auto& [address, bytes] : held) {
          problem(name + "a key for " + std::to_string(address) + ", which holds no live record");
        }
      } catch (const EZuzDatabaseError& e) {
        problem(name + e.what());
      }
    }
  } catch (const EZuzDatabaseError& e) {
    problem(e.what());
  }
  return problems;
}

}  // namespace zuz
