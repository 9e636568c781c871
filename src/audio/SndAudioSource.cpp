#include "audio/SndAudioSource.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "audio/SampleBytes.h"
#include "audio/codecs/G711.h"

namespace tonvela {

namespace {

constexpr std::size_t kHeaderProbe = 120;
constexpr int kHeaderSearchStart = 13;
constexpr int kHeaderSearchPositions = 20;
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFu;

std::uint32_t Get32(const std::uint8_t* p, bool bigEndian) {
    if (bigEndian)
        return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
               static_cast<std::uint32_t>(p[2]) << 8 | p[3];
    return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}


}  // namespace

CSndAudioSource::CSndAudioSource() : buffer_(new std::uint8_t[kBufferBytes]) {}

CSndAudioSource::~CSndAudioSource() { CSndAudioSource::Close(); }

void CSndAudioSource::Close() {
    file_.reset();
    bigEndian_ = false;
    encoding_ = 0;
    fileBits_ = 0;
    dataOffset_ = 0;
    expand_ = nullptr;
    decodeRoutine_ = nullptr;
    g72xState_.Reset();
    g72xDecode_ = nullptr;
    codeBits_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    ClearFormat();
}

bool CSndAudioSource::Open(const std::string& path, int /*musicRate*/) {
    Close();
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return false;
    struct stat st {};
    if (fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode) || !ParseHeader()) {
        Close();
        return false;
    }
    return true;
}

bool CSndAudioSource::ParseHeader() {
    std::uint8_t* h = buffer_.get();
    const std::size_t got = std::fread(h, 1, kHeaderProbe, file_.get());
    if (got < 24) return false;

    const std::uint32_t magic = Get32(h, true);
    if (magic == 0x2E736E64u || magic == 0x2E736400u)
        bigEndian_ = true;
    else if (magic == 0x646E732Eu || magic == 0x0064732Eu)
        bigEndian_ = false;
    else
        return false;

    dataOffset_ = Get32(h + 4, bigEndian_);
    if (dataOffset_ < 24) return false;
    const std::uint32_t dataSize = Get32(h + 8, bigEndian_);
    std::uint32_t encoding = Get32(h + 12, bigEndian_);
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    if (encoding > 27) {
        // Some writers put the fields one byte off; look for a plausible encoding nearby.
        bool found = false;
        for (int i = 0; i < kHeaderSearchPositions; ++i) {
            const std::size_t pos = static_cast<std::size_t>(kHeaderSearchStart + i);
            if (pos + 12 > got) break;
            const std::uint32_t v = Get32(h + pos, bigEndian_);
            if (v <= 27) {
                encoding = v;
                rate = Get32(h + pos + 4, bigEndian_);
                channels = Get32(h + pos + 8, bigEndian_);
                found = true;
                break;
            }
        }
        if (!found) return false;
    } else {
        rate = Get32(h + 16, bigEndian_);
        channels = Get32(h + 20, bigEndian_);
    }

    encoding_ = static_cast<int>(encoding);
    switch (encoding) {
        case 1: fileBits_ = 8; expand_ = ExpandMuLaw; decodeRoutine_ = &CSndAudioSource::ReadG711; break;
        case 2: fileBits_ = 8; decodeRoutine_ = &CSndAudioSource::ReadLinear8; break;
        case 3: fileBits_ = 16; decodeRoutine_ = &CSndAudioSource::ReadLinear16; break;
        case 4: fileBits_ = 24; decodeRoutine_ = &CSndAudioSource::ReadLinear24; break;
        case 5: fileBits_ = 32; decodeRoutine_ = &CSndAudioSource::ReadLinear32; break;
        case 6: fileBits_ = 32; decodeRoutine_ = &CSndAudioSource::ReadFloat; break;
        case 7: fileBits_ = 64; decodeRoutine_ = &CSndAudioSource::ReadDouble; break;
        case 23: fileBits_ = codeBits_ = 4; g72xDecode_ = G721Decode; break;
        case 25: fileBits_ = codeBits_ = 3; g72xDecode_ = G723Decode24; break;
        case 26: fileBits_ = codeBits_ = 5; g72xDecode_ = G723Decode40; break;
        case 27: fileBits_ = 8; expand_ = ExpandALaw; decodeRoutine_ = &CSndAudioSource::ReadG711; break;
        default: return false;
    }
    if (g72xDecode_ != nullptr) {
        decodeRoutine_ = &CSndAudioSource::ReadG72x;
        g72xState_.Reset();
        bitBuffer_ = 0;
        bitCount_ = 0;
    }

    sampleRate_ = rate < 1000 || rate > 100000 ? 8000 : static_cast<int>(rate);
    channels_ = channels == 1 || channels == 2 ? static_cast<int>(channels) : 1;
    outputChannels_ = channels_;
    bitsPerSample_ = 16;
    bytesPerSample_ = 2;

    if (fseeko(file_.get(), static_cast<off_t>(dataOffset_), SEEK_SET) != 0) return false;
    position_ = 0;
    if (dataSize == kUnknownSize) {
        struct stat st {};
        if (fstat(fileno(file_.get()), &st) != 0) return false;
        const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
        length_ = fileSize > dataOffset_ ? fileSize - dataOffset_ : 0;
    } else {
        length_ = dataSize;
    }
    const std::uint64_t frames = length_ * 8 / static_cast<std::uint64_t>(fileBits_ * channels_);
    SetDurationAndBitRate(frames, length_, fileBits_, channels_);
    return true;
}

