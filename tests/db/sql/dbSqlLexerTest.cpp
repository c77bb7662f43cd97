// The lexer: token kinds, reserved words and two-word keywords, the quoting rules, comments,
// signed numbers, positions in characters and lines, and input that forms no token.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/sql/zuzSqlLexer.h"

namespace zuz::test {
namespace {

using K = TSqlTokenKind;

// "kind:text" for every token but the final end of the text.
std::vector<std::string> Tokens(std::string_view text) {
  std::vector<TSqlToken> tokens = SqlTokenize(text);
  std::vector<std::string> out;
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    const TSqlToken& t = tokens[i];
    std::string kind;
    switch (t.Kind) {
      case K::Identifier:
        kind = "id";
        break;
      case K::Qualifier:
        kind = "q";
        break;
      case K::String:
        kind = "str";
        break;
      case K::Number:
        kind = "num";
        break;
      case K::Operator:
        kind = "op";
        break;
      case K::Punctuation:
        kind = "p";
        break;
      case K::End:
        kind = "end";
        break;
      case K::Parameter:
        kind = "param";
        break;
      case K::Keyword:
        kind = "kw";
        break;
      case K::Aggregate:
        kind = "agg";
        break;
      case K::StringFunction:
        kind = "fn";
        break;
      case K::DataType:
        kind = "type";
        break;
      case K::Invalid:
        kind = "bad";
        break;
    }
    out.push_back(kind + ":" + t.Text);
  }
  return out;
}

using V = std::vector<std::string>;

TEST(DbSqlLexer, WordsKeywordsFunctionsAndTypes) {
  EXPECT_EQ(Tokens("select Count upper dec Tasks"),
            (V{"kw:select", "agg:Count", "fn:upper", "type:dec", "id:Tasks"}));
  EXPECT_EQ(SqlTokenize("select")[0].Keyword, TSqlKeyword::Select);
  EXPECT_EQ(SqlTokenize("SUBSTRING")[0].Keyword, TSqlKeyword::Substring);
  // Words made of any characters but the separators; non-ASCII letters included.
  EXPECT_EQ(Tokens("a_b$c Süß x|y"), (V{"id:a_b$c", "id:Süß", "id:x|y"}));
  // A reserved word after "." is a name; a "." not after a word makes the next word a name.
  EXPECT_EQ(Tokens("t.Date .Date Date"), (V{"q:t", "id:Date", "id:Date", "kw:Date"}));
  EXPECT_EQ(Tokens("[My Table].[Select] 'q'.x"), (V{"q:My Table", "id:Select", "q:q", "id:x"}));
}

TEST(DbSqlLexer, TwoWordKeywordsNeedTheirSecondWord) {
  EXPECT_EQ(Tokens("GROUP BY order\n\t by PRIMARY   KEY for update"),
            (V{"kw:GROUP BY", "kw:order\n\t by", "kw:PRIMARY   KEY", "kw:for update"}));
  EXPECT_EQ(SqlTokenize("order  by")[0].Keyword, TSqlKeyword::OrderBy);
  EXPECT_EQ(Tokens("x NOT LIKE y NOT IN z NOT BETWEEN"),
            (V{"id:x", "kw:NOT LIKE", "id:y", "kw:NOT IN", "id:z", "kw:NOT BETWEEN"}));
  EXPECT_EQ(Tokens("IS NULL IS NOT NULL"), (V{"kw:IS NULL", "kw:IS NOT NULL"}));
  EXPECT_EQ(Tokens("DOUBLE PRECISION DOUBLE"), (V{"type:DOUBLE PRECISION", "type:DOUBLE"}));
  // Alone, the first words are names (NOT, FOR and DOUBLE are reserved on their own).
  EXPECT_EQ(Tokens("GROUP ORDER PRIMARY IS NOT FOR"),
            (V{"id:GROUP", "id:ORDER", "id:PRIMARY", "id:IS", "kw:NOT", "kw:FOR"}));
  // The second word must be a whole word, separated by white space only.
  EXPECT_EQ(Tokens("NOT INNER GROUP/**/BY IS NOT x"),
            (V{"kw:NOT", "kw:INNER", "id:GROUP", "id:BY", "id:IS", "kw:NOT", "id:x"}));
  EXPECT_EQ(Tokens("GROUP BY.x"), (V{"id:GROUP", "q:BY", "id:x"}));
}

TEST(DbSqlLexer, QuotedTexts) {
  EXPECT_EQ(Tokens("'a''b' \"c\"\"d\" `e``f` #g#"),
            (V{"str:a'b", "str:c\"d", "str:e", "str:f", "str:g"}));
  EXPECT_EQ(SqlTokenize("'x'")[0].Quote, '\'');
  EXPECT_EQ(SqlTokenize("[x y]")[0].Quote, '[');
  EXPECT_EQ(Tokens("[a b]c"), (V{"id:a b", "id:c"}));
  // A quote without its closing character is part of a word.
  EXPECT_EQ(Tokens("'abc"), (V{"id:'abc"}));
  EXPECT_EQ(Tokens("ab'cd"), (V{"id:ab'cd"}));
  EXPECT_EQ(Tokens("x [y"), (V{"id:x", "id:[y"}));
  EXPECT_EQ(Tokens("a#b c#"), (V{"id:a", "str:b c"}));
  EXPECT_EQ(Tokens("'''"), (V{"id:'", "str:"}));
  EXPECT_EQ(Tokens("'a''"), (V{"id:'a", "str:"}));
  // A stray "]" is no token.
  EXPECT_EQ(Tokens("a ] b"), (V{"id:a", "bad:]", "id:b"}));
}

TEST(DbSqlLexer, NumbersAndSigns) {
  EXPECT_EQ(Tokens("1 1.5 .5 1e3 2E-4 3e+2 1.2.3"),
            (V{"num:1", "num:1.5", "num:.5", "num:1e3", "num:2E-4", "num:3e+2", "num:1.2.3"}));
  // A sign directly before a digit or a dot starts a number: x-1 is a name and a number.
  EXPECT_EQ(Tokens("x-1 x - 1 x -1 -.5 +2"),
            (V{"id:x", "num:-1", "id:x", "op:-", "num:1", "id:x", "num:-1", "num:-.5", "num:+2"}));
  EXPECT_EQ(Tokens("a1 1a 1e"), (V{"id:a1", "num:1", "id:a", "num:1", "id:e"}));
}

TEST(DbSqlLexer, OperatorsPunctuationParametersAndEnds) {
  EXPECT_EQ(Tokens("a<=b<>c=>d"), (V{"id:a", "op:<=", "id:b", "op:<>", "id:c", "op:=>", "id:d"}));
  EXPECT_EQ(Tokens("(a,b)*c/d+e"), (V{"p:(", "id:a", "p:,", "id:b", "p:)", "op:*", "id:c", "op:/",
                                      "id:d", "op:+", "id:e"}));
  // "||" is an operator only when written apart.
  EXPECT_EQ(Tokens("a || b a||b"), (V{"id:a", "op:||", "id:b", "id:a||b"}));
  EXPECT_EQ(Tokens(":p1 :x.y : ;"), (V{"param:p1", "param:x", "id:y", "bad::", "end:;"}));
  std::vector<TSqlToken> t = SqlTokenize("a;");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].Kind, K::End);
  EXPECT_EQ(t[1].Text, ";");
  EXPECT_EQ(t[2].Kind, K::End);
  EXPECT_EQ(t[2].Text, "");
  EXPECT_EQ(SqlTokenize("").size(), 1u);
}

