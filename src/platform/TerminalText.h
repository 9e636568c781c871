// Text from outside (file names, settings values) on its way to a terminal: control characters
// are shown as escapes, so a name holding ESC sequences cannot move the cursor, recolour or
// retitle the terminal, and a name holding a newline cannot forge a line of its own.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tonvela {

// Every C0 control (newline and tab too), DEL and UTF-8 encoded C1 control as "\xNN" or
// "\uNNNN"; all other bytes (other UTF-8, bytes that are not UTF-8) as they are.
std::string TerminalText(std::string_view text);

// Escapes, while it lives, what the program writes to a stream, as TerminalText does but for
// the newlines and tabs that lay out the program's own lines.
class CTerminalEscape final : private std::streambuf {
public:
    explicit CTerminalEscape(std::ostream& stream);
    ~CTerminalEscape() override;
    CTerminalEscape(const CTerminalEscape&) = delete;
    CTerminalEscape& operator=(const CTerminalEscape&) = delete;

private:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;
    bool Put(unsigned char c);

    std::ostream& stream_;
    std::streambuf* target_;
    bool leadC2_ = false;  // a 0xC2 byte is held: with 0x80..0x9F it is a C1 control
};

}  // namespace tonvela
