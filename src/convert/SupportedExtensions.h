// Which file names the folder search and dropped files accept as audio.
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// The extension of a path: from the last "." of its file name (after the last "/") to the end,
// dot included; empty when the name has no ".".
std::string_view ExtensionOf(std::string_view path);

// True for one of the 52 supported extensions (dot included, any case). An extension of 16 or
// more characters is never supported.
bool IsSupportedExtension(std::string_view extension);

// The open-file filter list: label and ";"-separated patterns, in the dialog's order.
struct FileFilter {
    const char* label;
    const char* patterns;
};
inline constexpr FileFilter kOpenFileFilters[] = {
    {"All Supported Files",
     "*.aac;*.aiff;*.aif;*.aifc;*.afc;*.au;*.cda;*.adx;*.ac3;*.flac;*.fla;*.mo3;*.mod;*.xm;*.it;*.s3m;"
     "*.mtm;*.umx;*.ape;*.mac;*.mp3;*.mp2;*.mp1;*.m4a;*.m4b;*.mp4;*.mpc;*.mp+;*.mpp;*.snd;*.ogg;*.oga;"
     "*.spx;*.tta;*.wav;*.wave;*.wv;*.wma;*.wmv;*.asf;*.opus;*.webm;*.weba;*.mka;*.caf;*.w64;*.rf64;*.m4r;"
     "*.3gp;*.amr;*.dts;*.mpga"},
    {"Advanced Audio Coding (*.aac)", "*.aac"},
    {"AIFF Files (*.aiff;*.aif;*.aifc;*.afc)", "*.aiff;*.aif;*.aifc;*.afc"},
    {"AU Files (*.au)", "*.au"},
    {"CD Audio (*.cda)", "*.cda"},
    {"CRI ADX Files (*.adx)", "*.adx"},
    {"Dolby Digital AC-3 (*.ac3)", "*.ac3"},
    {"Free Lossless Audio Codec (*.flac;*.fla)", "*.flac;*.fla"},
    {"MO3 Musics (*.mo3)", "*.mo3"},
    {"MOD Musics (*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx)", "*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx"},
    {"Monkey's Audio (*.ape;*.mac)", "*.ape;*.mac"},
    {"MP3 Files (*.mp3;*.mp2;*.mp1)", "*.mp3;*.mp2;*.mp1"},
    {"MPEG-4 Files (*.m4a;*.m4b;*.mp4)", "*.m4a;*.m4b;*.mp4"},
    {"Musepack (*.mpc;*.mp+;*.mpp)", "*.mpc;*.mp+;*.mpp"},
    {"NeXT/Sun Sound Files (*.snd)", "*.snd"},
    {"OGG Files (*.ogg;*.oga)", "*.ogg;*.oga"},
    {"Speex (*.spx)", "*.spx"},
    {"The True Audio (*.tta)", "*.tta"},
    {"WAV Files (*.wav;*.wave)", "*.wav;*.wave"},
    {"WavPack (*.wv)", "*.wv"},
    {"Windows Media Files (*.wma;*.wmv;*.asf)", "*.wma;*.wmv;*.asf"},
    {"All Files (*.*)", "*.*"},
    // Added after the long-standing items, which keep their places.
    {"Other Audio Files (*.opus;*.webm;*.weba;*.mka;*.caf;*.w64;*.rf64;*.m4r;*.3gp;*.amr;*.dts;*.mpga)",
     "*.opus;*.webm;*.weba;*.mka;*.caf;*.w64;*.rf64;*.m4r;*.3gp;*.amr;*.dts;*.mpga"},
};

}  // namespace tonvela
