#include "audio/DecoderStartup.h"

#include "audio/DecoderLibrary.h"

namespace tonvela {

DecoderStartResult StartDecoder() { return StartDecoder(DecoderRuntimeVersions()); }

DecoderStartResult StartDecoder(const DecoderVersions& runtime) {
    // A library of another major version may lay out its structures differently: refuse to run.
    if (!(runtime == DecoderBuiltVersions())) return DecoderStartResult::WrongVersion;
    if (!DecoderLibraryInit()) return DecoderStartResult::InitFailed;
    return DecoderStartResult::Ok;
}

void StopDecoder() { DecoderLibraryFree(); }

}  // namespace tonvela
