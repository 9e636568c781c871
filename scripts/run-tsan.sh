#!/usr/bin/env bash
# run-tsan.sh [BUILD_DIR]: the tests of the code that runs on several threads -- the parallel
# encoder and the parallel batch -- built and run under ThreadSanitizer. Only the two core test
# programs are built (no window program: Qt is not built with the sanitizer, and its own
# threads would bury ours in reports), which keeps this pass to minutes. TONVELA_BUILD_ONLY=1 only
# builds.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build-tsan}"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# A tree built whole for one verdict: one compile per batch of files (unity build) and line
# tables only (-g1), which is all the sanitizer's reports use.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVELA_WERROR=ON -DTONVELA_TSAN=ON \
  -DTONVELA_GUI=OFF -DCMAKE_UNITY_BUILD=ON -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target test_mp3 test_convert
[ -n "${TONVELA_BUILD_ONLY:-}" ] && exit 0
export TSAN_OPTIONS="suppressions=$ROOT/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# The sanitizer's shadow memory needs the fixed layout that address randomisation can break on
# newer kernels ("unexpected memory mapping"): run without it where setarch can.
norand=()
setarch "$(uname -m)" -R true 2>/dev/null && norand=(setarch "$(uname -m)" -R)
cd "$BUILD"
"${norand[@]}" ctest --output-on-failure -j"$(nproc)" -R '^(.*ParallelMp3Encode.*|ConvertBatchTest\..*)$'
