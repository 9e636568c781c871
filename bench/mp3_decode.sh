#!/usr/bin/env bash
# mp3_decode.sh [BUILD_DIR]: decodes a 10-minute MP3 through the library-backed source and, side
# by side, with `ffmpeg -i F -f s16le -y /dev/null`; prints farm-bench's figures and the ratio
# (target: at most 1.2).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="${BENCH_BIN:-$BUILD/bin/bench_mp3_decode}"
[ -x "$BIN" ] || { echo "build bench_mp3_decode first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
F="$TMP/ten-minutes.mp3"
# Two different noise colours, so the stereo coding has real work to do.
ffmpeg -hide_banner -loglevel error -nostdin -y \
  -filter_complex "anoisesrc=d=600:c=pink:a=0.3:r=44100:seed=1[a];anoisesrc=d=600:c=brown:a=0.3:r=44100:seed=2[b];[a][b]amerge=inputs=2" \
  -c:a libmp3lame -b:a 192k "$F"
echo "input: $(stat -c %s "$F") bytes; our decode: $("$BIN" "$F")"
/usr/bin/time -v "$BIN" "$F" 2>&1 >/dev/null | grep -E 'Maximum resident' || true
if command -v farm-bench >/dev/null; then
  farm-bench -n 7 --timeout 600 --vs "ffmpeg -nostdin -hide_banner -loglevel error -i $F -f s16le -y /dev/null" -- "$BIN" "$F"
else
  for cmd in "$BIN $F" "ffmpeg -nostdin -loglevel error -i $F -f s16le -y /dev/null"; do
    /usr/bin/time -f "%e s wall, %U s user: $cmd" $cmd >/dev/null
  done
fi
