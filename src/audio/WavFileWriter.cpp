#include "audio/WavFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/WriteAll.h"

namespace tonvela {

namespace {

void PutLe16(std::uint8_t* p, unsigned v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

bool WriteAt(int fd, off_t offset, std::uint32_t value) {
    std::array<std::uint8_t, 4> b{};
    PutLe32(b.data(), value);
    return ::pwrite(fd, b.data(), b.size(), offset) == static_cast<ssize_t>(b.size());
}

// The largest data size whose RIFF size (data + 36) still fits in 32 bits.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - (CWavFileWriter::kHeaderBytes - 8);

}  // namespace

CWavFileWriter::~CWavFileWriter() { Finish(); }

bool CWavFileWriter::Create(const std::string& path, bool stereo, int bitsPerSample, int sampleRate) {
    Finish();
    if (bitsPerSample <= 0 || bitsPerSample % 8 != 0 || bitsPerSample > 32 || sampleRate <= 0) return false;
    WavPcmFormat format;
    format.formatTag = 1;
    format.channels = stereo ? 2 : 1;
    format.samplesPerSec = static_cast<std::uint32_t>(sampleRate);
    format.avgBytesPerSec = static_cast<std::uint32_t>(static_cast<std::uint64_t>(format.channels) *
                                                       static_cast<std::uint64_t>(bitsPerSample) *
                                                       format.samplesPerSec / 8);
    format.blockAlign = static_cast<std::uint16_t>(format.channels * bitsPerSample / 8);
    format.bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    format.extraSize = 0;

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::array<std::uint8_t, kHeaderBytes> header{};
    std::memcpy(header.data(), "RIFF", 4);
    PutLe32(header.data() + 4, 4);  // placeholder until Finish
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    PutLe32(header.data() + 16, 16);
    PutLe16(header.data() + 20, format.formatTag);
    PutLe16(header.data() + 22, format.channels);
    PutLe32(header.data() + 24, format.samplesPerSec);
    PutLe32(header.data() + 28, format.avgBytesPerSec);
    PutLe16(header.data() + 32, format.blockAlign);
    PutLe16(header.data() + 34, format.bitsPerSample);
    std::memcpy(header.data() + 36, "data", 4);
    PutLe32(header.data() + 40, 4);  // placeholder until Finish
    if (!WriteAll(fd, header.data(), header.size())) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    format_ = format;
    dataBytes_ = 0;
    failed_ = false;
    return true;
}

bool CWavFileWriter::Write(const void* data, std::size_t bytes) {
    if (fd_ < 0 || failed_) return false;
    if (bytes > kMaxDataBytes - dataBytes_) return false;
    const std::size_t written = WriteAll(fd_, data, bytes).written;
    dataBytes_ += written;
    if (written == bytes) return true;
    // A full disk (or a size limit): keep the whole sample frames that did reach the file, so
    // what was written up to here stays a playable file; every later write fails too.
    if (format_.blockAlign > 0) dataBytes_ -= dataBytes_ % format_.blockAlign;
    failed_ = true;
    return false;
}

bool CWavFileWriter::UpdateSizes() {
    if (fd_ < 0) return false;
    return WriteAt(fd_, 4, static_cast<std::uint32_t>(kHeaderBytes - 8 + dataBytes_)) &&
           WriteAt(fd_, 40, static_cast<std::uint32_t>(dataBytes_));
}

bool CWavFileWriter::Finish() {
    if (fd_ < 0) return true;
    bool ok = !failed_;
    // The sizes describe the data Write accepted; after a failed write the file is cut back to
    // it (shrinking needs no free space, and the size fields are already allocated).
    const std::uint64_t fileSize = kHeaderBytes + dataBytes_;
    if (failed_ && ::ftruncate(fd_, static_cast<off_t>(fileSize)) != 0) ok = false;
    const auto riff = static_cast<std::uint32_t>(fileSize - 8);
    const auto data = static_cast<std::uint32_t>(dataBytes_);
    ok = WriteAt(fd_, 4, riff) && WriteAt(fd_, 40, data) && ok;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok;
}

}  // namespace tonvela
