// The single way in: picks the reader for a file from its kind and opens it.
#include <unistd.h>

#include <memory>
#include <string>

#include "audio/AiffAudioSource.h"
#include "audio/AudioSource.h"
#include "audio/BassAudioSource.h"
#include "audio/SndAudioSource.h"
#include "audio/WavAudioSource.h"
#include "platform/OpenRegularFile.h"

namespace tonvela {

namespace {

std::unique_ptr<CAudioSource> OpenWith(std::unique_ptr<CAudioSource> source, const std::string& path,
                                       int musicRate) {
    if (!source || !source->Open(path, musicRate)) return nullptr;  // the failed source closes itself
    return source;
}

}  // namespace

std::unique_ptr<CAudioSource> OpenAudioSource(const std::string& path, AudioKind kind,
                                              int musicRate) {
    // Regular files only: opening a FIFO blocks until a writer comes, and a device (through a
    // link named like a sound file) never ends. The file is opened once, without blocking, and
    // checked as opened; every reader then opens that very file through its descriptor, so a
    // name swapped for a FIFO (or another file) after the check is never followed.
    const CUniqueFd input = OpenRegularFile(path);
    if (!input.IsOpen()) return nullptr;
    std::string opened = "/proc/self/fd/" + std::to_string(input.Get());
    if (::access(opened.c_str(), R_OK) != 0) opened = path;  // no /proc: the name is all there is

    // NeXT/Sun files only ever use the built-in reader.
    if (kind == AudioKindSnd) return OpenWith(std::make_unique<CSndAudioSource>(), opened, 0);

    // Every other kind goes to the decoding library first, opened with musicRate; when it
    // accepts the file, that source is the result.
    if (auto source = OpenWith(std::make_unique<CBassAudioSource>(path), opened, musicRate)) return source;

    // The built-in readers serve the WAV and AIFF files the library refuses; for any other kind
    // there is nothing left to try.
    switch (kind) {
        case AudioKindWav:
            return OpenWith(std::make_unique<CWavAudioSource>(), opened, 0);
        case AudioKindAiff:
            return OpenWith(std::make_unique<CAiffAudioSource>(), opened, 0);
        default:
            return nullptr;
    }
}

}  // namespace tonvela
