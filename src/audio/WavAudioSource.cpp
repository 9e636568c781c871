#include "audio/WavAudioSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace tonvela {

namespace {

constexpr int kTagPcm = 1;
constexpr int kTagMsAdpcm = 2;
constexpr int kTagFloat = 3;
constexpr int kTagALaw = 6;
constexpr int kTagMuLaw = 7;
constexpr int kTagImaAdpcm = 17;
constexpr int kTagGsm = 49;
constexpr int kTagExtensible = 65534;

constexpr int kMaxPcmChannels = 8;
constexpr int kGsmBlockAlign = 65;
constexpr int kGsmSamplesPerBlock = 320;

unsigned Le16(const std::uint8_t* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int16_t S16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | (p[1] << 8)); }

// value x (2^31 - 1), truncated toward zero, upper 16 bits. Out-of-range values saturate
// instead of wrapping into a loud click of the opposite sign; NaN is silence.
std::int16_t FloatToSample(double value) {
    const double scaled = std::trunc(value * 2147483647.0);
    std::int32_t wide = 0;
    if (scaled >= 2147483647.0)
        wide = std::numeric_limits<std::int32_t>::max();
    else if (scaled <= -2147483648.0)
        wide = std::numeric_limits<std::int32_t>::min();
    else if (scaled == scaled)
        wide = static_cast<std::int32_t>(scaled);
    return static_cast<std::int16_t>(wide >> 16);
}

float LeFloat(const std::uint8_t* p) { return std::bit_cast<float>(Le32(p)); }

double LeDouble(const std::uint8_t* p) {
    const std::uint64_t bits = static_cast<std::uint64_t>(Le32(p)) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
    return std::bit_cast<double>(bits);
}

bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

CWavAudioSource::~CWavAudioSource() { Close(); }

void CWavAudioSource::Close() {
    file_.reset();
    formatTag_ = fileBits_ = blockAlign_ = samplesPerBlock_ = 0;
    floatSubFormat_ = false;
    msAdpcm_.reset();
    imaAdpcm_.reset();
    gsm_.reset();
    readBuffer_ = {};
    decoded_ = {};
    blockBytes_ = blockSamples_ = decodedIndex_ = 0;
    decodeRoutine_ = nullptr;
    blockDecoder_ = nullptr;
    expand_ = nullptr;
    ClearFormat();
}

bool CWavAudioSource::Open(const std::string& path, int /*musicRate*/) {
    Close();
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return false;
    if (!WalkChunks()) {
        Close();
        return false;
    }
    bytesPerSample_ = bitsPerSample_ / 8;
    if (!SetUpDecoder()) {
        Close();
        return false;
    }
    return true;
}

bool CWavAudioSource::Skip(std::uint64_t bytes) {
    if (bytes == 0) return true;
    return fseeko(file_.get(), static_cast<off_t>(bytes), SEEK_CUR) == 0;
}

// Writers disagree about padding odd chunks, so the walk steps to the next letter instead.
bool CWavAudioSource::Resynchronise() {
    std::FILE* f = file_.get();
    for (;;) {
        const int c = std::fgetc(f);
        if (c == EOF) return false;
        if (IsLetter(c)) return std::ungetc(c, f) != EOF;
    }
}

