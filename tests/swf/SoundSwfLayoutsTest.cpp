// The four sound SWF layouts written from MP3 files that ffmpeg and lame make at test time,
// checked by a plain tag lister and by ffmpeg's own SWF demuxer and MP3 decoder.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <numeric>

#include "swf/MemoryTagSource.h"
#include "swf/Mp3SoundFile.h"
#include "swf/SoundSwfLayouts.h"
#include "swf/SwfBits.h"
#include "SwfTestSupport.h"

namespace tonvela {
namespace {

using namespace swftest;
using Bytes = std::vector<std::uint8_t>;

struct Mp3Info {
    fs::path path;
    int rate = 0, channels = 0, samplesPerFrame = 0;
    std::vector<int> frameLengths;
    std::uint64_t decodedSamples = 0;  // by ffmpeg, per channel
    SoundSwfNumbers numbers;
};

struct Block {
    int sampleCount, seekSamples;
    Bytes data;
    int frame;  // 1-based SWF frame that holds it
};

// The blocks of a streaming SWF, with the SWF frame each one sits in.
std::vector<Block> Blocks(const ParsedSwf& swf) {
    std::vector<Block> out;
    int frame = 1;
    for (const ParsedTag& t : swf.tags) {
        if (t.code == kTagShowFrame) ++frame;
        if (t.code == kTagSoundStreamBlock)
            out.push_back({U16(t.body, 0), S16(t.body, 2), Bytes(t.body.begin() + 4, t.body.end()), frame});
    }
    return out;
}

std::vector<int> Codes(const ParsedSwf& swf) {
    std::vector<int> out;
    for (const ParsedTag& t : swf.tags) out.push_back(t.code);
    return out;
}

const ParsedTag* FirstTag(const ParsedSwf& swf, int code) {
    for (const ParsedTag& t : swf.tags)
        if (t.code == code) return &t;
    return nullptr;
}

class SoundSwfLayouts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        for (int rate : {11025, 22050, 44100})
            for (int channels : {1, 2}) Make(Key(rate, channels), rate, channels, false);
        Make("lame22050", 22050, 1, true);
    }
    static void TearDownTestSuite() {
        mp3s_.clear();
        dir_.reset();
    }
    static std::string Key(int rate, int channels) {
        return std::to_string(rate) + (channels == 1 ? "m" : "s");
    }
    static void Make(const std::string& key, int rate, int channels, bool lame) {
        Mp3Info m;
        m.path = *dir_ / (key + ".mp3");
        m.rate = rate;
        m.channels = channels;
        const bool ok = lame ? MakeMp3WithLame(m.path, rate, channels, 1.5) : MakeMp3(m.path, rate, channels, 1.5);
        if (!ok) return;
        CMp3SoundFile f;
        if (!f.Open(m.path)) return;
        m.samplesPerFrame = f.SamplesPerMp3Frame();
        for (int len; (len = f.NextFrameLength()) > 0;) m.frameLengths.push_back(len);
        m.decodedSamples = DecodedSamples(m.path, channels).value_or(0);
        const std::uint64_t samples = m.frameLengths.size() * static_cast<std::uint64_t>(m.samplesPerFrame);
        m.numbers.outputSamples = static_cast<std::uint32_t>(samples);
        m.numbers.convertedSeconds = static_cast<int>(samples / static_cast<std::uint64_t>(rate));
        mp3s_[key] = m;
    }
    const Mp3Info& Mp3(const std::string& key) {
        auto it = mp3s_.find(key);
        if (it == mp3s_.end()) {
            ADD_FAILURE() << "no MP3 " << key << " (ffmpeg or lame missing?)";
            static Mp3Info none;
            return none;
        }
        return it->second;
    }
    void SetUp() override {
        controls_ = std::make_unique<CMemoryTagSource>(MakeDemoControlTemplate(120, 80, 0x00AA00, actions_));
    }
    ParsedSwf Parse(const fs::path& path) {
        const Bytes bytes = ReadFile(path);
        ParsedSwf swf = ParseSwf(bytes);
        EXPECT_TRUE(swf.ok) << path;
        EXPECT_EQ(swf.signature, "FWS");
        EXPECT_EQ(swf.fileLength, bytes.size()) << path;
        EXPECT_EQ(swf.frameCount, swf.Count(kTagShowFrame)) << path;
        return swf;
    }
    bool Streaming(const Mp3Info& m, const fs::path& out) {
        return WriteStreamingSwf(options_, m.numbers, m.path, out, *controls_, actions_);
    }

