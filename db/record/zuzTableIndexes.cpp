#include "db/record/zuzTableIndexes.h"

#include <vector>

#include "db/record/zuzTableDef.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

uint32_t AllocateEmptyIndexRoot(TBaseIOInterface& nodes) {
  std::vector<uint8_t> node(kIndexPageSize, 0);
  PutU32(node.data(), 1);
  return static_cast<uint32_t>(nodes.AllocateNewAddress(kIndexPageSize, node.data()));
}

void CreateEmptyIndexes(const TTableIndexContext& context) {
  for (const auto& index : context.def->InternalIndexDefs) {
    context.header->SetIndexSlot(index.IndexSequence, AllocateEmptyIndexRoot(*context.nodes), 1);
  }
}

TTableIndexesFactory NoTableIndexes() {
  return [](const TTableIndexContext& context) -> std::unique_ptr<TTableIndexes> {
    return std::make_unique<TNoTableIndexes>(context);
  };
}

void TNoTableIndexes::RecreateEmpty() {
  CreateEmptyIndexes(context_);
}

}  // namespace zuz
