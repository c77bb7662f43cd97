#include "db/record/zuzTableDef.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "db/record/zuzObjectText.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TTableDef";
constexpr const char* kSetTableDef = "TZuzBaseTable.SetTableDef";
constexpr const char* kAssignKeyFields = "TInternalIndexDef.AssignKeyFields";

constexpr int kMaxKeyFieldsPerIndex = 32;

std::string LengthRange(const std::string& value, int min, int max) {
  return value + " is not a valid value (min. length " + std::to_string(min) + ", max. length " +
         std::to_string(max) + ")";
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> SplitNames(std::string_view list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    std::string name = Trim(list.substr(start, end - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

// A field named in a ";"-separated list (whole names, compared without case): "Id" is not in
// "Paid;Name".
bool NamedIn(std::string_view list, std::string_view name) {
  for (const auto& n : SplitNames(list))
    if (SameTextIgnoringCase(n, name)) return true;
  return false;
}

int64_t NewFieldGeneratorId() {
  static std::mutex mutex;
  static std::mt19937_64 random(std::random_device{}());
  std::lock_guard<std::mutex> lock(mutex);
  return static_cast<int64_t>(random() % 2147483647u);
}

[[noreturn]] void Damaged(const TTableDef& def, const std::string& what) {
  ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TTableDef.Validate",
                   "The definition of table " + def.TableName + " is damaged: " + what, kObject);
}

// The hidden key field appended to an index that is neither unique nor primary: the record
// sequence number, present in every live record (its "null flag" is the status byte).
TKeyFieldItem SequenceKeyField(const std::string& indexName, bool descending, int keyIndex) {
  TKeyFieldItem k;
  k.DataType = TFieldType::ftInteger;
  k.FieldSize = 4;
  k.Descending = descending;
  k.RecBufOffset = kRecSequence;
  k.NullFlagOffset = kRecStatus;
  k.SizeMarkerOffset = 0;
  k.PhysicalFieldNo = -1;
  k.IndexName = indexName;
  k.Hidden = true;
  k.KeyIndex = keyIndex;
  return k;
}

int KeySizeOf(const std::vector<TKeyFieldItem>& keys, int keyDataOffset) {
  int size = 10 + keyDataOffset;
  for (const auto& k : keys) {
    size += KeyCoreSize(k.DataType);
    if (k.DataType == TFieldType::ftString) size += k.FieldSize;
  }
  return size;
}

void CopyFieldIntoKey(const TInternalFieldItem& f, TKeyFieldItem& k) {
  k.FieldName = f.FieldName;
  k.DataType = f.DataType;
  k.FieldSize = f.FieldSize;
  k.IsVariable = f.IsVariable;
  k.PhysicalFieldNo = f.FieldNo;
  k.RecBufOffset = f.DataOffset;
  k.NullFlagOffset = f.NullFlagOffset;
  k.SizeMarkerOffset = f.SizeMarkerOffset;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  return SameTextIgnoringCase(a, b);
}

std::vector<std::string> SplitNameList(std::string_view list) {
  return SplitNames(list);
}

uint32_t IoFlagsFor(TEncryptionLevel level) {
  switch (level) {
    case TEncryptionLevel::encWeak:
      return ioEncWeak;
    case TEncryptionLevel::encStrong:
      return ioEncStrong;
    default:
      return ioEncNone;
  }
}

int TTableDef::FindField(std::string_view name) const {
  for (std::size_t i = 0; i < InternalFields.size(); ++i)
    if (SameTextIgnoringCase(InternalFields[i].FieldName, name)) return static_cast<int>(i);
  return -1;
}

std::vector<TKeyFieldItem> TTableDef::KeyFieldsOf(std::string_view indexName) const {
  std::vector<TKeyFieldItem> out;
  for (const auto& k : KeyFields)
    if (SameTextIgnoringCase(k.IndexName, indexName)) out.push_back(k);
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.KeyIndex < b.KeyIndex; });
  return out;
}

const TInternalIndexDef* TTableDef::FindIndex(std::string_view name) const {
  for (const auto& x : InternalIndexDefs)
    if (SameTextIgnoringCase(x.IndexName, name)) return &x;
  return nullptr;
}

int TTableDef::AutoIncField() const {
  for (std::size_t i = 0; i < InternalFields.size(); ++i)
    if (InternalFields[i].DataType == TFieldType::ftAutoInc) return static_cast<int>(i);
  return -1;
}

namespace {

// A name is UTF-8 text of 1 to max bytes.
void CheckName(const std::string& name, int max, int code, const char* what) {
  if (!IsValidUtf8(name)) {
    ZuzDatabaseError(code, kSetTableDef,
                     std::string(what) + " " + Utf8WithEscapes(name) + " is not valid UTF-8 text",
                     kObject);
  }
  if (name.empty() || name.size() > static_cast<size_t>(max)) {
    ZuzDatabaseError(code, kSetTableDef, LengthRange(name, 1, max), kObject);
  }
}

}  // namespace

void CheckTableName(const std::string& name) {
  CheckName(name, kMaxTableNameLength, ZUZ_ERR_TABLE_NAME, "The table name");
}

void CheckFieldName(const std::string& name) {
  CheckName(name, kMaxFieldNameLength, ZUZ_ERR_FIELD_NAME, "The field name");
}

void AssignRecordLayout(TTableDef& def) {
  const int n = static_cast<int>(def.InternalFields.size());
  int offset = kRecNullFlags + n;
  def.UsesBlobs = false;
  for (int i = 0; i < n; ++i) {
    TInternalFieldItem& f = def.InternalFields[static_cast<size_t>(i)];
    f.NullFlagOffset = kRecNullFlags + i;
    if (f.DataType == TFieldType::ftString) {
      f.SizeMarkerOffset = offset;
      f.DataOffset = offset + 2;
    } else {
      f.SizeMarkerOffset = 0;
      f.DataOffset = offset;
    }
    offset += f.StoredWidth();
    if (IsBlobFieldType(f.DataType)) def.UsesBlobs = true;
  }
  def.RecordSize = offset;
}

TInternalIndexDef DeriveIndex(TTableDef& def, const TIndexDesc& desc, int sequence) {
  TInternalIndexDef index;
  index.IndexSequence = sequence;
  index.IndexName = desc.Name;
  index.Unique = desc.Unique;
  index.Primary = desc.Primary;
  index.Hidden = desc.Name == kLogicalRecNoIndex;
  index.Maintained = true;
  index.Memory = def.Memory;
  index.IndexPageSize = kIndexPageSize;
  index.IndexKeyType = TIndexKeyType::ikFixed;

  std::vector<TKeyFieldItem> keys;
  for (const auto& name : SplitNames(desc.Fields)) {
    const int f = def.FindField(name);
    if (f < 0) ZuzDatabaseError(ZUZ_ERR_NO_SUCH_FIELD, kAssignKeyFields, name, kObject);
    const TInternalFieldItem& field = def.InternalFields[static_cast<size_t>(f)];
    if (field.DataType == TFieldType::ftBytes || IsBlobFieldType(field.DataType)) {
      ZuzDatabaseError(ZUZ_ERR_NOT_INDEXABLE, kAssignKeyFields, FieldTypeName(field.DataType),
                       kObject);
    }
    TKeyFieldItem k;
    CopyFieldIntoKey(field, k);
    k.Descending = (desc.Descending && Trim(desc.DescFields).empty()) ||
                   NamedIn(desc.DescFields, field.FieldName);
    k.CaseInsensitive = (desc.CaseInsensitive && Trim(desc.CaseInsFields).empty()) ||
                        NamedIn(desc.CaseInsFields, field.FieldName);
    if (field.DataType == TFieldType::ftString && k.SizeMarkerOffset == 0) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, kAssignKeyFields,
                       "KeyOffset has not been set or is out of range", kObject);
    }
    k.IndexName = desc.Name;
    k.KeyIndex = static_cast<int>(keys.size());
    keys.push_back(std::move(k));
  }
  if (keys.empty() && (desc.Unique || desc.Primary)) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, kAssignKeyFields, "No index columns specified",
                     kObject);
  }
  if (!desc.Unique && !desc.Primary) {
    keys.push_back(SequenceKeyField(desc.Name, desc.Descending, static_cast<int>(keys.size())));
  }
  if (static_cast<int>(keys.size()) > kMaxKeyFieldsPerIndex) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, kAssignKeyFields,
                     "The Index '" + desc.Name + "' with fields '" + desc.Fields +
                         "' has exceeded the maximum key field count of " +
                         std::to_string(kMaxKeyFieldsPerIndex),
                     kObject);
  }
  index.KeyDataOffset = static_cast<int>(keys.size()) / 8 + 1;
  index.MaximumKeySize = KeySizeOf(keys, index.KeyDataOffset);
  if (index.MaximumKeySize > kMaxKeySize) {
    ZuzDatabaseError(ZUZ_ERR_KEY_TOO_LARGE, kAssignKeyFields,
                     desc.Name + " has not been set or is out of range", kObject);
  }
  for (auto& k : keys) def.KeyFields.push_back(std::move(k));
  return index;
}