bool CWavAudioSource::WalkChunks() {
    std::FILE* f = file_.get();
    std::array<std::uint8_t, 12> head{};
    if (std::fread(head.data(), 1, 12, f) != 12) return false;
    if (std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0) return false;
    bool haveFormat = false;
    for (;;) {
        std::array<std::uint8_t, 8> chunk{};
        if (std::fread(chunk.data(), 1, 8, f) != 8) return false;
        const std::uint32_t size = Le32(chunk.data() + 4);
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            if (!ReadFormatChunk(size)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            if (!haveFormat) return false;
            const off_t offset = ftello(f);
            if (offset < 0) return false;
            length_ = size;
            if (size == 0) {
                struct stat st {};
                if (fstat(fileno(f), &st) != 0) return false;
                length_ = st.st_size > offset ? static_cast<std::uint64_t>(st.st_size - offset) : 0;
            }
            position_ = 0;
            std::uint64_t frames = 0;
            if (formatTag_ == kTagMsAdpcm || formatTag_ == kTagImaAdpcm)
                frames = length_ * static_cast<std::uint64_t>(samplesPerBlock_) / static_cast<std::uint64_t>(blockAlign_);
            else if (formatTag_ == kTagGsm)
                frames = length_ * kGsmSamplesPerBlock / kGsmBlockAlign;
            else if (fileBits_ > 0)
                frames = length_ * 8 / static_cast<std::uint64_t>(fileBits_) / static_cast<std::uint64_t>(channels_);
            SetDurationAndBitRate(frames, length_, fileBits_, channels_);
            // Writers that stream leave the size at 0 or all ones: the length is the file's.
            if (size == 0 || size == 0xFFFFFFFFu) declaredFrames_ = 0;
            return true;
        } else if (!Skip(size)) {
            return false;
        }
        if (!Resynchronise()) return false;
    }
}

bool CWavAudioSource::ReadFormatChunk(std::uint32_t size) {
    std::FILE* f = file_.get();
    if (size < 16) return false;
    std::array<std::uint8_t, 16> base{};
    if (std::fread(base.data(), 1, 16, f) != 16) return false;
    std::uint64_t consumed = 16;
    formatTag_ = static_cast<int>(Le16(base.data()));
    const int channels = static_cast<int>(Le16(base.data() + 2));
    const std::uint32_t rate = Le32(base.data() + 4);
    blockAlign_ = static_cast<int>(Le16(base.data() + 12));
    fileBits_ = static_cast<int>(Le16(base.data() + 14));
    samplesPerBlock_ = 0;
    floatSubFormat_ = false;
    msAdpcm_.reset();
    imaAdpcm_.reset();
    // A rate of 0 would divide by zero in every duration; above 2^31 it cannot be stored.
    if (channels < 1 || rate == 0 || rate > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) return false;
    channels_ = channels;
    outputChannels_ = std::min(channels, 2);
    sampleRate_ = static_cast<int>(rate);
    bitsPerSample_ = 16;

    // Reads the next little-endian 16-bit extension field.
    auto read16 = [&](unsigned& value) {
        std::array<std::uint8_t, 2> b{};
        if (std::fread(b.data(), 1, 2, f) != 2) return false;
        consumed += 2;
        value = Le16(b.data());
        return true;
    };

    switch (formatTag_) {
        case kTagPcm:
        case kTagExtensible:
            if (formatTag_ == kTagExtensible && size >= 40) {
                // cbSize, valid bits, channel mask, then the sub-format GUID whose first two
                // bytes are the plain format tag. Float data read as integers would be noise.
                std::array<std::uint8_t, 24> ext{};
                if (std::fread(ext.data(), 1, 24, f) != 24) return false;
                consumed += 24;
                floatSubFormat_ = Le16(ext.data() + 8) == kTagFloat && (fileBits_ == 32 || fileBits_ == 64);
            }
            if (channels > kMaxPcmChannels) return false;
            if (floatSubFormat_) break;
            if (fileBits_ != 8 && fileBits_ != 16 && fileBits_ != 24 && fileBits_ != 32) return false;
            if (fileBits_ == 8) bitsPerSample_ = 8;
            break;
        case kTagFloat:
            if (channels > kMaxPcmChannels) return false;
            break;
        case kTagALaw:
        case kTagMuLaw:
            if (channels > kMaxPcmChannels) return false;
            break;
        case kTagMsAdpcm: {
            if (channels > 2) return false;
            unsigned cbSize = 0, samples = 0, count = 0;
            if (!read16(cbSize) || cbSize < 4 || !read16(samples) || !read16(count) || count == 0) return false;
            MsAdpcmFormat format;
            format.channels = static_cast<std::uint16_t>(channels);
            format.sampleRate = rate;
            format.blockAlign = static_cast<std::uint16_t>(blockAlign_);
            format.samplesPerBlock = static_cast<std::uint16_t>(samples);
            format.coefficients.resize(count);
            for (MsAdpcmCoefficients& pair : format.coefficients) {
                std::array<std::uint8_t, 4> b{};
                if (std::fread(b.data(), 1, 4, f) != 4) return false;
                consumed += 4;
                pair.coef1 = S16(b.data());
                pair.coef2 = S16(b.data() + 2);
            }
            auto decoder = std::make_unique<CMsAdpcmDecoder>();
            if (!decoder->SetFormat(format)) return false;
            msAdpcm_ = std::move(decoder);
            samplesPerBlock_ = static_cast<int>(samples);
            break;
        }
        case kTagImaAdpcm: {
            if (channels > 2) return false;
            unsigned cbSize = 0, samples = 0;
            if (!read16(cbSize) || cbSize < 2 || !read16(samples)) return false;
            ImaAdpcmFormat format;
            format.formatTag = static_cast<std::uint16_t>(formatTag_);
            format.channels = static_cast<std::uint16_t>(channels);
            format.sampleRate = rate;
            format.avgBytesPerSec = Le32(base.data() + 8);
            format.blockAlign = static_cast<std::uint16_t>(blockAlign_);
            format.bitsPerSample = static_cast<std::uint16_t>(fileBits_);
            format.extraSize = static_cast<std::uint16_t>(cbSize);
            format.samplesPerBlock = static_cast<std::uint16_t>(samples);
            // More samples than the block has codes for cannot be decoded.
            if (static_cast<int>(samples) > CImaAdpcmDecoder::WavBlockCapacity(channels, blockAlign_)) return false;
            auto decoder = std::make_unique<CImaAdpcmDecoder>();
            if (!decoder->SetFormat(format)) return false;
            imaAdpcm_ = std::move(decoder);
            samplesPerBlock_ = static_cast<int>(samples);
            break;
        }
        case kTagGsm: {
            if (channels > 2 || blockAlign_ != kGsmBlockAlign || size < 20) return false;
            unsigned cbSize = 0, samples = 0;
            if (!read16(cbSize) || cbSize < 2 || !read16(samples) || samples != kGsmSamplesPerBlock) return false;
            samplesPerBlock_ = kGsmSamplesPerBlock;
            break;
        }
        default:
            return false;
    }
    // Whatever the record holds beyond the fields read is skipped up to the chunk's end.
    return consumed >= size || Skip(size - consumed);
}

