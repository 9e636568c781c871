#include "platform/TerminalText.h"

#include <cstdio>

namespace tonvela {

namespace {

bool IsC0OrDel(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string Escape(const char* format, unsigned value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (IsC0OrDel(c)) {
            out += Escape("\\x%02X", c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += Escape("\\u%04X", next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

CTerminalEscape::CTerminalEscape(std::ostream& stream) : stream_(stream), target_(stream.rdbuf(this)) {}

CTerminalEscape::~CTerminalEscape() {
    if (leadC2_) target_->sputc(static_cast<char>(0xC2));
    stream_.rdbuf(target_);
}

bool CTerminalEscape::Put(unsigned char c) {
    std::string out;
    if (leadC2_) {
        leadC2_ = false;
        if (c >= 0x80 && c <= 0x9F) {
            out = Escape("\\u%04X", c);
            return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
                   static_cast<std::streamsize>(out.size());
        }
        if (target_->sputc(static_cast<char>(0xC2)) == traits_type::eof()) return false;
    }
    if (c == 0xC2) {
        leadC2_ = true;
        return true;
    }
    if (IsC0OrDel(c) && c != '\n' && c != '\t') {
        out = Escape("\\x%02X", c);
        return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
               static_cast<std::streamsize>(out.size());
    }
    return target_->sputc(static_cast<char>(c)) != traits_type::eof();
}

int CTerminalEscape::overflow(int c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return Put(static_cast<unsigned char>(c)) ? c : traits_type::eof();
}

std::streamsize CTerminalEscape::xsputn(const char* s, std::streamsize n) {
    for (std::streamsize i = 0; i < n; ++i)
        if (!Put(static_cast<unsigned char>(s[i]))) return i;
    return n;
}

int CTerminalEscape::sync() { return target_->pubsync(); }

}  // namespace tonvela