TTableDef BuildTableDef(const std::string& tableName, const std::vector<TFieldDesc>& fields,
                        const std::vector<TIndexDesc>& indexes, const TTableOptions& options) {
  CheckTableName(tableName);
  const int n = static_cast<int>(fields.size());
  if (n < 1 || n > kMaxFields) {
    ZuzDatabaseError(ZUZ_ERR_FIELD_COUNT, kSetTableDef,
                     std::to_string(n) + " is not a valid value (min. 1, max. " +
                         std::to_string(kMaxFields) + ")",
                     kObject);
  }
  TTableDef def;
  def.TableName = tableName;
  def.Memory = options.Memory;
  for (int i = 0; i < n; ++i) {
    const TFieldDesc& d = fields[static_cast<size_t>(i)];
    CheckFieldName(d.Name);
    if (def.FindField(d.Name) >= 0) {
      // A second field of one name could never be reached by its name.
      ZuzDatabaseError(ZUZ_ERR_FIELD_NAME, kSetTableDef, "Duplicate field name " + d.Name, kObject);
    }
    if (!IsStorableFieldType(d.DataType)) {
      ZuzDatabaseError(ZUZ_ERR_FIELD_TYPE, kSetTableDef, FieldTypeName(d.DataType), kObject);
    }
    TInternalFieldItem f;
    f.FieldName = d.Name;
    f.FieldNo = i;
    f.FieldIndex = i;
    f.DataType = d.DataType;
    f.Required = d.Required;
    f.NumDecimalPlaces = d.NumDecimalPlaces;
    f.FieldGeneratorID = NewFieldGeneratorId();
    if (d.DataType == TFieldType::ftString) {
      if (d.Size < 1 || d.Size > 255) {
        ZuzDatabaseError(ZUZ_ERR_FIELD_LENGTH, kSetTableDef,
                         LengthRange(std::to_string(d.Size), 1, 255), kObject);
      }
      f.FieldSize = d.Size + 1;
      f.IsVariable = true;
    } else if (d.DataType == TFieldType::ftBytes) {
      if (d.Size < 2 || d.Size > 256) {
        ZuzDatabaseError(ZUZ_ERR_FIELD_LENGTH, kSetTableDef,
                         LengthRange(std::to_string(d.Size), 2, 256), kObject);
      }
      f.FieldSize = d.Size;
    } else {
      f.FieldSize = 0;
    }
    def.InternalFields.push_back(std::move(f));
  }
  AssignRecordLayout(def);

  if (static_cast<int>(indexes.size()) > kMaxDeclaredIndexes) {
    ZuzDatabaseError(ZUZ_ERR_TOO_MANY_INDEXES, kSetTableDef,
                     "Maximum allowed is " + std::to_string(kMaxDeclaredIndexes), kObject);
  }
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    if (!IsValidUtf8(indexes[i].Name)) {
      ZuzDatabaseError(
          ZUZ_ERR_INVALID_MODIFY, kSetTableDef,
          "The index name " + Utf8WithEscapes(indexes[i].Name) + " is not valid UTF-8 text",
          kObject);
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (SameTextIgnoringCase(indexes[i].Name, indexes[j].Name)) {
        ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, kSetTableDef, "Index already exists", kObject);
      }
    }
    def.InternalIndexDefs.push_back(DeriveIndex(def, indexes[i], static_cast<int>(i)));
  }
  if (indexes.empty()) {
    TIndexDesc hidden;
    hidden.Name = kLogicalRecNoIndex;
    def.InternalIndexDefs.push_back(DeriveIndex(def, hidden, 0));
  }

  def.SortOrder = options.SortOrder;
  def.DefaultBlobSize = options.DefaultBlobSize;
  def.BlobCompression = options.BlobCompression;
  def.CreatedBy = options.CreatedBy;
  def.EncryptionLevel = options.EncryptionLevel;
  def.Encrypted = options.EncryptionLevel != TEncryptionLevel::encNone;
  def.AltName = AltNameFor(tableName, def.Encrypted);
  def.InternalTable = !tableName.empty() && tableName[0] == '$';
  return def;
}