bool CWavAudioSource::SetUpDecoder() {
    const auto channels = static_cast<std::size_t>(channels_);
    const auto outChannels = static_cast<std::size_t>(outputChannels_);
    const auto frames = static_cast<std::size_t>(kReadFrames);
    decodedIndex_ = 0;
    blockSamples_ = outChannels * frames;
    switch (formatTag_) {
        case kTagPcm:
        case kTagExtensible:
        case kTagFloat: {
            const bool isFloat = formatTag_ == kTagFloat || floatSubFormat_;
            blockBytes_ = static_cast<std::size_t>(fileBits_ / 8) * channels * frames;
            if (isFloat && fileBits_ == 32)
                decodeRoutine_ = &CWavAudioSource::ReadFloat32;
            else if (isFloat && fileBits_ == 64)
                decodeRoutine_ = &CWavAudioSource::ReadFloat64;
            else if (isFloat)
                return false;
            else if (fileBits_ == 8)
                decodeRoutine_ = &CWavAudioSource::ReadPcm8;
            else if (fileBits_ == 16)
                decodeRoutine_ = &CWavAudioSource::ReadPcm16;
            else if (fileBits_ == 24)
                decodeRoutine_ = &CWavAudioSource::ReadPcm24;
            else if (fileBits_ == 32)
                decodeRoutine_ = &CWavAudioSource::ReadPcm32;
            else
                return false;
            break;
        }
        case kTagALaw:
        case kTagMuLaw:
            blockBytes_ = channels * frames;
            expand_ = formatTag_ == kTagALaw ? &ExpandALaw : &ExpandMuLaw;
            decodeRoutine_ = &CWavAudioSource::ReadG711;
            break;
        case kTagMsAdpcm:
        case kTagImaAdpcm:
            if (blockAlign_ <= 0 || samplesPerBlock_ <= 0) return false;
            blockBytes_ = static_cast<std::size_t>(blockAlign_);
            blockSamples_ = static_cast<std::size_t>(samplesPerBlock_) * outChannels;
            decoded_.assign(static_cast<std::size_t>(samplesPerBlock_) * channels, 0);
            decodeRoutine_ = &CWavAudioSource::ReadBlocks;
            blockDecoder_ = formatTag_ == kTagMsAdpcm ? &CWavAudioSource::DecodeMsAdpcmBlock
                                                      : &CWavAudioSource::DecodeImaAdpcmBlock;
            break;
        case kTagGsm:
            gsm_ = std::make_unique<CGsm610Decoder>();
            if (!gsm_->Create(true)) return false;
            blockBytes_ = kGsmBlockAlign;
            blockSamples_ = kGsmSamplesPerBlock;
            decoded_.assign(kGsmSamplesPerBlock, 0);
            decodeRoutine_ = &CWavAudioSource::ReadBlocks;
            blockDecoder_ = &CWavAudioSource::DecodeGsmBlock;
            break;
        default:
            return false;
    }
    readBuffer_.assign(blockBytes_, 0);
    return true;
}

