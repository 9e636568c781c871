#!/usr/bin/env bash
# convert_jobs.sh [BUILD_DIR]: a batch of 8 one-minute 44100 Hz stereo WAV files converted with
# --jobs 2 against --jobs 1 (target: at least 1.7x the throughput on two cores).
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

files=()
for i in 1 2 3 4 5 6 7 8; do
  sox -n -r 44100 -c 2 -b 16 "$TMP/f$i.wav" synth 60 pinknoise gain -$((i + 3))
  files+=("$TMP/f$i.wav")
done
CONV="$BIN -q --data-dir $DATA --config-dir $TMP/config --set TargetExistsOpt=22"
echo "== 8 x 1-minute 44100 Hz stereo WAV: --jobs 2 (A) vs --jobs 1 (B); A/B below 0.59 meets the target"
farm-bench -n "$RUNS" --timeout 1800 --vs "$CONV --jobs 1 ${files[*]}" -- $CONV --jobs 2 "${files[@]}"
