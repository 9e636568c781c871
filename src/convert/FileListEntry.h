// One input file of the file list, with its probed format and the outputs of its last conversion.
#pragma once

#include <string>

#include "audio/AudioSource.h"

namespace tonvela {

struct CFileListEntry {
    std::string path;         // full path of the source file, as added
    int channels = 0;         // as stored in the file
    int sampleRate = 0;       // Hz
    int durationSeconds = 0;  // whole seconds
    int bitRate = 0;          // kbit/s
    AudioKind kind = AudioKindOther;  // fixed when added; the conversion opens the file by it

    // Set by the last conversion of this entry; the paths emptied when it fails.
    std::string swfPath;
    std::string htmlPath;
    std::string playerSwfPath;
    int convertedSeconds = 0;  // the sound's length in whole seconds, for the preview's query
    bool outputInDocuments = false;  // the output folder was not writable: written to the documents folder
    // "Overwrite": the SWF name that an earlier entry of the same batch had written, so this
    // entry's names were numbered; empty otherwise.
    std::string clashedWithRun;
    // Forgets everything the last conversion set: before naming a new one, and when one fails.
    void ForgetOutputs() {
        swfPath.clear();
        htmlPath.clear();
        playerSwfPath.clear();
        convertedSeconds = 0;
        outputInDocuments = false;
        clashedWithRun.clear();
    }

    // durationSeconds is the file's own count, not an estimate (set with it when the file is added).
    bool lengthDeclared = false;
};

}  // namespace tonvela
