// The editor against what real hosts do: parent windows that are no windows, a
// hidden parent instead of a closed editor, and two copies of the module in one
// process with one of them unloaded.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"
#include "EditorSupport.h"

#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

namespace tools::validate {

using namespace kx::vst2;

namespace {

// Skips the check, and returns false, when the module has no editor or there is no X.
bool editorCheckApplies(CheckContext& context, HostDisplay& display)
{
    PluginInstance probe(context.module());
    if (!probe.hasEditor()) {
        context.skip("the module has no editor");
        return false;
    }
    if (!display.available()) {
        context.skip("%s", display.problem().c_str());
        return false;
    }
    return true;
}

void parents(CheckContext& context)
{
    HostDisplay display;
    if (!editorCheckApplies(context, display)) return;
    PluginInstance plugin(context.module());
    const struct {
        const char* what;
        Window window;
    } refused[] = {{"null", 0}, {"a destroyed window", display.staleWindow()}};
    for (const auto& parent : refused) {
        context.note("effEditOpen with %s as the parent", parent.what);
        const int before = display.viewableTopLevels();
        const intptr answer = plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent.window));
        idleFor(plugin, std::chrono::milliseconds(300));
        const int shown = display.viewableTopLevels() - before;
        if (answer != 0) context.fail("effEditOpen with %s as the parent answered %ld", parent.what, long(answer));
        if (shown > 0) context.fail("effEditOpen with %s as the parent showed %d window(s)", parent.what, shown);
        if (answer != 0) plugin.dispatch(effEditClose);
    }
    int width = 0;
    int height = 0;
    editorSize(plugin, width, height);
    const Window window = display.create(width, height);
    context.note("effEditOpen with a valid parent after the refused ones");
    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) == 0)
        context.fail("effEditOpen with a valid parent after refused ones answered 0");
    idleFor(plugin, std::chrono::milliseconds(300));
    plugin.dispatch(effEditClose);
    display.destroy(window);
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The process's CPU time per second of wall time while the host idles the editor.
double cpuShare(PluginInstance& plugin, std::chrono::milliseconds duration)
{
    const double cpu = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    idleFor(plugin, duration);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (processCpuSeconds() - cpu) / wall;
}

void hidden(CheckContext& context)
{
    HostDisplay display;
    if (!editorCheckApplies(context, display)) return;
    PluginInstance plugin(context.module());
    int width = 0;
    int height = 0;
    editorSize(plugin, width, height);
    const Window window = display.create(width, height);
    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) == 0) {
        context.fail("effEditOpen answered 0");
        display.destroy(window);
        return;
    }
    const auto span = std::chrono::milliseconds(context.quick() ? 1500 : 4000);
    idleFor(plugin, std::chrono::milliseconds(700));
    context.note("editor shown: measuring the CPU share");
    const double shown = cpuShare(plugin, span);
    context.note("editor's parent hidden: measuring the CPU share");
    display.setMapped(window, false);
    idleFor(plugin, std::chrono::milliseconds(300));
    const double hiddenShare = cpuShare(plugin, span);
    display.setMapped(window, true);
    idleFor(plugin, std::chrono::milliseconds(200));
    plugin.dispatch(effEditClose);
    display.destroy(window);
    context.measured("process CPU share %.1f %% shown, %.1f %% hidden", 100.0 * shown, 100.0 * hiddenShare);
    // Below 2 % of a core shown there is nothing worth saving.
    if (shown >= 0.02 && hiddenShare > shown / 4.0) {
        context.fail("a hidden editor costs %.1f %% of a core, more than a quarter of the %.1f %% shown",
                     100.0 * hiddenShare, 100.0 * shown);
    }
}

std::atomic<int> hostErrors{0};

int countHostError(Display*, XErrorEvent*)
{
    hostErrors.fetch_add(1);
    return 0;
}

// A second file of the module, loaded beside the first and unloaded again.
class ModuleCopy {
public:
    explicit ModuleCopy(const std::string& original)
        : path(std::filesystem::temp_directory_path() /
               ("copy-" + std::to_string(getpid()) + "-" + std::filesystem::path(original).filename().string()))
    {
        std::filesystem::copy_file(original, path, std::filesystem::copy_options::overwrite_existing);
        try {
            loaded.emplace(path.string());
        } catch (const std::runtime_error&) {
            // Reported by the check as a copy that could not be loaded.
        }
    }
    ~ModuleCopy()
    {
        unload();
        std::filesystem::remove(path);
    }
    // Null when the copy could not be loaded.
    const HostModule* module() const { return loaded ? &*loaded : nullptr; }
    void unload() { loaded.reset(); }
    bool stillLoaded() const { return SharedLibrary::isLoaded(path.string()); }

private:
    std::filesystem::path path;
    std::optional<HostModule> loaded;
};

void copies(CheckContext& context)
{
    HostDisplay display;
    if (!editorCheckApplies(context, display)) return;
    ModuleCopy copy(context.modulePath());
    if (copy.module() == nullptr) {
        context.fail("a copy of the module under another file name could not be loaded");
        return;
    }
    display.setErrorHandler(&countHostError);
    auto first = std::make_unique<OpenEditor>(context, display, *copy.module(), 0, 0);
    OpenEditor second(context, display, context.module(), first->width() + 20, 0);
    if (!first->isOpen() || !second.isOpen()) context.fail("effEditOpen answered 0 with two copies loaded");
    context.note("closing the copy's editor and instance, unloading the copy");
    first.reset();
    copy.unload();
    const bool unloaded = !copy.stillLoaded();
    context.note("an X error on the host's own connection");
    display.causeError();
    idleFor(second.plugin(), std::chrono::milliseconds(200));
    if (hostErrors.load() != 1)
        context.fail("the host's X error handler saw %d of the 1 error on its connection", hostErrors.load());
    second.close();
    display.causeError();
    if (hostErrors.load() != 2)
        context.fail("the host's X error handler saw %d of 2 errors once the last editor closed", hostErrors.load());
    context.measured("the copy was %s by dlclose", unloaded ? "unloaded" : "kept loaded");
}

}  // namespace

void addEditorHostChecks(CheckList& checks)
{
    checks.push_back(
        {"editor.parents", "effEditOpen with null or a destroyed window answers 0 and shows nothing", parents, 60});
    checks.push_back({"editor.hidden", "a hidden editor costs at most a quarter of a shown one", hidden, 60});
    checks.push_back(
        {"editor.copies", "two copies of the module, one unloaded, then an X error of the host's", copies, 60});
}

}  // namespace tools::validate
