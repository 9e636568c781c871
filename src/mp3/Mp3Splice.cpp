#include "mp3/Mp3Splice.h"

#include <algorithm>

#include "audio/Mp3FrameHeader.h"

namespace tonvela {

namespace {

class SideInfoBits {
public:
    SideInfoBits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    unsigned Read(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++pos_) {
            const std::size_t byte = pos_ / 8;
            const unsigned bit = byte < size_ ? (data_[byte] >> (7 - pos_ % 8)) & 1u : 0u;
            v = (v << 1) | bit;
        }
        return v;
    }
    void Skip(int n) { pos_ += static_cast<std::size_t>(n); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// One granule of one channel: adds its part2_3_length to bits, returns its block type.
int ReadGranule(SideInfoBits& bits, bool mpeg1, std::size_t& dataBits) {
    dataBits += bits.Read(12);                 // part2_3_length
    bits.Skip(9 + 8 + (mpeg1 ? 4 : 9));        // big_values, global_gain, scalefac_compress
    int blockType = 0;
    if (bits.Read(1)) {                        // window_switching_flag
        blockType = static_cast<int>(bits.Read(2));
        bits.Skip(1 + 2 * 5 + 3 * 3);          // mixed_block_flag, table_select, subblock_gain
    } else {
        bits.Skip(3 * 5 + 4 + 3);              // table_select, region0_count, region1_count
    }
    bits.Skip((mpeg1 ? 1 : 0) + 1 + 1);        // preflag (MPEG-1 only), scalefac_scale, count1table_select
    return blockType;
}


// The main-data areas of all frames as one run of bytes, and where each frame's area starts.
struct MainRun {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> start;  // per frame, plus one past the last
};

MainRun MainDataRun(const Mp3Stream& s) {
    MainRun run;
    for (const Mp3FrameSpan& span : s.index.frames) {
        run.start.push_back(run.bytes.size());
        run.bytes.insert(run.bytes.end(), s.bytes.begin() + static_cast<std::ptrdiff_t>(span.mainStart),
                         s.bytes.begin() + static_cast<std::ptrdiff_t>(span.offset + span.length));
    }
    run.start.push_back(run.bytes.size());
    return run;
}

// Physical positions of the last `count` main-data bytes before local frame `end`, in stream
// order, from local frames first .. end-1 only; empty when they hold fewer.
std::vector<std::size_t> MainDataBefore(const Mp3Stream& s, std::size_t end, std::size_t first, std::size_t count) {
    std::vector<std::size_t> reversed;
    reversed.reserve(count);
    for (std::size_t f = end; f > first && reversed.size() < count; --f) {
        const Mp3FrameSpan& span = s.index.frames[f - 1];
        for (std::size_t p = span.offset + span.length; p > span.mainStart && reversed.size() < count; --p)
            reversed.push_back(p - 1);
    }
    if (reversed.size() < count) return {};
    return {reversed.rbegin(), reversed.rend()};
}

void WriteMainDataBegin(std::uint8_t* sideInfo, bool mpeg1, std::size_t mdb) {
    if (mpeg1) {
        sideInfo[0] = static_cast<std::uint8_t>(mdb >> 1);
        sideInfo[1] = static_cast<std::uint8_t>((sideInfo[1] & 0x7Fu) | ((mdb & 1u) << 7));
    } else {
        sideInfo[0] = static_cast<std::uint8_t>(mdb);
    }
}

// Lays the frames from local frame l out greedily: each frame's data starts as early as the
// previous data and the reach of main_data_begin allow; stops at the first frame whose data
// would run past its own frame.
Mp3Relaid Relay(const Mp3Stream& raw, const MainRun& src, std::size_t l, std::size_t freeBytes) {
    const std::size_t end = raw.index.frames.size();
    const bool mpeg1 = raw.index.version == 3;
    const std::size_t maxMdb = mpeg1 ? 511 : 255;

    // Coordinates: 0 is the first free byte before frame l; each frame's area follows.
    std::vector<std::uint8_t> run(freeBytes, 0);
    std::vector<std::size_t> mdb;
    std::size_t dataEnd = 0;
    std::size_t f = l;
    for (; f < end; ++f) {
        const Mp3FrameSpan& span = raw.index.frames[f];
        const std::size_t header = run.size();
        const std::size_t capacity = span.offset + span.length - span.mainStart;
        const std::size_t start = std::max(dataEnd, header > maxMdb ? header - maxMdb : 0);
        const auto back = static_cast<std::size_t>(span.mainDataBegin);
        if (start + span.mainDataBytes > header + capacity || back > src.start[f]) break;
        const std::size_t from = src.start[f] - back;
        run.resize(header + capacity, 0);
        std::copy_n(src.bytes.begin() + static_cast<std::ptrdiff_t>(from), span.mainDataBytes,
                    run.begin() + static_cast<std::ptrdiff_t>(start));
        mdb.push_back(header - start);
        dataEnd = start + span.mainDataBytes;
    }

    Mp3Relaid out;
    out.head.assign(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(freeBytes));
    out.stream.firstFrame = raw.firstFrame + l;
    out.stream.index.version = raw.index.version;
    out.stream.index.samplesPerFrame = raw.index.samplesPerFrame;
    out.stream.index.channels = raw.index.channels;
    std::vector<std::uint8_t>& bytes = out.stream.bytes;
    std::size_t pos = freeBytes;
    for (std::size_t i = 0; i < f - l; ++i) {
        Mp3FrameSpan span = raw.index.frames[l + i];
        const std::size_t capacity = span.offset + span.length - span.mainStart;
        const std::size_t sideInfoAt = bytes.size() + 4 + ((raw.bytes[span.offset + 1] & 1u) == 0 ? 2 : 0);
        const std::size_t at = bytes.size();
        bytes.insert(bytes.end(), raw.bytes.begin() + static_cast<std::ptrdiff_t>(span.offset),
                     raw.bytes.begin() + static_cast<std::ptrdiff_t>(span.mainStart));
        bytes.insert(bytes.end(), run.begin() + static_cast<std::ptrdiff_t>(pos),
                     run.begin() + static_cast<std::ptrdiff_t>(pos + capacity));
        pos += capacity;
        WriteMainDataBegin(bytes.data() + sideInfoAt, mpeg1, mdb[i]);
        span.mainStart = at + (span.mainStart - span.offset);
        span.offset = at;
        span.mainDataBegin = static_cast<int>(mdb[i]);
        out.stream.index.frames.push_back(span);
    }
    return out;
}

}  // namespace

bool IndexMp3Frames(const std::vector<std::uint8_t>& bytes, Mp3FrameIndex& out, std::size_t reservoirBefore,
                    bool partialTail) {
    out = {};
    Mp3FrameHeader first;
    std::size_t pos = 0;
    std::size_t mainSoFar = reservoirBefore;  // main-data bytes before this frame
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 4) {
            if (partialTail) break;
            return false;
        }
        const std::uint32_t word = (std::uint32_t{bytes[pos]} << 24) | (std::uint32_t{bytes[pos + 1]} << 16) |
                                   (std::uint32_t{bytes[pos + 2]} << 8) | bytes[pos + 3];
        Mp3FrameHeader h;
        if (!DecodeMp3FrameHeader(word, h) || h.layer != 1) return false;
        if (out.frames.empty()) {
            first = h;
        } else if (h.version != first.version || h.sampleRate != first.sampleRate || h.channels != first.channels) {
            return false;
        }
        const bool mpeg1 = h.version == 3;
        const bool crc = (bytes[pos + 1] & 1u) == 0;
        const std::size_t sideInfo = mpeg1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
        const std::size_t headerBytes = 4 + (crc ? 2 : 0) + sideInfo;
        const std::size_t length = static_cast<std::size_t>(h.length);
        if (length < headerBytes) return false;
        if (length > bytes.size() - pos) {
            if (partialTail) break;
            return false;
        }

