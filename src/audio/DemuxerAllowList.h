// The containers FFmpeg may read for this program: the demuxers of the audio formats it accepts
// by extension, and no other. None of them opens a second resource, so a file is only ever read
// as itself: a playlist, a manifest or an image sequence named like a sound file is refused.
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

struct AllowedDemuxer {
    std::string_view name;        // FFmpeg's short name (the first of its names)
    std::string_view extensions;  // the accepted extensions whose files it reads, space-separated
};

// .snd files and module music (.mod .xm .it .s3m .mtm .umx .mo3) have readers of their own, and
// a .cda file is a shortcut to a CD track with no sound in it: none of them goes to FFmpeg.
inline constexpr AllowedDemuxer kAllowedDemuxers[] = {
    {"mp3", ".mp3 .mp2 .mp1 .mpga"},
    {"aac", ".aac"},
    {"loas", ".aac"},
    {"ac3", ".ac3"},
    {"eac3", ".ac3"},
    {"dts", ".dts"},
    {"dtshd", ".dts"},
    {"aiff", ".aiff .aif .aifc .afc"},
    {"au", ".au"},
    {"adx", ".adx"},
    {"flac", ".flac .fla"},
    {"ape", ".ape .mac"},
    {"mov", ".m4a .m4b .mp4 .m4r .3gp"},
    {"mpc", ".mpc .mp+ .mpp"},
    {"mpc8", ".mpc .mp+ .mpp"},
    {"ogg", ".ogg .oga .spx .opus"},
    {"tta", ".tta"},
    {"wav", ".wav .wave .rf64"},
    {"w64", ".w64"},
    {"wv", ".wv"},
    {"asf", ".wma .wmv .asf"},
    {"matroska", ".mka .webm .weba"},
    {"caf", ".caf"},
    {"amr", ".amr"},
    {"amrnb", ".amr"},
    {"amrwb", ".amr"},
};

// Demuxers whose files list other resources to read instead of holding sound themselves.
inline constexpr std::string_view kPlaylistDemuxers[] = {
    "hls", "dash", "concat", "sdp", "rtp", "rtsp", "sap", "imf", "image2", "webm_dash_manifest",
};

// FFmpeg's demuxers of module music: such files go to the program's own module loader.
inline constexpr std::string_view kModuleDemuxers[] = {"libopenmpt", "libmodplug"};

// The allowed names as FFmpeg's format_whitelist takes them: separated by ",".
std::string DemuxerAllowList();
// FFmpeg's name for a demuxer may list several ("mov,mp4,m4a"): true when one of them is allowed
// (or, for the second, one of them reads playlists).
bool IsAllowedDemuxer(std::string_view ffmpegNames);
bool IsPlaylistDemuxer(std::string_view ffmpegNames);
bool IsModuleDemuxer(std::string_view ffmpegNames);

}  // namespace tonvela
