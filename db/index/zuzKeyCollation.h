// String comparison of the two sort orders of a table. Key strings are UTF-8 bytes with a length
// (no terminating zero); both functions give -1, 0 or +1.
//
// soANSI: the locale's collation (strcoll_l) under the user's LC_COLLATE, on zero-terminated
// copies of the two strings (at most 256 bytes each; a string with an embedded zero byte
// compares as its part before the zero). Case-insensitive comparison folds both copies to upper
// case first: ASCII a-z, and the Latin-1 letters U+00E0..U+00FE (except U+00F7) and U+00FF
// written in UTF-8; other letters keep their case. When the collation finds the copies equal,
// the shorter string comes first. The whole copies are compared, so the order is a total
// preorder and a tree built with it stays sorted.
//
// soASCII: unsigned bytes over the common length, a-z folded to A-Z when case-insensitive, then
// the shorter string first.
//
// The collation locale is made once, on first use, from the user's LC_COLLATE
// (newlocale(LC_COLLATE_MASK, "", 0)), or "C" when that fails. Indexes of soANSI tables built
// under another collation must be rebuilt before they are searched.
#pragma once

#include <cstdint>
#include <string>

#include "db/storage/zuzFieldTypes.h"

namespace zuz {

// The sort-order function of a table: compares two key strings, optionally without case.
using TSortOrderFunc = int (*)(const uint8_t* a, int lengthA, const uint8_t* b, int lengthB,
                               bool caseInsensitive);

int CompareStringsANSI(const uint8_t* a, int lengthA, const uint8_t* b, int lengthB,
                       bool caseInsensitive);
int CompareStringsASCII(const uint8_t* a, int lengthA, const uint8_t* b, int lengthB,
                        bool caseInsensitive);

// The function of a sort order.
TSortOrderFunc SortOrderFunction(TSortOrder order);

// Replaces the collation locale (for example "C.UTF-8" or "en_US.UTF-8"); false, keeping the
// current one, when the system does not know the name. The empty name means the user's
// LC_COLLATE. Not to be called while another thread compares strings.
bool SetCollationLocale(const std::string& name);
// The name given to the last successful SetCollationLocale ("" for the user's default).
std::string CollationLocaleName();

// The upper-case fold used by case-insensitive comparison, in place over n bytes.
void FoldKeyStringCase(uint8_t* text, int n, TSortOrder order);

}  // namespace zuz
