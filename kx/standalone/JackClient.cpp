#include "kx/standalone/JackClient.h"

#include <jack/jack.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include "kx/Nonblocking.h"

namespace kx::standalone {

namespace {

const char* const kInputNames[2] = {"in_1", "in_2"};
const char* const kOutputNames[2] = {"out_1", "out_2"};

// JACK's library reports to stderr on its own; the program says what went wrong in its
// own words instead.
void quiet(const char*) {}

struct PortList {
    explicit PortList(const char** names) : names(names) {}
    ~PortList() { jack_free(names); }
    PortList(const PortList&) = delete;
    PortList& operator=(const PortList&) = delete;
    std::size_t size() const
    {
        std::size_t n = 0;
        while (names != nullptr && names[n] != nullptr) ++n;
        return n;
    }
    const char** names;
};

// The server's physical ports: its capture ports (sources, kPhysicalCapture) or playback ports.
constexpr unsigned long kPhysicalCapture = JackPortIsPhysical | JackPortIsOutput;
constexpr unsigned long kPhysicalPlayback = JackPortIsPhysical | JackPortIsInput;

PortList physicalPorts(jack_client_t* client, unsigned long flags)
{
    return PortList(jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags));
}

jack_port_t* registerPort(jack_client_t* client, const char* name, unsigned long flags)
{
    jack_port_t* port = jack_port_register(client, name, JACK_DEFAULT_AUDIO_TYPE, flags, 0);
    if (port == nullptr) throw std::runtime_error(std::string("the JACK server refused the port ") + name);
    return port;
}

}  // namespace

JackClient::JackClient(const std::string& name, StandaloneEngine& engine) : engine(engine)
{
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client == nullptr) {
        if ((status & JackServerFailed) != 0)
            throw JackUnavailable(
                "no JACK server is running; start one first (jackd -d alsa, or qjackctl), "
                "or run under PipeWire's JACK (pw-jack " +
                name + ")");
        throw std::runtime_error("the JACK server refused the client (JACK status " +
                                 std::to_string(static_cast<unsigned>(status)) + ")");
    }
    try {
        for (int c = 0; c < 2; ++c) {
            inputs[c] = registerPort(client, kInputNames[c], JackPortIsInput);
            outputs[c] = registerPort(client, kOutputNames[c], JackPortIsOutput);
        }
        if (jack_set_process_callback(client, onProcess, this) != 0 ||
            jack_set_sample_rate_callback(client, onSampleRate, this) != 0)
            throw std::runtime_error("the JACK server refused the client's callbacks");
        jack_on_info_shutdown(
            client,
            [](jack_status_t code, const char* why, void* self) { onShutdown(static_cast<int>(code), why, self); },
            this);
    } catch (...) {
        jack_client_close(client);
        throw;
    }
}

JackClient::~JackClient()
{
    // After a shutdown the server has dropped the client already; closing only frees it.
    if (active && !gone.load()) jack_deactivate(client);
    jack_client_close(client);
}

std::string JackClient::clientName() const { return jack_get_client_name(client); }

float JackClient::sampleRate() const { return static_cast<float>(jack_get_sample_rate(client)); }

int JackClient::period() const { return static_cast<int>(jack_get_buffer_size(client)); }

void JackClient::activate()
{
    engine.start(sampleRate());
    if (jack_activate(client) != 0) throw std::runtime_error("the JACK server did not start the client");
    active = true;
}

std::string JackClient::connectPhysical(int captureInputs)
{
    std::string problems;
    const auto connect = [&](const char* from, const char* to) {
        const int result = jack_connect(client, from, to);
        if (result != 0 && result != EEXIST) problems += std::string("cannot connect ") + from + " to " + to + "\n";
    };
    const PortList capture = physicalPorts(client, kPhysicalCapture);
    const PortList playback = physicalPorts(client, kPhysicalPlayback);
    if (capture.size() == 0) problems += "the server has no physical capture port\n";
    if (capture.size() == 1 && captureInputs == 2) problems += "the server has one physical capture port only\n";
    for (int c = 0; c < 2 && capture.size() > 0; ++c) {
        const std::size_t source = std::min<std::size_t>(captureInputs == 2 ? c : 0, capture.size() - 1);
        connect(capture.names[source], jack_port_name(inputs[c]));
    }
    if (playback.size() == 0) problems += "the server has no physical playback port\n";
    for (std::size_t c = 0; c < 2 && c < playback.size(); ++c) connect(jack_port_name(outputs[c]), playback.names[c]);
    return problems;
}

int JackClient::roundTripFrames() const
{
    const PortList capture = physicalPorts(client, kPhysicalCapture);
    const PortList playback = physicalPorts(client, kPhysicalPlayback);
    jack_latency_range_t in{}, out{};
    if (capture.size() > 0)
        jack_port_get_latency_range(jack_port_by_name(client, capture.names[0]), JackCaptureLatency, &in);
    if (playback.size() > 0)
        jack_port_get_latency_range(jack_port_by_name(client, playback.names[0]), JackPlaybackLatency, &out);
    return static_cast<int>(in.max + out.max);
}

std::string JackClient::reason() const { return gone.load() ? std::string(goneReason) : std::string(); }

int JackClient::onProcess(unsigned frames, void* self)
{
    static_cast<JackClient*>(self)->process(frames);
    return 0;
}

void JackClient::process(unsigned frames) TW07_NONBLOCKING
{
    const float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = static_cast<const float*>(jack_port_get_buffer(inputs[c], frames));
        out[c] = static_cast<float*>(jack_port_get_buffer(outputs[c], frames));
    }
    engine.process(in, out, static_cast<int>(frames));
}

int JackClient::onSampleRate(unsigned rate, void* self)
{
    static_cast<JackClient*>(self)->engine.requestSampleRate(static_cast<float>(rate));
    return 0;
}

void JackClient::onShutdown(int, const char* why, void* self)
{
    // As in a signal handler: no allocation, no lock.
    auto* client = static_cast<JackClient*>(self);
    int n = 0;
    for (; why != nullptr && why[n] != '\0' && n < kReasonSize - 1; ++n) client->goneReason[n] = why[n];
    client->goneReason[n] = '\0';
    client->gone.store(true);
}

}  // namespace kx::standalone
