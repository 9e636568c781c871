#!/usr/bin/env bash
# tonvela-convert as a new user meets it: paths through symbolic links, --json in input order
# with the same keys everywhere, --list-settings, --version and the closest names for a
# mistyped --set.
# Usage: cli_inputs_and_settings.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
[ -f "$DATA/ControlSWF/square_gradient_3.swf" ] || { echo "no templates in $DATA"; exit 77; }
command -v sox >/dev/null && command -v ffmpeg >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
CONV=("$BIN" --data-dir "$DATA" --config-dir "$T/config" -q)
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
# A JSON field of the probe of one path.
probe_field() { "${CONV[@]}" --probe --json "$1" 2>/dev/null | python3 -c 'import json,sys; print(json.loads(sys.stdin.readline())[sys.argv[1]])' "$2"; }

# 1. ".." after a link goes up from the link's target, as the kernel does: sl/x.wav lasts 1 s,
#    other/x.wav 2 s, sl/link -> ../other/dir.
mkdir -p "$T/sl" "$T/other/dir"
sox -n -r 8000 -c 1 "$T/sl/x.wav" synth 1 sine 300
sox -n -r 8000 -c 1 "$T/other/x.wav" synth 2 sine 300
ln -s ../other/dir "$T/sl/link"
check "link/../x.wav is the link target's neighbour" '[ "$(probe_field "$T/sl/link/../x.wav" durationSeconds)" = 2 ]'
check "and is named by its real path" '[ "$(probe_field "$T/sl/link/../x.wav" path)" = "$T/other/x.wav" ]'
#    A relative link inside a folder reached through a link.
ln -s ../x.wav "$T/other/dir/up.wav"
out="$("${CONV[@]}" --probe --json "$T/sl/link" 2>/dev/null)"
check "folder search follows a relative link from the real folder" \
    'python3 -c "import json,sys; r=[json.loads(l) for l in sys.stdin]; assert [x[\"path\"] for x in r]==[sys.argv[1]], r" "$T/other/x.wav" <<<"$out"'

# 2. --json: one object per input in input order, a failed input in its place, same keys.
sox -n -r 22050 -c 1 "$T/a.wav" synth 0.3 sine 440
sox -n -r 22050 -c 1 "$T/c.wav" synth 0.9 sine 440
sox -n -r 22050 -c 1 "$T/d.wav" synth 0.2 sine 440
echo "not an mp3" > "$T/bad.mp3"
for jobs in 1 3; do
    "${CONV[@]}" --json -j $jobs "$T/a.wav" "$T/bad.mp3" "$T/c.wav" "$T/d.wav" > "$T/out$jobs.json" 2>/dev/null
    check "--json in input order, same keys (-j $jobs)" 'python3 - "$T" "$T/out$jobs.json" <<"PY"