    static inline std::unique_ptr<TempDir> dir_;
    static inline std::map<std::string, Mp3Info> mp3s_;
    TempDir out_;
    SoundSwfOptions options_;
    TemplateActions actions_;
    std::unique_ptr<CMemoryTagSource> controls_;
};

// ---- Every layout plays the whole MP3 ---------------------------------------------------------

TEST_F(SoundSwfLayouts, EveryLayoutDecodesToTheMp3sDuration) {
    std::vector<std::string> keys;
    for (int rate : {11025, 22050, 44100})
        for (int channels : {1, 2}) keys.push_back(Key(rate, channels));
    keys.push_back("lame22050");
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const Mp3Info& m = Mp3(key);
        ASSERT_GT(m.decodedSamples, 0u);
        const std::uint64_t tolerance = static_cast<std::uint64_t>(m.samplesPerFrame);
        auto near = [&](std::optional<std::uint64_t> got) {
            ASSERT_TRUE(got.has_value());
            EXPECT_LE(*got > m.decodedSamples ? *got - m.decodedSamples : m.decodedSamples - *got, tolerance)
                << *got << " vs " << m.decodedSamples;
        };

        options_.copyControls = true;
        const fs::path controls = out_ / (key + ".controls.swf");
        ASSERT_TRUE(Streaming(m, controls));
        ParsedSwf swf = Parse(controls);
        EXPECT_EQ(swf.version, 6);
        EXPECT_EQ(swf.xmax, 120 * 20);
        EXPECT_EQ(swf.ymax, 80 * 20);
        EXPECT_EQ(swf.frameRateFixed, 12 * 256);
        const std::size_t blocks = Blocks(swf).size();
        EXPECT_EQ(swf.frameCount, static_cast<int>(2 + blocks));
        near(DecodedSamples(controls, m.channels));

        options_.copyControls = false;
        const fs::path plain = out_ / (key + ".streaming.swf");
        ASSERT_TRUE(Streaming(m, plain));
        near(DecodedSamples(plain, m.channels));

        const fs::path event = out_ / (key + ".event.swf");
        ASSERT_TRUE(WriteEventSwf(options_, m.numbers, m.path, event, *controls_, actions_));
        swf = Parse(event);
        // ffmpeg lists the empty SoundStreamHead2 as a stream of its own; the sound is the second.
        near(DecodedSamples(event, m.channels, 1));

        const fs::path pair = out_ / (key + ".swf"), player = out_ / (key + ".player.swf");
        ASSERT_TRUE(WriteShellPlayerPair(options_, m.numbers, m.path, pair, player, *controls_));
        swf = Parse(pair);
        EXPECT_EQ(swf.xmax, 20);
        EXPECT_EQ(swf.ymax, 20);
        near(DecodedSamples(pair, m.channels));
        EXPECT_EQ(ReadFile(player), controls_->Serialize());
    }
}

// ---- Block distribution -------------------------------------------------------------------------

TEST_F(SoundSwfLayouts, BlocksFollowTheWorkedExamples) {
    // 44100 Hz at 12 fps: 3675 samples per SWF frame, 1152 per MP3 frame.
    const Mp3Info& m = Mp3(Key(44100, 2));
    options_.copyControls = false;
    ASSERT_TRUE(Streaming(m, out_ / "a.swf"));
    const ParsedSwf swf = Parse(out_ / "a.swf");
    const ParsedTag* head = FirstTag(swf, kTagSoundStreamHead);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->body, (Bytes{0x0F, 0x2F, 0x5B, 0x0E, 0x00, 0x00}));
    const std::vector<Block> blocks = Blocks(swf);
    ASSERT_GE(blocks.size(), 7u);
    const int frames[] = {3, 3, 3, 3, 3, 4, 3};
    const int seeks[] = {0, 219, 438, 657, 876, 1095, 162};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(blocks[i].sampleCount, frames[i] * 1152) << i;
        EXPECT_EQ(blocks[i].seekSamples, seeks[i]) << i;
        EXPECT_EQ(blocks[i].frame, static_cast<int>(i) + 2) << i;
    }

    // 22050 Hz at 12 fps: 1837 per SWF frame, 576 per MP3 frame: 3 or 4 frames a block.
    ASSERT_TRUE(Streaming(Mp3(Key(22050, 1)), out_ / "b.swf"));
    const std::vector<Block> blocks22 = Blocks(Parse(out_ / "b.swf"));
    ASSERT_GT(blocks22.size(), 2u);
    for (std::size_t i = 0; i + 1 < blocks22.size(); ++i)  // the last block takes what is left
        EXPECT_TRUE(blocks22[i].sampleCount == 1728 || blocks22[i].sampleCount == 2304) << i;
}

