// A temporary file that never outlives its owner: it is created without a name in the system's
// temporary folder (or unlinked right after creation), so even a crash leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/UniqueFd.h"

namespace tonvela {

// The folder that temporary files go to: $TMPDIR (or $TMP, $TEMP, $TEMPDIR) when set and not
// empty, else /tmp.
std::filesystem::path TemporaryFolder();
// Empty when a temporary file can be created there; else "temporary folder "X" cannot be
// used: reason", for a batch to say once instead of failing every file without a word.
std::string TemporaryFolderProblem();

class CTempFile {
public:
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile() { Close(); }

    // Closes a file still open, then creates a new empty one, open for reading and writing.
    bool Create();
    // Releases the file; the system removes its data.
    void Close();

    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }
    // A path through which other code (an encoder, a SWF writer) can open this same file while
    // it is open ("/proc/self/fd/N"); empty when closed.
    const std::string& Path() const { return path_; }

    // Size in bytes, or -1 when it cannot be read.
    std::int64_t Size() const;
    bool Write(const void* data, std::size_t bytes);
    // Reads exactly `bytes` bytes at the current position; false on a short read.
    bool ReadExact(void* data, std::size_t bytes);
    bool Seek(std::uint64_t offset);

private:
    CUniqueFd fd_;
    std::string path_;
};

}  // namespace tonvela
