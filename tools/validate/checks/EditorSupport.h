#pragma once
// What the editor checks share: the editor's size, idling as a host does, audio
// running on a thread of its own, and one instance with its editor in a host window.

#include "tools/validate/CheckContext.h"
#include "tools/validate/PluginInstance.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/validate/probes/HostDisplay.h"

namespace tools::validate {

// effEditGetRect's size; fails the check and returns false when it gives none or a silly one.
bool editorRectangle(CheckContext& context, PluginInstance& plugin, const char* when, int& width, int& height);

// effEditGetRect's size where it gives a sensible one, else 640 x 480 (some editors
// know their size only once open).
void editorSize(PluginInstance& plugin, int& width, int& height);

// effEditIdle at 50 Hz for `duration`.
void idleFor(PluginInstance& plugin, std::chrono::milliseconds duration);

// processReplacing at about real time, 48 kHz blocks of 256 of a test signal, until destroyed.
class AudioRunner {
public:
    AudioRunner(PluginInstance& plugin, std::uint64_t seed);
    ~AudioRunner();
    AudioRunner(const AudioRunner&) = delete;
    AudioRunner& operator=(const AudioRunner&) = delete;
    // What went wrong in the audio, or empty.
    std::string problem();

private:
    std::atomic<bool> stop{false};
    std::string trouble;  // written by the thread until it ends
    std::thread thread;
};

// One instance of the module, prepared and resumed with audio running, and its editor
// opened in a host window of its own at (x, y).
class OpenEditor {
public:
    OpenEditor(CheckContext& context, HostDisplay& display, const HostModule& module, int x, int y);
    ~OpenEditor();

    // Whether effEditOpen answered non-zero.
    bool isOpen() const { return open; }
    PluginInstance& plugin() { return *instance; }
    Window parent() const { return window; }
    int width() const { return w; }
    int height() const { return h; }
    std::vector<float> parameters();
    // Closes the editor and the instance; the host window stays.
    void close();

private:
    HostDisplay& display;
    std::unique_ptr<PluginInstance> instance;
    std::unique_ptr<AudioRunner> audio;
    Window window = 0;
    int w = 0;
    int h = 0;
    bool open = false;
};

}  // namespace tools::validate
