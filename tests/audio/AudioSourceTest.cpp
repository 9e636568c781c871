// The source interface's helpers and the reader selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "audio/AudioSource.h"

namespace tonvela {
namespace {

TEST(AudioKindTest, FromExtension) {
    EXPECT_EQ(AudioKindFromPath("/music/a.wav"), AudioKindWav);
    EXPECT_EQ(AudioKindFromPath("/music/A.WAV"), AudioKindWav);
    EXPECT_EQ(AudioKindFromPath("x.Wave"), AudioKindWav);
    for (const char* p : {"a.aiff", "a.AIF", "a.aifc", "a.afc"}) EXPECT_EQ(AudioKindFromPath(p), AudioKindAiff) << p;
    EXPECT_EQ(AudioKindFromPath("a.au"), AudioKindSnd);
    EXPECT_EQ(AudioKindFromPath("a.SND"), AudioKindSnd);
    EXPECT_EQ(AudioKindFromPath("a.mp3"), AudioKindOther);
    EXPECT_EQ(AudioKindFromPath("/music.wav/noext"), AudioKindOther);  // the dot is in a folder name
    EXPECT_EQ(AudioKindFromPath("a.wav.mp3"), AudioKindOther);
    EXPECT_EQ(AudioKindFromPath("a.wavx"), AudioKindOther);
    EXPECT_EQ(AudioKindFromPath(""), AudioKindOther);
}

TEST(ApplyGainTest, TruncatesAndClamps) {
    std::vector<std::int16_t> left = {20000, -20000, 3, -3, 1001, -32768};
    std::vector<std::int16_t> right = {100, -100, 7, -7, 0, 32767};
    ApplyGain(left.data(), right.data(), 6, 2, 2.0f);
    EXPECT_EQ(left, (std::vector<std::int16_t>{32767, -32767, 6, -6, 2002, -32767}));
    EXPECT_EQ(right, (std::vector<std::int16_t>{200, -200, 14, -14, 0, 32767}));
    ApplyGain(left.data(), right.data(), 4, 1, 0.5f);  // mono: right untouched
    EXPECT_EQ(left, (std::vector<std::int16_t>{16383, -16383, 3, -3, 2002, -32767}));
    EXPECT_EQ(right[2], 14);
    std::vector<std::int16_t> odd = {3, -3, 32767};
    ApplyGain(odd.data(), nullptr, 3, 1, 0.7f);  // 2.1 and -2.1 truncate toward zero
    EXPECT_EQ(odd, (std::vector<std::int16_t>{2, -2, 22936}));
}

TEST(OpenAudioSourceTest, SelectsAndRefuses) {
    if (!test::HaveTool("sox")) GTEST_SKIP() << "sox is needed";
    test::TempDir dir;
    const std::string wav = dir.File("Tone.WAV");
    ASSERT_EQ(test::RunCommand({"sox", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth", "1.5", "sine", "500"}), 0);
    std::unique_ptr<CAudioSource> source = OpenAudioSource(wav, AudioKindFromPath(wav), 0);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetSampleRate(), 8000);
    EXPECT_EQ(source->GetChannels(), 1);
    EXPECT_EQ(source->GetDuration(), 1);
    std::vector<std::int16_t> left(kReadFrames);
    int frames = 0;
    for (int n; (n = source->Read(left.data(), nullptr)) > 0;) frames += n;
    EXPECT_EQ(frames, 12000);

    const std::string aiff = dir.File("tone.aiff");
    ASSERT_EQ(test::RunCommand({"sox", wav, aiff}), 0);
    source = OpenAudioSource(aiff, AudioKindFromPath(aiff), 0);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetSampleRate(), 8000);

    // Text is nobody's audio, whatever its extension says.
    const std::string text = dir.File("notes.wav");
    ASSERT_TRUE(test::WriteFileBytes(text, std::vector<std::uint8_t>(300, 'x')));
    EXPECT_EQ(OpenAudioSource(text, AudioKindWav, 0), nullptr);
    EXPECT_EQ(OpenAudioSource(text, AudioKindOther, 0), nullptr);
    EXPECT_EQ(OpenAudioSource(dir.File("missing.wav"), AudioKindWav, 0), nullptr);
    // A NeXT/Sun file goes to its own reader only; a WAV file named ".au" is refused.
    const std::string au = dir.File("tone.au");
    ASSERT_EQ(test::RunCommand({"cp", wav, au}), 0);
    EXPECT_EQ(OpenAudioSource(au, AudioKindSnd, 0), nullptr);
}

}  // namespace
}  // namespace tonvela
