#include "audio/AiffAudioSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/SampleBytes.h"
#include "audio/codecs/Dwvw.h"
#include "audio/codecs/G711.h"
#include "audio/codecs/Gsm610.h"
#include "audio/codecs/ImaAdpcm.h"

namespace tonvela {

namespace {

enum Kind : int {
    KindMuLaw = 1,
    KindALaw = 2,
    KindFloat32 = 3,
    KindFloat64 = 4,
    KindInteger = 5,
    KindIma4 = 6,
    KindRaw = 7,
    KindGsm = 8,
    KindDwvw = 9,
};
constexpr int kBigEndian = 2;
constexpr int kLittleEndian = 1;

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
unsigned Be16(const std::uint8_t* p) { return static_cast<unsigned>(p[0] << 8 | p[1]); }


bool IdIs(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// File channel that goes to the right buffer: 1, except 3 for six-channel files.
int SecondChannel(int channels) { return channels == 6 ? 3 : 1; }

}  // namespace

double ExtendedToDouble(const std::uint8_t* b) {
    const bool negative = (b[0] & 0x80) != 0;
    const int e = (b[0] & 0x7F) << 8 | b[1];
    const std::uint32_t hi = Be32(b + 2);
    const std::uint32_t lo = Be32(b + 6);
    double value = 0.0;
    if (e == 0 && hi == 0 && lo == 0)
        value = 0.0;
    else if (e == 0x7FFF)
        value = std::numeric_limits<double>::infinity();
    else
        value = std::ldexp(static_cast<double>(hi), e - 16414) + std::ldexp(static_cast<double>(lo), e - 16446);
    return negative ? -value : value;
}

CAiffAudioSource::CAiffAudioSource() : buffer_(new std::uint8_t[kBufferBytes]) {}

CAiffAudioSource::~CAiffAudioSource() { CAiffAudioSource::Close(); }

void CAiffAudioSource::Close() {
    ima_.reset();
    gsm_.reset();
    gsmSamples_.clear();
    gsmSamples_.shrink_to_fit();
    dwvw_.reset();
    dwvwSamples_.clear();
    dwvwSamples_.shrink_to_fit();
    file_.reset();
    numSampleFrames_ = 0;
    framesFromHeader_ = 0;
    framesFromData_ = 0;
    sampleSize_ = 0;
    kind_ = 0;
    byteOrder_ = 0;
    stride1_ = stride2_ = 0;
    offset_ = 0;
    dataStart_ = dataBytes_ = remaining_ = 0;
    framesDelivered_ = 0;
    secondChannel_ = 0;
    expand_ = nullptr;
    decodeRoutine_ = nullptr;
    ClearFormat();
}

bool CAiffAudioSource::Open(const std::string& path, int /*musicRate*/) {
    Close();
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return false;
    struct stat st {};
    if (fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    length_ = static_cast<std::uint64_t>(st.st_size);

    std::uint8_t form[12];
    bool aifc = false;
    bool ok = std::fread(form, 1, sizeof form, file_.get()) == sizeof form && IdIs(form, "FORM");
    if (ok) {
        aifc = IdIs(form + 8, "AIFC");
        ok = aifc || IdIs(form + 8, "AIFF");
    }
    offset_ = sizeof form;
    if (!ok || !WalkChunks(aifc) || !SetUpRoutine()) {
        Close();
        return false;
    }

    std::uint64_t frames = numSampleFrames_;
    if (kind_ == KindIma4)
        frames = static_cast<std::uint64_t>(static_cast<double>(dataBytes_) / (34.0 * channels_) * 64.0);
    else if (kind_ == KindGsm)
        frames = static_cast<std::uint64_t>(static_cast<double>(dataBytes_) * (1.0 / 33.0) * 160.0);
    if (kind_ == KindIma4 || kind_ == KindGsm) framesFromData_ = frames;
    numSampleFrames_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFFu));
    SetDurationAndBitRate(frames, length_, sampleSize_, channels_);
    bytesPerSample_ = bitsPerSample_ / 8;

