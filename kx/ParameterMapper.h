#pragma once
// Mappers turn a normalised parameter value into an engineering value and display text.

#include <array>
#include <cmath>
#include <string>

namespace kx {

class ParameterMapper {
public:
    virtual ~ParameterMapper();
    virtual float map(float normalised) const = 0;
    virtual std::string toText(float normalised) const = 0;  // without the unit label
};

// minimum at 0, maximum at 1; text with two decimals.
class LinearMapper final : public ParameterMapper {
public:
    LinearMapper(float minimum, float maximum) : minimum(minimum), maximum(maximum) {}
    float map(float normalised) const override;
    std::string toText(float normalised) const override;

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

    const std::array<std::string, N> options;
};

}  // namespace kx
