// The compiled predicates of one document, keyed by their prepared text (compared exactly), so
// that a predicate is compiled once however often it is used.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "planner/base/Hashes.h"
#include "planner/xml/qorXPathParser2.h"

class TqorXPathParserList2 {
 public:
  // The predicate as it is compiled and looked up: "&lt;" becomes "<", then "&gt;" ">", then
  // "!=" "<>", so that predicates can be written inside XML attribute values.
  static std::string Prepare(std::string_view predicate);

  // The compiled predicate for the text (prepared first); compiled and kept on a miss. The
  // reference stays valid until Clear or the list's end. REQUIRES: predicate is not empty.
  TqorXPathParser2& Compile(std::string_view predicate);
  // The compiled predicate for a prepared text, or nullptr.
  TqorXPathParser2* Find(std::string_view prepared) const { return parsers_.Find(prepared); }
  size_t Count() const { return parsers_.Count(); }
  // Frees every compiled predicate.
  void Clear() { parsers_.Clear(); }

  // Look-ups answered from the list and look-ups that compiled, since the list was made.
  size_t Hits() const { return hits_; }
  size_t Misses() const { return misses_; }

 private:
  TObjectHash<TqorXPathParser2, true> parsers_;
  size_t hits_ = 0;
  size_t misses_ = 0;
};
