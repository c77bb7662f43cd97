#include "planner/base/qorUtf8.h"

#include <cstdint>
#include <cstring>

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
  return FirstInvalidUtf8(s) == s.size();
}

size_t FirstInvalidUtf8(std::string_view s) {
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    // Runs of ASCII eight bytes at a time: most text is mostly ASCII.
    uint64_t word;
    while (i + 8 <= s.size() &&
           (std::memcpy(&word, s.data() + i, 8), !(word & 0x8080808080808080u)))
      i += 8;
    if (i >= s.size()) break;
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = DecodeUtf8(s, i, cp);
    if (n == 0) return i;
    i += n;
  }
  return s.size();
}

std::string Utf8WithEscapes(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    const size_t n = DecodeUtf8(s, i, cp);
    if (n == 0) {
      const auto b = static_cast<unsigned char>(s[i]);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
      ++i;
      continue;
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
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

std::optional<char32_t> DecodeUtf8At(std::string_view s, size_t& i) {
  char32_t cp = 0;
  const size_t n = DecodeUtf8(s, i, cp);
  if (n == 0) {
    ++i;
    return std::nullopt;
  }
  i += n;
  return cp;
}

size_t Utf8Length(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++count) DecodeUtf8At(s, i);
  return count;
}
