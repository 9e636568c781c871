// The single way in: picks the reader for a file from its kind and opens it.
#include <sys/stat.h>

#include <memory>

#include "audio/AiffAudioSource.h"
#include "audio/AudioSource.h"
#include "audio/BassAudioSource.h"
#include "audio/SndAudioSource.h"
#include "audio/WavAudioSource.h"

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
    // link named like a sound file) never ends. stat() opens neither.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;

    // NeXT/Sun files only ever use the built-in reader.
    if (kind == AudioKindSnd) return OpenWith(std::make_unique<CSndAudioSource>(), path, 0);

    // Every other kind goes to the decoding library first, opened with musicRate; when it
    // accepts the file, that source is the result.
    if (auto source = OpenWith(std::make_unique<CBassAudioSource>(), path, musicRate)) return source;

    // The built-in readers serve the WAV and AIFF files the library refuses; for any other kind
    // there is nothing left to try.
    switch (kind) {
        case AudioKindWav:
            return OpenWith(std::make_unique<CWavAudioSource>(), path, 0);
        case AudioKindAiff:
            return OpenWith(std::make_unique<CAiffAudioSource>(), path, 0);
        default:
            return nullptr;
    }
}

}  // namespace tonvela