std::string AltNameFor(const std::string& tableName, bool encrypted) {
  if (!encrypted) return tableName;
  const auto& key = BuiltInXorKey();
  std::string out;
  int j = 0;
  for (char c : tableName) {
    const auto b = static_cast<uint8_t>(static_cast<uint8_t>(c) ^ key[static_cast<size_t>(j)]);
    if (++j >= kXorKeyLength) j -= kXorKeyLength;
    AppendUtf8(out, b);  // each scrambled byte as a character, so the text stays valid
  }
  return out;
}

std::string EncryptionLevelName(TEncryptionLevel level) {
  switch (level) {
    case TEncryptionLevel::encWeak:
      return "encWeak";
    case TEncryptionLevel::encStrong:
      return "encStrong";
    default:
      return "encNone";
  }
}

std::optional<TEncryptionLevel> EncryptionLevelFromName(std::string_view name) {
  if (name == "encNone") return TEncryptionLevel::encNone;
  if (name == "encWeak") return TEncryptionLevel::encWeak;
  if (name == "encStrong") return TEncryptionLevel::encStrong;
  return std::nullopt;
}

namespace {

const char* CompressionName(TCompressionMode m) {
  switch (m) {
    case TCompressionMode::dcZLib:
      return "dcZLib";
    case TCompressionMode::dcCustom:
      return "dcCustom";
    case TCompressionMode::dcUnknown:
      return "dcUnknown";
    default:
      return "dcNone";
  }
}

std::optional<TCompressionMode> CompressionFromName(std::string_view n) {
  if (n == "dcNone") return TCompressionMode::dcNone;
  if (n == "dcZLib") return TCompressionMode::dcZLib;
  if (n == "dcCustom") return TCompressionMode::dcCustom;
  if (n == "dcUnknown") return TCompressionMode::dcUnknown;
  return std::nullopt;
}

const char* KeyTypeName(TIndexKeyType t) {
  return t == TIndexKeyType::ikMinStringLen ? "ikMinStringLen" : "ikFixed";
}

// Writing: properties in their stored order, defaults left out.
class TPropWriter {
 public:
  void Int(const char* name, int64_t v) {
    props.push_back(TObjectProp{name, TObjectValue::Int(v)});
  }
  void IntUnlessDefault(const char* name, int64_t v, int64_t def) {
    if (v != def) Int(name, v);
  }
  void Str(const char* name, const std::string& v) {
    if (!v.empty()) props.push_back(TObjectProp{name, TObjectValue::Str(v)});
  }
  void Bool(const char* name, bool v) {
    props.push_back(TObjectProp{name, TObjectValue::Id(v ? "True" : "False")});
  }
  void BoolUnlessFalse(const char* name, bool v) {
    if (v) Bool(name, v);
  }
  void Ident(const char* name, std::string v) {
    props.push_back(TObjectProp{name, TObjectValue::Id(std::move(v))});
  }
  void Date(const char* name, double v) {
    if (v != 0) props.push_back(TObjectProp{name, TObjectValue::Real(v)});
  }
  void Items(const char* name, std::vector<TObjectProps> items) {
    if (!items.empty()) props.push_back(TObjectProp{name, TObjectValue::Items(std::move(items))});
  }
  TObjectProps props;
};

// Reading: any order, absent ones keep their defaults, unknown or mistyped ones are refused.
class TPropReader {
 public:
  TPropReader(const TObjectProps& props, std::string where) : where_(std::move(where)) {
    for (const auto& [name, value] : props) {
      if (!values_.emplace(name, &value).second) Fail("property " + name + " given twice");
    }
  }