int CSndAudioSource::Read(void* left, void* right) {
    if (!file_ || decodeRoutine_ == nullptr || left == nullptr) return 0;
    return (this->*decodeRoutine_)(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right));
}

std::size_t CSndAudioSource::ReadBounded(std::size_t n) {
    if (position_ >= length_) return 0;
    if (n > length_ - position_) n = static_cast<std::size_t>(length_ - position_);
    position_ += n;
    return std::fread(buffer_.get(), 1, n, file_.get());
}

template <typename Convert>
int CSndAudioSource::ReadFixed(std::int16_t* left, std::int16_t* right, int sampleBytes, Convert convert) {
    const std::size_t frameBytes = static_cast<std::size_t>(channels_ * sampleBytes);
    const std::size_t got = ReadBounded(frameBytes * kReadFrames);
    const int frames = static_cast<int>(got / frameBytes);
    const std::uint8_t* p = buffer_.get();
    if (channels_ == 2 && right != nullptr) {
        for (int i = 0; i < frames; ++i, p += frameBytes) {
            left[i] = convert(p);
            right[i] = convert(p + sampleBytes);
        }
    } else {
        // A stereo file without a right buffer still keeps left in step.
        for (int i = 0; i < frames; ++i, p += frameBytes) left[i] = convert(p);
    }
    return frames;
}

int CSndAudioSource::ReadLinear8(std::int16_t* left, std::int16_t* right) {
    return ReadFixed(left, right, 1, [](const std::uint8_t* p) {
        return static_cast<std::int16_t>(static_cast<std::int8_t>(p[0]) * 256);
    });
}

int CSndAudioSource::ReadLinear16(std::int16_t* left, std::int16_t* right) {
    if (bigEndian_) return ReadFixed(left, right, 2, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
    return ReadFixed(left, right, 2, [](const std::uint8_t* p) { return Make16(p[1], p[0]); });
}

int CSndAudioSource::ReadLinear24(std::int16_t* left, std::int16_t* right) {
    if (bigEndian_) return ReadFixed(left, right, 3, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
    return ReadFixed(left, right, 3, [](const std::uint8_t* p) { return Make16(p[2], p[1]); });
}

int CSndAudioSource::ReadLinear32(std::int16_t* left, std::int16_t* right) {
    if (bigEndian_) return ReadFixed(left, right, 4, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
    return ReadFixed(left, right, 4, [](const std::uint8_t* p) { return Make16(p[3], p[2]); });
}

int CSndAudioSource::ReadFloat(std::int16_t* left, std::int16_t* right) {
    const bool be = bigEndian_;
    return ReadFixed(left, right, 4, [be](const std::uint8_t* p) {
        const std::uint32_t bits = Get32(p, be);
        float v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return FromFloat(static_cast<double>(v));
    });
}

int CSndAudioSource::ReadDouble(std::int16_t* left, std::int16_t* right) {
    const bool be = bigEndian_;
    return ReadFixed(left, right, 8, [be](const std::uint8_t* p) {
        const std::uint64_t hi = Get32(p, be);
        const std::uint64_t lo = Get32(p + 4, be);
        const std::uint64_t bits = be ? (hi << 32 | lo) : (lo << 32 | hi);
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return FromFloat(v);
    });
}

int CSndAudioSource::ReadG711(std::int16_t* left, std::int16_t* right) {
    const auto expand = expand_;
    return ReadFixed(left, right, 1, [expand](const std::uint8_t* p) { return expand(p[0]); });
}

int CSndAudioSource::ReadG72x(std::int16_t* left, std::int16_t* right) {
    const std::size_t request = static_cast<std::size_t>(channels_ * codeBits_ * kReadFrames / 8);
    const std::size_t got = ReadBounded(request);
    const int frames = static_cast<int>(got * 8 / static_cast<std::size_t>(channels_ * codeBits_));
    const std::uint8_t* p = buffer_.get();
    const std::uint8_t* end = p + got;
    const std::uint32_t mask = (1u << codeBits_) - 1;
    auto next = [&]() {
        // Codes are packed from the least significant bit of each byte upward.
        if (bitCount_ < codeBits_ && p < end) {
            bitBuffer_ |= static_cast<std::uint32_t>(*p++) << bitCount_;
            bitCount_ += 8;
        }
        const int code = static_cast<int>(bitBuffer_ & mask);
        bitBuffer_ >>= codeBits_;
        bitCount_ -= codeBits_;
        return g72xDecode_(code, g72xState_);
    };
    for (int i = 0; i < frames; ++i) {
        left[i] = next();
        if (channels_ == 2) {
            const std::int16_t r = next();
            if (right != nullptr) right[i] = r;
        }
    }
    return frames;
}

}  // namespace tonvela
