#include "utf8_text.h"

namespace zonkle::fuzz {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

bool isWellFormedUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t scalar = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            scalar = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            scalar = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            scalar = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + k]);
            if (!isContinuation(byte)) {
                return false;
            }
            scalar = (scalar << 6) | (byte & 0x3F);
        }
        if (scalar < smallest || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void appendUtf8(std::string& text, char32_t scalar) {
    const auto byte = [&](char32_t value) { text.push_back(static_cast<char>(value)); };
    if (scalar < 0x80) {
        byte(scalar);
    } else if (scalar < 0x800) {
        byte(0xC0 | (scalar >> 6));
        byte(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        byte(0xE0 | (scalar >> 12));
        byte(0x80 | ((scalar >> 6) & 0x3F));
        byte(0x80 | (scalar & 0x3F));
    } else {
        byte(0xF0 | (scalar >> 18));
        byte(0x80 | ((scalar >> 12) & 0x3F));
        byte(0x80 | ((scalar >> 6) & 0x3F));
        byte(0x80 | (scalar & 0x3F));
    }
}

} // namespace zonkle::fuzz
