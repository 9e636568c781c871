#include "audio/OpenmptMusic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "platform/UniqueFile.h"

namespace tonvela {

namespace {

constexpr int kDefaultMusicRate = 44100;
constexpr std::uint32_t kFrameBytes = 4;  // 16-bit stereo

// A file's size and first bytes, and whether those are module music; the file is left at the
// end of what was read.
struct ModuleHead {
    long size = 0;
    bool isModule = false;
    std::vector<unsigned char> bytes;
};

bool ReadModuleHead(std::FILE* file, ModuleHead& head) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    head.size = std::ftell(file);
    if (head.size <= 0 || std::fseek(file, 0, SEEK_SET) != 0) return false;
    head.bytes.resize(std::min<std::size_t>(openmpt_probe_file_header_get_recommended_size(),
                                            static_cast<std::size_t>(head.size)));
    if (std::fread(head.bytes.data(), 1, head.bytes.size(), file) != head.bytes.size()) return false;
    const int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head.bytes.data(),
                                                head.bytes.size(), static_cast<std::uint64_t>(head.size),
                                                openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
                                                nullptr, nullptr, nullptr);
    head.isModule = probe == OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS || probe == OPENMPT_PROBE_FILE_HEADER_RESULT_WANTMOREDATA;
    return true;
}

}  // namespace

std::unique_ptr<CDecoderChannel> DecoderMusicLoad(const std::string& path, int sampleRate) {
    return COpenmptMusic::Load(path, sampleRate);
}

std::string OpenmptRefusalReason(const std::string& path) {
    CUniqueFile file(std::fopen(path.c_str(), "rb"));
    ModuleHead head;
    if (!file || !ReadModuleHead(file.get(), head) || !head.isModule) return {};
    if (static_cast<std::uint64_t>(head.size) > kMaxModuleBytes)
        return "module music of " + std::to_string(static_cast<std::uint64_t>(head.size) >> 20) +
               " MB, more than the " + std::to_string(kMaxModuleBytes >> 20) +
               " MB a module may have (modules are loaded whole into memory)";
    // An Impulse Tracker project ("pti." at 0: ".itp" as a little-endian word) holds patterns
    // and the names of instrument files kept elsewhere; no file but the given one is read.
    if (head.bytes.size() >= 4 && std::memcmp(head.bytes.data(), "pti.", 4) == 0)
        return "a tracker project, not a sound file (its instruments are other files, which are never read)";
    return {};
}

std::unique_ptr<COpenmptMusic> COpenmptMusic::Load(const std::string& path, int sampleRate) {
    // libopenmpt renders between 8000 and 192000 Hz; 0 asks for the default.
    if (sampleRate != 0 && (sampleRate < 8000 || sampleRate > 192000)) return nullptr;
    CUniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return nullptr;
    // The header first, so a file that is no module is refused without reading it all.
    ModuleHead head;
    if (!ReadModuleHead(file.get(), head) || !head.isModule || static_cast<std::uint64_t>(head.size) > kMaxModuleBytes)
        return nullptr;
    std::vector<unsigned char> data = std::move(head.bytes);
    const std::size_t have = data.size();
    data.resize(static_cast<std::size_t>(head.size));
    if (std::fread(data.data() + have, 1, data.size() - have, file.get()) != data.size() - have) return nullptr;
    file.reset();

    // libopenmpt gets the bytes alone, never a file name: it has nothing to find samples beside
    // the module with, and does not load external samples in any case.
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
