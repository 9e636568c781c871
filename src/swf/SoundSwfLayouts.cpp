#include "swf/SoundSwfLayouts.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "swf/Mp3EventSound.h"
#include "swf/Mp3StreamSound.h"
#include "swf/SwfBits.h"
#include "swf/SwfFileWriter.h"

namespace tonvela {

namespace {

constexpr std::size_t kStreamBufferSize = 102400;
constexpr std::size_t kEventBufferSize = 10240;
constexpr std::int64_t kMaxStreamFrames = 16000;

bool WriteBackgroundColour(CSwfFileWriter& out, int colour) {
    const auto c = static_cast<std::uint32_t>(colour);  // red in the low byte
    return out.WriteBackground(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                               static_cast<std::uint8_t>(c >> 16));
}

bool WriteAction(CSwfFileWriter& out, const ActionTag& action, int fps) {
    const std::vector<std::uint8_t> bytes = action.WithFrameRate(fps);
    return out.WriteTag(kTagDoAction, bytes.data(), bytes.size());
}

bool WriteBlankFrames(CSwfFileWriter& out, int count) {
    for (int i = 0; i < count; ++i)
        if (!out.WriteShowFrame()) return false;
    return true;
}

// The template's first-frame tags, without its background and actions. False when the
// template has no ShowFrame or a write fails.
bool CopyControlTags(CSwfFileWriter& out, CSwfTagSource& tmpl) {
    tmpl.ResetTagCursor();
    std::uint16_t code = 0;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
    while (tmpl.NextTag(code, bytes, length)) {
        if (code == kTagShowFrame) return true;
        if (code == kTagSetBackgroundColor || code == kTagDoAction) continue;
        if (!out.WriteTag(code, bytes, length)) return false;
    }
    return false;
}

// (SoundStreamBlock, ShowFrame) per SWF frame until the sound ends.
bool WriteStreamBlocks(CSwfFileWriter& out, CMp3StreamSound& sound) {
    std::vector<std::uint8_t> buffer(kStreamBufferSize);
    if (!sound.Rewind()) return false;
    for (;;) {
        std::size_t capacity = buffer.size();
        std::size_t length = 0;
        if (!sound.WriteStreamBlock(buffer.data(), capacity, length))
            return !sound.ReadFailed();  // the end of the sound
        if (length == 0) {
            // A longer block than ever before: grow by half again, to a multiple of 4.
            const std::size_t grown = (capacity + capacity / 2) & ~std::size_t{3};
            buffer.resize(std::max(grown, buffer.size()));
            capacity = buffer.size();
            if (!sound.WriteStreamBlock(buffer.data(), capacity, length) || length == 0)
                return false;
        }
        if (!out.WriteTag(kTagSoundStreamBlock, buffer.data(), length) || !out.WriteShowFrame())
            return false;
    }
}

// Opens the MP3 and creates the output: the MP3 first, so refused input creates nothing.
template <class Sound>
bool OpenBoth(Sound& sound, CSwfFileWriter& out, const std::filesystem::path& mp3Path,
              const std::filesystem::path& swfPath) {
    return sound.Open(mp3Path) && out.Create(swfPath);
}

bool Fail(CSwfFileWriter& out) {
    out.Discard();
    return false;
}

// Streaming layouts; the player sound SWF leaves out the actions and template tags.
bool WriteStreaming(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                    const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                    CSwfTagSource* controls, const TemplateActions* actions,
                    std::uint8_t version, int widthPx, int heightPx) {
    CMp3StreamSound sound;
    CSwfFileWriter out;
    if (!OpenBoth(sound, out, mp3Path, swfPath)) return false;
    const int fps = StreamingFrameRate(options.frameRate, numbers.convertedSeconds);
    sound.SetFrameRate(fps);
    out.SetHeader(version, widthPx, heightPx, fps);
    if (!out.WriteHeader() || !WriteBackgroundColour(out, options.backgroundColour)) return Fail(out);

    std::uint8_t head[16];
    std::size_t capacity = sizeof head, length = 0;
    if (!sound.WriteStreamHead(head, capacity, length) ||
        !out.WriteTag(kTagSoundStreamHead, head, length))
        return Fail(out);
    if (actions &&
        !WriteAction(out, options.initPlay ? actions->startPlay : actions->startStop, fps))
        return Fail(out);
    if (controls && !CopyControlTags(out, *controls)) return Fail(out);
    if (!out.WriteShowFrame() || !WriteBlankFrames(out, options.blankFrames)) return Fail(out);

    if (!WriteStreamBlocks(out, sound)) return Fail(out);
    sound.Close();
    if (actions) {
        if (!WriteAction(out, options.loopPlay ? actions->endLoop : actions->endStop, fps) ||
            !out.WriteShowFrame())
            return Fail(out);
    }
    if (!out.WriteEnd()) return Fail(out);
    return out.Finish();
}

}  // namespace

int StreamingFrameRate(int swfFrameRate, int convertedSeconds) {
    int fps = LimitSwfFrameRate(swfFrameRate);
    if (convertedSeconds > 0 && std::int64_t{convertedSeconds} * fps > kMaxStreamFrames)
        fps = std::max(1, static_cast<int>(kMaxStreamFrames / convertedSeconds));
    return fps;
}

bool WriteStreamingSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                       const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                       CSwfTagSource& tmpl, const TemplateActions& actions) {
    return WriteStreaming(options, numbers, mp3Path, swfPath, options.copyControls ? &tmpl : nullptr,
                          &actions, tmpl.Version(), tmpl.FrameWidth(), tmpl.FrameHeight());
}

