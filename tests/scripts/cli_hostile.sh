#!/usr/bin/env bash
# tonvela-convert in hostile surroundings: names that are not UTF-8 or hold control characters,
# FIFOs and devices where files are expected, playlists and other hostile inputs, a settings
# store that is a link, a FIFO or unreadable, player pairs and pages
# that cannot be written, over-long paths, signals. Nothing may hang,
# be lost or be reported as a success. Parts that need root (devices, immutable files) are
# left out without it.
# Usage: cli_hostile.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$1"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
command -v sox >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"
# Immutable files cannot be removed: clear the flag on everything of ours first.
trap 'chattr -R -i "$T" 2>/dev/null; rm -rf "$T"' EXIT
export TMPDIR="$T/tmp" HOME="$T/home" XDG_CONFIG_HOME="$T/home/.config"
mkdir -p "$TMPDIR" "$HOME"
CONV=(timeout 60 "$BIN" --data-dir "$DATA" --config-dir "$T/config" -q)
ROOT=0; [ "$(id -u)" = 0 ] && ROOT=1
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
tone() { sox -n -r 22050 -c 1 "$1" synth "${2:-0.3}" sine 440; }
# Marks a file immutable when we can (root on a file system that has the flag).
immutable() { [ $ROOT = 1 ] && chattr +i "$1" 2>/dev/null; }

# --- Names that are not UTF-8: JSON carries them, and the exact bytes come back.
L1="$T/latin"; mkdir -p "$L1"
tone "$L1/caf$(printf '\351').wav"
"${CONV[@]}" --json "$L1" > "$T/l1.json"; rc=$?
"${CONV[@]}" --json --probe "$L1" > "$T/l1p.json"; rcp=$?
"${CONV[@]}" --json --set SWFOutputFolderOpt=399 --set "SWFSpecifiedFolder=$T/out$(printf '\377')" "$L1" > "$T/l1f.json"; rcf=$?
check "non-UTF-8 names in JSON (rc $rc $rcp $rcf)" '[ $rc -eq 0 ] && [ $rcp -eq 0 ] && [ $rcf -eq 0 ] && python3 - "$T" <<"PY"
import json, os, sys
t = sys.argv[1]
src = os.fsencode(t) + b"/latin/caf\xe9.wav"
for name, key, want in (("l1", "swf", os.fsencode(t) + b"/latin/caf\xe9.swf"), ("l1p", None, None),
                        ("l1f", "swf", os.fsencode(t) + b"/out\xff/caf\xe9.swf")):
    rows = [json.loads(l) for l in open(t + "/" + name + ".json", "rb")]
    assert len(rows) == 1 and rows[0]["ok"], rows
    assert os.fsencode(rows[0]["path"]) == src, rows
    if key:
        assert os.fsencode(rows[0][key]) == want and os.path.getsize(want) > 0, rows
PY'

