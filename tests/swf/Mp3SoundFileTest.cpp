// The MP3 frame reader: which files are accepted, and walking the frames of files made by
// ffmpeg and lame.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "swf/Mp3EventSound.h"
#include "swf/Mp3SoundFile.h"
#include "swf/Mp3StreamSound.h"
#include "swf/SwfBits.h"
#include "SwfTestSupport.h"

namespace tonvela {
namespace {

using namespace swftest;
using Bytes = std::vector<std::uint8_t>;

// A file of CBR frames with valid headers and zero bodies (enough for the reader).
Bytes Frames(std::uint32_t header, int count) {
    Mp3FrameHeader f;
    DecodeMp3FrameHeader(header, f);
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes frame(static_cast<std::size_t>(f.length), 0);
        WriteU32(frame.data(), 0);
        frame[0] = static_cast<std::uint8_t>(header >> 24);
        frame[1] = static_cast<std::uint8_t>(header >> 16);
        frame[2] = static_cast<std::uint8_t>(header >> 8);
        frame[3] = static_cast<std::uint8_t>(header);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

TEST(Mp3SoundFileOpen, RefusesUnusableFiles) {
    TempDir dir;
    CMp3SoundFile f;
    EXPECT_FALSE(f.Open(dir / "missing.mp3"));
    EXPECT_FALSE(f.Open(dir.path()));  // a folder
    ASSERT_EQ(::mkfifo((dir / "fifo.mp3").c_str(), 0600), 0);
    ::alarm(20);  // a FIFO must not block the open
    EXPECT_FALSE(f.Open(dir / "fifo.mp3"));
    ::alarm(0);

    WriteFile(dir / "three.mp3", {0xFF, 0xFB, 0x90});
    EXPECT_FALSE(f.Open(dir / "three.mp3"));

    // A header alone, without the rest of its frame.
    WriteFile(dir / "header.mp3", {0xFF, 0xFB, 0x90, 0x64});
    EXPECT_FALSE(f.Open(dir / "header.mp3"));

    // Emphasis 2 is reserved.
    WriteFile(dir / "emphasis.mp3", Frames(0xFFFB9066, 3));
    EXPECT_FALSE(f.Open(dir / "emphasis.mp3"));

    // 24000 Hz (MPEG-2) cannot be declared in a SWF sound.
    WriteFile(dir / "24k.mp3", Frames(0xFFF344C4, 3));
    EXPECT_FALSE(f.Open(dir / "24k.mp3"));

    // Real encoder output at 48000 and 32000 Hz.
    ASSERT_TRUE(MakeMp3(dir / "48k.mp3", 48000, 1, 0.5));
    EXPECT_FALSE(f.Open(dir / "48k.mp3"));
    ASSERT_TRUE(MakeMp3(dir / "32k.mp3", 32000, 2, 0.5));
    EXPECT_FALSE(f.Open(dir / "32k.mp3"));

    // An ID3v2 tag at offset 0 is not skipped.
    ASSERT_TRUE(swftest::Run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=sample_rate=22050:duration=0.5",
                     "-c:a", "libmp3lame", "-b:a", "32k", "-write_xing", "0", "-id3v2_version", "3",
                     "-metadata", "title=x", (dir / "id3.mp3").string()}));
    EXPECT_EQ(ReadFile(dir / "id3.mp3")[0], 'I');
    EXPECT_FALSE(f.Open(dir / "id3.mp3"));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.DataStart(), -1);
}

TEST(Mp3SoundFileOpen, AcceptsEncoderOutputAtSwfRates) {
    TempDir dir;
    struct Case {
        int rate, channels, samplesPerFrame;
    };
    for (Case c : {Case{11025, 1, 576}, Case{22050, 2, 576}, Case{44100, 1, 1152}, Case{44100, 2, 1152}}) {
        const fs::path mp3 = dir / ("t" + std::to_string(c.rate) + "_" + std::to_string(c.channels) + ".mp3");
        ASSERT_TRUE(MakeMp3(mp3, c.rate, c.channels, 1.0, 32));
        CMp3SoundFile f;
        ASSERT_TRUE(f.Open(mp3)) << mp3;
        EXPECT_EQ(f.SampleRate(), c.rate);
        EXPECT_EQ(f.Channels(), c.channels);
        EXPECT_EQ(f.SamplesPerMp3Frame(), c.samplesPerFrame);
        EXPECT_EQ(f.BitRate(), 32);
        EXPECT_EQ(f.DataStart(), 0);

        // The frame lengths cover the whole file, and frames x samples is what ffmpeg decodes.
        std::uint64_t bytes = 0, frames = 0;
        for (int len; (len = f.NextFrameLength()) > 0; ++frames) bytes += static_cast<std::uint64_t>(len);
        EXPECT_EQ(bytes, fs::file_size(mp3));
        EXPECT_EQ(f.NextFrameLength(), 0);
        EXPECT_EQ(frames * static_cast<std::uint64_t>(c.samplesPerFrame), DecodedSamples(mp3, c.channels));

        ASSERT_TRUE(f.Rewind());
        EXPECT_GT(f.NextFrameLength(), 0);
        f.Close();
        EXPECT_FALSE(f.Rewind());
    }
}

