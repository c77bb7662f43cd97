#include <array>
#include <cstdio>
#include <memory>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/qorPlannerModel.h"
#include "tests/planner/base/test_util.h"

namespace {

class XmlFilesTest : public RegionalTest {};

std::string Sample() {
  return std::string(VZ_SOURCE_DIR) + "/tools/samples/planner.xml";
}

std::unique_ptr<TqorXMLParser2> MakeNamesDocument() {
  auto owned = std::make_unique<TqorXMLParser2>();
  TqorXMLParser2& doc = *owned;
  doc.SetName("resources");
  auto add = [&](const std::string& name) {
    auto n = std::make_unique<TqorXMLNode2>("resource");
    n->SetAttribute("name", name);
    doc.AddChild(std::move(n));
  };
  add("Jürgen Müller");
  add("Łukasz Nowak");
  add("Zoë & €uro 😀");
  return owned;
}

TEST_F(XmlFilesTest, Latin1FilesAreTrueToTheirDeclarationAndReadBack) {
  TempFile file("latin1");
  auto owned = MakeNamesDocument();
  TqorXMLParser2& doc = *owned;
  doc.SaveToFile(file.path());
  const std::string bytes = LoadStringFromFile(file.path());
  EXPECT_NE(bytes.find("name=\"J\xFCrgen M\xFCller\""), std::string::npos);
  EXPECT_NE(bytes.find("name=\"&#321;ukasz Nowak\""), std::string::npos);
  EXPECT_NE(bytes.find("name=\"Zo\xEB &amp; &#8364;uro &#128512;\""), std::string::npos);

  TqorXMLParser2 back;
  back.LoadFromFile(file.path());
  ASSERT_EQ(back.LastError(), "");
  ASSERT_EQ(back.ChildCount(), 3);
  EXPECT_EQ(back.GetChild(0)->GetAttributeStr("name"), "Jürgen Müller");
  EXPECT_EQ(back.GetChild(1)->GetAttributeStr("name"), "Łukasz Nowak");
  EXPECT_EQ(back.GetChild(2)->GetAttributeStr("name"), "Zoë & €uro 😀");
  EXPECT_EQ(back.Xml(), doc.Xml());
}

TEST_F(XmlFilesTest, Utf8AndOtherDeclaredEncodings) {
  TempFile file("utf8");
  auto owned = MakeNamesDocument();
  TqorXMLParser2& doc = *owned;
  doc.Declaration().SetAttribute("encoding", "utf-8");
  doc.SaveToFile(file.path());
  EXPECT_EQ(LoadStringFromFile(file.path()), doc.Xml()) << "UTF-8 is written unchanged";
  TqorXMLParser2 back;
  back.LoadFromFile(file.path());
  EXPECT_EQ(back.Xml(), doc.Xml());

  doc.Declaration().SetAttribute("encoding", "US-ASCII");
  doc.SaveToFile(file.path());
  const std::string ascii = LoadStringFromFile(file.path());
  for (char c : ascii) ASSERT_LT(static_cast<unsigned char>(c), 128);
  EXPECT_NE(ascii.find("J&#252;rgen"), std::string::npos);
  back.LoadFromFile(file.path());
  EXPECT_EQ(back.GetChild(1)->GetAttributeStr("name"), "Łukasz Nowak");
}

TEST_F(XmlFilesTest, ReadingHonoursTheDeclaredEncoding) {
  TempFile file("decl");
  TqorXMLParser2 doc;
  // Latin-1 bytes declared as such become UTF-8, in attributes and text alike.
  SaveStringToFile(
      file.path(),
      "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a n=\"M\xFCller\">\xC4rger</a>");
  doc.LoadFromFile(file.path());
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.GetAttributeStr("n"), "Müller");
  EXPECT_EQ(doc.Text(), "Ärger");

  // Latin-1 bytes that happen to be valid UTF-8 still follow the declaration.
  SaveStringToFile(file.path(),
                   "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a n=\"\xC3\xBC\"/>");
  doc.LoadFromFile(file.path());
  EXPECT_EQ(doc.GetAttributeStr("n"), "Ã¼");

  // Without a declaration: valid UTF-8 is UTF-8, anything else Latin-1.
  SaveStringToFile(file.path(), "<a n=\"\xC3\xBC\"/>");
  doc.LoadFromFile(file.path());
  EXPECT_EQ(doc.GetAttributeStr("n"), "ü");
  SaveStringToFile(file.path(), "<a n=\"\xFC\"/>");
  doc.LoadFromFile(file.path());
  EXPECT_EQ(doc.GetAttributeStr("n"), "ü");

  // Declared UTF-8 with a stray byte keeps the byte as its Latin-1 character.
  SaveStringToFile(
      file.path(),
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><a n=\"\xE9t\xC3\xA9\"/>");
  doc.LoadFromFile(file.path());
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.GetAttributeStr("n"), "été");

  EXPECT_THROW(doc.LoadFromFile("/nonexistent/dir/file.xml"), EqorFileError);
  EXPECT_THROW(doc.SaveToFile("/nonexistent/dir/file.xml"), EqorFileError);
}

