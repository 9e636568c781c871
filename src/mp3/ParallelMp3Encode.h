// Encoding one long sound on several cores: the sound is cut into chunks that separate
// encoders work on at the same time, each starting a little early (so its first frames of
// interest are made as a single encoder would make them) and running on a little past its end
// (so a join can be found there). The chunks' frames are joined into one constant-bit-rate
// stream with the frame count, encoder delay and sample count of a single encoder's output.
#pragma once

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

// Encodes the whole sound into mp3Path with `threads` encoders. poll is called on this thread
// about every 50 ms with the input samples encoded so far (of pcm.samples); false cancels.
// NoJoin: no place was found to join two chunks (the file's content is then to be replaced by
// the caller's single-encoder run); Failed: an encoder, a read or the write failed.
// NoThreads: not one encoder thread could be started (the caller encodes on its own thread);
// when only some start, they share the chunks. chunkSeconds: the length of the pieces (0: the
// usual), for tests that want many joins; start: how threads are started (tests).
ParallelEncodeResult EncodeMp3InParallel(const PcmChannelFiles& pcm, const Mp3EncoderSetup& setup,
                                         const std::string& mp3Path, int threads,
                                         const std::function<bool(std::uint64_t)>& poll, int chunkSeconds = 0,
                                         const ThreadStarter& start = {});

}  // namespace tonvela