// The rule for SWF frames longer than an MP3 frame, computed independently from the frame list:
// whole MP3 frames while the timeline is more than one MP3 frame ahead.
struct RefBlock {
    int frames, seek;
    std::size_t bytes;
};
std::vector<RefBlock> ReferenceBlocks(const Mp3Info& m, int spf) {
    std::vector<RefBlock> out;
    const int spm = m.samplesPerFrame;
    int carry = 0;
    std::size_t next = 0;
    for (;;) {
        int need = spf + carry;
        if (need <= spm) break;
        RefBlock b{0, carry, 0};
        while (next < m.frameLengths.size()) {
            b.bytes += static_cast<std::size_t>(m.frameLengths[next++]);
            ++b.frames;
            need -= spm;
            if (need <= spm) break;
        }
        if (b.frames == 0) break;
        out.push_back(b);
        carry = need;
    }
    return out;
}

TEST_F(SoundSwfLayouts, EveryFrameRateFrom1To120PlaysTheWholeSound) {
    options_.copyControls = false;
    for (int rate : {11025, 22050, 44100}) {
        const Mp3Info& m = Mp3(Key(rate, 1));
        const Bytes mp3 = ReadFile(m.path);
        const int spm = m.samplesPerFrame;
        const std::uint64_t totalSamples = m.frameLengths.size() * static_cast<std::uint64_t>(spm);
        for (int fps = 1; fps <= 120; ++fps) {
            SCOPED_TRACE(std::to_string(rate) + " Hz at " + std::to_string(fps) + " fps");
            options_.frameRate = fps;
            const fs::path out = out_ / "rate.swf";
            ASSERT_TRUE(Streaming(m, out));
            const ParsedSwf swf = Parse(out);
            EXPECT_EQ(swf.frameRateFixed, fps * 256);
            const ParsedTag* head = FirstTag(swf, kTagSoundStreamHead);
            ASSERT_NE(head, nullptr);
            const int spf = U16(head->body, 2);
            ASSERT_EQ(spf, rate / fps);
            const std::vector<Block> blocks = Blocks(swf);
            ASSERT_FALSE(blocks.empty());

            // The blocks carry the whole MP3, in order.
            Bytes data;
            std::uint64_t samples = 0;
            for (const Block& b : blocks) {
                data.insert(data.end(), b.data.begin(), b.data.end());
                samples += static_cast<std::uint64_t>(b.sampleCount);
            }
            EXPECT_EQ(data, mp3);
            EXPECT_EQ(samples, totalSamples);

            // A block in every frame from the first block to the last, then the end frame.
            for (std::size_t i = 0; i < blocks.size(); ++i) ASSERT_EQ(blocks[i].frame, static_cast<int>(i) + 2);
            EXPECT_EQ(swf.frameCount, static_cast<int>(blocks.size()) + 2);

            // A player that counts samples (+SampleCount per block, -spf per frame) and stops the
            // stream when the count falls to -spf never stops it before the last block.
            std::int64_t count = 0;
            for (const Block& b : blocks) {
                count += b.sampleCount - spf;
                ASSERT_GT(count, -spf);
            }
            // The movie does not end before the sound: the timeline at the end frame has reached
            // the sound's end (within the last SWF frame).
            const std::int64_t soundEnd = static_cast<std::int64_t>(totalSamples);
            const std::int64_t timelineAtEndFrame = static_cast<std::int64_t>(blocks.size()) * spf;
            EXPECT_GE(timelineAtEndFrame, soundEnd);
            EXPECT_LT(timelineAtEndFrame - soundEnd, std::max(spf, spm) + spf);

            if (spf > spm) {
                // Where SWF frames are longer than MP3 frames, exactly the long-standing rule.
                const std::vector<RefBlock> ref = ReferenceBlocks(m, spf);
                ASSERT_EQ(ref.size(), blocks.size());
                for (std::size_t i = 0; i < ref.size(); ++i) {
                    EXPECT_EQ(blocks[i].sampleCount, ref[i].frames * spm) << i;
                    EXPECT_EQ(blocks[i].seekSamples, ref[i].seek) << i;
                    EXPECT_EQ(blocks[i].data.size(), ref[i].bytes) << i;
                }
            } else {
                // Sound level with or just ahead of the timeline after every frame.
                std::int64_t delivered = 0;
                for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
                    delivered += blocks[i].sampleCount;
                    const std::int64_t timeline = static_cast<std::int64_t>(i + 1) * spf;
                    EXPECT_GE(delivered, timeline) << i;
                    EXPECT_LT(delivered - timeline, spm) << i;
                }
            }
        }
    }
}

