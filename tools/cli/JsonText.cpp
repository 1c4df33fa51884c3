#include "JsonText.h"

#include <cmath>
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

void JsonWriter::indent(std::size_t depth)
{
    out += '\n';
    out.append(2 * depth, ' ');
}

void JsonWriter::beforeValue()
{
    if (afterKey) {
        afterKey = false;
        return;
    }
    if (levels.empty()) return;
    Level& level = levels.back();
    if (level.members++ > 0) out += ',';
    if (level.multiline)
        indent(levels.size());
    else if (level.members > 1)
        out += ' ';
}

JsonWriter& JsonWriter::open(char bracket)
{
    beforeValue();
    out += bracket;
    levels.push_back({levels.size() < 2});
    return *this;
}

JsonWriter& JsonWriter::close(char bracket)
{
    const Level level = levels.back();
    levels.pop_back();
    if (level.multiline && level.members > 0) indent(levels.size());
    out += bracket;
    if (levels.empty()) out += '\n';
    return *this;
}

JsonWriter& JsonWriter::beginObject() { return open('{'); }
JsonWriter& JsonWriter::endObject() { return close('}'); }
JsonWriter& JsonWriter::beginArray() { return open('['); }
JsonWriter& JsonWriter::endArray() { return close(']'); }

JsonWriter& JsonWriter::key(const std::string& name)
{
    beforeValue();
    out += JsonText::quote(name) + ": ";
    afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& text)
{
    beforeValue();
    out += JsonText::quote(text);
    return *this;
}

JsonWriter& JsonWriter::value(int number)
{
    beforeValue();
    out += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool truth)
{
    beforeValue();
    out += truth ? "true" : "false";
    return *this;
}

std::string JsonText::number(float value)
{
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

JsonWriter& JsonWriter::value(float number)
{
    beforeValue();
    out += JsonText::number(number);
    return *this;
}

JsonWriter& JsonWriter::null()
{
    beforeValue();
    out += "null";
    return *this;
}

}  // namespace tools
