// Character encodings at the program's edges. Text inside the program is UTF-8:
//   U+0000..U+007F   0xxxxxxx
//   U+0080..U+07FF   110xxxxx 10xxxxxx
//   U+0800..U+FFFF   1110xxxx 10xxxxxx 10xxxxxx   (no surrogates U+D800..U+DFFF)
//   U+10000..U+10FFFF 11110xxx 10xxxxxx 10xxxxxx 10xxxxxx
// Overlong forms are invalid. Latin-1 (ISO-8859-1) is one byte per character, U+0000..U+00FF.
// Where a byte does not start a valid sequence, the converters take it as a Latin-1 character,
// so that no byte is lost.
#pragma once

#include <string>
#include <string_view>

// The length (1 to 4) of the valid UTF-8 sequence at position i of s with its code point in cp,
// or 0 when the bytes there are not a valid sequence (or i is at the end).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp);
// Appends the UTF-8 form of a code point (U+FFFD for surrogates and values above U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);
bool IsValidUtf8(std::string_view s);
// The largest position not above i that does not lie inside a valid multi-byte sequence.
size_t Utf8Boundary(std::string_view s, size_t i);

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// UTF-8 bytes to UTF-8 text: valid sequences are kept, other bytes are taken as Latin-1.
std::string Utf8BytesToText(std::string_view bytes);
// UTF-8 text to Latin-1 bytes; characters outside Latin-1 become numeric character references
// ("&#321;").
std::string Utf8ToLatin1Refs(std::string_view text);
// UTF-8 text to ASCII bytes; every character above 127 becomes a numeric character reference.
std::string Utf8ToAsciiRefs(std::string_view text);
