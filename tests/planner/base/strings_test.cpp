#include <algorithm>
#include <map>
#include <random>

#include "planner/base/Hashes.h"
#include "planner/base/qorQSort.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUserPrompts.h"
#include "tests/planner/base/test_util.h"

namespace {

class StringsTest : public RegionalTest {};

TEST_F(StringsTest, FastStringGrowsInSteps) {
  TqorFastString s;
  EXPECT_EQ(s.Capacity(), 0u);
  s.Append(std::string(100000, 'x'));
  EXPECT_EQ(s.Capacity(), 100000u);
  s.Append("0123456789");
  EXPECT_EQ(s.Capacity(), 165536u);
  s.Append("");
  EXPECT_EQ(s.Length(), 100010u);
  std::string text = s.GetText();
  EXPECT_EQ(text.size(), 100010u);
  EXPECT_EQ(text.substr(99998), "xx0123456789");
  EXPECT_EQ(s.Capacity(), 0u);
  s.Reset();
  EXPECT_EQ(s.Capacity(), 65536u);
  s.Append("ab");
  s.Append("c");
  EXPECT_EQ(s.GetText(), "abc");
  // Used again without Reset, it behaves like a fresh buffer.
  s.Append("d");
  EXPECT_EQ(s.GetText(), "d");
}

TEST_F(StringsTest, PosExAndPosText) {
  EXPECT_EQ(PosEx("b", "abcb", 3), 4);
  EXPECT_EQ(PosEx("b", "abcb", 5), 0);
  EXPECT_EQ(PosEx("b", "abcb"), 2);
  EXPECT_EQ(PosEx("cb", "abcb", 4), 0);
  EXPECT_EQ(PosEx("", "abc"), 0);
  EXPECT_EQ(PosEx("a", ""), 0);
  EXPECT_EQ(PosEx("a", "abc", -5), 1);

  EXPECT_EQ(PosText("ABC", "xxaBc", 1), 3);
  EXPECT_EQ(PosText("abc", "xxaBc", 4), 0);
  // Cyrillic letters of the single-byte code page fold; positions count bytes.
  EXPECT_EQ(PosText("привет", "Скажи ПРИВЕТ"), 12);
  EXPECT_EQ(PosText("ёжик", "ЁЖИК"), 1);
  EXPECT_EQ(PosText("ґї", "xҐЇ"), 2);
  // Letters outside the table do not fold.
  EXPECT_EQ(PosText("ü", "Ü"), 0);
  EXPECT_EQ(PosText("ѐ", "Ѐ"), 0);
  // A match never starts inside a character.
  EXPECT_EQ(PosText("\xB0", "а"), 0);
  EXPECT_EQ(FoldCase("Grüße, мир! ёЁ"), "GRüßE, МИР! ЁЁ");
}

TEST_F(StringsTest, ReplaceAllAndReplaceText) {
  EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("aa", "a", ""), "");
  EXPECT_EQ(ReplaceAll("abc", "z", "y"), "abc");
  EXPECT_EQ(ReplaceAll("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(ReplaceText("Abc aBC", "abc", "x"), "x x");
  EXPECT_EQ(ReplaceText("Мир мИР", "мир", "world"), "world world");
}

TEST_F(StringsTest, Numbers) {
  double v = 0;
  EXPECT_TRUE(IsFloat("1.5", v));
  EXPECT_EQ(v, 1.5);
  EXPECT_TRUE(IsFloat(" -2.5e-1 ", v));
  EXPECT_EQ(v, -0.25);
  EXPECT_TRUE(IsFloat("+.5", v));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(IsFloat("7.", v));
  for (const char* bad :
       {"", " ", ".", "1.2.3", "1e", "abc", "1,5", "0x10", "1 2", "inf", "nan", "1e999"})
    EXPECT_FALSE(IsFloat(bad, v)) << bad;
  EXPECT_TRUE(IsNumeric("42"));
  EXPECT_FALSE(IsNumeric("42a"));
  EXPECT_EQ(StrToFloatDef("x", -1), -1);
  EXPECT_EQ(StrToFloatDef("3.25", -1), 3.25);
  RegionalSettings().DecimalSeparator = ",";
  EXPECT_TRUE(IsFloat("1,5", v));
  EXPECT_EQ(v, 1.5);
  EXPECT_FALSE(IsFloat("1.5", v));
}

TEST_F(StringsTest, HtmlColors) {
  EXPECT_EQ(HtmlColorToColor("#F0F0F0"), (TqorColor{240, 240, 240}));
  EXPECT_EQ(HtmlColorToColor("#0a1B2c"), (TqorColor{10, 27, 44}));
  EXPECT_EQ(HtmlColorToColor("#GG0000"), TqorColor{});
  EXPECT_EQ(HtmlColorToColor("FF0000"), TqorColor{});
  EXPECT_EQ(HtmlColorToColor("#FF00000"), TqorColor{});
}

TEST_F(StringsTest, SoundexCodes) {
  auto code = [](char first, int d1, int d2, int d3) {
    return first + d1 * 26 + d2 * 156 + d3 * 936;
  };
  EXPECT_EQ(Soundex(""), 0);
  EXPECT_EQ(Soundex("robert"), code('R', 1, 6, 3));  // R163
  EXPECT_EQ(Soundex("Rupert"), code('R', 1, 6, 3));
  // A repeated digit is skipped even with a vowel between: m 5, c 2, z and k repeat 2.
  EXPECT_EQ(Soundex("Tymczak"), code('T', 5, 2, 0));
  EXPECT_EQ(Soundex("Lee"), code('L', 0, 0, 0));
  EXPECT_EQ(Soundex("Pfister"), code('P', 1, 2, 3));  // the first letter's own digit is ignored
  EXPECT_EQ(Soundex("Ashcraft"), code('A', 2, 6, 1));
}

TEST_F(StringsTest, FilesKeepBytes) {
  TempFile file("bytes");
  std::string bytes("a\r\nb\0c\xFF", 7);
  SaveStringToFile(file.path(), bytes);
  EXPECT_EQ(LoadStringFromFile(file.path()), bytes);
  SaveStringToFile(file.path(), "");
  EXPECT_EQ(LoadStringFromFile(file.path()), "");
  try {
    LoadStringFromFile("/nonexistent/x");
    FAIL();
  } catch (const EqorFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"/nonexistent/x\". No such file or directory");
  }
}

struct FakePrompts : TqorUserPrompts {
  bool answer = true;
  std::vector<std::string> seen;
  bool Confirm(const std::string& text) override {
    seen.push_back("?" + text);
    return answer;
  }
  void ShowMessage(const std::string& text) override { seen.push_back("!" + text); }
};

TEST_F(StringsTest, ConfirmAsksTheInstalledPrompts) {
  EXPECT_FALSE(Confirm("Delete?")) << "without prompts the answer is No";
  FakePrompts prompts;
  TqorUserPrompts* old = SetUserPrompts(&prompts);
  EXPECT_TRUE(Confirm("Delete?"));
  prompts.answer = false;
  EXPECT_FALSE(Confirm("Really?"));
  EXPECT_EQ(prompts.seen, (std::vector<std::string>{"?Delete?", "?Really?"}));
  SetUserPrompts(old);
}

TEST_F(StringsTest, QSortSortsLikeStdSort) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 3, 10, 100, 1000}) {
    for (int range : {3, 1000}) {
      std::vector<int> v(static_cast<size_t>(n));
      for (int& x : v) x = std::uniform_int_distribution<int>(0, range)(rng);
      std::vector<int> expected = v;
      std::sort(expected.begin(), expected.end());
      TqorQSort sorter;
      sorter.OnCompare = [&](int i, int j) { return (v[i] > v[j]) - (v[i] < v[j]); };
      sorter.OnExchange = [&](int i, int j) { std::swap(v[i], v[j]); };
      sorter.Sort(n);
      EXPECT_EQ(v, expected) << n << " " << range;
    }
  }
}

