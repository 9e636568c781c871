#!/usr/bin/env bash
# Sets up, builds and runs every test. Extra arguments go to cmake (e.g. -DTONVELA_SANITIZE=ON).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD" "$@"
cd "$BUILD" && ctest --output-on-failure -j"$(nproc)"
