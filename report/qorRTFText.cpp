#include "report/qorRTFText.h"

#include "planner/base/qorEncoding.h"
#include "planner/base/qorUtf8.h"

namespace {

void AppendHexByte(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\'";
  out += kHex[b >> 4];
  out += kHex[b & 15];
}

void AppendUnicodeUnit(std::string& out, char16_t unit) {
  out += "\\u";
  out += std::to_string(static_cast<int16_t>(unit));
  out += '?';
}

}  // namespace

TqorRTFText TqorRTFText::FromRtf(std::string rtf) {
  TqorRTFText t;
  t.rtf_ = std::move(rtf);
  return t;
}

std::string TqorRTFText::Escape(std::string_view plain) {
  std::string out;
  out.reserve(plain.size() + plain.size() / 8);
  for (size_t i = 0; i < plain.size();) {
    const unsigned char c = static_cast<unsigned char>(plain[i]);
    if (c >= 0x20 && c < 0x7F) {
      if (c == '\\' || c == '{' || c == '}') out += '\\';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c < 0x80) {
      ++i;
      if (c == '\t') {
        out += "\\tab ";
      } else if (c == '\n' || c == '\r') {
        if (c == '\r' && i < plain.size() && plain[i] == '\n') ++i;
        out += "\\line ";
      }
      continue;  // other controls and DEL are dropped
    }
    const size_t at = i;
    std::optional<char32_t> cp = DecodeUtf8At(plain, i);
    if (!cp) {
      AppendHexByte(out, static_cast<unsigned char>(plain[at]));
      continue;
    }
    // The code page's own characters as bytes; the C1 controls (which it would keep as the
    // bytes of their own number) as Unicode, so that no reader takes them for code page text.
    unsigned char byte;
    if (Cp1252Byte(*cp, byte) && byte >= 0x80 && (byte >= 0xA0 || *cp > 0xFF)) {
      AppendHexByte(out, byte);
    } else if (*cp < 0x10000) {
      AppendUnicodeUnit(out, static_cast<char16_t>(*cp));
    } else {
      const char32_t v = *cp - 0x10000;
      AppendUnicodeUnit(out, static_cast<char16_t>(0xD800 + (v >> 10)));
      AppendUnicodeUnit(out, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
  }
  return out;
}
