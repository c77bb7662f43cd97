// The field types of the engine and the facts every layer needs about them: the identifiers
// used in stored table definitions, the widths of the values in a record, and the sizes of
// key values in an index entry.
//
// Stored widths in a record image (little-endian):
//   ftString      2 + FieldSize   u16 length marker, then the characters, zero-padded;
//                                 FieldSize is the declared length + 1
//   ftSmallint 2, ftWord 2, ftInteger 4, ftAutoInc 4, ftBoolean 1 (0 or 1)
//   ftFloat, ftCurrency, ftDate, ftTime, ftDateTime   8 (IEEE double day numbers for dates)
//   ftBytes       FieldSize (2 to 256) raw bytes
//   ftBlob, ftMemo, ftGraphic, ftFmtMemo   8: u32 first blob block, u32 length in bytes
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zuz {

// The shared field-type enumeration; the numbers are the ordinal values stored and compared.
enum class TFieldType : int {
  ftUnknown = 0,
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftVarBytes = 13,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
  ftFmtMemo = 18,
  ftParadoxOle = 19,
  ftDBaseOle = 20,
  ftTypedBinary = 21,
  ftCursor = 22,
  ftFixedChar = 23,
  ftWideString = 24,
  ftLargeint = 25,
};

// String comparison of a table: locale collation or bytes.
enum class TSortOrder : int { soANSI = 0, soASCII = 1 };

// The identifier of a type ("ftString"); "ftUnknown" for values outside the enumeration.
std::string FieldTypeName(TFieldType type);
// The type with that identifier (exact spelling), or nothing.
std::optional<TFieldType> FieldTypeFromName(std::string_view name);
// The types a table definition may use.
bool IsStorableFieldType(TFieldType type);
bool IsBlobFieldType(TFieldType type);
bool IsStringFieldType(TFieldType type);
// Bytes the field takes in a record image (for ftString 2 + fieldSize); 0 for types that
// cannot be stored.
int StoredFieldWidth(TFieldType type, int fieldSize);
// Bytes of a present key value without the string characters: 2 for ftString (the length),
// ftSmallint and ftWord; 4 for ftInteger and ftAutoInc; 1 for ftBoolean; 8 for the float and
// date types; 0 for types that cannot be keys.
int KeyCoreSize(TFieldType type);

std::string SortOrderName(TSortOrder order);  // "soANSI" or "soASCII"
std::optional<TSortOrder> SortOrderFromName(std::string_view name);

}  // namespace zuz
