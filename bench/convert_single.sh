#!/usr/bin/env bash
# convert_single.sh [BUILD_DIR]: one 10-minute 44100 Hz stereo WAV converted at 128 kbit/s by
# tonvela-convert (default layout, its automatic encoding gives 44100 Hz and 128 kbit/s), side by
# side with ffmpeg writing a SWF with the same encoder and with lame alone. Targets: within 1.1x
# of lame's time; peak memory independent of the input's length (10 minutes against 1 minute).
# DATA_DIR overrides the data folder (default BUILD_DIR/bin); RUNS the number of timed runs.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="$BUILD/bin/tonvela-convert"
DATA="${DATA_DIR:-$BUILD/bin}"
RUNS="${RUNS:-5}"
[ -x "$BIN" ] || { echo "build tonvela-convert first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

sox -n -r 44100 -c 2 -b 16 "$TMP/long.wav" synth 600 pinknoise gain -6
sox -n -r 44100 -c 2 -b 16 "$TMP/short.wav" synth 60 pinknoise gain -6
CONV="$BIN -q --data-dir $DATA --config-dir $TMP/config --set TargetExistsOpt=22"
echo "== 10-minute 44100 Hz stereo WAV ($(stat -c %s "$TMP/long.wav") bytes) at 128 kbit/s"
echo "-- tonvela-convert vs lame -b 128 --cbr"
farm-bench -n "$RUNS" --timeout 1800 --vs "lame --quiet -b 128 --cbr $TMP/long.wav $TMP/lame.mp3" -- \
  $CONV "$TMP/long.wav"
echo "-- tonvela-convert vs ffmpeg -c:a libmp3lame -b:a 128k -ar 44100 out.swf"
farm-bench -n "$RUNS" --timeout 1800 \
  --vs "ffmpeg -v error -y -i $TMP/long.wav -c:a libmp3lame -b:a 128k -ar 44100 $TMP/ffmpeg.swf" -- \
  $CONV "$TMP/long.wav"
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }
echo "-- peak memory: $(peak_kb $CONV "$TMP/long.wav") KB (10 min), $(peak_kb $CONV "$TMP/short.wav") KB (1 min)"
