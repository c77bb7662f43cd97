// PDF objects and the text each one is written as (PDF 1.4, all line ends single line feeds):
//   null    true | false    595.2755 (at most 4 decimals, cut)    12 0 R (indirect reference)
//   (literal string with \( \) \\ \b \t \n \f \r escaped)    <48E9> (hexadecimal string)
//   /Name (bytes outside "!".."~", blanks and the delimiters # % ( ) / < > [ ] { } as #XX)
//   [ item item ... ]    (a line feed after an item once the line has grown past 80 characters)
//   <<\n/Key value\n/Key value\n>>\n    (entries in the order they were first set)
//   <<\n/Length n ...\n>>\nstream\n<n bytes>\nendstream
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TPDFStructure;

enum class TPDFObjectType {
  Null,
  Boolean,
  Numeric,
  String,
  Name,
  Array,
  Dictionary,
  Stream,
  IndRef
};

// The number text of PDF files: the shortest decimal text with up to 15 significant digits, cut
// (not rounded) after 4 decimals, without trailing zeros or a trailing point; "0" for numbers
// below 0.00001 in size, for numbers of more than 15 integer digits and for NaN and infinities.
std::string PDFNumberText(double value);
// Appends PDFNumberText(value).
void AppendPDFNumber(std::string& out, double value);
// Appends "(" + the bytes with the literal-string escapes + ")".
void AppendPDFLiteral(std::string& out, std::string_view bytes);
// Appends "<" + two upper-case hexadecimal digits per byte + ">".
void AppendPDFHex(std::string& out, std::string_view bytes);
// Appends "/" + the name with the characters that may not stand in a name written as #XX.
void AppendPDFName(std::string& out, std::string_view name);

// One PDF object. Every object is made by one object factory (the structure of one document);
// an indirect object carries the number and generation its document gave it when registering it.
class TPDFObject {
 public:
  explicit TPDFObject(const TPDFStructure* structure) : structure_(structure) {}
  virtual ~TPDFObject() = default;
  TPDFObject(const TPDFObject&) = delete;
  TPDFObject& operator=(const TPDFObject&) = delete;

  virtual TPDFObjectType Type() const = 0;
  // Appends the object's text (a reference for nothing: this is the object itself).
  virtual void WriteTo(std::string& out) const = 0;
  std::string Text() const;

  const TPDFStructure* Structure() const { return structure_; }
  bool IsIndirect() const { return number_ != 0; }
  uint32_t Number() const { return number_; }
  uint16_t Generation() const { return generation_; }

 private:
  friend class TPDFDocument;  // numbers the object when registering it
  const TPDFStructure* structure_;
  uint32_t number_ = 0;
  uint16_t generation_ = 0;
};

// The object as a T when it is one, else nullptr (also for nullptr).
template <class T>
T* PDFCast(TPDFObject* object) {
  return object && object->Type() == T::kType ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* PDFCast(const TPDFObject* object) {
  return object && object->Type() == T::kType ? static_cast<const T*>(object) : nullptr;
}

class TPDFNull : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Null;
  using TPDFObject::TPDFObject;
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override { out += "null"; }
};

class TPDFBoolean : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Boolean;
  TPDFBoolean(const TPDFStructure* s, bool value) : TPDFObject(s), Value(value) {}
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override { out += Value ? "true" : "false"; }
  bool Value;
};

class TPDFNumeric : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Numeric;
  TPDFNumeric(const TPDFStructure* s, double value) : TPDFObject(s), Value(value) {}
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override { AppendPDFNumber(out, Value); }
  double Value;
};

class TPDFString : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::String;
  enum Mode { kLiteral = 0, kHexadecimal = 1 };
  TPDFString(const TPDFStructure* s, std::string bytes, Mode mode = kLiteral)
      : TPDFObject(s), Bytes(std::move(bytes)), StringMode(mode) {}
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override;
  std::string Bytes;
  Mode StringMode;
};

class TPDFName : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Name;
  TPDFName(const TPDFStructure* s, std::string value) : TPDFObject(s), Value(std::move(value)) {}
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override { AppendPDFName(out, Value); }
  std::string Value;  // without the leading "/"
};

