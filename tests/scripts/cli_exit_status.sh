#!/usr/bin/env bash
# What a run reports must be true: standard output that cannot be written fails the run, an
# interrupted run of any kind says so in its exit status and ends within a second of the
# signal, an unusable temporary folder is named once, and "Overwrite" never replaces what the
# same run wrote.
# Usage: cli_exit_status.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
[ -f "$DATA/ControlSWF/square_gradient_3.swf" ] || { echo "no templates in $DATA"; exit 77; }
command -v sox >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
CONV=(timeout 60 "$BIN" --data-dir "$DATA" --config-dir "$T/config" -q)
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
sox -n -r 22050 -c 1 "$T/a.wav" synth 0.3 sine 440

# --- Standard output that cannot be written: a full device, a closed descriptor.
for args in "--json $T/a.wav" "$T/a.wav" "--probe $T/a.wav" "--probe --json $T/a.wav" "--list-settings" "--list-settings --json"; do
    rm -f "$T/a.swf" "$T/a.htm"
    # shellcheck disable=SC2086
    "${CONV[@]}" --set TargetExistsOpt=22 $args > /dev/full 2> "$T/err.txt"; rc=$?
    # A large report fails while written (no reason left by then), a small one when flushed.
    check "stdout on /dev/full: $args (rc $rc)" '[ $rc -eq 3 ] && grep -Eq "^tonvela-convert: write error(: No space left on device)?$" "$T/err.txt"'
done
rm -f "$T/a.swf" "$T/a.htm"
"${CONV[@]}" --json "$T/a.wav" >&- 2> "$T/err.txt"; rc=$?
# The report goes nowhere, and above all not into a file the run opened in its place.
check "closed stdout (rc $rc)" '[ $rc -eq 3 ] && grep -q "write error" "$T/err.txt" && head -c 3 "$T/a.swf" | grep -Eq "^(FWS|CWS)$" && ! grep -q "\"path\"" "$T/a.swf" "$T/a.htm"'

# --- Interrupted runs: 143 after SIGTERM, 130 after SIGINT, soon after the signal (the bound
# leaves room for a loaded machine; a run that does not end is what it catches). The probe's
# report goes into a pipe that is read only up to its first line, so the run is certainly still
# going (writing, or waiting for the pipe) when the signal comes, however fast the machine.
P="$T/many"; mkdir -p "$P"
python3 -c 'import sys, wave
for i in range(2000):
    with wave.open("%s/f%05d.wav" % (sys.argv[1], i), "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000); w.writeframes(i.to_bytes(2, "little"))' "$P"
mkfifo "$T/probe.pipe"
"$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --probe --json "$P" > "$T/probe.pipe" 2>/dev/null &
pid=$!
exec 3< "$T/probe.pipe"
IFS= read -r -t 60 first <&3
sent=$(now_ms); kill -TERM $pid; wait $pid; rc=$?; took=$(( $(now_ms) - sent ))
exec 3<&-
check "--probe ended by SIGTERM while writing: 143 soon after (rc $rc, $took ms, first line ${#first} bytes)" '[ $rc -eq 143 ] && [ $took -lt 3000 ] && [ -n "$first" ]'

# Stuck in a place that never looks at the signal (a FIFO as the control template blocks in
# open): still ended soon after. A build that refuses the FIFO up front ends with 2. The signal
# is sent once the run waits in the FIFO's open (or has ended).
mkfifo "$T/fifo.swf"
"$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --set "ControlSWF=$T/fifo.swf" "$T/a.wav" > /dev/null 2>&1 &
pid=$!
for _ in $(seq 600); do
  kill -0 $pid 2>/dev/null || break
  ls -l /proc/$pid/task/*/fd 2>/dev/null | grep -q "$T/fifo.swf" && break
  grep -qs wait_for_partner /proc/$pid/task/*/wchan && break
  sleep 0.05
done
sent=$(now_ms); kill -INT $pid 2>/dev/null; wait $pid; rc=$?; took=$(( $(now_ms) - sent ))
check "a run stuck in open() ends soon after SIGINT (rc $rc, $took ms)" '{ [ $rc -eq 130 ] || [ $rc -eq 2 ]; } && [ $took -lt 3000 ]'

# --- A temporary folder that cannot be used is named once; an empty TMPDIR means /tmp.
sox -n -r 22050 -c 1 "$T/b.wav" synth 0.3 sine 440
rm -f "$T"/a.swf "$T"/a.htm
TMPDIR="$T/missing" "${CONV[@]}" "$T/a.wav" "$T/b.wav" > /dev/null 2> "$T/err.txt"; rc=$?
check "missing TMPDIR named once (rc $rc)" '[ $rc -eq 1 ] && [ "$(grep -c "temporary folder \"$T/missing\" cannot be used: No such file or directory" "$T/err.txt")" = 1 ]'
TMPDIR="" "${CONV[@]}" "$T/a.wav" > /dev/null 2> "$T/err.txt"; rc=$?
check "empty TMPDIR is the default folder (rc $rc)" '[ $rc -eq 0 ] && [ -s "$T/a.swf" ]'

# --- "Overwrite": the later inputs with the same output name are numbered and say so; a second
# run gives the same names, replacing its own older files.
mkdir -p "$T/d1" "$T/d2" "$T/o"
sox -n -r 22050 -c 1 "$T/d1/a.wav" synth 0.3 sine 440
sox -n -r 22050 -c 1 "$T/d1/a.aiff" synth 0.6 sine 440
sox -n -r 22050 -c 1 "$T/d2/a.wav" synth 0.9 sine 440
for run in 1 2; do
    "${CONV[@]}" --json -j "$run" --set TargetExistsOpt=22 --set SWFOutputFolderOpt=399 --set "SWFSpecifiedFolder=$T/o" \
        "$T/d1/a.wav" "$T/d1/a.aiff" "$T/d2/a.wav" > "$T/ow$run.json"; rc=$?
    check "Overwrite run $run: one name per input (rc $rc)" '[ $rc -eq 0 ] && python3 - "$T/ow$run.json" "$T/o" <<"PY"
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1])]
o = sys.argv[2]
assert [r["swf"] for r in rows] == [o + "/a.swf", o + "/a_1.swf", o + "/a_2.swf"], rows
assert all(r["ok"] for r in rows), rows
assert "renamed" not in rows[0]["status"] and all("a.swf was written by an earlier file" in r["status"] for r in rows[1:]), rows
PY'
done
check "Overwrite: nothing beyond the three pairs" '[ "$(ls "$T/o" | tr "\n" " ")" = "a.htm a.swf a_1.htm a_1.swf a_2.htm a_2.swf " ]'
exit $fail