TEST(DbSqlLexer, CommentsAreDropped) {
  EXPECT_EQ(Tokens("a /* x\n y */ b // c d\ne"), (V{"id:a", "id:b", "id:e"}));
  EXPECT_EQ(Tokens("a /* never closed"), (V{"id:a"}));
  EXPECT_EQ(Tokens("a/b"), (V{"id:a", "op:/", "id:b"}));
  std::vector<TSqlToken> t = SqlTokenize("a/**/b");
  EXPECT_TRUE(t[1].SpaceBefore);
}

TEST(DbSqlLexer, PositionsCountCharactersAndLines) {
  std::vector<TSqlToken> t = SqlTokenize("é\tab\r\n  c\n\rd\r\re 'x\ny' f");
  // é at 1, ab after one tab at 3; CR LF and LF CR end one line each; CR CR two lines.
  EXPECT_EQ(t[0].Line, 1);
  EXPECT_EQ(t[0].Char, 1);
  EXPECT_EQ(t[1].Text, "ab");
  EXPECT_EQ(t[1].Char, 3);
  EXPECT_EQ(t[2].Line, 2);
  EXPECT_EQ(t[2].Char, 3);
  EXPECT_EQ(t[3].Line, 3);
  EXPECT_EQ(t[3].Char, 1);
  EXPECT_EQ(t[4].Line, 5);
  EXPECT_EQ(t[5].Line, 5);
  EXPECT_EQ(t[5].Char, 3);
  EXPECT_EQ(t[6].Line, 6);
  EXPECT_EQ(t[6].Char, 4);
  // A name made one by a "." before it has the "." in its source range.
  std::vector<TSqlToken> d = SqlTokenize("a .Date");
  EXPECT_EQ(d[1].Kind, K::Identifier);
  EXPECT_EQ(d[1].Text, "Date");
  EXPECT_EQ(d[1].Start, 2u);
  EXPECT_EQ(d[1].Char, 4);
  EXPECT_TRUE(d[1].SpaceBefore);
  // Source ranges are bytes.
  EXPECT_EQ(t[0].Start, 0u);
  EXPECT_EQ(t[0].End, 2u);
}

