// tw07-host: a command-line VST 2.4 host for Linux modules (built for Windows: Windows modules).

#include "Commands.h"
#include "tools/render/UsageError.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const std::vector<std::string>& args);
};

constexpr Command kCommands[] = {
    {"info",
     "info MODULE [--json]\n"
     "      everything a host learns from the module: names, ids, flags, pins, canDo, parameters",
     tools::runInfo},
    {"render",
     "render MODULE IN OUT [--set P=V]... [--set-at T:P=V]... [--block N[,N...]] [--in-place] [--host-flushes] [-v]\n"
     "      runs the sound file IN through the module into OUT (.wav, .flac, .aif)",
     tools::runRender},
    {"demo",
     "demo MODULE [IN] [--out-dir DIR] [--seed N] [--seconds S] [render options] [-v]\n"
     "      renders IN, or a generated guitar riff, to demo-out.wav and prints levels and speed",
     tools::runDemo},
    {"gui",
     "gui MODULE [--shot FILE.png] [--seconds N] [--audio]\n"
     "      opens the module's editor in a window of its own; --audio plays a riff through it",
     tools::runGui},
    {"validate",
     "validate MODULE [--only NAME[,...]] [--skip NAME[,...]] [--seed N] [--quick] [--list] [-v]\n"
     "      runs the validator's checks, each in a child process; exit status 1 if any fails",
     tools::runValidate},
    {"compare",
     "compare MODULE_A MODULE_B [--grid] [-v]\n"
     "      renders a fixed battery through both and counts differing output samples; exit status 1 if any",
     tools::runCompare},
};

void printUsage(std::FILE* stream)
{
    std::fprintf(stream, "usage: tw07-host COMMAND ...\n\n");
    for (const Command& command : kCommands) std::fprintf(stream, "  tw07-host %s\n", command.synopsis);
    std::fprintf(stream,
                 "\nParameters are named (Drive) or numbered (0); values are normalised to 0..1.\n"
                 "Times for --set-at are frames (48000), seconds (1.5s) or milliseconds (250ms).\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) != 0) continue;
        try {
            return command.run(args);
        } catch (const tools::UsageError& error) {
            std::fprintf(stderr, "tw07-host %s: %s\nusage: tw07-host %s\n", command.name, error.what(),
                         command.synopsis);
            return 2;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tw07-host %s: %s\n", command.name, error.what());
            return 1;
        }
    }
    std::fprintf(stderr, "tw07-host: unknown command \"%s\"\n", argv[1]);
    printUsage(stderr);
    return 2;
}
