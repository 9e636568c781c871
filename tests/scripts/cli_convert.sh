#!/usr/bin/env bash
# tonvela-convert end to end: the bundled sample, JSON output, bad inputs, folders, --set,
# --save, template errors, --jobs naming, exit statuses, and no temporary files left behind.
# Usage: cli_convert.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"; SRC="$2"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
[ -f "$DATA/ControlSWF/square_gradient_3.swf" ] && [ -f "$DATA/empty.swf" ] || { echo "no templates in $DATA"; exit 77; }
command -v sox >/dev/null && command -v ffmpeg >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
CONV=("$BIN" --data-dir "$DATA" --config-dir "$T/config" -q)
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

# Seconds of audio ffmpeg decodes from a file.
seconds() { ffmpeg -v error -i "$1" -f s16le -ac 1 -ar 44100 - 2>/dev/null | wc -c | awk '{printf "%.3f", $1 / 88200}'; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

# 1. The bundled sample with the default settings.
cp "$SRC/data/samples/sample.wav" "$T/sample.wav"
out="$("${CONV[@]}" "$T/sample.wav")"; rc=$?
check "sample converts (rc $rc)" '[ $rc -eq 0 ] && [ -s "$T/sample.swf" ] && [ -s "$T/sample.htm" ]'
check "prints where the SWF and page went" 'grep -q "SWF: *$T/sample.swf" <<<"$out" && grep -q "HTML: *$T/sample.htm" <<<"$out"'
check "sample SWF holds 3.5 s of sound" 'near "$(seconds "$T/sample.swf")" 3.5 0.1'

# 1b. Durability: every rename that puts an output in place comes after a sync of that very file
# (followed through the descriptors that opened or named it), so a crash cannot leave an empty
# or partial file under the output's name. The claims linked to the names first are placeholders.
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  mkdir -p "$T/synced"; cp "$T/sample.wav" "$T/synced/sample.wav"
  # The leak checker of a sanitizer build cannot run under a tracer.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -o "$T/strace.txt" -e trace=open,openat,fsync,fdatasync,rename,renameat,renameat2,link,linkat \
    "${CONV[@]}" "$T/synced/sample.wav" > /dev/null; rc=$?
  check "outputs are synced before they are renamed into place (rc $rc)" '[ $rc -eq 0 ] && python3 - "$T/strace.txt" "$T/synced" <<"PY"
import re, sys
lines, pending = [], {}
for line in open(sys.argv[1]):  # stitch calls that other threads interrupted
    pid, rest = re.fullmatch(r"(\[pid +\d+\] |\d+ +)?(.*)", line.rstrip("\n")).groups()  # the pid, padded
    if rest.endswith("<unfinished ...>"):
        pending[pid] = rest[: -len("<unfinished ...>")]
    elif rest.startswith("<... "):
        lines.append(pending.pop(pid, "") + rest.split("resumed>", 1)[1])
    else:
        lines.append(rest)
ident, synced, published, opened = {}, set(), [], 0
def file_of(path):  # /proc/self/fd/N is the file behind descriptor N
    m = re.fullmatch(r"/proc/self/fd/(\d+)", path)
    return ident.get(int(m.group(1))) if m else path
for l in lines:
    if m := re.match(r"open(?:at)?\((?:AT_FDCWD, )?\"([^\"]*)\", ([^,)]*).*\) = (\d+)$", l):
        path, flags, fd = m.groups()
        opened += 1
        ident[int(fd)] = ("unnamed", opened) if "O_TMPFILE" in flags else file_of(path)
    elif m := re.match(r"f(?:data)?sync\((\d+)\)\s+= 0", l):
        synced.add(ident.get(int(m.group(1))))
    elif m := re.match(r"link(?:at)?\((?:AT_FDCWD, )?\"([^\"]*)\", (?:AT_FDCWD, )?\"([^\"]*)\".*\) = 0", l):
        old, new = m.groups()
        if new.endswith(".part"):  # a temporary name, renamed over the output next
            assert file_of(old) in synced, "linked before any sync: " + l
        if file_of(old) in synced: synced.add(new)
    elif m := re.match(r"rename(?:at2?)?\((?:AT_FDCWD, )?\"([^\"]*)\", (?:AT_FDCWD, )?\"([^\"]*)\".*\) = 0", l):
        old, new = m.groups()
        assert old in synced, "renamed into place before a sync: " + l
        published.append(new)
d = sys.argv[2]
assert sorted(published) == [d + "/sample.htm", d + "/sample.swf"], published
PY'
else
  echo "skip durability check: strace is missing or cannot trace here"
fi

# 2. JSON, a bad input beside good ones, exit status 1.
sox -n -r 44100 -c 2 -b 16 "$T/good.wav" synth 1 sine 440
echo "not an mp3" > "$T/text.mp3"
: > "$T/empty.wav"
head -c 3000 /dev/urandom > "$T/random.ogg"
"${CONV[@]}" --json "$T/good.wav" "$T/text.mp3" "$T/empty.wav" "$T/random.ogg" > "$T/out.json" 2>"$T/err.txt"; rc=$?
check "some failed: exit 1" '[ $rc -eq 1 ]'
check "JSON per entry" 'python3 - "$T" <<"PY"
import json, sys
t = sys.argv[1]
rows = {json.loads(l)["path"]: json.loads(l) for l in open(t + "/out.json")}
assert len(rows) == 4, rows
g = rows[t + "/good.wav"]
assert g["ok"] and g["status"] == "good.swf" and g["swf"] == t + "/good.swf" and g["html"] == t + "/good.htm", g
assert g["sampleRate"] == 44100 and g["channels"] == 2, g
for name in ("text.mp3", "empty.wav", "random.ogg"):
    r = rows[t + "/" + name]
    assert not r["ok"], r
PY'
check "failure message names the bad inputs" 'grep -q "Failed to load the following files\." "$T/err.txt" && grep -qx "$T/text.mp3: damaged, or not really a .mp3 file: no decoder can read sound from it" "$T/err.txt"'
check "each failure has its reason" 'grep -qx "$T/empty.wav: the file is empty" "$T/err.txt" && grep -qx "$T/random.ogg: damaged, or not really a .ogg file: no decoder can read sound from it" "$T/err.txt"'
check "the manual page is a file:// address on a line of its own" 'grep -qx "file:///.*/help/formats\.html" "$T/err.txt" && [ -f "$(grep -x "file:///.*" "$T/err.txt" | head -1 | sed "s|^file://||")" ]'
check "JSON reasons" 'python3 - "$T" <<"PY"
import json, sys
t = sys.argv[1]
rows = {json.loads(l)["path"]: json.loads(l) for l in open(t + "/out.json")}
assert rows[t + "/good.wav"]["reason"] == "", rows
assert rows[t + "/empty.wav"]["reason"] == "the file is empty", rows
PY'
check "no output for the bad inputs" '[ ! -e "$T/text.swf" ] && [ ! -e "$T/empty.swf" ] && [ ! -e "$T/random.swf" ]'

# 3. Folders are searched recursively with the extension test.
mkdir -p "$T/tree/sub"
sox -n -r 22050 -c 1 "$T/tree/a.wav" synth 0.5 sine 300
sox -n -r 22050 -c 1 "$T/tree/sub/b.aiff" synth 0.5 sine 300
sox -n -r 22050 -c 1 -t wav "$T/tree/sub/c.txt" synth 0.5 sine 300
"${CONV[@]}" "$T/tree" > /dev/null; rc=$?
check "folder search (rc $rc)" '[ $rc -eq 0 ] && [ -f "$T/tree/a.swf" ] && [ -f "$T/tree/sub/b.swf" ] && [ ! -e "$T/tree/sub/c.swf" ]'

# 4. --probe prints the list's columns.
out="$("${CONV[@]}" --probe "$T/good.wav")"
check "probe columns" 'grep -q "^good.wav	00:01	1412 kbps	44100 Hz	Stereo$" <<<"$out"'

# 5. Usage and settings errors: exit 2.
"${CONV[@]}" --set NoSuchSetting=1 "$T/good.wav" >/dev/null 2>&1; rc1=$?
"${CONV[@]}" --set SWFFrameRate=twelve "$T/good.wav" >/dev/null 2>&1; rc2=$?
"${CONV[@]}" >/dev/null 2>&1; rc3=$?
check "usage errors exit 2 ($rc1 $rc2 $rc3)" '[ $rc1 -eq 2 ] && [ $rc2 -eq 2 ] && [ $rc3 -eq 2 ]'

# 6. A missing template: the message on stderr, exit 2, nothing converted.
err="$("${CONV[@]}" --set "ControlSWF=$T/none.swf" "$T/tree/a.wav" 2>&1 >/dev/null)"; rc=$?
check "missing template (rc $rc)" '[ $rc -eq 2 ] && grep -qF "Error: the template SWF file \"$T/none.swf\" is not available." <<<"$err"'
echo "FWS garbage" > "$T/bad.swf"
err="$("${CONV[@]}" --set "ControlSWF=$T/bad.swf" "$T/tree/a.wav" 2>&1 >/dev/null)"; rc=$?
check "invalid template (rc $rc)" '[ $rc -eq 2 ] && grep -qF "is not" <<<"$err"'

# 7. --set and --save.
"${CONV[@]}" --set SWFFrameRate=24 --set SWFBkgColor=0x336699 --save --probe "$T/good.wav" > /dev/null
check "--save stores the overrides" 'grep -q "SWFFrameRate=dword:00000018" "$T/config/settings.conf" && grep -qi "SWFBkgColor=dword:00336699" "$T/config/settings.conf"'

# 8. --jobs: entries with the same base never share a name.
mkdir -p "$T/jobs"
for ext in wav aiff au flac; do sox -n -r 22050 -c 1 "$T/jobs/x.$ext" synth 0.$((RANDOM % 9 + 1)) sine 500; done
"${CONV[@]}" --jobs 3 --json "$T/jobs/x.wav" "$T/jobs/x.aiff" "$T/jobs/x.au" "$T/jobs/x.flac" > "$T/jobs.json"; rc=$?
check "--jobs 3 (rc $rc)" '[ $rc -eq 0 ] && python3 - "$T" <<"PY"
import json, sys
t = sys.argv[1]
rows = [json.loads(l) for l in open(t + "/jobs.json")]
assert [r["status"] for r in rows] == ["x.swf", "x_1.swf", "x_2.swf", "x_3.swf"], rows
PY'

# 8b. On a terminal (script(1) gives it one), -j 3 draws the overall line and under it one line
# and bar per running file, redrawn in place.
for i in 1 2 3; do sox -n -r 44100 -c 2 "$T/jobs/long$i.wav" synth 20 sine 440; done
script -qec "stty cols 120; $(printf '%q ' "$BIN" --data-dir "$DATA" --config-dir "$T/config" -j 3 \
    "$T/jobs/long1.wav" "$T/jobs/long2.wav" "$T/jobs/long3.wav")" "$T/tty.txt" > /dev/null; rc=$?
check "terminal progress: a line per running file (rc $rc)" '[ $rc -eq 0 ] && python3 - "$T/tty.txt" <<"PY"
import sys
frames = open(sys.argv[1], "rb").read().decode("utf-8", "replace").split("\r\x1b[J")
three = 0
for f in frames:
    lines = f.split("\r\n")
    if "Converting 1, 2, 3 of 3 file(s) into SWF..." not in lines[0]:
        continue
    files = [l for l in lines[1:4] if l.startswith("  [")]
    assert [l.split("] ")[1].split("...")[0] for l in files] == ["Converting long%d.wav" % i for i in (1, 2, 3)], lines
    three += 1
assert three > 0, frames[:5]
PY'

# 9. An interrupt cancels: the entry in hand says "Cancelled", nothing is written, exit 130.
sox -n -r 44100 -c 1 -b 16 "$T/long.wav" synth 300 sine 440
"${CONV[@]}" "$T/long.wav" > "$T/int.txt" 2>/dev/null & pid=$!
# Interrupted once at work (its output name claimed), however fast the machine converts.
for _ in $(seq 1200); do [ -e "$T/long.swf" ] && break; sleep 0.05; done
kill -INT "$pid"; wait "$pid"; rc=$?
check "interrupt cancels (rc $rc)" '[ $rc -eq 130 ] && grep -q "long.wav: Cancelled" "$T/int.txt" && [ ! -e "$T/long.swf" ]'

check "no temporary files left" '[ -z "$(ls -A "$TMPDIR")" ] && [ -z "$(find "$T" -name ".*" -type f)" ]'
exit $fail
