// tw07_testfx: a small effect for testing hosts and the VST 2.4 binding.
//
// Parameters (host order):
//   0 "Gain"            linear 0..2, label "x", default 0.5 (factor 1): output = input x factor.
//   1 "Mode"            options "Normal", "Invert", "Mute", default 0: Invert negates the output,
//                       Mute writes zeros.
//   2 "Threshold level" linear -100000..100000, label "microseconds", default 0.5; has a change
//                       callback and no effect on the audio (its texts are longer than the
//                       host's 8 characters on purpose).
// Audio: two channels in and out. Each output channel takes its own input channel, or input 0
// when its own is absent (mono in), or silence without input. Processed on a grid of 32-frame
// blocks: a host block that ends inside one hands the effect that block in parts.
// MIDI events are accepted and ignored. Editor: a fake one of 320 x 240 pixels that opens no
// window; its window counts as up from the first idle call after opening.
//
// Built a second time as tw07_testfx_alt (TW07_TESTFX_ALT): an instrument with one input,
// host-sized blocks, no editor, bypass, MIDI output and time info announced, and a name and
// vendor longer than the host's buffers.
//
// A test executable may export tw07TestFxProbe() (TestFxProbe.h) to watch the effect.

#include <dlfcn.h>

#include <memory>

#include "kx/AudioPlugin.h"
#include "kx/ParameterMapper.h"
#include "kx/Relaxed.h"
#include "tests/framework/TestFxProbe.h"

namespace {

#ifdef TW07_TESTFX_ALT
constexpr kx::PluginDescriptor kDescriptor{
    "kx test instrument with a long name, 45 chars",
    "kxti",
    "kx test vendor whose name is longer than sixty-four characters, 77 chars",
    "1.0",
    8,
    0x6B785432,  // 'kxT2'
    1,
    2,
    false,
    true,
    true,
    true,
    true,
    true,
    false,
    32,
    3,
};
#else
constexpr kx::PluginDescriptor kDescriptor{
    "kx test effect",
    "kxte",
    "kx tests",
    "1.0",
    7,
    0x6B785431,  // 'kxT1'
    2,
    2,
    true,
    true,
    false,
    false,
    false,
    false,
    true,
    32,
    kx::kBlockModeSkip,
};
#endif

// Without a watching test the reports go to a probe of the instance's own.
testfx::Probe* findProbe(testfx::Probe* own)
{
    auto function = reinterpret_cast<testfx::ProbeFunction>(dlsym(RTLD_DEFAULT, testfx::kProbeSymbol));
    return function != nullptr ? function() : own;
}

class FakeEditor final : public kx::AudioPluginEditor {
public:
    explicit FakeEditor(testfx::Probe* probe) : probe(probe) {}
    ~FakeEditor() override { ++probe->editorDestroyed; }

    const kx::EditorSize* getSize() const override { return &size; }

    bool open(void* parent) override
    {
        ++probe->editorOpens;
        probe->editorParent = parent;
        if (isOpen) {
            return false;
        }
        isOpen = true;
        idlesSinceOpen = 0;
        return true;
    }

    void close() override
    {
        ++probe->editorCloses;
        isOpen = false;
    }

    void idle() override
    {
        ++probe->editorIdles;
        if (isOpen) {
            ++idlesSinceOpen;
        }
    }

    void setSize(int width, int height) override
    {
        size.width = width;
        size.height = height;
    }

    bool windowIsOpen() const override { return isOpen && idlesSinceOpen > 0; }

private:
    testfx::Probe* probe;
    kx::EditorSize size{320, 240, 256};
    bool isOpen = false;
    int idlesSinceOpen = 0;
};

class TestFx final : public kx::AudioPlugin {
public:
    explicit TestFx(kx::HostCallback& host) : probe(findProbe(&ownProbe)), fakeEditor(probe)
    {
        parameters.reserve(3);
        parameters.addParameter(0.5f, "Gain", "x", std::make_unique<kx::LinearMapper>(0.0f, 2.0f));
        parameters.addParameter(0.0f, "Mode", "", std::make_unique<kx::OptionMapper<3>>("Normal", "Invert", "Mute"));
        parameters.addParameter(0.5f, "Threshold level", "microseconds",
                                std::make_unique<kx::LinearMapper>(-100000.0f, 100000.0f), &TestFx::onThreshold, this);
        probe->host = &host;
        ++probe->created;
    }

    ~TestFx() override { ++probe->destroyed; }

    const kx::PluginDescriptor& descriptor() const override { return kDescriptor; }

    void reset() override { ++probe->resets; }

    void suspend() override { ++probe->suspends; }

    void setBypass(bool on) override
    {
        ++probe->bypassCalls;
        probe->bypass = on;
    }

    void setSampleRate(float hz) override { probe->sampleRate = hz; }

    void setNumInputs(int channels) override { probe->numInputs = channels; }

    void setNumOutputs(int channels) override { probe->numOutputs = channels; }

    void process(const kx::ProcessBlock& block) override
    {
        const float gainValue = kx::loadRelaxed(parameters.values[0].value);
        record(block, gainValue);
        const int mode =
            static_cast<int>(parameters.descriptors[1].mapper->map(kx::loadRelaxed(parameters.values[1].value)));
        float factor = parameters.descriptors[0].mapper->map(gainValue);
        factor = mode == 1 ? -factor : (mode == 2 ? 0.0f : factor);
        for (int c = 0; c < 2; ++c) {
            float* out = block.outputs[c];
            if (out == nullptr) {
                continue;
            }
            const float* in = block.inputs[c] != nullptr ? block.inputs[c] : block.inputs[0];
            for (int i = 0; i < block.frames; ++i) {
                out[i] = in != nullptr ? in[i] * factor : 0.0f;
            }
        }
    }

    kx::AudioPluginEditor* editor() override { return &fakeEditor; }

private:
    void onThreshold(int index, float value)
    {
        if (probe->callbackCount < testfx::kMaxCallbacks) {
            probe->callbacks[probe->callbackCount++] = {index, value};
        }
    }

    void record(const kx::ProcessBlock& block, float gainValue)
    {
        if (probe->blockCount < testfx::kMaxBlocks) {
            testfx::BlockRecord& r = probe->blocks[probe->blockCount];
            r.frames = block.frames;
            r.blockOffset = block.blockOffset;
            r.inputs[0] = block.inputs[0];
            r.inputs[1] = block.inputs[1];
            r.outputs[0] = block.outputs[0];
            r.outputs[1] = block.outputs[1];
            r.eventCount = static_cast<int32_t>(block.events->size());
            for (int i = 0; i < r.eventCount && i < testfx::kMaxEvents; ++i) {
                r.events[i] = (*block.events)[static_cast<size_t>(i)];
            }
            r.gain = gainValue;
        }
        ++probe->blockCount;
    }

    testfx::Probe ownProbe{};
    testfx::Probe* probe;
    FakeEditor fakeEditor;
};

}  // namespace

std::unique_ptr<kx::AudioPlugin> kx::createPlugin(kx::HostCallback& host, float)
{
    return std::make_unique<TestFx>(host);
}
