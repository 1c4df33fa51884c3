#include "EditorSupport.h"

#include "tools/validate/probes/GuardedAudio.h"
#include "tools/audio/Random.h"

namespace tools::validate {

using namespace kx::vst2;

bool editorRectangle(CheckContext& context, PluginInstance& plugin, const char* when, int& width, int& height)
{
    ERect* rect = nullptr;
    context.note("effEditGetRect %s", when);
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect == nullptr) {
        context.fail("effEditGetRect %s gave no rectangle", when);
        return false;
    }
    const int w = rect->right - rect->left;
    const int h = rect->bottom - rect->top;
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        context.fail("effEditGetRect %s gave %d x %d", when, w, h);
        return false;
    }
    width = w;
    height = h;
    return true;
}

void editorSize(PluginInstance& plugin, int& width, int& height)
{
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    const bool sensible = rect != nullptr && rect->right > rect->left && rect->bottom > rect->top;
    width = sensible ? rect->right - rect->left : 640;
    height = sensible ? rect->bottom - rect->top : 480;
}

void idleFor(PluginInstance& plugin, std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        plugin.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
}

AudioRunner::AudioRunner(PluginInstance& plugin, std::uint64_t seed)
    : thread([this, &plugin, seed] {
          constexpr int kBlock = 256;
          GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
          Random random(seed);
          while (!stop.load()) {
              audio.fillSignal(random, kBlock, 0.5f);
              std::string problem = audio.process(plugin.record(), kBlock);
              if (problem.empty() && audio.firstNonFinite(kBlock) >= 0) problem = "output not finite";
              if (!problem.empty()) {
                  trouble = problem;
                  return;
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
      })
{
}

AudioRunner::~AudioRunner() { problem(); }

std::string AudioRunner::problem()
{
    stop.store(true);
    if (thread.joinable()) thread.join();
    return trouble;
}

OpenEditor::OpenEditor(CheckContext& context, HostDisplay& display, const HostModule& module, int x, int y)
    : display(display), instance(std::make_unique<PluginInstance>(module))
{
    editorSize(*instance, w, h);
    instance->prepare(48000.0f, 256);
    instance->resume();
    audio = std::make_unique<AudioRunner>(*instance, context.seed());
    window = display.create(w, h, x, y);
    context.note("effEditOpen in a %d x %d window at %d, %d", w, h, x, y);
    open = instance->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) != 0;
    idleFor(*instance, std::chrono::milliseconds(700));  // window up, first frames drawn
}

OpenEditor::~OpenEditor()
{
    close();
    display.destroy(window);
}

std::vector<float> OpenEditor::parameters()
{
    std::vector<float> values;
    for (int i = 0; i < instance->numParams(); ++i)
        values.push_back(instance->record()->getParameter(instance->record(), i));
    return values;
}

void OpenEditor::close()
{
    if (!instance) return;
    if (open) instance->dispatch(effEditClose);
    audio.reset();
    instance->suspend();
    instance.reset();
}

}  // namespace tools::validate
