#include "db/storage/zuzFieldTypes.h"

#include <array>

namespace zuz {

namespace {

constexpr std::array<const char*, 26> kNames = {
    "ftUnknown",    "ftString",     "ftSmallint", "ftInteger",     "ftWord",   "ftBoolean",
    "ftFloat",      "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",   "ftDateTime",
    "ftBytes",      "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",   "ftGraphic",
    "ftFmtMemo",    "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor", "ftFixedChar",
    "ftWideString", "ftLargeint"};

}  // namespace

std::string FieldTypeName(TFieldType type) {
  const int n = static_cast<int>(type);
  if (n < 0 || n >= static_cast<int>(kNames.size())) return kNames[0];
  return kNames[static_cast<size_t>(n)];
}

std::optional<TFieldType> FieldTypeFromName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (name == kNames[i]) return static_cast<TFieldType>(i);
  return std::nullopt;
}

bool IsStorableFieldType(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftBoolean:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftBytes:
    case TFieldType::ftAutoInc:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
      return true;
    default:
      return false;
  }
}

bool IsBlobFieldType(TFieldType type) {
  return type == TFieldType::ftBlob || type == TFieldType::ftMemo ||
         type == TFieldType::ftGraphic || type == TFieldType::ftFmtMemo;
}

bool IsStringFieldType(TFieldType type) {
  return type == TFieldType::ftString;
}

int StoredFieldWidth(TFieldType type, int fieldSize) {
  switch (type) {
    case TFieldType::ftString:
      return 2 + fieldSize;
    case TFieldType::ftSmallint:
    case TFieldType::ftWord:
      return 2;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
      return 4;
    case TFieldType::ftBoolean:
      return 1;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      return 8;
    case TFieldType::ftBytes:
      return fieldSize;
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
      return 8;
    default:
      return 0;
  }
}

int KeyCoreSize(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftSmallint:
    case TFieldType::ftWord:
      return 2;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
      return 4;
    case TFieldType::ftBoolean:
      return 1;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      return 8;
    default:
      return 0;
  }
}

std::string SortOrderName(TSortOrder order) {
  return order == TSortOrder::soASCII ? "soASCII" : "soANSI";
}

std::optional<TSortOrder> SortOrderFromName(std::string_view name) {
  if (name == "soANSI") return TSortOrder::soANSI;
  if (name == "soASCII") return TSortOrder::soASCII;
  return std::nullopt;
}

}  // namespace zuz
