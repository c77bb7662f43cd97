#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

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

// The output and exit status of a shell command.
std::pair<std::string, int> RunShell(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
  const int status = pclose(pipe.release());
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// An independent reader agrees with what the writer declares (skipped without xmllint).
TEST_F(XmlFilesTest, XmllintReadsTheWrittenFile) {
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
  TempFile file("lint");
  auto owned = MakeNamesDocument();
  TqorXMLParser2& doc = *owned;
  doc.SetAttribute("quote", "<\"'&>");
  doc.SaveToFile(file.path());
  const std::string out = RunShell("xmllint --encode UTF-8 " + file.path() + " 2>&1").first;
  EXPECT_NE(out.find("Jürgen Müller"), std::string::npos) << out;
  EXPECT_NE(out.find("Łukasz Nowak"), std::string::npos) << out;
  EXPECT_NE(out.find("Zoë &amp; €uro 😀"), std::string::npos) << out;
  EXPECT_EQ(out.find("error"), std::string::npos) << out;
}

bool Have(const char* program) {
  if (RunShell(std::string("command -v ") + program + " >/dev/null 2>&1").second == 0) return true;
  if (std::getenv("VAZADOD_CI")) ADD_FAILURE() << program << " is not installed";
  return false;
}

// Every attribute value of each file as python3's standard reader gives it: per file, one line
// per attribute in document order, "element attribute hex-of-the-UTF-8-value". One run of the
// reader for all the files.
std::vector<std::string> StandardReadings(const std::vector<std::string>& paths) {
  std::string command =
      "python3 -c \"import sys, xml.etree.ElementTree as E\n"
      "for f in sys.argv[1:]:\n"
      "  print('@')\n"
      "  for e in E.parse(f).getroot().iter():\n"
      "    for k, v in e.attrib.items(): print(e.tag, k, v.encode('utf-8').hex())\n\"";
  for (const std::string& path : paths) command += " " + path;
  const auto [out, status] = RunShell(command + " 2>&1");
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> readings;
  for (size_t at = 0; (at = out.find("@\n", at)) != std::string::npos; at += 2) {
    const size_t next = out.find("@\n", at + 2);
    readings.push_back(
        out.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2));
  }
  EXPECT_EQ(readings.size(), paths.size()) << out;
  readings.resize(paths.size());
  return readings;
}

// The same lines made from a tree.
void ExpectedReading(const TqorXMLNode2& node, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < node.AttributeCount(); ++i) {
    std::string hex;
    for (unsigned char c : node.Attribute(i)->Value.ToText()) {
      hex += kHex[c >> 4];
      hex += kHex[c & 15];
    }
    out += node.Name() + " " + node.Attribute(i)->Name + " " + hex + "\n";
  }
  for (int i = 0; i < node.ChildCount(); ++i) ExpectedReading(*node.GetChild(i), out);
}

