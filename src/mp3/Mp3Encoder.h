// Turns 16-bit PCM into an MP3 file of audio frames only: constant bit rate, no Info/Xing
// frame, no ID3 tag, so the SWF writer finds a frame header at offset 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/UniqueFile.h"

struct lame_global_struct;

namespace tonvela {

// How one file is encoded: rate, bit rate and channel mode.
struct EncodingChoice {
    int sampleRate = 0;      // MP3 sample rate in Hz
    int bitRate = 0;         // kbit/s, before the clamp of SetBitRate
    bool forceMono = false;  // set the mono channel mode explicitly
};

// Everything an encoder is set up with, so that several encoders of one file agree.
struct Mp3EncoderSetup {
    int inputChannels = 0;
    int inputSampleRate = 0;
    EncodingChoice choice;
};

class CMp3Encoder {
public:
    // Size of the buffer that receives the encoder's output for one call.
    static constexpr std::size_t kOutputBufferBytes = 147456;

    CMp3Encoder();
    CMp3Encoder(const CMp3Encoder&) = delete;
    CMp3Encoder& operator=(const CMp3Encoder&) = delete;
    ~CMp3Encoder();

    // Closes first; creates or truncates path and creates the encoder. False when either fails.
    bool Open(const std::string& path);
    // Closes first; creates the encoder with its output collected in memory (Output()).
    bool OpenInMemory();
    // Applies the set-up and InitParams.
    bool SetUp(const Mp3EncoderSetup& setup);
    void SetInputChannels(int n);       // clamped to 1 .. 2
    void SetInputSampleRate(int hz);
    void SetMode(int mode);             // 0 stereo, 1 joint stereo, 3 mono; anything else is 0
    void SetOutputSampleRate(int hz);
    void SetBitRate(int kbps);          // clamped to 8 .. 320
    // Constant bit rate, no VBR/Info frame, no ID3 tag; false when the encoder rejects the set.
    bool InitParams();
    // Samples of silence the encoder puts before the sound; valid after InitParams, else -1.
    int EncoderDelay() const;
    // Samples per MP3 frame and the MP3 sample rate; valid after InitParams, else 0.
    int FrameSize() const;
    int OutputSampleRate() const;
    // Encodes count samples per channel (right may be null for one input channel) and writes
    // what the encoder returns. False on an encoder error or a failed write.
    bool Encode(const std::int16_t* left, const std::int16_t* right, int count);
    // Flushes the encoder, writes the rest and closes the file. False when any write failed
    // (a full disk) or the encoder was never initialised: the MP3 is then incomplete or empty.
    // True when nothing was open.
    bool Close();
    // Drops the encoder and closes the file without flushing (whatever it holds is the
    // caller's to replace).
    void Discard();

    bool IsOpen() const { return file_ != nullptr || inMemory_; }
    const std::string& Path() const { return path_; }
    // The frames written so far in memory mode (complete after Close).
    const std::vector<unsigned char>& Output() const { return memory_; }

private:
    struct LameCloser {
        void operator()(lame_global_struct* g) const;
    };

    bool WriteOutput(int bytes);

    std::string path_;
    CUniqueFile file_;
    std::unique_ptr<lame_global_struct, LameCloser> lame_;
    std::vector<unsigned char> buffer_;
    std::vector<unsigned char> memory_;
    bool inMemory_ = false;
    bool initialised_ = false;
    bool writeFailed_ = false;
};

}  // namespace tonvela
