#!/usr/bin/env bash
# preview_load.sh [BUILD_DIR]: the SWF preview in the Ruffle web player. Time from opening the
# preview window to the player's report of the loaded movie: the first window after start-up
# (the player was made ready when the user showed a preview was coming) and later windows; the time until
# the player was ready; and the memory of the whole program (PSS of the process and all its
# web-engine helpers) before the player, idle with the warm player, with an open preview, after.
# Targets: first preview <= 0.5 s, later previews <= 0.3 s (on an otherwise idle machine).
# Runs headless (offscreen). RUNS: processes (first-preview samples); WARM: later windows each.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BENCH="$BUILD/bin/bench_preview_load"
CONV="$BUILD/bin/tonvela-convert"
RUNS="${RUNS:-3}"; WARM="${WARM:-3}"
[ -x "$BENCH" ] && [ -x "$CONV" ] || { echo "build bench_preview_load and tonvela-convert first" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
export QT_QPA_PLATFORM=offscreen TONVELA_DATA_DIR="${DATA_DIR:-$BUILD/bin}"
# The web engine's sandbox does not start as root.
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$TMP}"

sox -n -r 44100 -c 2 -b 16 "$TMP/tone.wav" synth 30 sine 440
"$CONV" -q --config-dir "$TMP/config" --set CreateCtrlSWF=1 --set ButtonSWFType=11 "$TMP/tone.wav" >/dev/null
echo "== preview of a 30 s controls SWF ($(stat -c %s "$TMP/tone.swf") bytes), $RUNS processes x (1 first + $WARM later)"
echo "   load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$RUNS"); do
  "$BENCH" "$TMP/tone.swf" "$WARM" 2>/dev/null
done | awk '
  { v[$1] = v[$1] " " $2; s[$1] += $2; n[$1]++ }
  END {
    for (k in n) printf "%-22s mean %9.0f   (%s )\n", k, s[k] / n[k], v[k]
  }' | sort
