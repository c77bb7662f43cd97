#include <cstdlib>
#include <random>

#include "planner/base/qorEncoding.h"
#include "planner/base/qorUtf8.h"
#include "planner/xml/qorXMLParser2.h"
#include "tests/planner/base/test_util.h"

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n";

class XmlTest : public RegionalTest {};

std::unique_ptr<TqorXMLNode2> Node(const std::string& name, const std::string& id = "") {
  auto n = std::make_unique<TqorXMLNode2>(name);
  if (!id.empty()) n->SetAttribute("id", id);
  return n;
}

TEST_F(XmlTest, WriterShape) {
  TqorXMLParser2 doc;
  doc.SetName("a");
  EXPECT_EQ(doc.Xml(), kDecl + "<a/>");

  doc.SetText("t");
  TqorXMLNode2* b = doc.AddChild(Node("b"));
  b->SetAttribute("flag", true);
  b->SetAttribute("off", false);
  b->SetAttribute("day", 38353.0);
  b->SetAttribute("n", 7);
  b->AddChild(Node("c"))->SetText("x<y");
  doc.AddChild(Node("d"))->SetText("R&D");
  EXPECT_EQ(doc.Xml(), kDecl +
                           "<a>t\r\n"
                           "  <b flag=\"-1\" off=\"0\" day=\"38353\" n=\"7\">\r\n"
                           "    <c><![CDATA[x<y]]></c>\r\n"
                           "  </b>\r\n"
                           "  <d>R&D</d>\r\n"
                           "</a>");
  // A parent whose text needs CDATA keeps its children after the section.
  doc.SetText("1 > 0");
  EXPECT_EQ(doc.Xml().substr(kDecl.size(), 22), "<a><![CDATA[1 > 0]]>\r\n");

  // The declaration's own values are written, others are not.
  doc.Declaration().SetAttribute("version", "1.1");
  doc.Declaration().SetAttribute("standalone", "yes");
  EXPECT_EQ(doc.Xml().substr(0, 46), "<?xml version=\"1.1\" encoding=\"ISO-8859-1\" ?>\r\n");
}

TEST_F(XmlTest, RealValuesAreWrittenWithAPointUnderAnyProcessLocale) {
  ProcessLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is not installed";
  TqorXMLParser2 doc;
  doc.SetName("task");
  doc.SetAttribute("assignedhours", 1.5);
  EXPECT_EQ(doc.Xml(), kDecl + "<task assignedhours=\"1.5\"/>");
}

TEST_F(XmlTest, AttributeValuesAreEscapedAndReadBack) {
  TqorXMLParser2 doc;
  doc.SetName("e");
  doc.SetAttribute("v", "a<b & \"c\" 'd' >");
  doc.SetAttribute("lit", "&lt;");
  const std::string xml = doc.Xml();
  EXPECT_EQ(xml,
            kDecl + "<e v=\"a&lt;b &amp; &quot;c&quot; &apos;d&apos; &gt;\" lit=\"&amp;lt;\"/>");
  TqorXMLParser2 back;
  back.SetXml(xml);
  ASSERT_EQ(back.LastError(), "");
  EXPECT_EQ(back.GetAttribute("v"), TqorVariant("a<b & \"c\" 'd' >"));
  EXPECT_EQ(back.GetAttributeStr("lit"), "&lt;");
}

