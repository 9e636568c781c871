#include "swf/SwfHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/OpenRegularFile.h"

namespace tonvela {

namespace {

// A compressed header is at most this far into the file: far more than any compressor needs for
// the 21 bytes after the first 8, yet a bound whatever the stream holds.
constexpr std::size_t kMaxCompressedRead = 64 * 1024;

// The fields after the first 8 bytes (RECT, rate, count).
std::optional<SwfHeader> ParseBody(SwfHeader h, const std::uint8_t* body, std::size_t size) {
    CSwfBitReader r(body, size);
    h.frame = r.ReadRect();
    h.frameRate = r.ReadU16();
    h.frameCount = r.ReadU16();
    if (r.failed()) return std::nullopt;
    return h;
}

// The first 8 bytes: signature, version and declared length.
std::optional<SwfHeader> ParseStart(const std::uint8_t* p) {
    if ((p[0] != 'F' && p[0] != 'C') || p[1] != 'W' || p[2] != 'S') return std::nullopt;
    SwfHeader h;
    h.compressed = p[0] == 'C';
    h.version = p[3];
    h.fileLength = static_cast<std::uint32_t>(p[4]) | static_cast<std::uint32_t>(p[5]) << 8 |
                   static_cast<std::uint32_t>(p[6]) << 16 | static_cast<std::uint32_t>(p[7]) << 24;
    return h;
}

// Inflates the start of a zlib stream, taking its input from next(); stops once out is full.
// Returns the bytes inflated (fewer when the stream ends or is corrupt).
template <class Next>
std::size_t InflateStart(Next&& next, std::uint8_t* out, std::size_t outSize) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return 0;
    z.next_out = out;
    z.avail_out = static_cast<uInt>(outSize);
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            const auto [data, size] = next();
            if (size == 0) break;
            z.next_in = const_cast<Bytef*>(data);
            z.avail_in = static_cast<uInt>(size);
        }
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK) break;  // the end of the stream, or corrupt data
    }
    const std::size_t got = outSize - z.avail_out;
    inflateEnd(&z);
    return got;
}

// Reads until size bytes, the end of the file or an error; returns the bytes read.
}  // namespace

std::optional<SwfHeader> ParseSwfHeader(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 8) return std::nullopt;
    std::optional<SwfHeader> h = ParseStart(data);
    if (!h) return std::nullopt;
    if (!h->compressed) return ParseBody(*h, data + 8, size - 8);
    std::array<std::uint8_t, kMaxSwfHeaderBytes - 8> body{};
    std::size_t left = std::min(size - 8, kMaxCompressedRead);
    const std::uint8_t* in = data + 8;
    auto next = [&]() -> std::pair<const std::uint8_t*, std::size_t> {
        const std::size_t n = std::min<std::size_t>(left, 4096);
        const std::uint8_t* p = in;
        in += n;
        left -= n;
        return {p, n};
    };
    return ParseBody(*h, body.data(), InflateStart(next, body.data(), body.size()));
}

std::optional<SwfHeader> ReadSwfHeader(const std::filesystem::path& path) {
    CUniqueFd fd = OpenRegularFile(path);
    if (!fd.IsOpen()) return std::nullopt;
    // An uncompressed header is read whole; a compressed one as far as the bound at most.
    std::vector<std::uint8_t> bytes(kMaxSwfHeaderBytes);
    std::size_t have = ReadUpTo(fd.Get(), bytes.data(), 8);
    if (have == 8 && bytes[0] == 'C') bytes.resize(kMaxCompressedRead + 8);
    if (have == 8) have += ReadUpTo(fd.Get(), bytes.data() + 8, bytes.size() - 8);
    return ParseSwfHeader(bytes.data(), have);
}

}  // namespace tonvela
