#include "report/uPDFStructure.h"

#include <zlib.h>

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, unsigned char c) {
  out += kHexDigits[c >> 4];
  out += kHexDigits[c & 15];
}

void CheckSameStructure(const TPDFObject& owner, const TPDFObject& value) {
  if (value.Structure() != owner.Structure())
    throw std::logic_error("PDF object added to an object of another document");
  if (value.IsIndirect())
    throw std::logic_error("PDF indirect object added as a direct value; add a reference");
}

}  // namespace

std::string PDFNumberText(double value) {
  std::string out;
  AppendPDFNumber(out, value);
  return out;
}

void AppendPDFNumber(std::string& out, double value) {
  if (!std::isfinite(value) || value == 0) {
    out += '0';
    return;
  }
  // 15 significant digits first: d.dddddddddddddde[+-]x
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t e = sci.find('e');
  std::string digits;
  digits += sci[0];
  digits.append(sci.substr(2, e - 2));
  int exponent = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  // Fixed notation holds values from 0.00001 up to 15 integer digits; anything else would be
  // written in exponent form, which PDF does not read, and becomes 0.
  if (exponent >= 15 || exponent < -5) {
    out += '0';
    return;
  }
  std::string integer, fraction;
  if (exponent >= 0) {
    size_t n = static_cast<size_t>(exponent) + 1;
    integer = digits.substr(0, std::min(n, digits.size()));
    if (integer.size() < n) integer.append(n - integer.size(), '0');
    if (digits.size() > n) fraction = digits.substr(n);
  } else {
    integer = "0";
    fraction.assign(static_cast<size_t>(-exponent - 1), '0');
    fraction += digits;
  }
  if (fraction.size() > 4) fraction.resize(4);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (integer == "0" && fraction.empty()) {
    out += '0';  // no "-0"
    return;
  }
  if (negative) out += '-';
  out += integer;
  if (!fraction.empty()) {
    out += '.';
    out += fraction;
  }
}

void AppendPDFLiteral(std::string& out, std::string_view bytes) {
  out += '(';
  for (char c : bytes) {
    switch (c) {
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      case '(':
        out += "\\(";
        break;
      case ')':
        out += "\\)";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  out += ')';
}

void AppendPDFHex(std::string& out, std::string_view bytes) {
  out += '<';
  for (char c : bytes) AppendHexByte(out, static_cast<unsigned char>(c));
  out += '>';
}

void AppendPDFName(std::string& out, std::string_view name) {
  out += '/';
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = c >= '!' && c <= '~';
    switch (c) {
      case '#':
      case '%':
      case '(':
      case ')':
      case '/':
      case '<':
      case '>':
      case '[':
      case ']':
      case '{':
      case '}':
        plain = false;
        break;
      default:
        break;
    }
    if (plain) {
      out += ch;
    } else {
      out += '#';
      AppendHexByte(out, c);
    }
  }
}

std::string TPDFObject::Text() const {
  std::string out;
  WriteTo(out);
  return out;
}

void TPDFString::WriteTo(std::string& out) const {
  if (StringMode == kHexadecimal)
    AppendPDFHex(out, Bytes);
  else
    AppendPDFLiteral(out, Bytes);
}

void TPDFIndRef::WriteTo(std::string& out) const {
  out += std::to_string(RefNumber);
  out += ' ';
  out += std::to_string(RefGeneration);
  out += " R";
}

// ---- arrays

void TPDFArray::WriteTo(std::string& out) const {
  size_t lineStart = out.size();
  out += "[ ";
  for (const auto& item : items_) {
    item->WriteTo(out);
    out += ' ';
    if (out.size() - lineStart > 80) {
      out += '\n';
      lineStart = out.size();
    }
  }
  out += ']';
}

TPDFObject* TPDFArray::Add(std::unique_ptr<TPDFObject> item) {
  CheckSameStructure(*this, *item);
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TPDFArray::AddNumber(double value) {
  Add(Structure()->Make<TPDFNumeric>(value));
}
void TPDFArray::AddName(std::string name) {
  Add(Structure()->Make<TPDFName>(std::move(name)));
}
void TPDFArray::AddRef(const TPDFObject& indirect) {
  Add(Structure()->MakeRef(indirect));
}

// ---- dictionaries

void TPDFDictionary::WriteTo(std::string& out) const {
  out += "<<\n";
  for (const auto& [key, value] : entries_) {
    AppendPDFName(out, key);
    out += ' ';
    value->WriteTo(out);
    if (out.back() != '\n') out += '\n';
  }
  out += ">>\n";
}

TPDFObject* TPDFDictionary::Get(std::string_view key) const {
  for (const auto& entry : entries_)
    if (entry.first == key) return entry.second.get();
  return nullptr;
}

TPDFObject* TPDFDictionary::Set(std::string_view key, std::unique_ptr<TPDFObject> value) {
  CheckSameStructure(*this, *value);
  for (auto& entry : entries_) {
    if (entry.first == key) {
      entry.second = std::move(value);
      return entry.second.get();
    }
  }
  entries_.emplace_back(std::string(key), std::move(value));
  return entries_.back().second.get();
}

void TPDFDictionary::SetName(std::string_view key, std::string name) {
  Set(key, Structure()->Make<TPDFName>(std::move(name)));
}
void TPDFDictionary::SetNumber(std::string_view key, double value) {
  Set(key, Structure()->Make<TPDFNumeric>(value));
}
void TPDFDictionary::SetString(std::string_view key, std::string bytes) {
  Set(key, Structure()->Make<TPDFString>(std::move(bytes)));
}
void TPDFDictionary::SetRef(std::string_view key, const TPDFObject& indirect) {
  Set(key, Structure()->MakeRef(indirect));
}
TPDFArray* TPDFDictionary::SetArray(std::string_view key) {
  return static_cast<TPDFArray*>(Set(key, Structure()->Make<TPDFArray>()));
}
TPDFDictionary* TPDFDictionary::SetDictionary(std::string_view key) {
  return static_cast<TPDFDictionary*>(Set(key, Structure()->Make<TPDFDictionary>()));
}

void TPDFDictionary::Remove(std::string_view key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == key) {
      entries_.erase(it);
      return;
    }
  }
}

