#pragma once

#include <algorithm>
#include <cmath>
#include <memory>

#include "bricks/DspBrick.h"
#include "bricks/ScopeFrameStore.h"

namespace bricks {

// Level-triggered, decimated capture of FrameLength-sample frames into a
// ScopeFrameStore for the editor. Control inputs: 0 triggerLevel (sample
// units), 1 timeScale (0..1: one sample in round(29 x + 1) + 2 is taken).
// The display buffer (Rows frames) is written by the editor; the brick only
// clears it. The only brick with heap memory.
template<int FrameLength, int Rows>
class OscilloscopeBrick : public DspBrickImpl<2, 0, 1, 0> {
public:
    static_assert(FrameLength == ScopeFrameStore::kFrameLength);

    OscilloscopeBrick() : store(new ScopeFrameStore()), display(new DisplayBuffer()) {}
    OscilloscopeBrick(const OscilloscopeBrick&) = delete;
    OscilloscopeBrick& operator=(const OscilloscopeBrick&) = delete;

    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end) override
    {
        if (begin == 0) {
            blockLevel = controlValue(0);
            blockPeriod = int(std::lround(controlValue(1) * 29.0f + 1.0f));
            // Each block starts as if the previous sample had been 0.
            previous = 0.0f;
        }
        const float level = blockLevel;
        const int period = blockPeriod;
        const float* __restrict in = audioInputs[0];
        int position = writePosition;
        bool frameTriggered = triggered;
        int counter = decimationCounter;
        float prev = previous;
        // A rising crossing above the level restarts an armed frame; every
        // period + 2-th sample is taken into it.
        const auto crosses = [level](float before, float x) { return (before < 0.01f) & (x > level); };
        int n = begin;
        while (n < end) {
            // The samples before the next one taken only matter while the frame is armed.
            const int untaken = counter > period ? 0 : std::min(end - n, period + 1 - counter);
            float p = prev;
            for (int j = n; j < n + untaken && !frameTriggered; ++j) {
                if (crosses(p, in[j])) {
                    position = 0;
                    frameTriggered = true;
                }
                p = in[j];
            }
            if (untaken > 0) prev = in[n + untaken - 1];
            counter += untaken;
            n += untaken;
            if (n == end) break;

            const float x = in[n];
            if (crosses(prev, x) & !frameTriggered) {
                position = 0;
                frameTriggered = true;
            }
            capture[position] = x;
            position = position + 1;
            if (position == FrameLength) {
                store->publish(capture);
                position = 0;
                frameTriggered = false;
            }
            counter = 0;
            prev = x;
            ++n;
        }
        writePosition = position;
        triggered = frameTriggered;
        decimationCounter = counter;
        previous = prev;
    }

    // Clears the display buffer only; capture continues where it was.
    void reset() override
    {
        for (float& sample : display->samples) kx::storeRelaxed(sample, 0.0f);
    }

    ScopeFrameStore& frameStore() { return *store; }
    float* displayBuffer() { return display->samples; }

private:
    struct alignas(32) DisplayBuffer {
        float samples[FrameLength * Rows]{};
    };

    std::unique_ptr<ScopeFrameStore> store;
    std::unique_ptr<DisplayBuffer> display;
    alignas(32) float capture[FrameLength]{};
    int writePosition = 0;
    bool triggered = false;
    int decimationCounter = 0;
    // The current block's controls and its last sample processed.
    float blockLevel = 0.0f;
    int blockPeriod = 1;
    float previous = 0.0f;
};

}  // namespace bricks
