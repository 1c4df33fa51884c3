#include "AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>

namespace tools {

namespace {

constexpr sf_count_t kChunkFrames = 4096;

struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using FileHandle = std::unique_ptr<SNDFILE, Closer>;

int formatFor(const std::string& path)
{
    std::string extension;
    if (auto dot = path.find_last_of('.'); dot != std::string::npos && path.find('/', dot) == std::string::npos) {
        extension = path.substr(dot + 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    throw std::runtime_error(path + ": unknown sound file type (use .wav, .flac, .aif or .aiff)");
}

}  // namespace

AudioBuffer AudioFile::read(const std::string& path)
{
    SF_INFO info{};
    FileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) throw std::runtime_error(path + ": no audio channels");

    AudioBuffer audio = AudioBuffer::zeros(info.samplerate, info.channels, info.frames);
    std::vector<float> interleaved(static_cast<std::size_t>(kChunkFrames * info.channels));
    sf_count_t position = 0;
    while (position < info.frames) {
        sf_count_t want = std::min(kChunkFrames, info.frames - position);
        sf_count_t got = sf_readf_float(file.get(), interleaved.data(), want);
        if (got <= 0) break;
        for (sf_count_t frame = 0; frame < got; ++frame) {
            for (int channel = 0; channel < info.channels; ++channel) {
                audio.channels[static_cast<std::size_t>(channel)][static_cast<std::size_t>(position + frame)] =
                    interleaved[static_cast<std::size_t>(frame * info.channels + channel)];
            }
        }
        position += got;
    }
    if (position < info.frames) throw std::runtime_error(path + ": file ends early");
    return audio;
}

void AudioFile::checkWritableType(const std::string& path) { formatFor(path); }

void AudioFile::write(const std::string& path, const AudioBuffer& audio)
{
    if (audio.numChannels() < 1) throw std::runtime_error(path + ": nothing to write (no channels)");
    for (const auto& channel : audio.channels) {
        if (static_cast<std::int64_t>(channel.size()) != audio.numFrames()) {
            throw std::runtime_error(path + ": channels of different lengths");
        }
    }
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = audio.numChannels();
    info.format = formatFor(path);
    FileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    // Integer formats clip instead of wrapping around.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const sf_count_t frames = audio.numFrames();
    std::vector<float> interleaved(static_cast<std::size_t>(kChunkFrames * info.channels));
    for (sf_count_t position = 0; position < frames; position += kChunkFrames) {
        sf_count_t count = std::min(kChunkFrames, frames - position);
        for (sf_count_t frame = 0; frame < count; ++frame) {
            for (int channel = 0; channel < info.channels; ++channel) {
                interleaved[static_cast<std::size_t>(frame * info.channels + channel)] =
                    audio.channels[static_cast<std::size_t>(channel)][static_cast<std::size_t>(position + frame)];
            }
        }
        if (sf_writef_float(file.get(), interleaved.data(), count) != count) {
            throw std::runtime_error("cannot write " + path + ": " + sf_strerror(file.get()));
        }
    }
    if (sf_close(file.release()) != 0) throw std::runtime_error("cannot finish " + path);
}

}  // namespace tools
