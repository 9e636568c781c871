#include "swf/SwfTemplate.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/OpenRegularFile.h"
#include "swf/ShapeStyles.h"

namespace tonvela {

namespace {

// The smallest file worth looking at: "FWS", version, length, a RECT, rate and count.
constexpr std::uint32_t kMinTemplateLength = 21;
// Templates are small pictures and buttons; anything larger is not one of ours.
constexpr std::uint32_t kMaxTemplateLength = 64u << 20;
// Sprites cannot nest in a valid file; a bound keeps a hostile one from exhausting the stack.
constexpr int kMaxSpriteDepth = 8;

// Read without changing it (umask() would, for every thread of the process).
unsigned ProcessUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return static_cast<unsigned>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

}  // namespace

void CSwfTemplate::Clear() {
    buffer_.clear();
    version_ = 0;
    frameWidth_ = frameHeight_ = frameRate_ = frameCount_ = 0;
    firstTagOffset_ = 0;
    tags_.clear();
    cursor_ = 0;
    background_ = 0xFFFFFF;
    jpegWidthTwips_ = jpegHeightTwips_ = 0;
}

bool CSwfTemplate::Load(const std::filesystem::path& path, std::string* why) {
    Clear();
    CUniqueFd fd = OpenRegularFile(path, why);
    if (!fd.IsOpen()) return false;
    auto refuse = [&](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    std::uint8_t head[8] = {};
    if (ReadUpTo(fd.Get(), head, 8) != 8 || head[0] != 'F' || head[1] != 'W' || head[2] != 'S')
        return refuse("it is not an uncompressed SWF file");
    const std::uint32_t length = static_cast<std::uint32_t>(head[4]) |
                                 static_cast<std::uint32_t>(head[5]) << 8 |
                                 static_cast<std::uint32_t>(head[6]) << 16 |
                                 static_cast<std::uint32_t>(head[7]) << 24;
    if (length < kMinTemplateLength || length > kMaxTemplateLength)
        return refuse("its header gives an impossible length");
    // Never allocate more than the file holds, whatever its header claims.
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) < length)
        return refuse("it is shorter than its header says");
    std::vector<std::uint8_t> bytes(length);
    std::copy(head, head + 8, bytes.begin());
    if (ReadUpTo(fd.Get(), bytes.data() + 8, length - 8) != length - 8)
        return refuse("it is shorter than its header says");
    if (!LoadFromBytes(std::move(bytes))) return refuse("its header cannot be read");
    return true;
}

bool CSwfTemplate::LoadFromBytes(std::vector<std::uint8_t> bytes) {
    Clear();
    if (bytes.size() < kMinTemplateLength || bytes[0] != 'F' || bytes[1] != 'W' ||
        bytes[2] != 'S')
        return false;
    const std::uint32_t length = static_cast<std::uint32_t>(bytes[4]) |
                                 static_cast<std::uint32_t>(bytes[5]) << 8 |
                                 static_cast<std::uint32_t>(bytes[6]) << 16 |
                                 static_cast<std::uint32_t>(bytes[7]) << 24;
    if (length < kMinTemplateLength || length > kMaxTemplateLength || bytes.size() < length)
        return false;
    bytes.resize(length);  // a longer file is read only up to its declared length
    CSwfBitReader r(bytes.data(), bytes.size());
    r.Seek(8);
    const SwfRect rect = r.ReadRect();
    const std::uint16_t rate = r.ReadU16();
    const std::uint16_t count = r.ReadU16();
    if (r.failed()) return false;
    version_ = bytes[3];
    // 64-bit differences: a hostile RECT may span the whole 32-bit range.
    frameWidth_ = static_cast<int>((static_cast<std::int64_t>(rect.xmax) - rect.xmin) / 20);
    frameHeight_ = static_cast<int>((static_cast<std::int64_t>(rect.ymax) - rect.ymin) / 20);
    frameRate_ = rate >> 8;
    frameCount_ = count;
    firstTagOffset_ = r.Position();
    buffer_ = std::move(bytes);
    return true;
}

void CSwfTemplate::MapColour(std::uint32_t from, std::uint32_t to) {
    from &= 0xFFFFFF;
    to &= 0xFFFFFF;
    for (auto& pair : colourMap_) {
        if (pair.first == from) {
            pair.second = to;
            return;
        }
    }
    colourMap_.emplace_back(from, to);
}

