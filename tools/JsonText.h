#pragma once
// Texts from modules written as JSON strings. Modules hand over arbitrary bytes:
// control characters are escaped and bytes that are not UTF-8 become U+FFFD, so
// the result is always valid JSON.

#include <string>

namespace tools {

class JsonText {
public:
    // The text in double quotes, escaped.
    static std::string quote(const std::string& text);
};

}  // namespace tools
