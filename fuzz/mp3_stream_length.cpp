// Feeds arbitrary bytes, as a file, to the measure of an MPEG audio stream: tags, frame chains
// and the halving search for the end of a long stream (a small scan budget reaches it).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "audio/MpegStreamLength.h"
#include "platform/UniqueFd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const tonvela::CUniqueFd fd(::memfd_create("tonvela-fuzz-mpeg", MFD_CLOEXEC));
    if (fd.Get() < 0) return 0;
    std::size_t done = 1;
    while (done < size) {
        const ssize_t n = ::write(fd.Get(), data + done, size - done);
        if (n <= 0) return 0;
        done += static_cast<std::size_t>(n);
    }
    // The first byte picks the budget: whole streams, or a few frames before the search.
    const std::uint64_t budget = (data[0] & 1) != 0 ? tonvela::kMpegScanBytes : 1u + data[0] * 16u;
    const auto measured = tonvela::MeasureMpegStream(fd.Get(), budget);
    if (measured && (measured->end > size || measured->sampleRate <= 0)) __builtin_trap();
    return 0;
}