        Mp3FrameSpan span;
        span.offset = pos;
        span.length = length;
        span.mainStart = pos + headerBytes;
        SideInfoBits bits(bytes.data() + pos + 4 + (crc ? 2 : 0), sideInfo);
        span.mainDataBegin = static_cast<int>(bits.Read(mpeg1 ? 9 : 8));
        bits.Skip(mpeg1 ? (h.channels == 1 ? 5 : 3) : (h.channels == 1 ? 1 : 2));  // private bits
        if (mpeg1) bits.Skip(4 * h.channels);                                       // scfsi
        std::size_t dataBits = 0;
        const int granules = mpeg1 ? 2 : 1;
        for (int g = 0; g < granules; ++g)
            for (int ch = 0; ch < h.channels; ++ch) span.lastBlockType[ch] = ReadGranule(bits, mpeg1, dataBits);
        span.mainDataBytes = (dataBits + 7) / 8;
        // The data must start within what came before and end within this frame.
        const std::size_t capacity = length - headerBytes;
        const auto back = static_cast<std::size_t>(span.mainDataBegin);
        if (back > mainSoFar || span.mainDataBytes > back + capacity) return false;
        mainSoFar += capacity;
        out.frames.push_back(span);
        pos += length;
    }
    out.version = first.version;
    out.samplesPerFrame = first.samplesPerFrame;
    out.channels = first.channels;
    return !out.frames.empty();
}

