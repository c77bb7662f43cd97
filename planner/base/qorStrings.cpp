// Whole-file input and output move the file's bytes unchanged: no byte-order mark is added or
// removed and no line ends are translated.
#include "planner/base/qorStrings.h"

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "planner/base/qorEncoding.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorUserPrompts.h"
#include "planner/base/qorUtf8.h"

// --- TqorFastString ---

void TqorFastString::Reset() {
  capacity_ = kGrowthStep;
  length_ = 0;
  buffer_.assign(capacity_, '\0');
}

void TqorFastString::Append(std::string_view text) {
  if (text.empty()) return;
  if (length_ + text.size() > capacity_) {
    capacity_ += std::max(kGrowthStep, text.size());
    buffer_.resize(capacity_);
  }
  std::memcpy(buffer_.data() + length_, text.data(), text.size());
  length_ += text.size();
}

std::string TqorFastString::GetText() {
  buffer_.resize(length_);
  std::string result = std::move(buffer_);
  buffer_ = std::string();
  capacity_ = 0;
  length_ = 0;
  return result;
}

// --- Search and replace ---

namespace {

// Writes the case-folded form of the character at position i of s into out and returns its byte
// length (at least 1). The folded form always has the same length as the character.
size_t FoldCharAt(std::string_view s, size_t i, unsigned char out[4]) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    out[0] = (b0 >= 'a' && b0 <= 'z') ? static_cast<unsigned char>(b0 - 32) : b0;
    return 1;
  }
  char32_t cp;
  size_t n = DecodeUtf8(s, i, cp);
  if (n == 0) {
    out[0] = b0;
    return 1;
  }
  for (size_t k = 0; k < n && k < 4; ++k) out[k] = static_cast<unsigned char>(s[i + k]);
  if (n == 2) {
    char32_t up = cp;
    if (cp >= 0x430 && cp <= 0x44F) {
      up = cp - 0x20;  // а..я to А..Я
    } else if (cp >= 0x451 && cp <= 0x45F && cp != 0x45D) {
      up = cp - 0x50;  // ё, ђ, ѓ, є, ѕ, і, ї, ј, љ, њ, ћ, ќ, ў, џ
    } else if (cp == 0x491) {
      up = 0x490;  // ґ
    }
    if (up != cp) {
      out[0] = static_cast<unsigned char>(0xC0 | (up >> 6));
      out[1] = static_cast<unsigned char>(0x80 | (up & 0x3F));
    }
  }
  return n;
}

// True when part matches text at byte offset i, case-blind.
bool FoldedMatchAt(std::string_view part, std::string_view text, size_t i) {
  if (part.size() > text.size() - i) return false;
  size_t j = 0;
  unsigned char a[4], b[4];
  while (j < part.size()) {
    size_t na = FoldCharAt(part, j, a);
    if (i + j >= text.size()) return false;
    size_t nb = FoldCharAt(text, i + j, b);
    if (na != nb || std::memcmp(a, b, na) != 0) return false;
    j += na;
  }
  return true;
}

size_t StartIndex(int start) {
  return start < 1 ? 0 : static_cast<size_t>(start) - 1;
}

}  // namespace

int PosEx(std::string_view part, std::string_view text, int start) {
  if (part.empty() || text.empty()) return 0;
  size_t from = StartIndex(start);
  if (from + part.size() > text.size()) return 0;
  size_t p = text.find(part, from);
  return p == std::string_view::npos ? 0 : static_cast<int>(p + 1);
}

int PosText(std::string_view part, std::string_view text, int start) {
  if (part.empty() || text.empty()) return 0;
  size_t from = StartIndex(start);
  if (from + part.size() > text.size()) return 0;
  for (size_t i = from; i + part.size() <= text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 && i > 0) {
      // Inside a multi-byte character: a match cannot start here unless the byte is stray.
      char32_t cp;
      size_t lead = Utf8Boundary(text, i);
      if (lead != i && DecodeUtf8(text, lead, cp) > i - lead) continue;
    }
    if (FoldedMatchAt(part, text, i)) return static_cast<int>(i + 1);
  }
  return 0;
}

