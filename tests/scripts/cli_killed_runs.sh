#!/usr/bin/env bash
# Runs killed with SIGKILL at 20 random moments (auto-rename and skip, -j 1 and -j 2, single
# SWFs and shell-player pairs), each followed by a run with the same settings: every input
# ends converted, no empty or ".part" file remains, and the files that were there before are
# unchanged.
# Usage: cli_killed_runs.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
[ -f "$DATA/ControlSWF/ShellPlayer/square_gradient_3.swf" ] || { echo "no templates in $DATA"; exit 77; }
command -v sox >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

IN="$T/in"; mkdir -p "$IN"
for s in a b c d; do sox -n -r 44100 -c 2 "$IN/$s.wav" synth $((4 + RANDOM % 4)) sine $((300 + RANDOM % 400)); done

# How long a whole run takes here: the kills fall anywhere within it.
start=$(date +%s%N)
"$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --set SWFOutputFolderOpt=399 \
    --set "SWFSpecifiedFolder=$T/measure" "$IN" > /dev/null 2>&1
span_ms=$(( ($(date +%s%N) - start) / 1000000 + 50 ))
echo "a whole run takes about $span_ms ms"

problems=0
for round in $(seq 0 19); do
    policy=$([ $((round % 2)) = 0 ] && echo 11 || echo 33)
    jobs=$((round / 2 % 2 + 1))
    button=$([ $((round / 4 % 2)) = 0 ] && echo 11 || echo 22)
    O="$T/out$round"; mkdir -p "$O"
    # Files from before: another movie, and (auto-rename) an older a.swf the runs number past.
    printf 'OLD KEEP' > "$O/keep.swf"
    [ "$policy" = 11 ] && printf 'OLD A' > "$O/a.swf"
    cp -p "$O/keep.swf" "$T/keep.before"
    RUN=("$BIN" --data-dir "$DATA" --config-dir "$T/config" -q -j "$jobs"
         --set SWFOutputFolderOpt=399 --set "SWFSpecifiedFolder=$O" --set "TargetExistsOpt=$policy"
         --set "ButtonSWFType=$button" "$IN")
    "${RUN[@]}" > /dev/null 2>&1 &
    pid=$!  # the program itself, so that the kill reaches it
    delay=$((RANDOM % span_ms))
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -KILL $pid 2>/dev/null
    wait $pid 2>/dev/null
    timeout 120 "${RUN[@]}" > "$T/second.txt" 2>&1; rc=$?

    what="round $round (policy $policy, -j $jobs, button $button, killed at $delay ms)"
    bad=""
    # Under Skip an input that the killed run finished is skipped (exit 1); nothing else fails.
    if [ $rc -ne 0 ] && ! { [ "$policy" = 33 ] && [ $rc -eq 1 ] &&
        ! grep "^$IN/" "$T/second.txt" | grep -v -e ': Target exists and skipped$' -e ': [a-d][_0-9]*\.swf$' | grep -q .; }; then
        bad="$bad second run exit $rc;"
    fi
    left="$(find "$O" -type f \( -empty -o -name '.*' -o -name '*.part' \) | sort)"
    [ -z "$left" ] && [ -z "$(find "$O" -mindepth 1 -type d)" ] || bad="$bad left behind: $left;"
    cmp -s "$O/keep.swf" "$T/keep.before" || bad="$bad keep.swf changed;"
    if [ "$policy" = 11 ] && [ "$(cat "$O/a.swf")" != "OLD A" ]; then bad="$bad old a.swf changed;"; fi
    for s in a b c d; do
        # Converted: a SWF of that input (numbered, or kept from the killed run under Skip).
        ok=0
        for f in "$O/$s.swf" "$O/${s}"_[0-9]*.swf; do
            case "$f" in *.player.swf) continue ;; esac
            [ -s "$f" ] && head -c 3 "$f" | grep -Eq '^(FWS|CWS)$' && ok=1
        done
        [ $ok = 1 ] || bad="$bad $s not converted;"
    done
    if [ -n "$bad" ]; then
        echo "$what:$bad"; ls -la "$O"; cat "$T/second.txt"
        problems=$((problems + 1))
    fi
done
check "20 runs killed at random moments, then run again: all converted, nothing left, nothing damaged" '[ $problems -eq 0 ]'
exit $fail
