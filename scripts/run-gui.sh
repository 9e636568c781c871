#!/usr/bin/env bash
# Sets up, builds and starts the desktop program; arguments are files or folders to add to its
# list ("scripts/run-gui.sh ~/Music/song.mp3").
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD"
exec "$BUILD/bin/tonvela" "$@"
