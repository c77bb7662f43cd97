#include "db/index/zuzKeyCollation.h"

#include <locale.h>
#include <string.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zuz {

namespace {

// A key string never holds more than a field's size (at most 256 bytes).
constexpr int kMaxCollated = 256;

struct TCollation {
  locale_t locale = nullptr;
  std::string name;
};

TCollation& Collation() {
  static TCollation collation = [] {
    TCollation c;
    c.locale = newlocale(LC_COLLATE_MASK, "", nullptr);
    if (c.locale == nullptr) {
      c.locale = newlocale(LC_COLLATE_MASK, "C", nullptr);
    }
    return c;
  }();
  return collation;
}

std::mutex& CollationMutex() {
  static std::mutex m;
  return m;
}

inline int Sign(int v) {
  return (v > 0) - (v < 0);
}

inline uint8_t UpperAscii(uint8_t c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Copies at most kMaxCollated bytes and a terminating zero; returns the length copied.
int CopyForCollation(const uint8_t* text, int n, char* out, bool fold) {
  n = std::clamp(n, 0, kMaxCollated);
  std::memcpy(out, text, static_cast<size_t>(n));
  out[n] = 0;
  if (fold) FoldKeyStringCase(reinterpret_cast<uint8_t*>(out), n, TSortOrder::soANSI);
  return n;
}

}  // namespace

void FoldKeyStringCase(uint8_t* text, int n, TSortOrder order) {
  for (int i = 0; i < n; ++i) {
    const uint8_t c = text[i];
    if (c >= 'a' && c <= 'z') {
      text[i] = c - 32;
    } else if (order == TSortOrder::soANSI && c == 0xC3 && i + 1 < n) {
      // Latin-1 small letters U+00E0..U+00FE are C3 A0..C3 BE; their capitals are 0x20 lower.
      const uint8_t d = text[i + 1];
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) {
        text[i + 1] = d - 0x20;
        ++i;
      } else if (d == 0xBF) {  // U+00FF, capital U+0178 = C5 B8
        text[i] = 0xC5;
        text[i + 1] = 0xB8;
        ++i;
      }
    }
  }
}

int CompareStringsANSI(const uint8_t* a, int lengthA, const uint8_t* b, int lengthB,
                       bool caseInsensitive) {
  char bufA[kMaxCollated + 1];
  char bufB[kMaxCollated + 1];
  const int na = CopyForCollation(a, lengthA, bufA, caseInsensitive);
  const int nb = CopyForCollation(b, lengthB, bufB, caseInsensitive);
  const int r = strcoll_l(bufA, bufB, Collation().locale);
  if (r != 0) return Sign(r);
  return Sign(na - nb);
}

int CompareStringsASCII(const uint8_t* a, int lengthA, const uint8_t* b, int lengthB,
                        bool caseInsensitive) {
  const int n = std::min(lengthA, lengthB);
  if (caseInsensitive) {
    for (int i = 0; i < n; ++i) {
      const uint8_t x = UpperAscii(a[i]);
      const uint8_t y = UpperAscii(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
  } else if (n > 0) {
    const int r = std::memcmp(a, b, static_cast<size_t>(n));
    if (r != 0) return Sign(r);
  }
  return Sign(lengthA - lengthB);
}

TSortOrderFunc SortOrderFunction(TSortOrder order) {
  return order == TSortOrder::soASCII ? &CompareStringsASCII : &CompareStringsANSI;
}

bool SetCollationLocale(const std::string& name) {
  std::lock_guard<std::mutex> lock(CollationMutex());
  locale_t loc = newlocale(LC_COLLATE_MASK, name.c_str(), nullptr);
  if (loc == nullptr) return false;
  TCollation& c = Collation();
  if (c.locale != nullptr) freelocale(c.locale);
  c.locale = loc;
  c.name = name;
  return true;
}

std::string CollationLocaleName() {
  std::lock_guard<std::mutex> lock(CollationMutex());
  return Collation().name;
}

}  // namespace zuz