TEST_F(SoundSwfLayouts, HighFrameRatesDecodeWhole) {
    options_.copyControls = true;
    for (auto [key, fps] : {std::pair{Key(44100, 2), 39}, {Key(44100, 1), 60}, {Key(22050, 2), 120},
                            {Key(11025, 1), 20}, {Key(11025, 2), 100}}) {
        SCOPED_TRACE(key + " at " + std::to_string(fps));
        const Mp3Info& m = Mp3(key);
        options_.frameRate = fps;
        const fs::path out = out_ / "high.swf";
        ASSERT_TRUE(Streaming(m, out));
        EXPECT_EQ(DecodedSamples(out, m.channels), m.decodedSamples);
    }
}

// ---- Frame rate ------------------------------------------------------------------------------------

TEST_F(SoundSwfLayouts, HeaderAndSoundShareOneFrameRate) {
    const Mp3Info& m = Mp3(Key(22050, 1));
    options_.copyControls = false;
    for (auto [stored, used] : {std::pair{256, 255}, {1000, 255}, {0, 1}, {-5, 1}, {255, 255}}) {
        SCOPED_TRACE(stored);
        options_.frameRate = stored;
        ASSERT_TRUE(Streaming(m, out_ / "r.swf"));
        const ParsedSwf swf = Parse(out_ / "r.swf");
        EXPECT_EQ(swf.frameRateFixed, used * 256);
        EXPECT_EQ(U16(FirstTag(swf, kTagSoundStreamHead)->body, 2), 22050 / used);
        ASSERT_TRUE(WriteEventSwf(options_, m.numbers, m.path, out_ / "e.swf", *controls_, actions_));
        EXPECT_EQ(Parse(out_ / "e.swf").frameRateFixed, used * 256);
    }
}

TEST(StreamingFrameRate, LongSoundsKeepTo16000Frames) {
    EXPECT_EQ(StreamingFrameRate(12, 1800), 8);     // 21600 frames would be too many
    EXPECT_EQ(StreamingFrameRate(12, 1333), 12);    // 15996 frames
    EXPECT_EQ(StreamingFrameRate(12, 1334), 11);
    EXPECT_EQ(StreamingFrameRate(12, 20000), 1);    // at least 1
    EXPECT_EQ(StreamingFrameRate(300, 100), 160);   // limited to 255 first: 25500 frames
    EXPECT_EQ(StreamingFrameRate(120, 0), 120);
    EXPECT_EQ(StreamingFrameRate(0, 10), 1);
}

// ---- Tag order -----------------------------------------------------------------------------------

