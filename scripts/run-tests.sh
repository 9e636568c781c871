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
# All tests at once, one more than there are cores (the players and sound servers spend much of
# their time waiting); tests that share a browser, a sound server or daemons hold a lock (see
# tests/CMakeLists.txt), and every test waits for what it expects rather than for a fixed time.
ctest --output-on-failure -j"$(( $(nproc) + 1 ))" "${skip[@]}"
