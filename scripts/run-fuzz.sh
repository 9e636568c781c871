#!/usr/bin/env bash
# Builds every libFuzzer target (fuzz/<name>.cpp -> fuzz_<name>) with clang in build-fuzz and runs
# each for SECONDS, as many at once as there are cores, seeded from
# fuzz/corpus/<name up to the first underscore>/.
# New inputs go to build-fuzz/corpus-<name>/, crashes to build-fuzz/artifacts/; the seed folders
# are never written. Exit status is non-zero when any target fails to build or finds a fault.
# TONVELA_BUILD_ONLY=1 only builds.
set -euo pipefail
SECONDS_EACH="${1:-20}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"

shopt -s nullglob
sources=("$ROOT"/fuzz/*.cpp)
if [ ${#sources[@]} -eq 0 ]; then echo "run-fuzz: no fuzz targets"; exit 0; fi

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Built whole for one run: one compile per batch of files (unity build), line tables only.
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DTONVELA_FUZZ=ON -DTONVELA_TESTS=OFF -DTONVELA_GUI=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${launcher[@]}" >/dev/null
targets=()
for src in "${sources[@]}"; do targets+=("fuzz_$(basename "$src" .cpp)"); done
cmake --build "$BUILD" -j"$(nproc)" --target "${targets[@]}"
[ -n "${TONVELA_BUILD_ONLY:-}" ] && exit 0

mkdir -p "$BUILD/artifacts" "$BUILD/logs"
fuzz_one() {
  local t=$1 name="${1#fuzz_}"
  local seeds="$ROOT/fuzz/corpus/${name%%_*}" work="$BUILD/corpus-$name"
  mkdir -p "$work"
  local args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  "$BUILD/bin/$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$name-" "${args[@]}" >"$BUILD/logs/$name.log" 2>&1
}
status=0
running=()
finish() {  # waits for the oldest target still running and reports it
  local entry="${running[0]}"; running=("${running[@]:1}")
  local pid="${entry%% *}" t="${entry#* }"
  if wait "$pid"; then
    echo "run-fuzz: $t ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD/logs/${t#fuzz_}.log" | grep -o '[0-9]*$') runs)"
  else
    echo "run-fuzz: $t FAILED (see $BUILD/artifacts/):"; tail -40 "$BUILD/logs/${t#fuzz_}.log"
    status=1
  fi
}
for t in "${targets[@]}"; do
  ((${#running[@]} >= $(nproc))) && finish
  fuzz_one "$t" &
  running+=("$! $t")
  echo "run-fuzz: $t for ${SECONDS_EACH}s"
done
while ((${#running[@]})); do finish; done
exit $status
