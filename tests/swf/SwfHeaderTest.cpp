// The SWF header reader: hand-made uncompressed headers, compressed movies made by Python's zlib,
// and files that end early or are not SWF at all.
#include "swf/SwfHeader.h"

#include <gtest/gtest.h>

#include "SwfTestSupport.h"

namespace tonvela {
namespace {

using namespace swftest;
using Bytes = std::vector<std::uint8_t>;

// "FWS", version 8, declared length 29; 550 x 400 px = 11000 x 8000 twips in a 15-bit RECT
// (01111 0 11000 0 8000 -> 78 00 05 5F 00 00 0F A0 00); 12 fps (8.8: 00 0C); 1 frame.
const Bytes kFws550 = {'F', 'W', 'S', 8, 29, 0, 0, 0, 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00,
                       0x0F, 0xA0, 0x00, 0x00, 0x0C, 0x01, 0x00};
// Version 6, a 6-bit RECT from (-10, -20) to (30, 10) twips:
// 00110 110110 011110 101100 001010 -> 36 CF 58 50; 25.5 fps (8.8: 80 19); 300 frames.
const Bytes kFwsNegative = {'F', 'W', 'S', 6, 0xFF, 0, 0, 0, 0x36, 0xCF, 0x58, 0x50, 0x80, 0x19, 0x2C, 0x01};

// Compresses everything after the first 8 bytes with Python's zlib and writes "CWS" + the rest.
bool WriteCompressed(const fs::path& path, const Bytes& fws) {
    const fs::path raw = path.string() + ".raw";
    WriteFile(raw, fws);
    return Run({"python3", "-c",
                "import sys, zlib; d = open(sys.argv[1], 'rb').read(); "
                "open(sys.argv[2], 'wb').write(b'CWS' + d[3:8] + zlib.compress(d[8:] + bytes(200), 9))",
                raw.string(), path.string()});
}

TEST(SwfHeader, ReadsUncompressedAndCompressed) {
    TempDir dir;
    struct Case {
        const char* name;
        const Bytes& bytes;
        int version;
        std::uint32_t length;
        SwfRect frame;
        std::uint16_t rate, count;
    };
    const Case cases[] = {
        {"550", kFws550, 8, 29, {0, 11000, 0, 8000}, 0x0C00, 1},
        {"negative", kFwsNegative, 6, 255, {-10, 30, -20, 10}, 0x1980, 300},
    };
    for (const Case& c : cases) {
        for (const bool compressed : {false, true}) {
            const fs::path path = dir / (std::string(c.name) + (compressed ? ".cws" : ".fws"));
            if (compressed)
                ASSERT_TRUE(WriteCompressed(path, c.bytes)) << "python3 missing?";
            else
                WriteFile(path, c.bytes);
            const std::optional<SwfHeader> h = ReadSwfHeader(path);
            ASSERT_TRUE(h) << path;
            EXPECT_EQ(h->compressed, compressed) << path;
            EXPECT_EQ(h->version, c.version) << path;
            EXPECT_EQ(h->fileLength, c.length) << path;
            EXPECT_EQ(h->frame.xmin, c.frame.xmin) << path;
            EXPECT_EQ(h->frame.xmax, c.frame.xmax) << path;
            EXPECT_EQ(h->frame.ymin, c.frame.ymin) << path;
            EXPECT_EQ(h->frame.ymax, c.frame.ymax) << path;
            EXPECT_EQ(h->frameRate, c.rate) << path;
            EXPECT_EQ(h->frameCount, c.count) << path;
            // The bytes in memory give the same header as the file.
            const Bytes file = ReadFile(path);
            const std::optional<SwfHeader> m = ParseSwfHeader(file.data(), file.size());
            ASSERT_TRUE(m) << path;
            EXPECT_EQ(m->FrameWidthTwips(), h->FrameWidthTwips()) << path;
            EXPECT_EQ(m->frameCount, h->frameCount) << path;
        }
    }
    // A real movie of this program's writer: the shipped empty movie.
    const std::optional<SwfHeader> empty = ReadSwfHeader(fs::path(TONVELA_SOURCE_DIR) / "data" / "empty.swf");
    ASSERT_TRUE(empty);
    EXPECT_GT(empty->FrameWidthTwips(), 0);
    EXPECT_GT(empty->FrameHeightTwips(), 0);
}

TEST(SwfHeader, RefusesWhatIsNoWholeHeader) {
    TempDir dir;
    Bytes cut550 = kFws550;
    cut550.resize(cut550.size() - 1);  // frame count half there
    Bytes lzma = kFws550;
    lzma[0] = 'Z';
    Bytes cwsGarbage = {'C', 'W', 'S', 8, 29, 0, 0, 0};
    cwsGarbage.resize(4000, 0xA5);
    // A compressed stream cut inside the RECT: zlib of kFws550's body, first 6 bytes only.
    const fs::path cwsFull = dir / "full.cws";
    ASSERT_TRUE(WriteCompressed(cwsFull, kFws550));
    Bytes cwsCut = ReadFile(cwsFull);
    cwsCut.resize(8 + 4);
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"signature only", {'F', 'W', 'S'}},
        {"eight bytes", {'F', 'W', 'S', 8, 29, 0, 0, 0}},
        {"cut before the count", cut550},
        {"LZMA", lzma},
        {"not a SWF", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"CWS with garbage", cwsGarbage},
        {"CWS cut short", cwsCut},
    };
    for (const auto& [name, bytes] : cases) {
        const fs::path path = dir / "x.swf";
        WriteFile(path, bytes);
        EXPECT_FALSE(ReadSwfHeader(path)) << name;
        EXPECT_FALSE(ParseSwfHeader(bytes.data(), bytes.size())) << name;
    }
    EXPECT_FALSE(ReadSwfHeader(dir / "missing.swf"));
    EXPECT_FALSE(ReadSwfHeader(dir.path()));  // a folder
}

}  // namespace
}  // namespace tonvela