TEST(DbSqlLexer, BadBytesAreCharactersOfWords) {
  std::string text = "a\xff\xfe b \x80";
  std::vector<TSqlToken> t = SqlTokenize(text);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].Text, "a\xff\xfe");
  EXPECT_EQ(t[1].Char, 5);
  EXPECT_EQ(t[2].Text, "\x80");
  EXPECT_EQ(Tokens(std::string("a\0b", 3)), (V{std::string("id:a\0b", 6)}));
}

// Texts that make a careless lexer search to the end again and again still give the right
// tokens: a run of unclosed brackets, of quotes, of "#".
TEST(DbSqlLexer, ManyUnclosedQuotes) {
  std::string brackets(20000, '[');
  std::vector<TSqlToken> t = SqlTokenize(brackets);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].Text, brackets);
  std::string quotes(20001, '\'');
  t = SqlTokenize(quotes);
  ASSERT_EQ(t.size(), 3u);  // one ordinary quote, then the rest as one string
  EXPECT_EQ(t[1].Text, std::string(9999, '\''));
  std::string hashes;
  for (int i = 0; i < 5000; ++i) hashes += "a#";
  t = SqlTokenize(hashes);
  EXPECT_EQ(t.size(), 5001u);
}

TEST(DbSqlLexer, PlainNames) {
  EXPECT_TRUE(IsPlainSqlName("Tasks"));
  EXPECT_TRUE(IsPlainSqlName("x|y"));
  EXPECT_FALSE(IsPlainSqlName(""));
  EXPECT_FALSE(IsPlainSqlName("Date"));
  EXPECT_FALSE(IsPlainSqlName("group"));
  EXPECT_FALSE(IsPlainSqlName("Leading"));
  EXPECT_FALSE(IsPlainSqlName("1a"));
  EXPECT_FALSE(IsPlainSqlName("a b"));
  EXPECT_FALSE(IsPlainSqlName("a.b"));
  EXPECT_FALSE(IsPlainSqlName("||"));
  EXPECT_FALSE(IsPlainSqlName("#a"));
  EXPECT_TRUE(IsSqlWord("Date"));
  EXPECT_FALSE(IsSqlWord("a-b"));
}

}  // namespace
}  // namespace zuz::test
