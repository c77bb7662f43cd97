#include "planner/base/qorEncoding.h"

#include <cstdio>

#include "planner/base/qorUtf8.h"

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

namespace {

// The characters of code page 1252 at 0x80..0x9F (0 where the code page has none).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    const char32_t high = b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : 0;
    AppendUtf8(out, high ? high : b);
  }
  return out;
}

bool Cp1252Byte(char32_t cp, unsigned char& byte) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    byte = static_cast<unsigned char>(cp);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  // The unassigned bytes stand for the control characters of their own number.
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D) {
    byte = static_cast<unsigned char>(cp);
    return true;
  }
  return false;
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

// The byte of a character in a single-byte encoding, or false.
using TByteOf = bool (*)(char32_t cp, unsigned char& byte);

bool Latin1Byte(char32_t cp, unsigned char& byte) {
  if (cp > 0xFF) return false;
  byte = static_cast<unsigned char>(cp);
  return true;
}

bool AsciiByte(char32_t cp, unsigned char& byte) {
  if (cp > 0x7F) return false;
  byte = static_cast<unsigned char>(cp);
  return true;
}

std::string ToSingleBytes(std::string_view text, TByteOf byteOf) {
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
    unsigned char byte = 0;
    if (byteOf(cp, byte)) {
      out += static_cast<char>(byte);
    } else {
      char ref[16];
      int len = std::snprintf(ref, sizeof ref, "&#%u;", static_cast<unsigned>(cp));
      out.append(ref, static_cast<size_t>(len));
    }
  }
  return out;
}

}  // namespace

std::string Utf8ToLatin1Refs(std::string_view text) {
  return ToSingleBytes(text, Latin1Byte);
}
std::string Utf8ToCp1252Refs(std::string_view text) {
  return ToSingleBytes(text, Cp1252Byte);
}
std::string Utf8ToAsciiRefs(std::string_view text) {
  return ToSingleBytes(text, AsciiByte);
}
