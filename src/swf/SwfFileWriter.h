// The output SWF file: header with placeholders, tags, and the final patch of the file length
// and frame count. Writes go through a buffer; every failure is remembered, so a routine that
// checks Finish() cannot report a truncated file as complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/UniqueFd.h"

namespace tonvela {

class CSwfFileWriter {
public:
    CSwfFileWriter() = default;
    CSwfFileWriter(const CSwfFileWriter&) = delete;
    CSwfFileWriter& operator=(const CSwfFileWriter&) = delete;
    // An output never finished is deleted.
    ~CSwfFileWriter() { Discard(); }

    // Discards any file still open, then creates the file (replacing an existing one).
    bool Create(const std::filesystem::path& path);
    // Frame size in pixels; fps is limited to 1..255, the whole rates the header can hold.
    void SetHeader(std::uint8_t version, int widthPx, int heightPx, int fps);
    // Signature, version, placeholders for length and frame count, frame RECT, frame rate.
    bool WriteHeader();
    // A complete tag (header included); counts a frame when the code is ShowFrame.
    bool WriteTag(std::uint16_t code, const std::uint8_t* bytes, std::size_t length);
    bool WriteBackground(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // Counts a frame, also when the write fails.
    bool WriteShowFrame();
    bool WriteEnd();
    // Raw bytes (the body of a tag whose header was written already).
    bool WriteBytes(const std::uint8_t* bytes, std::size_t length);

    // Patches length and frame count and closes. False when any write since Create failed, the
    // file length or frame count grew beyond what the header can hold, or closing failed; the file is then deleted.
    bool Finish();
    // Closes and deletes the output (only a regular file this writer created).
    void Discard();

    bool IsOpen() const { return fd_.IsOpen(); }
    bool Failed() const { return failed_; }
    std::uint32_t FrameCount() const { return frameCount_; }
    std::uint16_t HeaderFrameRate() const { return frameRate_; }  // 8.8 fixed point

private:
    bool Flush();
    void Reset();

    CUniqueFd fd_;
    std::filesystem::path path_;
    bool regularFile_ = false;
    bool failed_ = false;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t written_ = 0;  // bytes handed to the file so far
    std::uint8_t version_ = 0;
    std::int32_t widthTwips_ = 0;
    std::int32_t heightTwips_ = 0;
    std::uint16_t frameRate_ = 0;
    std::uint32_t frameCount_ = 0;  // more than 65535 cannot be stored: Finish fails
    std::size_t rectLength_ = 0;
};

// The frame rate a sound SWF is written with: SWFFrameRate limited to 1..255, the header's
// whole rates.
int LimitSwfFrameRate(int fps);

}  // namespace tonvela