    if (fseeko(file_.get(), static_cast<off_t>(dataStart_), SEEK_SET) != 0) {
        Close();
        return false;
    }
    position_ = dataStart_;
    return true;
}

std::size_t CAiffAudioSource::ReadFile(void* dst, std::size_t n) {
    const std::size_t got = std::fread(dst, 1, n, file_.get());
    position_ += got;
    return got;
}

bool CAiffAudioSource::Skip(std::uint64_t n) {
    offset_ += n;
    if (offset_ > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return fseeko(file_.get(), static_cast<off_t>(offset_), SEEK_SET) == 0;
}

bool CAiffAudioSource::WalkChunks(bool aifc) {
    bool haveComm = false;
    bool haveSsnd = false;
    for (;;) {
        std::uint8_t header[8];
        if (std::fread(header, 1, sizeof header, file_.get()) != sizeof header) break;
        offset_ += sizeof header;
        const std::uint64_t rawSize = Be32(header + 4);
        const std::uint64_t size = rawSize + (rawSize & 1);  // chunks are padded to even length
        if (IdIs(header, "COMM")) {
            if (!ParseComm(size, aifc)) return false;
            haveComm = true;
            if (haveSsnd) return true;
        } else if (IdIs(header, "SSND")) {
            if (rawSize < 8) return false;
            std::uint8_t fields[8];
            if (std::fread(fields, 1, sizeof fields, file_.get()) != sizeof fields) return false;
            offset_ += sizeof fields;
            const std::uint64_t dataOffset = Be32(fields);
            // The pad byte of an odd chunk is not sound data.
            if (dataOffset > rawSize - 8) return false;
            dataStart_ = offset_ + dataOffset;
            dataBytes_ = rawSize - 8 - dataOffset;
            // A truncated file holds less than its chunk claims.
            const std::uint64_t available = length_ > dataStart_ ? length_ - dataStart_ : 0;
            dataBytes_ = std::min(dataBytes_, available);
            remaining_ = dataBytes_;
            haveSsnd = true;
            if (haveComm) return true;
            if (!Skip(size - 8)) return false;
        } else if (!Skip(size)) {
            return false;
        }
    }
    return haveComm && haveSsnd;
}

bool CAiffAudioSource::ParseComm(std::uint64_t size, bool aifc) {
    if (aifc ? size < 22 : size != 18) return false;
    // Only the fixed fields are read; a longer chunk's name string is skipped.
    const std::size_t want = aifc ? 22 : 18;
    std::uint8_t* c = buffer_.get();
    if (std::fread(c, 1, want, file_.get()) != want) return false;
    offset_ += want;
    if (!Skip(size - want)) return false;

    channels_ = static_cast<int>(Be16(c));
    switch (channels_) {
        case 1: outputChannels_ = 1; break;
        case 2: case 3: case 4: case 6: outputChannels_ = 2; break;
        default: return false;
    }
    const std::uint32_t frames = Be32(c + 2);
    framesFromHeader_ = frames == 0 || frames == 0xFFFFFFFFu ? 0 : frames;
    numSampleFrames_ = framesFromHeader_ == 0 ? 1 : frames;
    sampleSize_ = static_cast<int>(Be16(c + 6));
    const double rate = ExtendedToDouble(c + 8);
    // A rate below one would divide by zero later; an absurd one cannot be played either.
    if (!(rate >= 1.0 && rate < 2147483648.0)) return false;
    sampleRate_ = static_cast<int>(rate);

    kind_ = KindInteger;
    byteOrder_ = kBigEndian;
    if (!aifc) return true;

    char type[5] = {};
    for (int i = 0; i < 4; ++i) {
        char ch = static_cast<char>(c[18 + i]);
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        type[i] = ch;
    }
    const std::string t(type, 4);
    if (t == "NONE" || t == "TWOS" || t == "IN24" || t == "IN32") {
    } else if (t == "SOWT" || t == "23NI") {
        byteOrder_ = kLittleEndian;
    } else if (t == "ULAW") {
        kind_ = KindMuLaw;
        sampleSize_ = 8;
    } else if (t == "ALAW") {
        kind_ = KindALaw;
        sampleSize_ = 8;
    } else if (t == "FL32") {
        kind_ = KindFloat32;
        sampleSize_ = 32;
    } else if (t == "FL64") {
        kind_ = KindFloat64;
        sampleSize_ = 64;
    } else if (t == "IMA4") {
        kind_ = KindIma4;
        sampleSize_ = 4;
    } else if (t == "RAW ") {
        kind_ = KindRaw;
        sampleSize_ = 8;
    } else if (t == "GSM ") {
        kind_ = KindGsm;
    } else if (t == "DWVW") {
        kind_ = KindDwvw;
        if (sampleSize_ < 8 || sampleSize_ > 24) return false;
    } else {
        return false;
    }
    return true;
}

bool CAiffAudioSource::SetUpRoutine() {
    secondChannel_ = SecondChannel(channels_);
    bitsPerSample_ = 16;
    int sampleBytes = 0;
    switch (kind_) {
        case KindInteger:
            // A zero width would make a frame of no bytes.
            if (sampleSize_ < 1 || sampleSize_ > 32) return false;
            sampleBytes = (sampleSize_ + 7) / 8;
            if (sampleBytes == 1) bitsPerSample_ = 8;
            break;
        case KindMuLaw: expand_ = ExpandMuLaw; sampleBytes = 1; break;
        case KindALaw: expand_ = ExpandALaw; sampleBytes = 1; break;
        case KindFloat32: sampleBytes = 4; break;
        case KindFloat64: sampleBytes = 8; break;
        case KindRaw: sampleBytes = 1; bitsPerSample_ = 8; break;
        case KindIma4: {
            // The decoder handles one or two packets; further channels are picked per block.
            ImaAdpcmFormat f;
            f.formatTag = 17;
            f.channels = static_cast<std::uint16_t>(outputChannels_);
            f.sampleRate = static_cast<std::uint32_t>(sampleRate_);
            f.blockAlign = static_cast<std::uint16_t>(CImaAdpcmDecoder::kIma4PacketBytes * outputChannels_);
            f.bitsPerSample = 4;
            f.samplesPerBlock = CImaAdpcmDecoder::kIma4PacketSamples;
            ima_ = std::make_unique<CImaAdpcmDecoder>();
            if (!ima_->SetFormat(f)) return false;
            decodeRoutine_ = &CAiffAudioSource::ReadIma4;
            return true;
        }
        case KindGsm:
            // How more than two channels would share one frame is not defined anywhere.
            if (channels_ > 2) return false;
            gsm_ = std::make_unique<CGsm610Decoder>();
            if (!gsm_->Create(false)) return false;
            gsmSamples_.assign(CGsm610Decoder::kFrameSamples, 0);
            decodeRoutine_ = &CAiffAudioSource::ReadGsm;
            return true;
        case KindDwvw:
            dwvwSamples_.assign(static_cast<std::size_t>(channels_) * kReadFrames, 0);
            dwvw_ = std::make_unique<CDwvwDecoder>(sampleSize_, [this](std::uint8_t* dst, std::size_t max) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, max));
                remaining_ -= n;
                return ReadFile(dst, n);
            });
            decodeRoutine_ = &CAiffAudioSource::ReadDwvw;
            return true;
        default: return false;
    }
    switch (channels_) {
        case 1: stride1_ = stride2_ = 0; break;
        case 2: stride1_ = stride2_ = sampleBytes; break;
        case 3: stride1_ = sampleBytes; stride2_ = 2 * sampleBytes; break;
        case 4: stride1_ = sampleBytes; stride2_ = 3 * sampleBytes; break;
        default: stride1_ = stride2_ = 3 * sampleBytes; break;
    }
    decodeRoutine_ = &CAiffAudioSource::ReadFrames;
    return true;
}

