#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "report/uPDFDocument.h"
#include "report/uPDFPageTree.h"
#include "report/uPDFPainter.h"
#include "tests/report/pdfTestUtil.h"

namespace {

using pdftest::QpdfAccepts;

// The text of the document's object with the number.
std::string ObjectText(const TPDFDocument& doc, uint32_t number) {
  return doc.ObjectByNumber(number)->Text();
}

TEST(PDFDocument, NewDocumentLayoutAndCrossReferences) {
  TPDFDocument doc;
  EXPECT_EQ(doc.Objects().size(), 4u);
  TPDFPageTree pages(doc);  // selects page 1, which gets its content stream
  EXPECT_EQ(pages.Current(), 1);
  EXPECT_EQ(doc.Objects().size(), 5u);
  EXPECT_EQ(ObjectText(doc, 1), "<<\n/Type /Pages\n/Count 1\n/Kids [ 2 0 R ]\n>>\n");
  EXPECT_EQ(ObjectText(doc, 2),
            "<<\n/Type /Page\n/Parent 1 0 R\n/MediaBox [ 0 0 612 792 ]\n/CropBox [ 0 0 612 792 ]\n"
            "/Resources <<\n/ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ]\n>>\n"
            "/Contents [ 5 0 R ]\n>>\n");
  EXPECT_EQ(ObjectText(doc, 3), "<<\n/Type /Catalog\n/Pages 1 0 R\n>>\n");
  EXPECT_EQ(ObjectText(doc, 5), "<<\n/Length 0\n/LC /Rere\n>>\nstream\n\nendstream");
  std::string info = ObjectText(doc, 4);
  EXPECT_TRUE(std::regex_search(info, std::regex("^<<\n/Producer \\(.+\\)\n/Creator \\(.+\\)\n"
                                                 "/CreationDate \\(D:\\d{14}\\)\n"
                                                 "/ModDate \\(D:\\d{14}\\)\n>>\n$")))
      << info;

  std::string file = doc.Write();
  ASSERT_EQ(file.substr(0, 15), "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  EXPECT_TRUE(std::regex_search(file, std::regex("trailer\n<<\n/Size 6\n/Root 3 0 R\n/Info 4 0 R\n"
                                                 "/ID \\[ <[0-9A-F]{32}> <[0-9A-F]{32}> \\]\n>>\n"
                                                 "startxref\n\\d+\n%%EOF\n$")));
  // Six entries after "xref" and "0 6", each pointing at its object's first byte.
  size_t xref = file.find("xref\n0 6\n");
  ASSERT_NE(xref, std::string::npos);
  EXPECT_NE(file.find("startxref\n" + std::to_string(xref) + "\n"), std::string::npos);
  size_t entry = xref + 9;
  EXPECT_EQ(file.substr(entry, 20), "0000000000 65535 f \n");
  for (int n = 1; n <= 5; ++n) {
    std::string line = file.substr(entry + 20 * static_cast<size_t>(n), 20);
    ASSERT_TRUE(std::regex_match(line, std::regex("\\d{10} 00000 n \n"))) << line;
    size_t offset = std::stoul(line.substr(0, 10));
    EXPECT_EQ(file.compare(offset, 8, std::to_string(n) + " 0 obj\n"), 0) << n;
  }
  EXPECT_EQ(file.substr(entry + 120, 8), "trailer\n");

  pdftest::ScratchFolder dir;
  ASSERT_TRUE(doc.SaveToFile(dir.File("empty.pdf")));
  EXPECT_TRUE(QpdfAccepts(dir.File("empty.pdf")));
  EXPECT_FALSE(doc.SaveToFile(dir.File("no/such/folder.pdf")));
}

TEST(PDFDocument, FontsAreNeverShared) {
  TPDFDocument doc;
  TPDFFont* a = doc.AddStandardFont(4);
  TPDFFont* b = doc.AddStandardFont(4);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->Object(), b->Object());
  EXPECT_TRUE(std::regex_match(a->ResourceName(), std::regex("RereF[0-9a-f]{8}")));
  EXPECT_NE(a->ResourceName(), b->ResourceName());
  EXPECT_EQ(a->Object()->Text(),
            "<<\n/Type /Font\n/Subtype /Type1\n/BaseFont /Helvetica\n/Encoding /WinAnsiEncoding\n"
            ">>\n");
  EXPECT_EQ(doc.AddStandardFont(12)->Object()->Text(),
            "<<\n/Type /Font\n/Subtype /Type1\n/BaseFont /Symbol\n>>\n");
  EXPECT_EQ(doc.AddStandardFont(14), nullptr);
  EXPECT_EQ(doc.AddStandardFont(-1), nullptr);

  std::set<std::string> names;
  for (int i = 0; i < 2000; ++i) names.insert(doc.AddStandardFont(i % 14)->ResourceName());
  EXPECT_EQ(names.size(), 2000u);
}