TEST(Mp3SoundFileFrames, StopsAtACutFrameAndAtGarbage) {
    TempDir dir;
    // Three 417-byte frames, the third cut short: two frames, then 0.
    Bytes data = Frames(0xFFFB9064, 3);
    data.resize(417 * 2 + 100);
    WriteFile(dir / "cut.mp3", data);
    CMp3SoundFile f;
    ASSERT_TRUE(f.Open(dir / "cut.mp3"));
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), 0);
    EXPECT_EQ(f.NextFrameLength(), 0);

    // Garbage after two frames: -1, and the reader stays there.
    data = Frames(0xFFFB9064, 2);
    for (int i = 0; i < 500; ++i) data.push_back(0x55);
    WriteFile(dir / "garbage.mp3", data);
    ASSERT_TRUE(f.Open(dir / "garbage.mp3"));
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), -1);
    EXPECT_EQ(f.NextFrameLength(), -1);

    // A frame of another sample rate ends the stream (its blocks would be mistimed).
    data = Frames(0xFFFB9064, 2);
    const Bytes other = Frames(0xFFFB9464, 1);  // 48000 Hz
    data.insert(data.end(), other.begin(), other.end());
    WriteFile(dir / "mixed.mp3", data);
    ASSERT_TRUE(f.Open(dir / "mixed.mp3"));
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), 417);
    EXPECT_EQ(f.NextFrameLength(), -1);
}

// ---- Tag writers: bytes worked out by hand ----------------------------------------------------

TEST(Mp3SoundTags, StreamHeadAndBlocks) {
    TempDir dir;
    WriteFile(dir / "a.mp3", Frames(0xFFFB9064, 7));  // 44100 Hz stereo, 1152 samples, 417 bytes
    CMp3StreamSound s;
    ASSERT_TRUE(s.Open(dir / "a.mp3"));
    s.SetFrameRate(12);
    Bytes buf(4096);
    std::size_t cap = 7, len = 0;
    EXPECT_FALSE(s.WriteStreamHead(buf.data(), cap, len));
    EXPECT_EQ(cap, 8u);
    ASSERT_TRUE(s.WriteStreamHead(buf.data(), cap, len));
    // 18 * 64 + 6 = 0x0486; rate 3, 16-bit, stereo = 0x0F; MP3 = 0x2F; 3675 = 0x0E5B; latency 0.
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + static_cast<long>(len)),
              (Bytes{0x86, 0x04, 0x0F, 0x2F, 0x5B, 0x0E, 0x00, 0x00}));

    ASSERT_TRUE(s.Rewind());
    // First block: 3 frames (3675 -> 2523 -> 1371 -> 219), 1251 bytes + 4: long header.
    cap = 100;
    ASSERT_TRUE(s.WriteStreamBlock(buf.data(), cap, len));
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(cap, 1251u + 10);
    cap = buf.size();
    ASSERT_TRUE(s.WriteStreamBlock(buf.data(), cap, len));
    ASSERT_EQ(len, 6u + 4 + 1251);
    // 19 * 64 + 63 = 0x04FF, length 1255 = 0x04E7, SampleCount 3456 = 0x0D80, SeekSamples 0.
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 10),
              (Bytes{0xFF, 0x04, 0xE7, 0x04, 0x00, 0x00, 0x80, 0x0D, 0x00, 0x00}));
    EXPECT_EQ(buf[10], 0xFF);  // the first frame header follows
    EXPECT_EQ(buf[10 + 417], 0xFF);
    EXPECT_EQ(s.SampleCarry(), 219);
    // Second block: 3 frames, SeekSamples 219 (0x00DB).
    ASSERT_TRUE(s.WriteStreamBlock(buf.data(), cap, len));
    EXPECT_EQ(S16(buf, 8), 219);
    // Third block: one frame left (the file ends), SampleCount 1152.
    ASSERT_TRUE(s.WriteStreamBlock(buf.data(), cap, len));
    EXPECT_EQ(U16(buf, 6), 1152);
    EXPECT_EQ(len, 6u + 4 + 417);
    EXPECT_FALSE(s.WriteStreamBlock(buf.data(), cap, len));
    EXPECT_FALSE(s.ReadFailed());
}

TEST(Mp3SoundTags, EventTags) {
    TempDir dir;
    WriteFile(dir / "a.mp3", Frames(0xFFF340C4, 3));  // 22050 Hz mono, 104 bytes each
    CMp3EventSound s;
    ASSERT_TRUE(s.Open(dir / "a.mp3"));
    Bytes buf(64);
    std::size_t cap = buf.size(), len = 0;
    ASSERT_TRUE(s.WriteEventHead(buf.data(), cap, len));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + static_cast<long>(len)),
              (Bytes{0x44, 0x0B, 0, 0, 0, 0}));  // 45 * 64 + 4 = 0x0B44
    // DefineSound: body 312 + 9 = 321 = 0x0141, long form 14 * 64 + 63 = 0x03BF; id 1; MP3, rate
    // 2, 16-bit, mono = 0x2A; 1728 samples = 0x06C0; SeekSamples 0.
    cap = 14;
    EXPECT_FALSE(s.WriteDefineSoundHeader(1728, buf.data(), cap, len));
    EXPECT_EQ(cap, 15u);
    ASSERT_TRUE(s.WriteDefineSoundHeader(1728, buf.data(), cap, len));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + static_cast<long>(len)),
              (Bytes{0xBF, 0x03, 0x41, 0x01, 0x00, 0x00, 0x01, 0x00, 0x2A, 0xC0, 0x06, 0x00, 0x00, 0x00, 0x00}));
    cap = buf.size();
    ASSERT_TRUE(s.WriteStartSound(65535, buf.data(), cap, len));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + static_cast<long>(len)),
              (Bytes{0xC5, 0x03, 0x01, 0x00, 0x04, 0xFF, 0xFF}));  // 15 * 64 + 5 = 0x03C5

}

}  // namespace
}  // namespace tonvela
