#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace {

// Every code point the reader yields for the bytes, a byte that starts no well-formed sequence
// giving 0xFFFFFFFF.
std::vector<char32_t> CodePoints(std::string_view bytes) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < bytes.size();) out.push_back(DecodeUtf8At(bytes, i).value_or(~0u));
  return out;
}

TEST(Utf8, OneRuleForMalformedSequences) {
  const char32_t bad = ~0u;
  EXPECT_EQ(CodePoints("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            (std::vector<char32_t>{'a', 0xE9, 0x20AC, 0x1F600}));
  // Over-long forms, surrogates, values above U+10FFFF, stray continuation bytes and a cut
  // sequence: each byte read on its own.
  EXPECT_EQ(CodePoints("\xC0\xAF"), (std::vector<char32_t>{bad, bad}));
  EXPECT_EQ(CodePoints("\xE0\x80\xAF"), (std::vector<char32_t>{bad, bad, bad}));
  EXPECT_EQ(CodePoints("\xED\xA0\x80"), (std::vector<char32_t>{bad, bad, bad}));
  EXPECT_EQ(CodePoints("\xF4\x90\x80\x80"), (std::vector<char32_t>{bad, bad, bad, bad}));
  EXPECT_EQ(CodePoints("\x80x"), (std::vector<char32_t>{bad, 'x'}));
  EXPECT_EQ(CodePoints("x\xE2\x82"), (std::vector<char32_t>{'x', bad, bad}));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));

  // The writer never writes what the reader would refuse.
  std::string out;
  AppendUtf8(out, 0xD800);
  AppendUtf8(out, 0x110000);
  AppendUtf8(out, 0x10FFFF);
  EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");

  EXPECT_EQ(Utf8Length("Łukasz 東京"), 9u);
  EXPECT_EQ(Utf8Length("\xC0\xAF"), 2u);
  EXPECT_EQ(Utf8Boundary("a東", 2), 1u);
}

TEST(Utf8, CaseBlindCompare) {
  EXPECT_TRUE(SameTextIgnoringCase("Tasks", "TASKS"));
  EXPECT_TRUE(SameTextIgnoringCase("Задачи", "ЗАДАЧИ"));
  EXPECT_FALSE(SameTextIgnoringCase("Task", "Tasks"));
  EXPECT_FALSE(SameTextIgnoringCase("Müller", "Mueller"));
  EXPECT_EQ(CompareTextIgnoringCase("apple", "BANANA"), -1);
  EXPECT_EQ(CompareTextIgnoringCase("Zebra", "apple"), 1);
  EXPECT_EQ(CompareTextIgnoringCase("ID", "id"), 0);
}

}  // namespace
