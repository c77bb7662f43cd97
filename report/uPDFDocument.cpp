#include "report/uPDFDocument.h"

#include <nettle/md5.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace {

const char kProducer[] = "Vazadod PDF toolkit 1.0";

std::string Md5(std::string_view text) {
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
  return std::string(reinterpret_cast<char*>(digest), MD5_DIGEST_SIZE);
}

std::string NowAsDecimalText() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

// "D:" and the local time as yyyymmddhhnnss.
std::string PDFDateNow() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[64];
  std::snprintf(buf, sizeof buf, "D:%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buf;
}

}  // namespace

std::string PDFTextStringBytes(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; }))
    return std::string(utf8);
  std::string out = "\xFE\xFF";
  auto unit = [&out](char32_t u) {
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xFF);
  };
  for (size_t i = 0; i < utf8.size();) {
    size_t start = i;
    char32_t c = DecodeUtf8At(utf8, i).value_or(static_cast<unsigned char>(utf8[start]));
    if (c >= 0x10000) {
      c -= 0x10000;
      unit(0xD800 + (c >> 10));
      unit(0xDC00 + (c & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

TPDFDocument::TPDFDocument()
    : fallback_(std::make_unique<TPDFFontFallback>(*this)), random_(std::random_device{}()) {
  trailer_ = structure_.Make<TPDFDictionary>();
  auto root = structure_.Make<TPDFDictionary>();
  root->SetName("Type", "Pages");
  root->SetNumber("Count", 0);
  root->SetArray("Kids");
  pageRoot_ = Register(std::move(root));  // object 1
  AddPageObject(612, 792);                // object 2

  auto catalog = structure_.Make<TPDFDictionary>();
  catalog->SetName("Type", "Catalog");
  catalog->SetRef("Pages", *pageRoot_);
  catalog_ = Register(std::move(catalog));
  info_ = Register(structure_.Make<TPDFDictionary>());

  trailer_->SetRef("Root", *catalog_);
  trailer_->SetRef("Info", *info_);
  std::string id = Md5(NowAsDecimalText());
  TPDFArray* ids = trailer_->SetArray("ID");
  ids->Add(structure_.Make<TPDFString>(id, TPDFString::kHexadecimal));
  ids->Add(structure_.Make<TPDFString>(id, TPDFString::kHexadecimal));

  std::string now = PDFDateNow();
  info_->SetString("Producer", kProducer);
  info_->SetString("Creator", kProducer);
  info_->SetString("CreationDate", now);
  info_->SetString("ModDate", now);
}

TPDFDocument::~TPDFDocument() = default;

void TPDFDocument::RegisterObject(std::unique_ptr<TPDFObject> object) {
  if (object->Structure() != &structure_ || object->IsIndirect())
    throw std::logic_error("PDF object registered twice or in another document");
  uint32_t number = objects_.empty() ? 1 : objects_.back().Number + 1;
  object->number_ = number;
  object->generation_ = 0;
  objects_.push_back({number, 0, std::move(object)});
  trailer_->SetNumber("Size", number + 1);
}

TPDFObject* TPDFDocument::ObjectByNumber(uint32_t number) const {
  // Numbers are handed out in order from 1, so the number is the position.
  if (number == 0 || number > objects_.size()) return nullptr;
  return objects_[number - 1].Object.get();
}

TPDFObject* TPDFDocument::Resolve(TPDFObject* object) const {
  if (auto* ref = PDFCast<TPDFIndRef>(object)) {
    TPDFObject* target = ObjectByNumber(ref->RefNumber);
    return target && target->Generation() == ref->RefGeneration ? target : nullptr;
  }
  return object;
}

TPDFDictionary* TPDFDocument::AddPageObject(double width, double height) {
  auto page = structure_.Make<TPDFDictionary>();
  page->SetName("Type", "Page");
  page->SetRef("Parent", *pageRoot_);
  for (const char* key : {"MediaBox", "CropBox"}) {
    TPDFArray* box = page->SetArray(key);
    for (double v : {0.0, 0.0, width, height}) box->AddNumber(v);
  }
  TPDFArray* procSet = page->SetDictionary("Resources")->SetArray("ProcSet");
  for (const char* name : {"PDF", "Text", "ImageB", "ImageC", "ImageI"}) procSet->AddName(name);
  TPDFDictionary* added = Register(std::move(page));
  if (auto* kids = PDFCast<TPDFArray>(Resolve(pageRoot_->Get("Kids")))) kids->AddRef(*added);
  auto* count = pageRoot_->GetAs<TPDFNumeric>("Count");
  pageRoot_->SetNumber("Count", (count ? count->Value : 0) + 1);
  return added;
}

// ---- fonts and images

std::string TPDFDocument::NewResourceName(std::string_view prefix) {
  static const char kHex[] = "0123456789abcdef";
  while (true) {
    ++nameCounter_;
    std::string seed = NowAsDecimalText();
    seed += static_cast<char>('A' + random_() % 26);
    seed += std::to_string(nameCounter_);
    char identity[32];
    std::snprintf(identity, sizeof identity, "%p", static_cast<const void*>(this));
    seed += identity;
    std::string digest = Md5(seed);
    std::string name(prefix);
    for (int i = 0; i < 4; ++i) {
      auto b = static_cast<unsigned char>(digest[static_cast<size_t>(i)]);
      name += kHex[b >> 4];
      name += kHex[b & 15];
    }
    // Eight hexadecimal digits may repeat, however rarely; a name is never handed out twice.
    if (resourceNames_.insert(name).second) return name;
  }
}

TPDFFont* TPDFDocument::AddStandardFont(int index) {
  if (index < 0 || index >= kPDFStandardFontCount) return nullptr;
  std::string name = NewResourceName("RereF");
  const TPDFFontMetrics& metrics = kPDFStandardFonts[index];
  auto dict = structure_.Make<TPDFDictionary>();
  dict->SetName("Type", "Font");
  dict->SetName("Subtype", "Type1");
  dict->SetName("BaseFont", metrics.BaseFont);
  if (!metrics.Symbolic) dict->SetName("Encoding", "WinAnsiEncoding");
  TPDFDictionary* object = Register(std::move(dict));
  fonts_.push_back(std::make_unique<TPDFFont>(index, std::move(name), object));
  if (!metrics.Symbolic && fallbackOn_) fonts_.back()->SetFallback(fallback_.get());
  return fonts_.back().get();
}

void TPDFDocument::SetFontFallback(bool on) {
  fallbackOn_ = on;
  for (const std::unique_ptr<TPDFFont>& font : fonts_)
    if (!font->IsSymbolic()) font->SetFallback(on ? fallback_.get() : nullptr);
}

const std::array<TPDFFont*, 4>& TPDFDocument::HTMLFonts() {
  if (!htmlFonts_[0]) {
    const int indexes[4] = {4, 5, 7, 6};  // normal, bold, oblique, bold oblique
    for (int i = 0; i < 4; ++i) htmlFonts_[static_cast<size_t>(i)] = AddStandardFont(indexes[i]);
  }
  return htmlFonts_;
}

TPDFImage* TPDFDocument::AddImageFromFile(const std::string& fileName) {
  return AddJPEGImage(LoadStringFromFile(fileName));
}

TPDFImage* TPDFDocument::AddJPEGImage(std::string bytes) {
  TJPEGFrame frame = ReadJPEGFrame(bytes);
  std::string name = NewResourceName("RereIm");
  auto stream = structure_.Make<TPDFStream>();
  TPDFDictionary& dict = stream->Dict();
  dict.SetName("Type", "XObject");
  dict.SetName("Subtype", "Image");
  dict.SetNumber("Width", frame.Width);
  dict.SetNumber("Height", frame.Height);
  if (frame.Components == 1) {
    dict.SetName("ColorSpace", "DeviceGray");
  } else if (frame.Components == 4) {
    dict.SetName("ColorSpace", "DeviceCMYK");
    TPDFArray* decode = dict.SetArray("Decode");
    for (int i = 0; i < 4; ++i) {
      decode->AddNumber(1);
      decode->AddNumber(0);
    }
  } else {
    dict.SetName("ColorSpace", "DeviceRGB");
  }
  dict.SetNumber("BitsPerComponent", 8);
  dict.SetName("Filter", "DCTDecode");
  stream->SetData(std::move(bytes));
  TPDFStream* object = Register(std::move(stream));
  images_.push_back(
      std::make_unique<TPDFImage>(std::move(name), object, frame.Width, frame.Height));
  return images_.back().get();
}

// ---- outlines

TPDFDictionary* TPDFDocument::AddOutline(TPDFDictionary* parent, std::string_view title,
                                         TPDFDictionary* target, double y) {
  if (!target) return nullptr;
  if (!parent) {
    parent = PDFCast<TPDFDictionary>(Resolve(catalog_->Get("Outlines")));
    if (!parent) {
      parent = Register(structure_.Make<TPDFDictionary>());
      catalog_->SetRef("Outlines", *parent);
      catalog_->SetName("PageMode", "UseOutlines");  // the viewer opens with the bookmarks shown
    }
  }
  auto item = structure_.Make<TPDFDictionary>();
  item->SetString("Title", PDFTextStringBytes(title));
  item->SetRef("Parent", *parent);
  TPDFArray* dest = item->SetArray("Dest");
  dest->AddRef(*target);
  dest->AddName("XYZ");
  dest->AddNumber(0);
  dest->AddNumber(y);
  dest->AddNumber(0);
  TPDFDictionary* added = Register(std::move(item));

  if (auto* last = PDFCast<TPDFDictionary>(Resolve(parent->Get("Last")))) {
    added->SetRef("Prev", *last);
    last->SetRef("Next", *added);
  } else {
    parent->SetRef("First", *added);
  }
  parent->SetRef("Last", *added);

  // Every ancestor counts one more open item; the count moves to the end of each dictionary.
  TPDFDictionary* node = parent;
  for (int depth = 0; node && depth < 1000; ++depth) {
    auto* count = node->GetAs<TPDFNumeric>("Count");
    double old = count ? count->Value : 0;
    node->Remove("Count");
    node->SetNumber("Count", old < 0 ? old - 1 : old + 1);
    node = PDFCast<TPDFDictionary>(Resolve(node->Get("Parent")));
  }
  return added;
}

void TPDFDocument::SetOutlineStyle(TPDFDictionary& item, bool italic, bool bold) {
  item.SetNumber("F", (italic ? 1 : 0) + (bold ? 2 : 0));
}

// ---- units

void TPDFDocument::SetUnits(TPDFUnits units) {
  units_ = units;
  switch (units) {
    case TPDFUnits::kMillimetres:
      scale_ = 25.4 / 72;
      break;
    case TPDFUnits::kInches:
      scale_ = 1.0 / 72;
      break;
    case TPDFUnits::kPoints:
      scale_ = 1;
      break;
  }
}

// ---- output

void TPDFDocument::UpdateModDate() {
  info_->Remove("ModDate");
  info_->SetString("ModDate", PDFDateNow());
}

std::string TPDFDocument::Write() const {
  std::string out = "%PDF-" + version_ + "\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  offsets.reserve(objects_.size());
  for (const TPDFIndObj& o : objects_) {
    offsets.push_back(out.size());
    out += std::to_string(o.Number) + " " + std::to_string(o.Generation) + " obj\n";
    o.Object->WriteTo(out);
    if (out.back() != '\n') out += '\n';
    out += "endobj\n";
  }
  size_t xref = out.size();
  uint32_t highest = objects_.empty() ? 0 : objects_.back().Number;
  out += "xref\n0 " + std::to_string(highest + 1) + "\n";
  out += "0000000000 65535 f \n";
  char line[32];
  for (uint32_t n = 1, i = 0; n <= highest; ++n) {
    size_t offset = 0;
    unsigned generation = 0;
    if (i < objects_.size() && objects_[i].Number == n) {
      offset = offsets[i];
      generation = objects_[i].Generation;
      ++i;
    }
    std::snprintf(line, sizeof line, "%010zu %05u n \n", offset, generation);
    out += line;
  }
  out += "trailer\n";
  trailer_->WriteTo(out);
  out += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

bool TPDFDocument::SaveToFile(const std::string& fileName) const noexcept {
  try {
    std::string bytes = Write();
    std::FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
  } catch (...) {
    return false;
  }
}