  [[noreturn]] void Fail(const std::string& why) const {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TTableDef.ReadText", where_ + ": " + why, kObject);
  }

  const TObjectValue* Get(const char* name) {
    auto it = values_.find(name);
    if (it == values_.end()) return nullptr;
    const TObjectValue* v = it->second;
    values_.erase(it);
    return v;
  }

  void Int(const char* name, int64_t min, int64_t max, auto& out) {
    if (const TObjectValue* v = Get(name)) {
      if (v->kind != TObjectValue::TKind::Integer || v->integer < min || v->integer > max) {
        Fail(std::string(name) + " is not an integer in range");
      }
      out = static_cast<std::remove_reference_t<decltype(out)>>(v->integer);
    }
  }
  void Int(const char* name, int& out) { Int(name, INT32_MIN, INT32_MAX, out); }

  void Str(const char* name, std::string& out) {
    if (const TObjectValue* v = Get(name)) {
      if (v->kind != TObjectValue::TKind::String) Fail(std::string(name) + " is not a string");
      out = v->text;
    }
  }

  void Bool(const char* name, bool& out) {
    if (const TObjectValue* v = Get(name)) {
      if (v->kind != TObjectValue::TKind::Ident || (v->text != "True" && v->text != "False")) {
        Fail(std::string(name) + " is not True or False");
      }
      out = v->text == "True";
    }
  }

