#!/usr/bin/env bash
# Three runs that save different settings at the same moment (--save), 20 times over: every
# value lands in the store each time, and every run says it saved.
# Usage: cli_concurrent_saves.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
command -v sox >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
sox -n -r 8000 -c 1 "$T/a.wav" synth 0.1 sine 300
fail=0
lost=0
for round in $(seq 20); do
    C="$T/config$round"
    save() { timeout 60 "$BIN" --data-dir "$DATA" --config-dir "$C" -q --set "$1=$2" --save --probe "$T/a.wav" > /dev/null 2>&1; }
    save SWFFrameRate $((20 + round)) & p1=$!
    save BlankFrames "$round" & p2=$!
    save JPEGWidth $((100 + round)) & p3=$!
    rcs=""
    for p in $p1 $p2 $p3; do wait $p; rcs="$rcs $?"; done
    store="$C/settings.conf"
    want=(SWFFrameRate=dword:$(printf %08x $((20 + round))) BlankFrames=dword:$(printf %08x "$round")
          JPEGWidth=dword:$(printf %08x $((100 + round))))
    missing=""
    for w in "${want[@]}"; do grep -qx "$w" "$store" 2>/dev/null || missing="$missing $w"; done
    if [ -n "$missing" ] || [ "$rcs" != " 0 0 0" ]; then
        echo "round $round: exit statuses$rcs, missing:$missing"
        lost=$((lost + 1))
    fi
done
if [ $lost -eq 0 ]; then echo "ok   three concurrent --save runs keep every value (20 rounds)"
else echo "FAIL $lost of 20 rounds lost a value"; fail=1; fi
exit $fail