// Never reads past the data chunk; position counts the bytes asked for, not those delivered.
std::size_t CWavAudioSource::BoundedRead(void* buffer, std::size_t count) {
    if (!file_ || position_ >= length_) return 0;
    const std::uint64_t old = position_;
    position_ += count;
    if (position_ > length_ || position_ < old) {
        count = static_cast<std::size_t>(length_ - old);
        position_ = length_;
    }
    return std::fread(buffer, 1, count, file_.get());
}

std::size_t CWavAudioSource::ReadData(void* buffer, std::size_t count) { return BoundedRead(buffer, count); }

int CWavAudioSource::Read(void* left, void* right) {
    if (!file_ || decodeRoutine_ == nullptr || left == nullptr) return 0;
    if (outputChannels_ == 2 && right == nullptr) return 0;
    return (this->*decodeRoutine_)(left, right);
}

// One block of interleaved samples of Width bytes each, channels 0 and 1 converted to 16 bits.
template <std::size_t Width, class Convert>
int CWavAudioSource::ReadInterleaved(void* left, void* right, Convert convert) {
    const std::size_t got = BoundedRead(readBuffer_.data(), blockBytes_);
    const auto stride = static_cast<std::size_t>(channels_) * Width;
    const std::size_t frames = got / stride;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    const std::uint8_t* p = readBuffer_.data();
    for (std::size_t i = 0; i < frames; ++i, p += stride) {
        l[i] = convert(p);
        if (channels_ >= 2) r[i] = convert(p + Width);
    }
    return static_cast<int>(frames);
}

int CWavAudioSource::ReadPcm8(void* left, void* right) {
    if (channels_ < 2) return static_cast<int>(BoundedRead(left, blockBytes_));
    const std::size_t got = BoundedRead(readBuffer_.data(), blockBytes_);
    const auto stride = static_cast<std::size_t>(channels_);
    const std::size_t frames = got / stride;
    auto* l = static_cast<std::uint8_t*>(left);
    auto* r = static_cast<std::uint8_t*>(right);
    const std::uint8_t* p = readBuffer_.data();
    for (std::size_t i = 0; i < frames; ++i, p += stride) {
        l[i] = p[0];
        r[i] = p[1];
    }
    return static_cast<int>(frames);
}