bool CSwfTemplate::WalkAndRecolour() {
    tags_.clear();
    cursor_ = 0;
    if (buffer_.empty()) return false;
    // List first, recolour after: a template that breaks off mid-tag is refused untouched.
    std::vector<TemplateTag> tags;
    CSwfBitReader r(buffer_.data(), buffer_.size());
    r.Seek(firstTagOffset_);
    while (r.Position() < buffer_.size()) {
        const SwfRecordHeader h = r.ReadRecordHeader();
        if (r.failed() || h.nextOffset > buffer_.size()) return false;
        tags.push_back({h.code, static_cast<std::uint32_t>(h.headerOffset),
                        static_cast<std::uint32_t>(h.nextOffset - h.headerOffset)});
        if (h.code == kTagEnd) break;
        r.Seek(h.nextOffset);
    }
    if (!colourMap_.empty()) {
        for (const TemplateTag& t : tags) {
            CSwfBitReader hr(buffer_.data() + t.offset, t.length);
            const SwfRecordHeader h = hr.ReadRecordHeader();
            RecolourTag(t.code, t.offset + h.bodyOffset, t.offset + t.length, 0);
        }
    }
    tags_ = std::move(tags);
    return true;
}

void CSwfTemplate::RecolourTags(std::size_t begin, std::size_t end, int depth) {
    CSwfBitReader r(buffer_.data() + begin, end - begin);
    while (r.Position() < end - begin) {
        const SwfRecordHeader h = r.ReadRecordHeader();
        if (r.failed() || h.nextOffset > end - begin) return;
        if (h.code == kTagEnd) return;
        RecolourTag(h.code, begin + h.bodyOffset, begin + h.nextOffset, depth);
        r.Seek(h.nextOffset);
    }
}

void CSwfTemplate::RecolourTag(std::uint16_t code, std::size_t begin, std::size_t end, int depth) {
    switch (code) {
    case kTagSetBackgroundColor:
        if (end - begin >= 3) {
            buffer_[begin] = static_cast<std::uint8_t>(background_);
            buffer_[begin + 1] = static_cast<std::uint8_t>(background_ >> 8);
            buffer_[begin + 2] = static_cast<std::uint8_t>(background_ >> 16);
        }
        break;
    case kTagDefineShape:
    case kTagDefineShape2:
        RecolourShape(begin, end, false);
        break;
    case kTagDefineShape3:
        RecolourShape(begin, end, true);
        break;
    case kTagDefineText:
        RecolourText(begin, end);
        break;
    case kTagDefineEditText:
        RecolourEditText(begin, end);
        break;
    case kTagDefineSprite:
        if (depth < kMaxSpriteDepth && end - begin >= 4) RecolourTags(begin + 4, end, depth + 1);
        break;
    default:
        break;
    }
}

void CSwfTemplate::LookUp(std::size_t offset) {
    const std::uint32_t colour = static_cast<std::uint32_t>(buffer_[offset]) |
                                 static_cast<std::uint32_t>(buffer_[offset + 1]) << 8 |
                                 static_cast<std::uint32_t>(buffer_[offset + 2]) << 16;
    for (const auto& [from, to] : colourMap_) {
        if (from == colour) {
            buffer_[offset] = static_cast<std::uint8_t>(to);
            buffer_[offset + 1] = static_cast<std::uint8_t>(to >> 8);
            buffer_[offset + 2] = static_cast<std::uint8_t>(to >> 16);
            return;
        }
    }
}

// A fill or line style array at the reader's position; base is the reader's offset in buffer_.
bool CSwfTemplate::RecolourStyles(CSwfBitReader& r, std::size_t base, bool withAlpha) {
    return WalkShapeStyles(r, withAlpha, [&](std::size_t at) { LookUp(base + at); });
}

