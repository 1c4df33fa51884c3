#pragma once
// Mappers turn a normalised parameter value into an engineering value and display text,
// and text back into a normalised value.

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

class ParameterMapper {
public:
    virtual ~ParameterMapper();
    virtual float map(float normalised) const = 0;
    virtual std::string toText(float normalised) const = 0;  // without the unit label
    // The normalised value of a text without its unit label (spaces around it allowed);
    // none when it names no value.
    virtual std::optional<float> fromText(std::string_view text) const = 0;
    // Engineering values at 0 and at 1.
    virtual float lowest() const = 0;
    virtual float highest() const = 0;
    // Named options, stepped; 0 for a continuous parameter.
    virtual int optionCount() const { return 0; }
    virtual std::string_view optionName(int) const { return {}; }
};

// A plain number in `text` (spaces around it allowed); none for anything else.
std::optional<float> parseNumber(std::string_view text);
std::string_view trimSpaces(std::string_view text);

// minimum at 0, maximum at 1; text with two decimals.
class LinearMapper final : public ParameterMapper {
public:
    LinearMapper(float minimum, float maximum) : minimum(minimum), maximum(maximum) {}
    float map(float normalised) const override;
    std::string toText(float normalised) const override;
    // The number, clamped to the range.
    std::optional<float> fromText(std::string_view text) const override;
    float lowest() const override { return minimum; }
    float highest() const override { return maximum; }

    const float minimum;
    const float maximum;
};

// N named options spread evenly over 0..1.
template<int N>
class OptionMapper final : public ParameterMapper {
    static_assert(N >= 1);

public:
    template<class... Names>
    explicit OptionMapper(Names... names) : options{std::string(names)...}
    {
        static_assert(sizeof...(Names) == N, "one name per option");
    }

    float map(float normalised) const override
    {
        float y = float(N) * normalised;
        if (y > float(N - 1)) {
            y = float(N - 1);
        } else if (y < 0.0f) {
            y = 0.0f;
        } else if (!(y >= 0.0f)) {  // NaN picks the first option
            y = 0.0f;
        }
        return std::floor(y);
    }

    std::string toText(float normalised) const override { return options[static_cast<size_t>(map(normalised))]; }

    // An option's name in any case, or its number counted from 0.
    std::optional<float> fromText(std::string_view text) const override
    {
        const std::string_view name = trimSpaces(text);
        for (int i = 0; i < N; ++i) {
            if (equalIgnoringCase(name, options[static_cast<size_t>(i)])) return normalisedOf(i);
        }
        const std::optional<float> number = parseNumber(name);
        if (!number || *number != std::floor(*number) || *number < 0.0f || *number > float(N - 1)) return std::nullopt;
        return normalisedOf(static_cast<int>(*number));
    }

    float lowest() const override { return 0.0f; }
    float highest() const override { return float(N - 1); }
    int optionCount() const override { return N; }
    std::string_view optionName(int i) const override
    {
        return i >= 0 && i < N ? std::string_view(options[static_cast<size_t>(i)]) : std::string_view{};
    }
    // Option i sits at i / (N - 1), which map() takes back to i.
    static float normalisedOf(int i) { return N > 1 ? float(i) / float(N - 1) : 0.0f; }

    const std::array<std::string, N> options;

private:
    static bool equalIgnoringCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
            if (lower(a[i]) != lower(b[i])) return false;
        }
        return true;
    }
};

}  // namespace kx
