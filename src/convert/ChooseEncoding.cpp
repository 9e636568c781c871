#include "convert/ChooseEncoding.h"

#include "convert/ConvertOptions.h"

namespace tonvela {

EncodingChoice ChooseEncoding(const CConvertOptions& settings, int sourceSampleRate, int sourceChannels) {
    EncodingChoice c;
    if (settings.AutoDestMP3EncodingParam == 1) {
        if (sourceSampleRate <= 22050) {
            c.sampleRate = 22050;
            c.bitRate = 96;
        } else {
            c.sampleRate = 44100;
            c.bitRate = 128;
        }
        if (sourceChannels == 1) {
            c.bitRate /= 2;
            c.forceMono = true;
        }
        return c;
    }
    c.sampleRate = settings.MP3SampleRate;
    c.bitRate = settings.MP3BitRate;
    c.forceMono = settings.MP3ChannelNum == 1 && sourceChannels != 1;
    return c;
}

}  // namespace tonvela
