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
