// Character encodings at the program's edges (text inside the program is UTF-8, qorUtf8.h).
// Latin-1 (ISO-8859-1) is one byte per character, U+0000..U+00FF.
// Where a byte does not start a valid sequence, the converters take it as a Latin-1 character,
// so that no byte is lost.
#pragma once

#include <string>
#include <string_view>

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// UTF-8 bytes to UTF-8 text: valid sequences are kept, other bytes are taken as Latin-1.
std::string Utf8BytesToText(std::string_view bytes);
// UTF-8 text to Latin-1 bytes; characters outside Latin-1 become numeric character references
// ("&#321;").
std::string Utf8ToLatin1Refs(std::string_view text);
// UTF-8 text to ASCII bytes; every character above 127 becomes a numeric character reference.
std::string Utf8ToAsciiRefs(std::string_view text);

// The byte of the Windows code page 1252 (Western European, the "ANSI" code page of RTF files
// and, with the same table, of PDF's standard text encoding) for a code point: U+0000..U+007F
// and U+00A0..U+00FF map to themselves, 27 further characters (euro sign, typographic quotes,
// dashes, ...) to bytes 0x80..0x9F. False for every other code point, including the five bytes
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D that the code page leaves undefined and the C1 controls.
bool UnicodeToCp1252(char32_t cp, unsigned char& byte);
