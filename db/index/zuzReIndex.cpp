#include "db/index/zuzReIndex.h"

#include <cmath>
#include <vector>

#include "db/index/zuzIndexManager.h"
#include "db/record/zuzDataUnit.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"

namespace zuz {

TReIndexResult ReIndexTable(TOpenTable& table, bool skipDuplicates,
                            const TUpdateProgressProc& progress) {
  const char* caller = "TZuzDataSet.ReIndex";
  TOpenTable::TLockScope lock(table, ltWrite);
  TIndexManager& manager = IndexManagerOf(table);
  const std::vector<uint32_t> blocks = table.BlockOrderAddresses();
  TReIndexResult result;
  const size_t span = static_cast<size_t>(table.Def().RecordSize);
  try {
    manager.Recreate();
    std::vector<uint8_t> image;
    for (std::size_t done = 0; done < blocks.size(); ++done) {
      const uint32_t address = blocks[done];
      if (table.ReadRecordImage(address, image)) {
        ++result.Records;
        TIndexItem* holder = nullptr;
        for (int i = 0; i < manager.Count() && !holder; ++i) {
          TBTree& tree = manager.Item(i).Tree();
          tree.SetKeyFromRecord({image.data(), span});
          if (tree.SearchKey(skEqual) == 0) holder = &manager.Item(i);
        }
        if (holder && !skipDuplicates) {
          ZuzDatabaseError(ZUZ_ERR_KEY_VIOLATION, caller, "Index " + holder->IndexName,
                           "TIndexManager");
        }
        if (holder) {
          ++result.LeftOut;
        } else {
          for (int i = 0; i < manager.Count(); ++i) {
            TIndexItem& item = manager.Item(i);
            try {
              item.Tree().SetKeyFromRecord({image.data(), span});
              item.Tree().SetKeyAddress(address);
              item.Tree().InsertKey();
            } catch (const EZuzDatabaseError&) {
              ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller,
                               "Failed to add key to Index " + item.IndexName, "TIndexManager");
            }
          }
        }
      }
      if (progress) {
        bool cancel = false;
        progress(static_cast<int>(std::lround(100.0 * static_cast<double>(done + 1) /
                                              static_cast<double>(blocks.size()))),
                 cancel);
        if (cancel) {
          result.Aborted = true;
          break;
        }
      }
    }
  } catch (...) {
    try {
      table.FinishWrite();
    } catch (...) {
    }
    throw;
  }
  table.FinishWrite();
  return result;
}

}  // namespace zuz
