#include "kx/standalone/StandaloneEngine.h"

#include <cmath>

namespace kx::standalone {

namespace {

// The effect takes no events: the grid's event lists are prepared for none, so a period
// of any length needs nothing new.
constexpr int kPreparedFrames = 0;

}  // namespace

StandaloneEngine::StandaloneEngine(float sampleRate)
    : plugin(createPlugin(*this, sampleRate)),
      blockAdapter(makeBlockSizeAdapter(plugin->descriptor())),
      currentRate(sampleRate),
      requestedRate(sampleRate)
{
    blockAdapter->setChannels(2, 2);
    blockAdapter->setBlockSizes(plugin->descriptor().blockSize, kPreparedFrames);
    start(sampleRate);
}

StandaloneEngine::~StandaloneEngine() = default;

void StandaloneEngine::start(float sampleRate)
{
    requestedRate.store(sampleRate);
    restartAt(sampleRate);
}

void StandaloneEngine::restartAt(float sampleRate)
{
    currentRate = sampleRate;
    plugin->setSampleRate(sampleRate);
    plugin->reset();
    blockAdapter->restart();
}

void StandaloneEngine::requestSampleRate(float sampleRate)
{
    if (sampleRate > 0.0f && std::isfinite(sampleRate)) requestedRate.store(sampleRate);
}

void StandaloneEngine::process(const float* const inputs[2], float* const outputs[2], int frames)
{
    // Filter design and clearing only: no allocation, lock or system call.
    const float rate = requestedRate.load(std::memory_order_relaxed);
    if (rate != currentRate) restartAt(rate);
    float* in[2] = {const_cast<float*>(inputs[0]), const_cast<float*>(inputs[1])};
    float* out[2] = {outputs[0], outputs[1]};
    blockAdapter->beginHostBlock(in, out, frames);
    blockAdapter->run(*plugin);
}

void StandaloneEngine::automate(int index, float value) { plugin->parameters.setValue(index, value); }

void StandaloneEngine::automateNow(int index, float value) { plugin->parameters.setValue(index, value); }

HostInfo StandaloneEngine::hostInfo() { return {"standalone", std::string(plugin->descriptor().vendor), 0}; }

}  // namespace kx::standalone