  void Date(const char* name, double& out) {
    if (const TObjectValue* v = Get(name)) {
      if (v->kind == TObjectValue::TKind::Float)
        out = v->real;
      else if (v->kind == TObjectValue::TKind::Integer)
        out = static_cast<double>(v->integer);
      else
        Fail(std::string(name) + " is not a number");
    }
  }

  template <typename E, typename Parse>
  void Enum(const char* name, E& out, Parse parse) {
    if (const TObjectValue* v = Get(name)) {
      std::optional<E> e;
      if (v->kind == TObjectValue::TKind::Ident) e = parse(v->text);
      if (!e) Fail(std::string(name) + " has an unknown value");
      out = *e;
    }
  }

  const std::vector<TObjectProps>* Items(const char* name) {
    const TObjectValue* v = Get(name);
    if (!v) return nullptr;
    if (v->kind != TObjectValue::TKind::Collection)
      Fail(std::string(name) + " is not a collection");
    return &v->items;
  }

  void Done() {
    if (!values_.empty()) Fail("unknown property " + values_.begin()->first);
  }

 private:
  std::string where_;
  std::map<std::string, const TObjectValue*> values_;
};

TObjectProps KeyFieldProps(const TKeyFieldItem& k) {
  TPropWriter w;
  w.Str("FieldName", k.FieldName);
  w.Ident("DataType", FieldTypeName(k.DataType));
  w.Int("FieldSize", k.FieldSize);
  w.Bool("CaseInsensitive", k.CaseInsensitive);
  w.Bool("Descending", k.Descending);
  w.Bool("IsVariable", k.IsVariable);
  w.Int("RecBufOffset", k.RecBufOffset);
  w.Int("NullFlagOffset", k.NullFlagOffset);
  w.Int("SizeMarkerOffset", k.SizeMarkerOffset);
  w.Int("PhysicalFieldNo", k.PhysicalFieldNo);
  w.Str("IndexName", k.IndexName);
  w.Bool("Hidden", k.Hidden);
  w.Int("KeyIndex", k.KeyIndex);
  return w.props;
}

TObjectProps FieldProps(const TInternalFieldItem& f) {
  TPropWriter w;
  w.Str("FieldName", f.FieldName);
  w.Int("FieldNo", f.FieldNo);
  w.Int("FieldIndex", f.FieldIndex);
  w.Ident("DataType", FieldTypeName(f.DataType));
  w.Int("FieldSize", f.FieldSize);
  w.IntUnlessDefault("NumDecimalPlaces", f.NumDecimalPlaces, 0);
  w.Bool("Required", f.Required);
  w.Int("SizeMarkerOffset", f.SizeMarkerOffset);
  w.Int("DataOffset", f.DataOffset);
  w.Int("NullFlagOffset", f.NullFlagOffset);
  w.BoolUnlessFalse("IsVariable", f.IsVariable);
  w.Int("FieldGeneratorID", f.FieldGeneratorID);
  w.BoolUnlessFalse("Hidden", f.Hidden);
  if (f.CompressionMode != TCompressionMode::dcNone) {
    w.Ident("CompressionMode", CompressionName(f.CompressionMode));
  }
  return w.props;
}

TObjectProps IndexProps(const TInternalIndexDef& x) {
  TPropWriter w;
  w.Int("IndexSequence", x.IndexSequence);
  w.Str("IndexName", x.IndexName);
  w.Bool("Unique", x.Unique);
  w.Bool("Primary", x.Primary);
  w.Bool("Hidden", x.Hidden);
  w.Bool("Maintained", x.Maintained);
  w.Bool("Memory", x.Memory);
  w.Int("MaximumKeySize", x.MaximumKeySize);
  w.Int("KeyDataOffset", x.KeyDataOffset);
  w.Int("IndexPageSize", x.IndexPageSize);
  w.Ident("IndexKeyType", KeyTypeName(x.IndexKeyType));
  return w.props;
}

auto FieldTypeParser = [](std::string_view n) { return FieldTypeFromName(n); };

TKeyFieldItem ReadKeyField(const TObjectProps& props, int n) {
  TPropReader r(props, "KeyFields item " + std::to_string(n));
  TKeyFieldItem k;
  r.Str("FieldName", k.FieldName);
  r.Enum("DataType", k.DataType, FieldTypeParser);
  r.Int("FieldSize", k.FieldSize);
  r.Bool("CaseInsensitive", k.CaseInsensitive);
  r.Bool("Descending", k.Descending);
  r.Bool("IsVariable", k.IsVariable);
  r.Int("RecBufOffset", k.RecBufOffset);
  r.Int("NullFlagOffset", k.NullFlagOffset);
  r.Int("SizeMarkerOffset", k.SizeMarkerOffset);
  r.Int("PhysicalFieldNo", k.PhysicalFieldNo);
  r.Str("IndexName", k.IndexName);
  r.Bool("Hidden", k.Hidden);
  r.Int("KeyIndex", k.KeyIndex);
  r.Done();
  return k;
}

TInternalFieldItem ReadField(const TObjectProps& props, int n) {
  TPropReader r(props, "InternalFields item " + std::to_string(n));
  TInternalFieldItem f;
  r.Str("FieldName", f.FieldName);
  r.Int("FieldNo", f.FieldNo);
  r.Int("FieldIndex", f.FieldIndex);
  r.Enum("DataType", f.DataType, FieldTypeParser);
  r.Int("FieldSize", f.FieldSize);
  r.Int("NumDecimalPlaces", f.NumDecimalPlaces);
  r.Bool("Required", f.Required);
  r.Int("SizeMarkerOffset", f.SizeMarkerOffset);
  r.Int("DataOffset", f.DataOffset);
  r.Int("NullFlagOffset", f.NullFlagOffset);
  r.Bool("IsVariable", f.IsVariable);
  r.Int("FieldGeneratorID", INT64_MIN, INT64_MAX, f.FieldGeneratorID);
  r.Bool("Hidden", f.Hidden);
  r.Enum("CompressionMode", f.CompressionMode, CompressionFromName);
  r.Done();
  return f;
}

TInternalIndexDef ReadIndex(const TObjectProps& props, int n) {
  TPropReader r(props, "InternalIndexDefs item " + std::to_string(n));
  TInternalIndexDef x;
  r.Int("IndexSequence", x.IndexSequence);
  r.Str("IndexName", x.IndexName);
  r.Bool("Unique", x.Unique);
  r.Bool("Primary", x.Primary);
  r.Bool("Hidden", x.Hidden);
  r.Bool("Maintained", x.Maintained);
  r.Bool("Memory", x.Memory);
  r.Int("MaximumKeySize", x.MaximumKeySize);
  r.Int("KeyDataOffset", x.KeyDataOffset);
  r.Int("IndexPageSize", 0, UINT32_MAX, x.IndexPageSize);
  r.Enum("IndexKeyType", x.IndexKeyType, [](std::string_view t) -> std::optional<TIndexKeyType> {
    if (t == "ikFixed") return TIndexKeyType::ikFixed;
    if (t == "ikMinStringLen") return TIndexKeyType::ikMinStringLen;
    return std::nullopt;
  });
  r.Done();
  return x;
}

}  // namespace

