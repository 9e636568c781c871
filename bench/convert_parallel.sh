#!/usr/bin/env bash
# convert_parallel.sh [BUILD_DIR]: one long 44100 Hz stereo WAV to a streaming SWF at 128 kbit/s
# by tonvela-convert (which encodes a long file on every core) against `lame -b 128 --cbr` on
# the same file, for a 10-minute and a 60-minute input. Targets: at most 0.6x lame's wall time
# on a 2-core machine (the limit is 0.5x), and the same peak memory for both lengths.
# DATA_DIR overrides the data folder (default BUILD_DIR/bin); RUNS the number of timed runs.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="$BUILD/bin/tonvela-convert"
DATA="${DATA_DIR:-$BUILD/bin}"
RUNS="${RUNS:-3}"
[ -x "$BIN" ] || { echo "build tonvela-convert first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
CONV="$BIN -q --data-dir $DATA --config-dir $TMP/config --set TargetExistsOpt=22 --set CreateCtrlSWF=0"
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }
echo "cores: $(nproc)"
for minutes in 10 60; do
  wav="$TMP/long$minutes.wav"
  # Music-like: two held tones that swell and fade over pink noise.
  sox -R -n -r 44100 -c 2 -b 16 "$wav" synth $((minutes * 60)) sine 220 sine 330 tremolo 0.5 60 : \
    synth $((minutes * 60)) pinknoise gain -20 2>/dev/null || \
    sox -R -n -r 44100 -c 2 -b 16 "$wav" synth $((minutes * 60)) pinknoise tremolo 3 80 gain -6
  echo "== $minutes-minute 44100 Hz stereo WAV ($(stat -c %s "$wav") bytes) at 128 kbit/s"
  farm-bench -n "$RUNS" --timeout 3600 --vs "lame --quiet -b 128 --cbr $wav $TMP/lame.mp3" -- $CONV "$wav"
  echo "-- peak memory: $(peak_kb $CONV "$wav") KB"
  rm -f "$wav" "$TMP"/*.swf "$TMP"/*.htm "$TMP/lame.mp3"
done
