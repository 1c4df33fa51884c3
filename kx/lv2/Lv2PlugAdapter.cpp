#include "kx/lv2/Lv2PlugAdapter.h"

#include <cmath>
#include <limits>

namespace kx::lv2 {

namespace {

// LV2 hosts announce no largest block, and the effect takes no events: the grid's event lists
// are prepared for none, which keeps each run from clearing lists it never fills.
constexpr int kPreparedFrames = 0;

int optionsOf(const ParameterDescriptor& descriptor)
{
    return descriptor.mapper ? descriptor.mapper->optionCount() : 0;
}

}  // namespace

Lv2PlugAdapter::Lv2PlugAdapter(double sampleRate)
    : effect(createPlugin(*this, static_cast<float>(sampleRate))),
      parameters(&effect->parameters),
      blockAdapter(makeBlockSizeAdapter(effect->descriptor())),
      controls(static_cast<std::size_t>(parameters->count()), nullptr),
      // No port value is NaN: the first run applies every connected port.
      applied(static_cast<std::size_t>(parameters->count()), std::numeric_limits<float>::quiet_NaN()),
      toUi(parameters->count())
{
    effect->setSampleRate(static_cast<float>(sampleRate));
    blockAdapter->setChannels(2, 2);
    blockAdapter->setBlockSizes(effect->descriptor().blockSize, kPreparedFrames);
}

Lv2PlugAdapter::~Lv2PlugAdapter() = default;

float Lv2PlugAdapter::portValue(const ParameterDescriptor& descriptor, float normalised)
{
    const int options = optionsOf(descriptor);
    return options >= 2 ? std::round(normalised * static_cast<float>(options - 1)) : normalised;
}

float Lv2PlugAdapter::normalisedValue(const ParameterDescriptor& descriptor, float port)
{
    const int options = optionsOf(descriptor);
    if (options < 2 || std::isnan(port)) return port;
    const float step = std::fmin(std::fmax(std::round(port), 0.0f), static_cast<float>(options - 1));
    return step / static_cast<float>(options - 1);
}

void Lv2PlugAdapter::connect(uint32_t port, void* data)
{
    const auto parameterCount = static_cast<uint32_t>(controls.size());
    if (port < parameterCount) {
        controls[port] = static_cast<const float*>(data);
        return;
    }
    switch (port - parameterCount) {
    case 0:
        inputs[0] = static_cast<const float*>(data);
        break;
    case 1:
        inputs[1] = static_cast<const float*>(data);
        break;
    case 2:
        outputs[0] = static_cast<float*>(data);
        break;
    case 3:
        outputs[1] = static_cast<float*>(data);
        break;
    default:
        break;  // no such port
    }
}

void Lv2PlugAdapter::activate()
{
    blockAdapter->restart();
    effect->reset();
}

void Lv2PlugAdapter::applyControls()
{
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i] == nullptr) continue;
        const float port = *controls[i];
        // NaN is never stored; comparing bits would apply it again on every run.
        if (port == applied[i] || std::isnan(port)) continue;
        applied[i] = port;
        parameters->setValue(static_cast<int>(i), normalisedValue(parameters->descriptors[i], port));
    }
}

void Lv2PlugAdapter::run(uint32_t frames)
{
    applyControls();
    if (inputs[0] == nullptr || inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) return;
    float* in[2] = {const_cast<float*>(inputs[0]), const_cast<float*>(inputs[1])};
    blockAdapter->beginHostBlock(in, outputs, static_cast<int>(frames));
    blockAdapter->run(*effect);
}

AudioPluginEditor* Lv2PlugAdapter::editor() { return effect->descriptor().hasEditor ? effect->editor() : nullptr; }

void Lv2PlugAdapter::automate(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) return;
    if (uiAttached.load())
        toUi.push({ParameterEdit::Kind::kValue, index, value});
    else
        parameters->setValue(index, value);
}

void Lv2PlugAdapter::automateNow(int index, float value) { automate(index, value); }

void Lv2PlugAdapter::beginEdit(int index)
{
    if (parameters->contains(index) && uiAttached.load()) toUi.push({ParameterEdit::Kind::kBegin, index, 0.0f});
}

void Lv2PlugAdapter::endEdit(int index)
{
    if (parameters->contains(index) && uiAttached.load()) toUi.push({ParameterEdit::Kind::kEnd, index, 0.0f});
}

}  // namespace kx::lv2
