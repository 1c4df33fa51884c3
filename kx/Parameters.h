#pragma once
// The parameter set every plug-in carries: normalised values in 0..1, names, labels, mappers
// and optional change callbacks. Filled once in the plug-in's constructor; afterwards only the
// values change. Values are shared across threads: read and write them whole (kx/Relaxed.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kx/ParameterMapper.h"

namespace kx {

struct ParameterValue {
    float value;  // normalised, within 0..1 once stored through setValue
    bool notify;  // a change callback is registered
};

// What a parameter is, as every plug-in format shows it. Ids and symbols are kept by
// hosts in projects and automation: once released, they never change.
struct ParameterInfo {
    uint32_t id;
    std::string_view symbol;  // lower case, digits and '_': a name for files and scripts
    std::string_view name;    // in full; a format that must shorten it does so itself
    std::string_view label;   // unit text shown after the value
    float defaultValue;       // normalised
};

struct ParameterDescriptor {
    std::string name;
    std::string label;
    std::unique_ptr<ParameterMapper> mapper;
    uint32_t id = 0;
    std::string symbol;
    float defaultValue = 0.0f;
};

using ParameterCallback = std::function<void(int, float)>;

class Parameters {
public:
    std::vector<ParameterValue> values;
    std::vector<ParameterDescriptor> descriptors;
    std::unordered_map<int, ParameterCallback> callbacks;

    // Reserve before declaring when raw pointers to values are handed out during declaration.
    void reserve(int count);

    // Returns the new parameter's index. The default is normalised and stored unchanged.
    int addParameter(const ParameterInfo& info, std::unique_ptr<ParameterMapper> mapper);
    template<class Owner>
    int addParameter(const ParameterInfo& info, std::unique_ptr<ParameterMapper> mapper,
                     void (Owner::*onChange)(int, float), Owner* owner)
    {
        const int index = addParameter(info, std::move(mapper));
        values[index].notify = true;
        callbacks.emplace(index, [owner, onChange](int i, float x) { (owner->*onChange)(i, x); });
        return index;
    }
    // The same with the index as id and a symbol made from the name.
    int addParameter(float def, std::string_view name, std::string_view label, std::unique_ptr<ParameterMapper> mapper);

    template<class Owner>
    int addParameter(float def, std::string_view name, std::string_view label, std::unique_ptr<ParameterMapper> mapper,
                     void (Owner::*onChange)(int, float), Owner* owner)
    {
        const int index = addParameter(def, name, label, std::move(mapper));
        values[index].notify = true;
        callbacks.emplace(index, [owner, onChange](int i, float x) { (owner->*onChange)(i, x); });
        return index;
    }

    // Stores x clamped to 0..1, then calls the parameter's callback with x as given.
    // An index outside the set or a NaN is ignored; an infinite x reaches the callback clamped.
    void setValue(int index, float x);

    // The stored normalised value; 0 for an index outside the set.
    float value(int index) const;

    int count() const { return static_cast<int>(values.size()); }
    bool contains(int index) const { return index >= 0 && index < count(); }

    // The index of the parameter with this id; -1 when there is none.
    int indexOfId(uint32_t id) const;
    // The value as text without the unit label; empty for an index outside the set.
    std::string displayText(int index, float normalised) const;
    // The normalised value a text names: a display form or a plain number, with or without
    // the unit label, spaces allowed. None for an index outside the set or text that names
    // no value.
    std::optional<float> parse(int index, std::string_view text) const;
};

}  // namespace kx
