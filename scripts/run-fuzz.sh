#!/usr/bin/env bash
# Builds every libFuzzer target (fuzz/<name>.cpp -> fuzz_<name>) with clang in build-fuzz and runs
# each for SECONDS, seeded from fuzz/corpus/<name up to the first underscore>/.
# New inputs go to build-fuzz/corpus-<name>/, crashes to build-fuzz/artifacts/; the seed folders
# are never written. Exit status is non-zero when any target fails to build or finds a fault.
set -euo pipefail
SECONDS_EACH="${1:-20}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"

shopt -s nullglob
sources=("$ROOT"/fuzz/*.cpp)
if [ ${#sources[@]} -eq 0 ]; then echo "run-fuzz: no fuzz targets"; exit 0; fi

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DTONVELA_FUZZ=ON -DTONVELA_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for src in "${sources[@]}"; do targets+=("fuzz_$(basename "$src" .cpp)"); done
cmake --build "$BUILD" -j2 --target "${targets[@]}"

mkdir -p "$BUILD/artifacts"
status=0
for t in "${targets[@]}"; do
  name="${t#fuzz_}"
  seeds="$ROOT/fuzz/corpus/${name%%_*}"
  work="$BUILD/corpus-$name"
  mkdir -p "$work"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  echo "run-fuzz: $t for ${SECONDS_EACH}s"
  if ! "$BUILD/bin/$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$name-" "${args[@]}"; then
    echo "run-fuzz: $t FAILED (see $BUILD/artifacts/)"
    status=1
  fi
done
exit $status
