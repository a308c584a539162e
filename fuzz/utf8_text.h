#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zonkle::fuzz {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// past U+10FFFF), checked byte by byte without any JSON library.
bool isWellFormedUtf8(std::string_view bytes);

// Appends the UTF-8 form of a Unicode scalar value (not a surrogate, at most U+10FFFF).
void appendUtf8(std::string& text, char32_t scalar);

} // namespace zonkle::fuzz
