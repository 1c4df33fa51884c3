#include "JsonText.h"

#include <cstdio>

namespace tools {

std::string JsonText::quote(const std::string& text)
{
    std::string out = "\"";
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // Lead byte: sequence length; continuation bytes, overlong forms, surrogates
        // and code points beyond U+10FFFF are refused.
        std::size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4;
        bool valid = length > 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k) valid = (bytes[i + k] & 0xC0) == 0x80;
        if (valid && length == 3) {
            const unsigned second = bytes[i + 1];
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0);
        }
        if (valid && length == 4) {
            const unsigned second = bytes[i + 1];
            valid = !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out + "\"";
}

}  // namespace tools
