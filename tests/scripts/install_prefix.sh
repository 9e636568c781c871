#!/usr/bin/env bash
# An installation into a prefix of its own works by itself: cmake --install into a temporary
# folder, then both programs run from there against the installed data folder (no
# TONVELA_DATA_DIR, the build tree out of reach), and the desktop entry, the AppStream file and
# the manual pages pass their validators.
# Usage: install_prefix.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"; SRC="$2"
[ -x "$BUILD/bin/tonvela-convert" ] || { echo "skipped: build tonvela-convert first"; exit 77; }
for tool in cmake sox ffmpeg lame file groff desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
P="$T/prefix"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

cmake --install "$BUILD" --prefix "$P" >"$T/install.log" 2>&1; rc=$?
check "cmake --install (rc $rc)" '[ $rc -eq 0 ]' || cat "$T/install.log"
DATA="$P/share/tonvela"
check "data folder installed" '[ -f "$DATA/ControlSWF/square_gradient_3.swf" ] && [ -f "$DATA/ControlSWF/ShellPlayer/square_gradient_3.swf" ] && [ -f "$DATA/empty.swf" ]'
# The pages and places the program opens: the contents, the FAQ's sound types, each options
# page's part, the formats page the add-failure message names.
for topic in index.html FAQ.html#swf_diff options.html#swf options.html#sound options.html#output formats.html; do
  page="${topic%%#*}"; anchor="${topic#"$page"}"; anchor="${anchor#\#}"
  check "manual has $topic" '[ -f "$DATA/help/$page" ] && { [ -z "$anchor" ] || grep -q "id=\"$anchor\"" "$DATA/help/$page"; }'
done

