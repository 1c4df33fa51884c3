#pragma once
// The parameter set every plug-in carries: normalised values in 0..1, names, labels, mappers
// and optional change callbacks. Filled once in the plug-in's constructor; afterwards only the
// values change. Values are shared across threads: read and write them whole (kx/Relaxed.h).

#include <functional>
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

struct ParameterDescriptor {
    std::string name;
    std::string label;  // unit text shown after the value
    std::unique_ptr<ParameterMapper> mapper;
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
};

}  // namespace kx
