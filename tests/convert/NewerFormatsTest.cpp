// The formats people have today: each extension is accepted by the folder search, listed in the
// Add Files filters and decoded, checked with a file that ffmpeg writes at test time.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "audio/DemuxerAllowList.h"
#include "audio/TestUtil.h"
#include "convert/FileList.h"
#include "convert/FolderSearch.h"
#include "convert/SupportedExtensions.h"

namespace tonvela {
namespace {

using test::RunCommand;

// Patterns of one filter item, split at ";".
std::vector<std::string> Patterns(const FileFilter& f) {
    std::vector<std::string> out;
    std::string p = f.patterns;
    for (std::size_t start = 0; start <= p.size();) {
        const std::size_t end = std::min(p.find(';', start), p.size());
        out.push_back(p.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Every pattern of every item (but "*.*") is a supported extension and is offered by the first
// item; the last item holds the newer formats, so the older items keep their places.
TEST(OpenFileFilters, EveryPatternSupportedAndInTheFirstItem) {
    const std::vector<std::string> all = Patterns(kOpenFileFilters[0]);
    for (const FileFilter& f : kOpenFileFilters) {
        for (const std::string& p : Patterns(f)) {
            if (p == "*.*") continue;
            EXPECT_TRUE(IsSupportedExtension(p.substr(1))) << p;
            EXPECT_NE(std::find(all.begin(), all.end(), p), all.end()) << p;
        }
    }
    EXPECT_STREQ(kOpenFileFilters[std::size(kOpenFileFilters) - 2].label, "All Files (*.*)");
    EXPECT_EQ(std::string(kOpenFileFilters[std::size(kOpenFileFilters) - 1].label).rfind("Other Audio Files (", 0), 0u);
}

// FFmpeg may only read the containers of the accepted extensions: each extension has its
// demuxer (or a reader of its own), each allowed demuxer serves accepted extensions and exists
// in the FFmpeg we run with, and none of them reads playlists.
TEST(OpenFileFilters, EveryExtensionHasItsReaderAndNoOtherIsAllowed) {
    const std::vector<std::string> ownReaders = {"*.snd", "*.cda", "*.mo3", "*.mod", "*.xm", "*.it", "*.s3m", "*.mtm", "*.umx"};
    std::string served;
    for (const AllowedDemuxer& d : kAllowedDemuxers) {
        EXPECT_NE(av_find_input_format(std::string(d.name).c_str()), nullptr) << d.name;
        EXPECT_FALSE(IsPlaylistDemuxer(d.name)) << d.name;
        served += " " + std::string(d.extensions) + " ";
    }
    for (const std::string& p : Patterns(kOpenFileFilters[0])) {
        const bool own = std::find(ownReaders.begin(), ownReaders.end(), p) != ownReaders.end();
        EXPECT_NE(own, served.find(" " + p.substr(1) + " ") != std::string::npos) << p;
    }
    for (std::size_t at = 0; (at = served.find('.', at)) != std::string::npos; ++at)
        EXPECT_TRUE(IsSupportedExtension(served.substr(at, served.find(' ', at) - at))) << served.substr(at);
    EXPECT_FALSE(IsAllowedDemuxer("hls") || IsAllowedDemuxer("concat") || IsAllowedDemuxer("libopenmpt"));
    EXPECT_TRUE(IsAllowedDemuxer("mov,mp4,m4a,3gp,3g2,mj2") && IsAllowedDemuxer("matroska,webm"));
}

// An AMR-NB file by hand (RFC 4867, section 5): "#!AMR\n", then 12.2 kbit/s frames of a
// header byte 0x3C and 31 bytes; the bits of a frame are any speech parameters the decoder
// takes. ffmpeg has no AMR encoder of its own.
void WriteAmr(const std::string& path, int frames) {
    std::ofstream out(path, std::ios::binary);
    out << "#!AMR\n";
    for (int i = 0; i < frames; ++i) {
        out.put(static_cast<char>(0x3C));
        for (int k = 0; k < 31; ++k) out.put(static_cast<char>((i * 31 + k) * 37 & 0xFF));
    }
}

TEST(NewerFormats, FoundByFolderSearchAndDecoded) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    test::TempDir dir;
    const std::string sub = dir.File("sub");
    std::filesystem::create_directories(sub);
    const struct {
        const char* ext;
        std::vector<std::string> args;  // after the input, before the output; empty: made by hand
        int rate;
    } cases[] = {
        {".opus", {"-c:a", "libopus"}, 48000},
        {".webm", {"-c:a", "libopus", "-f", "webm"}, 48000},
        {".weba", {"-c:a", "libvorbis", "-f", "webm"}, 44100},
        {".mka", {"-c:a", "flac", "-f", "matroska"}, 44100},
        {".caf", {"-c:a", "pcm_s16be", "-f", "caf"}, 44100},
        {".w64", {"-c:a", "pcm_s16le", "-f", "w64"}, 44100},
        {".rf64", {"-c:a", "pcm_s16le", "-rf64", "always", "-f", "wav"}, 44100},
        {".m4r", {"-c:a", "aac", "-f", "ipod"}, 44100},
        {".3gp", {"-c:a", "aac", "-f", "3gp"}, 44100},
        {".amr", {}, 8000},
        {".dts", {"-c:a", "dca", "-strict", "-2", "-f", "dts"}, 44100},
        {".mpga", {"-c:a", "libmp3lame", "-f", "mp3"}, 44100},
    };
    std::vector<std::string> made;
    for (const auto& c : cases) {
        const std::string path = sub + "/tone" + c.ext;
        if (c.args.empty()) {
            WriteAmr(path, 100);
        } else {
            std::vector<std::string> cmd = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                            "sine=frequency=440:sample_rate=44100:duration=2"};
            cmd.insert(cmd.end(), c.args.begin(), c.args.end());
            cmd.push_back(path);
            ASSERT_EQ(RunCommand(cmd), 0) << c.ext;
        }
        made.push_back(path);
    }

    std::vector<std::string> found;
    CollectFiles(CollectFolders(dir.Path().string()), found);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].ext);
        EXPECT_TRUE(IsSupportedExtension(cases[i].ext));
        EXPECT_NE(std::find(found.begin(), found.end(), made[i]), found.end());
        CFileList list;
        ASSERT_GE(list.AddFileEntry(made[i]), 0);
        ASSERT_EQ(list.Size(), 1u);
        EXPECT_EQ(list.At(0).sampleRate, cases[i].rate);
        EXPECT_EQ(list.At(0).channels, 1);
        EXPECT_EQ(list.At(0).durationSeconds, 2);
    }
}

}  // namespace
}  // namespace tonvela
