#pragma once
// JSON output. Texts from modules are written as JSON strings: modules hand over
// arbitrary bytes, so control characters are escaped and bytes that are not UTF-8
// become U+FFFD, and the result is always valid JSON.

#include <string>
#include <vector>

namespace tools {

class JsonText {
public:
    // The text in double quotes, escaped.
    static std::string quote(const std::string& text);
    // The number with 9 significant digits (every float read back exactly); null when
    // it is not finite.
    static std::string number(float value);
};

// Writes one JSON document as it is built. The outer container and those directly
// in it take a line a member, indented by two spaces a level; anything deeper is
// written on one line. Members of an object are written as key() then the value.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(const std::string& name);
    JsonWriter& value(const std::string& text);
    JsonWriter& value(const char* text) { return value(std::string(text)); }
    JsonWriter& value(int number);
    JsonWriter& value(bool truth);
    // As JsonText::number writes it.
    JsonWriter& value(float number);
    JsonWriter& null();

    // The document, with a final newline once the outer container is closed.
    const std::string& text() const { return out; }

private:
    struct Level {
        bool multiline;
        int members = 0;
    };
    void beforeValue();
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);
    void indent(std::size_t depth);

    std::string out;
    std::vector<Level> levels;
    bool afterKey = false;
};

}  // namespace tools
