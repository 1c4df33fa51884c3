#pragma once
// Text between the framework's UTF-8 and VST 3's UTF-16 (characters of the Basic
// Multilingual Plane; anything else becomes '?').

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::vst3 {

// Copies at most capacity - 1 characters and a terminator.
inline void toUtf16(std::string_view text, char16_t* out, std::size_t capacity)
{
    if (capacity == 0) return;
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n + 1 < capacity;) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char32_t code = '?';
        std::size_t length = 1;
        if (byte < 0x80) {
            code = byte;
        } else if ((byte & 0xE0) == 0xC0 && i + 1 < text.size()) {
            code = (char32_t(byte & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            length = 2;
        } else if ((byte & 0xF0) == 0xE0 && i + 2 < text.size()) {
            code = (char32_t(byte & 0x0F) << 12) | (char32_t(static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                   (static_cast<unsigned char>(text[i + 2]) & 0x3F);
            length = 3;
        } else {
            while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) ++length;
        }
        out[n++] = static_cast<char16_t>(code);
        i += length;
    }
    out[n] = 0;
}

// Reads up to the terminator or `capacity` characters.
inline std::string fromUtf16(const char16_t* text, std::size_t capacity)
{
    std::string out;
    for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace kx::vst3
