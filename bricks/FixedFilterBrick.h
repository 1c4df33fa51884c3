#pragma once

#include "bricks/BiquadCoefficients.h"
#include "bricks/DspBrick.h"

namespace bricks {

// One second-order section in transposed direct form II; the owner sets the
// response after setSampleRate. Outputs silence until a set-up has run.
class FixedFilterBrick : public DspBrickImpl<0, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end);
    void reset() override;

    // Runs count (1..4) filters side by side in SSE lanes, each exactly as its
    // processRange() would. No lane may read an output written by another lane.
    static void processLanes(FixedFilterBrick* const* bricks, int count, int begin = 0, int end = kBlockSize);

    // q acts as twice the usual quality factor (alpha = sin(w) / q).
    void setBandPass(float frequency, float q, bool clearState);
    void setHighPass(float frequency, float q, bool clearState);
    void setLowPass(float frequency, float q, bool clearState);

    const BiquadCoefficients& coefficients() const { return coefficients_; }

private:
    BiquadCoefficients coefficients_;
    float s1 = 0.0f;
    float s2 = 0.0f;
};

}  // namespace bricks
