// Key entries (layout in zuzKeyFormat.h): building, comparing and decoding.
#include "db/index/zuzKeyFormat.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kCompareKeys = "TBTree.CompareKeys";
constexpr const char* kCompareOptimized = "TBTree.CompareToOptimizedKey";
constexpr const char* kFromVariants = "TBTree.ConstructKeyBufFromVariants";

inline int Sign3(int64_t a, int64_t b) {
  return (a > b) - (a < b);
}

// A total order on doubles: NaN before every number, -0 equal to 0.
inline int CompareDoubles(double a, double b) {
  if (a < b) return -1;
  if (a > b) return 1;
  if (a == b) return 0;
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na && nb) return 0;
  return na ? -1 : 1;
}

std::string DoubleText(double d) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

[[noreturn]] void ConversionError(const std::string& what, TFieldType type) {
  ZuzDatabaseError(ZUZ_ERR_FIELD_TYPE, kFromVariants,
                   what + " is not a valid value for " + FieldTypeName(type), "TBTree");
}

std::string ValueText(const TKeyValue& v) {
  if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&v)) return DoubleText(*d);
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return "";
}

// A whole number from a value, for the integer key types.
int64_t ValueInteger(const TKeyValue& v, TFieldType type) {
  if (auto* i = std::get_if<int64_t>(&v)) return *i;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  double d = 0;
  if (auto* dv = std::get_if<double>(&v)) {
    d = *dv;
  } else {
    const std::string& s = std::get<std::string>(v);
    int64_t i = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), i);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return i;
    auto rd = std::from_chars(s.data(), s.data() + s.size(), d);
    if (rd.ec != std::errc() || rd.ptr != s.data() + s.size()) ConversionError("'" + s + "'", type);
  }
  // Rounding a fraction would make a search find the neighbouring whole number.
  if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) {
    ConversionError(DoubleText(d), type);
  }
  return static_cast<int64_t>(d);
}

double ValueDouble(const TKeyValue& v, TFieldType type) {
  if (auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1.0 : 0.0;
  const std::string& s = std::get<std::string>(v);
  double d = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), d);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) ConversionError("'" + s + "'", type);
  return d;
}

bool ValueBoolean(const TKeyValue& v, TFieldType type) {
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* i = std::get_if<int64_t>(&v)) return *i != 0;
  if (auto* d = std::get_if<double>(&v)) return *d != 0;
  const std::string& s = std::get<std::string>(v);
  if (SameTextIgnoringCase(s, "true")) return true;
  if (SameTextIgnoringCase(s, "false")) return false;
  double d = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), d);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) ConversionError("'" + s + "'", type);
  return d != 0;
}

}  // namespace

TKeyFormat::TKeyFormat(TKeyFields fields, int keyDataOffset, int maximumKeySize,
                       TSortOrderFunc sortOrder, const char* caller)
    : fields_(std::move(fields)),
      keyDataOffset_(keyDataOffset),
      maximumKeySize_(maximumKeySize),
      sortOrder_(sortOrder) {
  const int n = FieldCount();
  if (n < 1 || n > kMaxKeyFields) {
    IndexError(caller, "Invalid number of key fields: " + std::to_string(n));
  }
  if (keyDataOffset_ != n / 8 + 1) {
    IndexError(caller, "KeyDataOffset has not been set or is out of range");
  }
  if (maximumKeySize_ <= 0) IndexAssert("MaxKeySize is 0");
  int size = keBitmap + keyDataOffset_;
  visibleFields_ = n;
  for (int k = 0; k < n; ++k) {
    const TKeyFieldItem& f = fields_[static_cast<size_t>(k)];
    TInfo info{};
    info.descending = f.Descending;
    info.caseInsensitive = f.CaseInsensitive;
    info.fieldSize = f.FieldSize;
    switch (f.DataType) {
      case TFieldType::ftSmallint:
        info.kind = TKind::kSmallint;
        break;
      case TFieldType::ftWord:
        info.kind = TKind::kWord;
        break;
      case TFieldType::ftInteger:
      case TFieldType::ftAutoInc:
        info.kind = TKind::kInteger;
        break;
      case TFieldType::ftBoolean:
        info.kind = TKind::kBoolean;
        break;
      case TFieldType::ftFloat:
      case TFieldType::ftCurrency:
      case TFieldType::ftDate:
      case TFieldType::ftTime:
      case TFieldType::ftDateTime:
        info.kind = TKind::kDouble;
        break;
      case TFieldType::ftString:
        info.kind = TKind::kString;
        if (f.SizeMarkerOffset <= 0)
          IndexError(caller, "KeyOffset has not been set or is out of range");
        if (f.FieldSize < 1 || f.FieldSize > 256) {
          IndexError(caller, "FieldSize has not been set or is out of range");
        }
        break;
      default:
        ZuzDatabaseError(ZUZ_ERR_FIELD_TYPE, caller, FieldTypeName(f.DataType), "TBTree");
    }
    info.width = KeyCoreSize(f.DataType);
    size += info.width + (info.kind == TKind::kString ? f.FieldSize : 0);
    if (f.KeyIndex != k) IndexAssert("Internal status error in assign KeyField");
    if (f.Hidden && visibleFields_ == n) visibleFields_ = k;
    info_.push_back(info);
  }
  if (maximumKeySize_ < size || maximumKeySize_ > kMaxKeySize) {
    IndexError(caller, "Invalid key size: " + std::to_string(maximumKeySize_));
  }
}

