#!/usr/bin/env bash
# The desktop program as a screen reader user meets it: under an X server of its own (Xvfb, with
# a window manager as a desktop has), a session bus of its own with the accessibility bus on it,
# and a home of its own, a11y_job.py reads every window through AT-SPI (each control a user
# can reach has a name and a control's role) and does a whole job with keystrokes and AT-SPI
# actions only: add files, change an option, convert, read the failure summary, open the preview
# and the HTML code, record and save a take (with a PulseAudio of its own, when there is one),
# read the About box, quit.
# Usage: a11y_walk.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
SRC="$(cd "$2" && pwd)"
BIN="$BUILD/bin/tonvela"
PY=/usr/bin/python3  # the system's, which has the AT-SPI bindings
skip() { echo "skipped: $*"; exit 77; }
[ -x "$BIN" ] || skip "no tonvela (built without the window program)"
for tool in Xvfb dbus-run-session openbox sox xprop; do
  command -v $tool >/dev/null || skip "no $tool (scripts/setup-deps.sh installs it)"
done
[ -x $PY ] && $PY -c 'import pyatspi' 2>/dev/null || skip "no python3-pyatspi (scripts/setup-deps.sh installs it)"
[ -f /usr/share/dbus-1/services/org.a11y.Bus.service ] || skip "no at-spi2-core"

C="$(mktemp -d)"
chmod 700 "$C"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$C"
}
trap cleanup EXIT

# The files: a tone, another that is removed before it is converted, and one that is no sound;
# a new home and settings for every session.
prepare() {
  rm -rf "$C/work" "$C/home" "$C/cfg" "$C/run"
  mkdir -p "$C/work" "$C/home" "$C/cfg" "$C/run" && chmod 700 "$C/run"
  sox -n -r 22050 -c 1 -b 16 "$C/work/tone.wav" synth 1.5 sine 440 || exit 1
  cp "$C/work/tone.wav" "$C/work/gone.wav"
  for _ in $(seq 200); do echo "this is not a sound"; done > "$C/work/junk.wav"
  # Not the first start, so no browser is asked for the manual.
  printf '[Software\\Tonvela\\Options]\nFirstRun=dword:00000000\n' > "$C/cfg/settings.conf"
}

# An X server on a display number it chooses itself.
exec 3> "$C/display"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp > "$C/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 600); do [ -s "$C/display" ] && break; kill -0 $xvfb 2>/dev/null || break; sleep 0.05; done
[ -s "$C/display" ] || { cat "$C/xvfb.log"; echo "FAIL Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$C/display")"

# Everything else inside one session bus, which ends with it. The inner part starts the window
# manager, the sound server (if any), the program and the job, and ends each by its id.
cat > "$C/inner.sh" <<'EOF'
set -u
C=$1; BIN=$2; SRC=$3; PY=$4
# The window manager with its defaults (click to focus, focus to a new window and back to the
# window below when one closes), and not the user's own settings.
echo '<openbox_config xmlns="http://openbox.org/3.4/rc"/>' > "$C/openbox.xml"
openbox --sm-disable --config-file "$C/openbox.xml" > "$C/openbox.log" 2>&1 &
wm=$!
# Ready once it has read its settings and theme (it names them on the root window last).
for _ in $(seq 600); do xprop -root _OB_THEME 2>/dev/null | grep -q '=' && break; sleep 0.05; done
sound=0
if command -v pulseaudio >/dev/null &&
   pulseaudio -D --exit-idle-time=-1 -n --use-pid-file=yes --load="module-null-sink sink_name=null" \
     --load="module-null-source source_name=nullsrc max_latency_msec=50" --load=module-native-protocol-unix \
     > "$C/pulse.log" 2>&1; then
  sound=1
fi
QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$BIN" > "$C/program.out" 2> "$C/program.err" &
program=$!
SOUND=$sound timeout 120 "$PY" "$SRC/tests/desktop/a11y_job.py" "$C/work"
status=$?
# Ctrl+Q ended it: it leaves the bus at once and is gone once its web engine has stopped.
for _ in $(seq 600); do kill -0 $program 2>/dev/null || break; sleep 0.05; done
kill $program 2>/dev/null && { echo "FAIL the program was still running 30 s after the job"; status=1; }
wait $program 2>/dev/null
[ $sound = 1 ] && pulseaudio -k
kill $wm 2>/dev/null; wait $wm 2>/dev/null
exit $status
EOF
session() {
  env -u QT_QPA_PLATFORM -u SESSION_MANAGER -u DBUS_SESSION_BUS_ADDRESS -u PULSE_SERVER \
    HOME="$C/home" XDG_CONFIG_HOME="$C/home/.config" XDG_DATA_HOME="$C/home/.local/share" \
    XDG_CACHE_HOME="$C/home/.cache" XDG_RUNTIME_DIR="$C/run" TONVELA_CONFIG_DIR="$C/cfg" \
    TONVELA_DATA_DIR="$BUILD/bin" NO_AT_BRIDGE=0 \
    dbus-run-session -- bash "$C/inner.sh" "$C" "$BIN" "$SRC" "$PY" 2> "$C/session.err"
}
# On a very busy machine the window manager has been seen to leave a new window without the
# keyboard focus for good, and the keystrokes then go nowhere. So a failed session is run again
# from the start, up to twice, and only the last one counts: a control without a name or a job
# that cannot be done fails every time.
for try in 1 2 3; do
  prepare
  session | tee "$C/session.out"
  status=${PIPESTATUS[0]}
  [ $status = 0 ] && break
  [ $try -lt 3 ] && echo "again: session $try failed ($(grep -m1 -E '^FAIL' "$C/session.out" || echo "status $status"))"
done
if [ $status != 0 ]; then
  echo "--- what the windows showed"; cat "$C/work/walk.txt" 2>/dev/null | tail -80
  echo "--- the program's errors"; tail -20 "$C/program.err"
  grep -v 'dbus-daemon\|SpiRegistry' "$C/session.err" | tail -20
fi
[ $status = 0 ] && echo "ok   every window read named its controls, and the whole job was done by keyboard"
exit $status
