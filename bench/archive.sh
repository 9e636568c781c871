#!/usr/bin/env bash
# archive.sh [BUILD_DIR]: a tree of FILES audio files (default 2000; 1 to 30 s, WAV/AIFF/FLAC)
# converted as one run with -j 2 against 4 shards run two at a time with -j 1 each, as a
# scheduler would run them on this machine. Prints files per second for each and the overhead
# of sharding (target: within 5 % of the single -j 2 run). RUNS: timed runs of each (default 1).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
BIN="$BUILD/bin/tonvela-convert"
DATA="${DATA_DIR:-$BUILD/bin}"
FILES="${FILES:-2000}"
RUNS="${RUNS:-1}"
[ -x "$BIN" ] || { echo "build tonvela-convert first ($BIN)" >&2; exit 1; }
. "$ROOT/tests/scripts/lib/archive_tree.sh"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

echo "== making $FILES files of 1 to 30 s" >&2
make_archive_tree "$TMP/archive" "$FILES" 0 1 30
CONV=("$BIN" -q --data-dir "$DATA" --config-dir "$TMP/config" --set SWFOutputFolderOpt=399 --set CreateDirs=1
      --set TargetExistsOpt=22 --set OutputFiles2MyDocuments=0)

now() { date +%s.%N; }
single() {  # single OUT
  "${CONV[@]}" --set SWFSpecifiedFolder="$1" -j 2 --json-out "$1.reports/0.json" "$TMP/archive" >/dev/null
}
sharded() {  # sharded OUT
  printf '%s\n' 0 1 2 3 | xargs -P 2 -I{} "${CONV[@]}" --set SWFSpecifiedFolder="$1" -j 1 --shard {}/4 \
    --json-out "$1.reports/{}.json" "$TMP/archive" >/dev/null
}

best_single=""; best_sharded=""
for ((r = 0; r < RUNS; r++)); do
  for kind in single sharded; do
    out="$TMP/out-$kind-$r"
    t0=$(now); "$kind" "$out"; t1=$(now)
    secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
    n=$("$BIN" --merge-reports "$out.reports"/*.json | awk -F': ' '/^files converted/ { print $2 }')
    [ "$n" -eq "$FILES" ] || { echo "$kind run converted $n of $FILES files" >&2; exit 1; }
    echo "$kind run $r: $secs s" >&2
    if [ "$kind" = single ]; then
      [ -z "$best_single" ] || awk -v a="$secs" -v b="$best_single" 'BEGIN { exit !(a < b) }' && best_single=$secs
    else
      [ -z "$best_sharded" ] || awk -v a="$secs" -v b="$best_sharded" 'BEGIN { exit !(a < b) }' && best_sharded=$secs
    fi
    rm -rf "$out" "$out.reports"
  done
done
awk -v n="$FILES" -v a="$best_single" -v b="$best_sharded" 'BEGIN {
  printf "1 shard, -j 2:                 %7.2f files/s (%.1f s)\n", n / a, a
  printf "4 shards, 2 at a time, -j 1:   %7.2f files/s (%.1f s)\n", n / b, b
  printf "overhead of sharding:          %+6.1f %% (target: within 5 %%)\n", (b / a - 1) * 100 }'
