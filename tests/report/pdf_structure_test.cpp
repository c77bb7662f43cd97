#include <gtest/gtest.h>
#include <zlib.h>

#include <clocale>
#include <string>
#include <vector>

#include "report/uPDFStructure.h"

namespace {

TEST(PDFNumber, CutAfterFourDecimalsWithoutTrailingZeros) {
  EXPECT_EQ(PDFNumberText(595.2755905511812), "595.2755");
  EXPECT_EQ(PDFNumberText(841.8897637795276), "841.8897");
  EXPECT_EQ(PDFNumberText(12.0), "12");
  EXPECT_EQ(PDFNumberText(0.1), "0.1");
  EXPECT_EQ(PDFNumberText(0.5), "0.5");
  EXPECT_EQ(PDFNumberText(-70.86614173228347), "-70.8661");
  EXPECT_EQ(PDFNumberText(1.99999), "1.9999");  // cut, not rounded
  // The 15-digit text is taken first: 0.7 is stored as 0.69999999999999995..., and a cut of
  // all its digits would write 0.6999.
  EXPECT_EQ(PDFNumberText(0.7), "0.7");
  EXPECT_EQ(PDFNumberText(-1.15), "-1.15");
  EXPECT_EQ(PDFNumberText(99.99999999999999), "100");
  EXPECT_EQ(PDFNumberText(123456789012345.0), "123456789012345");
}

TEST(PDFNumber, WhatPlainDecimalTextCannotHoldIsZero) {
  EXPECT_EQ(PDFNumberText(0.00001), "0");
  EXPECT_EQ(PDFNumberText(0.000001), "0");
  EXPECT_EQ(PDFNumberText(-0.00001), "0");  // never "-0"
  EXPECT_EQ(PDFNumberText(-0.0), "0");
  EXPECT_EQ(PDFNumberText(1e15), "0");
  EXPECT_EQ(PDFNumberText(-2e20), "0");
  EXPECT_EQ(PDFNumberText(1.0 / 0.0), "0");
  EXPECT_EQ(PDFNumberText(0.0 / 0.0), "0");
  EXPECT_EQ(PDFNumberText(0.0001), "0.0001");
}

TEST(PDFNumber, PointInEveryLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale";
  EXPECT_EQ(PDFNumberText(1234.5678), "1234.5678");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(PDFObjects, TextForms) {
  TPDFStructure s;
  EXPECT_EQ(s.Make<TPDFNull>()->Text(), "null");
  EXPECT_EQ(s.Make<TPDFBoolean>(true)->Text(), "true");
  EXPECT_EQ(s.Make<TPDFString>("a(b)c\\d\n\r\t\b\f\xE9")->Text(),
            "(a\\(b\\)c\\\\d\\n\\r\\t\\b\\f\xE9)");
  EXPECT_EQ(s.Make<TPDFString>(std::string("\x01\xAB", 2), TPDFString::kHexadecimal)->Text(),
            "<01AB>");
  // Delimiters, "#", blanks, control characters and bytes above "~" are escaped in names.
  EXPECT_EQ(s.Make<TPDFName>("Type")->Text(), "/Type");
  EXPECT_EQ(s.Make<TPDFName>("A B#%()/<>[]{}\x7F\xE9!~")->Text(),
            "/A#20B#23#25#28#29#2F#3C#3E#5B#5D#7B#7D#7F#E9!~");
  EXPECT_EQ(s.Make<TPDFIndRef>(12, 0)->Text(), "12 0 R");
}

TEST(PDFObjects, ArraysBreakLongLines) {
  TPDFStructure s;
  auto array = s.Make<TPDFArray>();
  array->AddNumber(0);
  array->AddNumber(0);
  array->AddNumber(612);
  array->AddNumber(792);
  EXPECT_EQ(array->Text(), "[ 0 0 612 792 ]");

  auto longArray = s.Make<TPDFArray>();
  std::string oneLine = "[ ";
  for (int i = 0; i < 60; ++i) {
    longArray->AddNumber(1000 + i);
    oneLine += std::to_string(1000 + i) + " ";
  }
  oneLine += "]";
  std::string text = longArray->Text();
  // A line ends as soon as it passes 80 characters, and only then.
  std::vector<std::string> lines;
  std::string joined;
  for (size_t start = 0;;) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    joined += lines.back();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  EXPECT_EQ(joined, oneLine);
  ASSERT_GT(lines.size(), 2u);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_GT(lines[i].size(), 80u);
    EXPECT_LE(lines[i].size(), 85u);
  }
}

TEST(PDFObjects, DictionariesKeepTheOrderOfFirstSetting) {
  TPDFStructure s;
  auto dict = s.Make<TPDFDictionary>();
  dict->SetName("Type", "Page");
  dict->SetNumber("Count", 1);
  dict->SetDictionary("Inner")->SetNumber("A", 1);
  dict->SetNumber("Count", 2);  // replaced in place
  EXPECT_EQ(dict->Text(), "<<\n/Type /Page\n/Count 2\n/Inner <<\n/A 1\n>>\n>>\n");
  dict->Remove("Type");
  dict->SetName("Type", "Pages");  // removed and set again: at the end
  EXPECT_EQ(dict->Text(), "<<\n/Count 2\n/Inner <<\n/A 1\n>>\n/Type /Pages\n>>\n");
  EXPECT_EQ(dict->GetAs<TPDFNumeric>("Count")->Value, 2);
  EXPECT_EQ(dict->GetAs<TPDFName>("Count"), nullptr);
  dict->Remove("Missing");
  EXPECT_EQ(dict->Count(), 3u);

  // Objects of another document, and indirect objects, are refused as direct values.
  TPDFStructure other;
  EXPECT_THROW(dict->Set("X", other.Make<TPDFNull>()), std::logic_error);
}

TEST(PDFObjects, StreamsKeepTheirLength) {
  TPDFStructure s;
  auto stream = s.Make<TPDFStream>();
  stream->Dict().SetName("LC", "Rere");
  stream->AppendData("BT\nET\n");
  stream->TruncateData(3);
  EXPECT_EQ(stream->Text(), "<<\n/Length 3\n/LC /Rere\n>>\nstream\nBT\n\nendstream");
}

TEST(PDFFlate, RoundTripAndDamagedData) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "0 0 0 rg\n1 0 0 1 10 20 Tm\n";
  std::string packed = PDFFlateCompress(text);
  EXPECT_LT(packed.size(), text.size() / 10);
  EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78);  // zlib header
  std::string back;
  ASSERT_TRUE(PDFFlateDecompress(packed, back, 1 << 20));
  EXPECT_EQ(back, text);

  std::string out = "untouched";
  EXPECT_FALSE(PDFFlateDecompress(packed.substr(0, packed.size() / 2), out, 1 << 20));
  EXPECT_FALSE(PDFFlateDecompress("not zlib data", out, 1 << 20));
  EXPECT_FALSE(PDFFlateDecompress(packed, out, 1000));  // would grow beyond the limit
  EXPECT_EQ(out, "untouched");

  // One compressor for many texts gives each the bytes zlib gives it alone.
  TPDFFlateCompressor compressor;
  for (const std::string& t : {text, std::string(), std::string("x"), text.substr(7, 5000)}) {
    uLongf size = compressBound(static_cast<uLong>(t.size()));
    std::string alone(size, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(alone.data()), &size,
                        reinterpret_cast<const Bytef*>(t.data()), static_cast<uLong>(t.size()),
                        Z_DEFAULT_COMPRESSION),
              Z_OK);
    alone.resize(size);
    EXPECT_EQ(compressor.Compress(t), alone) << t.size();
  }
}

}  // namespace
