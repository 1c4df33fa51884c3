// The Windows build of tw07-host: the commands that need the Linux platform say so.
// gui embeds the editor in an X11 window it makes itself; validate runs its checks in
// forked child processes and reads the module's ELF export table.

#include "Commands.h"

#include <stdexcept>

namespace tools {

namespace {

[[noreturn]] void linuxOnly(const char* command)
{
    throw std::runtime_error(
        std::string("the ") + command +
        " command is Linux-only; this tw07-host runs on Windows, where info, render, demo and compare work");
}

}  // namespace

int runGui(const std::vector<std::string>&) { linuxOnly("gui"); }

int runValidate(const std::vector<std::string>&) { linuxOnly("validate"); }

}  // namespace tools