TEST_F(StringsTest, QSortSurvivesBadCallbacks) {
  FakePrompts prompts;
  TqorUserPrompts* old = SetUserPrompts(&prompts);
  std::vector<int> v{3, 1, 2};
  TqorQSort sorter;
  sorter.OnExchange = [&](int i, int j) { std::swap(v[i], v[j]); };
  sorter.Sort(3);  // no compare callback: everything is equal
  EXPECT_EQ(prompts.seen.size(), 0u);
  sorter.OnCompare = [](int, int) -> int { throw std::runtime_error("boom"); };
  sorter.Sort(3);
  ASSERT_FALSE(prompts.seen.empty());
  EXPECT_EQ(prompts.seen[0], "!can not test assigned oncompare");
  // An inconsistent comparison never sends positions outside the range.
  std::mt19937 rng(1);
  std::vector<int> w(50);
  sorter.OnCompare = [&](int i, int j) {
    EXPECT_TRUE(i >= 0 && i < 50 && j >= 0 && j < 50);
    return std::uniform_int_distribution<int>(-1, 1)(rng);
  };
  sorter.OnExchange = [&](int i, int j) { std::swap(w.at(i), w.at(j)); };
  sorter.Sort(50);
  SetUserPrompts(old);
}

TEST(HashesTest, ObjectAndStringHashes) {
  TStringHash s;
  s.Set("a", "1");
  s.Set("a", "2");
  s.Set("A", "3");
  EXPECT_EQ(*s.Find("a"), "2");
  EXPECT_EQ(*s.Find("A"), "3");
  EXPECT_EQ(s.Count(), 2u);
  EXPECT_TRUE(s.Delete("a"));
  EXPECT_FALSE(s.Delete("a"));
  EXPECT_EQ(s.Find("a"), nullptr);
  try {
    s.Set("", "x");
    FAIL();
  } catch (const EHashError& e) {
    EXPECT_STREQ(e.what(), "Key cannot be an empty string");
  }

  // An owning table frees replaced and deleted objects.
  struct Counted {
    int* alive;
    explicit Counted(int* a) : alive(a) { ++*alive; }
    ~Counted() { --*alive; }
  };
  int alive = 0;
  {
    TObjectHash<Counted, true> owning;
    owning.Set("x", std::make_unique<Counted>(&alive));
    owning.Set("x", std::make_unique<Counted>(&alive));
    EXPECT_EQ(alive, 1);
    owning.Set("y", std::make_unique<Counted>(&alive));
    owning.Delete("y");
    EXPECT_EQ(alive, 1);
    EXPECT_THROW(owning.Set("", std::make_unique<Counted>(&alive)), EHashError);
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
  Counted kept(&alive);
  {
    TObjectHash<Counted> refs;
    refs.Set("k", &kept);
    EXPECT_EQ(refs.Find("k"), &kept);
  }
  EXPECT_EQ(alive, 1) << "a non-owning table frees nothing";
}

// Random insertions, replacements and deletions agree with a plain map (deletion moves
// colliding entries back, which is where an open-addressing table goes wrong).
TEST(HashesTest, AgreesWithAPlainMapUnderRandomChurn) {
  std::mt19937 rng(11);
  TStringHash table;
  std::map<std::string, std::string> model;
  for (int step = 0; step < 20000; ++step) {
    std::string key = "k" + std::to_string(std::uniform_int_distribution<int>(0, 600)(rng));
    switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
      case 0:
      case 1:
        table.Set(key, std::to_string(step));
        model[key] = std::to_string(step);
        break;
      case 2:
        ASSERT_EQ(table.Delete(key), model.erase(key) == 1) << step;
        break;
    }
    ASSERT_EQ(table.Count(), model.size());
    if (step % 500 == 0) {
      for (int k = 0; k <= 600; ++k) {
        std::string probe = "k" + std::to_string(k);
        auto it = model.find(probe);
        const std::string* found = table.Find(probe);
        ASSERT_EQ(found != nullptr, it != model.end()) << probe;
        if (found) {
          ASSERT_EQ(*found, it->second);
        }
      }
    }
  }
  table.Clear();
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(table.Find("k1"), nullptr);
}

}  // namespace
