#include "swf/MemoryTagSource.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "swf/SwfBits.h"

namespace tonvela {

namespace {

constexpr std::uint16_t kTagPlaceObject2 = 26;

std::vector<std::uint8_t> MakeTag(std::uint16_t code, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out(kMaxRecordHeaderSize + body.size());
    std::uint8_t* p = WriteRecordHeader(out.data(), code, static_cast<std::uint32_t>(body.size()));
    out.resize(static_cast<std::size_t>(p - out.data()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace

void CMemoryTagSource::AddTag(std::uint16_t code, const std::vector<std::uint8_t>& body) {
    tags_.push_back({code, MakeTag(code, body)});
}

void CMemoryTagSource::AddRawTag(std::uint16_t code, const std::vector<std::uint8_t>& bytes) {
    tags_.push_back({code, bytes});
}

bool CMemoryTagSource::NextTag(std::uint16_t& code, const std::uint8_t*& bytes,
                               std::uint32_t& length) {
    if (cursor_ >= tags_.size()) return false;
    const Tag& t = tags_[cursor_++];
    code = t.code;
    bytes = t.bytes.data();
    length = static_cast<std::uint32_t>(t.bytes.size());
    return true;
}

std::vector<std::uint8_t> CMemoryTagSource::Serialize() const {
    std::vector<std::uint8_t> out(8 + kMaxRectSize + 4);
    std::uint8_t* p = out.data();
    p = WriteU8(p, 'F');
    p = WriteU8(p, 'W');
    p = WriteU8(p, 'S');
    p = WriteU8(p, version_);
    p = WriteU32(p, 0);
    p = WriteRect(p, 0, width_ * 20, 0, height_ * 20);
    if (!p) return {};
    p = WriteU16(p, 12 << 8);
    std::uint32_t frames = 0;
    for (const Tag& t : tags_) frames += t.code == kTagShowFrame ? 1 : 0;
    p = WriteU16(p, frames);
    out.resize(static_cast<std::size_t>(p - out.data()));
    for (const Tag& t : tags_) out.insert(out.end(), t.bytes.begin(), t.bytes.end());
    WriteU32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

bool CMemoryTagSource::SaveAs(const std::filesystem::path& path) const {
    const std::vector<std::uint8_t> bytes = Serialize();
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
    }
    return ok;
}

ActionTag MakeDoAction(const std::vector<std::uint8_t>& actions) {
    std::vector<std::uint8_t> body = actions;
    body.push_back(0x00);  // ActionEndFlag
    ActionTag tag;
    tag.bytes = MakeTag(kTagDoAction, body);
    return tag;
}

CMemoryTagSource MakeDemoControlTemplate(int widthPx, int heightPx, std::uint32_t colour,
                                         TemplateActions& actions) {
    CMemoryTagSource t(6, widthPx, heightPx);
    const auto r = static_cast<std::uint8_t>(colour);
    const auto g = static_cast<std::uint8_t>(colour >> 8);
    const auto b = static_cast<std::uint8_t>(colour >> 16);
    t.AddTag(kTagSetBackgroundColor, {0xFF, 0xFF, 0xFF});

    // DefineShape 1: a "play" triangle inside the frame, one solid fill.
    const std::int32_t w = widthPx * 20, h = heightPx * 20;
    const std::int32_t x0 = w / 4, y0 = h / 8, tw = w / 2, th = h - 2 * (h / 8);
    std::vector<std::uint8_t> shape(64 + kMaxRectSize);
    std::uint8_t* p = WriteU16(shape.data(), 1);
    p = WriteRect(p, 0, w, 0, h);
    p = WriteU8(p, 1);     // one fill style
    p = WriteU8(p, 0x00);  // solid
    p = WriteRgb(p, r, g, b);
    p = WriteU8(p, 0);  // no line styles
    int bit = 0;
    *p = 0;
    p = WriteUBits(p, bit, 1, 4);  // NumFillBits
    p = WriteUBits(p, bit, 0, 4);  // NumLineBits
    // StyleChangeRecord: move to (x0, y0), fill style 0 = 1.
    p = WriteUBits(p, bit, 0, 1);
    p = WriteUBits(p, bit, 0x03, 5);  // FillStyle0 | MoveTo
    const int mb = std::max(SignedBitWidth(x0), SignedBitWidth(y0));
    p = WriteUBits(p, bit, static_cast<std::uint32_t>(mb), 5);
    p = WriteSBits(p, bit, x0, mb);
    p = WriteSBits(p, bit, y0, mb);
    p = WriteUBits(p, bit, 1, 1);
    // Three straight edges: (tw, th/2), (-tw, th/2), (0, -th).
    auto general = [&](std::int32_t dx, std::int32_t dy) {
        const int nb = std::max({SignedBitWidth(dx), SignedBitWidth(dy), 2});
        p = WriteUBits(p, bit, 1, 1);  // edge
        p = WriteUBits(p, bit, 1, 1);  // straight
        p = WriteUBits(p, bit, static_cast<std::uint32_t>(nb - 2), 4);
        p = WriteUBits(p, bit, 1, 1);  // general line
        p = WriteSBits(p, bit, dx, nb);
        p = WriteSBits(p, bit, dy, nb);
    };
    general(tw, th / 2);
    general(-tw, th - th / 2);
    const int vb = std::max(SignedBitWidth(-th), 2);
    p = WriteUBits(p, bit, 1, 1);
    p = WriteUBits(p, bit, 1, 1);
    p = WriteUBits(p, bit, static_cast<std::uint32_t>(vb - 2), 4);
    p = WriteUBits(p, bit, 0, 1);  // not general
    p = WriteUBits(p, bit, 1, 1);  // vertical
    p = WriteSBits(p, bit, -th, vb);
    p = WriteUBits(p, bit, 0, 6);  // EndShapeRecord
    if (bit != 0) ++p;
    shape.resize(static_cast<std::size_t>(p - shape.data()));
    t.AddTag(kTagDefineShape, shape);
    t.AddTag(kTagPlaceObject2, {0x02, 0x01, 0x00, 0x01, 0x00});  // HasCharacter, depth 1, id 1
    t.AddTag(kTagShowFrame, {});
    t.AddTag(kTagShowFrame, {});

    // ConstantPool "a", "b", "fps"; then the frame-rate literal of time displays: push constant 2 and
    // the integer 12, SetVariable (fps = 12).
    const std::vector<std::uint8_t> fpsLiteral = {0x88, 0x0A, 0x00, 0x03, 0x00, 'a', 0,   'b', 0,
                                                  'f',  'p',  's',  0,    0x96, 0x07, 0x00, 0x08,
                                                  0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D};
    auto withFps = [&](std::uint8_t action) {
        std::vector<std::uint8_t> a = fpsLiteral;
        a.push_back(action);
        ActionTag tag = MakeDoAction(a);
        // Header (2) + constant pool (13) + push header and constant (6) = the integer 12.
        tag.frameRatePatch = 2 + 13 + 6;
        return tag;
    };
    actions.Clear();
    actions.startPlay = withFps(0x06);                    // Play
    actions.startStop = withFps(0x07);                    // Stop
    actions.endLoop = MakeDoAction({0x81, 0x02, 0x00, 0x00, 0x00, 0x06});  // GotoFrame 0; Play
    actions.endStop = MakeDoAction({0x07});               // Stop
    for (const ActionTag* a : {&actions.startPlay, &actions.startStop, &actions.endLoop, &actions.endStop}) {
        t.AddRawTag(kTagDoAction, a->bytes);
        t.AddTag(kTagShowFrame, {});
    }
    t.AddTag(kTagEnd, {});
    return t;
}

}  // namespace tonvela