TEST(PDFFontMetrics, TakenFromTheAFMFilesThroughWinAnsi) {
  TPDFDocument doc;
  TPDFFont& helvetica = *doc.AddStandardFont(4);
  EXPECT_EQ(helvetica.CodeWidth('W'), 944);
  EXPECT_EQ(helvetica.CodeWidth(' '), 278);
  EXPECT_EQ(helvetica.CodeWidth(160), 278);   // the non-breaking blank measures as a blank
  EXPECT_EQ(helvetica.CodeWidth(0x80), 556);  // Euro, unencoded in the AFM file
  EXPECT_EQ(helvetica.CodeWidth(0xFC), 556);  // udieresis
  EXPECT_EQ(helvetica.CodeWidth(0x81), 0);    // no glyph
  EXPECT_EQ(helvetica.CodeWidth('\n'), 0);
  EXPECT_DOUBLE_EQ(helvetica.LineHeight(10), 11.56);
  EXPECT_DOUBLE_EQ(helvetica.Descent(10), -2.25);
  EXPECT_DOUBLE_EQ(helvetica.HeightAboveBaseline(10), 9.31);
  EXPECT_DOUBLE_EQ(helvetica.Ascent(10), 7.18);
  EXPECT_DOUBLE_EQ(doc.AddStandardFont(5)->LineHeight(22), 26.18);
  EXPECT_EQ(doc.AddStandardFont(0)->CodeWidth('i'), 600);
  EXPECT_EQ(doc.AddStandardFont(8)->CodeWidth(0x97), 1000);  // Times-Roman emdash
  TPDFFont& symbol = *doc.AddStandardFont(12);
  EXPECT_EQ(symbol.CodeWidth('a'), 631);  // alpha, by Symbol's own code
  EXPECT_EQ(symbol.CodeWidth(255), 0);

  // UTF-8 in, WinAnsi codes out; what WinAnsi lacks is "?", bytes that are not UTF-8 are Latin-1.
  EXPECT_EQ(helvetica.Encode("M\xC3\xBCller Stra\xC3\x9F"
                             "e \xE2\x82\xAC 5"),
            "M\xFCller Stra\xDF"
            "e \x80 5");
  EXPECT_EQ(helvetica.Encode("\xE2\x80\x94\xC5\x81\xE6\x9D\xB1 \xE9"), "\x97?? \xE9");
  EXPECT_EQ(helvetica.RemoveWidthless("a\tb\r\nc\x01"), "abc");
  EXPECT_DOUBLE_EQ(helvetica.CodesWidth("AV", 10), (667 + 667) / 100.0);
}

TEST(PDFDocument, PagesSizesAndResources) {
  TPDFDocument doc;
  TPDFPageTree pages(doc);
  pages.SetCurrentSize(595.2755905511812, 841.8897637795276);
  EXPECT_NE(pages.Page(1)->Text().find("/MediaBox [ 0 0 595.2755 841.8897 ]\n"
                                       "/CropBox [ 0 0 595.2755 841.8897 ]\n>>"),
            std::string::npos);
  EXPECT_EQ(pages.Append(), 2);
  EXPECT_EQ(pages.Current(), 2);
  EXPECT_DOUBLE_EQ(pages.Width(2), 595.2755905511812);
  EXPECT_EQ(pages.Root().Text(), "<<\n/Type /Pages\n/Count 2\n/Kids [ 2 0 R 6 0 R ]\n>>\n");
  EXPECT_EQ(doc.ObjectByNumber(7)->Type(), TPDFObjectType::Stream);  // page 2's content
  EXPECT_EQ(pages.ContentStreams(2).size(), 1u);
  EXPECT_FALSE(pages.Select(3));
  EXPECT_FALSE(pages.Select(0));
  EXPECT_EQ(pages.Current(), 2);

  // A page without its own box takes its parent's.
  pages.Page(2)->Remove("MediaBox");
  pages.Root().SetArray("MediaBox")->AddNumber(0);
  EXPECT_EQ(pages.Width(2), 0);  // a box of the wrong size is no box
  pages.Root().Remove("MediaBox");
  TPDFArray* box = pages.Root().SetArray("MediaBox");
  for (double v : {10.0, 20.0, 110.0, 220.0}) box->AddNumber(v);
  EXPECT_EQ(pages.Width(2), 100);
  EXPECT_EQ(pages.Height(2), 200);

  TPDFFont* font = doc.AddStandardFont(4);
  pages.AddResource(*pages.Page(1), "Font", font->ResourceName(), *font->Object());
  pages.AddResource(*pages.Page(1), "Font", font->ResourceName(), *font->Object());
  std::string resources = pages.Page(1)->GetAs<TPDFDictionary>("Resources")->Text();
  EXPECT_EQ(resources, "<<\n/ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ]\n/Font <<\n/" +
                           font->ResourceName() + " 8 0 R\n>>\n>>\n");
}

