#!/usr/bin/env bash
# The desktop program under a real X server (Xvfb) makes its preview player ready while idle;
# that start of the web engine prints nothing on stderr. The same start with the user's own
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

# Runs the program for a while (the player is made ready after a second without input).
run() {
  local name=$1; shift
  rm -rf "$C/home" && mkdir -m 700 "$C/home"
  # First start: FirstRun set to 0 beforehand, so no browser is asked for the manual.
  mkdir -p "$C/home/cfg" && printf '[Software\\Tonvela\\Options]\nFirstRun=dword:00000000\n' > "$C/home/cfg/settings.conf"
  env -u QTWEBENGINE_CHROMIUM_FLAGS -u QT_LOGGING_RULES HOME="$C/home" TONVELA_CONFIG_DIR="$C/home/cfg" \
    XDG_RUNTIME_DIR="$C/home" TONVELA_DATA_DIR="$BUILD/bin" "$@" \
    timeout 25 xvfb-run -a "$BIN" > "$C/$name.out" 2> "$C/$name.err"
  # The engine's note that the sandbox is off (only as root, where it cannot run) is kept.
  grep -v '^Sandboxing disabled by user\.$' "$C/$name.err" > "$C/$name.rest"
}

run loud QTWEBENGINE_CHROMIUM_FLAGS=--log-level=0 QT_LOGGING_RULES=qt.webenginecontext.info=true
if ! grep -q 'qt.webenginecontext' "$C/loud.rest"; then
  echo "the web engine did not start here:"; cat "$C/loud.err"; exit 77
fi
run quiet
check "the user's log settings show the engine's lines ($(wc -l < "$C/loud.rest") lines)" '[ "$(wc -l < "$C/loud.rest")" -gt 5 ]'
check "a plain start prints nothing" '[ ! -s "$C/quiet.rest" ]'
[ -s "$C/quiet.rest" ] && head -20 "$C/quiet.rest"
exit $fail
