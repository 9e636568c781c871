// libFuzzer target: indexing and joining MP3 streams. The input (after 8 bytes of parameters)
// is cut into an earlier and a later stream; both are indexed, the later one relaid and a join
// searched for over a frame range the parameters give, then patched in.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp3/Mp3Splice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    const std::size_t cut = std::min<std::size_t>(static_cast<std::size_t>(data[0] | data[1] << 8 | data[2] << 16), size - 8);
    const std::size_t reservoir = data[3] | (data[4] & 0x03) << 8;
    const std::size_t from = data[5] & 0x3F, span = data[6] & 0x3F, firstLater = data[7] & 0x1F;
    const bool partial = data[4] & 0x80;
    data += 8;
    size -= 8;
    tonvela::Mp3Stream earlier, later;
    earlier.bytes.assign(data, data + cut);
    later.bytes.assign(data + cut, data + size);
    later.firstFrame = firstLater;
    if (!tonvela::IndexMp3Frames(earlier.bytes, earlier.index, 0, partial)) return 0;
    if (!tonvela::IndexMp3Frames(later.bytes, later.index, 0, partial)) return 0;
    (void)tonvela::RelayMp3Frames(later, from, reservoir);
    const auto join = tonvela::FindMp3Join(earlier, from / 2, later, from, from + span, later.EndFrame());
    if (join) tonvela::PatchMp3Join(earlier, *join);
    return 0;
}
