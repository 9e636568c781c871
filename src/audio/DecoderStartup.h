// Start-up and shut-down of the decoding libraries, shared by the window and the command line.
#pragma once

namespace tonvela {

enum class DecoderStartResult {
    Ok,
    WrongVersion,  // the libraries found at run time are not the ones built against: exit(1), no message
    InitFailed,    // show kDecoderInitFailedText with a stop icon, then exit
};

inline constexpr const char* kDecoderInitFailedText = "Failed to initialize the software (0x0002020).";

struct DecoderVersions;

// Checks the library versions, then starts the libraries. Call once, before any source is made.
DecoderStartResult StartDecoder();
// The same with the run-time versions given: what StartDecoder does once it has asked for them.
DecoderStartResult StartDecoder(const DecoderVersions& runtime);
// Releases the libraries at exit.
void StopDecoder();

// Starts the libraries for its lifetime and stops them when it goes; result() says whether the
// start worked.
class CDecoderSession {
public:
    CDecoderSession() : result_(StartDecoder()) {}
    ~CDecoderSession() {
        if (result_ == DecoderStartResult::Ok) StopDecoder();
    }
    CDecoderSession(const CDecoderSession&) = delete;
    CDecoderSession& operator=(const CDecoderSession&) = delete;
    DecoderStartResult result() const { return result_; }

private:
    DecoderStartResult result_;
};

}  // namespace tonvela
