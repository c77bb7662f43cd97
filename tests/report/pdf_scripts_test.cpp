// Reports in many scripts through the PDF reporter, judged by poppler and qpdf: the text comes
// back from the file as stored (right-to-left names in logical order), the installed fonts are
// embedded as subsets, no covered character is drawn as the missing-glyph box, characters no
// font has are counted, and a long report holds one font object per font.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "report/qorPDFReporter.h"
#include "tests/report/pdfTestUtil.h"

namespace {

using pdftest::QpdfAccepts;
using pdftest::ReadFile;
using pdftest::RunCommand;

class PDFScripts : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"qpdf", "pdftotext", "pdffonts", "pdfinfo"}) {
      if (std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0)
        continue;
      if (std::getenv("VAZADOD_CI"))
        FAIL() << program << " is not installed; the PDF checks need Debian's qpdf and "
               << "poppler-utils (scripts/install-deps.sh)";
      GTEST_SKIP() << program << " is not installed: install Debian's qpdf and poppler-utils "
                   << "(scripts/install-deps.sh) to run these checks.";
    }
    // The fonts the names need, as fontconfig lists them.
    const std::string families = RunCommand("fc-list : family").Output;
    for (const char* family : {"DejaVu Sans", "Noto Sans Devanagari", "WenQuanYi Zen Hei"}) {
      if (families.find(family) != std::string::npos) continue;
      if (std::getenv("VAZADOD_CI"))
        FAIL() << family << " is not installed; the checks need Debian's fonts-dejavu-core, "
               << "fonts-noto-core and fonts-wqy-zenhei (scripts/install-deps.sh)";
      GTEST_SKIP() << family << " is not installed: install Debian's fonts-dejavu-core, "
                   << "fonts-noto-core and fonts-wqy-zenhei (scripts/install-deps.sh).";
    }
  }

  std::string Render(const std::string& markup, const std::string& name) {
    const std::string file = dir_.File(name);
    reporter_.SetLanguage("english");
    reporter_.RenderReport(markup, file, dir_.File(""));
    EXPECT_TRUE(QpdfAccepts(file));
    return file;
  }

  // The text poppler reads from the file in reading order, without the embedding marks
  // (U+202B ... U+202C) it puts around right-to-left runs.
  static std::string ReadingText(const std::string& file) {
    std::string text = RunCommand("pdftotext -enc UTF-8 '" + file + "' -").Output;
    for (const char* mark : {"\xE2\x80\xAB", "\xE2\x80\xAC"})
      for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
        text.erase(at, 3);
    return text;
  }

  // The glyph ids shown through the embedded fonts (the TJ arrays; standard text uses Tj).
  std::vector<std::string> EmbeddedGlyphIds(const std::string& file) {
    const std::string plain = dir_.File("plain.pdf");
    RunCommand("qpdf --qdf --object-streams=disable '" + file + "' '" + plain + "'");
    const std::string content = ReadFile(plain);
    std::vector<std::string> ids;
    for (size_t end = content.find("] TJ"); end != std::string::npos;
         end = content.find("] TJ", end + 1)) {
      const size_t open = content.rfind('[', end);
      for (size_t at = content.find('<', open); at < end; at = content.find('<', at + 1)) {
        const size_t close = content.find('>', at);
        for (size_t i = at + 1; i + 4 <= close; i += 4) ids.push_back(content.substr(i, 4));
      }
    }
    return ids;
  }

  pdftest::ScratchFolder dir_;
  TqorPDFReporter reporter_;
};

std::string Head() {
  return "<html header=\"Sites\" footer=\"Vazadod\" pagesize=\"A4\"><head>"
         "<style id=\"td.bold\">font-weight:bold</style>"
         "<style id=\"td.numeric\">text-align:right</style></head><body>";
}