# Everything below runs with a clean environment: no data folder named, the user's settings
# out of the way, and a stand-in xdg-open that only notes what it was asked to open.
mkdir -p "$T/fakebin" "$T/config" "$T/in" "$T/runtime"; chmod 700 "$T/runtime"
cat >"$T/fakebin/xdg-open" <<EOF
#!/bin/sh
echo "\$@" >>"$T/opened.log"
EOF
chmod +x "$T/fakebin/xdg-open"
run() {
  env -u TONVELA_DATA_DIR TONVELA_CONFIG_DIR="$T/config" XDG_CONFIG_HOME="$T/config" \
    XDG_RUNTIME_DIR="$T/runtime" PATH="$T/fakebin:$PATH" "$@"
}
seconds() { ffmpeg -v error -i "$1" -f s16le -ac 1 -ar 44100 - 2>/dev/null | wc -c | awk '{printf "%.2f", $1 / 88200}'; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

# The command line converts with the default settings, whose control template lives in the
# installed data folder. The SWF's sound is measured by FFmpeg's own SWF reader.
sox -n -r 44100 -c 2 -b 16 "$T/in/tone.wav" synth 2 sine 440
(cd "$T" && run "$P/bin/tonvela-convert" -q "$T/in/tone.wav") >"$T/convert.log" 2>&1; rc=$?
check "installed tonvela-convert converts (rc $rc)" '[ $rc -eq 0 ] && [ -s "$T/in/tone.swf" ] && [ -s "$T/in/tone.htm" ]' || cat "$T/convert.log"
check "SWF header" '[ "$(head -c 3 "$T/in/tone.swf")" = FWS ] || [ "$(head -c 3 "$T/in/tone.swf")" = CWS ]'
check "SWF holds the 2 s of sound ($(seconds "$T/in/tone.swf") s)" 'near "$(seconds "$T/in/tone.swf")" 2.0 0.1'
# Without its template the same run fails: the data folder used is the installed one.
mv "$DATA/ControlSWF/square_gradient_3.swf" "$T/saved.swf"
(cd "$T" && run "$P/bin/tonvela-convert" -q --set TargetExistsOpt=22 "$T/in/tone.wav") >/dev/null 2>&1; rc=$?
mv "$T/saved.swf" "$DATA/ControlSWF/square_gradient_3.swf"
check "the installed data folder is the one read (rc $rc without its template)" '[ $rc -eq 2 ]'

# The manual pages format without warnings.
for m in "$P"/share/man/man1/tonvela*.1.gz; do
  warn="$(zcat "$m" | groff -man -Tutf8 -ww -z 2>&1)"
  check "man page $(basename "$m") formats cleanly" '[ -z "$warn" ]' || echo "$warn"
done
check "tonvela-convert man page installed" '[ -f "$P/share/man/man1/tonvela-convert.1.gz" ]'
# The man page's SETTINGS section says what --list-settings says: for every setting its
# meaning, the values it takes and its default (paths under the data folder as installed by
# the build's prefix), read from the page as groff renders it.
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$BUILD/CMakeCache.txt")"
(cd "$T" && run "$P/bin/tonvela-convert" --list-settings --json) >"$T/settings.json" 2>"$T/settings.err"
zcat "$P/share/man/man1/tonvela-convert.1.gz" | groff -man -Tascii -rHY=0 -rLL=2000n -P-cbou 2>/dev/null >"$T/man.txt"
/usr/bin/python3 - "$T/settings.json" "$T/man.txt" "$DATA/" "$prefix/share/tonvela/" >"$T/man-settings.log" 2>&1 <<'PY'
import json, re, sys
settings = json.load(open(sys.argv[1]))
text = open(sys.argv[2]).read()
section = text[text.index("\nSETTINGS\n"):text.index("\nWEB PLAYER\n")]
flat = " ".join(section.split())
missing = []
for s in settings:
    default = s["default"].replace(sys.argv[3], sys.argv[4]) or "empty"
    entry = f'{s["name"]} {s["meaning"]}. Values: {s["values"]}; default: {default}.'
    if " ".join(entry.split()) not in flat:
        missing.append(entry)
print("\n".join(missing))
sys.exit(1 if missing or len(settings) < 40 else 0)
PY
rc=$?
check "man page lists every setting as --list-settings does ($(grep -c '"name"' "$T/settings.json") settings, rc $rc)" '[ $rc -eq 0 ]' || cat "$T/man-settings.log"

if [ -x "$BUILD/bin/tonvela" ]; then
  DESKTOP="$P/share/applications/tonvela.desktop"
  check "desktop entry valid" 'desktop-file-validate "$DESKTOP"'
  check "desktop entry starts the program with the files" 'grep -qx "Exec=tonvela %F" "$DESKTOP" && grep -qx "Icon=tonvela" "$DESKTOP"'
  check "icon installed" 'grep -q "<svg" "$P/share/icons/hicolor/scalable/apps/tonvela.svg"'
  META="$(ls "$P"/share/metainfo/*.metainfo.xml 2>/dev/null | head -1)"
  check "AppStream metainfo valid" '[ -n "$META" ] && appstreamcli validate --no-net "$META" >"$T/as.log" 2>&1' || cat "$T/as.log"
  check "metainfo launches the desktop entry" 'grep -q "<launchable type=\"desktop-id\">tonvela.desktop</launchable>" "$META"'
  # "Open with Tonvela" appears for files of the types the program reads: file(1) names the
  # types of files made by sox and lame, and the desktop entry must list each.
  sox -n -r 22050 -c 1 "$T/in/t.aiff" synth 0.3 sine 300
  sox -n -r 22050 -c 1 "$T/in/t.flac" synth 0.3 sine 300
  sox -n -r 22050 -c 1 "$T/in/t.ogg" synth 0.3 sine 300
  sox -n -r 22050 -c 1 "$T/in/t.au" synth 0.3 sine 300
  lame --quiet "$T/in/tone.wav" "$T/in/t.mp3"
  mimes="$(grep '^MimeType=' "$DESKTOP")"
  for f in tone.wav t.aiff t.flac t.ogg t.au t.mp3; do
    type="$(file --mime-type -b "$T/in/$f")"
    check "desktop entry lists $type ($f)" 'grep -q "[=;]$type;" <<<"$mimes"'
  done

  # The window starts headless and keeps running until stopped (exit 124 from timeout); a
  # crash or a start-up error fails. Its first start opens the installed manual.
  rm -f "$T/opened.log"
  run QT_QPA_PLATFORM=offscreen timeout 10 "$P/bin/tonvela" >"$T/gui.log" 2>&1; rc=$?
  check "installed tonvela starts headless and runs until stopped (rc $rc)" '[ $rc -eq 124 ]' || cat "$T/gui.log"
  check "first start opens the installed manual" 'grep -q "$DATA/help/index.html" "$T/opened.log" 2>/dev/null' || cat "$T/opened.log"
fi
exit "$fail"