TEST_F(SoundSwfLayouts, StreamingTagOrderControlsAndActions) {
    const Mp3Info& m = Mp3(Key(11025, 1));
    options_.copyControls = true;
    options_.initPlay = true;
    options_.loopPlay = true;
    options_.frameRate = 15;
    options_.blankFrames = 3;
    options_.backgroundColour = 0x563412;  // red 0x12, green 0x34, blue 0x56
    ASSERT_TRUE(Streaming(m, out_ / "c.swf"));
    const ParsedSwf swf = Parse(out_ / "c.swf");
    const std::vector<int> codes = Codes(swf);
    const std::vector<int> start = {9, 18, 12, 2, 26, 1, 1, 1, 1, 19, 1};
    ASSERT_GE(codes.size(), start.size() + 3);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + static_cast<long>(start.size())), start);
    EXPECT_EQ(std::vector<int>(codes.end() - 3, codes.end()), (std::vector<int>{12, 1, 0}));
    EXPECT_EQ(swf.tags[0].body, (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(swf.Count(kTagSetBackgroundColor), 1);
    EXPECT_EQ(swf.Count(kTagDoAction), 2);
    // The first block sits in the fifth frame; the frame count is 2 + blank frames + blocks.
    const std::vector<Block> blocks = Blocks(swf);
    EXPECT_EQ(blocks.front().frame, 5);
    EXPECT_EQ(swf.frameCount, static_cast<int>(2 + 3 + blocks.size()));

    // Start-play with the movie's frame rate stored in its literal; end-loop at the end.
    Bytes startPlay = actions_.startPlay.bytes;
    WriteU32(startPlay.data() + *actions_.startPlay.frameRatePatch, 15);
    const Bytes file = ReadFile(out_ / "c.swf");
    ASSERT_GE(file.size(), swf.tags[2].offset + startPlay.size());
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(swf.tags[2].offset),
                    file.begin() + static_cast<long>(swf.tags[2].offset + startPlay.size())),
              startPlay);
    const ParsedTag& end = swf.tags[swf.tags.size() - 3];
    EXPECT_EQ(Bytes(end.body), Bytes(actions_.endLoop.bytes.begin() + 2, actions_.endLoop.bytes.end()));

    // Without controls, stopped, not looping: start-stop and end-stop, no template tags.
    options_.copyControls = false;
    options_.initPlay = false;
    options_.loopPlay = false;
    options_.blankFrames = 0;
    ASSERT_TRUE(Streaming(m, out_ / "d.swf"));
    const ParsedSwf plain = Parse(out_ / "d.swf");
    const std::vector<int> plainCodes = Codes(plain);
    EXPECT_EQ(std::vector<int>(plainCodes.begin(), plainCodes.begin() + 5), (std::vector<int>{9, 18, 12, 1, 19}));
    EXPECT_EQ(plain.tags[2].body[plain.tags[2].body.size() - 2], 0x07);  // Stop
    EXPECT_EQ(plain.tags[plain.tags.size() - 3].body, Bytes(actions_.endStop.bytes.begin() + 2, actions_.endStop.bytes.end()));
    EXPECT_EQ(plain.Count(kTagDefineShape), 0);
    // The stored actions were not changed by the patch.
    EXPECT_EQ(U16(actions_.startPlay.bytes, *actions_.startPlay.frameRatePatch), 12);
}

TEST_F(SoundSwfLayouts, PlayerSoundTagOrder) {
    const Mp3Info& m = Mp3(Key(22050, 2));
    CMemoryTagSource player(8, 300, 40);
    player.AddTag(kTagShowFrame, {});
    player.AddTag(kTagEnd, {});
    options_.blankFrames = 2;
    ASSERT_TRUE(WritePlayerSoundSwf(options_, m.numbers, m.path, out_ / "p.swf", player));
    const ParsedSwf swf = Parse(out_ / "p.swf");
    EXPECT_EQ(swf.version, 8);
    const std::vector<int> codes = Codes(swf);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 6), (std::vector<int>{9, 18, 1, 1, 1, 19}));
    EXPECT_EQ(std::vector<int>(codes.end() - 3, codes.end()), (std::vector<int>{19, 1, 0}));
    EXPECT_EQ(swf.Count(kTagDoAction), 0);
    EXPECT_EQ(swf.frameCount, static_cast<int>(1 + 2 + Blocks(swf).size()));
}