TEST_F(PDFScripts, EveryNameComesBackFromTheFileInEmbeddedSubsets) {
  const std::vector<std::string> names = {
      "Łódź warehouse",     "Žluťoučký kůň", "İstanbul şube Iğdır",    "Αθήνα γραφείο",
      "Москва склад",       "מחסן תל אביב",  "مستودع القاهرة",         "दिल्ली गोदाम",
      "北京仓库",           "東京の倉庫",    "Ame\u0301lie Zoe\u0308",  // combining accents
      "Pro\u00ADjekt Nord",                                             // a soft hyphen
  };

  // WinAnsi shows the soft hyphen as its code 0xAD, which poppler reads as a hyphen.
  auto read = [](std::string name) {
    const size_t at = name.find("\xC2\xAD");
    return at == std::string::npos ? name : name.replace(at, 2, "-");
  };
  std::string markup = Head() + "<h1>Sites</h1>";
  for (size_t i = 0; i < names.size(); ++i) {
    // Each name in a regular and in a bold cell, and as a paragraph.
    markup += "<tr><td right=\"50\"><![CDATA[" + names[i] + "]]></td><td class=\"td.bold\" " +
              "right=\"100\"><![CDATA[" + names[i] + "]]></td></tr>";
    markup += "<p><![CDATA[" + std::to_string(i) + " " + names[i] + "]]></p>";
  }
  markup += "</body></html>";
  const std::string file = Render(markup, "scripts.pdf");
  EXPECT_EQ(reporter_.CharactersWithoutFont(), 0u);

  const std::string text = ReadingText(file);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string name = read(names[i]);
    size_t count = 0;
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1))
      ++count;
    EXPECT_EQ(count, 3u) << name << "\n" << text;
    EXPECT_NE(text.find(std::to_string(i) + " " + name), std::string::npos) << name;
  }

  // The embedded fonts: TrueType subsets behind Identity-H, regular and bold ones; the standard
  // fonts stay for the rest.
  const std::string fonts = RunCommand("pdffonts '" + file + "'").Output;
  std::smatch m;
  std::map<std::string, int> embedded;
  for (auto it = fonts.cbegin();
       std::regex_search(it, fonts.cend(), m,
                         std::regex("([A-Z]{6})\\+(\\S+) +CID TrueType +Identity-H +(\\w+) "
                                    "+(\\w+) +(\\w+)"));
       it = m.suffix().first) {
    EXPECT_EQ(m[3], "yes") << fonts;
    EXPECT_EQ(m[4], "yes") << fonts;
    EXPECT_EQ(m[5], "yes") << fonts;
    ++embedded[m[2]];
  }
  EXPECT_GE(embedded.size(), 5u) << fonts;  // Latin and more, bold, Devanagari, Chinese, ...
  for (const auto& [name, count] : embedded) EXPECT_EQ(count, 1) << name;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("Bold"))) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\nHelvetica +Type 1 +WinAnsi"))) << fonts;

  // Every glyph of the covered text is a real one.
  const std::vector<std::string> ids = EmbeddedGlyphIds(file);
  EXPECT_GT(ids.size(), 100u);
  for (const std::string& id : ids) EXPECT_NE(id, "0000");
}

TEST_F(PDFScripts, CharactersNoFontHasAreBoxesCountedOnce) {
  // Two private-use characters of plane 16 and an unassigned Greek code point.
  const std::string odd = "\xF4\x8F\xBF\xBD \xF4\x8F\xBF\xBD \xCD\xB8";
  const std::string markup = Head() + "<p><![CDATA[Marks " + odd + " end]]></p></body></html>";
  const std::string file = Render(markup, "missing.pdf");
  EXPECT_EQ(reporter_.CharactersWithoutFont(), 3u);
  const std::vector<std::string> ids = EmbeddedGlyphIds(file);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "0000"), 3);
  EXPECT_NE(ReadingText(file).find("Marks " + odd + " end"), std::string::npos);

  // The count is the last conversion's.
  Render(Head() + "<p>plain</p></body></html>", "plain.pdf");
  EXPECT_EQ(reporter_.CharactersWithoutFont(), 0u);
}

TEST_F(PDFScripts, ALongReportHoldsOneObjectPerFontAndItsTitle) {
  const std::string title = "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB8 & plans";  // Задачи
  // The report's header is its title (not the first heading).
  std::string markup = Head();
  markup.replace(markup.find("Sites"), 5,
                 "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB8 &amp; plans");
  markup += "<h1 outline=\"Tasks\"><![CDATA[First heading]]></h1>";
  for (int i = 0; i < 400; ++i)
    markup += "<tr header=\"" + std::string(i % 100 == 0 ? "yes" : "no") +
              "\"><td right=\"40\"><![CDATA[\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0 " +
              std::to_string(i) + "]]></td><td class=\"td.bold\" right=\"70\">\xE5\x8C\x97 " +
              std::to_string(i) + "</td><td right=\"100\">Task " + std::to_string(i) + "</td></tr>";
  markup += "</body></html>";
  const std::string file = Render(markup, "long.pdf");
  const std::string bytes = ReadFile(file);
  const std::string info = RunCommand("pdfinfo '" + file + "'").Output;
  EXPECT_TRUE(std::regex_search(info, std::regex("(^|\n)Title: +" + title + "\n"))) << info;
  const int pages = std::atoi(info.c_str() + info.find("Pages:") + 6);
  EXPECT_GT(pages, 5);
  EXPECT_NE(bytes.find("/PageMode /UseOutlines"), std::string::npos);

  std::map<std::string, int> objects;
  static const std::regex font("obj\n<<\n/Type /Font\n/Subtype /(\\w+)\n/BaseFont /(\\S+)\n");
  for (std::sregex_iterator it(bytes.begin(), bytes.end(), font), end; it != end; ++it)
    ++objects[(*it)[1].str() + " " + std::regex_replace((*it)[2].str(), std::regex("^.*\\+"), "")];
  EXPECT_GE(objects.size(), 6u);  // Times and Helvetica fonts, Type0 fonts and descendants
  for (const auto& [name, count] : objects) EXPECT_EQ(count, 1) << name;
}

}  // namespace