namespace {

template <class Finder>
std::string ReplaceWith(std::string_view text, std::string_view find, std::string_view replacement,
                        Finder pos) {
  if (find.empty()) return std::string(text);
  size_t count = 0;
  for (int p = pos(find, text, 1); p != 0; p = pos(find, text, p + static_cast<int>(find.size())))
    ++count;
  if (count == 0) return std::string(text);
  std::string out;
  out.reserve(text.size() - count * find.size() + count * replacement.size());
  size_t copied = 0;
  for (int p = pos(find, text, 1); p != 0; p = pos(find, text, p + static_cast<int>(find.size()))) {
    size_t at = static_cast<size_t>(p) - 1;
    out.append(text.substr(copied, at - copied));
    out.append(replacement);
    copied = at + find.size();
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement) {
  return ReplaceWith(text, find, replacement, PosEx);
}

std::string ReplaceText(std::string_view text, std::string_view find,
                        std::string_view replacement) {
  return ReplaceWith(text, find, replacement, PosText);
}

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  unsigned char buf[4];
  for (size_t i = 0; i < text.size();) {
    size_t n = FoldCharAt(text, i, buf);
    out.append(reinterpret_cast<const char*>(buf), n);
    i += n;
  }
  return out;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
  const int c = FoldCase(a).compare(FoldCase(b));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// --- Numbers and colours ---

std::string CFormat(const char* format, ...) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const locale_t previous = uselocale(cLocale);
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char buf[128];
  const int n = std::vsnprintf(buf, sizeof buf, format, args);
  std::string out;
  if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
    out.assign(buf, static_cast<size_t>(n));
  } else if (n >= 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  va_end(args);
  uselocale(previous);
  return out;
}

bool TryTextToFloat(std::string_view text, std::string_view decimalSeparator, double& value) {
  size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  std::string buf;
  buf.reserve(n - i + 1);
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') buf += '-';
    ++i;
  }
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') buf += text[i++], ++digits;
  if (!decimalSeparator.empty() && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
    i += decimalSeparator.size();
    buf += '.';
    while (i < n && text[i] >= '0' && text[i] <= '9') buf += text[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    buf += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) buf += text[i++];
    size_t expDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') buf += text[i++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (ec != std::errc() || end != buf.data() + buf.size()) return false;
  value = v;
  return true;
}

bool IsFloat(std::string_view text, double& value) {
  return TryTextToFloat(text, RegionalSettings().DecimalSeparator, value);
}

bool IsNumeric(std::string_view text) {
  double v;
  return IsFloat(text, v);
}

double StrToFloatDef(std::string_view text, double defaultValue) {
  double v;
  return IsFloat(text, v) ? v : defaultValue;
}

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

TqorColor HtmlColorToColor(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return {};
  int v[6];
  for (int k = 0; k < 6; ++k) {
    v[k] = HexDigit(text[1 + k]);
    if (v[k] < 0) return {};
  }
  return {static_cast<uint8_t>(v[0] * 16 + v[1]), static_cast<uint8_t>(v[2] * 16 + v[3]),
          static_cast<uint8_t>(v[4] * 16 + v[5])};
}

// --- Files ---

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string FileMessage(const char* what, const std::string& fileName) {
  return std::string(what) + " \"" + fileName + "\". " + std::strerror(errno);
}
}  // namespace

void SaveStringToFile(const std::string& fileName, std::string_view text) {
  std::FILE* raw = std::fopen(fileName.c_str(), "wb");
  if (!raw) throw EqorFileError(FileMessage("Cannot create file", fileName));
  FilePtr f(raw);
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f.get()) != text.size())
    throw EqorFileError(FileMessage("Error writing file", fileName));
  if (std::fclose(f.release()) != 0)
    throw EqorFileError(FileMessage("Error writing file", fileName));
}

std::string LoadStringFromFile(const std::string& fileName) {
  std::FILE* raw = std::fopen(fileName.c_str(), "rb");
  if (!raw) throw EqorFileError(FileMessage("Cannot open file", fileName));
  FilePtr f(raw);
  std::string out;
  char buf[65536];
  for (;;) {
    size_t n = std::fread(buf, 1, sizeof buf, f.get());
    out.append(buf, n);
    if (n < sizeof buf) {
      if (std::ferror(f.get())) throw EqorFileError(FileMessage("Error reading file", fileName));
      break;
    }
  }
  return out;
}

bool Confirm(const std::string& message) {
  TqorUserPrompts* prompts = UserPrompts();
  return prompts ? prompts->Confirm(message) : false;
}

// --- Soundex ---

int Soundex(std::string_view word) {
  if (word.empty()) return 0;
  unsigned char first[4];
  size_t n = FoldCharAt(word, 0, first);
  char32_t cp;
  int result;
  std::string_view firstChar(reinterpret_cast<const char*>(first), n);
  if (DecodeUtf8(firstChar, 0, cp) == n)
    result = static_cast<int>(cp);
  else
    result = first[0];
  //                       ABCDEFGHIJKLMNOPQRSTUVWXYZ
  static const char kCodes[] = "01230120022455012623010202";
  int weight = 26;
  int last = -1;
  for (size_t i = n; i < word.size(); ++i) {
    auto c = static_cast<unsigned char>(word[i]);
    if (c < 'A' || c > 'z') continue;
    int digit = 0;
    if (c >= 'a') c = static_cast<unsigned char>(c - 32);
    if (c >= 'A' && c <= 'Z') digit = kCodes[c - 'A'] - '0';
    if (digit == 0 || digit == last) continue;
    result += digit * weight;
    last = digit;
    if (weight == 936) break;
    weight *= 6;
  }
  return result;
}
