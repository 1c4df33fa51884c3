// tw07-host render: runs a sound file through a module into another sound file.

#include "AudioFile.h"
#include "Commands.h"
#include "RenderJob.h"
#include "RenderOptions.h"
#include "UsageError.h"

namespace tools {

int runRender(const std::vector<std::string>& args)
{
    RenderOptions options;
    bool verbose = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size();) {
        if (options.take(args, i)) continue;
        const std::string& arg = args[i++];
        if (arg == "-v" || arg == "--verbose")
            verbose = true;
        else if (arg.size() > 1 && arg.starts_with("-"))
            throw UsageError("unknown option " + arg);
        else
            positional.push_back(arg);
    }
    if (positional.size() != 3) throw UsageError("expected MODULE IN OUT");

    AudioFile::checkWritableType(positional[2]);
    const AudioBuffer input = AudioFile::read(positional[1]);
    const RenderOutcome outcome = renderThroughModule(positional[0], input, options, verbose);
    AudioFile::write(positional[2], outcome.output);
    return 0;
}

}  // namespace tools
