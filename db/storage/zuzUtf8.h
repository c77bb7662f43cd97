// UTF-8, the engine's text encoding inside the program: reading one code point and appending one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zuz {

// The code point of the well-formed UTF-8 sequence at text[i], moving i behind it; nothing (with
// i moved by one byte) when the byte at i starts no well-formed sequence.
// REQUIRES: i < text.size().
std::optional<char32_t> DecodeUtf8At(std::string_view text, std::size_t& i);

// Appends the UTF-8 form of a code point (at most 0x10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace zuz