int CAiffAudioSource::Read(void* left, void* right) {
    if (!file_ || decodeRoutine_ == nullptr || left == nullptr) return 0;
    return (this->*decodeRoutine_)(left, right);
}

template <typename Sample, typename Convert>
int CAiffAudioSource::SplitFrames(Sample* left, Sample* right, int frames, int sampleBytes, Convert convert) {
    const std::uint8_t* p = buffer_.get();
    const std::size_t frameBytes = static_cast<std::size_t>(channels_ * sampleBytes);
    if (outputChannels_ == 2 && right != nullptr) {
        for (int i = 0; i < frames; ++i, p += frameBytes) {
            left[i] = convert(p);
            right[i] = convert(p + stride1_);
        }
    } else {
        for (int i = 0; i < frames; ++i, p += frameBytes) left[i] = convert(p);
    }
    return frames;
}

int CAiffAudioSource::ReadFrames(void* left, void* right) {
    if (remaining_ == 0) return 0;
    const int sampleBytes = kind_ == KindInteger ? (sampleSize_ + 7) / 8
                            : kind_ == KindFloat32 ? 4
                            : kind_ == KindFloat64 ? 8
                                                   : 1;
    const std::size_t frameBytes = static_cast<std::size_t>(channels_ * sampleBytes);
    const std::size_t request =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, frameBytes * kReadFrames));
    remaining_ -= request;
    const std::size_t got = ReadFile(buffer_.get(), request);
    const int frames = static_cast<int>(got / frameBytes);
    if (frames == 0) return 0;

    auto* l16 = static_cast<std::int16_t*>(left);
    auto* r16 = static_cast<std::int16_t*>(right);
    auto* l8 = static_cast<std::uint8_t*>(left);
    auto* r8 = static_cast<std::uint8_t*>(right);
    const bool little = byteOrder_ == kLittleEndian;
    switch (kind_) {
        case KindRaw:
            return SplitFrames(l8, r8, frames, 1, [](const std::uint8_t* p) { return p[0]; });
        case KindMuLaw:
        case KindALaw: {
            const auto expand = expand_;
            return SplitFrames(l16, r16, frames, 1, [expand](const std::uint8_t* p) { return expand(p[0]); });
        }
        case KindFloat32:
            return SplitFrames(l16, r16, frames, 4, [](const std::uint8_t* p) {
                const std::uint32_t bits = Be32(p);
                float v = 0;
                std::memcpy(&v, &bits, sizeof v);
                return FromFloat(static_cast<double>(v));
            });
        case KindFloat64:
            return SplitFrames(l16, r16, frames, 8, [](const std::uint8_t* p) {
                const std::uint64_t bits = static_cast<std::uint64_t>(Be32(p)) << 32 | Be32(p + 4);
                double v = 0;
                std::memcpy(&v, &bits, sizeof v);
                return FromFloat(v);
            });
        default: break;
    }
    // Integer PCM: the most significant two bytes of each sample.
    switch (sampleBytes) {
        case 1:
            return SplitFrames(l8, r8, frames, 1,
                               [](const std::uint8_t* p) { return static_cast<std::uint8_t>(p[0] ^ 0x80); });
        case 2:
            if (little) return SplitFrames(l16, r16, frames, 2, [](const std::uint8_t* p) { return Make16(p[1], p[0]); });
            return SplitFrames(l16, r16, frames, 2, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
        case 3:
            if (little) return SplitFrames(l16, r16, frames, 3, [](const std::uint8_t* p) { return Make16(p[2], p[1]); });
            return SplitFrames(l16, r16, frames, 3, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
        default:
            if (little) return SplitFrames(l16, r16, frames, 4, [](const std::uint8_t* p) { return Make16(p[3], p[2]); });
            return SplitFrames(l16, r16, frames, 4, [](const std::uint8_t* p) { return Make16(p[0], p[1]); });
    }
}

int CAiffAudioSource::ReadIma4(void* left, void* right) {
    const std::size_t packet = CImaAdpcmDecoder::kIma4PacketBytes;
    const std::size_t block = packet * static_cast<std::size_t>(channels_);
    if (remaining_ < block) return 0;
    remaining_ -= block;
    if (ReadFile(buffer_.get(), block) < block) return 0;
    const std::uint8_t* packets = buffer_.get();
    if (channels_ > 2) {
        // Gather the two delivered channels' packets behind the block.
        std::uint8_t* pair = buffer_.get() + block;
        std::memcpy(pair, packets, packet);
        std::memcpy(pair + packet, packets + packet * static_cast<std::size_t>(secondChannel_), packet);
        packets = pair;
    }
    std::int16_t scratch[CImaAdpcmDecoder::kIma4PacketSamples];
    auto* r = static_cast<std::int16_t*>(right);
    if (outputChannels_ == 2 && r == nullptr) r = scratch;
    return ima_->DecodeIma4Packets(packets, static_cast<std::int16_t*>(left), outputChannels_ == 2 ? r : nullptr);
}

int CAiffAudioSource::ReadGsm(void* left, void* right) {
    const std::size_t frame = CGsm610Decoder::kFrameBytes;
    if (remaining_ < frame) return 0;
    remaining_ -= frame;
    if (ReadFile(buffer_.get(), frame) < frame) return 0;
    if (!gsm_->DecodeFrame(buffer_.get(), gsmSamples_.data())) return 0;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    if (channels_ == 1) {
        std::copy(gsmSamples_.begin(), gsmSamples_.end(), l);
        return CGsm610Decoder::kFrameSamples;
    }
    const int pairs = CGsm610Decoder::kFrameSamples / 2;
    for (int i = 0; i < pairs; ++i) {
        l[i] = gsmSamples_[static_cast<std::size_t>(2 * i)];
        if (r != nullptr) r[i] = gsmSamples_[static_cast<std::size_t>(2 * i + 1)];
    }
    return pairs;
}

int CAiffAudioSource::ReadDwvw(void* left, void* right) {
    std::uint64_t want = static_cast<std::uint64_t>(channels_) * kReadFrames;
    // The stream is padded to whole bytes; the header's frame count says where the sound ends.
    if (framesFromHeader_ > 0) {
        const std::uint64_t framesLeft = framesFromHeader_ > framesDelivered_ ? framesFromHeader_ - framesDelivered_ : 0;
        want = std::min(want, framesLeft * static_cast<std::uint64_t>(channels_));
    }
    if (want == 0) return 0;
    const int decoded = dwvw_->Decode(dwvwSamples_.data(), static_cast<int>(want));
    const int frames = decoded / channels_;
    framesDelivered_ += static_cast<std::uint64_t>(frames);
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    const std::int32_t* s = dwvwSamples_.data();
    for (int i = 0; i < frames; ++i, s += channels_) {
        l[i] = static_cast<std::int16_t>(s[0] >> 16);
        if (channels_ > 1 && r != nullptr) r[i] = static_cast<std::int16_t>(s[secondChannel_] >> 16);
    }
    return frames;
}

}  // namespace tonvela