#ifdef PLANNER_ROUNDTRIP
// Random texts, every character XML can hold and some it cannot, as the planner's names and
// notes, written in each declared encoding: xmllint reads the file, python3's standard reader
// gives back every value exactly but the characters XML cannot hold, whose number the writer
// gives, and planner-roundtrip and our own reader keep the values too (skipped without xmllint
// or python3).
TEST_F(XmlFilesTest, StandardReadersGetEveryValueBack) {
  if (!Have("xmllint") || !Have("python3")) GTEST_SKIP() << "no xmllint or python3";
  // Pieces of text, between "|": those XML can hold, and those it cannot, which the writer
  // leaves out.
  auto split = [](const std::string& joined) {
    std::vector<std::string> pieces;
    for (size_t from = 0, bar; from <= joined.size(); from = bar + 1) {
      bar = std::min(joined.find('|', from), joined.size());
      pieces.push_back(joined.substr(from, bar - from));
    }
    return pieces;
  };
  const std::vector<std::string> holds = split(
      "a| |  |\t|\n|\r|\r\n|&|<|>|\"|'|]]>|&#10;|\xC3\xA9|\xC5\x81|\x7F|\xE2\x82\xAC|"
      "\xF0\x9F\x98\x80|\xC2\x85|\xE2\x80\xA8");
  const std::vector<std::string> cannot = split("\v|\x01|\x1F|\f|\xEF\xBF\xBE|\xEF\xBF\xBF");
  const int runs = [] {
    const char* env = std::getenv("VZ_PLANNER_RANDOM_RUNS");
    return env ? std::max(1, std::atoi(env)) : 4;
  }();
  // Per file written: the file, and the lines the standard reader must give.
  std::vector<std::unique_ptr<TempFile>> files;
  std::vector<std::string> paths, readings;
  for (int run = 0; run < runs; ++run) {
    std::mt19937 rng(static_cast<unsigned>(run));
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (const char* encoding : {"ISO-8859-1", "UTF-8", "windows-1252", "us-ascii"}) {
      SCOPED_TRACE(std::string(encoding) + ", run " + std::to_string(run));
      TqorPlannerModel model([] { return EncodeDate(2025, 9, 1); });
      TqorXMLParser2& doc = model.Document();
      doc.Declaration().SetAttribute("encoding", encoding);
      size_t dropped = 0;
      // The text as written, and as it must read back.
      auto text = [&](std::string& kept) {
        std::string written;
        for (size_t n = pick(12); n > 0; --n) {
          const size_t at = pick(holds.size() + cannot.size());
          if (at < holds.size()) {
            written += holds[at];
            kept += holds[at];
          } else {
            written += cannot[at - holds.size()];
            ++dropped;
          }
        }
        return written;
      };
      TqorPlannerModel expected([] { return EncodeDate(2025, 9, 1); });
      expected.Document().Declaration().SetAttribute("encoding", encoding);
      for (int p = 1; p <= 3; ++p) {
        std::string name, notes;
        const std::string id = std::to_string(p);
        model.AddProject(id, text(name))->SetAttribute("notes", text(notes));
        expected.AddProject(id, name)->SetAttribute("notes", notes);
        for (int t = 0; t < 2; ++t) {
          std::string taskName, taskNotes;
          const std::string taskId = std::to_string(p * 10 + t);
          model.AddTask(id, taskId, text(taskName), 38350, 38352, false)
              ->SetAttribute("notes", text(taskNotes));
          expected.AddTask(id, taskId, taskName, 38350, 38352, false)
              ->SetAttribute("notes", taskNotes);
        }
      }
      std::string reading;
      ExpectedReading(expected.Document(), reading);

      const std::string stem = "standard_" + std::to_string(files.size() / 2);
      files.push_back(std::make_unique<TempFile>(stem));
      files.push_back(std::make_unique<TempFile>(stem + "_again"));
      const std::string& file = files[files.size() - 2]->path();
      const std::string& again = files.back()->path();
      size_t left = 99;
      doc.SaveToFile(file, &left);
      EXPECT_EQ(left, dropped);
      // planner-roundtrip and our own reader keep every value.
      const auto [tool, toolStatus] =
          RunShell(std::string(PLANNER_ROUNDTRIP) + " " + file + " " + again + " 2>&1");
      EXPECT_EQ(toolStatus, 0) << tool;
      EXPECT_EQ(tool.find("left out"), std::string::npos) << tool;
      TqorXMLParser2 ours;
      ours.LoadFromFile(again);
      ASSERT_EQ(ours.LastError(), "");
      std::string ourReading;
      ExpectedReading(ours, ourReading);
      EXPECT_EQ(ourReading, reading);
      for (const std::string& path : {file, again}) {
        paths.push_back(path);
        readings.push_back(reading);
      }
    }
  }
  std::string all;
  for (const std::string& path : paths) all += " " + path;
  const auto [lint, status] = RunShell("xmllint --noout" + all + " 2>&1");
  EXPECT_EQ(status, 0) << lint;
  const std::vector<std::string> standard = StandardReadings(paths);
  for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(standard[i], readings[i]) << paths[i];
}

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
