// Character encodings at the program's edges (text inside the program is UTF-8, qorUtf8.h).
// Latin-1 (ISO-8859-1) is one byte per character, U+0000..U+00FF. Code page 1252 is Latin-1
// with 27 printable characters in 0x80..0x9F:
//   80 U+20AC   82 U+201A   83 U+0192   84 U+201E   85 U+2026   86 U+2020   87 U+2021
//   88 U+02C6   89 U+2030   8A U+0160   8B U+2039   8C U+0152   8E U+017D
//   91 U+2018   92 U+2019   93 U+201C   94 U+201D   95 U+2022   96 U+2013   97 U+2014
//   98 U+02DC   99 U+2122   9A U+0161   9B U+203A   9C U+0153   9E U+017E   9F U+0178
// and 81, 8D, 8F, 90, 9D unassigned (read as the control characters of the same number).
// Where a byte does not start a valid sequence, the converters take it as a Latin-1 character,
// so that no byte is lost.
#pragma once

#include <string>
#include <string_view>

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// Code page 1252 bytes to UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);
// The code page 1252 byte of a character; false when the code page has none.
bool Cp1252Byte(char32_t cp, unsigned char& byte);
// UTF-8 bytes to UTF-8 text: valid sequences are kept, other bytes are taken as Latin-1.
std::string Utf8BytesToText(std::string_view bytes);
// UTF-8 text to Latin-1 bytes; characters outside Latin-1 become numeric character references
// ("&#321;").
std::string Utf8ToLatin1Refs(std::string_view text);
// UTF-8 text to code page 1252 bytes; other characters become numeric character references.
std::string Utf8ToCp1252Refs(std::string_view text);
// UTF-8 text to ASCII bytes; every character above 127 becomes a numeric character reference.
std::string Utf8ToAsciiRefs(std::string_view text);
