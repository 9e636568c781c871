#include "swf/SwfFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "swf/SwfBits.h"

namespace tonvela {

namespace {

constexpr std::size_t kWriteBufferSize = 64 * 1024;

bool PwriteAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

int LimitSwfFrameRate(int fps) { return std::clamp(fps, 1, 255); }

void CSwfFileWriter::Reset() {
    fd_.Reset();
    path_.clear();
    regularFile_ = false;
    failed_ = false;
    buffer_.clear();
    buffer_.shrink_to_fit();
    written_ = 0;
    version_ = 0;
    widthTwips_ = heightTwips_ = 0;
    frameRate_ = 0;
    frameCount_ = 0;
    rectLength_ = 0;
}

bool CSwfFileWriter::Create(const std::filesystem::path& path) {
    Discard();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    fd_.Reset(fd);
    path_ = path;
    struct stat st {};
    regularFile_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    buffer_.reserve(kWriteBufferSize);
    return true;
}

void CSwfFileWriter::SetHeader(std::uint8_t version, int widthPx, int heightPx, int fps) {
    version_ = version;
    widthTwips_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{widthPx} * 20, INT32_MIN, INT32_MAX));
    heightTwips_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{heightPx} * 20, INT32_MIN, INT32_MAX));
    frameRate_ = static_cast<std::uint16_t>(LimitSwfFrameRate(fps) << 8);
}

bool CSwfFileWriter::WriteHeader() {
    std::uint8_t header[8 + kMaxRectSize + 4];
    std::uint8_t* p = WriteU8(header, 'F');
    p = WriteU8(p, 'W');
    p = WriteU8(p, 'S');
    p = WriteU8(p, version_);
    p = WriteU32(p, 0);  // file length, patched by Finish
    std::uint8_t* rectEnd = WriteRect(p, 0, widthTwips_, 0, heightTwips_);
    if (!rectEnd) return false;
    rectLength_ = static_cast<std::size_t>(rectEnd - p);
    p = WriteU16(rectEnd, frameRate_);
    p = WriteU16(p, 0);  // frame count, patched by Finish
    return WriteBytes(header, static_cast<std::size_t>(p - header));
}

bool CSwfFileWriter::WriteBytes(const std::uint8_t* bytes, std::size_t length) {
    if (!fd_.IsOpen()) return false;
    if (failed_) return false;
    if (buffer_.size() + length > kWriteBufferSize) {
        if (!Flush()) return false;
        if (length >= kWriteBufferSize) {
            if (!PwriteAll(fd_.Get(), bytes, length, static_cast<off_t>(written_))) {
                failed_ = true;
                return false;
            }
            written_ += length;
            return true;
        }
    }
    buffer_.insert(buffer_.end(), bytes, bytes + length);
    return true;
}

bool CSwfFileWriter::Flush() {
    if (failed_ || !fd_.IsOpen()) return false;
    if (buffer_.empty()) return true;
    if (!PwriteAll(fd_.Get(), buffer_.data(), buffer_.size(), static_cast<off_t>(written_))) {
        failed_ = true;
        return false;
    }
    written_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool CSwfFileWriter::WriteTag(std::uint16_t code, const std::uint8_t* bytes, std::size_t length) {
    if (code == kTagShowFrame) ++frameCount_;
    return WriteBytes(bytes, length);
}

bool CSwfFileWriter::WriteBackground(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint8_t tag[5];
    std::uint8_t* p = WriteRecordHeader(tag, kTagSetBackgroundColor, 3);
    p = WriteRgb(p, red, green, blue);
    return WriteTag(kTagSetBackgroundColor, tag, static_cast<std::size_t>(p - tag));
}

bool CSwfFileWriter::WriteShowFrame() {
    std::uint8_t tag[2];
    WriteRecordHeader(tag, kTagShowFrame, 0);
    return WriteTag(kTagShowFrame, tag, 2);
}

bool CSwfFileWriter::WriteEnd() {
    std::uint8_t tag[2];
    WriteRecordHeader(tag, kTagEnd, 0);
    return WriteTag(kTagEnd, tag, 2);
}

bool CSwfFileWriter::Finish() {
    if (!fd_.IsOpen()) return false;
    bool ok = Flush() && rectLength_ > 0 && written_ <= UINT32_MAX && frameCount_ <= UINT16_MAX;
    if (ok) {
        std::uint8_t v[4];
        WriteU32(v, static_cast<std::uint32_t>(written_));
        ok = PwriteAll(fd_.Get(), v, 4, 4);
        WriteU16(v, frameCount_);
        ok = ok && PwriteAll(fd_.Get(), v, 2, static_cast<off_t>(8 + rectLength_ + 2));
    }
    ok = fd_.Close() && ok;
    if (!ok) {
        failed_ = true;
        Discard();
        return false;
    }
    Reset();
    return true;
}

void CSwfFileWriter::Discard() {
    const bool open = fd_.IsOpen();
    fd_.Reset();
    if ((open || failed_) && regularFile_ && !path_.empty()) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    Reset();
}

}  // namespace tonvela