// A reference to an indirect object of the same document.
class TPDFIndRef : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::IndRef;
  TPDFIndRef(const TPDFStructure* s, uint32_t number, uint16_t generation)
      : TPDFObject(s), RefNumber(number), RefGeneration(generation) {}
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override;
  uint32_t RefNumber;
  uint16_t RefGeneration;
};

class TPDFArray : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Array;
  using TPDFObject::TPDFObject;
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override;

  size_t Count() const { return items_.size(); }
  TPDFObject* Item(size_t i) const { return items_.at(i).get(); }
  // REQUIRES: the item is direct and made by this array's structure.
  TPDFObject* Add(std::unique_ptr<TPDFObject> item);
  void AddNumber(double value);
  void AddName(std::string name);
  // Adds a reference to an indirect object (REQUIRES: registered in this array's document).
  void AddRef(const TPDFObject& indirect);

 private:
  std::vector<std::unique_ptr<TPDFObject>> items_;
};

class TPDFDictionary : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Dictionary;
  using TPDFObject::TPDFObject;
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override;

  // The value of the key, nullptr when there is none.
  TPDFObject* Get(std::string_view key) const;
  template <class T>
  T* GetAs(std::string_view key) const {
    return PDFCast<T>(Get(key));
  }
  bool Has(std::string_view key) const { return Get(key) != nullptr; }
  // Replaces the value of an existing key in place, or appends the key. Returns the value.
  // REQUIRES: the value is direct and made by this dictionary's structure.
  TPDFObject* Set(std::string_view key, std::unique_ptr<TPDFObject> value);
  void SetName(std::string_view key, std::string name);
  void SetNumber(std::string_view key, double value);
  void SetString(std::string_view key, std::string bytes);
  void SetRef(std::string_view key, const TPDFObject& indirect);
  TPDFArray* SetArray(std::string_view key);
  TPDFDictionary* SetDictionary(std::string_view key);
  // Removes the entry, closing the gap; nothing when the key is missing.
  void Remove(std::string_view key);
  size_t Count() const { return entries_.size(); }
  const std::string& KeyAt(size_t i) const { return entries_.at(i).first; }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TPDFObject>>> entries_;
};

// A dictionary and its bytes; "Length" always holds the number of bytes.
class TPDFStream : public TPDFObject {
 public:
  static constexpr TPDFObjectType kType = TPDFObjectType::Stream;
  explicit TPDFStream(const TPDFStructure* s);
  TPDFObjectType Type() const override { return kType; }
  void WriteTo(std::string& out) const override;

  TPDFDictionary& Dict() { return dict_; }
  const TPDFDictionary& Dict() const { return dict_; }
  const std::string& Data() const { return data_; }
  void SetData(std::string bytes);
  void AppendData(std::string_view bytes);
  // Drops the last n bytes. REQUIRES: n <= Data().size().
  void TruncateData(size_t n);

 private:
  void UpdateLength();
  TPDFDictionary dict_;
  std::string data_;
};

// The object factory of one document: every object of the document is made here, so that an
// object can tell which document it belongs to.
class TPDFStructure {
 public:
  TPDFStructure() = default;
  TPDFStructure(const TPDFStructure&) = delete;
  TPDFStructure& operator=(const TPDFStructure&) = delete;

  template <class T, class... Args>
  std::unique_ptr<T> Make(Args&&... args) const {
    return std::make_unique<T>(this, std::forward<Args>(args)...);
  }
  // A reference to an indirect object. REQUIRES: the object is registered and made here.
  std::unique_ptr<TPDFIndRef> MakeRef(const TPDFObject& indirect) const;
};

// Zlib-format deflate at the default level.
std::string PDFFlateCompress(std::string_view bytes);

// The same for many texts in a row, with one compressor state for all of them (made once
// instead of for every text).
class TPDFFlateCompressor {
 public:
  TPDFFlateCompressor();
  ~TPDFFlateCompressor();
  TPDFFlateCompressor(const TPDFFlateCompressor&) = delete;
  TPDFFlateCompressor& operator=(const TPDFFlateCompressor&) = delete;
  // The bytes as PDFFlateCompress gives them.
  std::string Compress(std::string_view bytes);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};
// Inflates zlib-format data; false when the data is damaged, cut short or would inflate beyond
// maxSize bytes.
bool PDFFlateDecompress(std::string_view bytes, std::string& out, size_t maxSize);