std::string TableDefToText(const TTableDef& def) {
  TPropWriter w;
  w.Int("TableID", def.TableID);
  w.Int("OwnerFlag", def.OwnerFlag);
  w.Str("TableName", def.TableName);
  w.Str("AltName", def.AltName);
  w.Str("Version", def.Version);
  w.Str("OS", def.OS);
  w.Date("CreationDate", def.CreationDate);
  w.Date("LastModDate", def.LastModDate);
  w.Str("CreatedBy", def.CreatedBy);
  w.Str("Password", def.Password);
  w.Bool("Encrypted", def.Encrypted);
  w.Int("SecurityLevel", def.SecurityLevel);
  w.Bool("Memory", def.Memory);
  w.Int("RecordSize", def.RecordSize);
  w.IntUnlessDefault("DefaultBlobSize", def.DefaultBlobSize, kDefaultBlobSize);
  w.Bool("UsesBlobs", def.UsesBlobs);
  w.Ident("SortOrder", SortOrderName(def.SortOrder));
  w.Bool("InternalTable", def.InternalTable);
  w.Ident("EncryptionLevel", EncryptionLevelName(def.EncryptionLevel));
  std::vector<TObjectProps> items;
  for (const auto& k : def.KeyFields) items.push_back(KeyFieldProps(k));
  w.Items("KeyFields", std::move(items));
  items.clear();
  for (const auto& f : def.InternalFields) items.push_back(FieldProps(f));
  w.Items("InternalFields", std::move(items));
  items.clear();
  for (const auto& x : def.InternalIndexDefs) items.push_back(IndexProps(x));
  w.Items("InternalIndexDefs", std::move(items));
  w.Bool("BlobCompression", def.BlobCompression);
  return WriteObjectText({"TTableDef", std::move(w.props)});
}