// Text and CDATA are written unescaped: when they hold a character the declared encoding lacks,
// the file is written as UTF-8 and says so, and everything reads back as it was.
TEST_F(XmlFilesTest, TextOutsideTheDeclaredEncodingReadsBackUnchanged) {
  TempFile file("text");
  TqorXMLParser2 doc;
  doc.SetName("planner");
  doc.AddChild(std::make_unique<TqorXMLNode2>("task"))->SetText("Łukasz");
  doc.AddChild(std::make_unique<TqorXMLNode2>("note"))->SetText("x < y: 東京 😀");
  doc.AddChild(std::make_unique<TqorXMLNode2>("plain"))->SetText("&#321; stays as typed");
  doc.SaveToFile(file.path());
  const std::string bytes = LoadStringFromFile(file.path());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>", 0), 0u);
  TqorXMLParser2 back;
  back.LoadFromFile(file.path());
  ASSERT_EQ(back.LastError(), "");
  EXPECT_EQ(back.GetChild(0)->Text(), "Łukasz");
  EXPECT_EQ(back.GetChild(1)->Text(), "x < y: 東京 😀");
  EXPECT_EQ(back.GetChild(2)->Text(), "&#321; stays as typed");
  EXPECT_EQ(doc.Declaration().GetAttributeStr("encoding"), "") << "the document is unchanged";

  // Text that fits keeps the declared encoding.
  doc.GetChild(0)->SetText("Jürgen");
  doc.GetChild(1)->SetText("x < y");
  doc.SaveToFile(file.path());
  EXPECT_NE(LoadStringFromFile(file.path()).find("<task>J\xFCrgen</task>"), std::string::npos);
}

TEST_F(XmlFilesTest, Windows1252IsItsOwnCodePage) {
  TempFile file("cp1252");
  TqorXMLParser2 doc;
  SaveStringToFile(file.path(),
                   "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                   "<a n=\"\x80 5\">\x93quoted\x94 \x8A"
                   "a\xE9</a>");
  doc.LoadFromFile(file.path());
  ASSERT_EQ(doc.LastError(), "");
  EXPECT_EQ(doc.GetAttributeStr("n"), "€ 5");
  EXPECT_EQ(doc.Text(), "“quoted” Šaé");
  doc.SaveToFile(file.path());
  const std::string bytes = LoadStringFromFile(file.path());
  EXPECT_NE(bytes.find("n=\"\x80 5\">\x93quoted\x94 \x8A"
                       "a\xE9<"),
            std::string::npos);
  doc.SetAttribute("n", "Ł");
  doc.SaveToFile(file.path());
  EXPECT_NE(LoadStringFromFile(file.path()).find("n=\"&#321;\""), std::string::npos);
}

// The sample planner is in the export shape: reading and writing it gives the same bytes.
TEST_F(XmlFilesTest, SamplePlannerRoundTripsByteForByte) {
  TqorPlannerModel model([] { return EncodeDate(2025, 9, 1); });
  model.Document().LoadFromFile(Sample());
  ASSERT_EQ(model.Document().LastError(), "");
  ASSERT_NE(model.ProjectsNode(), nullptr);
  EXPECT_EQ(model.ProjectsNode()->ChildCount(), 3);
  TqorXMLNode2* lukasz = model.Document().GetNodeById("resource", "2");
  ASSERT_NE(lukasz, nullptr);
  EXPECT_EQ(lukasz->GetAttributeStr("name"), "Łukasz Nowak");
  TempFile out("sample");
  model.Document().SaveToFile(out.path());
  EXPECT_EQ(LoadStringFromFile(out.path()), LoadStringFromFile(Sample()));
}

// An independent reader agrees with what the writer declares (skipped without xmllint).
TEST_F(XmlFilesTest, XmllintReadsTheWrittenFile) {
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
  TempFile file("lint");
  auto owned = MakeNamesDocument();
  TqorXMLParser2& doc = *owned;
  doc.SetAttribute("quote", "<\"'&>");
  doc.SaveToFile(file.path());
  const std::string cmd = "xmllint --encode UTF-8 " + file.path() + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
  EXPECT_NE(out.find("Jürgen Müller"), std::string::npos) << out;
  EXPECT_NE(out.find("Łukasz Nowak"), std::string::npos) << out;
  EXPECT_NE(out.find("Zoë &amp; €uro 😀"), std::string::npos) << out;
  EXPECT_EQ(out.find("error"), std::string::npos) << out;
}

#ifdef PLANNER_ROUNDTRIP
int RunTool(const std::string& args) {
  int status =
      std::system((std::string(PLANNER_ROUNDTRIP) + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(XmlFilesTest, RoundTripTool) {
  TempFile out("tool_out");
  TempFile bad("tool_bad");
  EXPECT_EQ(RunTool(Sample() + " " + out.path()), 0);
  EXPECT_EQ(LoadStringFromFile(out.path()), LoadStringFromFile(Sample()));
  SaveStringToFile(bad.path(), "<planner><projects></planner>");
  EXPECT_EQ(RunTool(bad.path() + " " + out.path()), 1);
  SaveStringToFile(bad.path(), "<notes/>");
  EXPECT_EQ(RunTool(bad.path() + " " + out.path()), 1);
  EXPECT_EQ(RunTool("/nonexistent.xml " + out.path()), 2);
  EXPECT_EQ(RunTool(Sample()), 2);
  EXPECT_EQ(RunTool(Sample() + " /nonexistent/dir/out.xml"), 2);
}
#endif

}  // namespace
