#!/usr/bin/env bash
# manual-screenshots.sh [BUILD_DIR]: retakes the manual's pictures (data/help/images/*.png)
# from the program itself, offscreen. The audio files in the main window's list are made here
# by sox and lame; the user's settings and desktop are left alone.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
OUT="$ROOT/data/help/images"
for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/setup-deps.sh)" >&2; exit 1; }
done
cmake --build "$BUILD" --target ui_manual_screenshots tonvela-convert tonvela_data -j"$(nproc)" >/dev/null

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
mkdir -p "$T/music" "$T/config" "$T/runtime" "$T/bin" "$OUT"
chmod 700 "$T/runtime"
# Nothing started from the windows may reach the real desktop.
printf '#!/bin/sh\nexit 0\n' >"$T/bin/xdg-open"; chmod +x "$T/bin/xdg-open"

# A list that shows the columns at work: several formats, rates, channel counts and lengths.
i=0
for sound in "Morning Walk.mp3:44100:2:95" "Interview Part 1.wav:22050:1:754" "Jingle.ogg:44100:2:7" \
            "Birdsong.flac:48000:2:183" "Doorbell.wav:11025:1:2" "Lecture 03.mp3:22050:1:3120" \
            "Piano Etude.aiff:44100:2:141" "Rain Loop.ogg:32000:2:30" "Theme (Long Version).flac:44100:2:262" \
            "Voice Memo.au:8000:1:41" "Surround Test.wav:48000:6:12" "Ukulele.mp3:44100:2:128" \
            "Wind.flac:22050:1:64" "Crowd Cheer.wav:44100:2:9" "Ambient Pad.ogg:48000:2:300" \
            "Click Track.wav:44100:1:60" "News Intro.mp3:44100:2:15" "Sea Waves.aiff:22050:2:120" \
            "Old Radio.au:11025:1:25" "Bells.flac:44100:2:18"; do
  IFS=: read -r name rate channels seconds <<<"$sound"
  i=$((i + 1))
  freq=$((220 + 37 * i))
  case "$name" in
    *.mp3)
      sox -n -r "$rate" -c "$channels" -b 16 "$T/tmp.wav" synth "$seconds" sine "$freq" vol 0.3
      lame --quiet -b $((32 + 16 * (i % 8))) "$T/tmp.wav" "$T/music/$name" ;;
    *)
      sox -n -r "$rate" -c "$channels" -b 16 "$T/music/$name" synth "$seconds" sine "$freq" vol 0.3 ;;
  esac
done
rm -f "$T/tmp.wav"

# A converted movie for the preview window.
sox -n -r 22050 -c 1 -b 16 "$T/preview.wav" synth 3 sine 440 vol 0.3
"$BUILD/bin/tonvela-convert" -q --data-dir "$BUILD/bin" --config-dir "$T/config" "$T/preview.wav" >/dev/null

mapfile -t files < <(cd "$T/music" && ls | sort | sed "s|^|$T/music/|")
PATH="$T/bin:$PATH" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$T/runtime" \
  TONVELA_CONFIG_DIR="$T/config" TONVELA_DATA_DIR="$BUILD/bin" QTWEBENGINE_DISABLE_SANDBOX=1 \
  "$BUILD/bin/ui_manual_screenshots" "$OUT" "$T/preview.swf" "${files[@]}"
