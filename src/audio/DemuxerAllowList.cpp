#include "audio/DemuxerAllowList.h"

#include <algorithm>

namespace tonvela {

namespace {

template <typename Match>
bool AnyName(std::string_view names, Match match) {
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        if (match(names.substr(0, comma))) return true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
    return false;
}

}  // namespace

std::string DemuxerAllowList() {
    std::string list;
    for (const AllowedDemuxer& d : kAllowedDemuxers) {
        if (!list.empty()) list += ',';
        list += d.name;
    }
    return list;
}

bool IsAllowedDemuxer(std::string_view ffmpegNames) {
    return AnyName(ffmpegNames, [](std::string_view n) {
        return std::any_of(std::begin(kAllowedDemuxers), std::end(kAllowedDemuxers),
                           [n](const AllowedDemuxer& d) { return d.name == n; });
    });
}

bool IsPlaylistDemuxer(std::string_view ffmpegNames) {
    return AnyName(ffmpegNames, [](std::string_view n) {
        return std::find(std::begin(kPlaylistDemuxers), std::end(kPlaylistDemuxers), n) != std::end(kPlaylistDemuxers);
    });
}

bool IsModuleDemuxer(std::string_view ffmpegNames) {
    return AnyName(ffmpegNames, [](std::string_view n) {
        return std::find(std::begin(kModuleDemuxers), std::end(kModuleDemuxers), n) != std::end(kModuleDemuxers);
    });
}

}  // namespace tonvela
