// Input lists as find, xargs and rsync write them: one path a line, or NUL-separated.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

struct ListedInput {
    std::string path;  // absolute (relative lines joined to the base folder), lexically normal
    std::string root;  // the folder the shard key is taken relative to (see ShardKey)
    std::size_t line = 0;  // its line (or NUL-separated item) in the list, from 1; 0 on the command line
};

// bytes for a message: printable ASCII as it is, everything else (CR, tabs, bytes that are not
// ASCII) as \xHH, and a backslash doubled.
std::string EscapedBytes(std::string_view bytes);

// Splits list text into inputs. Lines end at "\n" (a "\r" before it is dropped, as is a
// UTF-8 byte-order mark at the start), or at NUL bytes with nul; empty lines are ignored;
// relative lines are taken relative to baseDir (absolute). An absolute line below baseDir gets
// baseDir as its root too, so "find /archive" and "cd /archive; find ." lists split the same
// way. False with the reason in error (the line's number and its bytes escaped) for a NUL byte
// in a line list (a file name cannot hold one: the list was meant for --null).
bool ParseFileList(std::string_view text, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                   std::string& error);

// Reads the list file (a regular file, a FIFO, a pipe, process substitution; "-" and
// /dev/stdin are standard input) to its end and parses it as above; baseDir empty means the
// list file's folder (for standard input and a descriptor's name such as /dev/fd/63, the
// current folder).
bool ReadFileList(const std::string& listFile, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                  std::string& error);

}  // namespace tonvela