int CWavAudioSource::ReadPcm16(void* left, void* right) {
    auto* l = static_cast<std::int16_t*>(left);
    if (channels_ < 2) {
        const std::size_t frames = BoundedRead(left, blockBytes_) / 2;
        if constexpr (std::endian::native == std::endian::big) {
            auto* bytes = static_cast<std::uint8_t*>(left);
            for (std::size_t i = 0; i < frames; ++i) l[i] = S16(bytes + 2 * i);
        }
        return static_cast<int>(frames);
    }
    return ReadInterleaved<2>(left, right, [](const std::uint8_t* p) { return S16(p); });
}

// 24- and 32-bit samples keep their top 16 bits.
int CWavAudioSource::ReadPcm24(void* left, void* right) {
    return ReadInterleaved<3>(left, right, [](const std::uint8_t* p) { return S16(p + 1); });
}

int CWavAudioSource::ReadPcm32(void* left, void* right) {
    return ReadInterleaved<4>(left, right, [](const std::uint8_t* p) { return S16(p + 2); });
}

int CWavAudioSource::ReadFloat32(void* left, void* right) {
    return ReadInterleaved<4>(left, right, [](const std::uint8_t* p) { return FloatToSample(LeFloat(p)); });
}

int CWavAudioSource::ReadFloat64(void* left, void* right) {
    return ReadInterleaved<8>(left, right, [](const std::uint8_t* p) { return FloatToSample(LeDouble(p)); });
}

// Files with more than two channels deliver channels 0 and 1, as the PCM routines do.
int CWavAudioSource::ReadG711(void* left, void* right) {
    const std::size_t got = BoundedRead(readBuffer_.data(), blockBytes_);
    const auto stride = static_cast<std::size_t>(channels_);
    const std::size_t frames = got / stride;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    const std::uint8_t* p = readBuffer_.data();
    const G711Expand expand = expand_;
    if (channels_ < 2) {
        for (std::size_t i = 0; i < frames; ++i) l[i] = expand(p[i]);
    } else {
        for (std::size_t i = 0; i < frames; ++i, p += stride) {
            l[i] = expand(p[0]);
            r[i] = expand(p[1]);
        }
    }
    return static_cast<int>(frames);
}

// Copies frames from the decoded block until the block or the caller's buffer is used up.
int CWavAudioSource::HandOutDecoded(std::int16_t* left, std::int16_t* right, int frame) {
    const std::int16_t* d = decoded_.data();
    if (outputChannels_ == 2) {
        while (decodedIndex_ + 1 < blockSamples_ && frame < kReadFrames) {
            left[frame] = d[decodedIndex_];
            right[frame] = d[decodedIndex_ + 1];
            decodedIndex_ += 2;
            ++frame;
        }
    } else {
        while (decodedIndex_ < blockSamples_ && frame < kReadFrames) left[frame++] = d[decodedIndex_++];
    }
    if (decodedIndex_ >= blockSamples_) decodedIndex_ = 0;
    return frame;
}

int CWavAudioSource::ReadBlocks(void* left, void* right) {
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    int frame = 0;
    if (decodedIndex_ > 0) {
        frame = HandOutDecoded(l, r, frame);
        if (frame == kReadFrames) return frame;
    }
    while (frame < kReadFrames) {
        // A partial last block is dropped.
        if (BoundedRead(readBuffer_.data(), blockBytes_) < blockBytes_) return frame;
        if (!(this->*blockDecoder_)()) {
            // A block the decoder rejects ends the audio: what follows cannot be trusted.
            position_ = length_;
            return frame;
        }
        decodedIndex_ = 0;
        frame = HandOutDecoded(l, r, frame);
    }
    return frame;
}

bool CWavAudioSource::DecodeMsAdpcmBlock() { return msAdpcm_->DecodeBlock(readBuffer_.data(), decoded_.data()); }

bool CWavAudioSource::DecodeImaAdpcmBlock() {
    return imaAdpcm_->DecodeWavBlock(readBuffer_.data(), decoded_.data());
}

bool CWavAudioSource::DecodeGsmBlock() { return gsm_->DecodeWav49Block(readBuffer_.data(), decoded_.data()); }

}  // namespace tonvela