TEST_F(SoundSwfLayouts, EventTagOrderAndSound) {
    const Mp3Info& m = Mp3(Key(44100, 2));
    options_.initPlay = true;
    options_.loopPlay = false;
    ASSERT_TRUE(WriteEventSwf(options_, m.numbers, m.path, out_ / "e1.swf", *controls_, actions_));
    ParsedSwf swf = Parse(out_ / "e1.swf");
    EXPECT_EQ(Codes(swf), (std::vector<int>{9, 45, 14, 15, 1, 0}));
    EXPECT_EQ(swf.version, 6);
    EXPECT_EQ(swf.frameCount, 1);
    const ParsedTag* define = FirstTag(swf, kTagDefineSound);
    ASSERT_NE(define, nullptr);
    EXPECT_EQ(U16(define->body, 0), 1);
    EXPECT_EQ(define->body[2], 0x2F);  // MP3, 44100 Hz, 16-bit, stereo
    const std::uint32_t count = define->body[3] | define->body[4] << 8 | define->body[5] << 16 |
                                static_cast<std::uint32_t>(define->body[6]) << 24;
    EXPECT_EQ(count, m.numbers.outputSamples);
    EXPECT_EQ(S16(define->body, 7), 0);
    EXPECT_EQ(Bytes(define->body.begin() + 9, define->body.end()), ReadFile(m.path));
    EXPECT_EQ(FirstTag(swf, kTagStartSound)->body, (Bytes{0x01, 0x00, 0x04, 0x01, 0x00}));

    options_.initPlay = false;
    options_.loopPlay = true;
    ASSERT_TRUE(WriteEventSwf(options_, m.numbers, m.path, out_ / "e2.swf", *controls_, actions_));
    swf = Parse(out_ / "e2.swf");
    EXPECT_EQ(Codes(swf), (std::vector<int>{9, 45, 14, 12, 1, 15, 1, 0}));
    EXPECT_EQ(swf.frameCount, 2);
    EXPECT_EQ(FirstTag(swf, kTagStartSound)->body, (Bytes{0x01, 0x00, 0x04, 0xFF, 0xFF}));
}

// ---- Failures leave nothing behind ------------------------------------------------------------

TEST_F(SoundSwfLayouts, RefusedInputsCreateNoOutput) {
    TempDir in;
    ASSERT_TRUE(MakeMp3(in / "48k.mp3", 48000, 1, 0.3));
    ASSERT_TRUE(swftest::Run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=sample_rate=22050:duration=0.3",
                              "-c:a", "libmp3lame", "-b:a", "32k", "-write_xing", "0", "-id3v2_version", "4",
                              "-metadata", "title=tagged", (in / "id3.mp3").string()}));
    WriteFile(in / "three.mp3", {0xFF, 0xFB, 0x90});
    SoundSwfNumbers n{10000, 1};
    for (const char* name : {"48k.mp3", "id3.mp3", "three.mp3", "missing.mp3"}) {
        SCOPED_TRACE(name);
        const fs::path mp3 = in / name;
        const fs::path swf = out_ / "out.swf", player = out_ / "out.player.swf";
        options_.copyControls = true;
        EXPECT_FALSE(WriteStreamingSwf(options_, n, mp3, swf, *controls_, actions_));
        EXPECT_FALSE(fs::exists(swf));
        EXPECT_FALSE(WriteEventSwf(options_, n, mp3, swf, *controls_, actions_));
        EXPECT_FALSE(fs::exists(swf));
        EXPECT_FALSE(WritePlayerSoundSwf(options_, n, mp3, swf, *controls_));
        EXPECT_FALSE(fs::exists(swf));
        EXPECT_FALSE(WriteShellPlayerPair(options_, n, mp3, swf, player, *controls_));
        EXPECT_FALSE(fs::exists(swf));
        EXPECT_FALSE(fs::exists(player));
    }
}

