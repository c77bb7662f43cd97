#include "db/zuzTableIndexes.h"

#include <vector>

#include "db/zuzCoding.h"
#include "db/zuzIOInterface.h"
#include "db/zuzTableDef.h"
#include "db/zuzTableHeader.h"

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

void TNoTableIndexes::RecreateEmpty() {
  CreateEmptyIndexes(context_);
}

}  // namespace zuz
