#!/usr/bin/env bash
# swf_stream.sh [BUILD_DIR]: writes a streaming SWF from a 60-minute MP3 and, side by side, copies
# the same MP3 with cp (one read and one write of the data: the floor). Prints the median wall
# time of each over several runs, the ratio (target: at most 2) and the peak memory of the SWF
# writer for a 60-minute and a 6-minute MP3 (target: the same).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="$BUILD/bin/bench_swf_stream"
[ -x "$BIN" ] || { echo "build bench_swf_stream first ($BIN)" >&2; exit 1; }
RUNS="${RUNS:-7}"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

make_mp3() {  # seconds rate channels kbps out
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
    -i "anoisesrc=d=$1:c=pink:a=0.2:r=$2:seed=1" -ac "$3" -c:a libmp3lame -b:a "$4k" \
    -write_xing 0 -id3v2_version 0 "$5"
}

median_wall() {  # command... OUTPUT: median wall seconds of RUNS runs (after one warm-up)
  "$@" >/dev/null
  for _ in $(seq "$RUNS"); do
    rm -f "${@: -1}"  # a fresh target each time, as a conversion writes one
    local t0=$EPOCHREALTIME
    "$@" >/dev/null
    local t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f\n", b - a}'
  done | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }

for combo in "44100 2 128" "22050 1 24"; do
  set -- $combo
  LONG="$TMP/long-$1.mp3"; SHORT="$TMP/short-$1.mp3"
  make_mp3 3600 "$1" "$2" "$3" "$LONG"
  make_mp3 360 "$1" "$2" "$3" "$SHORT"
  echo "== 60-minute MP3, $1 Hz, $2 channel(s), $3 kbit/s: $(stat -c %s "$LONG") bytes"
  swf=$(median_wall "$BIN" "$LONG" "$TMP/out.swf")
  cpy=$(median_wall cp "$LONG" "$TMP/copy.mp3")
  echo "swf writer: ${swf} s   cp: ${cpy} s   ratio: $(awk -v a="$swf" -v b="$cpy" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')"
  echo "peak memory: $(peak_kb "$BIN" "$LONG" "$TMP/out.swf") KB (60 min), $(peak_kb "$BIN" "$SHORT" "$TMP/out.swf") KB (6 min), cp $(peak_kb cp "$LONG" "$TMP/copy.mp3") KB"
  rm -f "$TMP/out.swf" "$TMP/copy.mp3" "$LONG" "$SHORT"
done