void CSwfTemplate::RecolourShape(std::size_t begin, std::size_t end, bool withAlpha) {
    CSwfBitReader r(buffer_.data() + begin, end - begin);
    r.ReadU16();  // shape id
    r.ReadRect();
    if (!RecolourStyles(r, begin, withAlpha)) return;
    int fillBits = static_cast<int>(r.ReadUBits(4));
    int lineBits = static_cast<int>(r.ReadUBits(4));
    // Every record consumes at least one bit, so the reader's end bounds the loop.
    while (!r.failed()) {
        if (r.ReadUBits(1)) {  // edge
            if (r.ReadUBits(1)) {  // straight
                const int n = static_cast<int>(r.ReadUBits(4)) + 2;
                if (r.ReadUBits(1)) {
                    r.ReadSBits(n);
                    r.ReadSBits(n);
                } else {
                    r.ReadUBits(1);
                    r.ReadSBits(n);
                }
            } else {
                const int n = static_cast<int>(r.ReadUBits(4)) + 2;
                for (int i = 0; i < 4; ++i) r.ReadSBits(n);
            }
            continue;
        }
        const std::uint32_t flags = r.ReadUBits(5);
        if (flags == 0 || r.failed()) break;  // end of shape
        if (flags & 0x01) {
            const int n = static_cast<int>(r.ReadUBits(5));
            r.ReadSBits(n);
            r.ReadSBits(n);
        }
        if (flags & 0x02) r.ReadUBits(fillBits);
        if (flags & 0x04) r.ReadUBits(fillBits);
        if (flags & 0x08) r.ReadUBits(lineBits);
        if (flags & 0x10) {
            if (!RecolourStyles(r, begin, withAlpha)) break;
            fillBits = static_cast<int>(r.ReadUBits(4));
            lineBits = static_cast<int>(r.ReadUBits(4));
        }
    }
}

void CSwfTemplate::RecolourText(std::size_t begin, std::size_t end) {
    CSwfBitReader r(buffer_.data() + begin, end - begin);
    r.ReadU16();
    r.ReadRect();
    r.ReadMatrix();
    const int glyphBits = r.ReadU8();
    const int advanceBits = r.ReadU8();
    while (!r.failed()) {
        const std::uint8_t b = r.ReadU8();
        if (b == 0 || r.failed()) break;
        if (b & 0x80) {  // style record
            if (b & 0x08) r.ReadU16();  // font id
            if (b & 0x04) {
                const std::size_t at = begin + r.Position();
                r.ReadU8();
                r.ReadU8();
                r.ReadU8();
                if (!r.failed()) LookUp(at);
            }
            if (b & 0x01) r.ReadU16();
            if (b & 0x02) r.ReadU16();
            if (b & 0x08) r.ReadU16();  // height
        } else {
            for (int i = 0; i < (b & 0x7F) && !r.failed(); ++i) {
                r.ReadUBits(glyphBits);
                r.ReadUBits(advanceBits);
            }
        }
    }
}

void CSwfTemplate::RecolourEditText(std::size_t begin, std::size_t end) {
    CSwfBitReader r(buffer_.data() + begin, end - begin);
    r.ReadU16();
    r.ReadRect();
    const std::uint16_t flags = r.ReadU16();
    const bool hasFont = flags & 0x0001;
    const bool hasFontClass = flags & 0x8000;  // a class name instead of a font id (SWF 9+)
    if (hasFont) r.ReadU16();
    if (hasFontClass) {
        while (!r.failed() && r.ReadU8() != 0) {
        }
    }
    if (hasFont || hasFontClass) r.ReadU16();  // height
    if (flags & 0x0004) {
        const std::size_t at = begin + r.Position();
        for (int i = 0; i < 4; ++i) r.ReadU8();
        if (!r.failed()) LookUp(at);  // alpha kept
    }
}

bool CSwfTemplate::NextTag(std::uint16_t& code, const std::uint8_t*& bytes, std::uint32_t& length) {
    if (cursor_ >= tags_.size()) return false;
    const TemplateTag& t = tags_[cursor_++];
    code = t.code;
    bytes = buffer_.data() + t.offset;
    length = t.length;
    return true;
}

bool CSwfTemplate::SaveAs(const std::filesystem::path& path) const {
    if (buffer_.empty()) return false;
    if (!WriteFileAtomically(
            path, std::string_view(reinterpret_cast<const char*>(buffer_.data()), buffer_.size())))
        return false;
    // The player SWF is served beside the page: give it the permissions any new file gets
    // (the atomic writer's temporary file is private to the owner).
    std::error_code ec;
    std::filesystem::permissions(path, static_cast<std::filesystem::perms>(0666 & ~ProcessUmask()),
                                 std::filesystem::perm_options::replace, ec);
    return true;
}

}  // namespace tonvela
