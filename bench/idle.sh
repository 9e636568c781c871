#!/usr/bin/env bash
# idle.sh [BUILD_DIR]: what the desktop program costs while nobody uses it. Starts it in a fresh
# home under Xvfb (or QT_QPA_PLATFORM=offscreen with MODE=offscreen) beside a PulseAudio server
# of its own with a null sink, waits SETTLE seconds, then sums the CPU time (user + system) of
# its whole process tree, web-engine helpers included, over MEASURE seconds, and reports the
# tree's memory (PSS), the most playback streams the sound server had meanwhile, and the files
# left under any chromium folder of the home once the program has ended.
# Targets: under 0.3 s of CPU a minute, under 150 MB PSS, no playback stream. THREADS=1 also
# names the threads that used the time.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
BIN="$BUILD/bin/tonvela"
SETTLE="${SETTLE:-15}"; MEASURE="${MEASURE:-60}"; MODE="${MODE:-xvfb}"
[ -x "$BIN" ] || { echo "build tonvela first" >&2; exit 1; }
TMP="$(mktemp -d)"
app=""; pulse=""
cleanup() {
  [ -n "$app" ] && kill -TERM "$app" 2>/dev/null && wait "$app" 2>/dev/null
  [ -n "$pulse" ] && pulseaudio -k 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT
mkdir -m 700 "$TMP/home" "$TMP/run" "$TMP/cfg"
export HOME="$TMP/home" XDG_RUNTIME_DIR="$TMP/run" TONVELA_CONFIG_DIR="$TMP/cfg"
export TONVELA_DATA_DIR="${DATA_DIR:-$BUILD/bin}"
unset PULSE_SERVER
# No first-run question for a browser.
printf '[Software\\Tonvela\\Options]\nFirstRun=dword:00000000\n' > "$TMP/cfg/settings.conf"

if command -v pulseaudio >/dev/null &&
   pulseaudio -D --exit-idle-time=-1 --disallow-exit -n --use-pid-file=yes \
     --load="module-null-sink sink_name=null" --load=module-native-protocol-unix 2>/dev/null; then
  pulse=1
fi

# The program and every process below it.
tree() {
  echo "$1"
  local k
  for k in $(pgrep -P "$1" || true); do tree "$k"; done
}
# The sum over the program's tree of one number per process: awk program $2 over /proc/PID/$1.
tree_sum() {
  local p sum=0 v
  for p in $(tree "$app_pid"); do
    v=$(awk "$2" "/proc/$p/$1" 2>/dev/null) || continue
    sum=$((sum + ${v:-0}))
  done
  echo $sum
}
# CPU ticks (user + system), and proportional memory in KiB.
ticks() { tree_sum stat '{ sub(/^.*\) /, ""); print $12 + $13 }'; }
pss_kb() { tree_sum smaps_rollup '/^Pss:/ { print $2 }'; }
# Every thread of the tree with its ticks so far: "process/thread ticks" (for THREADS=1).
thread_ticks() {
  local p t
  for p in $(tree "$app_pid"); do
    for t in /proc/$p/task/*; do
      awk -v p="$(cat /proc/$p/comm 2>/dev/null)" -v t="$(cat $t/comm 2>/dev/null)" \
        '{ sub(/^.*\) /, ""); gsub(/ /, "_", p); gsub(/ /, "_", t); print p "/" t "(" FILENAME ") " $12 + $13 }' "$t/stat" 2>/dev/null
    done
  done
}
streams() {
  if [ -n "$pulse" ]; then pactl list short sink-inputs 2>/dev/null | wc -l; else echo "n/a"; fi
}

if [ "$MODE" = offscreen ]; then
  QT_QPA_PLATFORM=offscreen "$BIN" > "$TMP/out" 2>&1 &
  app=$!; app_pid=$app
else
  command -v xvfb-run >/dev/null || { echo "no xvfb-run" >&2; exit 1; }
  xvfb-run -a -s "-screen 0 1600x1000x24" "$BIN" > "$TMP/out" 2>&1 &
  app=$!
  app_pid=""
  for _ in $(seq 200); do
    app_pid=$(pgrep -f -n -x "$BIN" || true)
    [ -n "$app_pid" ] && break
    sleep 0.05
  done
  [ -n "$app_pid" ] || { echo "the program did not start" >&2; cat "$TMP/out" >&2; exit 1; }
fi
# WARM=1: the pointer rests on the Options button a moment first (a sign that a preview is
# coming), so the figures are those of a program with its preview player ready and parked.
if [ "${WARM:-0}" = 1 ] && [ "$MODE" != offscreen ]; then
  display=$(tr '\0' '\n' < "/proc/$app_pid/environ" | sed -n 's/^DISPLAY=//p')
  xauth=$(tr '\0' '\n' < "/proc/$app_pid/environ" | sed -n 's/^XAUTHORITY=//p')
  hovered=0
  for _ in $(seq 600); do
    XAUTHORITY="$xauth" python3 "$ROOT/tests/scripts/lib/hover.py" "$display" Tonvela 65 349 && { hovered=1; break; }
    sleep 0.1
  done
  [ $hovered = 1 ] || { echo "could not hover" >&2; exit 1; }
fi
hz=$(getconf CLK_TCK)
echo "== idle program ($MODE, WARM=${WARM:-0}), settle ${SETTLE} s, measured over ${MEASURE} s; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
sleep "$SETTLE"
kill -0 "$app_pid" 2>/dev/null || { echo "the program ended" >&2; cat "$TMP/out" >&2; exit 1; }
pss_start=$(pss_kb)
t0=$(ticks)
[ "${THREADS:-0}" = 1 ] && thread_ticks > "$TMP/threads0"
most=0
for _ in $(seq "$MEASURE"); do
  sleep 1
  s=$(streams)
  if [ "$s" != n/a ] && [ "$s" -gt "$most" ]; then most=$s; fi
done
t1=$(ticks)
[ "${THREADS:-0}" = 1 ] && thread_ticks > "$TMP/threads1"
procs=$(tree "$app_pid" | wc -l)
pss_end=$(pss_kb)
[ -n "$pulse" ] || most=n/a
# Ended as a session ends it; what the web engine leaves in the browser's folders shows then.
kill -TERM "$app" 2>/dev/null; wait "$app" 2>/dev/null || true; app=""
awk -v d=$((t1 - t0)) -v hz="$hz" -v m="$MEASURE" -v a="$pss_start" -v b="$pss_end" -v p="$procs" -v s="$most" \
  -v c="$(find "$HOME" -path '*chromium*' 2>/dev/null | wc -l)" 'BEGIN {
  printf "cpu per minute          %6.2f s  (%d ticks in %d s)\n", d / hz * 60 / m, d, m
  printf "pss at start / end      %6.1f / %.1f MB\n", a / 1024, b / 1024
  printf "processes               %6d\n", p
  printf "playback streams (most) %6s\n", s
  printf "files under chromium    %6d\n", c
}'
# THREADS=1: the threads that used the time, busiest first.
if [ "${THREADS:-0}" = 1 ]; then
  echo "busiest threads (ticks over the measured time):"
  awk 'NR == FNR { before[$1] = $2; next } { d = $2 - before[$1]; if (d > 0) print d, $1 }' \
    "$TMP/threads0" "$TMP/threads1" | sort -rn | head -12 | sed 's|(/proc/[0-9]*/task/[0-9]*/stat)||; s/^/  /'
fi
