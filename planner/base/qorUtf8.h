// UTF-8, the text encoding inside the whole program (planner, engine and reports alike):
//   U+0000..U+007F    0xxxxxxx
//   U+0080..U+07FF    110xxxxx 10xxxxxx
//   U+0800..U+FFFF    1110xxxx 10xxxxxx 10xxxxxx   (no surrogates U+D800..U+DFFF)
//   U+10000..U+10FFFF 11110xxx 10xxxxxx 10xxxxxx 10xxxxxx
// One rule everywhere: over-long forms, surrogates, values above U+10FFFF and cut sequences are
// not well-formed; a reader meets them as single bytes, and a writer asked for a surrogate or a
// value above U+10FFFF writes U+FFFD instead.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The length (1 to 4) of the valid UTF-8 sequence at position i of s with its code point in cp,
// or 0 when the bytes there are not a valid sequence (or i is at the end).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp);
// Appends the UTF-8 form of a code point (U+FFFD for surrogates and values above U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);
bool IsValidUtf8(std::string_view s);
// The position of the first byte that starts no well-formed sequence; s.size() for valid text.
size_t FirstInvalidUtf8(std::string_view s);
// The text for a message: every byte that starts no well-formed sequence written as \xNN.
std::string Utf8WithEscapes(std::string_view s);
// The largest position not above i that does not lie inside a valid multi-byte sequence.
size_t Utf8Boundary(std::string_view s, size_t i);

// The code point of the well-formed sequence at s[i], moving i behind it; nothing (with i moved by
// one byte) when the byte at i starts no well-formed sequence. REQUIRES: i < s.size().
std::optional<char32_t> DecodeUtf8At(std::string_view s, size_t& i);
// The number of characters of the text, a byte that starts no well-formed sequence counting as one.
size_t Utf8Length(std::string_view s);