TTableDef TableDefFromText(std::string_view text) {
  TObjectText object = ReadObjectText(text);
  TPropReader r(object.props, "TTableDef");
  if (object.className != "TTableDef") r.Fail("the object is a " + object.className);
  TTableDef def;
  r.Int("TableID", def.TableID);
  r.Int("OwnerFlag", 0, UINT32_MAX, def.OwnerFlag);
  r.Str("TableName", def.TableName);
  r.Str("AltName", def.AltName);
  r.Str("Version", def.Version);
  r.Str("OS", def.OS);
  r.Date("CreationDate", def.CreationDate);
  r.Date("LastModDate", def.LastModDate);
  r.Str("CreatedBy", def.CreatedBy);
  r.Str("Password", def.Password);
  r.Bool("Encrypted", def.Encrypted);
  r.Int("SecurityLevel", def.SecurityLevel);
  r.Bool("Memory", def.Memory);
  r.Int("RecordSize", def.RecordSize);
  r.Int("DefaultBlobSize", def.DefaultBlobSize);
  r.Bool("UsesBlobs", def.UsesBlobs);
  r.Enum("SortOrder", def.SortOrder, [](std::string_view n) { return SortOrderFromName(n); });
  r.Bool("InternalTable", def.InternalTable);
  r.Enum("EncryptionLevel", def.EncryptionLevel, EncryptionLevelFromName);
  int n = 0;
  if (const auto* items = r.Items("KeyFields"))
    for (const auto& item : *items) def.KeyFields.push_back(ReadKeyField(item, n++));
  n = 0;
  if (const auto* items = r.Items("InternalFields"))
    for (const auto& item : *items) def.InternalFields.push_back(ReadField(item, n++));
  n = 0;
  if (const auto* items = r.Items("InternalIndexDefs"))
    for (const auto& item : *items) def.InternalIndexDefs.push_back(ReadIndex(item, n++));
  r.Bool("BlobCompression", def.BlobCompression);
  r.Done();
  return def;
}

