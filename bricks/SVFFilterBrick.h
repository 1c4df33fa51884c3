#pragma once

#include "bricks/DspBrick.h"

namespace bricks {

// Trapezoidal state-variable filter. Control inputs: 0 cutoff (normalised,
// 20 * 2^(10 x) Hz), 1 resonance (0 most damped, 1 undamped). Audio outputs:
// 0 low-pass, 1 band-pass, 2 high-pass. The integrator gain glides linearly
// across each block to the new cutoff.
class SVFFilterBrick : public DspBrickImpl<2, 0, 1, 3> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end);
    void reset() override;

    // Runs count (1..4) filters side by side in SSE lanes, each exactly as its
    // processRange() would. No lane may read an output written by another lane.
    static void processLanes(SVFFilterBrick* const* bricks, int count, int begin = 0, int end = kBlockSize);

private:
    // Reads the controls: the block's gain step dg and damping k.
    void beginBlock();

    float ic1 = 0.0f;  // band integrator
    float ic2 = 0.0f;  // low integrator
    float g = 0.0f;    // integrator gain at the last sample processed
    float dg = 0.0f;   // per-sample step of g in the current block
    float damping = 2.0f;  // k of the current block
};

}  // namespace bricks
