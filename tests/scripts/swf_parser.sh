#!/usr/bin/env bash
# swf_parser.sh BUILD_DIR SOURCE_DIR: writes every sound SWF layout with swfdemo from MP3s at
# 11025, 22050 and 44100 Hz, mono and stereo, at 1 to 120 frames per second, and reads them back
# with the open-flash swf-parser (npm). Exit 77 (skipped) when node or the parser are missing.
set -euo pipefail
BUILD="$1"; SRC="$2"
NODE_MODULES="${TONVELA_NODE_MODULES:-$SRC/node_modules}"
DEMO="$BUILD/bin/swfdemo"
for tool in node ffmpeg; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
[ -f "$NODE_MODULES/swf-parser/lib/index.mjs" ] || { echo "skipped: swf-parser not in $NODE_MODULES"; exit 77; }
[ -x "$DEMO" ] || { echo "skipped: build swfdemo first"; exit 77; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
status=0
for rate in 11025 22050 44100; do
  for channels in 1 2; do
    mp3="$TMP/t$rate-$channels.mp3"
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=$rate:duration=1.3" \
      -ac "$channels" -c:a libmp3lame -b:a 48k -write_xing 0 -id3v2_version 0 "$mp3"
    for fps in 1 7 12 19 20 38 39 40 60 120; do
      out="$TMP/f$fps-$rate-$channels"
      "$DEMO" --fps "$fps" "$out" "$mp3" >/dev/null
      stem="$(basename "$mp3" .mp3)"
      NODE_MODULES="$NODE_MODULES" node "$SRC/tests/swf/parser/check_swf.mjs" "$mp3" "$fps" \
        "$out/$stem.streaming.swf" "$out/$stem.controls.swf" "$out/$stem.event.swf" "$out/$stem.pair.swf" \
        >"$TMP/log" || { cat "$TMP/log"; status=1; }
    done
  done
done
[ "$status" -eq 0 ] && echo "all layouts read back by swf-parser"
exit "$status"