Mp3Relaid RelayMp3Frames(const Mp3Stream& raw, std::size_t fromFrame, std::size_t freeBytes) {
    if (fromFrame < raw.firstFrame || fromFrame > raw.EndFrame()) return {};
    return Relay(raw, MainDataRun(raw), fromFrame - raw.firstFrame, freeBytes);
}

std::optional<Mp3Join> FindMp3Join(const Mp3Stream& earlier, std::size_t keepFrom, const Mp3Stream& later,
                                   std::size_t from, std::size_t to, std::size_t needUntil) {
    const Mp3FrameIndex& ei = earlier.index;
    const Mp3FrameIndex& li = later.index;
    if (ei.version != li.version || ei.channels != li.channels || ei.samplesPerFrame != li.samplesPerFrame)
        return std::nullopt;
    const MainRun src = MainDataRun(later);
    const std::size_t keepLocal = keepFrom > earlier.firstFrame ? keepFrom - earlier.firstFrame : 0;
    for (std::size_t g = std::max({from, earlier.firstFrame + 1, later.firstFrame + 1, keepFrom + 1}); g < to; ++g) {
        const std::size_t e = g - earlier.firstFrame, l = g - later.firstFrame;
        if (e >= ei.frames.size() || l >= li.frames.size()) break;
        // The decoder overlaps each granule with the one before: the seam needs the same window
        // shape on both sides.
        bool sameWindows = true;
        for (int ch = 0; ch < ei.channels; ++ch)
            sameWindows = sameWindows && ei.frames[e - 1].lastBlockType[ch] == li.frames[l - 1].lastBlockType[ch];
        if (!sameWindows) continue;
        // The bytes the earlier stream's frames from g on took from before g are free.
        const auto freeBytes = static_cast<std::size_t>(ei.frames[e].mainDataBegin);
        if (MainDataBefore(earlier, e, keepLocal, freeBytes).size() != freeBytes) continue;
        Mp3Relaid relaid = Relay(later, src, l, freeBytes);
        if (relaid.stream.EndFrame() < std::min(needUntil, later.EndFrame())) continue;
        return Mp3Join{g, std::move(relaid)};
    }
    return std::nullopt;
}

void PatchMp3Join(Mp3Stream& earlier, const Mp3Join& join) {
    const std::size_t e = join.frame - earlier.firstFrame;
    const std::vector<std::size_t> slots = MainDataBefore(earlier, e, 0, join.later.head.size());
    for (std::size_t i = 0; i < slots.size(); ++i) earlier.bytes[slots[i]] = join.later.head[i];
}

}  // namespace tonvela
