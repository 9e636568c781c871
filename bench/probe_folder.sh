#!/usr/bin/env bash
# probe_folder.sh [BUILD_DIR]: makes a folder of 500 short files of mixed formats and probes
# them all as adding the folder to the file list does; prints files per second.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="${BENCH_BIN:-$BUILD/bin/bench_probe_folder}"
[ -x "$BIN" ] || { echo "build bench_probe_folder first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$TMP/src" "$TMP/list"
enc() {  # enc NAME SECONDS CHANNELS ffmpeg-output-args...
  local name="$1" secs="$2" ch="$3"; shift 3
  local layout=stereo; [ "$ch" = 1 ] && layout=mono
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
    -i "sine=f=$((200 + secs * 50)):d=$secs:r=44100" -ac "$ch" "$@" "$TMP/src/$name"
}
for s in 1 2 3 4 5; do
  enc "cbr$s.mp3" $s 2 -c:a libmp3lame -b:a 128k
  enc "vbr$s.mp3" $s 2 -c:a libmp3lame -q:a 4 -id3v2_version 0
  enc "v$s.ogg" $s 2 -c:a libvorbis
  enc "o$s.opus" $s 2 -c:a libopus
  enc "f$s.flac" $s 2 -c:a flac
  enc "a$s.m4a" $s 2 -c:a aac
  enc "w$s.wma" $s 2 -c:a wmav2
  enc "p$s.wav" $s 2 -c:a pcm_s16le
  enc "s$s.au" $s 1 -c:a pcm_mulaw
  enc "t$s.wv" $s 2 -c:a wavpack
done
# A few files that are not audio at all, as real folders have.
head -c 4000 /dev/urandom > "$TMP/src/junk.mp3"
printf 'not audio\n' > "$TMP/src/readme.txt"
srcs=("$TMP"/src/*)
for i in $(seq 0 499); do
  f="${srcs[$((i % ${#srcs[@]}))]}"
  d="$TMP/list/d$((i / 100))"; mkdir -p "$d"
  cp "$f" "$d/$i-$(basename "$f")"
done
echo "$(find "$TMP/list" -type f | wc -l) files, $(du -sh "$TMP/list" | cut -f1)"
"$BIN" "$TMP/list" >/dev/null   # warm the page cache
for run in 1 2 3; do "$BIN" "$TMP/list" | head -1; done
/usr/bin/time -v "$BIN" "$TMP/list" 2>&1 >/dev/null | grep -E 'Maximum resident|Elapsed' || true
