#!/usr/bin/env bash
# Sets up, builds and runs every test. Extra arguments go to cmake (e.g. -DTONVELA_SANITIZE=ON).
# TONVELA_SKIP_TESTS: a ctest regular expression of tests to leave out (CI's sanitizer run
# leaves out the browser playback tests, which exercise the player, not our memory use, and the
# archive tests, which exercise Slurm and GNU parallel).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD" "$@"
cd "$BUILD"
skip=()
[ -n "${TONVELA_SKIP_TESTS:-}" ] && skip=(-E "$TONVELA_SKIP_TESTS")
# Unit tests in parallel; the scripted tests (players, parsers, command line) one at a time,
# because a headless browser under load plays late.
status=0
ctest --output-on-failure -j"$(nproc)" -LE script "${skip[@]}" || status=1
ctest --output-on-failure -j1 -L script "${skip[@]}" || status=1
exit $status
