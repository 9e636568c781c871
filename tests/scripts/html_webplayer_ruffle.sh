#!/usr/bin/env bash
# html_webplayer_ruffle.sh BUILD_DIR SOURCE_DIR: pages that tonvela-convert writes with the web
# player copied beside them (HtmlWebPlayer=2) play in headless Chromium, which has no Flash, when
# served over http: one page per layout (streaming, streaming with controls, event sound,
# shell-player pair). Ruffle's metadata must match the SWF, the movie must be playing after 1 s,
# and the pair's sound SWF must be fetched through the player's query. Also: a second run into the
# same folder copies nothing, and a run killed half-way through the copy (its file size limit
# reached) leaves no folder that looks complete, and the next run completes it. A new settings
# store writes pages that load Ruffle from the pinned address (answered from node_modules, the
# same version) and play; a store holding HtmlWebPlayer=0 keeps writing the plain page.
# Screenshots: BUILD_DIR/screenshots/webplayer-*.png. Exit 77 (skipped) without the tools.
set -uo pipefail
BUILD="$1"; SRC="$2"
NODE_MODULES="${TONVELA_NODE_MODULES:-$SRC/node_modules}"
BIN="$BUILD/bin/tonvela-convert"
for tool in chromium node sox python3 cmp; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
[ -f "$NODE_MODULES/@ruffle-rs/ruffle/ruffle.js" ] && [ -d "$NODE_MODULES/playwright-core" ] &&
  [ -d "$NODE_MODULES/swf-parser" ] || { echo "skipped: the npm packages are not in $NODE_MODULES"; exit 77; }
[ -x "$BIN" ] && [ -d "$BUILD/bin/ControlSWF" ] || { echo "skipped: build tonvela-convert and the data first"; exit 77; }

