#!/usr/bin/env bash
# Plays a sound SWF written with every shipped template, and every shell-player pair, in the
# Ruffle web player inside headless Chromium: play, pause/stop, seek and the end of the sound
# must show on screen. Screenshots (button colour C03020) go to BUILD_DIR/screenshots/.
#   bash player_ruffle_templates.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD="$1"; SRC="$2"
BIN="$BUILD/bin"
[ -x /usr/bin/chromium ] || { echo "chromium missing"; exit 77; }
command -v node >/dev/null && [ -d "$SRC/node_modules/@ruffle-rs/ruffle" ] && [ -d "$SRC/node_modules/playwright-core" ] \
  || { echo "node or node_modules missing"; exit 77; }
for t in make_templates compose_template; do [ -x "$BIN/$t" ] || { echo "$t not built"; exit 77; }; done
command -v sox >/dev/null && command -v lame >/dev/null || { echo "sox or lame missing"; exit 77; }

WORK="$(mktemp -d)"; trap 'rm -rf "$WORK"' EXIT
SHOTS="$BUILD/screenshots"
mkdir -p "$SHOTS"  # shared with the window tests' screenshots: files are replaced, the folder is kept
"$BIN/make_templates" "$WORK/regen" "$SRC/tools/templategen/placeholder.jpg" "$WORK/layout.json"
sox -n -r 44100 -c 1 "$WORK/tone.wav" synth 2 sine 440 vol 0.3
lame --quiet -b 64 "$WORK/tone.wav" "$WORK/tone.mp3"
# A longer sound for the movie that starts by itself after blank frames: on a busy machine a
# short one could end before the page is even looked at.
sox -n -r 44100 -c 1 "$WORK/tone6.wav" synth 6 sine 440 vol 0.3
lame --quiet -b 64 "$WORK/tone6.wav" "$WORK/tone6.mp3"
C=(--seconds 2 --colour C03020)
for t in "$SRC"/data/ControlSWF/*.swf; do
  n="$(basename "$t" .swf)"
  extra=()
  [[ "$n" == *use_a_jpeg* ]] && extra=(--jpeg "$SRC/data/sample.jpg" 320 240)
  "$BIN/compose_template" "$WORK/tone.mp3" "$t" "$WORK/$n.swf" "${C[@]}" --init-play 0 --loop 0 "${extra[@]}"
  "$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/ControlSWF/ShellPlayer/$n.swf" "$WORK/$n-sound.swf" \
    "${C[@]}" --player "$WORK/$n.player.swf" "${extra[@]}"
  # The recoloured templates on their own, as the options preview shows them.
  "$BIN/compose_template" "$WORK/tone.mp3" "$t" "$WORK/$n.template.swf" "${C[@]}" --template-only
  "$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/ControlSWF/ShellPlayer/$n.swf" "$WORK/$n.player-template.swf" \
    "${C[@]}" --template-only
done
# Playing automatically and looping, in both layouts; blank frames before the sound.
"$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/ControlSWF/square_gradient_3.swf" "$WORK/auto-loop.swf" \
  "${C[@]}" --init-play 1 --loop 1
# Started by hand and looping: the loop must not run into the stop of the first frame again.
"$BIN/compose_template" "$WORK/tone.mp3" "$SRC/data/ControlSWF/circle_gradient_1.swf" "$WORK/stop-loop.swf" \
  "${C[@]}" --init-play 0 --loop 1 --blank 2
"$BIN/compose_template" "$WORK/tone6.mp3" "$SRC/data/ControlSWF/track_time_1.swf" "$WORK/auto-blank.swf" \
  --seconds 6 --colour C03020 --init-play 1 --loop 0 --blank 3 --fps 20

node - "$WORK/layout.json" "$WORK/cases.json" <<'JS'
const fs = require("fs");
const [layoutFile, casesFile] = process.argv.slice(2);
const layouts = JSON.parse(fs.readFileSync(layoutFile, "utf8"));
const cases = [];
for (const l of layouts) {
  const n = l.name.replace(/\.swf$/, "");
  const size = n.includes("use_a_jpeg") ? { width: 320, height: 240 } : { width: l.width, height: l.height };
  const base = { ...size, play: l.play, stop: l.stop, time: l.time, track: l.track, seconds: 2 };
  const alone = { ...base, width: l.width, height: l.height, still: true };
  if (l.folder === "ControlSWF") {
    cases.push({ ...alone, name: `${n}.template`, url: `${n}.template.swf` });
    cases.push({ ...base, name: n, url: `${n}.swf` });
    if (n === "square_gradient_3") cases.push({ ...base, name: "auto-loop", url: "auto-loop.swf", autoplay: true, loops: true });
    if (n === "circle_gradient_1") cases.push({ ...base, name: "stop-loop", url: "stop-loop.swf", loops: true });
    if (n === "track_time_1") cases.push({ ...base, name: "auto-blank", url: "auto-blank.swf", autoplay: true, seconds: 6 });
  } else {
    cases.push({ ...alone, name: `${n}.player-template`, url: `${n}.player-template.swf` });
    const q = `soundswf=${n}-sound.swf&autoplay=0&loops=0` + (n.toLowerCase().includes("time") ? "&duration=2" : "");
    cases.push({ ...base, name: `${n}.player`, url: `${n}.player.swf?${q}` });
    if (n === "square_gradient_3")
      cases.push({ ...base, name: `${n}.player-auto-loop`, url: `${n}.player.swf?soundswf=${n}-sound.swf&autoplay=1&loops=1`,
                   autoplay: true, loops: true });
  }
}
fs.writeFileSync(casesFile, JSON.stringify(cases, null, 1));
JS
node "$SRC/tests/player/run-templates.mjs" "$WORK/cases.json" "$WORK" "$SHOTS"
echo "screenshots in $SHOTS"
