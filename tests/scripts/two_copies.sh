#!/usr/bin/env bash
# Two copies of tonvela-convert converting the same files into one folder at once, ten times,
# with auto-rename (one of them running two jobs): every SWF reported is on disk, no two
# reports name the same file, and every file is a complete SWF whose sound ffmpeg decodes.
# Usage: two_copies.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
command -v sox >/dev/null && command -v ffmpeg >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR" "$T/in" "$T/out"
for n in a b c; do sox -n -r 22050 -c 1 "$T/in/$n.wav" synth 0.5 sine 440; done
SET=(--set SWFOutputFolderOpt=399 --set "SWFSpecifiedFolder=$T/out" --set TargetExistsOpt=11)
for round in $(seq 10); do
    timeout 120 "$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --json "${SET[@]}" "$T/in" > "$T/r$round-1.json" &
    p1=$!
    timeout 120 "$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --json --jobs 2 "${SET[@]}" "$T/in" > "$T/r$round-2.json" &
    p2=$!
    wait $p1; r1=$?; wait $p2; r2=$?
    [ $r1 -eq 0 ] && [ $r2 -eq 0 ] || { echo "FAIL round $round: exit $r1 $r2"; exit 1; }
done

python3 - "$T" <<"PY" || exit 1
import glob, json, os, struct, subprocess, sys, zlib
t = sys.argv[1]
reported = []
for f in sorted(glob.glob(t + "/r*.json")):
    for line in open(f):
        row = json.loads(line)
        assert row["ok"], row
        reported += [row["swf"], row["html"]]
assert len(reported) == 10 * 2 * 3 * 2, len(reported)
assert len(set(reported)) == len(reported), "two reports name one file"
on_disk = sorted(glob.glob(t + "/out/*"))
assert sorted(reported) == on_disk, (len(reported), len(on_disk))
for p in reported:
    if not p.endswith(".swf"):
        continue
    data = open(p, "rb").read()
    assert data[:3] in (b"FWS", b"CWS"), p
    assert struct.unpack("<I", data[4:8])[0] == (len(data) if data[:1] == b"F" else 8 + len(zlib.decompress(data[8:]))), p
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", p, "-f", "s16le", "-ac", "1", "-ar", "22050", "-"],
                         capture_output=True).stdout
    assert len(pcm) > 22050, (p, len(pcm))
print("ok   60 conversions by two copies: 60 distinct complete SWFs and pages")
PY
