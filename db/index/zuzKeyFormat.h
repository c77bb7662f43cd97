// Key entries of an index: built from a record image or from values, and compared.
//
// A key entry is exactly MaximumKeySize (m) bytes, little-endian:
//   0    u16  entry size, = m
//   2    u32  leaf: 0; inner node: number of keys in the child's subtree
//   6    u32  leaf: address of the record; inner node: address of the child node
//   10   KeyDataOffset bytes  presence bitmap: key field k has bit 0x80 >> (k mod 8) of byte
//                             k div 8, set when the field has a value
//   10 + KeyDataOffset        the values of the present key fields, in key-field order, no gaps:
//                             ftString as u16 length and that many bytes; ftSmallint and ftWord
//                             2 bytes, ftInteger and ftAutoInc 4, ftBoolean 1, the float and
//                             date types 8 (IEEE double)
//   ...  zero up to m
// KeyDataOffset = (number of key fields) div 8 + 1; m = 10 + KeyDataOffset + the key core sizes
// + the FieldSize of every string field, at most 500.
//
// Comparison of a search key S with a stored key K over the first n key fields gives -1, 0 or +1
// for S before, equal to or after K. Field by field while equal: a partial flag other than 1 on
// the field ends the comparison with flag - 1 (0 orders S before every key agreeing so far, 2
// after them); otherwise an absent value orders before a present one, two absent values are
// equal, two present values compare by type (signed 16-bit, unsigned 16-bit, signed 32-bit,
// boolean byte, double, string by the sort order); a Descending field negates the result of the
// presence and value comparison.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "db/index/zuzIndexUnit.h"
#include "db/index/zuzKeyCollation.h"
#include "db/record/zuzKeyFields.h"

namespace zuz {

enum : int {
  keEntrySize = 0,
  keCount = 2,
  keAddress = 6,
  keBitmap = 10,
};

// A value for a key field: NULL, an integer, a double, a boolean or a text.
using TKeyValue = std::variant<std::monostate, int64_t, double, bool, std::string>;

// One flag per key field: 1 compares the field normally, 0 orders the search key before every
// stored key that agrees on the preceding fields, 2 after them. Missing flags count as 1.
using TPartialFlags = std::vector<int>;

// Limits a search to the first FieldCount key fields; a count of 0 or less means the key fields
// before the first hidden one (a non-unique index's searches then ignore its sequence field).
// An inactive modifier lets all key fields take part.
struct TSearchModifier {
  bool Active = true;
  int FieldCount = 0;
};

// The key fields of one index with the sizes of its entries and the table's sort order.
class TKeyFormat {
 public:
  // Checks the definition: 1 to 32 key fields numbered in order, key types only, KeyDataOffset
  // = fields div 8 + 1, and a MaximumKeySize from the sum of the sizes up to 500
  // (8581 / 10000 in the caller's name otherwise).
  TKeyFormat(TKeyFields fields, int keyDataOffset, int maximumKeySize, TSortOrderFunc sortOrder,
             const char* caller);

  const TKeyFields& Fields() const { return fields_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  int KeyDataOffset() const { return keyDataOffset_; }
  int MaximumKeySize() const { return maximumKeySize_; }
  TSortOrderFunc SortOrder() const { return sortOrder_; }
  // The number of key fields before the first hidden one.
  int VisibleFieldCount() const { return visibleFields_; }
  // The fields a search compares: all without a modifier, else as the modifier says.
  int SearchFieldCount(const TSearchModifier* modifier) const;

  // Builds the key of a record image into out (MaximumKeySize bytes, count and address 0).
  // A field is present when its null flag in the image is 1. 8581 when an offset lies outside
  // the image or a string's length marker exceeds the field.
  void BuildFromRecord(std::span<const uint8_t> image, uint8_t* out) const;
  // Builds a key from values, one per key field (missing ones NULL): strings become text,
  // ftSmallint, ftWord, ftInteger and ftAutoInc whole numbers in their range, ftBoolean 1 for any
  // non-zero value, the float and date types doubles. A value that does not convert is 10000
  // with the value and the type; texts longer than the field are cut to the field's size.
  void BuildFromValues(const std::vector<TKeyValue>& values, uint8_t* out) const;

  // Compares search key S with stored key K (both entries) over the first n fields (n <= 0: all),
  // honouring flags when given. 8581 when an entry is damaged.
  int CompareKeys(int n, const TPartialFlags* flags, const uint8_t* stored,
                  const uint8_t* search) const;
  // Compares two present values of field k: -1, 0 or +1 for a before, equal to or after b,
  // without the field's direction.
  int CompareValues(int k, const uint8_t* a, int lengthA, const uint8_t* b, int lengthB) const;

  // Finds the value of key field k in an entry: false when absent, else its bytes (a string's
  // characters without the length). 8581 when the entry is damaged.
  bool FieldValue(const uint8_t* entry, int k, const uint8_t** data, int* length) const;
  // The key as text, e.g. (42, 'abc', NULL), for dumps and problem reports.
  std::string Describe(const uint8_t* entry) const;

 private:
  friend class TOptimizedSearchKey;
  enum class TKind : uint8_t { kSmallint, kWord, kInteger, kBoolean, kDouble, kString };
  struct TInfo {
    TKind kind;
    int width;  // bytes of the value (a string: 2, its length prefix)
    bool descending;
    bool caseInsensitive;
    int fieldSize;
  };
  // The next field's value in an entry at *pos: false when absent. Advances *pos past it.
  bool NextValue(const uint8_t* entry, int k, int* pos, const uint8_t** data, int* length,
                 const char* caller) const;
  static bool Present(const uint8_t* entry, int k) {
    return (entry[keBitmap + k / 8] & (0x80 >> (k % 8))) != 0;
  }

  TKeyFields fields_;
  std::vector<TInfo> info_;
  int keyDataOffset_;
  int maximumKeySize_;
  TSortOrderFunc sortOrder_;
  int visibleFields_ = 0;
};

// A search key decoded once for fast comparison: per key field its presence, partial flag and
// value (numbers decoded, strings pointing into the key).
class TOptimizedSearchKey {
 public:
  // REQUIRES: key stays unchanged and alive while the decoded key is used.
  void Build(const TKeyFormat& format, const uint8_t* key, const TPartialFlags* flags);
  // Compares the decoded search key S with stored key K over the first n fields (0: none, so
  // every key is equal): -1, 0 or +1 for S before, equal to or after K. Partial flags take part
  // when honourFlags is set.
  int Compare(const TKeyFormat& format, int n, const uint8_t* stored, bool honourFlags) const;
  bool HasPartialFlags() const { return hasFlags_; }

 private:
  struct TField {
    bool present = false;
    int flag = 1;
    int64_t integer = 0;
    double real = 0;
    const uint8_t* text = nullptr;
    int length = 0;
  };
  std::array<TField, kMaxKeyFields> fields_{};
  int count_ = 0;
  bool hasFlags_ = false;
};

}  // namespace zuz
