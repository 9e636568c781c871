// IMA (DVI) ADPCM: the WAV block layout and Apple's IMA4 packets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvela {

// The start of a WAVE format record, as the IMA decoder needs it.
struct ImaAdpcmFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    std::uint16_t samplesPerBlock = 0;
};

class CImaAdpcmDecoder {
public:
    // Bytes of one Apple IMA4 packet (one channel, 64 samples).
    static constexpr int kIma4PacketBytes = 34;
    static constexpr int kIma4PacketSamples = 64;

    CImaAdpcmDecoder() = default;
    virtual ~CImaAdpcmDecoder() = default;

    // Takes a copy of the record. False (and the old record kept) unless the record has one or
    // two channels, a block of at least one header per channel and at least one sample per block.
    bool SetFormat(const ImaAdpcmFormat& format);
    const ImaAdpcmFormat& GetFormat() const { return format_; }

    // Samples per channel that one WAV block of the given size can hold: the header sample plus
    // 8 per complete 4-byte group of every channel. 0 when the block cannot hold the headers.
    static int WavBlockCapacity(int channels, int blockAlign);

    // Decodes one WAV block of blockAlign bytes into samplesPerBlock x channels interleaved
    // samples. Samples the block has no codes for repeat the last decoded value.
    bool DecodeWavBlock(const std::uint8_t* block, std::int16_t* out) const;

    // Decodes one 34-byte packet per channel (packet c at offset 34 x c) into up to 64 samples in
    // left and, for two channels, right (right may be null for one channel). Returns samples per
    // channel delivered.
    int DecodeIma4Packets(const std::uint8_t* block, std::int16_t* left, std::int16_t* right) const;

private:
    ImaAdpcmFormat format_{};
};

}  // namespace tonvela
