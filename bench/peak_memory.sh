#!/usr/bin/env bash
# peak_memory.sh [BUILD_DIR] [SIZES...]: peak resident memory of tonvela-convert per format family,
# for zero-filled sparse files and for real files of each size (default 10M 300M 2G). Real files
# are one short sound repeated (MPEG audio, AC-3, ADTS AAC and Ogg streams may be joined end to
# end) or one long WAV. Each file is probed, then converted: in full when FULL=1, else its first
# ten minutes (decoding runs through a small buffer whatever the length; the rest is disk).
# Goal: under 80 MB for every input but module music, which is loaded whole (up to 128 MB).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"; shift || true
SIZES=("$@"); ((${#SIZES[@]})) || SIZES=(10M 300M 2G)
BIN="$BUILD/bin/tonvela-convert"
[ -x "$BIN" ] || { echo "build tonvela-convert first ($BIN)" >&2; exit 1; }
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
export TMPDIR="$TMP/tmp"; mkdir -p "$TMPDIR"
CONV=("$BIN" --data-dir "$BUILD/bin" --config-dir "$TMP/config" -q)
[ "${FULL:-0}" = 1 ] || CONV+=(--set TrimLastType=1 --set ConvertDuration=600000)

bytes() { numfmt --from=iec "$1"; }
peak() {  # peak RSS of one run (refused or not), in MB
  /usr/bin/time -f '%M' -o "$TMP/rss" "$@" >/dev/null 2>&1 || true
  echo "$(($(tail -1 "$TMP/rss") / 1024)) MB"
}
# One short sound per family, about 1 MB.
seed() {
  local ext=$1 out="$TMP/seed.$1"
  [ -e "$out" ] && { echo "$out"; return; }
  case $ext in
    mp3|mp2) sox -n -r 44100 -c 2 "$out" synth 60 pinknoise gain -6 ;;
    ac3|aac) ffmpeg -v error -f lavfi -i "anoisesrc=d=60:c=pink:a=0.3" -ac 2 -ar 44100 -b:a 128k "$out" ;;
    ogg) sox -n -r 44100 -c 2 "$out" synth 60 pinknoise gain -6 ;;
  esac
  echo "$out"
}
# A real file of the family of about $2 bytes.
real() {
  local ext=$1 size=$2 out="$TMP/real.$1"
  rm -f "$out"
  if [ "$ext" = wav ]; then
    sox -n -r 44100 -c 2 -b 16 "$out" synth "$((size / 176400))" pinknoise gain -6
  else
    local s; s=$(seed "$ext")
    while [ "$(stat -c %s "$out" 2>/dev/null || echo 0)" -lt "$size" ]; do cat "$s" >> "$out"; done
  fi
  echo "$out"
}

printf '%-6s %-6s %-12s %-12s %-12s %-12s\n' family size "zeros probe" "zeros conv" "real probe" "real conv"
for size in "${SIZES[@]}"; do
  n=$(bytes "$size")
  for ext in mp3 mp2 ac3 aac ogg wav flac m4a mod; do
    z="$TMP/zeros.$ext"; rm -f "$z"; truncate -s "$n" "$z"
    zp=$(peak "${CONV[@]}" --probe "$z"); zc=$(peak "${CONV[@]}" "$z")
    rm -f "$z" "$TMP"/zeros.swf "$TMP"/zeros.htm
    rp=-; rc=-
    case $ext in
      mp3|mp2|ac3|aac|ogg|wav)
        r=$(real "$ext" "$n")
        rp=$(peak "${CONV[@]}" --probe "$r"); rc=$(peak "${CONV[@]}" "$r")
        rm -f "$r" "$TMP"/real.swf "$TMP"/real.htm ;;
    esac
    printf '%-6s %-6s %-12s %-12s %-12s %-12s\n' "$ext" "$size" "$zp" "$zc" "$rp" "$rc"
  done
done
