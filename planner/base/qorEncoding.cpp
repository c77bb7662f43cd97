#include "planner/base/qorEncoding.h"

#include <cstdio>

#include "planner/base/qorUtf8.h"

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string Utf8BytesToText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  char32_t cp;
  for (size_t i = 0; i < bytes.size();) {
    size_t n = DecodeUtf8(bytes, i, cp);
    if (n == 0) {
      AppendUtf8(out, static_cast<unsigned char>(bytes[i]));
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

namespace {

std::string ToSingleBytes(std::string_view text, char32_t highest) {
  std::string out;
  out.reserve(text.size());
  char32_t cp;
  for (size_t i = 0; i < text.size();) {
    size_t n = DecodeUtf8(text, i, cp);
    if (n == 0) {  // a stray byte stands for itself
      cp = static_cast<unsigned char>(text[i]);
      n = 1;
    }
    i += n;
    if (cp <= highest) {
      out += static_cast<char>(cp);
    } else {
      char ref[16];
      int len = std::snprintf(ref, sizeof ref, "&#%u;", static_cast<unsigned>(cp));
      out.append(ref, static_cast<size_t>(len));
    }
  }
  return out;
}

}  // namespace

std::string Utf8ToLatin1Refs(std::string_view text) { return ToSingleBytes(text, 0xFF); }
std::string Utf8ToAsciiRefs(std::string_view text) { return ToSingleBytes(text, 0x7F); }

bool UnicodeToCp1252(char32_t cp, unsigned char& byte) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    byte = static_cast<unsigned char>(cp);
    return true;
  }
  // Bytes 0x80..0x9F of the code page; 0 where the code page defines no character.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
  };
  if (cp < 0x100) return false;
  for (unsigned i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}
