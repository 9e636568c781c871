// Owns a C stdio stream and closes it on destruction. Where the close result matters (a late
// write error), close it explicitly: std::fclose(file.release()).
#pragma once

#include <cstdio>
#include <memory>

namespace tonvela {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

using CUniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tonvela
