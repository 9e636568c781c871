#include "convert/LibraryVersions.h"

#include <lame/lame.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
}
#include <libopenmpt/libopenmpt.h>

namespace tonvela {

namespace {

// FFmpeg packs major.minor.micro as 8.8.8 bits.
std::string Triple(unsigned v) {
    return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

}  // namespace

std::string LibraryVersionsText() {
    std::string text = "LAME ";
    text += get_lame_version();
    text += "\nFFmpeg ";
    text += av_version_info();
    text += " (libavformat " + Triple(avformat_version()) + ", libavcodec " + Triple(avcodec_version()) +
            ", libswresample " + Triple(swresample_version()) + ", libavutil " + Triple(avutil_version()) + ")";
    text += "\nlibopenmpt ";
    const char* mpt = openmpt_get_string("library_version");
    text += mpt != nullptr ? mpt : "?";
    openmpt_free_string(mpt);
    text += "\n";
    return text;
}

}  // namespace tonvela
