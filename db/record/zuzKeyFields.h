// The key fields of a table's indexes. All key fields of all indexes of a table stand in one
// collection of its definition; each names its index and says where its value lies in a record
// image (offsets into the record layout).
#pragma once

#include <string>
#include <vector>

#include "db/storage/zuzFieldTypes.h"

namespace zuz {

constexpr int kIndexPageSize = 4096;  // bytes of an index node
constexpr int kMaxKeySize = 500;      // the largest key entry an index may have

struct TKeyFieldItem {
  std::string FieldName;  // empty for the hidden sequence field
  TFieldType DataType = TFieldType::ftUnknown;
  int FieldSize = 0;  // the field's FieldSize (declared length + 1 for strings)
  bool CaseInsensitive = false;
  bool Descending = false;
  bool IsVariable = false;   // true for strings
  int RecBufOffset = 0;      // offset of the value in the record image
  int NullFlagOffset = 0;    // offset of the null flag (1 = value present)
  int SizeMarkerOffset = 0;  // offset of a string's u16 length marker; 0 for other types
  int PhysicalFieldNo = 0;   // the field's number; -1 for the hidden sequence field
  std::string IndexName;     // the index this key field belongs to
  bool Hidden = false;       // the appended record sequence field of a non-unique index
  int KeyIndex = 0;          // position within its index, from 0
};

using TKeyFields = std::vector<TKeyFieldItem>;

}  // namespace zuz
