#include "kx/Parameters.h"

#include <cctype>
#include <cmath>

#include "kx/Relaxed.h"

namespace kx {

void Parameters::reserve(int count)
{
    values.reserve(static_cast<size_t>(count));
    descriptors.reserve(static_cast<size_t>(count));
}

int Parameters::addParameter(const ParameterInfo& info, std::unique_ptr<ParameterMapper> mapper)
{
    const int index = count();
    values.push_back({info.defaultValue, false});
    descriptors.push_back({std::string(info.name), std::string(info.label), std::move(mapper), info.id,
                           std::string(info.symbol), info.defaultValue});
    return index;
}

int Parameters::addParameter(float def, std::string_view name, std::string_view label,
                             std::unique_ptr<ParameterMapper> mapper)
{
    std::string symbol;
    for (const char c : name) symbol += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return addParameter({static_cast<uint32_t>(count()), symbol, name, label, def}, std::move(mapper));
}

int Parameters::indexOfId(uint32_t id) const
{
    for (int i = 0; i < count(); ++i) {
        if (descriptors[static_cast<size_t>(i)].id == id) return i;
    }
    return -1;
}

std::string Parameters::displayText(int index, float normalised) const
{
    if (!contains(index) || !descriptors[static_cast<size_t>(index)].mapper) return {};
    return descriptors[static_cast<size_t>(index)].mapper->toText(normalised);
}

std::optional<float> Parameters::parse(int index, std::string_view text) const
{
    if (!contains(index) || !descriptors[static_cast<size_t>(index)].mapper) return std::nullopt;
    const ParameterDescriptor& descriptor = descriptors[static_cast<size_t>(index)];
    text = trimSpaces(text);
    const std::string_view label = descriptor.label;
    if (!label.empty() && text.size() >= label.size()) {
        const std::string_view tail = text.substr(text.size() - label.size());
        bool same = true;
        for (std::size_t i = 0; i < label.size(); ++i)
            same = same && std::tolower(static_cast<unsigned char>(tail[i])) ==
                               std::tolower(static_cast<unsigned char>(label[i]));
        if (same) text.remove_suffix(label.size());
    }
    return descriptor.mapper->fromText(text);
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
