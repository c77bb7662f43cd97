// The ToUnicode CMap written here:
//   /CIDInit /ProcSet findresource begin 12 dict begin begincmap
//   /CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def
//   /CMapName /Adobe-Identity-UCS def /CMapType 2 def
//   1 begincodespacerange <0000> <FFFF> endcodespacerange
//   n beginbfchar <gggg> <uuuu...> ... endbfchar          (at most 100 entries a block)
//   endcmap CMapName currentdict /CMap defineresource pop end end
#include "report/uPDFEmbeddedFont.h"

#include <nettle/md5.h>

#include <vector>

#include "report/uPDFDocument.h"
#include "report/uPDFFontFace.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex16(std::string& out, uint32_t value) {
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

void AppendUtf16Hex(std::string& out, std::u32string_view text) {
  for (char32_t c : text) {
    if (c >= 0x10000) {
      AppendHex16(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendHex16(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      AppendHex16(out, c);
    }
  }
}

}  // namespace

TPDFEmbeddedFont::TPDFEmbeddedFont(const TPDFFontFace& face, std::string resourceName,
                                   TPDFDictionary* object)
    : face_(face), resourceName_(std::move(resourceName)), object_(object) {}

void TPDFEmbeddedFont::Use(uint32_t glyph, std::u32string_view text, bool final) {
  auto [at, added] = glyphs_.try_emplace(glyph, text);
  if (!added && !text.empty() && (at->second.empty() || final)) at->second = text;
}

std::string TPDFEmbeddedFont::ToUnicodeMap() const {
  std::string out =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  std::vector<std::pair<uint32_t, const std::u32string*>> entries;
  for (const auto& [glyph, text] : glyphs_)
    if (!text.empty() && glyph != 0) entries.emplace_back(glyph, &text);
  for (size_t i = 0; i < entries.size(); i += 100) {
    const size_t n = std::min<size_t>(100, entries.size() - i);
    out += std::to_string(n) + " beginbfchar\n";
    for (size_t j = i; j < i + n; ++j) {
      out += '<';
      AppendHex16(out, entries[j].first);
      out += "> <";
      AppendUtf16Hex(out, *entries[j].second);
      out += ">\n";
    }
    out += "endbfchar\n";
  }
  out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  return out;
}

void TPDFEmbeddedFont::Finish(TPDFDocument& document) {
  if (descendant_ && finishedGlyphs_ == glyphs_.size()) return;
  finishedGlyphs_ = glyphs_.size();
  std::vector<uint32_t> glyphs;
  glyphs.reserve(glyphs_.size());
  for (const auto& entry : glyphs_) glyphs.push_back(entry.first);

  // The subset tag: six capitals from a digest of the glyph ids.
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, face_.PostScriptName().size(),
             reinterpret_cast<const uint8_t*>(face_.PostScriptName().data()));
  md5_update(&ctx, glyphs.size() * sizeof(uint32_t),
             reinterpret_cast<const uint8_t*>(glyphs.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
  std::string baseFont;
  for (int i = 0; i < 6; ++i) baseFont += static_cast<char>('A' + digest[i] % 26);
  baseFont += "+" + face_.PostScriptName();

  const TPDFStructure& structure = document.Structure();
  if (!descendant_) {
    descendant_ = document.Register(structure.Make<TPDFDictionary>());
    descriptor_ = document.Register(structure.Make<TPDFDictionary>());
    file_ = document.Register(structure.Make<TPDFStream>());
    toUnicode_ = document.Register(structure.Make<TPDFStream>());
  }

  const std::string subset = face_.Subset(glyphs);
  file_->SetData(PDFFlateCompress(subset));
  file_->Dict().SetName("Filter", "FlateDecode");
  file_->Dict().SetNumber("Length1", static_cast<double>(subset.size()));
  toUnicode_->SetData(PDFFlateCompress(ToUnicodeMap()));
  toUnicode_->Dict().SetName("Filter", "FlateDecode");

  TPDFDictionary& d = *descriptor_;
  d.SetName("Type", "FontDescriptor");
  d.SetName("FontName", baseFont);
  d.SetNumber("Flags", 4);  // symbolic: the glyphs are reached by id, not by a standard encoding
  TPDFArray* box = d.SetArray("FontBBox");
  for (int i = 0; i < 4; ++i) box->AddNumber(face_.BoundingBox()[i]);
  d.SetNumber("ItalicAngle", 0);
  d.SetNumber("Ascent", face_.Ascent());
  d.SetNumber("Descent", face_.Descent());
  d.SetNumber("CapHeight", face_.CapHeight());
  d.SetNumber("StemV", 80);
  d.SetRef("FontFile2", *file_);

  TPDFDictionary& c = *descendant_;
  c.SetName("Type", "Font");
  c.SetName("Subtype", "CIDFontType2");
  c.SetName("BaseFont", baseFont);
  TPDFDictionary* info = c.SetDictionary("CIDSystemInfo");
  info->SetString("Registry", "Adobe");
  info->SetString("Ordering", "Identity");
  info->SetNumber("Supplement", 0);
  c.SetRef("FontDescriptor", *descriptor_);
  c.SetName("CIDToGIDMap", "Identity");
  c.SetNumber("DW", 1000);
  // Runs of consecutive glyph ids share one entry: g [ w1 w2 ... ].
  TPDFArray* widths = c.SetArray("W");
  TPDFArray* run = nullptr;
  uint32_t next = 0;
  for (uint32_t g : glyphs) {
    if (!run || g != next) {
      widths->AddNumber(g);
      run = static_cast<TPDFArray*>(widths->Add(structure.Make<TPDFArray>()));
    }
    run->AddNumber(face_.GlyphWidth(g));
    next = g + 1;
  }

  TPDFDictionary& t = *object_;
  t.SetName("Type", "Font");
  t.SetName("Subtype", "Type0");
  t.SetName("BaseFont", baseFont);
  t.SetName("Encoding", "Identity-H");
  TPDFArray* descendants = t.SetArray("DescendantFonts");
  descendants->AddRef(*descendant_);
  t.SetRef("ToUnicode", *toUnicode_);
}
