// Table definitions: the fields with their places in a record image, the indexes with their key
// fields, and the text form in which a definition is stored in the catalogue.
//
// Record image of a table with n fields (RecordSize bytes, one record block):
//   0        byte   status: 1 = live record (0 in free blocks)
//   1        byte   zero
//   2        u32    owner check: table id x 16 + 9
//   6        u32    record sequence number
//   10       u32    record version: 0 when added, +1 by every update
//   14       n      null flags, one per field in definition order: 1 = value present
//   14 + n   ...    the fields in definition order: a string takes a u16 length marker and then
//                   FieldSize bytes (the declared length + 1); any other type its stored width
//                   (zuzFieldTypes.h) without a marker
//
// The text form (zuzObjectText.h) lists the properties of TTableDef in this order: TableID,
// OwnerFlag, TableName, AltName, Version, OS, CreationDate, LastModDate, CreatedBy, Password,
// Encrypted, SecurityLevel, Memory, RecordSize, DefaultBlobSize, UsesBlobs, SortOrder,
// InternalTable, EncryptionLevel, KeyFields, InternalFields, InternalIndexDefs, BlobCompression.
// Properties equal to their declared default (DefaultBlobSize 512, NumDecimalPlaces 0, IsVariable
// False, Hidden False, CompressionMode dcNone), empty strings and zero dates are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/record/zuzKeyFields.h"
#include "db/storage/zuzFieldTypes.h"

namespace zuz {

enum class TEncryptionLevel : int { encNone = 0, encWeak = 1, encStrong = 2 };
enum class TCompressionMode : int { dcNone = 0, dcZLib = 1, dcCustom = 2, dcUnknown = 3 };
enum class TIndexKeyType : int { ikFixed = 0, ikMinStringLen = 1 };

// Record image offsets.
constexpr int kRecStatus = 0;
constexpr int kRecOwnerCheck = 2;
constexpr int kRecSequence = 6;
constexpr int kRecVersion = 10;
constexpr int kRecNullFlags = 14;
constexpr uint32_t kRecordOwnerUsage = 9;

constexpr int kMaxTableNameLength = 40;
constexpr int kMaxFieldNameLength = 40;
constexpr int kMaxFields = 255;
constexpr int kMaxDeclaredIndexes = 32;
constexpr int kDefaultBlobSize = 512;
constexpr const char* kLogicalRecNoIndex = "_LogicalRecNo";

// The owner check of the table's records.
inline uint32_t RecordOwnerCheck(uint32_t tableId) {
  return tableId * 16 + kRecordOwnerUsage;
}
// Page IO flags of a table's records, blobs and index nodes by its encryption level.
uint32_t IoFlagsFor(TEncryptionLevel level);

struct TInternalFieldItem {
  std::string FieldName;
  int FieldNo = 0;
  int FieldIndex = 0;
  TFieldType DataType = TFieldType::ftUnknown;
  int FieldSize = 0;  // strings: declared length + 1
  int NumDecimalPlaces = 0;
  bool Required = false;
  int SizeMarkerOffset = 0;  // strings only
  int DataOffset = 0;
  int NullFlagOffset = 0;
  bool IsVariable = false;
  int64_t FieldGeneratorID = 0;
  bool Hidden = false;
  TCompressionMode CompressionMode = TCompressionMode::dcNone;

  // Bytes the value takes in a record image, the length marker included.
  int StoredWidth() const { return StoredFieldWidth(DataType, FieldSize); }
};

struct TInternalIndexDef {
  int IndexSequence = 0;
  std::string IndexName;
  bool Unique = false;
  bool Primary = false;
  bool Hidden = false;
  bool Maintained = true;
  bool Memory = false;
  int MaximumKeySize = 0;
  int KeyDataOffset = 0;
  uint32_t IndexPageSize = kIndexPageSize;
  TIndexKeyType IndexKeyType = TIndexKeyType::ikFixed;
};

struct TTableDef {
  int TableID = 0;
  uint32_t OwnerFlag = 0;
  std::string TableName;
  std::string AltName;
  std::string Version;
  std::string OS;
  double CreationDate = 0;
  double LastModDate = 0;
  std::string CreatedBy;
  std::string Password;
  bool Encrypted = false;
  int SecurityLevel = 0;
  bool Memory = false;
  int RecordSize = 0;
  int DefaultBlobSize = kDefaultBlobSize;
  bool UsesBlobs = false;
  TSortOrder SortOrder = TSortOrder::soANSI;
  bool InternalTable = false;
  TEncryptionLevel EncryptionLevel = TEncryptionLevel::encNone;
  TKeyFields KeyFields;
  std::vector<TInternalFieldItem> InternalFields;
  std::vector<TInternalIndexDef> InternalIndexDefs;
  bool BlobCompression = false;

