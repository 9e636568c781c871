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

# The checker itself must notice damage: a jump off the end of empty.swf's end-loop action, and
# a fill style of an unknown type.
node - "$SRC/data/empty.swf" "$SRC/data/ControlSWF/circle_plain_1.swf" "$WORK" <<'JS'
const fs = require("fs");
const [empty, plain, dir] = process.argv.slice(2);
const a = fs.readFileSync(empty);
const goto = a.indexOf(Buffer.from([0x81, 0x02, 0x00, 0x01, 0x00]));  // GotoFrame 1
a[goto] = 0x99;  // now a Jump ...
a[goto + 3] = 0x05;  // ... of 5 bytes: past the end of the actions
fs.writeFileSync(`${dir}/bad-jump.swf`, a);
const b = fs.readFileSync(plain);
const shape = b.indexOf(Buffer.from([0x00, 0x00, 0x00, 0x00, 0xff]));  // a black solid fill
b[shape - 1] = 0x55;  // not a fill style type
fs.writeFileSync(`${dir}/bad-shape.swf`, b);
JS
for bad in bad-jump bad-shape; do
  if node "$SRC/tests/player/check-swf.mjs" "$WORK/$bad.swf"; then echo "the checker missed $bad"; exit 1; fi
done
