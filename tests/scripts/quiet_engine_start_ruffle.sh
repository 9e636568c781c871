#!/usr/bin/env bash
# The desktop program under a real X server (Xvfb) makes its preview player ready when the
# pointer rests on its Options button (a sign that a preview is coming, and before it none
# starts); that start of the web engine prints nothing on stderr, and leaves nothing in the
# Chromium browser's folders of the home. The same start with the user's own
# log settings (a Chromium log level, Qt logging rules) prints the engine's context dump and
# its errors again: the engine did start, and the user's choice wins.
# Usage: quiet_engine_start_ruffle.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
BIN="$BUILD/bin/tonvela"
[ -x "$BIN" ] || { echo "no tonvela (built without the window program)"; exit 77; }
[ -f "$BUILD/bin/ruffle/ruffle.js" ] || { echo "no web player in the data folder"; exit 77; }
command -v xvfb-run >/dev/null || { echo "no xvfb-run (scripts/setup-deps.sh installs xvfb)"; exit 77; }

C="$(mktemp -d)"
trap 'rm -rf "$C"' EXIT
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

# Starts the program in a home of its own; its output goes to $C/NAME.out and $C/NAME.err.
start() {
  local name=$1; shift
  rm -rf "$C/$name" && mkdir -m 700 "$C/$name"
  # First start: FirstRun set to 0 beforehand, so no browser is asked for the manual.
  mkdir -p "$C/$name/cfg" && printf '[Software\\Tonvela\\Options]\nFirstRun=dword:00000000\n' > "$C/$name/cfg/settings.conf"
  env -u QTWEBENGINE_CHROMIUM_FLAGS -u QT_LOGGING_RULES -u QT_QPA_PLATFORM HOME="$C/$name" TONVELA_CONFIG_DIR="$C/$name/cfg" \
    XDG_RUNTIME_DIR="$C/$name" TONVELA_DATA_DIR="$BUILD/bin" "$@" \
    timeout 120 xvfb-run -a "$BIN" > "$C/$name.out" 2> "$C/$name.err" &
}
# The program's process below pid (xvfb-run's child).
program_below() {
  local k p
  for k in $(pgrep -P "$1"); do
    [ "$(tr '\0' ' ' < "/proc/$k/cmdline" 2>/dev/null)" = "$BIN " ] && { echo "$k"; return; }
    p=$(program_below "$k") && [ -n "$p" ] && { echo "$p"; return; }
  done
  return 1
}
# Puts the pointer on the Options button of the program below pid, on its own X server.
hover_options() {
  local p env
  p=$(program_below "$1") || return 1
  env=$(tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null) || return 1
  DISPLAY= XAUTHORITY="$(sed -n 's/^XAUTHORITY=//p' <<< "$env")" \
    python3 "$2/tests/scripts/lib/hover.py" "$(sed -n 's/^DISPLAY=//p' <<< "$env")" Tonvela 65 349 2>/dev/null
}
# How many of the web engine's processes run below pid (its zygote, page and helpers).
engine_below() {
  local kids n=0
  kids="$(pgrep -P "$1")" || { echo 0; return; }
  for k in $kids; do
    grep -qa QtWebEngineProcess "/proc/$k/cmdline" 2>/dev/null && n=$((n + 1))
    n=$((n + $(engine_below "$k")))
  done
  echo $n
}

# Both at once: one with the user's own log settings, one plain. The player is made ready after
# a second without input; both are watched until each runs the engine's processes (a zygote and
# at least a page) and the loud one has said all it says at that start (its output still for two
# seconds), then ended.
start loud QTWEBENGINE_CHROMIUM_FLAGS=--log-level=0 QT_LOGGING_RULES=qt.webenginecontext.info=true
loud=$!
start quiet
quiet=$!
SRC="$(cd "$2" && pwd)"
hovered_loud=0; hovered_quiet=0; no_engine_before=0
for _ in $(seq 1200); do
  # Once the window is there (so it is hovered), the engine must not have started by itself.
  if [ $hovered_quiet = 0 ]; then
    [ "$(engine_below $quiet)" = 0 ] || no_engine_before=1
    hover_options $quiet "$SRC" && hovered_quiet=1
  fi
  [ $hovered_loud = 1 ] || { hover_options $loud "$SRC" && hovered_loud=1; }
  [ "$(engine_below $loud)" -ge 2 ] && [ "$(engine_below $quiet)" -ge 2 ] && grep -q 'qt.webenginecontext' "$C/loud.err" && break
  kill -0 $loud 2>/dev/null && kill -0 $quiet 2>/dev/null || break
  sleep 0.05
done
last=-1; still=0
for _ in $(seq 300); do
  size=$(stat -c %s "$C/loud.err")
  if [ "$size" = "$last" ]; then still=$((still + 1)); else still=0; last=$size; fi
  [ $still -ge 20 ] && break
  sleep 0.1
done
kill -TERM $loud $quiet 2>/dev/null; wait $loud $quiet 2>/dev/null
# The engine's note that the sandbox is off (only as root, where it cannot run) is kept.
for name in loud quiet; do grep -v '^Sandboxing disabled by user\.$' "$C/$name.err" > "$C/$name.rest"; done

if ! grep -q 'qt.webenginecontext' "$C/loud.rest"; then
  echo "the web engine did not start here:"; cat "$C/loud.err"; exit 77
fi
check "the user's log settings show the engine's lines ($(wc -l < "$C/loud.rest") lines)" '[ "$(wc -l < "$C/loud.rest")" -gt 5 ]'
check "a plain start prints nothing" '[ ! -s "$C/quiet.rest" ]'
check "no web engine before the pointer was on Options" '[ $no_engine_before = 0 ]'
check "nothing in the browser's folders ($(find "$C/quiet" "$C/loud" -path '*chromium*' | wc -l) files)" \
  '[ -z "$(find "$C/quiet" "$C/loud" -path "*chromium*")" ]'
[ -s "$C/quiet.rest" ] && head -20 "$C/quiet.rest"
exit $fail