# --- Control characters in names and settings values reach no terminal line raw: they are
# shown escaped (ESC as \x1B, a newline in a name as \x0A, CSI as \u009B).
E="$T/escape"; mkdir -p "$E"
tone "$E/a$(printf '\033[2J')b.wav"; printf 'junk' > "$E/$(printf 'c\033]0;x\007\nd\302\233m.mp3')"
{ "${CONV[@]}" "$E"/*; "${CONV[@]}" --probe "$E"/*; "${CONV[@]}" --set "JPEGFile=$(printf '\033[31m')" --list-settings; } > "$T/esc.txt" 2>&1
check "control characters in names and values are escaped on every line" '! grep -q "$(printf "[\001-\010\013-\037\177]")" "$T/esc.txt" && ! grep -q "$(printf "\302\233")" "$T/esc.txt" && [ "$(grep -c "a\\\\x1B\\[2Jb" "$T/esc.txt")" -ge 4 ] && grep -q "c\\\\x1B\\]0;x\\\\x07\\\\x0Ad\\\\u009Bm.mp3: damaged" "$T/esc.txt" && grep -q "^JPEGFile *\\\\x1B\\[31m " "$T/esc.txt"'

# --- FIFOs and devices where audio files are expected: refused at once, never opened.
F="$T/fifo"; mkdir -p "$F"
tone "$F/a.wav"; mkfifo "$F/x.wav"; ln -s /dev/zero "$F/z.mp3"
"${CONV[@]}" "$F" > /dev/null 2>&1; rc=$?
check "a FIFO and a link to a device in a searched folder are left out (rc $rc)" '[ $rc -eq 0 ] && [ -s "$F/a.swf" ] && [ ! -e "$F/x.swf" ] && [ ! -e "$F/z.swf" ]'
"${CONV[@]}" "$F/x.wav" "$F/z.mp3" > /dev/null 2> "$T/err.txt"; rc=$?
check "a FIFO and a device named on the command line fail to load (rc $rc)" '[ $rc -eq 1 ] && grep -q "^$F/x.wav: not a regular file" "$T/err.txt" && grep -q "^$F/z.mp3: not a regular file" "$T/err.txt"'

# --- Hostile inputs, one row each: a file and the reason the run must give for it. The playlists
# point at a private sound that must never be opened (strace watches every open when it is
# installed), and nothing in the folder may change.
X="$T/hostile"; mkdir -p "$X"
sox -n -r 22050 -c 1 "$X/private.mp3" synth 10 sine 440
for e in ogg mp3 m3u8 wav; do
    printf '#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nfile://%s/private.mp3\n#EXT-X-ENDLIST\n' "$X" > "$X/hls.$e"
done
printf 'ffconcat version 1.0\nfile private.mp3\nfile file://%s/private.mp3\n' "$X" > "$X/list.ffconcat"
cp "$X/list.ffconcat" "$X/concat.mp3"
printf '%s\n' '<?xml version="1.0"?>' \
    '<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" profiles="urn:mpeg:dash:profile:isoff-on-demand:2011"' \
    ' type="static" mediaPresentationDuration="PT10S" minBufferTime="PT1S"><Period><AdaptationSet>' \
    "<Representation id=\"a\" bandwidth=\"64000\"><BaseURL>file://$X/private.mp3</BaseURL>" \
    '</Representation></AdaptationSet></Period></MPD>' > "$X/manifest.mpd"
cp "$X/manifest.mpd" "$X/dash.m4a"
# A module header (ProTracker's "M.K." at 1080) on a sparse 200 MB file, and 300 MB of zeros.
python3 -c 'import sys; b = bytearray(2108); b[950] = 1; b[1080:1084] = b"M.K."; open(sys.argv[1], "wb").write(b)' "$X/big.mod"
truncate -s 200M "$X/big.mod"; truncate -s 300M "$X/zeros.mp3"
# A tracker project (.itp, version 1.02): one channel, one pattern playing instrument 1, whose
# file is the private sound, by its absolute path. The module decoder must not open it.
python3 - "$X/project.itp" "$X/private.mp3" <<"PY"
import struct, sys
u32 = lambda *v: struct.pack("<%dI" % len(v), *v)
path = sys.argv[2].encode() + b"\0"
b = b"pti." + u32(0x102, 4) + b"song" + u32(0, 0x20000, 128, 48, 6, 125)  # name, no comment, flags: project
b += u32(1, 20, 128, 0, 64) + bytes(20) + u32(0, 0)  # one channel; no plug-ins, no MIDI macros
b += u32(1, len(path)) + path + u32(1) + b"\0"       # one instrument (its file); order: pattern 0
b += u32(1, 0, 0, 6, 4) + bytes([61, 1, 0, 0, 0, 0]) + bytes(18) + u32(1, 0, 0)  # 4 rows; no samples
open(sys.argv[1], "wb").write(b)
PY
cp "$X/project.itp" "$X/project.it"
sox -n -c 65 -r 8000 -b 16 "$X/ch65.wav" synth 0.1 sine 440; sox -n -c 128 -r 8000 -b 16 "$X/ch128.aiff" synth 0.1 sine 440
PLAYLIST="a playlist, not a sound file"
HOSTILE=(
    "hls.ogg|$PLAYLIST" "hls.mp3|$PLAYLIST" "hls.m3u8|$PLAYLIST" "hls.wav|$PLAYLIST"
    "list.ffconcat|$PLAYLIST" "concat.mp3|$PLAYLIST" "manifest.mpd|$PLAYLIST" "dash.m4a|$PLAYLIST"
    "big.mod|module music of 200 MB, more than the 128 MB a module may have"
    "zeros.mp3|damaged, or not really a .mp3 file"
    "project.itp|a tracker project, not a sound file" "project.it|a tracker project, not a sound file"
    "ch65.wav|65 channels: sound of more than 64 channels cannot be converted" "ch128.aiff|128 channels: sound of more"
)
files=(); for row in "${HOSTILE[@]}"; do files+=("$X/${row%%|*}"); done
snapshot() { find "$X" -printf '%P %s %T@ %m\n' | sort; }
before="$(snapshot)"
TRACE=(); command -v strace >/dev/null && TRACE=(strace -f -qq -e trace=open,openat,openat2 -o "$T/opens.txt")
"${TRACE[@]}" "${CONV[@]}" "${files[@]}" > /dev/null 2> "$T/err.txt"; rc=$?
[ $rc -eq 1 ] || { echo "FAIL hostile inputs: exit status $rc"; fail=1; }
for row in "${HOSTILE[@]}"; do
    name="${row%%|*}"; reason="${row#*|}"
    check "hostile $name: \"$reason\"" 'grep -qF "$X/$name: $reason" "$T/err.txt"'
done
check "hostile inputs: nothing beside them changed" '[ "$(snapshot)" = "$before" ]'
if ((${#TRACE[@]})); then
    check "hostile inputs: the private sound was never opened" '! grep -q "private\.mp3" "$T/opens.txt" && grep -q "hls\.ogg" "$T/opens.txt"'
else
    echo "skip hostile inputs: opens (no strace)"
fi

# --- A settings store that is a FIFO or a link to one (or to a device) is never opened
# for reading nor replaced.
S="$T/store"; mkdir -p "$S"
mkfifo "$S/settings.conf"
timeout 20 "$BIN" --data-dir "$DATA" --config-dir "$S" -q "$F/a.wav" > /dev/null 2>&1; rc=$?
timeout 20 "$BIN" --data-dir "$DATA" --config-dir "$S" -q --set SWFFrameRate=24 --save "$F/a.wav" > /dev/null 2> "$T/err.txt"; rcs=$?
check "a FIFO store: start-up goes on, --save refuses (rc $rc $rcs)" '[ $rc -eq 0 ] && [ $rcs -eq 2 ] && [ -p "$S/settings.conf" ] && grep -q "not a regular file" "$T/err.txt"'
rm "$S/settings.conf"; mkfifo "$S/pipe"; ln -s pipe "$S/settings.conf"
timeout 20 "$BIN" --data-dir "$DATA" --config-dir "$S" -q --set SWFFrameRate=24 --save "$F/a.wav" > /dev/null 2>&1; rc=$?
check "a link to a FIFO: --save refuses (rc $rc)" '[ $rc -eq 2 ] && [ -p "$S/pipe" ] && [ -L "$S/settings.conf" ]'
if [ $ROOT = 1 ] && mknod "$S/null" c 1 3 2>/dev/null; then
    ln -sfn null "$S/settings.conf"
    timeout 20 "$BIN" --data-dir "$DATA" --config-dir "$S" -q --set SWFFrameRate=24 --save "$F/a.wav" > /dev/null 2>&1; rc=$?
    check "a link to a device: --save refuses, the device stays (rc $rc)" '[ $rc -eq 2 ] && [ -c "$S/null" ] && [ -L "$S/settings.conf" ]'
else
    echo "skip a link to a device (needs root)"
fi

# --- The settings store is never discarded. --set --save alone saves and says so; with
# --list-settings it saves, then lists; a store behind a link is written through the link; a
# store the user cannot read (as another user) is refused and left as it is.
N="$T/stores"; mkdir -p "$N/own" "$N/link" "$N/dot"
STORE=(timeout 60 "$BIN" --data-dir "$DATA" -q)
"${STORE[@]}" --config-dir "$N/own" --set SWFFrameRate=24 --save 2> "$T/err.txt"; rc=$?
check "--set --save alone saves and says so (rc $rc)" '[ $rc -eq 0 ] && grep -q "^SWFFrameRate=dword:00000018" "$N/own/settings.conf" && grep -qF "saved SWFFrameRate in $N/own/settings.conf" "$T/err.txt"'
"${STORE[@]}" --config-dir "$N/own" --set SWFFrameRate=30 --save --list-settings > "$T/list.txt" 2>&1; rc=$?
check "--save --list-settings saves, then lists (rc $rc)" '[ $rc -eq 0 ] && grep -q "^SWFFrameRate=dword:0000001e" "$N/own/settings.conf" && grep -q "^SWFFrameRate  *30 " "$T/list.txt"'
printf '[Software\\Tonvela\\Options]\nMP3BitRate=dword:00000040\n' > "$N/dot/real.conf"; ln -s ../dot/real.conf "$N/link/settings.conf"
inode=$(stat -c %i "$N/dot/real.conf")
"${STORE[@]}" --config-dir "$N/link" --set SWFFrameRate=24 --save 2> /dev/null; rc=$?
check "a linked store is written through the link (rc $rc)" '[ $rc -eq 0 ] && [ -L "$N/link/settings.conf" ] && [ "$(stat -c %i "$N/dot/real.conf")" = "$inode" ] && [ "$(ls "$N/dot")" = real.conf ] && grep -q "^MP3BitRate=dword:00000040" "$N/dot/real.conf" && grep -q "^SWFFrameRate=dword:00000018" "$N/dot/real.conf"'
# A picture template whose stored picture is gone makes no movie with the placeholder picture.
cp "$DATA/sample.jpg" "$N/pic.jpg"; tone "$N/j.wav"
"${STORE[@]}" --config-dir "$N/own" --set "JPEGFile=$N/pic.jpg" --set CreateCtrlSWF=1 --set ButtonSWFType=11 \
    --set "ControlSWF=$DATA/ControlSWF/use_a_jpeg_1.swf" --save 2> /dev/null
rm "$N/pic.jpg"
"${STORE[@]}" --config-dir "$N/own" "$N/j.wav" 2> "$T/err.txt"; rc=$?
check "a picture template without its picture is refused as the window does (rc $rc)" '[ $rc -ne 0 ] && grep -q "Please choose a JPEG file" "$T/err.txt" && [ ! -e "$N/j.swf" ]'
if [ $ROOT = 1 ] && command -v runuser >/dev/null && runuser -u nobody -- test -x "$BIN"; then
    chmod o+x "$T"; mkdir -p "$N/nobody"; cp "$N/own/settings.conf" "$N/nobody/settings.conf"
    chmod 000 "$N/nobody/settings.conf"; chown nobody "$N/nobody"
    store_state() { ls -A "$N/nobody" | grep -v "\.lock$"; stat -c "%i %a %s %Y" "$N/nobody/settings.conf"; cat "$N/nobody/settings.conf"; }
    before="$(store_state)"
    runuser -u nobody -- timeout 60 "$BIN" --data-dir "$DATA" --config-dir "$N/nobody" -q --set SWFFrameRate=12 --save 2> "$T/err.txt"; rc=$?
    check "a store another user cannot read is refused and left alone (rc $rc)" '[ $rc -eq 2 ] && grep -q "cannot be read (Permission denied); it was left as it is" "$T/err.txt" && [ "$(store_state)" = "$before" ]'
else
    echo "skip a store another user cannot read (needs root and runuser)"
fi

# --- What --save writes must be readable by the next run: a store past the size limit is
# refused and the old one stays. (\x01 takes 4 bytes in the store.)
big="$(head -c 120000 /dev/zero | tr '\0' '\001')"
"${CONV[@]}" --set SWFFrameRate=20 --save --probe "$F/a.wav" > /dev/null 2>&1
cp "$T/config/settings.conf" "$T/store-before"
"${CONV[@]}" --set "JPEGFile=$big" --set "SWFSpecifiedFolder=$big" --set "ShellPlayerSWF=$big" --save --probe "$F/a.wav" > /dev/null 2>&1; rc=$?
check "an oversized store is not saved (rc $rc)" '[ $rc -eq 2 ] && cmp -s "$T/store-before" "$T/config/settings.conf"'

# --- An out-of-range choice fails before any work.
"${CONV[@]}" --set ButtonSWFType=33 "$F/a.wav" > /dev/null 2>&1; rc=$?
check "ButtonSWFType 33 is a usage error (rc $rc)" '[ $rc -eq 2 ]'

# --- A shell-player pair that cannot be put in place leaves the old pair as it was.
P="$T/pair"; mkdir -p "$P"
tone "$P/x.wav"; echo "old sound" > "$P/x.swf"; mkdir "$P/x.player.swf"
OVER=(--set TargetExistsOpt=22 --set CreateCtrlSWF=1 --set ButtonSWFType=22 --set OutputFiles2MyDocuments=0)
"${CONV[@]}" "${OVER[@]}" "$P/x.wav" > /dev/null 2>&1; rc=$?
check "a folder in the player's place: the old SWF stays (rc $rc)" '[ $rc -eq 1 ] && [ "$(cat "$P/x.swf")" = "old sound" ]'
rmdir "$P/x.player.swf"; echo "old player" > "$P/x.player.swf"
if immutable "$P/x.player.swf"; then
    "${CONV[@]}" "${OVER[@]}" "$P/x.wav" > /dev/null 2>&1; rc=$?
    check "an immutable player: the old pair stays (rc $rc)" '[ $rc -eq 1 ] && [ "$(cat "$P/x.swf")" = "old sound" ] && [ "$(cat "$P/x.player.swf")" = "old player" ] && [ -z "$(ls -A "$P" | grep part)" ]'
    chattr -i "$P/x.player.swf"
else
    echo "skip an immutable player (needs root)"
fi

# --- A page that cannot be written fails the entry, in its status, on stderr and in the
# exit status; the SWF stays.
H="$T/html"; mkdir -p "$H"
tone "$H/h.wav"; echo "old page" > "$H/h.htm"
if immutable "$H/h.htm"; then
    "${CONV[@]}" --set TargetExistsOpt=22 --json "$H/h.wav" > "$T/h.json" 2> "$T/err.txt"; rc=$?
    check "a page that cannot be replaced is a failure (rc $rc)" '[ $rc -eq 1 ] && [ -s "$H/h.swf" ] && grep -q "\"ok\":false" "$T/h.json" && grep -qF "$H/h.htm" "$T/err.txt"'
    chattr -i "$H/h.htm"
else
    echo "skip a page that cannot be replaced (needs root)"
fi

# --- Links in the page are percent-encoded UTF-8, and a page with such text says so.
U="$T/utf"; mkdir -p "$U"
tone "$U/été.wav"; tone "$U/plain.wav"
"${CONV[@]}" "$U" > /dev/null 2>&1; rc=$?
check "non-ASCII page: encoded links and a charset (rc $rc)" '[ $rc -eq 0 ] && python3 - "$U" <<"PY"
import sys, urllib.parse
u = sys.argv[1]
page = open(u + "/été.htm", "rb").read()
assert ("\"" + urllib.parse.quote("été.swf") + "\"").encode() in page, page
assert page.count(b"charset=utf-8") == 1, page
assert b"charset" not in open(u + "/plain.htm", "rb").read()
PY'

# --- Subfolders past PATH_MAX are searched; what cannot be opened there is a failure.
D="$T/deep"; mkdir -p "$D"
tone "$D/top.wav"
seg="$(printf 'd%.0s' $(seq 200))"
( cd "$D" && for i in $(seq 22); do mkdir "$seg" && cd "$seg" || exit 1; done; tone bottom.wav )
"${CONV[@]}" "$D" > /dev/null 2> "$T/err.txt"; rc=$?
check "a file past PATH_MAX is reported, not skipped (rc $rc)" '[ $rc -eq 1 ] && [ -s "$D/top.swf" ] && grep -q "bottom.wav" "$T/err.txt"'

# --- An output folder that cannot be written: the documents folder, and stderr says so.
W="$T/ro"; mkdir -p "$W"; tone "$W/r.wav"
if [ $ROOT = 1 ]; then immutable "$W"; else chmod 555 "$W"; fi
if ! touch "$W/probe" 2>/dev/null; then
    "${CONV[@]}" --set OutputFiles2MyDocuments=1 "$W/r.wav" > /dev/null 2> "$T/err.txt"; rc=$?
    check "documents-folder fallback is announced (rc $rc)" '[ $rc -eq 0 ] && [ -s "$HOME/Documents/r.swf" ] && grep -q "documents folder" "$T/err.txt"'
else
    echo "skip documents-folder fallback (the folder stays writable)"
fi
chattr -i "$W" 2>/dev/null; chmod 755 "$W"

# --- SIGTERM during a long conversion ends the run within seconds, leaving nothing behind.
K="$T/kill"; mkdir -p "$K"
sox -n -r 44100 -c 2 "$K/long.wav" synth 600 sine 440
"$BIN" --data-dir "$DATA" --config-dir "$T/config" -q "$K/long.wav" > /dev/null 2>&1 &
pid=$!
# The run claims its output name before it decodes: signal it once it is at work, however fast
# the machine converts.
for _ in $(seq 1200); do [ -e "$K/long.swf" ] && break; sleep 0.05; done
kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then alive=1; kill -KILL $pid; else alive=0; fi
wait $pid 2>/dev/null
check "SIGTERM ends the run, nothing left (alive $alive)" '[ $alive -eq 0 ] && [ "$(ls -A "$K")" = "long.wav" ]'

# --- A source shorter than its header says converts to what is there: the entry's length is
# that and its status warns; ffmpeg finds that length in the SWF. An MP3 padded with zeros to
# 5 MB (its length estimated from the size when listed) reports the 3 s it holds; one with a
# long run of zeros inside it converts the sound on both sides.
C="$T/cut"; mkdir -p "$C"
for e in aiff wav; do
    sox -n -r 22050 -c 1 -b 16 "$C/$e.$e" synth 10 sine 440
    truncate -s $((3 * 22050 * 2 + 100)) "$C/$e.$e"
done
sox -n -r 44100 -c 2 "$C/padded.mp3" synth 3 sine 440
# 20 MB of zeros between two 3 s sounds: the second is found after them.
{ cat "$C/padded.mp3"; head -c 20000000 /dev/zero; cat "$C/padded.mp3"; } > "$C/gap.mp3"; truncate -s 5M "$C/padded.mp3"
"${CONV[@]}" --json "$C/aiff.aiff" "$C/wav.wav" "$C/padded.mp3" "$C/gap.mp3" > "$T/cut.json"; rc=$?
secs=""; for e in aiff wav; do secs="$secs $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$C/$e.swf" 2>/dev/null)"; done
check "cut sources: 3 s converted and reported, with a warning (rc $rc, SWF${secs:- none} s)" '[ $rc -eq 0 ] && python3 - "$T/cut.json" $secs <<"PY"
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1])]
assert len(rows) == 4 and all(r["ok"] and r["durationSeconds"] == 3 for r in rows[:3]), rows
assert all("warning" in r["status"] and "10 s" in r["status"] for r in rows[:2]), rows
assert "warning" not in rows[2]["status"] and rows[2]["length"] == "00:03", rows
assert rows[3]["ok"] and rows[3]["durationSeconds"] == 6, rows
assert all(2.9 < float(s) < 3.6 for s in sys.argv[2:]), sys.argv
PY'

# --- An input swapped for a FIFO while the run starts never hangs it: each input is opened
# once, without blocking, and every reader reads that very file. A swapper puts a copy and a
# FIFO in the input's place in turn (renames, so the name always exists) during each run.
R="$T/race"; mkdir -p "$R"; tone "$R/src.wav" 1
cat > "$T/swap.py" <<"PY"
import os, shutil, sys, time
d = sys.argv[1]
target, end = os.path.join(d, "a.wav"), time.time() + 30
while time.time() < end:
    shutil.copyfile(os.path.join(d, "src.wav"), target + ".r")
    os.rename(target + ".r", target)
    time.sleep(0.002)
    os.mkfifo(target + ".f")
    os.rename(target + ".f", target)
    time.sleep(0.002)
PY
hung=0; rounds=30; codes=""
for _ in $(seq $rounds); do
    rm -f "$R"/a.*
    python3 "$T/swap.py" "$R" & swapper=$!
    for _ in $(seq 1500); do [ -e "$R/a.wav" ] && break; sleep 0.02; done
    timeout 10 "$BIN" --data-dir "$DATA" --config-dir "$T/config" -q "$R/a.wav" > /dev/null 2>&1; rc=$?
    codes="$codes$rc "
    [ $rc -eq 124 ] && hung=$((hung + 1))
    kill $swapper; wait $swapper 2>/dev/null
done
rm -f "$R"/a.*
check "an input swapped for a FIFO never hangs the run ($hung of $rounds hung; exit codes $codes)" '[ $hung -eq 0 ]'

# --- One SIGTERM ends a run blocked on a FIFO (its list read from one nobody writes) soon after;
# the signal comes once the run waits in that read (or after 30 s where the kernel does not say).
mkfifo "$T/list.fifo"
exec 3<> "$T/list.fifo"  # a writer that never writes: the run's open does not wait, its read does
"$BIN" --data-dir "$DATA" --config-dir "$T/config" -q --files-from - < "$T/list.fifo" > /dev/null 2>&1 &
pid=$!
for _ in $(seq 600); do grep -Eqs 'pipe_read|pipe_wait' /proc/$pid/task/*/wchan && break; sleep 0.05; done
t0=$(date +%s%N); kill -TERM $pid
for _ in $(seq 120); do kill -0 $pid 2>/dev/null || break; sleep 0.025; done
ms=$(( ($(date +%s%N) - t0) / 1000000 ))
if kill -0 $pid 2>/dev/null; then kill -KILL $pid; fi
wait $pid; rc=$?
exec 3>&-
check "one SIGTERM ends a FIFO-blocked run (rc $rc after $ms ms)" '[ $rc -eq 143 ] && [ $ms -lt 3000 ]'

exit $fail
