// The pages of a document: one page-tree root with every page as its direct kid,
//   root: << /Type /Pages /Count n /Kids [ 2 0 R 6 0 R ... ] >>
//   page: << /Type /Page /Parent 1 0 R /MediaBox [ 0 0 w h ] /CropBox [ 0 0 w h ]
//            /Resources << /ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ]
//                          /Font << /RereF... 7 0 R >> /XObject << /RereIm... 9 0 R >> >>
//            /Contents [ 5 0 R ] >>
//   content stream: << /Length n /LC /Rere >> stream ... endstream   (the marker: ours)
// with the page selected for drawing and the content stream drawing goes into. Page numbers
// count from 1. The painter is handed the selected page and stream; the page tree knows nothing
// of drawing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TPDFDocument;
class TPDFDictionary;
class TPDFObject;
class TPDFStream;

class TPDFPageTree {
 public:
  // A content stream longer than this is not continued; a new stream is begun beside it.
  static constexpr size_t kMaxContinuedStream = 500000;
  // The most a continued stream may inflate to.
  static constexpr size_t kMaxInflatedContent = size_t{256} << 20;

  // The pages of the document, page 1 selected (which gives a new document's first page its
  // content stream).
  explicit TPDFPageTree(TPDFDocument& document);
  ~TPDFPageTree();
  TPDFPageTree(const TPDFPageTree&) = delete;
  TPDFPageTree& operator=(const TPDFPageTree&) = delete;

  TPDFDictionary& Root() const { return *root_; }
  int Count() const { return static_cast<int>(pages_.size()); }
  // The page's dictionary, nullptr for a number that is not a page.
  TPDFDictionary* Page(int number) const;
  // The selected page's number, 0 before the first selection.
  int Current() const { return current_; }
  TPDFDictionary* CurrentPage() const { return Page(current_); }
  // The stream that drawing on the selected page goes into.
  TPDFStream* CurrentStream() const { return currentStream_; }

  // Selects the page and the stream to draw into: the page's last content stream when that
  // stream is ours, at most kMaxContinuedStream bytes long and unfiltered or Flate-compressed
  // (and then continued); otherwise a new stream appended to the page's contents. False (nothing
  // changes) for a number that is not a page.
  bool Select(int number);
  // Appends a page of the selected page's size with an empty content stream and selects it.
  // Returns its number.
  int Append();

  // Page size in points, from the page's "MediaBox" (inherited through "Parent" when missing);
  // 0 for a number that is not a page or a page without a box.
  double Width(int number) const;
  double Height(int number) const;
  // Sets the selected page's "MediaBox" and "CropBox" (both appended again) to [ 0 0 w h ].
  void SetCurrentSize(double width, double height);

  // The page's content streams in order.
  std::vector<TPDFStream*> ContentStreams(int number) const;
  // Compresses every unfiltered content stream of every page (zlib, default level); streams with
  // a filter stay as they are.
  void CompressContent();

  // Adds name -> reference to the object under category ("Font", "XObject") of the page's
  // "Resources" (both created when missing); nothing when the name is already there.
  void AddResource(TPDFDictionary& page, std::string_view category, const std::string& name,
                   const TPDFObject& object);

 private:
  TPDFStream* NewContentStream();
  // The page's last content stream when the painter may continue it, else nullptr.
  TPDFStream* ContinuableStream(TPDFDictionary& page) const;
  const TPDFObject* MediaBox(int number) const;

  TPDFDocument& document_;
  TPDFDictionary* root_;
  std::vector<TPDFDictionary*> pages_;  // owned by the document
  int current_ = 0;
  TPDFStream* currentStream_ = nullptr;
};