// Texts, names and declarations that once did not survive being written and read again.
TEST_F(XmlTest, AwkwardContentReadsBackUnchanged) {
  TqorXMLParser2 doc;
  doc.SetName("r");
  doc.AddChild(Node("c"))->SetText("a]]>b<c]]>");
  doc.Declaration().SetAttribute("version", "1\"0");
  TqorXMLParser2 back;
  back.SetXml(doc.Xml());
  ASSERT_EQ(back.LastError(), "") << doc.Xml();
  EXPECT_NE(doc.Xml().find("<![CDATA[a]]]]><![CDATA[>b<c]]]]><![CDATA[>]]>"), std::string::npos);
  EXPECT_EQ(back.GetChild(0)->Text(), "a]]>b<c]]>");
  EXPECT_EQ(back.Declaration().GetAttributeStr("version"), "1\"0");

  // Names can't hold character references: a name the declared encoding lacks makes the
  // document UTF-8.
  for (const char* encoding : {"ISO-8859-1", "us-ascii"}) {
    TqorXMLParser2 named;
    named.SetName("\xC5\x81\xC3\xB3d\xC5\xBA");  // Łódź
    named.Declaration().SetAttribute("encoding", encoding);
    named.SetAttribute("x\xC3\xB5", "v");
    const std::string bytes = named.EncodedXml();
    EXPECT_NE(bytes.find("encoding=\"UTF-8\""), std::string::npos) << encoding;
    TqorXMLParser2 read;
    read.SetXml(bytes);
    ASSERT_EQ(read.LastError(), "") << encoding;
    EXPECT_EQ(read.Name(), named.Name());
    EXPECT_EQ(read.GetAttributeStr("x\xC3\xB5"), "v") << encoding;
  }
}

TEST_F(XmlTest, NumericReferencesDecodeInTheSamePass) {
  TqorXMLParser2 doc;
  doc.SetXml(
      "<e a=\"&#321;ukasz\" b=\"&#x141;&#X142;\" c=\"&amp;#38;\" d=\"&#xZZ; &#; &#0; &#55296; "
      "&unknown; & x\" e='&#128512;'/>");
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.GetAttributeStr("a"), "Łukasz");
  EXPECT_EQ(doc.GetAttributeStr("b"), "Łł");
  EXPECT_EQ(doc.GetAttributeStr("c"), "&#38;");
  EXPECT_EQ(doc.GetAttributeStr("d"), "&#xZZ; &#; &#0; &#55296; &unknown; & x");
  EXPECT_EQ(doc.GetAttributeStr("e"), "\xF0\x9F\x98\x80");
}

TEST_F(XmlTest, ReaderTraits) {
  TqorXMLParser2 doc;
  // Text after a child is lost; text after the root is ignored.
  doc.SetXml("<a>t<b/>u</a><z/>");
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.Name(), "a");
  EXPECT_EQ(doc.Text(), "t");
  ASSERT_EQ(doc.ChildCount(), 1);
  EXPECT_EQ(doc.GetChild(0)->Name(), "b");
  EXPECT_EQ(doc.GetChild(0)->Parent(), &doc);
  EXPECT_EQ(doc.GetChild(0)->OwnerDocument(), &doc);

  // Two attributes of one name both stay; lookups see the first; both are written.
  doc.SetXml("<e x=\"1\" x='2'/>");
  EXPECT_EQ(doc.AttributeCount(), 2);
  EXPECT_EQ(doc.GetAttributeStr("x"), "1");
  EXPECT_EQ(doc.Xml(), kDecl + "<e x=\"1\" x=\"2\"/>");

  // Only a blank ends the name; a tab becomes part of it.
  doc.SetXml("<e\tx=\"1\"/>");
  EXPECT_EQ(doc.Name(), "e\tx=\"1\"");
  EXPECT_EQ(doc.AttributeCount(), 0);

  // Text is trimmed and not decoded; CDATA keeps its inside (trimmed) and drops what precedes.
  doc.SetXml("<a>  R&amp;D \r\n</a>");
  EXPECT_EQ(doc.Text(), "R&amp;D");
  EXPECT_FALSE(doc.IsCData());
  doc.SetXml("<a>lost<![CDATA[ x<y ]]><b/></a>");
  EXPECT_EQ(doc.Text(), "x<y");
  EXPECT_TRUE(doc.IsCData());
  EXPECT_EQ(doc.ChildCount(), 1);

  // Comments before elements are skipped; the declaration's attributes are kept.
  doc.SetXml("<?xml version=\"1.0\" encoding='UTF-8'?><!-- c --><a><!-- d --><b/></a>");
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.ChildCount(), 1);
  EXPECT_EQ(doc.Declaration().GetAttributeStr("encoding"), "UTF-8");

  // A prefixed name sets Prefix, and the namespace comes from the nearest declaring ancestor.
  doc.SetXml("<r xmlns:p=\"urn:x\"><q><p:e/></q></r>");
  TqorXMLNode2* e = doc.FindChild("p:e", true);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Prefix(), "p");
  EXPECT_EQ(e->GetNamespaceURI(), "urn:x");
  EXPECT_EQ(e->GetRoot(), &doc);
  EXPECT_EQ(e->FindAncestor("r"), &doc);
  EXPECT_EQ(e->FindAncestor("p:e"), nullptr);
  e->SetName("plain");
  EXPECT_EQ(e->Prefix(), "p");
}