T="$(mktemp -d)"
SERVER=""
cleanup() { [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

# The data folder: the build's, with Ruffle as the build copies it, else a copy from node_modules.
DATA="$BUILD/bin"
if [ ! -f "$DATA/ruffle/ruffle.js" ]; then
  DATA="$T/data"; mkdir -p "$DATA"
  for f in ControlSWF empty.swf sample.jpg; do ln -s "$BUILD/bin/$f" "$DATA/$f"; done
  cp -r "$NODE_MODULES/@ruffle-rs/ruffle" "$DATA/ruffle"
fi
sox -n -r 44100 -c 1 -b 16 "$T/tone.wav" synth 3 sine 440 gain -6
convert() {  # convert FOLDER [--set ...]: the tone into FOLDER/tone.swf with a mode-2 page
  local dir="$1"; shift
  mkdir -p "$dir"; cp "$T/tone.wav" "$dir/"
  "$BIN" -q --config-dir "$T/config" --data-dir "$DATA" --set HtmlWebPlayer=2 --set SWFBkgColor=0x336699 \
    "$@" "$dir/tone.wav" >"$T/out.txt" 2>&1
}

SITE="$T/site"
declare -A LAYOUT=(
  [streaming]="--set CreateCtrlSWF=0 --set SWFSoundType=10"
  [controls]="--set CreateCtrlSWF=1 --set ButtonSWFType=11"
  [event]="--set CreateCtrlSWF=0 --set SWFSoundType=20"
  [pair]="--set CreateCtrlSWF=1 --set ButtonSWFType=22"
)
for name in streaming controls event pair; do
  # shellcheck disable=SC2086
  convert "$SITE/$name" ${LAYOUT[$name]} || { echo "FAIL conversion of $name: $(cat "$T/out.txt")"; exit 1; }
  check "$name: page loads ruffle/ruffle.js in its head and keeps OBJECT/EMBED" \
    "grep -q '<SCRIPT src=\"ruffle/ruffle.js\"></SCRIPT></HEAD>' '$SITE/$name/tone.htm' && grep -q '<EMBED src=' '$SITE/$name/tone.htm'"
  check "$name: Ruffle's files beside the page" "cmp -s '$DATA/ruffle/ruffle.js' '$SITE/$name/ruffle/ruffle.js'"
done

# The command line: mode 1 writes the address given, a mode that does not exist is refused, and
# --help says how to look at a page.
convert "$T/cdn" --set HtmlWebPlayer=1 --set HtmlWebPlayerUrl='https://example.org/r.js?a&b'
check "mode 1: the configured address, no copy" \
  "grep -q '<SCRIPT src=\"https://example.org/r.js?a&amp;b\"></SCRIPT></HEAD>' '$T/cdn/tone.htm' && [ ! -e '$T/cdn/ruffle' ]"
"$BIN" --config-dir "$T/config" --set HtmlWebPlayer=3 "$T/tone.wav" >/dev/null 2>&1
check "HtmlWebPlayer=3 refused" "[ $? -eq 2 ]"
# The whole help is read (grep -q would stop reading early, and the run fail on its closed pipe).
check "--help tells about file:// pages" "'$BIN' --help | grep -c 'file://' >/dev/null"

# A new settings store (no web player chosen) writes pages that load Ruffle from the pinned
# address; a store that holds HtmlWebPlayer=0 keeps writing the plain page.
PINNED="$(sed -n 's/.*kDefaultWebPlayerUrl = "\(.*\)";/\1/p' "$SRC/src/convert/ConvertOptions.h")"
mkdir -p "$SITE/newstore" "$T/plain" "$T/kept"; cp "$T/tone.wav" "$SITE/newstore/"; cp "$T/tone.wav" "$T/plain/"
"$BIN" -q --config-dir "$T/fresh-store" --data-dir "$DATA" "$SITE/newstore/tone.wav" >/dev/null 2>&1
check "new store: the page loads Ruffle from the pinned address, nothing copied" \
  "[ -n '$PINNED' ] && grep -q '<SCRIPT src=\"$PINNED\"' '$SITE/newstore/tone.htm' && [ ! -e '$SITE/newstore/ruffle' ]"
printf '[Software\\Tonvela\\Options]\nHtmlWebPlayer=dword:00000000\n' >"$T/kept/settings.conf"
"$BIN" -q --config-dir "$T/kept" --data-dir "$DATA" "$T/plain/tone.wav" >/dev/null 2>&1
check "store holding HtmlWebPlayer=0: the plain page" \
  "head -n 1 '$T/plain/tone.htm' | grep -q '^<HTML><HEAD><TITLE>tone.swf</TITLE></HEAD>' && ! grep -qi '<SCRIPT' '$T/plain/tone.htm' && grep -q '<EMBED src=\"tone.swf\"' '$T/plain/tone.htm'"

# A second run into the same folder finds the copy complete and copies nothing.
before="$(stat -c %i "$SITE/streaming/ruffle/ruffle.js")"
cp "$T/tone.wav" "$SITE/streaming/again.wav"
"$BIN" -q --config-dir "$T/config" --data-dir "$DATA" --set HtmlWebPlayer=2 "$SITE/streaming/again.wav" >/dev/null 2>&1
check "second run copies nothing" "[ '$(stat -c %i "$SITE/streaming/ruffle/ruffle.js")' = '$before' ] && [ -f '$SITE/streaming/again.htm' ]"

# Killed half-way through the copy: no file may grow beyond 8 MB, the .wasm files are larger.
mkdir -p "$T/killed"; cp "$T/tone.wav" "$T/killed/"
{ ( ulimit -c 0; ulimit -f 8192; exec "$BIN" -q --config-dir "$T/config" --data-dir "$DATA" --set HtmlWebPlayer=2 \
    "$T/killed/tone.wav" ) >/dev/null 2>&1; } 2>/dev/null
rc=$?
check "run killed during the copy (status $rc) leaves no ruffle folder" "[ $rc -eq $((128 + 25)) ] && [ ! -e '$T/killed/ruffle' ]"
check "... only its hidden temporary folder" "ls -A '$T/killed' | grep -q '^.tonvela-ruffle-'"
convert "$T/killed"
check "next run completes the copy and clears the leftover" \
  "cmp -s '$DATA/ruffle/ruffle.js' '$T/killed/ruffle/ruffle.js' && ! ls -A '$T/killed' | grep -q '^.tonvela-ruffle-' && [ -f '$T/killed/ruffle/.tonvela-web-player' ]"
for f in "$DATA"/ruffle/*; do
  cmp -s "$f" "$T/killed/ruffle/$(basename "$f")" || { echo "FAIL $(basename "$f") differs after the redone copy"; fail=1; }
done

# Served over http on the loopback interface, as on a web site.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$SITE" >"$T/server.txt" 2>"$T/server.log" &
SERVER=$!
for _ in $(seq 100); do grep -q "port" "$T/server.txt" 2>/dev/null && break; sleep 0.1; done
PORT="$(grep -o 'port [0-9]*' "$T/server.txt" | cut -d' ' -f2)"
[ -n "$PORT" ] || { echo "FAIL http server did not start"; exit 1; }
cat >"$T/cases.json" <<JSON
[{"name": "streaming", "page": "streaming/tone.htm", "swf": "streaming/tone.swf"},
 {"name": "controls", "page": "controls/tone.htm", "swf": "controls/tone.swf"},
 {"name": "event", "page": "event/tone.htm", "swf": "event/tone.swf"},
 {"name": "pair", "page": "pair/tone.htm", "swf": "pair/tone.player.swf", "loads": ["pair/tone.swf"]},
 {"name": "newstore", "page": "newstore/tone.htm", "swf": "newstore/tone.swf",
  "route": {"prefix": "${PINNED%/*}/", "dir": "$NODE_MODULES/@ruffle-rs/ruffle"}}]
JSON
node "$SRC/tests/player/webplayer-pages.mjs" "http://127.0.0.1:$PORT" "$SITE" "$BUILD/screenshots" "$T/cases.json" || fail=1
echo "screenshots in $BUILD/screenshots/webplayer-*.png"
exit $fail
