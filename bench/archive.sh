#!/usr/bin/env bash
# archive.sh [BUILD_DIR]: two measurements of archive runs (PART=shards or PART=journal for one).
# shards: a tree of FILES audio files (default 2000; 1 to 30 s, WAV/AIFF/FLAC) converted as one
#   run with -j 2 against 4 shards run two at a time with -j 1 each, as a scheduler would run
#   them on this machine. Prints files per second for each and the overhead of sharding
#   (target: within 5 % of the single -j 2 run). RUNS: timed runs of each (default 1).
# journal: FILES short files (SHORT_S seconds, default 1) converted with the journal
#   (--json-out, a line flushed per file) against the same run writing its lines once at the
#   end (--json to a file: what the report was before it became a journal), alternately, RUNS
#   times each, the best of each compared (target: under 2 % per file); then a resumed run over the complete archive
#   (target: under 2 s, nothing decoded: no output touched, every file found done).
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

PART="${PART:-all}"
now() { date +%s.%N; }
CONV=("$BIN" -q --data-dir "$DATA" --config-dir "$TMP/config" --set SWFOutputFolderOpt=399 --set CreateDirs=1
      --set TargetExistsOpt=22 --set OutputFiles2MyDocuments=0)

journal_part() {
  local short="${SHORT_S:-1}" r t0 t1 out
  echo "== making $FILES files of $short s" >&2
  mkdir -p "$TMP/short"
  sox -n -r 22050 -c 1 -b 16 "$TMP/one.wav" synth "$short" sine 440 vol 0.5
  for ((i = 0; i < FILES; i++)); do cp "$TMP/one.wav" "$TMP/short/s$i.wav"; done
  local best_journal="" best_end=""
  for ((r = 0; r < RUNS; r++)); do
    # Alternating which goes first, so that neither always runs on a warmer machine.
    for kind in $( ((r % 2)) && echo journal end || echo end journal); do
      out="$TMP/jout-$kind"
      rm -rf "$out" "$out.json"
      t0=$(now)
      if [ $kind = journal ]; then
        "${CONV[@]}" --set SWFSpecifiedFolder="$out" --json-out "$out.json" "$TMP/short" > /dev/null
      else
        "${CONV[@]}" --set SWFSpecifiedFolder="$out" --json "$TMP/short" > "$out.json"
      fi
      t1=$(now)
      secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
      echo "$kind run $r: $secs s" >&2
      if [ $kind = end ]; then
        [ -z "$best_end" ] || awk -v a="$secs" -v b="$best_end" 'BEGIN { exit !(a < b) }' && best_end=$secs
      else
        [ -z "$best_journal" ] || awk -v a="$secs" -v b="$best_journal" 'BEGIN { exit !(a < b) }' && best_journal=$secs
      fi
    done
  done
  # The journal run's outputs are the complete archive that the resumed run looks at.
  out="$TMP/jout-journal"
  local before after
  before=$(find "$out" -type f -printf '%p %i %T@\n' | sort | md5sum)
  t0=$(now)
  "${CONV[@]}" --set SWFSpecifiedFolder="$out" --resume --json-out "$out.json" "$TMP/short" > /dev/null
  t1=$(now)
  after=$(find "$out" -type f -printf '%p %i %T@\n' | sort | md5sum)
  local resumed
  resumed=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  tail -1 "$out.json" | grep -q "\"converted\":0,\"alreadyDone\":$FILES," ||
    { echo "the resumed run did not find all $FILES files done: $(tail -1 "$out.json")" >&2; exit 1; }
  [ "$before" = "$after" ] || { echo "the resumed run wrote outputs" >&2; exit 1; }
  awk -v n="$FILES" -v a="$best_end" -v b="$best_journal" -v r="$resumed" 'BEGIN {
    printf "lines written at the end:      %7.2f files/s (%.2f s)\n", n / a, a
    printf "journal, a flushed line each:  %7.2f files/s (%.2f s)\n", n / b, b
    printf "cost of the journal:           %+6.2f %% per file (target: under 2 %%)\n", (b / a - 1) * 100
    printf "resumed run, all %d done:    %7.2f s, nothing written (target: under 2 s)\n", n, r }'
}

single() {  # single OUT
  "${CONV[@]}" --set SWFSpecifiedFolder="$1" -j 2 --json-out "$1.reports/0.json" "$TMP/archive" >/dev/null
}
sharded() {  # sharded OUT
  printf '%s\n' 0 1 2 3 | xargs -P 2 -I{} "${CONV[@]}" --set SWFSpecifiedFolder="$1" -j 1 --shard {}/4 \
    --json-out "$1.reports/{}.json" "$TMP/archive" >/dev/null
}

shards_part() {
echo "== making $FILES files of 1 to 30 s" >&2
make_archive_tree "$TMP/archive" "$FILES" 0 1 30
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
}

case $PART in
  shards) shards_part ;;
  journal) journal_part ;;
  *) journal_part; shards_part ;;
esac
