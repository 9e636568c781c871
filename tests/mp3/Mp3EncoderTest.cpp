#include "mp3/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CTestTempDir;
using test::ReadText;

std::string RunCommand(const std::string& cmd) {
    std::string out;
    if (std::FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// A rising chirp: never repeats, so its correlation with a delayed copy has one clear peak.
std::vector<std::int16_t> Chirp(int rate, int samples, double phaseShift = 0.0) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        double t = static_cast<double>(i) / rate;
        double f = 200.0 + 1500.0 * t;
        v[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(12000.0 * std::sin(2 * M_PI * f * t + phaseShift));
    }
    return v;
}

struct Params {
    int channels, inRate, outRate, kbps, mode;  // mode -1: not set
};

// Encodes the chirp in blocks of 1152 like the conversion does. Returns false on any failure.
bool EncodeChirp(const std::string& path, const Params& p, int samples, int* delay = nullptr) {
    CMp3Encoder enc;
    if (!enc.Open(path)) return false;
    enc.SetInputChannels(p.channels);
    enc.SetInputSampleRate(p.inRate);
    if (p.mode >= 0) enc.SetMode(p.mode);
    enc.SetOutputSampleRate(p.outRate);
    enc.SetBitRate(p.kbps);
    if (enc.EncoderDelay() != -1) return false;
    if (!enc.InitParams()) return false;
    if (delay) *delay = enc.EncoderDelay();
    auto l = Chirp(p.inRate, samples);
    auto r = Chirp(p.inRate, samples, 1.0);
    bool ok = true;
    for (int at = 0; at < samples && ok; at += 1152) {
        int n = std::min(1152, samples - at);
        ok = enc.Encode(l.data() + at, p.channels == 2 ? r.data() + at : nullptr, n);
    }
    return enc.Close() && ok;
}

std::string Probe(const std::string& path, const std::string& entries) {
    return RunCommand("ffprobe -v error -show_entries " + entries + " -of default=nw=1 '" + path + "'");
}

// What every MP3 the SWF writer reads must be: frames from byte 0 to the end, all of one size
// class (constant bit rate), no Xing/Info frame, no ID3 tag.
void ExpectPlainCbr(const std::string& path, const Params& p) {
    std::string bytes = ReadText(path);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]) & 0xE0, 0xE0);  // frame sync
    EXPECT_NE(bytes.substr(0, 3), "ID3");
    EXPECT_NE(bytes.substr(bytes.size() - 128, 3), "TAG");
    // An Info or Xing header would sit inside the first frame.
    EXPECT_EQ(bytes.substr(0, 200).find("Xing"), std::string::npos);
    EXPECT_EQ(bytes.substr(0, 200).find("Info"), std::string::npos);

    std::string info = Probe(path, "stream=codec_name,sample_rate,channels,bit_rate");
    EXPECT_NE(info.find("codec_name=mp3"), std::string::npos) << info;
    EXPECT_NE(info.find("sample_rate=" + std::to_string(p.outRate)), std::string::npos) << info;
    EXPECT_NE(info.find("channels=" + std::to_string(p.channels == 2 && p.mode != 3 ? 2 : 1)), std::string::npos)
        << info;
    EXPECT_NE(info.find("bit_rate=" + std::to_string(std::clamp(p.kbps, 8, 320) * 1000)), std::string::npos) << info;

    // Packet sizes differ only by the padding byte.
    std::string sizes = Probe(path, "packet=size");
    int lo = 1 << 30, hi = 0, count = 0;
    for (std::size_t at = 0; (at = sizes.find("size=", at)) != std::string::npos; at += 5) {
        int s = std::atoi(sizes.c_str() + at + 5);
        lo = std::min(lo, s);
        hi = std::max(hi, s);
        ++count;
    }
    EXPECT_GT(count, 10);
    EXPECT_LE(hi - lo, 1) << "packet sizes " << lo << " .. " << hi;
}

TEST(Mp3Encoder, WritesPlainCbrFrames) {
    CTestTempDir dir;
    const Params cases[] = {
        {2, 44100, 44100, 128, -1},
        {1, 22050, 22050, 48, 3},
        {2, 48000, 44100, 64, 3},  // resampled by the encoder, mixed down
        {1, 8000, 11025, 4, -1},   // bit rate clamped up to 8
        {2, 44100, 44100, 400, 1}, // clamped down to 320
    };
    for (const Params& p : cases) {
        SCOPED_TRACE(std::to_string(p.inRate) + " -> " + std::to_string(p.outRate) + " @" + std::to_string(p.kbps));
        std::string path = (dir / "t.mp3").string();
        ASSERT_TRUE(EncodeChirp(path, p, p.inRate));  // one second
        ExpectPlainCbr(path, p);
    }
}

// The channel mode lies in the top two bits of the header's fourth byte (ISO 11172-3).
TEST(Mp3Encoder, ChannelModeReachesTheFrameHeader) {
    CTestTempDir dir;
    std::string path = (dir / "m.mp3").string();
    const int modes[][2] = {{0, 0}, {1, 1}, {2, 0}, {7, 0}, {3, 3}};
    for (const auto& m : modes) {
        ASSERT_TRUE(EncodeChirp(path, {2, 44100, 44100, 128, m[0]}, 44100));
        std::string bytes = ReadText(path);
        EXPECT_EQ(static_cast<unsigned char>(bytes[3]) >> 6, m[1]) << "SetMode " << m[0];
    }
}

// The decoded sound lags the input by the encoder's delay plus the decoder's 529 samples:
// the number the event sound's SeekSamples relies on for gapless loops.
TEST(Mp3Encoder, EncoderDelayMatchesTheDecodedLag) {
    CTestTempDir dir;
    std::string path = (dir / "d.mp3").string();
    int delay = 0;
    const int rate = 44100;
    ASSERT_TRUE(EncodeChirp(path, {1, rate, rate, 128, 3}, rate, &delay));
    EXPECT_GT(delay, 0);
    std::string raw = RunCommand("ffmpeg -v error -i '" + path + "' -f s16le -ac 1 -");
    std::vector<std::int16_t> dec(raw.size() / 2);
    std::memcpy(dec.data(), raw.data(), dec.size() * 2);
    auto src = Chirp(rate, rate);
    ASSERT_GT(dec.size(), static_cast<std::size_t>(rate));
    int bestLag = -1;
    double best = -1;
    for (int lag = 0; lag < 3000; ++lag) {
        double sum = 0;
        for (int i = 0; i < 20000 && i + lag < static_cast<int>(dec.size()); ++i)
            sum += static_cast<double>(src[static_cast<std::size_t>(i)]) * dec[static_cast<std::size_t>(i + lag)];
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, delay + 529);
}

TEST(Mp3Encoder, FailuresAreReported) {
    CTestTempDir dir;
    // A full disk: some write (at the latest the flush on Close) must fail.
    EXPECT_FALSE(EncodeChirp("/dev/full", {2, 44100, 44100, 128, -1}, 44100));
    // A folder that does not exist.
    CMp3Encoder enc;
    EXPECT_FALSE(enc.Open((dir / "missing" / "x.mp3").string()));
    EXPECT_FALSE(enc.IsOpen());
    EXPECT_TRUE(enc.Close());
    // Encoding before the parameters were accepted.
    ASSERT_TRUE(enc.Open((dir / "x.mp3").string()));
    std::int16_t pcm[4] = {};
    EXPECT_FALSE(enc.Encode(pcm, pcm, 4));
    EXPECT_FALSE(enc.Close());  // nothing encoded: no MP3
}

}  // namespace
}  // namespace tonvela
