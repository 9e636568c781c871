#include "swf/JpegRewrite.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/AtomicFile.h"
#include "swf/JpegCheck.h"
#include "swf/ShapeStyles.h"
#include "swf/SwfBits.h"
#include "swf/SwfTemplate.h"

namespace tonvela {

namespace {

// A user's picture larger than this is not a background.
constexpr std::size_t kMaxJpegBytes = 64u << 20;
// Largest field a straight edge can carry: 4 bits of width plus 2. Longer edges are drawn as
// several straight pieces.
constexpr int kMaxEdgeBits = 17;
constexpr std::int64_t kMaxEdgeTwips = (std::int64_t{1} << (kMaxEdgeBits - 1)) - 1;
// Largest picture side the rewrite takes, in twips: the settings' 32767 pixels.
constexpr std::int32_t kMaxSideTwips = 32767 * 20;

void Append(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t n) {
    out.insert(out.end(), p, p + n);
}

void AppendHeader(std::vector<std::uint8_t>& out, std::uint16_t code, std::uint32_t length) {
    std::uint8_t h[kMaxRecordHeaderSize];
    Append(out, h, static_cast<std::size_t>(WriteRecordHeader(h, code, length) - h));
}

std::int32_t Stretch(std::int32_t v, std::int32_t placeholder, std::int32_t target) {
    if (v == placeholder) return target;
    if (v == -placeholder) return -target;
    return 0;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> StretchShapeBody(const std::uint8_t* body,
                                                          std::size_t length,
                                                          std::int32_t widthTwips,
                                                          std::int32_t heightTwips) {
    if (widthTwips < 0 || heightTwips < 0 || widthTwips > kMaxSideTwips || heightTwips > kMaxSideTwips)
        return std::nullopt;
    // A stretched edge becomes at most this many pieces.
    const std::int64_t pieces = std::max<std::int64_t>(widthTwips, heightTwips) / kMaxEdgeTwips + 1;
    CSwfBitReader r(body, length);
    // Every old record takes at least 6 bits and a new one at most 75 per piece, plus RECT and slack.
    std::vector<std::uint8_t> work(length * 13 * static_cast<std::size_t>(pieces) + kMaxRectSize + 16, 0);
    CSwfBitWriter w(work.data());
    w.U16(r.ReadU16());
    r.ReadRect();
    if (!w.Rect(0, widthTwips, 0, heightTwips)) return std::nullopt;
    const std::size_t stylesBegin = r.Position();
    WalkShapeStyles(r, false, nullptr);
    if (r.failed()) return std::nullopt;
    for (std::size_t i = stylesBegin; i < r.Position(); ++i) w.U8(body[i]);
    int fillBits = static_cast<int>(r.ReadUBits(4));
    int lineBits = static_cast<int>(r.ReadUBits(4));
    w.UBits(static_cast<std::uint32_t>(fillBits), 4);
    w.UBits(static_cast<std::uint32_t>(lineBits), 4);
    for (;;) {
        const std::uint32_t isEdge = r.ReadUBits(1);
        if (r.failed()) return std::nullopt;
        w.UBits(isEdge, 1);
        if (!isEdge) {
            const std::uint32_t flags = r.ReadUBits(5);
            w.UBits(flags, 5);
            if (flags == 0) break;
            if (flags & 0x10) return std::nullopt;  // new styles: not allowed in a DefineShape
            if (flags & 0x01) {
                const int n = static_cast<int>(r.ReadUBits(5));
                const std::int32_t x = Stretch(r.ReadSBits(n), kJpegPlaceholderWidth, widthTwips);
                const std::int32_t y = Stretch(r.ReadSBits(n), kJpegPlaceholderHeight, heightTwips);
                const int nb = std::max(SignedBitWidth(x), SignedBitWidth(y));
                if (nb > 31) return std::nullopt;
                w.UBits(static_cast<std::uint32_t>(nb), 5);
                w.SBits(x, nb);
                w.SBits(y, nb);
            }
            if (flags & 0x02) w.UBits(r.ReadUBits(fillBits), fillBits);
            if (flags & 0x04) w.UBits(r.ReadUBits(fillBits), fillBits);
            if (flags & 0x08) w.UBits(r.ReadUBits(lineBits), lineBits);
            if (r.failed()) return std::nullopt;
            continue;
        }
        const std::uint32_t straight = r.ReadUBits(1);
        w.UBits(straight, 1);
        const int n = static_cast<int>(r.ReadUBits(4)) + 2;
        if (!straight) {  // curves are kept as they are
            w.UBits(static_cast<std::uint32_t>(n - 2), 4);
            for (int i = 0; i < 4; ++i) w.SBits(r.ReadSBits(n), n);
            if (r.failed()) return std::nullopt;
            continue;
        }
        const std::uint32_t general = r.ReadUBits(1);
        std::uint32_t vertical = 0;
        std::int32_t dx = 0, dy = 0;
        if (general) {
            dx = Stretch(r.ReadSBits(n), kJpegPlaceholderWidth, widthTwips);
            dy = Stretch(r.ReadSBits(n), kJpegPlaceholderHeight, heightTwips);
        } else {
            vertical = r.ReadUBits(1);
            if (vertical)
                dy = Stretch(r.ReadSBits(n), kJpegPlaceholderHeight, heightTwips);
            else
                dx = Stretch(r.ReadSBits(n), kJpegPlaceholderWidth, widthTwips);
        }
        if (r.failed()) return std::nullopt;
        // An edge too long for one record is drawn as k equal straight pieces in a row.
        const std::int64_t k = std::max<std::int64_t>(std::max(std::abs(std::int64_t{dx}), std::abs(std::int64_t{dy})) /
                                                          kMaxEdgeTwips + 1, 1);
        for (std::int64_t i = 0; i < k; ++i) {
            const auto px = static_cast<std::int32_t>(dx * (i + 1) / k - dx * i / k);
            const auto py = static_cast<std::int32_t>(dy * (i + 1) / k - dy * i / k);
            if (i > 0) w.UBits(3, 2);  // another edge record, straight
            const int nb = std::max({general || !vertical ? SignedBitWidth(px) : 2,
                                     general || vertical ? SignedBitWidth(py) : 2, 2});
            if (nb > kMaxEdgeBits) return std::nullopt;
            w.UBits(static_cast<std::uint32_t>(nb - 2), 4);
            w.UBits(general, 1);
            if (general) {
                w.SBits(px, nb);
                w.SBits(py, nb);
            } else {
                w.UBits(vertical, 1);
                w.SBits(vertical ? py : px, nb);
            }
        }
    }
    w.Align();
    work.resize(static_cast<std::size_t>(w.Pointer() - work.data()));
    return work;
}

std::optional<std::vector<std::uint8_t>> RebuildAroundJpeg(const std::vector<std::uint8_t>& swf,
                                                           std::size_t firstTagOffset,
                                                           std::uint8_t version, int frameRate,
                                                           int frameCount,
                                                           const std::vector<std::uint8_t>& jpeg,
                                                           int widthPx, int heightPx) {
    if (widthPx <= 0 || heightPx <= 0 || widthPx > kMaxSideTwips / 20 || heightPx > kMaxSideTwips / 20)
        return std::nullopt;
    const std::int32_t wt = widthPx * 20, ht = heightPx * 20;
    std::vector<std::uint8_t> out;
    out.reserve(swf.size() + jpeg.size() + 64);
    std::uint8_t head[8 + kMaxRectSize + 4];
    std::uint8_t* p = head;
    p = WriteU8(p, 'F');
    p = WriteU8(p, 'W');
    p = WriteU8(p, 'S');
    p = WriteU8(p, version);
    p = WriteU32(p, 0);  // patched below
    p = WriteRect(p, 0, wt, 0, ht);
    if (!p) return std::nullopt;
    p = WriteU16(p, static_cast<std::uint32_t>(frameRate) << 8);
    p = WriteU16(p, static_cast<std::uint32_t>(frameCount));
    Append(out, head, static_cast<std::size_t>(p - head));

    CSwfBitReader r(swf.data(), swf.size());
    r.Seek(firstTagOffset);
    while (r.Position() < swf.size()) {
        const SwfRecordHeader h = r.ReadRecordHeader();
        if (r.failed() || h.nextOffset > swf.size()) return std::nullopt;
        const std::uint8_t* body = swf.data() + h.bodyOffset;
        if (h.code == kTagDefineShape) {
            auto shape = StretchShapeBody(body, h.length, wt, ht);
            if (!shape) return std::nullopt;
            AppendHeader(out, kTagDefineShape, static_cast<std::uint32_t>(shape->size()));
            Append(out, shape->data(), shape->size());
        } else if (h.code == kTagDefineBitsJpeg2) {
            if (h.length < 2 || jpeg.size() > kMaxJpegBytes) return std::nullopt;
            AppendHeader(out, kTagDefineBitsJpeg2, static_cast<std::uint32_t>(jpeg.size() + 6));
            Append(out, body, 2);  // character id
            const std::uint8_t marker[4] = {0xFF, 0xD9, 0xFF, 0xD8};
            Append(out, marker, 4);
            Append(out, jpeg.data(), jpeg.size());
        } else {
            Append(out, swf.data() + h.headerOffset, h.nextOffset - h.headerOffset);
        }
        r.Seek(h.nextOffset);
    }
    if (out.size() > 0xFFFFFFFFu) return std::nullopt;
    WriteU32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

bool CSwfTemplate::ReplaceJpeg(const std::filesystem::path& jpegPath, int widthPx, int heightPx) {
    if (buffer_.empty()) return false;
    std::string jpeg;
    if (!ReadWholeFile(jpegPath, kMaxJpegBytes, jpeg)) return false;
    // An empty, cut or foreign file (a PNG) would leave the movie without its background.
    if (!IsCompleteJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size())) return false;
    const std::vector<std::uint8_t> jpegBytes(jpeg.begin(), jpeg.end());
    auto rebuilt = RebuildAroundJpeg(buffer_, firstTagOffset_, version_, frameRate_, frameCount_,
                                     jpegBytes, widthPx, heightPx);
    if (!rebuilt) return false;
    CSwfTemplate fresh;
    if (!fresh.LoadFromBytes(std::move(*rebuilt))) return false;
    fresh.colourMap_ = std::move(colourMap_);
    fresh.background_ = background_;
    fresh.jpegWidthTwips_ = widthPx * 20;
    fresh.jpegHeightTwips_ = heightPx * 20;
    *this = std::move(fresh);
    return true;
}

}  // namespace tonvela
