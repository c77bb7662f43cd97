#include "report/uPDFPageTree.h"

#include <cmath>

#include "report/uPDFDocument.h"
#include "report/uPDFStructure.h"

namespace {

void SetBox(TPDFDictionary& page, std::string_view key, double width, double height) {
  // Replaces an existing box, which then stands last.
  page.Remove(key);
  TPDFArray* box = page.SetArray(key);
  box->AddNumber(0);
  box->AddNumber(0);
  box->AddNumber(width);
  box->AddNumber(height);
}

bool IsFlateName(const TPDFObject* object) {
  auto* name = PDFCast<TPDFName>(object);
  return name && name->Value == "FlateDecode";
}

}  // namespace

TPDFPageTree::TPDFPageTree(TPDFDocument& document)
    : document_(document), root_(&document.PageRoot()) {
  if (auto* kids = PDFCast<TPDFArray>(document.Resolve(root_->Get("Kids"))))
    for (size_t i = 0; i < kids->Count(); ++i)
      if (auto* page = PDFCast<TPDFDictionary>(document.Resolve(kids->Item(i))))
        pages_.push_back(page);
  Select(1);
}

TPDFPageTree::~TPDFPageTree() = default;

TPDFDictionary* TPDFPageTree::Page(int number) const {
  if (number < 1 || number > Count()) return nullptr;
  return pages_[static_cast<size_t>(number - 1)];
}

TPDFStream* TPDFPageTree::NewContentStream() {
  auto stream = document_.Structure().Make<TPDFStream>();
  stream->Dict().SetName("LC", "Rere");
  return document_.Register(std::move(stream));
}

int TPDFPageTree::Append() {
  TPDFDictionary* page = document_.AddPageObject(Width(current_), Height(current_));
  TPDFStream* stream = NewContentStream();
  page->SetArray("Contents")->AddRef(*stream);
  pages_.push_back(page);
  Select(Count());
  return Count();
}

TPDFStream* TPDFPageTree::ContinuableStream(TPDFDictionary& page) const {
  TPDFObject* contents = document_.Resolve(page.Get("Contents"));
  TPDFObject* last = contents;
  if (auto* array = PDFCast<TPDFArray>(contents))
    last = array->Count() ? document_.Resolve(array->Item(array->Count() - 1)) : nullptr;
  auto* stream = PDFCast<TPDFStream>(last);
  if (!stream) return nullptr;
  const TPDFDictionary& dict = stream->Dict();
  auto* marker = dict.GetAs<TPDFName>("LC");
  if (!marker || marker->Value != "Rere") return nullptr;
  if (stream->Data().size() > kMaxContinuedStream) return nullptr;
  TPDFObject* filter = document_.Resolve(dict.Get("Filter"));
  if (!filter) return stream;
  if (dict.Has("DecodeParms")) return nullptr;
  auto* filters = PDFCast<TPDFArray>(filter);
  bool flate = IsFlateName(filter) || (filters && filters->Count() == 1 &&
                                       IsFlateName(document_.Resolve(filters->Item(0))));
  if (!flate) return nullptr;
  std::string plain;
  if (!PDFFlateDecompress(stream->Data(), plain, kMaxInflatedContent)) return nullptr;
  return stream;
}

bool TPDFPageTree::Select(int number) {
  TPDFDictionary* page = Page(number);
  if (!page) return false;
  TPDFStream* stream = ContinuableStream(*page);
  if (!stream) {
    stream = NewContentStream();
    TPDFObject* contents = page->Get("Contents");
    if (auto* array = PDFCast<TPDFArray>(document_.Resolve(contents))) {
      array->AddRef(*stream);
    } else if (auto* single = PDFCast<TPDFIndRef>(contents)) {
      // One stream given by reference: the contents become [ that stream, the new one ].
      auto previous =
          document_.Structure().Make<TPDFIndRef>(single->RefNumber, single->RefGeneration);
      TPDFArray* array = page->SetArray("Contents");
      array->Add(std::move(previous));
      array->AddRef(*stream);
    } else {
      page->SetArray("Contents")->AddRef(*stream);
    }
  }
  current_ = number;
  currentStream_ = stream;
  return true;
}

const TPDFObject* TPDFPageTree::MediaBox(int number) const {
  const TPDFDictionary* node = Page(number);
  for (int depth = 0; node && depth < 64; ++depth) {
    if (const TPDFObject* box = document_.Resolve(node->Get("MediaBox"))) return box;
    node = PDFCast<TPDFDictionary>(document_.Resolve(node->Get("Parent")));
  }
  return nullptr;
}

double TPDFPageTree::Width(int number) const {
  auto* box = PDFCast<TPDFArray>(MediaBox(number));
  if (!box || box->Count() != 4) return 0;
  auto* x1 = PDFCast<TPDFNumeric>(box->Item(0));
  auto* x2 = PDFCast<TPDFNumeric>(box->Item(2));
  return x1 && x2 ? std::fabs(x2->Value - x1->Value) : 0;
}

double TPDFPageTree::Height(int number) const {
  auto* box = PDFCast<TPDFArray>(MediaBox(number));
  if (!box || box->Count() != 4) return 0;
  auto* y1 = PDFCast<TPDFNumeric>(box->Item(1));
  auto* y2 = PDFCast<TPDFNumeric>(box->Item(3));
  return y1 && y2 ? std::fabs(y2->Value - y1->Value) : 0;
}

void TPDFPageTree::SetCurrentSize(double width, double height) {
  TPDFDictionary* page = CurrentPage();
  if (!page) return;
  SetBox(*page, "MediaBox", width, height);
  SetBox(*page, "CropBox", width, height);
}

std::vector<TPDFStream*> TPDFPageTree::ContentStreams(int number) const {
  std::vector<TPDFStream*> out;
  TPDFDictionary* page = Page(number);
  if (!page) return out;
  TPDFObject* contents = document_.Resolve(page->Get("Contents"));
  if (auto* array = PDFCast<TPDFArray>(contents)) {
    for (size_t i = 0; i < array->Count(); ++i)
      if (auto* s = PDFCast<TPDFStream>(document_.Resolve(array->Item(i)))) out.push_back(s);
  } else if (auto* s = PDFCast<TPDFStream>(contents)) {
    out.push_back(s);
  }
  return out;
}

void TPDFPageTree::AddResource(TPDFDictionary& page, std::string_view category,
                               const std::string& name, const TPDFObject& object) {
  auto* resources = PDFCast<TPDFDictionary>(document_.Resolve(page.Get("Resources")));
  if (!resources) resources = page.SetDictionary("Resources");
  auto* group = PDFCast<TPDFDictionary>(document_.Resolve(resources->Get(category)));
  if (!group) group = resources->SetDictionary(category);
  if (!group->Has(name)) group->SetRef(name, object);
}

void TPDFPageTree::CompressContent() {
  TPDFFlateCompressor compressor;
  for (int page = 1; page <= Count(); ++page) {
    for (TPDFStream* stream : ContentStreams(page)) {
      if (stream->Dict().Has("Filter")) continue;
      stream->SetData(compressor.Compress(stream->Data()));
      stream->Dict().SetName("Filter", "FlateDecode");
    }
  }
}
