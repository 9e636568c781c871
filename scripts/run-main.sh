#!/usr/bin/env bash
# Sets up, builds and runs the main job: converts the bundled sample with the default settings.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup-deps.sh"
# Only what the job runs: the command-line program and the data folder (the test command builds
# the rest).
"$ROOT/scripts/build.sh" "$BUILD" -- tonvela-convert tonvela_data
# The job's own folder, emptied first so every run shows the same result (not sample_1.swf, ...).
OUT="$BUILD/main-job"; rm -rf "$OUT"; mkdir -p "$OUT"
cp "$ROOT/data/samples/sample.wav" "$OUT/sample.wav"
# A settings store of its own, so the user's settings are neither read nor changed.
"$BUILD/bin/tonvela-convert" --config-dir "$OUT/config" "$OUT/sample.wav"
