#include "audio/OpenmptMusic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "platform/UniqueFile.h"

namespace tonvela {

namespace {

constexpr int kDefaultMusicRate = 44100;
// Module files are small; anything larger is not worth loading into memory as music.
constexpr long kMaxModuleBytes = 256L * 1024 * 1024;
constexpr std::uint32_t kFrameBytes = 4;  // 16-bit stereo


}  // namespace

std::unique_ptr<CDecoderChannel> DecoderMusicLoad(const std::string& path, int sampleRate) {
    return COpenmptMusic::Load(path, sampleRate);
}

std::unique_ptr<COpenmptMusic> COpenmptMusic::Load(const std::string& path, int sampleRate) {
    // libopenmpt renders between 8000 and 192000 Hz; 0 asks for the default.
    if (sampleRate != 0 && (sampleRate < 8000 || sampleRate > 192000)) return nullptr;
    CUniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return nullptr;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return nullptr;
    const long size = std::ftell(file.get());
    if (size <= 0 || size > kMaxModuleBytes || std::fseek(file.get(), 0, SEEK_SET) != 0) return nullptr;

    // Look at the header first, so a file that is no module is refused without reading it all.
    std::vector<unsigned char> data(std::min<std::size_t>(openmpt_probe_file_header_get_recommended_size(),
                                                          static_cast<std::size_t>(size)));
    if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) return nullptr;
    const int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, data.data(), data.size(),
                                                static_cast<std::uint64_t>(size), openmpt_log_func_silent,
                                                nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr);
    if (probe != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS && probe != OPENMPT_PROBE_FILE_HEADER_RESULT_WANTMOREDATA)
        return nullptr;
    const std::size_t head = data.size();
    data.resize(static_cast<std::size_t>(size));
    if (std::fread(data.data() + head, 1, data.size() - head, file.get()) != data.size() - head) return nullptr;
    file.reset();

    openmpt_module* module =
        openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    if (module == nullptr) return nullptr;
    std::unique_ptr<COpenmptMusic> music(new COpenmptMusic());
    music->module_ = module;
    music->rate_ = sampleRate == 0 ? kDefaultMusicRate : sampleRate;
    // libopenmpt works the duration out from the pattern data without rendering anything.
    const double seconds = openmpt_module_get_duration_seconds(module);
    if (std::isfinite(seconds) && seconds > 0.0 && seconds < 1e7)
        music->length_ = static_cast<std::uint64_t>(seconds * music->rate_) * kFrameBytes;
    return music;
}

COpenmptMusic::~COpenmptMusic() {
    if (module_ != nullptr) openmpt_module_destroy(module_);
}

double COpenmptMusic::BytesToSeconds(std::uint64_t bytes) const {
    return static_cast<double>(bytes) / (static_cast<double>(kFrameBytes) * rate_);
}

std::uint32_t COpenmptMusic::GetData(void* buffer, std::uint32_t bytes) {
    const std::size_t frames = bytes / kFrameBytes;
    if (frames == 0) return kDecoderDataEnd;
    const std::size_t rendered =
        openmpt_module_read_interleaved_stereo(module_, rate_, frames, static_cast<std::int16_t*>(buffer));
    if (rendered == 0) return kDecoderDataEnd;
    const auto delivered = static_cast<std::uint32_t>(rendered * kFrameBytes);
    position_ += delivered;
    return delivered;
}

}  // namespace tonvela
