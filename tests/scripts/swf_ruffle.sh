#!/usr/bin/env bash
# swf_ruffle.sh BUILD_DIR SOURCE_DIR: plays sound SWFs written by swfdemo in the Ruffle web player
# (headless Chromium) and checks that the whole sound comes out without gaps, for streaming
# sound at 12, 60 and 120 frames per second, with controls, and for event sound. Exit 77 (skipped) when Ruffle,
# playwright-core (npm) or Chromium are not installed.
set -euo pipefail
BUILD="$1"; SRC="$2"
NODE_MODULES="${TONVELA_NODE_MODULES:-$SRC/node_modules}"
DEMO="$BUILD/bin/swfdemo"
for tool in chromium node ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
[ -f "$NODE_MODULES/@ruffle-rs/ruffle/ruffle.js" ] && [ -d "$NODE_MODULES/playwright-core" ] ||
  { echo "skipped: @ruffle-rs/ruffle and playwright-core are not in $NODE_MODULES"; exit 77; }
[ -x "$DEMO" ] || { echo "skipped: build swfdemo first"; exit 77; }

TMP="$(mktemp -d)"
SERVER=""
cleanup() { [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$TMP"; }
trap cleanup EXIT
ln -s "$NODE_MODULES/@ruffle-rs/ruffle" "$TMP/ruffle"
cp "$SRC/tests/swf/ruffle/page.html" "$TMP/"

SWFS=()
for combo in "44100 1" "22050 2"; do
  set -- $combo
  mp3="$TMP/tone$1.mp3"
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=$1:duration=3" -ac "$2" \
    -c:a libmp3lame -b:a 64k -write_xing 0 -id3v2_version 0 "$mp3"
  for fps in 12 60 120; do
    "$DEMO" --fps "$fps" "$TMP/f$fps" "$mp3" >/dev/null
    SWFS+=("f$fps/tone$1.streaming.swf")
  done
  SWFS+=("f12/tone$1.controls.swf" "f12/tone$1.event.swf")
done

# A local web server on a free port (Ruffle loads its .wasm over http).
python3 -u -c '
import http.server, functools, sys
h = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
h.log_message = lambda *a: None
s = http.server.ThreadingHTTPServer(("127.0.0.1", 0), h)
print(s.server_address[1], flush=True)
s.serve_forever()' "$TMP" >"$TMP/port" 2>/dev/null &
SERVER=$!
for _ in $(seq 50); do [ -s "$TMP/port" ] && break; sleep 0.1; done
PORT="$(cat "$TMP/port")"

NODE_MODULES="$NODE_MODULES" node "$SRC/tests/swf/ruffle/play.js" "http://127.0.0.1:$PORT" 3 "${SWFS[@]}"
