#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the players need.
# Safe to run again: only missing packages are installed.
set -euo pipefail
PKGS=(cmake g++ make pkg-config libgtest-dev
      libmp3lame-dev libgsm1-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
      libopenmpt-dev zlib1g-dev libcli11-dev nlohmann-json3-dev
      sox libsox-fmt-all ffmpeg sndfile-programs lame
      clang libclang-rt-14-dev python3 chromium
      qt6-base-dev qt6-webengine-dev qt6-multimedia-dev libqt6svg6 xvfb xauth
      openbox x11-utils at-spi2-core python3-pyatspi
      pulseaudio pulseaudio-utils libpulse-dev dbus desktop-file-utils appstream file groff-base dpkg-dev
      lintian devscripts python3-debian ccache strace debhelper autopkgtest debootstrap)
# Only for the archive tests, which start daemons of their own under their own folders: a
# single-node Slurm, and GNU parallel over an sshd on 127.0.0.1. Their system services must
# never run (see below).
SERVICE_PKGS=(slurmctld slurmd slurm-client munge parallel openssh-server)
SERVICES=(ssh munge slurmctld slurmd)
PKGS+=("${SERVICE_PKGS[@]}")
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
  # Installing the service packages must not start sshd, munged or Slurm: a policy-rc.d that
  # forbids starts (heeded by invoke-rc.d and deb-systemd-invoke, with or without systemd)
  # is put in place for the install when the machine has none.
  policy=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    policy=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null && $SUDO chmod 755 "$policy"
    trap '$SUDO rm -f "$policy"' EXIT
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  [ -n "$policy" ] && $SUDO rm -f "$policy"
  trap - EXIT
  # Nor start at the next boot, when we were the ones to install them.
  if command -v systemctl >/dev/null; then
    for svc in "${SERVICES[@]}"; do
      [[ " ${missing[*]} " == *" ${svc/ssh/openssh-server} "* ]] && $SUDO systemctl disable --quiet "$svc" 2>/dev/null || true
    done
  fi
fi
# The web player and the independent SWF parser used by the tests come from npm (package-lock.json).
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -f "$ROOT/package.json" ] && [ ! -d "$ROOT/node_modules" ]; then
  (cd "$ROOT" && npm ci --no-audit --no-fund --silent)
fi