// The LastError text of parsing src, cut behind the message.
std::string Message(const std::string& src) {
  TqorXMLParser2 doc;
  doc.SetXml(src);
  const std::string& e = doc.LastError();
  size_t near = e.find(" near ");
  return near == std::string::npos ? e : e.substr(0, near);
}

TEST_F(XmlTest, ParseErrorMessages) {
  EXPECT_EQ(Message(""), "Missing <");
  EXPECT_EQ(Message("<a"), "Missing >");
  EXPECT_EQ(Message("<a>text"), "Expected < when parsing text");
  EXPECT_EQ(Message("<a><![CDATA[x</a>"), "Expected ]]> when parsing CDATA section");
  EXPECT_EQ(Message("<a><!-- x </a>"), "Missing comment terminator -->");
  EXPECT_EQ(Message("<a><b/>"), "Missing <");
  EXPECT_EQ(Message("<a x/>"), "missing = when parsing attributes");
  EXPECT_EQ(Message("<a x=/>"), "missing value delimiter when parsing attributes");
  EXPECT_EQ(Message("<a x = \"1\"/>"), "missing value delimiter when parsing attributes");
  EXPECT_EQ(Message("<a x=\"1/>"), "Expected closing \" when parsing attributes");
  EXPECT_EQ(Message("<a x='1/>"), "Expected closing ' when parsing attributes");
  EXPECT_EQ(Message("<a><b></a>"), "Opening and closing tags don't match b a");
  EXPECT_EQ(Message("<a></A>"), "Opening and closing tags don't match a A");
  EXPECT_EQ(Message("<?xml version=\"1.0\" <a/>"), "Missing ?> in xml declaration.");
  std::string deep;
  for (int i = 0; i <= TqorXMLParser2::kMaxDepth + 1; ++i) deep += "<a>";
  EXPECT_EQ(Message(deep), "Elements nested deeper than 1000 levels");
}

TEST_F(XmlTest, ParseErrorTextShowsSourcePositionAndPartialTree) {
  TqorXMLParser2 doc;
  doc.SetXml("<r>0123456789012345678901234567890123456789<b x='1' y=2/></r>");
  EXPECT_EQ(doc.LastError(),
            "missing value delimiter when parsing attributes near 456789<b x='1' y=2/></r>\r\n"
            "Error position=58\r\n" +
                kDecl +
                "<r>0123456789012345678901234567890123456789\r\n"
                "  <b x=\"1\"/>\r\n"
                "</r>");
  // The partial tree stays in the document.
  EXPECT_EQ(doc.ChildCount(), 1);

  doc.SetXml("<a><b></a>");
  EXPECT_EQ(doc.LastError(),
            "Opening and closing tags don't match b a near <a><b></a>\r\n"
            "Error position=7\r\n" +
                kDecl + "<a>\r\n  <b/>\r\n</a>");

  // An unterminated declaration leaves exactly its message and an empty tree.
  doc.SetXml("<?xml version=\"1.0\"<a/>");
  EXPECT_EQ(doc.LastError(), "Missing ?> in xml declaration.");
  EXPECT_EQ(doc.Xml(), kDecl + "</>");

  // A successful parse clears the error.
  doc.SetXml("<a/>");
  EXPECT_EQ(doc.LastError(), "");
}

TEST_F(XmlTest, ParseErrorExcerptKeepsUtf8CharactersWhole) {
  std::string a20, a14;
  for (int i = 0; i < 20; ++i) a20 += "ä";
  for (int i = 0; i < 14; ++i) a14 += "ä";
  TqorXMLParser2 doc;
  // The excerpt would start in the middle of an "ä" and end in the middle of another.
  doc.SetXml("<r>" + a20 + "<bb x=1/>" + a20 + a20 + "</r>");
  const std::string& e = doc.LastError();
  const std::string expectedStart = "missing value delimiter when parsing attributes near ";
  ASSERT_EQ(e.substr(0, expectedStart.size()), expectedStart);
  const std::string excerpt = e.substr(expectedStart.size(), e.find("\r\n") - expectedStart.size());
  EXPECT_EQ(excerpt, "ääääää<bb x=1/>" + a14);
  EXPECT_NE(e.find("\r\nError position=53\r\n"), std::string::npos);
}

