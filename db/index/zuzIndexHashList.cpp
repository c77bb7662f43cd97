#include "db/index/zuzIndexHashList.h"

namespace zuz {

void THashList::Add(const uint8_t* value, int length, uint32_t address) {
  map_[std::string(reinterpret_cast<const char*>(value), static_cast<size_t>(length))].push_back(
      address);
  ++count_;
}

std::vector<uint32_t> THashList::Find(const uint8_t* value, int length) const {
  return Find(std::string_view(reinterpret_cast<const char*>(value), static_cast<size_t>(length)));
}

std::vector<uint32_t> THashList::Find(std::string_view value) const {
  auto it = map_.find(std::string(value));
  return it == map_.end() ? std::vector<uint32_t>{} : it->second;
}

void THashList::Clear() {
  map_.clear();
  count_ = 0;
}

}  // namespace zuz
