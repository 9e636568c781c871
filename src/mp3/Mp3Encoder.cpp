#include "mp3/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>


namespace tonvela {

void CMp3Encoder::LameCloser::operator()(lame_global_struct* g) const {
    lame_close(g);
}

CMp3Encoder::CMp3Encoder() = default;

CMp3Encoder::~CMp3Encoder() {
    Close();
}

bool CMp3Encoder::Open(const std::string& path) {
    Close();
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return false;
    path_ = path;
    writeFailed_ = false;
    lame_.reset(lame_init());
    if (!lame_) {
        file_.reset();
        return false;
    }
    if (buffer_.empty()) buffer_.resize(kOutputBufferBytes);
    return true;
}

bool CMp3Encoder::OpenInMemory() {
    Close();
    path_.clear();
    memory_.clear();
    writeFailed_ = false;
    lame_.reset(lame_init());
    if (!lame_) return false;
    inMemory_ = true;
    if (buffer_.empty()) buffer_.resize(kOutputBufferBytes);
    return true;
}

bool CMp3Encoder::SetUp(const Mp3EncoderSetup& setup) {
    SetInputChannels(setup.inputChannels);
    SetInputSampleRate(setup.inputSampleRate);
    if (setup.choice.forceMono) SetMode(3);
    SetOutputSampleRate(setup.choice.sampleRate);
    SetBitRate(setup.choice.bitRate);
    return InitParams();
}

void CMp3Encoder::Discard() {
    lame_.reset();
    file_.reset();
    inMemory_ = false;
    initialised_ = false;
}

void CMp3Encoder::SetInputChannels(int n) {
    if (lame_) lame_set_num_channels(lame_.get(), std::clamp(n, 1, 2));
}

void CMp3Encoder::SetInputSampleRate(int hz) {
    if (lame_) lame_set_in_samplerate(lame_.get(), hz);
}

void CMp3Encoder::SetMode(int mode) {
    if (mode != STEREO && mode != JOINT_STEREO && mode != MONO) mode = STEREO;
    if (lame_) lame_set_mode(lame_.get(), static_cast<MPEG_mode>(mode));
}

void CMp3Encoder::SetOutputSampleRate(int hz) {
    if (lame_) lame_set_out_samplerate(lame_.get(), hz);
}

void CMp3Encoder::SetBitRate(int kbps) {
    if (lame_) lame_set_brate(lame_.get(), std::clamp(kbps, 8, 320));
}

bool CMp3Encoder::InitParams() {
    if (!lame_) return false;
    lame_set_bWriteVbrTag(lame_.get(), 0);
    lame_set_VBR(lame_.get(), vbr_off);
    // No tag is set, so none would be written; saying so keeps the file frames-only for sure.
    lame_set_write_id3tag_automatic(lame_.get(), 0);
    initialised_ = lame_init_params(lame_.get()) >= 0;
    return initialised_;
}

int CMp3Encoder::EncoderDelay() const {
    if (!lame_ || !initialised_) return -1;
    return lame_get_encoder_delay(lame_.get());
}

int CMp3Encoder::FrameSize() const {
    return lame_ && initialised_ ? lame_get_framesize(lame_.get()) : 0;
}

int CMp3Encoder::OutputSampleRate() const {
    return lame_ && initialised_ ? lame_get_out_samplerate(lame_.get()) : 0;
}

bool CMp3Encoder::WriteOutput(int bytes) {
    if (bytes < 0) return false;
    if (bytes == 0) return true;
    const auto n = static_cast<std::size_t>(bytes);
    if (inMemory_) {
        memory_.insert(memory_.end(), buffer_.begin(), buffer_.begin() + bytes);
        return true;
    }
    if (std::fwrite(buffer_.data(), 1, n, file_.get()) != n) {
        writeFailed_ = true;
        return false;
    }
    return true;
}

bool CMp3Encoder::Encode(const std::int16_t* left, const std::int16_t* right, int count) {
    if (!lame_ || !initialised_ || !IsOpen() || !left || count < 0) return false;
    if (count == 0) return true;
    // With one input channel the encoder reads only the left array.
    if (!right) right = left;
    int bytes = lame_encode_buffer(lame_.get(), left, right, count, buffer_.data(),
                                   static_cast<int>(buffer_.size()));
    return WriteOutput(bytes);
}

bool CMp3Encoder::Close() {
    if (!IsOpen()) return true;
    bool ok = !writeFailed_;
    if (lame_ && initialised_) {
        int bytes = lame_encode_flush(lame_.get(), buffer_.data(), static_cast<int>(buffer_.size()));
        ok = WriteOutput(bytes) && ok;
    } else {
        ok = false;  // nothing was encoded: no valid MP3
    }
    // fclose flushes the stream buffer: a full disk often shows up only here.
    if (file_) ok = std::fclose(file_.release()) == 0 && ok;
    inMemory_ = false;
    lame_.reset();
    initialised_ = false;
    return ok;
}

}  // namespace tonvela