TEST_F(XmlTest, NodeOperations) {
  TqorXMLParser2 doc;
  doc.SetXml("<a><b><c id=\"c1\"/></b><c id=\"c2\"/></a>");
  TqorXMLNode2* b = doc.GetChild(0);
  EXPECT_EQ(doc.FindChild("c")->GetAttributeStr("id"), "c2");
  EXPECT_EQ(doc.FindChild("c", true)->GetAttributeStr("id"), "c1");
  EXPECT_EQ(doc.FindChild("zz", true), nullptr);
  EXPECT_EQ(doc.FindChildById("c1"), nullptr);
  EXPECT_EQ(doc.FindChildById("c1", true), b->GetChild(0));

  EXPECT_EQ(doc.GetChild(2), nullptr);
  EXPECT_THROW(doc.GetChild(-1), EListError);
  try {
    doc.GetAttribute(-3);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-3)");
  }
  EXPECT_THROW(doc.SetAttribute(-1, 5), EListError);

  // Deleting a node that is not a child raises and changes nothing.
  TqorXMLNode2* grandChild = b->GetChild(0);
  try {
    doc.DeleteChild(grandChild);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
  }
  EXPECT_EQ(b->ChildCount(), 1);
  doc.DeleteChild(b);
  EXPECT_EQ(doc.ChildCount(), 1);
  EXPECT_EQ(doc.GetChild(0)->GetAttributeStr("id"), "c2");

  // Attributes by name and position; names are case-sensitive.
  TqorXMLNode2 n;
  n.SetAttribute("id", 1);
  n.SetAttribute("x", 2.5);
  EXPECT_EQ(n.GetAttribute("ID"), TqorVariant(""));
  EXPECT_EQ(n.GetAttribute("missing"), TqorVariant(""));
  EXPECT_EQ(n.GetAttributeInt("missing"), 0);
  EXPECT_EQ(n.GetAttributeInt("x"), 2);  // 2.5 rounds to even
  EXPECT_EQ(n.GetAttribute(1), TqorVariant(2.5));
  EXPECT_EQ(n.GetAttribute(2), TqorVariant(""));
  n.SetAttribute(1, "text");
  n.SetAttribute(5, "ignored");
  EXPECT_EQ(n.AttributeCount(), 2);
  EXPECT_EQ(n.GetAttributeInt("x"), 0);
  EXPECT_EQ(n.IndexOfAttribute("x"), 1);
  EXPECT_FALSE(n.HasAttribute("y"));
  n.SetAttribute("x", TqorVariant::Null());
  EXPECT_EQ(n.GetAttributeStr("x"), "");

  // Text decides CDATA.
  n.SetText("a>b");
  EXPECT_TRUE(n.IsCData());
  n.SetText("a&b");
  EXPECT_FALSE(n.IsCData());
}

TEST_F(XmlTest, IdIndexWhileParsing) {
  TqorXMLParser2 doc;
  doc.SetIndexIds(true);
  doc.SetXml("<r><t id=\"1\"/><u id=\"1\"><t id=\"2\"/></u></r>");
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.GetNodeById("t", "1"), doc.GetChild(0));
  EXPECT_EQ(doc.GetNodeById("t", "2"), doc.GetChild(1)->GetChild(0));
  EXPECT_EQ(doc.GetNodeById("u", "1"), doc.GetChild(1));
  EXPECT_EQ(doc.GetNodeById("T", "1"), nullptr);

  doc.SetXml("<r><t id=\"1\"/><t id=\"1\"/></r>");
  EXPECT_EQ(doc.LastError().substr(0, 42), "Found duplicate id 1 in name index t near ");
  EXPECT_EQ(Message("<r><t id=\"1\"/><t id=\"1\"/></r>"), "") << "without the index, no error";

  // A new parse empties the index.
  doc.SetXml("<r/>");
  EXPECT_EQ(doc.GetNodeById("t", "1"), nullptr);

  // An element without a name cannot carry an id in the index.
  doc.SetXml("<r>< id=\"5\"></></r>");
  EXPECT_EQ(doc.LastError().substr(0, 35), "Key cannot be an empty string near ");
}