TEST(PDFDocument, OutlineTree) {
  TPDFDocument doc;
  TPDFPageTree pages(doc);
  pages.Append();
  TPDFDictionary* first = doc.AddOutline(nullptr, "Chapter 1", pages.Page(1), 700);
  TPDFDictionary* second = doc.AddOutline(nullptr, "Chapter 2", pages.Page(2), 500.25);
  TPDFDictionary* child = doc.AddOutline(first, "Section 1.1", pages.Page(1), 400);
  ASSERT_TRUE(first && second && child);
  EXPECT_EQ(doc.AddOutline(nullptr, "Nowhere", pages.Page(3), 0), nullptr);

  TPDFDictionary* root = doc.Catalog().GetAs<TPDFIndRef>("Outlines")
                             ? PDFCast<TPDFDictionary>(doc.Resolve(doc.Catalog().Get("Outlines")))
                             : nullptr;
  ASSERT_NE(root, nullptr);
  auto ref = [](const TPDFObject& o) { return std::to_string(o.Number()) + " 0 R"; };
  EXPECT_EQ(root->Text(),
            "<<\n/First " + ref(*first) + "\n/Last " + ref(*second) + "\n/Count 3\n>>\n");
  EXPECT_EQ(first->Text(), "<<\n/Title (Chapter 1)\n/Parent " + ref(*root) +
                               "\n/Dest [ 2 0 R /XYZ 0 700 0 ]\n/Next " + ref(*second) +
                               "\n/First " + ref(*child) + "\n/Last " + ref(*child) +
                               "\n/Count 1\n>>\n");
  EXPECT_EQ(second->Text(), "<<\n/Title (Chapter 2)\n/Parent " + ref(*root) +
                                "\n/Dest [ 6 0 R /XYZ 0 500.25 0 ]\n/Prev " + ref(*first) +
                                "\n>>\n");
  // A closed item (negative count) stays closed and counts one more.
  second->SetNumber("Count", -2);
  doc.AddOutline(second, "Hidden", pages.Page(2), 0);
  EXPECT_EQ(second->GetAs<TPDFNumeric>("Count")->Value, -3);
  EXPECT_EQ(root->GetAs<TPDFNumeric>("Count")->Value, 4);

  TPDFDocument::SetOutlineStyle(*first, false, true);
  TPDFDocument::SetOutlineStyle(*first, true, true);
  EXPECT_EQ(first->GetAs<TPDFNumeric>("F")->Value, 3);

  // A title beyond ASCII is written as UTF-16 behind its byte-order mark.
  TPDFDictionary* umlaut = doc.AddOutline(nullptr, "M\xC3\xBCller \xE2\x82\xAC", pages.Page(1), 0);
  EXPECT_EQ(umlaut->GetAs<TPDFString>("Title")->Bytes,
            std::string("\xFE\xFF\0M\0\xFC\0l\0l\0e\0r\0 \x20\xAC", 18));

  pdftest::ScratchFolder dir;
  ASSERT_TRUE(doc.SaveToFile(dir.File("outlines.pdf")));
  EXPECT_TRUE(QpdfAccepts(dir.File("outlines.pdf")));
}

