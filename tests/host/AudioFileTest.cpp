#include "tools/audio/AudioFile.h"
#include "tools/audio/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

using tools::AudioBuffer;
using tools::AudioFile;

std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("tw07-host-test-" + std::to_string(getpid()) + "-" + name))
        .string();
}

TEST(AudioFile, RoundTrips)
{
    AudioBuffer audio = tools::Signals::guitarRiff(2, 44100, 5000, 2);
    audio.channels[0][7] = 1.5f;  // beyond full scale: float files keep it, FLAC clips it
    for (const char* name : {"a.wav", "a.aiff", "a.AIF", "a.flac"}) {
        SCOPED_TRACE(name);
        const std::string path = tempPath(name);
        AudioFile::write(path, audio);
        const AudioBuffer back = AudioFile::read(path);
        std::filesystem::remove(path);
        EXPECT_EQ(back.sampleRate, 44100);
        ASSERT_EQ(back.numChannels(), 2);
        ASSERT_EQ(back.numFrames(), 5000);
        if (std::string(name).ends_with("flac")) {
            EXPECT_NEAR(back.channels[0][7], 1.0f, 1e-6f);
            for (int i = 100; i < 5000; i += 97) EXPECT_NEAR(back.channels[1][i], audio.channels[1][i], 2e-7f);
        } else {
            EXPECT_EQ(back.channels, audio.channels);
        }
    }
}

TEST(AudioFile, Failures)
{
    const AudioBuffer audio = tools::Signals::silence(48000, 10, 1);
    EXPECT_THROW(AudioFile::write(tempPath("a.mp3"), audio), std::runtime_error);
    EXPECT_THROW(AudioFile::checkWritableType("out.mp3"), std::runtime_error);
    EXPECT_THROW(AudioFile::checkWritableType("dir.wav/out"), std::runtime_error);
    EXPECT_NO_THROW(AudioFile::checkWritableType("dir.x/out.Flac"));
    EXPECT_THROW(AudioFile::write(tempPath("noextension"), audio), std::runtime_error);
    EXPECT_THROW(AudioFile::write("/nonexistent-dir/a.wav", audio), std::runtime_error);
    EXPECT_THROW(AudioFile::write(tempPath("b.wav"), AudioBuffer{}), std::runtime_error);
    AudioBuffer ragged = tools::Signals::silence(48000, 10, 2);
    ragged.channels[1].pop_back();
    EXPECT_THROW(AudioFile::write(tempPath("c.wav"), ragged), std::runtime_error);
    EXPECT_THROW(AudioFile::read("/nonexistent-dir/a.wav"), std::runtime_error);
}

}  // namespace
