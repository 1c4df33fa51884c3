#include "kx/standalone/SettingsFile.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <system_error>

#include "kx/EditorScale.h"
#include "kx/Settings.h"

namespace kx::standalone {

namespace fs = std::filesystem;

namespace {

// Where a damaged file goes: beside it, named after the time it was found, never over an
// earlier one.
fs::path asidePath(const fs::path& file)
{
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path base = file.string() + ".damaged-" + stamp;
    fs::path candidate = base;
    std::error_code error;
    for (int n = 2; fs::exists(candidate, error); ++n) candidate = base.string() + "-" + std::to_string(n);
    return candidate;
}

// Through a new file renamed over the old one. One line for the user when that fails.
std::string replaceFile(const fs::path& file, const std::vector<uint8_t>& bytes)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) return "cannot save the settings in " + file.parent_path().string() + ": " + error.message();
    const fs::path fresh = file.string() + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            fs::remove(fresh, error);
            return "cannot save the settings in " + fresh.string();
        }
    }
    fs::rename(fresh, file, error);
    if (error) return "cannot save the settings in " + file.string() + ": " + error.message();
    return {};
}

}  // namespace

fs::path SettingsFile::defaultPath(const std::string& program)
{
    // The XDG base directory rules: a relative XDG_CONFIG_HOME is ignored.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    fs::path folder;
    if (configHome != nullptr && fs::path(configHome).is_absolute())
        folder = configHome;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        folder = fs::path(home) / ".config";
    else
        folder = fs::current_path();
    return folder / program / "settings";
}

SettingsFile::SettingsFile(fs::path path, uint32_t pluginId) : file(std::move(path)), pluginId(pluginId) {}

std::string SettingsFile::restore(Parameters& parameters) const
{
    std::error_code error;
    if (!fs::exists(file, error)) return {};
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) {
        // One byte more than any record may hold is enough to call it too large.
        bytes.resize(Settings::kMaxBytes + 1);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (!in && !in.eof())
        return "cannot read the settings in " + file.string() + ": " + std::strerror(errno) +
               "; starting from the defaults";
    const SettingsStatus status = Settings::load(parameters, pluginId, bytes);
    if (status == SettingsStatus::kLoaded) return {};
    const fs::path aside = asidePath(file);
    fs::rename(file, aside, error);
    const std::string kept = error ? "left where it is (" + error.message() + ")" : "kept as " + aside.string();
    return "the settings in " + file.string() + " were not used (" + describe(status) + "); the file is " + kept +
           "; starting from the defaults";
}

std::string SettingsFile::save(const Parameters& parameters) const
{
    return replaceFile(file, Settings::save(parameters, pluginId));
}

double SettingsFile::restoreEditorScale() const
{
    std::ifstream in(editorFile());
    std::string word;
    std::string number;
    if (!(in >> word >> number) || word != "scale") return 0.0;
    double scale = 0.0;
    // Not a stream's number: the locale may write decimals with a comma.
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), scale);
    if (error != std::errc() || end != number.data() + number.size() || !EditorScale::isValid(scale)) return 0.0;
    return scale;
}

std::string SettingsFile::saveEditorScale(double scale) const
{
    char number[32] = {};
    const auto written = std::to_chars(number, number + sizeof number - 1, scale);
    const std::string line = "scale " + std::string(number, written.ptr) + "\n";
    return replaceFile(editorFile(), std::vector<uint8_t>(line.begin(), line.end()));
}

SettingsKeeper::SettingsKeeper(const SettingsFile& file, const Parameters& parameters)
    : file(file), parameters(parameters), saved(current())
{
}

std::vector<float> SettingsKeeper::current() const
{
    std::vector<float> values(static_cast<std::size_t>(parameters.count()));
    for (int i = 0; i < parameters.count(); ++i) values[static_cast<std::size_t>(i)] = parameters.value(i);
    return values;
}

std::string SettingsKeeper::saveValues(std::vector<float> values)
{
    pending = false;
    std::string problem = file.save(parameters);
    // A failed save is tried again at the next change, not every poll.
    saved = std::move(values);
    return problem;
}

std::string SettingsKeeper::poll(Clock::time_point now)
{
    std::vector<float> values = current();
    if (values == saved) {
        pending = false;
        return {};
    }
    if (!pending) {
        pending = true;
        changedAt = now;
        return {};
    }
    if (now - changedAt < kSaveDelay) return {};
    return saveValues(std::move(values));
}

std::string SettingsKeeper::saveNow() { return saveValues(current()); }

}  // namespace kx::standalone
