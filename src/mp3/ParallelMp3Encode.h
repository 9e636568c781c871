// Encoding one long sound on several cores: the sound is cut into chunks that separate
// encoders work on at the same time, each starting a little early (so its first frames of
// interest are made as a single encoder would make them) and running on a little past its end
// (so a join can be found there). The chunks' frames are joined into one constant-bit-rate
// stream with the frame count, encoder delay and sample count of a single encoder's output.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "mp3/Mp3Encoder.h"
#include "platform/ThreadStarter.h"

namespace tonvela {

// 16-bit samples of one or two channels, each in a file of its own, read with pread.
struct PcmChannelFiles {
    int left = -1;
    int right = -1;                  // -1 for one channel
    std::uint64_t firstSample = 0;   // where the sound starts in both files
    std::uint64_t samples = 0;       // per channel
};

enum class ParallelEncodeResult { Done, NoJoin, NoThreads, Failed, Cancelled };

// How many encoders are worth starting for a sound of this many samples at this rate when
// freeCores cores are free for it; 1 means encode on this thread alone.
int ParallelEncodeThreads(std::uint64_t samples, int inputRate, int freeCores);

// What tests change about a run; the defaults are the program's.
struct ParallelEncodeSeams {
    int chunkSeconds = 0;     // the length of the pieces (0: the usual); short for many joins
    ThreadStarter start;      // how threads are started
    // Reads the samples (pread's contract); empty: pread.
    std::function<ssize_t(int fd, void* to, std::size_t bytes, off_t at)> read;
    // False: no join onto chunk k (counted from 0, of `chunks`) is found, as if the encoders
    // never agreed there.
    std::function<bool(std::size_t k, std::size_t chunks)> mayJoin;
};

// Encodes the whole sound into mp3Path with `threads` encoders. poll is called on this thread
// about every 50 ms with the input samples encoded so far (of pcm.samples), and at least once per
// second of sound this thread encodes itself; false cancels.
// NoJoin: no place was found to join two chunks (the file's content is then to be replaced by
// the caller's single-encoder run); where the last join fails, the encoder before it runs on to
// the end instead. Failed: an encoder, a read or the write failed.
// NoThreads: not one encoder thread could be started (the caller encodes on its own thread);
// when only some start, they share the chunks.
ParallelEncodeResult EncodeMp3InParallel(const PcmChannelFiles& pcm, const Mp3EncoderSetup& setup,
                                         const std::string& mp3Path, int threads,
                                         const std::function<bool(std::uint64_t)>& poll,
                                         const ParallelEncodeSeams& seams = {});

}  // namespace tonvela
