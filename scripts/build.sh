#!/usr/bin/env bash
# build.sh BUILD_DIR [cmake options...] [-- TARGET...]: configures (once) and builds everything,
# or only the targets named after "--". Compiles go through ccache when it is installed, so a
# second build tree (the sanitizer pass, a helper's checkout) reuses what it can.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"; shift || true
opts=(); targets=()
while (($#)); do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  opts+=("$1"); shift
done
# Paths below the checkout are hashed relative to it, so another checkout or build tree hits too.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${opts[@]}" >/dev/null
if ((${#targets[@]})); then
  cmake --build "$BUILD" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$BUILD" -j"$(nproc)"
fi
