#include "convert/FrameLimit.h"

#include <algorithm>

#include "convert/BatchTemplate.h"
#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "swf/SoundSwfLayouts.h"

namespace tonvela {

std::string FrameLimitBreak(const CConvertOptions& settings, std::uint64_t outputSamples, int mp3Rate,
                            std::uint32_t convertedSeconds) {
    const BatchWriter writer = ChooseBatchWriter(settings);
    if (writer == BatchWriter::Event || mp3Rate < 1) return {};  // one frame or two, whatever the sound
    const int seconds = static_cast<int>(std::min<std::uint32_t>(convertedSeconds, 0x7FFFFFFF));
    const int fps = StreamingFrameRate(settings.SWFFrameRate, seconds);
    // The writer gives each SWF frame at most mp3Rate / fps samples (one frame's worth less for
    // the last, which may run ahead), and a sound at least one frame.
    const std::int64_t soundFrames =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(outputSamples) * fps / mp3Rate - 1);
    const std::int64_t lastFrame = writer == BatchWriter::ShellPlayerPair ? 0 : 1;  // the end action's
    const std::int64_t frames = 1 + std::int64_t{settings.BlankFrames} + soundFrames + lastFrame;
    if (frames <= kSwfMaxFrames) return {};
    const std::int64_t room = std::max<std::int64_t>(0, kSwfMaxFrames - 1 - soundFrames - lastFrame);
    return "BlankFrames " + std::to_string(settings.BlankFrames) + " leaves no room for this sound: a SWF holds " +
           std::to_string(kSwfMaxFrames) + " frames and the sound needs " + std::to_string(soundFrames) + " at " +
           std::to_string(fps) + " frames per second (BlankFrames " + std::to_string(room) + " at most)";
}

}  // namespace tonvela