TEST_F(SoundSwfLayouts, GarbageAfterTheFramesEndsTheSound) {
    // Whole frames of a real MP3 followed by random bytes: the sound is the frames before them.
    const Mp3Info& m = Mp3(Key(22050, 1));
    Bytes mp3 = ReadFile(m.path);
    const std::size_t keep = static_cast<std::size_t>(m.frameLengths[0] + m.frameLengths[1] + m.frameLengths[2]);
    mp3.resize(keep);
    std::uint32_t seed = 7;
    for (int i = 0; i < 5000; ++i) mp3.push_back(static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24));
    mp3[keep] = 0xFF;  // a sync byte, so the walker looks at a header there
    WriteFile(out_ / "garbage.mp3", mp3);
    options_.copyControls = false;
    for (int fps : {12, 60}) {
        options_.frameRate = fps;
        ASSERT_TRUE(Streaming({out_ / "garbage.mp3", 22050, 1, 576, {}, 0, m.numbers}, out_ / "g.swf"));
        Bytes data;
        for (const Block& b : Blocks(Parse(out_ / "g.swf"))) data.insert(data.end(), b.data.begin(), b.data.end());
        EXPECT_EQ(data, Bytes(mp3.begin(), mp3.begin() + static_cast<long>(keep))) << fps;
    }
    // The event sound carries the file as it is.
    ASSERT_TRUE(WriteEventSwf(options_, m.numbers, out_ / "garbage.mp3", out_ / "ge.swf", *controls_, actions_));
    const ParsedSwf event = Parse(out_ / "ge.swf");
    const ParsedTag* define = FirstTag(event, kTagDefineSound);
    ASSERT_NE(define, nullptr);
    EXPECT_EQ(Bytes(define->body.begin() + 9, define->body.end()), mp3);
}

TEST_F(SoundSwfLayouts, TemplateWithoutShowFrameIsRefused) {
    CMemoryTagSource broken(6, 100, 100);
    broken.AddTag(kTagDefineShape, {1, 0});
    broken.AddTag(kTagEnd, {});
    options_.copyControls = true;
    EXPECT_FALSE(WriteStreamingSwf(options_, Mp3(Key(11025, 1)).numbers, Mp3(Key(11025, 1)).path,
                                   out_ / "x.swf", broken, actions_));
    EXPECT_FALSE(fs::exists(out_ / "x.swf"));
}

TEST_F(SoundSwfLayouts, UnwritablePlayerRemovesTheSoundSwf) {
    const Mp3Info& m = Mp3(Key(11025, 1));
    EXPECT_FALSE(WriteShellPlayerPair(options_, m.numbers, m.path, out_ / "s.swf",
                                      out_ / "no-such-folder" / "s.player.swf", *controls_));
    EXPECT_FALSE(fs::exists(out_ / "s.swf"));
}

// A sound long enough that the writer's buffer is flushed while blocks are written.
class SoundSwfWriteFailures : public SoundSwfLayouts {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        Mp3Info m;
        m.path = *dir_ / "long.mp3";
        if (!MakeMp3(m.path, 44100, 2, 12.0, 128)) return;
        m.numbers = {12 * 44100, 12};
        mp3s_["long"] = m;
    }
};

// Sets a file size limit for this process (writes beyond it fail with EFBIG) and restores it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST_F(SoundSwfWriteFailures, DiskFullFailsAndLeavesNoFile) {
    const Mp3Info& m = Mp3("long");
    ASSERT_GT(fs::file_size(m.path), 150000u);
    const fs::path swf = out_ / "full.swf", player = out_ / "full.player.swf";
    for (rlim_t limit : {rlim_t{1000}, rlim_t{100000}}) {  // at the first flush, or in the middle
        SCOPED_TRACE(limit);
        {
            FileSizeLimit cap(limit);
            options_.copyControls = true;
            EXPECT_FALSE(WriteStreamingSwf(options_, m.numbers, m.path, swf, *controls_, actions_));
            EXPECT_FALSE(WriteEventSwf(options_, m.numbers, m.path, swf, *controls_, actions_));
            EXPECT_FALSE(WriteShellPlayerPair(options_, m.numbers, m.path, swf, player, *controls_));
        }
        EXPECT_FALSE(fs::exists(swf));
        EXPECT_FALSE(fs::exists(player));
    }
    // Without the limit the same calls succeed.
    EXPECT_TRUE(WriteEventSwf(options_, m.numbers, m.path, swf, *controls_, actions_));
}

TEST_F(SoundSwfWriteFailures, DevFullFailsAndIsLeftAlone) {
    struct stat st {};
    if (::stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full";
    const Mp3Info& m = Mp3("long");
    EXPECT_FALSE(WriteStreamingSwf(options_, m.numbers, m.path, "/dev/full", *controls_, actions_));
    EXPECT_FALSE(WriteEventSwf(options_, m.numbers, m.path, "/dev/full", *controls_, actions_));
    EXPECT_FALSE(WritePlayerSoundSwf(options_, m.numbers, m.path, "/dev/full", *controls_));
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));  // a device is never deleted
}

}  // namespace
}  // namespace tonvela