int TKeyFormat::SearchFieldCount(const TSearchModifier* modifier) const {
  if (!modifier || !modifier->Active) return FieldCount();
  if (modifier->FieldCount <= 0) return visibleFields_;
  return std::min(modifier->FieldCount, FieldCount());
}

void TKeyFormat::BuildFromRecord(std::span<const uint8_t> image, uint8_t* out) const {
  const char* caller = "TBTree.BuildKey";
  const int m = maximumKeySize_;
  std::memset(out, 0, static_cast<size_t>(m));
  PutU16(out + keEntrySize, static_cast<uint16_t>(m));
  const int64_t size = static_cast<int64_t>(image.size());
  int pos = keBitmap + keyDataOffset_;
  for (int k = 0; k < FieldCount(); ++k) {
    const TKeyFieldItem& f = fields_[static_cast<size_t>(k)];
    const TInfo& info = info_[static_cast<size_t>(k)];
    if (f.NullFlagOffset < 0 || f.NullFlagOffset >= size) {
      IndexError(caller, "Null flag offset out of range: " + std::to_string(f.NullFlagOffset));
    }
    if (image[static_cast<size_t>(f.NullFlagOffset)] != 1) continue;
    out[keBitmap + k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
    int length = info.width;
    const uint8_t* data = nullptr;
    if (info.kind == TKind::kString) {
      if (f.SizeMarkerOffset < 0 || f.SizeMarkerOffset + 2 > size) {
        IndexError(caller,
                   "Size marker offset out of range: " + std::to_string(f.SizeMarkerOffset));
      }
      length = GetU16(image.data() + f.SizeMarkerOffset);
      if (length > info.fieldSize) {
        IndexError(caller, "String length out of range: " + std::to_string(length));
      }
      PutU16(out + pos, static_cast<uint16_t>(length));
      pos += 2;
    }
    if (f.RecBufOffset < 0 || f.RecBufOffset + length > size) {
      IndexError(caller, "Field offset out of range: " + std::to_string(f.RecBufOffset));
    }
    data = image.data() + f.RecBufOffset;
    if (length > 0) std::memcpy(out + pos, data, static_cast<size_t>(length));
    pos += length;
  }
}

void TKeyFormat::BuildFromValues(const std::vector<TKeyValue>& values, uint8_t* out) const {
  const int m = maximumKeySize_;
  std::memset(out, 0, static_cast<size_t>(m));
  PutU16(out + keEntrySize, static_cast<uint16_t>(m));
  int pos = keBitmap + keyDataOffset_;
  for (int k = 0; k < FieldCount(); ++k) {
    if (k >= static_cast<int>(values.size())) break;
    const TKeyValue& v = values[static_cast<size_t>(k)];
    if (std::holds_alternative<std::monostate>(v)) continue;
    const TKeyFieldItem& f = fields_[static_cast<size_t>(k)];
    const TInfo& info = info_[static_cast<size_t>(k)];
    uint8_t* p = out + pos;
    switch (info.kind) {
      case TKind::kString: {
        std::string s = ValueText(v);
        const int length = std::min(static_cast<int>(s.size()), info.fieldSize);
        PutU16(p, static_cast<uint16_t>(length));
        std::memcpy(p + 2, s.data(), static_cast<size_t>(length));
        pos += 2 + length;
        break;
      }
      case TKind::kSmallint:
      case TKind::kWord:
      case TKind::kInteger: {
        const int64_t i = ValueInteger(v, f.DataType);
        int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
        if (info.kind == TKind::kSmallint) lo = -32768, hi = 32767;
        if (info.kind == TKind::kWord) lo = 0, hi = 0xFFFF;
        if (i < lo || i > hi) ConversionError(std::to_string(i), f.DataType);
        if (info.width == 2) {
          PutU16(p, static_cast<uint16_t>(i));
        } else {
          PutU32(p, static_cast<uint32_t>(i));
        }
        pos += info.width;
        break;
      }
      case TKind::kBoolean:
        *p = ValueBoolean(v, f.DataType) ? 1 : 0;
        pos += 1;
        break;
      case TKind::kDouble:
        PutF64(p, ValueDouble(v, f.DataType));
        pos += 8;
        break;
    }
    out[keBitmap + k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
  }
}

bool TKeyFormat::NextValue(const uint8_t* entry, int k, int* pos, const uint8_t** data, int* length,
                           const char* caller) const {
  if (!Present(entry, k)) return false;
  const TInfo& info = info_[static_cast<size_t>(k)];
  int p = *pos;
  int n = info.width;
  if (info.kind == TKind::kString) {
    if (p + 2 > maximumKeySize_) IndexError(caller, "KeySize out of range");
    n = GetU16(entry + p);
    p += 2;
    if (n > info.fieldSize) IndexError(caller, "KeySize out of range");
  }
  if (p + n > maximumKeySize_) IndexError(caller, "KeySize out of range");
  *data = entry + p;
  *length = n;
  *pos = p + n;
  return true;
}

namespace {

int64_t DecodeInteger(int kind, const uint8_t* p) {
  switch (kind) {
    case 0:
      return static_cast<int16_t>(GetU16(p));
    case 1:
      return GetU16(p);
    case 2:
      return static_cast<int32_t>(GetU32(p));
    default:
      return p[0];
  }
}

}  // namespace

int TKeyFormat::CompareValues(int k, const uint8_t* a, int lengthA, const uint8_t* b,
                              int lengthB) const {
  const TInfo& info = info_[static_cast<size_t>(k)];
  switch (info.kind) {
    case TKind::kSmallint:
      return Sign3(DecodeInteger(0, a), DecodeInteger(0, b));
    case TKind::kWord:
      return Sign3(DecodeInteger(1, a), DecodeInteger(1, b));
    case TKind::kInteger:
      return Sign3(DecodeInteger(2, a), DecodeInteger(2, b));
    case TKind::kBoolean:
      return Sign3(a[0], b[0]);
    case TKind::kDouble:
      return CompareDoubles(GetF64(a), GetF64(b));
    case TKind::kString:
      return sortOrder_(a, lengthA, b, lengthB, info.caseInsensitive);
  }
  return 0;
}

int TKeyFormat::CompareKeys(int n, const TPartialFlags* flags, const uint8_t* stored,
                            const uint8_t* search) const {
  for (const uint8_t* e : {stored, search}) {
    const int size = GetU16(e + keEntrySize);
    if (size == 0 || size > maximumKeySize_) {
      IndexError(kCompareKeys, "Invalid key size: " + std::to_string(size));
    }
  }
  if (n <= 0 || n > FieldCount()) n = FieldCount();
  int posK = keBitmap + keyDataOffset_, posS = posK;
  for (int k = 0; k < n; ++k) {
    if (flags && k < static_cast<int>(flags->size()) && (*flags)[static_cast<size_t>(k)] != 1) {
      return (*flags)[static_cast<size_t>(k)] < 1 ? -1 : 1;
    }
    const uint8_t *dk = nullptr, *ds = nullptr;
    int lk = 0, ls = 0;
    const bool hk = NextValue(stored, k, &posK, &dk, &lk, kCompareKeys);
    const bool hs = NextValue(search, k, &posS, &ds, &ls, kCompareKeys);
    int r;
    if (!hk || !hs) {
      r = hs - hk;
    } else {
      r = CompareValues(k, ds, ls, dk, lk);
    }
    if (r != 0) return info_[static_cast<size_t>(k)].descending ? -r : r;
  }
  return 0;
}

bool TKeyFormat::FieldValue(const uint8_t* entry, int k, const uint8_t** data, int* length) const {
  if (k < 0 || k >= FieldCount()) IndexError("TBTree.LoadHashList", "Key field out of range");
  int pos = keBitmap + keyDataOffset_;
  const uint8_t* d = nullptr;
  int l = 0;
  for (int i = 0; i < k; ++i) NextValue(entry, i, &pos, &d, &l, "TBTree.LoadHashList");
  return NextValue(entry, k, &pos, data, length, "TBTree.LoadHashList");
}

std::string TKeyFormat::Describe(const uint8_t* entry) const {
  std::string out = "(";
  int pos = keBitmap + keyDataOffset_;
  for (int k = 0; k < FieldCount(); ++k) {
    if (k > 0) out += ", ";
    const uint8_t* d = nullptr;
    int l = 0;
    if (!NextValue(entry, k, &pos, &d, &l, "TBTree.Describe")) {
      out += "NULL";
      continue;
    }
    switch (info_[static_cast<size_t>(k)].kind) {
      case TKind::kSmallint:
        out += std::to_string(DecodeInteger(0, d));
        break;
      case TKind::kWord:
        out += std::to_string(DecodeInteger(1, d));
        break;
      case TKind::kInteger:
        out += std::to_string(DecodeInteger(2, d));
        break;
      case TKind::kBoolean:
        out += d[0] ? "True" : "False";
        break;
      case TKind::kDouble:
        out += DoubleText(GetF64(d));
        break;
      case TKind::kString: {
        out += '\'';
        for (int i = 0; i < l; ++i) {
          const char c = static_cast<char>(d[i]);
          if (c == '\'') out += '\'';
          out += c;
        }
        out += '\'';
        break;
      }
    }
  }
  return out + ")";
}

void TOptimizedSearchKey::Build(const TKeyFormat& format, const uint8_t* key,
                                const TPartialFlags* flags) {
  count_ = format.FieldCount();
  hasFlags_ = false;
  int pos = keBitmap + format.KeyDataOffset();
  for (int k = 0; k < count_; ++k) {
    TField& f = fields_[static_cast<size_t>(k)];
    f = TField{};
    if (flags && k < static_cast<int>(flags->size())) {
      f.flag = (*flags)[static_cast<size_t>(k)];
      if (f.flag != 1) hasFlags_ = true;
    }
    const uint8_t* d = nullptr;
    int l = 0;
    f.present = format.NextValue(key, k, &pos, &d, &l, kCompareOptimized);
    if (!f.present) continue;
    switch (format.info_[static_cast<size_t>(k)].kind) {
      case TKeyFormat::TKind::kSmallint:
        f.integer = DecodeInteger(0, d);
        break;
      case TKeyFormat::TKind::kWord:
        f.integer = DecodeInteger(1, d);
        break;
      case TKeyFormat::TKind::kInteger:
        f.integer = DecodeInteger(2, d);
        break;
      case TKeyFormat::TKind::kBoolean:
        f.integer = d[0];
        break;
      case TKeyFormat::TKind::kDouble:
        f.real = GetF64(d);
        break;
      case TKeyFormat::TKind::kString:
        f.text = d;
        f.length = l;
        break;
    }
  }
}

int TOptimizedSearchKey::Compare(const TKeyFormat& format, int n, const uint8_t* stored,
                                 bool honourFlags) const {
  const int m = format.MaximumKeySize();
  int pos = keBitmap + format.KeyDataOffset();
  if (n > count_) n = count_;
  for (int k = 0; k < n; ++k) {
    const TField& s = fields_[static_cast<size_t>(k)];
    if (honourFlags && s.flag != 1) return s.flag < 1 ? -1 : 1;
    const TKeyFormat::TInfo& info = format.info_[static_cast<size_t>(k)];
    const bool present = TKeyFormat::Present(stored, k);
    int r = 0;
    if (!present || !s.present) {
      r = s.present - present;
    } else {
      const uint8_t* d = stored + pos;
      int width = info.width;
      if (info.kind == TKeyFormat::TKind::kString) {
        if (pos + 2 > m) IndexError(kCompareOptimized, "KeySize out of range");
        width = GetU16(d);
        d += 2;
        pos += 2;
        if (width > info.fieldSize) IndexError(kCompareOptimized, "KeySize out of range");
      }
      if (pos + width > m) IndexError(kCompareOptimized, "KeySize out of range");
      pos += width;
      switch (info.kind) {
        case TKeyFormat::TKind::kSmallint:
          r = Sign3(s.integer, DecodeInteger(0, d));
          break;
        case TKeyFormat::TKind::kWord:
          r = Sign3(s.integer, DecodeInteger(1, d));
          break;
        case TKeyFormat::TKind::kInteger:
          r = Sign3(s.integer, DecodeInteger(2, d));
          break;
        case TKeyFormat::TKind::kBoolean:
          r = Sign3(s.integer, d[0]);
          break;
        case TKeyFormat::TKind::kDouble:
          r = CompareDoubles(s.real, GetF64(d));
          break;
        case TKeyFormat::TKind::kString:
          r = format.sortOrder_(s.text, s.length, d, width, info.caseInsensitive);
          break;
      }
    }
    if (r != 0) return info.descending ? -r : r;
  }
  return 0;
}

}  // namespace zuz