void ValidateStoredTableDef(TTableDef& def) {
  if (def.TableName.empty() || def.TableName.size() > static_cast<size_t>(kMaxTableNameLength)) {
    Damaged(def, "invalid table name");
  }
  const int n = static_cast<int>(def.InternalFields.size());
  if (n < 1 || n > kMaxFields) Damaged(def, "invalid field count " + std::to_string(n));
  std::set<int> fieldIndexes;
  for (int i = 0; i < n; ++i) {
    const TInternalFieldItem& f = def.InternalFields[static_cast<size_t>(i)];
    const std::string which = "field " + std::to_string(i) + " (" + f.FieldName + ")";
    if (f.FieldName.empty() || f.FieldName.size() > static_cast<size_t>(kMaxFieldNameLength) ||
        def.FindField(f.FieldName) != i) {
      Damaged(def, which + ": invalid or repeated name");
    }
    if (f.FieldNo != i) Damaged(def, which + ": field number " + std::to_string(f.FieldNo));
    if (f.FieldIndex < 0 || f.FieldIndex >= n || !fieldIndexes.insert(f.FieldIndex).second) {
      Damaged(def, which + ": invalid field index");
    }
    if (!IsStorableFieldType(f.DataType)) Damaged(def, which + ": invalid type");
    if ((f.DataType == TFieldType::ftString || f.DataType == TFieldType::ftBytes) &&
        (f.FieldSize < 2 || f.FieldSize > 256)) {
      Damaged(def, which + ": invalid size " + std::to_string(f.FieldSize));
    }
  }
  const int storedSize = def.RecordSize;
  const bool storedUsesBlobs = def.UsesBlobs;
  AssignRecordLayout(def);
  if (def.RecordSize != storedSize) {
    Damaged(def, "record size " + std::to_string(storedSize) + ", the fields need " +
                     std::to_string(def.RecordSize));
  }
  if (def.UsesBlobs != storedUsesBlobs) Damaged(def, "UsesBlobs does not match the fields");
  if (def.UsesBlobs && (def.DefaultBlobSize <= 16 || def.DefaultBlobSize > 65536)) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TZuzBaseTable.Open",
                     "DefaultBlobSize has not been set or is out of range", kObject);
  }
  const int indexCount = static_cast<int>(def.InternalIndexDefs.size());
  if (indexCount < 1 || indexCount > kMaxDeclaredIndexes + 2) {
    Damaged(def, "invalid index count " + std::to_string(indexCount));
  }
  for (int i = 0; i < indexCount; ++i) {
    TInternalIndexDef& x = def.InternalIndexDefs[static_cast<size_t>(i)];
    const std::string which = "index " + std::to_string(i) + " (" + x.IndexName + ")";
    if (x.IndexSequence != i) Damaged(def, which + ": invalid sequence");
    for (int j = 0; j < i; ++j) {
      if (SameTextIgnoringCase(def.InternalIndexDefs[static_cast<size_t>(j)].IndexName,
                               x.IndexName)) {
        Damaged(def, which + ": repeated name");
      }
    }
    std::vector<TKeyFieldItem> keys = def.KeyFieldsOf(x.IndexName);
    if (keys.empty() || static_cast<int>(keys.size()) > kMaxKeyFieldsPerIndex) {
      Damaged(def, which + ": invalid key fields");
    }
    if (x.IndexPageSize != kIndexPageSize) Damaged(def, which + ": invalid page size");
    if (x.KeyDataOffset != static_cast<int>(keys.size()) / 8 + 1 ||
        x.MaximumKeySize > kMaxKeySize) {
      Damaged(def, which + ": invalid key size");
    }
  }
  for (auto& k : def.KeyFields) {
    if (!def.FindIndex(k.IndexName)) Damaged(def, "key field of unknown index " + k.IndexName);
    if (k.PhysicalFieldNo == -1) {
      if (!k.Hidden || k.RecBufOffset != kRecSequence || k.NullFlagOffset != kRecStatus ||
          k.DataType != TFieldType::ftInteger) {
        Damaged(def, "invalid sequence key field");
      }
      continue;
    }
    if (k.PhysicalFieldNo < 0 || k.PhysicalFieldNo >= n) Damaged(def, "invalid key field number");
    const TInternalFieldItem& f = def.InternalFields[static_cast<size_t>(k.PhysicalFieldNo)];
    if (!SameTextIgnoringCase(f.FieldName, k.FieldName) || f.DataType != k.DataType ||
        f.DataType == TFieldType::ftBytes || IsBlobFieldType(f.DataType)) {
      Damaged(def, "key field " + k.FieldName + " does not match its field");
    }
    CopyFieldIntoKey(f, k);
  }
  for (auto& x : def.InternalIndexDefs) {
    if (x.MaximumKeySize != KeySizeOf(def.KeyFieldsOf(x.IndexName), x.KeyDataOffset)) {
      Damaged(def, "index " + x.IndexName + ": key size does not match its key fields");
    }
  }
}

}  // namespace zuz
