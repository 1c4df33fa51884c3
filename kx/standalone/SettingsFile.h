#pragma once
// The standalone program's settings between runs: the settings record in a file of the
// user's configuration folder. Writing goes through a new file renamed over the old, so a
// crash or a full disk never leaves half a record. A file that cannot be read as a record
// is moved aside, never overwritten: the user may want it back.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kx/Parameters.h"

namespace kx::standalone {

class SettingsFile {
public:
    // $XDG_CONFIG_HOME/<program>/settings, or ~/.config/<program>/settings.
    static std::filesystem::path defaultPath(const std::string& program);

    SettingsFile(std::filesystem::path path, uint32_t pluginId);

    const std::filesystem::path& path() const { return file; }

    // Sets the parameters from the file. Returns one line for the user when the file exists
    // but was not used (the parameters then keep their values), otherwise an empty string.
    std::string restore(Parameters& parameters) const;
    // Returns one line for the user when the file could not be written, otherwise empty.
    std::string save(const Parameters& parameters) const;

    // The editor's scale as the user left it by resizing its window, in a file of its own
    // beside the settings ("editor": one line "scale 1.5"); 0 without one, or for a line
    // that holds no scale. Settings of earlier versions have none.
    double restoreEditorScale() const;
    std::string saveEditorScale(double scale) const;

private:
    std::filesystem::path editorFile() const { return file.parent_path() / "editor"; }

    std::filesystem::path file;
    uint32_t pluginId;
};

// Saves the settings a few seconds after they change, not on every change: a knob turned
// for a while is written once it rests, or every few seconds while it keeps moving.
class SettingsKeeper {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kSaveDelay = std::chrono::seconds(2);

    // The values the parameters hold now count as saved.
    SettingsKeeper(const SettingsFile& file, const Parameters& parameters);

    // Main thread, a few times a second. Returns what save() said, when it saved.
    std::string poll(Clock::time_point now);
    // At the end of a run, changed or not: what the user played with is what comes back.
    std::string saveNow();

private:
    std::vector<float> current() const;
    std::string saveValues(std::vector<float> values);

    const SettingsFile& file;
    const Parameters& parameters;
    std::vector<float> saved;
    bool pending = false;
    Clock::time_point changedAt{};
};

}  // namespace kx::standalone
