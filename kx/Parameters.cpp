#include "kx/Parameters.h"

#include <cmath>

#include "kx/Relaxed.h"

namespace kx {

void Parameters::reserve(int count)
{
    values.reserve(static_cast<size_t>(count));
    descriptors.reserve(static_cast<size_t>(count));
}

int Parameters::addParameter(float def, std::string_view name, std::string_view label,
                             std::unique_ptr<ParameterMapper> mapper)
{
    const int index = count();
    values.push_back({def, false});
    descriptors.push_back({std::string(name), std::string(label), std::move(mapper)});
    return index;
}

void Parameters::setValue(int index, float x)
{
    if (!contains(index) || std::isnan(x)) {
        return;
    }
    const float clamped = x > 1.0f ? 1.0f : (x < 0.0f ? 0.0f : x);
    ParameterValue& entry = values[static_cast<size_t>(index)];
    storeRelaxed(entry.value, clamped);
    if (entry.notify) {
        const auto callback = callbacks.find(index);
        if (callback != callbacks.end()) {
            callback->second(index, std::isinf(x) ? clamped : x);
        }
    }
}

float Parameters::value(int index) const
{
    return contains(index) ? loadRelaxed(values[static_cast<size_t>(index)].value) : 0.0f;
}

}  // namespace kx