TEST(PDFDocument, CompressedPagesAreContinued) {
  TPDFDocument doc;
  TPDFPageTree pages(doc);
  TPDFPainter painter(pages);
  // Selecting a page hands the painter the page and the stream to draw into.
  auto select = [&](int page) {
    bool selected = pages.Select(page);
    painter.BeginCurrentPage();
    return selected;
  };
  painter.BeginCurrentPage();
  painter.DrawLine(1, 2, 3, 4);
  pages.Append();
  painter.BeginCurrentPage();
  painter.DrawLine(5, 6, 7, 8);
  pages.CompressContent();
  for (int page = 1; page <= 2; ++page) {
    TPDFStream* stream = pages.ContentStreams(page).at(0);
    EXPECT_EQ(stream->Dict().GetAs<TPDFName>("Filter")->Value, "FlateDecode");
    EXPECT_EQ(stream->Dict().GetAs<TPDFNumeric>("Length")->Value,
              static_cast<double>(stream->Data().size()));
  }
  // Selecting page 1 again continues its stream: the earlier content is inflated and kept.
  ASSERT_TRUE(select(1));
  EXPECT_EQ(pages.ContentStreams(1).size(), 1u);
  TPDFStream* first = pages.ContentStreams(1)[0];
  EXPECT_TRUE(first->Dict().Has("Filter"));  // still packed until something is drawn
  painter.DrawLine(9, 9, 9, 9);
  EXPECT_FALSE(first->Dict().Has("Filter"));
  EXPECT_EQ(first->Data(),
            "0 0 0 RG\n1 w 0 J 0 j\n[] 0 d\n1 2 m 3 4 l S\n"
            "0 0 0 RG\n1 w 0 J 0 j\n[] 0 d\n9 9 m 9 9 l S\n");
  // The current page, compressed under the painter's feet, is continued too.
  pages.CompressContent();
  painter.DrawLine(0, 0, 1, 1);
  EXPECT_EQ(first->Data().substr(first->Data().size() - 14), "0 0 m 1 1 l S\n");

  // A stream that is not ours, too long, or otherwise filtered gets a new stream beside it.
  first->Dict().SetName("LC", "Other");
  ASSERT_TRUE(select(1));
  EXPECT_EQ(pages.ContentStreams(1).size(), 2u);
  TPDFStream* second = pages.ContentStreams(1)[1];
  second->SetData(std::string(TPDFPageTree::kMaxContinuedStream + 1, ' '));
  ASSERT_TRUE(select(1));
  EXPECT_EQ(pages.ContentStreams(1).size(), 3u);
  TPDFStream* third = pages.ContentStreams(1)[2];
  third->Dict().SetName("Filter", "ASCIIHexDecode");
  ASSERT_TRUE(select(1));
  EXPECT_EQ(pages.ContentStreams(1).size(), 4u);
  TPDFStream* fourth = pages.ContentStreams(1)[3];
  fourth->Dict().SetArray("Filter")->AddName("FlateDecode");  // damaged Flate data
  fourth->SetData("not deflated");
  ASSERT_TRUE(select(1));
  EXPECT_EQ(pages.ContentStreams(1).size(), 5u);
  EXPECT_EQ(painter.Stream(), pages.ContentStreams(1)[4]);
}

TEST(PDFImages, JPEGFrameHeaders) {
  // SOI, an APP0 segment, SOF0 of 3 x 2 pixels with the given components, EOI.
  auto jpeg = [](int components) {
    std::string b = "\xFF\xD8";
    b += std::string("\xFF\xE0\x00\x04\x00\x00", 6);
    b += std::string("\xFF\xC0\x00\x0B\x08\x00\x02\x00\x03", 9);
    b += static_cast<char>(components);
    b += std::string("\x01\x11\x00", 3);
    return b + "\xFF\xD9";
  };
  TJPEGFrame frame = ReadJPEGFrame(jpeg(3));
  EXPECT_EQ(frame.Width, 3);
  EXPECT_EQ(frame.Height, 2);
  EXPECT_EQ(frame.Components, 3);

  TPDFDocument doc;
  TPDFImage* cmyk = doc.AddJPEGImage(jpeg(4));
  EXPECT_TRUE(std::regex_match(cmyk->ResourceName(), std::regex("RereIm[0-9a-f]{8}")));
  EXPECT_EQ(cmyk->Object()->Dict().Text(),
            "<<\n/Length 23\n/Type /XObject\n/Subtype /Image\n/Width 3\n/Height 2\n"
            "/ColorSpace /DeviceCMYK\n/Decode [ 1 0 1 0 1 0 1 0 ]\n/BitsPerComponent 8\n"
            "/Filter /DCTDecode\n>>\n");
  EXPECT_EQ(cmyk->Object()->Data(), jpeg(4));
  EXPECT_NE(doc.AddJPEGImage(jpeg(1))->Object()->Dict().Text().find("/DeviceGray"),
            std::string::npos);

  EXPECT_THROW(ReadJPEGFrame("GIF89a"), EPDFImageError);
  EXPECT_THROW(ReadJPEGFrame(jpeg(2)), EPDFImageError);
  EXPECT_THROW(ReadJPEGFrame(jpeg(3).substr(0, 12)), EPDFImageError);  // cut in a segment
  EXPECT_THROW(ReadJPEGFrame(std::string("\xFF\xD8\xFF\xD9", 4)), EPDFImageError);
  std::string noSize = jpeg(3);
  noSize[15] = noSize[16] = 0;  // width 0
  EXPECT_THROW(ReadJPEGFrame(noSize), EPDFImageError);
  EXPECT_EQ(doc.ImageCount(), 2u);
}

}  // namespace
