// The hash list of a join: the value bytes of one key field (a string's characters, any other
// type's stored bytes as in the key entry) with the address of the record that holds them.
// Several records may share a value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zuz {

class THashList {
 public:
  void Add(const uint8_t* value, int length, uint32_t address);
  // The addresses of the records holding exactly these value bytes, in the order added.
  std::vector<uint32_t> Find(const uint8_t* value, int length) const;
  std::vector<uint32_t> Find(std::string_view value) const;
  int Count() const { return count_; }
  void Clear();

 private:
  std::unordered_map<std::string, std::vector<uint32_t>> map_;
  int count_ = 0;
};

}  // namespace zuz
