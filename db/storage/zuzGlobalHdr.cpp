#include "db/storage/zuzGlobalHdr.h"

#include <cstring>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {
void CheckOffset(int offset) {
  if (offset <= 0 || offset > TGlobalHdr::kSize - 4) {
    ZuzInternalError("TGlobalHdr.Item", "DB Header. Item offset is out of range");
  }
}
}  // namespace

uint32_t TGlobalHdr::Item(int offset) const {
  CheckOffset(offset);
  return GetU32(data_.data() + offset);
}

void TGlobalHdr::SetItem(int offset, uint32_t value) {
  CheckOffset(offset);
  if (GetU32(data_.data() + offset) == value) return;
  PutU32(data_.data() + offset, value);
  dirty_ = true;
}

void TGlobalHdr::Load(const uint8_t* bytes) {
  std::memcpy(data_.data(), bytes, kSize);
  dirty_ = false;
}

void TGlobalHdr::Clear() {
  data_.fill(0);
  dirty_ = false;
}

}  // namespace zuz
