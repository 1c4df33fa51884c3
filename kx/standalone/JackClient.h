#pragma once
// The standalone program's connection to a JACK server (JACK 2, or PipeWire's JACK): two
// input and two output ports whose periods the engine plays through, the server's rate
// and period followed, and the server going away noticed without blocking anyone.

#include <atomic>
#include <memory>
#include <string>

#include "kx/standalone/StandaloneEngine.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace kx::standalone {

struct JackUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class JackClient {
public:
    // Connects to the running server (never starts one) and registers in_1, in_2, out_1
    // and out_2. Throws JackUnavailable when no server answers, std::runtime_error when
    // the server refuses the client.
    JackClient(const std::string& name, StandaloneEngine& engine);
    ~JackClient();

    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    std::string clientName() const;
    float sampleRate() const;
    int period() const;

    // Starts the audio: the engine's stream begins at the server's rate.
    void activate();
    // The first physical capture port to both inputs (captureInputs 1) or the first two to
    // one each (2); the outputs to the first two playback ports. Returns a line for the user
    // for each connection it could not make.
    std::string connectPhysical(int captureInputs);
    // The round trip from the first physical capture port to the first playback port as the
    // server reports it, in frames: their capture and playback latencies (we add none).
    int roundTripFrames() const;

    // The server shut the client down; reason() says why. Any thread.
    bool serverGone() const { return gone.load(); }
    std::string reason() const;

private:
    static int onProcess(unsigned frames, void* self);
    static int onSampleRate(unsigned rate, void* self);
    static void onShutdown(int code, const char* reason, void* self);
    void process(unsigned frames);

    static constexpr int kReasonSize = 256;

    StandaloneEngine& engine;
    jack_client_t* client = nullptr;
    jack_port_t* inputs[2] = {nullptr, nullptr};
    jack_port_t* outputs[2] = {nullptr, nullptr};
    bool active = false;
    std::atomic<bool> gone{false};
    char goneReason[kReasonSize] = {};  // written before gone is set
};

}  // namespace kx::standalone
