#include "convert/ChooseEncoding.h"

#include <gtest/gtest.h>

#include "convert/ConvertOptions.h"

namespace tonvela {
namespace {

TEST(ChooseEncoding, AutomaticAndManual) {
    CConvertOptions o("/data");
    struct Case {
        int rate, channels, wantRate, wantKbps;
        bool wantMono;
    };
    const Case automatic[] = {
        {44100, 2, 44100, 128, false}, {48000, 1, 44100, 64, true}, {22050, 2, 22050, 96, false},
        {8000, 1, 22050, 48, true},    {22051, 2, 44100, 128, false},
    };
    for (const Case& c : automatic) {
        EncodingChoice e = ChooseEncoding(o, c.rate, c.channels);
        EXPECT_EQ(e.sampleRate, c.wantRate) << c.rate;
        EXPECT_EQ(e.bitRate, c.wantKbps) << c.rate;
        EXPECT_EQ(e.forceMono, c.wantMono) << c.rate;
    }
    o.AutoDestMP3EncodingParam = 0;
    o.MP3SampleRate = 11025;
    o.MP3BitRate = 320;
    o.MP3ChannelNum = 1;
    EncodingChoice e = ChooseEncoding(o, 44100, 2);
    EXPECT_EQ(e.sampleRate, 11025);
    EXPECT_EQ(e.bitRate, 320);  // clamping is the encoder's job
    EXPECT_TRUE(e.forceMono);
    EXPECT_FALSE(ChooseEncoding(o, 44100, 1).forceMono);  // already mono: mode not set
    o.MP3ChannelNum = 2;
    EXPECT_FALSE(ChooseEncoding(o, 44100, 1).forceMono);
    EXPECT_FALSE(ChooseEncoding(o, 44100, 2).forceMono);
}

}  // namespace
}  // namespace tonvela
