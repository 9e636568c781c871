#include "audio/DecoderLibrary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include "audio/FfmpegStream.h"
#include "audio/OpenmptMusic.h"

namespace tonvela {

DecoderVersions DecoderBuiltVersions() {
    return {LIBAVFORMAT_VERSION_MAJOR, LIBAVCODEC_VERSION_MAJOR, LIBSWRESAMPLE_VERSION_MAJOR,
            LIBAVUTIL_VERSION_MAJOR, OPENMPT_API_VERSION_MAJOR};
}

DecoderVersions DecoderRuntimeVersions() {
    // FFmpeg packs major.minor.micro as 8.8.8 bits above bit 16; libopenmpt as 8.8.16.
    return {avformat_version() >> 16, avcodec_version() >> 16, swresample_version() >> 16,
            avutil_version() >> 16, openmpt_get_library_version() >> 24};
}

std::string DecoderRefusalReason(const std::string& path) {
    std::string reason = FfmpegRefusalReason(path);
    return reason.empty() ? OpenmptRefusalReason(path) : reason;
}

bool DecoderLibraryInit() {
    // Probing junk files must not print anything: refusals are reported as results.
    av_log_set_level(AV_LOG_QUIET);
    // The libraries are usable when they know the most common stream and music formats.
    return av_find_input_format("mp3") != nullptr && avcodec_find_decoder(AV_CODEC_ID_MP3) != nullptr &&
           openmpt_is_extension_supported("mod") != 0;
}

void DecoderLibraryFree() {
    // FFmpeg and libopenmpt hold no process-wide state that needs releasing; each channel
    // releases its own handles. Kept as the one place shut-down goes through.
}

}  // namespace tonvela
