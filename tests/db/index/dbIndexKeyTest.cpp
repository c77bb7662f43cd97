// Key entries: their bytes as built from record images and from values, the comparison rules
// and the two sort orders, and damaged input.
#include <gtest/gtest.h>

#include "db/index/zuzKeyCollation.h"
#include "db/index/zuzKeyFormat.h"
#include "tests/db/index/dbIndexTestUtil.h"

namespace zuz::test {
namespace {

using F = TFieldType;

TKeyFormat FormatOf(const TTestIndex& ix, TSortOrder order = TSortOrder::soASCII) {
  return TKeyFormat(ix.keyFields, ix.keyDataOffset, ix.maximumKeySize, SortOrderFunction(order),
                    "test");
}

std::vector<uint8_t> KeyOf(const TKeyFormat& f, const TTestRecord& r) {
  std::vector<uint8_t> key(static_cast<size_t>(f.MaximumKeySize()));
  f.BuildFromRecord(r.Image(), key.data());
  return key;
}

std::vector<uint8_t> KeyOf(const TKeyFormat& f, const std::vector<TKeyValue>& values) {
  std::vector<uint8_t> key(static_cast<size_t>(f.MaximumKeySize()));
  f.BuildFromValues(values, key.data());
  return key;
}

// cmp(a, b) over all fields.
int Cmp(const TKeyFormat& f, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  return f.CompareKeys(0, nullptr, b.data(), a.data());
}

// Sets a collation for one test and restores the previous one.
class TCollationGuard {
 public:
  explicit TCollationGuard(const std::string& name)
      : previous_(CollationLocaleName()), ok_(SetCollationLocale(name)) {}
  ~TCollationGuard() { SetCollationLocale(previous_); }
  bool Ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_;
};

TEST(DbIndexKey, EntryBytesFromRecordImage) {
  TTestLayout layout({{F::ftInteger}, {F::ftString, 40}, {F::ftBoolean}, {F::ftDate}});
  // The sizes of the two usual shapes.
  TTestIndex byName(layout, {1}, true);
  EXPECT_EQ(byName.keyDataOffset, 1);
  EXPECT_EQ(byName.maximumKeySize, 54);
  TTestIndex byId(layout, {0}, false);
  EXPECT_EQ(byId.keyFields.size(), 2u);
  EXPECT_EQ(byId.maximumKeySize, 19);

  // A non-unique index on (Name, Id, Done, Due) with Id NULL.
  TTestIndex ix(layout, {1, 0, 2, 3}, false);
  TKeyFormat f = FormatOf(ix);
  TTestRecord r(layout, 0x01020304);
  r.Str(1, "Tom").Int(2, 1).Real(3, 45000.5);
  std::vector<uint8_t> key = KeyOf(f, r);
  ASSERT_EQ(static_cast<int>(key.size()), 10 + 1 + 2 + 41 + 4 + 1 + 8 + 4);
  EXPECT_EQ(GetU16(key.data()), key.size());
  EXPECT_EQ(GetU32(key.data() + 2), 0u);
  EXPECT_EQ(GetU32(key.data() + 6), 0u);
  EXPECT_EQ(key[10], 0x80 | 0x20 | 0x10 | 0x08);  // Name, Done, Due, sequence; Id absent
  EXPECT_EQ(GetU16(key.data() + 11), 3);
  EXPECT_EQ(std::string(key.begin() + 13, key.begin() + 16), "Tom");
  EXPECT_EQ(key[16], 1);  // Done follows the name directly: no bytes for the absent Id
  EXPECT_EQ(GetF64(key.data() + 17), 45000.5);
  EXPECT_EQ(GetU32(key.data() + 25), 0x01020304u);
  for (size_t i = 29; i < key.size(); ++i) ASSERT_EQ(key[i], 0) << i;

  // Only a null flag of exactly 1 makes a field present.
  r.bytes[static_cast<size_t>(layout.nullOffset[2])] = 2;
  EXPECT_EQ(KeyOf(f, r)[10], 0x80 | 0x10 | 0x08);
  EXPECT_EQ(f.Describe(KeyOf(f, r).data()), "('Tom', NULL, NULL, 45000.5, 16909060)");
}

TEST(DbIndexKey, DamagedRecordImagesAndEntriesAreRefused) {
  TTestLayout layout({{F::ftString, 10}, {F::ftInteger}});
  TTestIndex ix(layout, {0, 1}, true);
  TKeyFormat f = FormatOf(ix);
  TTestRecord r(layout, 1);
  r.Str(0, "abc").Int(1, 5);
  PutU16(r.bytes.data() + layout.markerOffset[0], 12);  // longer than the field
  std::vector<uint8_t> out(static_cast<size_t>(f.MaximumKeySize()));
  EXPECT_EQ(ErrorTextOf([&] { f.BuildFromRecord(r.Image(), out.data()); }),
            "String length out of range: 12");
  std::span<const uint8_t> cut(r.bytes.data(), 20);  // an image too short for the fields
  EXPECT_EQ(ErrorCodeOf([&] { f.BuildFromRecord(cut, out.data()); }), ZUZ_ERR_INTERNAL);

  PutU16(r.bytes.data() + layout.markerOffset[0], 3);
  std::vector<uint8_t> good = KeyOf(f, r);
  std::vector<uint8_t> bad = good;
  PutU16(bad.data() + 11, 200);  // the string runs past the entry
  EXPECT_EQ(ErrorTextOf([&] { f.CompareKeys(0, nullptr, bad.data(), good.data()); }),
            "KeySize out of range");
  bad = good;
  PutU16(bad.data(), 0);
  EXPECT_EQ(ErrorTextOf([&] { f.CompareKeys(0, nullptr, bad.data(), good.data()); }),
            "Invalid key size: 0");
}

TEST(DbIndexKey, DefinitionsAreChecked) {
  TTestLayout layout({{F::ftString, 10}, {F::ftBytes, 4}});
  TTestIndex ix(layout, {0}, true);
  auto make = [&](const TKeyFields& fields, int kdo, int m, TSortOrderFunc sort) {
    return [=] { TKeyFormat(fields, kdo, m, sort, "test"); };
  };
  TSortOrderFunc sort = SortOrderFunction(TSortOrder::soASCII);
  EXPECT_EQ(ErrorTextOf(make(ix.keyFields, 1, 0, sort)), "MaxKeySize is 0");
  EXPECT_EQ(ErrorTextOf(make(ix.keyFields, 1, ix.maximumKeySize - 1, sort)),
            "Invalid key size: " + std::to_string(ix.maximumKeySize - 1));
  EXPECT_EQ(ErrorTextOf(make(ix.keyFields, 2, ix.maximumKeySize, sort)),
            "KeyDataOffset has not been set or is out of range");
  TKeyFields noMarker = ix.keyFields;
  noMarker[0].SizeMarkerOffset = 0;
  EXPECT_EQ(ErrorTextOf(make(noMarker, 1, ix.maximumKeySize, sort)),
            "KeyOffset has not been set or is out of range");
  TKeyFields bytes = ix.keyFields;
  bytes[0].DataType = F::ftBytes;
  EXPECT_EQ(ErrorCodeOf(make(bytes, 1, ix.maximumKeySize, sort)), ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(ErrorCodeOf(make({}, 1, 20, sort)), ZUZ_ERR_INTERNAL);
}

TEST(DbIndexKey, KeysFromValues) {
  TTestLayout layout({{F::ftSmallint},
                      {F::ftWord},
                      {F::ftInteger},
                      {F::ftBoolean},
                      {F::ftFloat},
                      {F::ftString, 5},
                      {F::ftAutoInc}});
  TTestIndex ix(layout, {0, 1, 2, 3, 4, 5, 6}, true);
  TKeyFormat f = FormatOf(ix);
  // Conversions between the value kinds; values missing at the end are NULL.
  auto key = KeyOf(f, {int64_t{-3}, std::string("65535"), 7.0, std::string("TRUE"),
                       std::string("2.5"), int64_t{42}});
  EXPECT_EQ(f.Describe(key.data()), "(-3, 65535, 7, True, 2.5, '42', NULL)");
  key = KeyOf(f, {TKeyValue{}, true, false, 0.25, int64_t{3}, 1.5});
  EXPECT_EQ(f.Describe(key.data()), "(NULL, 1, 0, True, 3, '1.5', NULL)");
  // A text longer than the field is cut to the field's size (declared length + 1).
  key = KeyOf(f, {int64_t{1}, int64_t{1}, int64_t{1}, true, 1.0, std::string("abcdefghij")});
  EXPECT_EQ(f.Describe(key.data()), "(1, 1, 1, True, 1, 'abcdef', NULL)");
  // The same values from a record image give the same key.
  TTestRecord r(layout, 9);
  r.Int(0, 1).Int(1, 1).Int(2, 1).Int(3, 1).Real(4, 1.0).Str(5, "abcdef");
  EXPECT_EQ(KeyOf(f, r), key);

  // Values that do not fit the type are refused, never rounded or wrapped.
  EXPECT_EQ(ErrorCodeOf([&] { KeyOf(f, {int64_t{40000}}); }), ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(ErrorCodeOf([&] { KeyOf(f, {TKeyValue{}, int64_t{-1}}); }), ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(ErrorTextOf([&] {
              KeyOf(f, {TKeyValue{}, TKeyValue{}, 2.5});
            }),
            "2.5 is not a valid value for ftInteger");
  EXPECT_EQ(ErrorCodeOf([&] {
              KeyOf(f, {TKeyValue{}, TKeyValue{}, std::string("x1")});
            }),
            ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(ErrorCodeOf([&] {
              KeyOf(f, {TKeyValue{}, TKeyValue{}, int64_t{1} << 31});
            }),
            ZUZ_ERR_FIELD_TYPE);
  EXPECT_EQ(ErrorCodeOf([&] {
              KeyOf(f, {TKeyValue{}, TKeyValue{}, TKeyValue{}, std::string("maybe")});
            }),
            ZUZ_ERR_FIELD_TYPE);
}

TEST(DbIndexKey, ComparisonByTypeNullsAndDirection) {
  TTestLayout layout({{F::ftSmallint}, {F::ftWord}, {F::ftFloat}, {F::ftInteger}});
  // Smallint ascending, Word descending, Float ascending, Integer descending.
  TTestIndex ix(layout, {0, 1, 2, 3}, true, {false, true, false, true});
  TKeyFormat f = FormatOf(ix);
  auto key = [&](const std::vector<TKeyValue>& v) { return KeyOf(f, v); };
  const TKeyValue null{};
  // Signed 16-bit: -1 before 1 (bytes FF FF vs 01 00).
  EXPECT_EQ(Cmp(f, key({int64_t{-1}}), key({int64_t{1}})), -1);
  // NULL first in an ascending field, last in a descending one.
  EXPECT_EQ(Cmp(f, key({null}), key({int64_t{-32768}})), -1);
  EXPECT_EQ(Cmp(f, key({null}), key({null})), 0);
  EXPECT_EQ(Cmp(f, key({int64_t{0}, null}), key({int64_t{0}, int64_t{0}})), 1);
  // Unsigned 16-bit, descending: 65535 before 1.
  EXPECT_EQ(Cmp(f, key({int64_t{0}, int64_t{0xFFFF}}), key({int64_t{0}, int64_t{1}})), -1);
  // Doubles, with NaN first and -0 equal to 0.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Cmp(f, key({null, null, -0.5}), key({null, null, 0.25})), -1);
  EXPECT_EQ(Cmp(f, key({null, null, -0.0}), key({null, null, 0.0})), 0);
  EXPECT_EQ(Cmp(f, key({null, null, nan}), key({null, null, -1e300})), -1);
  // The first unequal field decides.
  EXPECT_EQ(Cmp(f, key({int64_t{1}, int64_t{1}, 1.0, int64_t{5}}),
                key({int64_t{1}, int64_t{1}, 1.0, int64_t{-5}})),
            -1);
  EXPECT_EQ(Cmp(f, key({int64_t{2}, int64_t{9}}), key({int64_t{1}, int64_t{1}})), 1);
  // A field count limits the comparison.
  auto a = key({int64_t{1}, int64_t{2}}), b = key({int64_t{1}, int64_t{3}});
  EXPECT_EQ(f.CompareKeys(1, nullptr, b.data(), a.data()), 0);
  EXPECT_EQ(f.CompareKeys(2, nullptr, b.data(), a.data()), 1);
}

TEST(DbIndexKey, PartialFlagsAndTheDecodedKeyAgree) {
  TTestLayout layout({{F::ftInteger}, {F::ftString, 8}, {F::ftInteger}});
  TTestIndex ix(layout, {0, 1, 2}, true, {false, true, false});
  TKeyFormat f = FormatOf(ix);
  auto stored = KeyOf(f, {int64_t{5}, std::string("m"), int64_t{1}});
  auto search = KeyOf(f, {int64_t{5}, std::string("zz")});
  // Flag 0 / 2 on field 1: before / after every key agreeing on field 0, not negated by the
  // descending direction of field 1; a flag on field 0 wins over everything.
  for (const TPartialFlags& flags : {TPartialFlags{1, 0}, TPartialFlags{1, 2}, TPartialFlags{2, 0},
                                     TPartialFlags{1, 1, 0}, TPartialFlags{}}) {
    const int expected = f.CompareKeys(0, &flags, stored.data(), search.data());
    TOptimizedSearchKey opt;
    opt.Build(f, search.data(), &flags);
    EXPECT_EQ(opt.Compare(f, 3, stored.data(), true), expected);
  }
  TPartialFlags before{1, 0}, after{1, 2}, third{1, 1, 0};
  EXPECT_EQ(f.CompareKeys(0, &before, stored.data(), search.data()), -1);
  EXPECT_EQ(f.CompareKeys(0, &after, stored.data(), search.data()), 1);
  // Without flags: "zz" after "m", negated by the descending field.
  EXPECT_EQ(f.CompareKeys(0, nullptr, stored.data(), search.data()), -1);
  EXPECT_EQ(f.CompareKeys(0, &third, stored.data(), search.data()), -1);
  // A flag takes effect only once the fields before it are equal.
  auto other = KeyOf(f, {int64_t{4}});
  EXPECT_EQ(f.CompareKeys(0, &before, other.data(), search.data()), 1);
}

TEST(DbIndexKey, ByteOrderAndCaseUnderSoAscii) {
  auto cmp = CompareStringsASCII;
  auto s = [](const char* t) { return reinterpret_cast<const uint8_t*>(t); };
  EXPECT_EQ(cmp(s("Zebra"), 5, s("apple"), 5, false), -1);
  EXPECT_EQ(cmp(s("Zebra"), 5, s("apple"), 5, true), 1);
  EXPECT_EQ(cmp(s("abc"), 3, s("ABC"), 3, true), 0);
  EXPECT_EQ(cmp(s("abc"), 3, s("ABC"), 3, false), 1);
  EXPECT_EQ(cmp(s("ab"), 2, s("abc"), 3, false), -1);
  EXPECT_EQ(cmp(s("_"), 1, s("a"), 1, true), 1);                // 'a' folds to 'A', below '_'
  EXPECT_EQ(cmp(s("\xC3\xA9"), 2, s("\xC3\x89"), 2, true), 1);  // no Latin-1 folding
  EXPECT_EQ(cmp(s(""), 0, s(""), 0, false), 0);
}

TEST(DbIndexKey, LocaleCollationUnderSoAnsi) {
  auto cmp = CompareStringsANSI;
  auto s = [](const char* t) { return reinterpret_cast<const uint8_t*>(t); };
  {
    TCollationGuard c("C.UTF-8");
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(cmp(s("Zebra"), 5, s("apple"), 5, false), -1);  // code point order
    // Case-insensitive: ASCII and Latin-1 letters fold to upper case.
    EXPECT_EQ(cmp(s("abc"), 3, s("ABC"), 3, true), 0);
    EXPECT_EQ(cmp(s("\xC3\xA9t\xC3\xA9"), 5, s("\xC3\x89T\xC3\x89"), 5, true), 0);  // été ÉTÉ
    EXPECT_EQ(cmp(s("\xC3\xBF"), 2, s("\xC5\xB8"), 2, true), 0);                    // ÿ Ÿ
    EXPECT_EQ(cmp(s("\xC3\xB7"), 2, s("\xC3\x97"), 2, true), 1);  // ÷ and × are not letters
    // Equal under the collation: the shorter string first; an embedded zero ends the copy.
    EXPECT_EQ(cmp(s("ab"), 2, s("abc"), 3, false), -1);
    EXPECT_EQ(cmp(s("a\0x"), 3, s("a\0y"), 3, false), 0);
    EXPECT_EQ(cmp(s("a\0x"), 3, s("a"), 1, false), 1);
  }
  TCollationGuard c("en_US.UTF-8");
  if (!c.Ok()) GTEST_SKIP() << "the locale en_US.UTF-8 is not installed";
  EXPECT_EQ(cmp(s("Zebra"), 5, s("apple"), 5, false), 1);  // the language's order: a before Z
  EXPECT_EQ(cmp(s("apple"), 5, s("Apple"), 5, true), 0);
  EXPECT_EQ(cmp(s("\xC3\xA9"), 2, s("f"), 1, false), -1);  // é among the e's
  EXPECT_FALSE(SetCollationLocale("xx_NOWHERE.UTF-8"));
  EXPECT_EQ(CollationLocaleName(), "en_US.UTF-8");
}

TEST(DbIndexKey, UniqueCaseInsensitiveStringKeysCollide) {
  TTestLayout layout({{F::ftString, 20}});
  TTestIndex ix(layout, {0}, true, {}, {true});
  TKeyFormat f = FormatOf(ix, TSortOrder::soANSI);
  TTestRecord a(layout, 1), b(layout, 2);
  a.Str(0, "Smith");
  b.Str(0, "SMITH");
  EXPECT_EQ(Cmp(f, KeyOf(f, a), KeyOf(f, b)), 0);
  // Two absent values are equal too, so a unique index takes only one NULL.
  TTestRecord n1(layout, 3), n2(layout, 4);
  EXPECT_EQ(Cmp(f, KeyOf(f, n1), KeyOf(f, n2)), 0);
}

}  // namespace
}  // namespace zuz::test
