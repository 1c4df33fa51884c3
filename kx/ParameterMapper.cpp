#include "kx/ParameterMapper.h"

#include <fmt/format.h>

#include <charconv>

namespace kx {

float LinearMapper::map(float normalised) const { return (maximum - minimum) * normalised + minimum; }

std::string LinearMapper::toText(float normalised) const { return fmt::format("{0:0.2f}", map(normalised)); }

std::optional<float> LinearMapper::fromText(std::string_view text) const
{
    const std::optional<float> plain = parseNumber(text);
    if (!plain || maximum == minimum) return std::nullopt;
    const float normalised = (*plain - minimum) / (maximum - minimum);
    return normalised < 0.0f ? 0.0f : (normalised > 1.0f ? 1.0f : normalised);
}

std::string_view trimSpaces(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<float> parseNumber(std::string_view text)
{
    text = trimSpaces(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace kx
