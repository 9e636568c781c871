#!/usr/bin/env bash
# Every shipped template, and sound SWFs written with each of them (all combinations of play
# automatically, loop and blank frames; the shell-player pairs; the JPEG background), parse without
# error in independent parsers (npm swf-parser and avm1-parser). Also checks that the shipped set
# is exactly what tools/make_templates builds.
#   bash swfparse_templates.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD="$1"; SRC="$2"
BIN="$BUILD/bin"
command -v node >/dev/null && [ -d "$SRC/node_modules/swf-parser" ] || { echo "node or node_modules missing"; exit 77; }
for t in make_templates compose_template; do [ -x "$BIN/$t" ] || { echo "$t not built"; exit 77; }; done
command -v sox >/dev/null && command -v lame >/dev/null || { echo "sox or lame missing"; exit 77; }

WORK="$(mktemp -d)"; trap 'rm -rf "$WORK"' EXIT
"$BIN/make_templates" "$WORK/regen" "$SRC/tools/templategen/placeholder.jpg"
diff -r "$WORK/regen/ControlSWF" "$SRC/data/ControlSWF"
cmp "$WORK/regen/empty.swf" "$SRC/data/empty.swf"

sox -n -r 44100 -c 1 "$WORK/tone.wav" synth 2 sine 440 vol 0.3
lame --quiet -b 64 "$WORK/tone.wav" "$WORK/tone.mp3"
FILES=("$SRC/data/empty.swf" "$SRC"/data/ControlSWF/*.swf "$SRC"/data/ControlSWF/ShellPlayer/*.swf)
for t in "$SRC"/data/ControlSWF/*.swf; do
  n="$(basename "$t" .swf)"
  extra=()
  [[ "$n" == *use_a_jpeg* ]] && extra=(--jpeg "$SRC/data/sample.jpg" 320 240)
  for init in 0 1; do for loop in 0 1; do for blank in 0 2; do
    out="$WORK/$n-$init$loop$blank.swf"
    "$BIN/compose_template" "$WORK/tone.mp3" "$t" "$out" --seconds 2 --init-play $init --loop $loop \
      --blank $blank --colour C03020 "${extra[@]}"
    FILES+=("$out")
  done; done; done
  "$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/ControlSWF/ShellPlayer/$n.swf" "$WORK/$n-sound.swf" \
    --seconds 2 --colour C03020 --player "$WORK/$n.player.swf" "${extra[@]}"
  FILES+=("$WORK/$n-sound.swf" "$WORK/$n.player.swf")
done
# Without controls the streaming layout takes empty.swf's actions.
"$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/empty.swf" "$WORK/plain.swf" --seconds 2
FILES+=("$WORK/plain.swf")
node "$SRC/tests/player/check-swf.mjs" "${FILES[@]}"
echo "${#FILES[@]} files parsed"