TEST_F(XmlTest, IdIndexFollowsAdditionsAndRemovals) {
  TqorXMLParser2 doc;
  doc.SetXml("<r/>");
  doc.AddChild(Node("t", "0"));
  EXPECT_EQ(doc.GetNodeById("t", "0"), nullptr) << "index off: nothing entered";
  doc.SetIndexIds(true);
  EXPECT_EQ(doc.GetNodeById("t", "0"), nullptr) << "switching on does not index existing nodes";

  // A subtree built free-standing is indexed as a whole when it joins.
  auto t = Node("t", "1");
  t->AddChild(Node("a", "10"));
  EXPECT_EQ(t->GetChild(0)->OwnerDocument(), nullptr);
  TqorXMLNode2* t1 = doc.AddChild(std::move(t));
  EXPECT_EQ(doc.GetNodeById("t", "1"), t1);
  EXPECT_EQ(doc.GetNodeById("a", "10"), t1->GetChild(0));
  EXPECT_EQ(t1->GetChild(0)->OwnerDocument(), &doc);

  // A duplicate raises; the node stays in the tree without an entry.
  try {
    doc.AddChild(Node("t", "1"));
    FAIL();
  } catch (const EqorXMLError& e) {
    EXPECT_STREQ(e.what(), "Found duplicate id 1 in name index t");
  }
  ASSERT_EQ(doc.ChildCount(), 3);
  TqorXMLNode2* dup = doc.GetChild(2);
  // Deleting the unindexed duplicate must not remove the original's entry.
  doc.DeleteChild(dup);
  EXPECT_EQ(doc.GetNodeById("t", "1"), t1);

  // Deleting a node removes it and its descendants from the index.
  doc.DeleteChild(t1);
  EXPECT_EQ(doc.GetNodeById("t", "1"), nullptr);
  EXPECT_EQ(doc.GetNodeById("a", "10"), nullptr);

  // A changed id leaves the old entry while the node lives; freeing the node removes the
  // entry it was entered under, and never another node's.
  TqorXMLNode2* t2 = doc.AddChild(Node("t", "2"));
  t2->SetAttribute("id", "3");
  EXPECT_EQ(doc.GetNodeById("t", "2"), t2);
  TqorXMLNode2* t3 = doc.AddChild(Node("t", "3"));
  EXPECT_EQ(doc.GetNodeById("t", "3"), t3);
  doc.DeleteChild(t2);
  EXPECT_EQ(doc.GetNodeById("t", "2"), nullptr);
  EXPECT_EQ(doc.GetNodeById("t", "3"), t3);

  // Nodes freed while the index is switched off still leave it.
  doc.SetIndexIds(false);
  doc.DeleteChild(t3);
  EXPECT_EQ(doc.GetNodeById("t", "3"), nullptr);

  doc.SetIndexIds(true);
  try {
    doc.AddChild(Node("", "9"));
    FAIL();
  } catch (const EHashError& e) {
    EXPECT_STREQ(e.what(), "Key cannot be an empty string");
  }
}

TEST_F(XmlTest, FreedNodesAreReported) {
  std::vector<std::string> freed;
  {
    TqorXMLParser2 doc;
    doc.SetOnNodeFreed([&](const TqorXMLNode2* n) { freed.push_back(n->Name()); });
    doc.SetXml("<r><a><b/></a><c/></r>");
    doc.DeleteChild(doc.GetChild(0));
    EXPECT_EQ(freed, (std::vector<std::string>{"a", "b"}));
    freed.clear();
    doc.SetXml("<r/>");  // a new parse frees the old tree
    EXPECT_EQ(freed, std::vector<std::string>{"c"});
    freed.clear();
    doc.AddChild(Node("d"));
  }
  EXPECT_TRUE(freed.empty()) << "destroying the document reports nothing";
}

