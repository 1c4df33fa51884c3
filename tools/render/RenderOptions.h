#pragma once
// The rendering options shared by the commands that run audio through a module,
// as typed on the command line, and their resolution against a loaded effect.
//
//   --set P=V          parameter P (index or name) to normalised value V before processing
//   --set-at T:P=V     the same at time T: "1.5s", "250ms" or a frame number "48000"
//   --block N[,N...]   host block size, or sizes used in turn
//   --in-place         inputs and outputs share buffers
//   --host-flushes     process calls run with the processor's flush-to-zero and
//                      denormals-are-zero flags set, as some hosts run their audio
//   --preset NAME      the module's own preset (by its name, as for parameters), loaded before --set

#include "tools/host/Plugin.h"
#include "Renderer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct ParameterAssignment {
    std::string parameter;  // an index or a name
    float value = 0.0f;
};

struct TimedAssignment {
    bool inSeconds = false;
    double seconds = 0.0;
    std::int64_t frame = 0;
    ParameterAssignment assignment;

    std::int64_t frameAt(int sampleRate) const;
};

class RenderOptions {
public:
    std::vector<int> blockSizes{512};
    std::vector<ParameterAssignment> settings;
    std::vector<TimedAssignment> timedSettings;
    bool inPlace = false;
    bool hostFlushes = false;
    std::string preset;          // empty: none
    int announcedBlockSize = 0;  // not on the command line: the largest of blockSizes when 0

    // Takes the option at args[i], and its argument, advancing i past what it used.
    // Returns false when args[i] is not a render option; throws UsageError for a bad value.
    bool take(const std::vector<std::string>& args, std::size_t& i);

    static std::vector<int> parseBlockSizes(const std::string& text);
    static ParameterAssignment parseAssignment(const std::string& text);
    static TimedAssignment parseTimedAssignment(const std::string& text);

    // The index a parameter reference names: a decimal index below the count, else a
    // name matched exactly, then ignoring case, then as an unambiguous prefix either
    // way (modules cut names at 8 characters). Throws UsageError when none or several fit.
    static int findParameter(const std::vector<std::string>& names, const std::string& reference);

    // Parameter names and indices resolved, times turned into frames. Throws
    // UsageError for unknown parameters and for changes at or past `frames`.
    RenderPlan resolve(Plugin& effect, int sampleRate, std::int64_t frames) const;
};

}  // namespace tools
