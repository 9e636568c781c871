// Small hand-built SWF files for the template tests. Bodies are written as literal bytes (or
// bit strings) worked out from the SWF format, so the tests do not lean on the code under test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "swf/SwfTestSupport.h"

namespace tonvela::testswf {

using Bytes = std::vector<std::uint8_t>;

// "0110 1..." -> bytes, most significant bit first, the last byte padded with zeros.
inline Bytes BitString(const std::string& s) {
    Bytes out;
    int n = 0;
    std::uint8_t cur = 0;
    for (char c : s) {
        if (c != '0' && c != '1') continue;
        cur = static_cast<std::uint8_t>(cur << 1 | (c == '1'));
        if (++n == 8) {
            out.push_back(cur);
            cur = 0;
            n = 0;
        }
    }
    if (n) out.push_back(static_cast<std::uint8_t>(cur << (8 - n)));
    return out;
}

inline Bytes Tag(std::uint16_t code, const Bytes& body, bool forceLong = false) {
    Bytes out;
    const auto len = static_cast<std::uint32_t>(body.size());
    if (len < 63 && !forceLong) {
        const std::uint16_t v = static_cast<std::uint16_t>(code << 6 | len);
        out = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    } else {
        const std::uint16_t v = static_cast<std::uint16_t>(code << 6 | 63);
        out = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
               static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8),
               static_cast<std::uint8_t>(len >> 16), static_cast<std::uint8_t>(len >> 24)};
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline void Add(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

// Header of a 550 x 400 pixel movie at 12 fps (RECT n = 15: 9 bytes), then the tags.
inline Bytes Movie(const std::vector<Bytes>& tags, std::uint8_t version = 8,
                   std::uint16_t frames = 1) {
    Bytes out = {'F', 'W', 'S', version, 0, 0, 0, 0};
    // xmin 0, xmax 11000, ymin 0, ymax 8000 with 15-bit fields.
    Add(out, BitString("01111 000000000000000 010101011111000 000000000000000 001111101000000"));
    Add(out, {0x00, 0x0C, static_cast<std::uint8_t>(frames), static_cast<std::uint8_t>(frames >> 8)});
    for (const Bytes& t : tags) Add(out, t);
    const auto n = static_cast<std::uint32_t>(out.size());
    out[4] = static_cast<std::uint8_t>(n);
    out[5] = static_cast<std::uint8_t>(n >> 8);
    out[6] = static_cast<std::uint8_t>(n >> 16);
    out[7] = static_cast<std::uint8_t>(n >> 24);
    return out;
}

inline Bytes ShowFrame() { return Tag(1, {}); }
inline Bytes End() { return Tag(0, {}); }
// A DoAction holding these action bytes and the ActionEndFlag.
inline Bytes DoAction(Bytes actions) {
    actions.push_back(0);
    return Tag(12, actions);
}

// Files and folders as the other SWF tests make them.
using swftest::TempDir;
using swftest::WriteFile;

}  // namespace tonvela::testswf
