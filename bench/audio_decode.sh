#!/usr/bin/env bash
# audio_decode.sh [BUILD_DIR]: decodes a 10-minute 44.1 kHz stereo WAV in each main encoding (PCM16,
# A-law, mu-law, IMA ADPCM, MS ADPCM) through the built-in WAV reader and, side by side, with
# `sox F -t raw /dev/null`; prints farm-bench's figures with the ratio ours/sox (target: at most 1).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="${BENCH_BIN:-$BUILD/bin/bench_audio_decode}"
[ -x "$BIN" ] || { echo "build bench_audio_decode first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
SRC="$TMP/source.wav"
# Pink noise on the left, a sweep on the right: the ADPCM coders see large and small steps.
sox -n -r 44100 -c 2 -b 16 "$SRC" synth 600 pinknoise sine 50-8000 gain -3
for enc in pcm16 alaw ulaw ima ms; do
  F="$TMP/$enc.wav"
  case $enc in
    pcm16) cp "$SRC" "$F" ;;
    alaw) sox "$SRC" -e a-law "$F" ;;
    ulaw) sox "$SRC" -e u-law "$F" ;;
    ima) sox "$SRC" -e ima-adpcm "$F" ;;
    ms) sox "$SRC" -e ms-adpcm "$F" ;;
  esac
  echo "== $enc: $(stat -c %s "$F") bytes; ours: $("$BIN" "$F")"
  /usr/bin/time -v "$BIN" "$F" 2>&1 >/dev/null | grep -E 'Maximum resident' || true
  if command -v farm-bench >/dev/null; then
    farm-bench -n 5 --timeout 900 --vs "sox $F -t raw /dev/null" -- "$BIN" "$F"
  else
    for cmd in "$BIN $F" "sox $F -t raw /dev/null"; do
      /usr/bin/time -f "%e s wall, %U s user: $cmd" $cmd >/dev/null
    done
  fi
done
