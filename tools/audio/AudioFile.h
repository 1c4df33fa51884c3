#pragma once
// Reading and writing sound files as 32-bit float through libsndfile.
// The container follows the file name: .wav and .aif/.aiff hold 32-bit float,
// .flac holds 24-bit integers (FLAC has no float samples).

#include "AudioBuffer.h"

#include <string>

namespace tools {

class AudioFile {
public:
    // Throws std::runtime_error when the file cannot be read.
    static AudioBuffer read(const std::string& path);
    // Throws std::runtime_error for an unknown extension or a failed write.
    static void write(const std::string& path, const AudioBuffer& audio);
    // Throws std::runtime_error when `write` would not know the file type of `path`.
    static void checkWritableType(const std::string& path);
};

}  // namespace tools
