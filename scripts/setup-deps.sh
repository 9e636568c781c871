#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the players need.
# Safe to run again: only missing packages are installed.
set -euo pipefail
PKGS=(cmake g++ make pkg-config libgtest-dev
      libmp3lame-dev libgsm1-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
      libopenmpt-dev libcli11-dev nlohmann-json3-dev
      sox libsox-fmt-all ffmpeg sndfile-programs lame
      clang libclang-rt-14-dev python3 chromium
      qt6-base-dev qt6-webengine-dev qt6-multimedia-dev libqt6svg6 xvfb xauth
      pulseaudio pulseaudio-utils libpulse-dev dbus desktop-file-utils appstream file groff-base dpkg-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The web player and the independent SWF parser used by the tests come from npm (package-lock.json).
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -f "$ROOT/package.json" ] && [ ! -d "$ROOT/node_modules" ]; then
  (cd "$ROOT" && npm ci --no-audit --no-fund --silent)
fi