import json, sys
t = sys.argv[1]
rows = [json.loads(l) for l in open(sys.argv[2])]
assert [r["path"] for r in rows] == [t + "/a.wav", t + "/bad.mp3", t + "/c.wav", t + "/d.wav"], rows
assert len({tuple(sorted(r)) for r in rows}) == 1, rows
bad = rows[1]
assert not bad["ok"] and bad["swf"] == "" and bad["html"] == "" and bad["player"] == "" and bad["sampleRate"] is None, bad
assert all(r["ok"] for r in rows if r is not bad), rows
PY'
    rm -f "$T"/*.swf "$T"/*.htm
done
"${CONV[@]}" --probe --json "$T/bad.mp3" "$T/a.wav" > "$T/probe.json" 2>/dev/null
check "--probe --json in input order, same keys" 'python3 - "$T" <<"PY"
import json, sys
t = sys.argv[1]
rows = [json.loads(l) for l in open(t + "/probe.json")]
assert [r["path"] for r in rows] == [t + "/bad.mp3", t + "/a.wav"], rows
assert set(rows[0]) == set(rows[1]), rows
PY'

# 3. --list-settings: every setting with its current value, default, values and meaning.
"${CONV[@]}" --set SWFFrameRate=24 --save --probe "$T/a.wav" >/dev/null 2>&1
table="$("${CONV[@]}" --list-settings)"; rc=$?
check "--list-settings table (rc $rc)" '[ $rc -eq 0 ] && grep -Eq "^SWFFrameRate +24 +12 " <<<"$table" && grep -q "^SWFSoundType" <<<"$table"'
check "--list-settings --json" '"${CONV[@]}" --list-settings --json | python3 -c "
import json, sys
rows = json.load(sys.stdin)
r = {x[\"name\"]: x for x in rows}
assert r[\"SWFFrameRate\"][\"value\"] == \"24\" and r[\"SWFFrameRate\"][\"default\"] == \"12\", r[\"SWFFrameRate\"]
assert \"20\" in r[\"SWFSoundType\"][\"values\"] and r[\"SWFSoundType\"][\"meaning\"], r[\"SWFSoundType\"]
assert all(set(x) == {\"name\", \"value\", \"default\", \"values\", \"meaning\", \"stored\"} for x in rows)
"'
# A stored value that is not UTF-8 (a Latin-1 folder name) is listed as the conversion's --json
# writes paths: the byte as \udcXX.
latin1="$(printf '/tmp/caf\351')"
L1=("$BIN" --data-dir "$DATA" --config-dir "$T/config-latin1" -q)
"${L1[@]}" --set "SWFSpecifiedFolder=$latin1" --save --probe "$T/a.wav" >/dev/null 2>&1
"${L1[@]}" --list-settings --json > "$T/latin1.json"; rc=$?
check "--list-settings --json with a Latin-1 value (rc $rc)" '[ $rc -eq 0 ] && python3 -c "
import json, os, sys
r = {x[\"name\"]: x for x in json.load(open(sys.argv[1]))}
assert os.fsencode(r[\"SWFSpecifiedFolder\"][\"value\"]) == b\"/tmp/caf\\xe9\", r[\"SWFSpecifiedFolder\"]
" "$T/latin1.json"'

# 4. --version names the program and the libraries it runs with.
ver="$("${CONV[@]}" --version)"; rc=$?
check "--version (rc $rc)" '[ $rc -eq 0 ] && grep -q "^tonvela-convert " <<<"$ver" && grep -qi "lame" <<<"$ver" && grep -qi "ffmpeg" <<<"$ver" && grep -qi "openmpt" <<<"$ver"'

# 5. A mistyped setting name gets the closest known names.
err="$("${CONV[@]}" --set SWFSoundTyp=20 "$T/a.wav" 2>&1 >/dev/null)"; rc=$?
check "closest names for an unknown setting (rc $rc)" '[ $rc -eq 2 ] && grep -q "SWFSoundType" <<<"$err"'
err="$("${CONV[@]}" --set swfframerate=20 "$T/a.wav" 2>&1 >/dev/null)"
check "closest names ignore case" 'grep -q "SWFFrameRate" <<<"$err"'

# 6. The rules of the settings: a pair the MP3 rules refuse exits 2 naming the bit rates offered;
#    a stored value they refuse is read as the nearest allowed one, and --list-settings says so.
err="$("${CONV[@]}" --set MP3SampleRate=11025 --set MP3BitRate=320 "$T/a.wav" 2>&1 >/dev/null)"; rc=$?
check "320 kbit/s at 11025 Hz refused (rc $rc)" '[ $rc -eq 2 ] && grep -q "320" <<<"$err" && grep -q "16, 24, 32, 40, 48, 56, 64" <<<"$err"'
"${CONV[@]}" --set MP3SampleRate=44100 --set MP3BitRate=320 --list-settings >/dev/null 2>&1; rc=$?
check "the order of --set does not matter (rc $rc)" '[ $rc -eq 0 ]'
"${CONV[@]}" --set MP3SampleRate=22050 --save --probe "$T/a.wav" >/dev/null 2>&1
sed -i 's/^MP3SampleRate=.*/MP3SampleRate=dword:00001f40/' "$T/config/settings.conf"
check "--list-settings names a stored value the rules refuse" '"${CONV[@]}" --list-settings | grep -E "^MP3SampleRate +11025 " | grep -q "stored 8000"'
check "and so does --json" '"${CONV[@]}" --list-settings --json | python3 -c "
import json, sys
r = {x[\"name\"]: x for x in json.load(sys.stdin)}
assert r[\"MP3SampleRate\"][\"stored\"] == \"8000\" and r[\"MP3SampleRate\"][\"value\"] == \"11025\", r[\"MP3SampleRate\"]
assert r[\"SWFFrameRate\"][\"stored\"] is None
"'

# 7. Blank frames that leave a file's sound no room in the SWF's 65535 frames fail that file
#    before it is encoded, with a status naming the setting; nothing is written for it.
mkdir -p "$T/long"; sox -n -r 22050 -c 1 "$T/long/ten.wav" synth 10 sine 440
out="$("${CONV[@]}" --json --set BlankFrames=65500 "$T/long/ten.wav" 2>/dev/null)"; rc=$?
check "no room for the sound (rc $rc)" '[ $rc -eq 1 ] && grep -q "BlankFrames" <<<"$out" && [ -z "$(ls "$T/long" | grep -v "^ten.wav$")" ]'
"${CONV[@]}" --set BlankFrames=65000 "$T/long/ten.wav" >/dev/null 2>&1; rc=$?
check "room enough: 65000 blank frames and 10 s at 12 per second (rc $rc)" '[ $rc -eq 0 ] && [ -f "$T/long/ten.swf" ]'

check "no temporary files left" '[ -z "$(ls -A "$TMPDIR")" ]'
exit $fail