  // The field with the name (compared without case in ASCII letters), or -1.
  int FindField(std::string_view name) const;
  // The key fields of the index, in key order.
  std::vector<TKeyFieldItem> KeyFieldsOf(std::string_view indexName) const;
  const TInternalIndexDef* FindIndex(std::string_view name) const;
  int AutoIncField() const;  // the first ftAutoInc field, or -1
};

// A field as declared: name, type, declared size (strings: the length; ftBytes: the byte count).
struct TFieldDesc {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;
  bool Required = false;
  int NumDecimalPlaces = 0;
};

// An index as declared: the fields separated by ";", the options, and the fields that order
// downwards (DescFields) or compare without case (CaseInsFields), also ";"-separated.
struct TIndexDesc {
  std::string Name;
  std::string Fields;
  bool Primary = false;
  bool Unique = false;
  bool Descending = false;
  bool CaseInsensitive = false;
  std::string DescFields;
  std::string CaseInsFields;
};

// What a table takes from the table object and the database when its definition is built.
struct TTableOptions {
  TSortOrder SortOrder = TSortOrder::soANSI;
  int DefaultBlobSize = kDefaultBlobSize;
  bool BlobCompression = false;
  std::string CreatedBy;
  TEncryptionLevel EncryptionLevel = TEncryptionLevel::encNone;
  bool Memory = false;
};

// Builds a definition from field and index descriptions: names and sizes checked (10039, 9492,
// 9606, 10038, 10000; an index name that is no UTF-8 text 9996), record offsets assigned, indexes
// and their key fields derived (9604, 9602, 10116, 10117), "_LogicalRecNo" added when no index is
// declared. TableID, dates and the other catalogue properties are filled in when the table is
// created.
TTableDef BuildTableDef(const std::string& tableName, const std::vector<TFieldDesc>& fields,
                        const std::vector<TIndexDesc>& indexes, const TTableOptions& options);

// Checks a table name: UTF-8 text of 1 to 40 bytes (10039).
void CheckTableName(const std::string& name);
// Checks a field name: UTF-8 text of 1 to 40 bytes (10038).
void CheckFieldName(const std::string& name);
// Assigns the record offsets of the fields in definition order and sets RecordSize and UsesBlobs.
void AssignRecordLayout(TTableDef& def);
// The key fields of one index description appended to def.KeyFields and its index definition
// (IndexSequence = sequence).
TInternalIndexDef DeriveIndex(TTableDef& def, const TIndexDesc& desc, int sequence);

// The text form and back. Reading gives absent properties their defaults and refuses unknown
// ones (8451).
std::string TableDefToText(const TTableDef& def);
TTableDef TableDefFromText(std::string_view text);
// Checks a definition read from a file before it is used: field types and sizes, the record
// layout (recomputed; RecordSize must agree), indexes and key fields (8451 when damaged).
void ValidateStoredTableDef(TTableDef& def);

// Names of fields and indexes compare without case in ASCII letters.
bool SameName(std::string_view a, std::string_view b);
// The names of a ";"-separated list, trimmed, empty ones left out.
std::vector<std::string> SplitNameList(std::string_view list);

// The catalogue's AltName of a table: the name itself, or for an encrypted table the name's
// bytes XORed with the built-in XOR key (key index advancing by 1), each byte written as the code
// point of its value.
std::string AltNameFor(const std::string& tableName, bool encrypted);

// Identifiers of the enumerations in the text form.
std::string EncryptionLevelName(TEncryptionLevel level);
std::optional<TEncryptionLevel> EncryptionLevelFromName(std::string_view name);

}  // namespace zuz
