// The file a take is recorded into: a named WAV file in the temporary folder, so that a take
// outlives a crash or a lost sound server; removed by its owner when the take is given up.
#pragma once

#include <string>

namespace tonvela {

class CTakeFile {
public:
    CTakeFile() = default;
    CTakeFile(const CTakeFile&) = delete;
    CTakeFile& operator=(const CTakeFile&) = delete;
    CTakeFile(CTakeFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    CTakeFile& operator=(CTakeFile&& other) noexcept;
    ~CTakeFile() { Remove(); }

    // Creates a new empty file "tvr??????.wav" with a unique name; false when the folder refuses.
    bool Create();
    // Deletes the file; harmless when there is none.
    void Remove();
    const std::string& Path() const { return path_; }
    bool Exists() const { return !path_.empty(); }

private:
    std::string path_;
};

}  // namespace tonvela