bool WritePlayerSoundSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                         const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                         const CSwfTagSource& player) {
    return WriteStreaming(options, numbers, mp3Path, swfPath, nullptr, nullptr, player.Version(), 1, 1);
}

bool WriteShellPlayerPair(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                          const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                          const std::filesystem::path& playerSwfPath, const CSwfTagSource& player) {
    if (!WritePlayerSoundSwf(options, numbers, mp3Path, swfPath, player)) return false;
    if (player.SaveAs(playerSwfPath)) return true;
    std::error_code ec;
    std::filesystem::remove(swfPath, ec);
    return false;
}

bool WriteEventSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                   const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                   const CSwfTagSource& tmpl, const TemplateActions& actions) {
    CMp3EventSound sound;
    CSwfFileWriter out;
    if (!OpenBoth(sound, out, mp3Path, swfPath)) return false;
    const int fps = LimitSwfFrameRate(options.frameRate);
    out.SetHeader(6, tmpl.FrameWidth(), tmpl.FrameHeight(), fps);
    if (!out.WriteHeader() || !WriteBackgroundColour(out, options.backgroundColour)) return Fail(out);

    std::vector<std::uint8_t> buffer(kEventBufferSize);
    std::size_t capacity = buffer.size(), length = 0;
    if (!sound.WriteEventHead(buffer.data(), capacity, length) ||
        !out.WriteTag(kTagSoundStreamHead2, buffer.data(), length))
        return Fail(out);
    capacity = buffer.size();
    if (!sound.WriteDefineSoundHeader(numbers.outputSamples, buffer.data(), capacity, length,
                                      static_cast<std::uint16_t>(std::min<std::uint32_t>(numbers.seekSamples, 0x7FFF))) ||
        !out.WriteTag(kTagDefineSound, buffer.data(), length) ||
        sound.CopyData(out) != sound.FileSize())
        return Fail(out);
    sound.Close();
    if (!options.initPlay && (!WriteAction(out, actions.startStop, fps) || !out.WriteShowFrame()))
        return Fail(out);
    capacity = buffer.size();
    if (!sound.WriteStartSound(options.loopPlay ? 65535 : 1, buffer.data(), capacity, length) ||
        !out.WriteTag(kTagStartSound, buffer.data(), length) || !out.WriteShowFrame() ||
        !out.WriteEnd())
        return Fail(out);
    return out.Finish();
}

}  // namespace tonvela
