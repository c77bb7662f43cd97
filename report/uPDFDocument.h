// A PDF 1.4 document: the indirect objects it numbers and owns, its trailer, pages, fonts,
// images and outlines, and the writer of the file:
//   %PDF-1.4\n%\xE2\xE3\xCF\xD3\n
//   1 0 obj\n<object text>\nendobj\n ...            (every object in the order registered)
//   xref\n0 <n>\n0000000000 65535 f \n<10-digit offset> 00000 n \n ...
//   trailer\n<< /Size n /Root 3 0 R /Info 4 0 R /ID [ <md5> <md5> ] >>\n
//   startxref\n<offset of "xref">\n%%EOF\n
// A new document holds object 1 the page-tree root, 2 the first page, 3 the catalogue and 4 the
// information dictionary (Producer, Creator, CreationDate, ModDate):
//   root: << /Type /Pages /Count n /Kids [ 2 0 R ... ] >>
//   page: << /Type /Page /Parent 1 0 R /MediaBox [ 0 0 w h ] /CropBox [ 0 0 w h ]
//            /Resources << /ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ] >> >>
// The document knows its pages only as these objects; selecting pages, their content streams and
// resources are the page tree's (uPDFPageTree.h), which is made on top of a document.
// Outlines: the catalogue's "Outlines" dictionary (with "/PageMode /UseOutlines" beside it, so
// that the viewer opens with the bookmarks shown) heads a tree of items
//   << /Title (t) /Parent p /Dest [ page 0 R /XYZ 0 y 0 ] /Prev /Next /First /Last /Count /F >>
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "report/uPDFFont.h"
#include "report/uPDFFontFallback.h"
#include "report/uPDFImage.h"
#include "report/uPDFStructure.h"

// An indirect object of a document.
struct TPDFIndObj {
  uint32_t Number;
  uint16_t Generation;
  std::unique_ptr<TPDFObject> Object;
};

// Measurement units of the facade: user units per point.
enum class TPDFUnits { kPoints = 0, kMillimetres = 1, kInches = 2 };
// Where the facade's coordinates start.
enum class TPDFOrigin { kBottomLeft = 0, kTopLeft = 1, kTopRight = 2, kBottomRight = 3 };

class TPDFDocument {
 public:
  TPDFDocument();
  ~TPDFDocument();
  TPDFDocument(const TPDFDocument&) = delete;
  TPDFDocument& operator=(const TPDFDocument&) = delete;

  const std::string& Version() const { return version_; }
  const TPDFStructure& Structure() const { return structure_; }

  // Numbers the object (highest number so far + 1, generation 0), keeps it, and sets the
  // trailer's "Size" to that number + 1. REQUIRES: made by Structure() and not yet registered.
  template <class T>
  T* Register(std::unique_ptr<T> object) {
    T* raw = object.get();
    RegisterObject(std::move(object));
    return raw;
  }
  const std::vector<TPDFIndObj>& Objects() const { return objects_; }
  // The object with the number, nullptr when there is none.
  TPDFObject* ObjectByNumber(uint32_t number) const;
  // The object a reference points at (nullptr when it points at nothing); any other object as it
  // is.
  TPDFObject* Resolve(TPDFObject* object) const;

  TPDFDictionary& Trailer() const { return *trailer_; }
  TPDFDictionary& Catalog() const { return *catalog_; }
  TPDFDictionary& Info() const { return *info_; }
  // The page-tree root: every page is one of its direct kids.
  TPDFDictionary& PageRoot() const { return *pageRoot_; }
  // Registers a page of the size (points) without contents, appends it to the root's "Kids" and
  // counts it in the root's "Count".
  TPDFDictionary* AddPageObject(double width, double height);

