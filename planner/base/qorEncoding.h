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
