#include "planner/base/qorEncoding.h"

#include <cstdio>

size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
  if (i >= s.size()) return 0;
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(std::string_view s) {
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = DecodeUtf8(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

size_t Utf8Boundary(std::string_view s, size_t i) {
  if (i >= s.size()) return s.size();
  // A sequence is at most 4 bytes: look back up to 3 bytes for a lead byte covering i.
  for (size_t back = 1; back <= 3 && back <= i; ++back) {
    char32_t cp;
    size_t n = DecodeUtf8(s, i - back, cp);
    if (n > back) return i - back;
  }
  return i;
}

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