// ---- streams

TPDFStream::TPDFStream(const TPDFStructure* s) : TPDFObject(s), dict_(s) {
  dict_.SetNumber("Length", 0);
}

void TPDFStream::WriteTo(std::string& out) const {
  dict_.WriteTo(out);
  out += "stream\n";
  out += data_;
  out += "\nendstream";
}

void TPDFStream::UpdateLength() {
  if (auto* length = dict_.GetAs<TPDFNumeric>("Length"))
    length->Value = static_cast<double>(data_.size());
  else
    dict_.SetNumber("Length", static_cast<double>(data_.size()));
}

void TPDFStream::SetData(std::string bytes) {
  data_ = std::move(bytes);
  UpdateLength();
}

void TPDFStream::AppendData(std::string_view bytes) {
  data_.append(bytes);
  UpdateLength();
}

void TPDFStream::TruncateData(size_t n) {
  data_.resize(data_.size() - n);
  UpdateLength();
}

std::unique_ptr<TPDFIndRef> TPDFStructure::MakeRef(const TPDFObject& indirect) const {
  if (!indirect.IsIndirect() || indirect.Structure() != this)
    throw std::logic_error("PDF reference to an object that is not registered in this document");
  return Make<TPDFIndRef>(indirect.Number(), indirect.Generation());
}

// ---- Flate

struct TPDFFlateCompressor::TState {
  z_stream z{};
};

TPDFFlateCompressor::TPDFFlateCompressor() : state_(std::make_unique<TState>()) {
  if (deflateInit(&state_->z, Z_DEFAULT_COMPRESSION) != Z_OK)
    throw std::runtime_error("PDF content could not be compressed");
}

TPDFFlateCompressor::~TPDFFlateCompressor() {
  deflateEnd(&state_->z);
}

std::string TPDFFlateCompressor::Compress(std::string_view bytes) {
  z_stream& z = state_->z;
  if (deflateReset(&z) != Z_OK) throw std::runtime_error("PDF content could not be compressed");
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  // The output buffer holds the bound, so one call finishes the stream.
  if (deflate(&z, Z_FINISH) != Z_STREAM_END)
    throw std::runtime_error("PDF content could not be compressed");
  out.resize(z.total_out);
  return out;
}

std::string PDFFlateCompress(std::string_view bytes) {
  return TPDFFlateCompressor().Compress(bytes);
}

bool PDFFlateDecompress(std::string_view bytes, std::string& out, size_t maxSize) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  std::string result;
  char chunk[16384];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    result.append(chunk, sizeof chunk - z.avail_out);
    if (result.size() > maxSize) rc = Z_BUF_ERROR;
    if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) rc = Z_BUF_ERROR;  // cut short
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) return false;
  out = std::move(result);
  return true;
}