  // ---- fonts and images
  // A new font object every time, even for a base font added before; nullptr for an index
  // outside 0..13. With the fallback on, the text fonts set what WinAnsi lacks through it.
  TPDFFont* AddStandardFont(int index);
  size_t FontCount() const { return fonts_.size(); }
  TPDFFont* Font(size_t i) const { return fonts_.at(i).get(); }
  // Helvetica, Helvetica-Bold, Helvetica-Oblique and Helvetica-BoldOblique for inline HTML text,
  // added on first use.
  const std::array<TPDFFont*, 4>& HTMLFonts();
  // Embeds the JPEG file. Raises EqorFileError when it can't be read, EPDFImageError when it is
  // not a JPEG image the document can embed.
  TPDFImage* AddImageFromFile(const std::string& fileName);
  // Embeds JPEG bytes. Raises EPDFImageError.
  TPDFImage* AddJPEGImage(std::string bytes);
  size_t ImageCount() const { return images_.size(); }
  TPDFImage* Image(size_t i) const { return images_.at(i).get(); }
  // The installed fonts the document embeds for text the standard fonts can't show.
  TPDFFontFallback& Fallback() { return *fallback_; }
  // Off (as a new document has it), characters WinAnsi lacks are "?"; on, every text font of the
  // document, those added before too, sets them through the fallback.
  void SetFontFallback(bool on);
  // The characters drawn so far that no installed font has (each drawn as a box).
  size_t CharactersWithoutFont() const { return fallback_->Missing(); }
  // Writes the embedded fonts' objects for the glyphs drawn so far; before the file is written.
  void FinishFonts() { fallback_->Finish(); }
  // A resource name unique in the document: prefix + 8 lower-case hexadecimal digits.
  std::string NewResourceName(std::string_view prefix);

  // ---- outlines
  // A bookmark below parent (nullptr: at the top level) with a UTF-8 title, pointing at the
  // page's position y (points, from the bottom). nullptr when there is no page.
  TPDFDictionary* AddOutline(TPDFDictionary* parent, std::string_view title, TPDFDictionary* page,
                             double y);
  // "F": 0 plain, 1 italic, 2 bold, 3 both.
  static void SetOutlineStyle(TPDFDictionary& item, bool italic, bool bold);

  // ---- units of the facade
  double Scale() const { return scale_; }
  TPDFUnits Units() const { return units_; }
  void SetUnits(TPDFUnits units);
  TPDFOrigin Origin() const { return origin_; }
  void SetOrigin(TPDFOrigin origin) { origin_ = origin; }

  // ---- output
  // Sets "ModDate" of the information dictionary to now (the entry moves to the end).
  void UpdateModDate();
  // The file's bytes.
  std::string Write() const;
  // Writes the file, replacing an existing one; false when it can't be created or written.
  bool SaveToFile(const std::string& fileName) const noexcept;

 private:
  void RegisterObject(std::unique_ptr<TPDFObject> object);

  std::string version_ = "1.4";
  TPDFStructure structure_;
  std::vector<TPDFIndObj> objects_;
  std::unique_ptr<TPDFDictionary> trailer_;
  TPDFDictionary* pageRoot_ = nullptr;
  TPDFDictionary* catalog_ = nullptr;
  TPDFDictionary* info_ = nullptr;
  std::vector<std::unique_ptr<TPDFFont>> fonts_;
  std::vector<std::unique_ptr<TPDFImage>> images_;
  std::array<TPDFFont*, 4> htmlFonts_{};
  std::unique_ptr<TPDFFontFallback> fallback_;
  bool fallbackOn_ = false;
  std::unordered_set<std::string> resourceNames_;
  uint64_t nameCounter_ = 0;
  std::mt19937 random_;
  TPDFUnits units_ = TPDFUnits::kPoints;
  double scale_ = 1;
  TPDFOrigin origin_ = TPDFOrigin::kBottomLeft;
};

// The bytes of a PDF text string (outline titles): the text itself when it is ASCII, otherwise
// UTF-16BE behind the byte-order mark FE FF.
std::string PDFTextStringBytes(std::string_view utf8);
