// Which reader the selection hands a file to, as far as the decoding library is concerned.
#include <gtest/gtest.h>

#include "audio/AudioSource.h"
#include "audio/BassAudioSource.h"
#include "audio/BassTestFiles.h"
#include "audio/SndAudioSource.h"

namespace tonvela {
namespace {

class LibrarySelectionTest : public ::testing::Test {
protected:
    test::TempDir dir_;
};

TEST_F(LibrarySelectionTest, WavTheLibraryAcceptsGoesToTheLibrary) {
    for (const char* name : {"tone.wav", "TONE.WAV", "tone.wave"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(test::EncodeWithFfmpeg(dir_.File(name), 2, 22050, 1.0, {"-c:a", "pcm_s16le", "-f", "wav"}));
        ASSERT_EQ(AudioKindFromPath(dir_.File(name)), AudioKindWav);
        const std::unique_ptr<CAudioSource> src = OpenAudioSource(dir_.File(name), AudioKindWav, 0);
        ASSERT_NE(src, nullptr);
        EXPECT_NE(dynamic_cast<CBassAudioSource*>(src.get()), nullptr);
        EXPECT_EQ(src->GetSampleRate(), 22050);
    }
}

TEST_F(LibrarySelectionTest, NextSunFilesNeverGoToTheLibrary) {
    const std::string au = dir_.File("tone.au");
    ASSERT_TRUE(test::EncodeWithFfmpeg(au, 1, 8000, 1.0, {"-c:a", "pcm_mulaw", "-f", "au"}));
    const std::unique_ptr<CAudioSource> src = OpenAudioSource(au, AudioKindSnd, 0);
    ASSERT_NE(src, nullptr);
    EXPECT_NE(dynamic_cast<CSndAudioSource*>(src.get()), nullptr);
    // An MP3 named ".au" is something the library decodes, but NeXT/Sun files are the built-in
    // reader's alone, so it is refused.
    const std::string mp3 = dir_.File("really-mp3.au");
    ASSERT_TRUE(test::EncodeWithFfmpeg(mp3, 2, 44100, 1.0, {"-c:a", "libmp3lame", "-f", "mp3"}));
    EXPECT_EQ(OpenAudioSource(mp3, AudioKindSnd, 0), nullptr);
    const std::unique_ptr<CAudioSource> asOther = OpenAudioSource(mp3, AudioKindOther, 0);
    ASSERT_NE(asOther, nullptr);
    EXPECT_NE(dynamic_cast<CBassAudioSource*>(asOther.get()), nullptr);
}

TEST_F(LibrarySelectionTest, OtherKindsTheLibraryRefusesAreRejected) {
    const std::string text = dir_.File("notes.mp3");
    const std::string body = "Shopping list: milk, bread, tea.\nNothing to hear here.\n";
    ASSERT_TRUE(test::WriteFileBytes(text, std::vector<std::uint8_t>(body.begin(), body.end())));
    EXPECT_EQ(OpenAudioSource(text, AudioKindOther, 0), nullptr);
    const std::string noExt = dir_.File("README");
    ASSERT_TRUE(test::WriteFileBytes(noExt, std::vector<std::uint8_t>(body.begin(), body.end())));
    EXPECT_EQ(OpenAudioSource(noExt, AudioKindOther, 0), nullptr);
}

TEST_F(LibrarySelectionTest, MusicRateReachesModuleMusic) {
    const std::string mod = dir_.File("tune.mod");
    ASSERT_TRUE(test::WriteFileBytes(mod, test::MakeProTrackerModule()));
    const std::unique_ptr<CAudioSource> src = OpenAudioSource(mod, AudioKindOther, 32000);
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(src->GetSampleRate(), 32000);
    EXPECT_EQ(OpenAudioSource(mod, AudioKindOther, 0)->GetSampleRate(), 44100);
}

}  // namespace
}  // namespace tonvela