// --- Randomized round trip: a tree written and read back is equal. ---

struct RandomTree {
  std::mt19937 rng;
  explicit RandomTree(unsigned seed) : rng(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  std::string Name() {
    static const char* kNames[] = {"project", "task", "a", "b:c", "x_1", "Ünï"};
    return kNames[Pick(6)];
  }
  std::string Value(bool ascii) {
    static const char* kPieces[] = {"a", "Z", " ", "&",  "<", ">", "\"", "'",  "&amp;", "&#38;",
                                    "ü", "Ł", "€", "\t", "0", "=", "/",  "?>", "]]>"};
    std::string v;
    int n = Pick(8);
    for (int i = 0; i < n; ++i) {
      std::string p = kPieces[Pick(ascii ? 10 : 19)];
      v += p;
    }
    return v;
  }
  // Text that survives trimming and CDATA: no blank at either end, no "]]>".
  std::string Text(bool ascii) {
    static const char* kPieces[] = {"t", "R&D", " x ", "<", ">", "&lt;", "ä", "Ж"};
    std::string v;
    int n = Pick(4);
    for (int i = 0; i < n; ++i) v += kPieces[Pick(ascii ? 6 : 8)];
    while (!v.empty() && v.front() == ' ') v.erase(0, 1);
    while (!v.empty() && v.back() == ' ') v.pop_back();
    return v;
  }
  void Fill(TqorXMLNode2& node, int depth, int& budget, bool asciiText) {
    int attrs = Pick(4);
    for (int i = 0; i < attrs; ++i) {
      switch (Pick(4)) {
        case 0:
          node.AppendAttribute("s" + std::to_string(i), Value(false));
          break;
        case 1:
          node.AppendAttribute("i" + std::to_string(i), Pick(100000) - 50000);
          break;
        case 2:
          node.AppendAttribute("r" + std::to_string(i), (Pick(100000) - 50000) / 64.0);
          break;
        case 3:
          node.AppendAttribute("b" + std::to_string(i), Pick(2) == 1);
          break;
      }
    }
    node.SetText(Text(asciiText));
    int children = depth < 5 ? Pick(5) : 0;
    for (int i = 0; i < children && budget > 0; ++i) {
      --budget;
      TqorXMLNode2* c = node.AddChild(std::make_unique<TqorXMLNode2>(Name()));
      Fill(*c, depth + 1, budget, asciiText);
    }
  }
};

void ExpectSameTree(const TqorXMLNode2& a, const TqorXMLNode2& b) {
  ASSERT_EQ(a.Name(), b.Name());
  ASSERT_EQ(a.Text(), b.Text());
  ASSERT_EQ(a.AttributeCount(), b.AttributeCount()) << a.Name();
  for (int i = 0; i < a.AttributeCount(); ++i) {
    EXPECT_EQ(a.Attribute(i)->Name, b.Attribute(i)->Name);
    EXPECT_EQ(a.Attribute(i)->Value.ToText(), b.Attribute(i)->Value.ToText());
  }
  ASSERT_EQ(a.ChildCount(), b.ChildCount());
  for (int i = 0; i < a.ChildCount(); ++i) ExpectSameTree(*a.GetChild(i), *b.GetChild(i));
}

int RandomRuns() {
  const char* env = std::getenv("VZ_PLANNER_RANDOM_RUNS");
  return env ? std::max(1, std::atoi(env)) : 40;
}

TEST_F(XmlTest, RandomTreesRoundTripThroughText) {
  for (int run = 0; run < RandomRuns(); ++run) {
    RandomTree gen(static_cast<unsigned>(run));
    TqorXMLParser2 doc;
    doc.SetName("root");
    int budget = 200;
    gen.Fill(doc, 0, budget, false);
    const std::string xml = doc.Xml();
    ASSERT_TRUE(IsValidUtf8(xml));
    TqorXMLParser2 back;
    back.SetXml(xml);
    ASSERT_EQ(back.LastError(), "") << "run " << run;
    ExpectSameTree(doc, back);
    EXPECT_EQ(back.Xml(), xml) << "run " << run;
  }
}

}  // namespace
