#!/usr/bin/env bash
# aiff_snd_decode.sh [BUILD_DIR]: decodes 10-minute 44.1 kHz stereo files through the built-in AIFF
# and NeXT/Sun readers (AIFF 16-bit, AIFF-C mu-law and IMA4, .au 16-bit and mu-law, .au G.721)
# and, side by side, with `sox F -t raw /dev/null` (ffmpeg to /dev/null for the AIFF-C files,
# whose compression sox does not read); prints farm-bench's figures with the ratio ours/yardstick
# (target: at most 1 for PCM, G.711 and IMA4).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="${BENCH_BIN:-$BUILD/bin/bench_aiff_snd_decode}"
[ -x "$BIN" ] || { echo "build bench_aiff_snd_decode first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
SRC="$TMP/source.wav"
sox -n -r 44100 -c 2 -b 16 "$SRC" synth 600 pinknoise sine 50-8000 gain -3
sox "$SRC" "$TMP/pcm16.aiff"
sndfile-convert -ulaw "$SRC" "$TMP/ulaw.aifc"
sndfile-convert -ima-adpcm "$SRC" "$TMP/ima4.aifc"
sox "$SRC" -b 16 "$TMP/pcm16.au"
sox "$SRC" -e u-law "$TMP/ulaw.au"
# G.721: mono only in every encoder at hand.
ffmpeg -nostdin -loglevel error -i "$SRC" -ac 1 -ar 8000 -c:a adpcm_g726le -b:a 32k "$TMP/g721.au"
for F in "$TMP"/pcm16.aiff "$TMP"/ulaw.aifc "$TMP"/ima4.aifc "$TMP"/pcm16.au "$TMP"/ulaw.au "$TMP"/g721.au; do
  echo "== $(basename "$F"): $(stat -c %s "$F") bytes; ours: $("$BIN" "$F")"
  /usr/bin/time -v "$BIN" "$F" 2>&1 >/dev/null | grep -E 'Maximum resident' || true
  case $F in
    *.aifc) REF="ffmpeg -nostdin -loglevel error -i $F -f s16le -y /dev/null" ;;
    *) REF="sox $F -t raw /dev/null" ;;
  esac
  if command -v farm-bench >/dev/null; then
    farm-bench -n 5 --timeout 900 --vs "$REF" -- "$BIN" "$F"
  else
    for cmd in "$BIN $F" "$REF"; do
      /usr/bin/time -f "%e s wall, %U s user: $cmd" $cmd >/dev/null
    done
  fi
done
