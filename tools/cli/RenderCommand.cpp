// tw07-host render: runs a sound file through a module into another sound file.

#include "Arguments.h"
#include "Commands.h"
#include "tools/audio/AudioFile.h"
#include "tools/render/RenderJob.h"

namespace tools {

int runRender(const std::vector<std::string>& words)
{
    RenderOptions options;
    bool verbose = false;
    Arguments args(words);
    while (args.more()) {
        if (args.take(options, verbose)) continue;
        args.next();
        args.positional();
    }
    const auto& positional = args.positionals(3, 3, "expected MODULE IN OUT");

    AudioFile::checkWritableType(positional[2]);
    const AudioBuffer input = AudioFile::read(positional[1]);
    const RenderOutcome outcome = renderThroughModule(positional[0], input, options, verbose);
    AudioFile::write(positional[2], outcome.output);
    return 0;
}

}  // namespace tools
