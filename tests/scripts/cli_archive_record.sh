#!/usr/bin/env bash
# The record an archive run keeps (--json-out journal) and what reads it: resumed runs settle
# (a table of situations, each resumed three times: the files on disk after every run, the
# third run writes nothing), shards partition the files, a journal killed at random moments
# names every output on disk, the journal's targets, the merge of bad reports and
# --files-from from pipes.
# Usage: cli_archive_record.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
command -v sox >/dev/null && command -v python3 >/dev/null || exit 77

T="$(mktemp -d)"; trap 'rm -rf "$T"' EXIT
export TMPDIR="$T/tmp"; mkdir -p "$TMPDIR"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
RUN=("$BIN" --data-dir "$DATA" --config-dir "$T/config" -q)
tone() { sox -n -r 22050 -c 1 "$1" synth "${2:-0.3}" sine "${3:-440}"; }
# The outputs in a folder, as "name size" lines (the journal and sources left out).
outputs() { (cd "$1" && find . -type f \( -name '*.swf' -o -name '*.htm' \) -printf '%P %s\n' | sort); }
names() { (cd "$1" && find . -type f \( -name '*.swf' -o -name '*.htm' \) -printf '%P\n' | sort | tr '\n' ' '); }
# Every SWF in DIR that says it is one is whole: the length in its header is what is there.
whole_swfs() {
  python3 - "$1" <<"PY"
import os, struct, sys, zlib
for name in os.listdir(sys.argv[1]):
    if not name.endswith(".swf"):
        continue
    data = open(os.path.join(sys.argv[1], name), "rb").read()
    if data[:3] not in (b"FWS", b"CWS"):
        continue  # not ours
    declared = struct.unpack("<I", data[4:8])[0] if len(data) >= 8 else -1
    body = data[8:] if data[:3] == b"FWS" else zlib.decompressobj().decompress(data[8:])
    assert 8 + len(body) == declared, (name, declared, len(data))
PY
}
# Everything about the outputs that a write would change.
snapshot() { (cd "$1" && find . -type f \( -name '*.swf' -o -name '*.htm' \) -printf '%P %i %s %T@\n' | sort); }

# --- 1. Resume situations, each resumed three times ---------------------------------------
# setup_NAME DIR: makes the tree and what an earlier run left; EXPECT: the outputs after every
# resumed run; OPTS: settings of the resumed runs.
setup_stems() {  # x.wav converted alone earlier; x.flac shares its first-choice name
  tone "$1/x.wav"; tone "$1/x.flac" 0.3 300
  "${RUN[@]}" --json-out "$1/j.json" "$1/x.wav" > /dev/null
}
setup_stale() { tone "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null; tone "$1/a.wav" 0.4 500; }
setup_missing() { tone "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null; rm "$1/a.htm"; }
setup_empty() { tone "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null; : > "$1/a.swf"; }
setup_truncated() {
  tone "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null
  truncate -s $(($(stat -c %s "$1/a.swf") / 2)) "$1/a.swf"
}
setup_settings() { tone "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null; }
setup_future() { tone "$1/a.wav"; touch -d '+1 year' "$1/a.wav"; "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null; }
setup_killed() {  # a person's a.swf; a Rename run killed while converting writes a_1
  tone "$1/a.wav" 20; printf 'MINE' > "$1/a.swf"
  "${RUN[@]}" --json-out "$1/j.json" "$1" > /dev/null 2>&1 &
  local pid=$! i
  for ((i = 0; i < 300; i++)); do grep -q '"named":true' "$1/j.json" 2>/dev/null && break; sleep 0.05; done
  kill -KILL $pid; wait $pid 2>/dev/null
}
setup_nojournal() {  # no journal at all: today's rule, but a shared first-choice name is not done
  tone "$1/a.wav"; "${RUN[@]}" "$1" > /dev/null
}
setup_skip() { tone "$1/a.wav"; printf 'MINE' > "$1/a.swf"; }
SITUATIONS=(
  "stems||x.htm x.swf x_1.htm x_1.swf "
  "stale||a.htm a.swf "
  "missing||a.htm a.swf "
  "empty||a.htm a.swf "
  "truncated||a.htm a.swf "
  "settings|--set SWFFrameRate=30|a.htm a.swf "
  "future||a.htm a.swf "
  "killed||a.swf a_1.htm a_1.swf "
  "nojournal||a.htm a.swf "
  "skip|--set TargetExistsOpt=33|a.swf "
)
for row in "${SITUATIONS[@]}"; do
  IFS='|' read -r name opts expect <<< "$row"
  D="$T/resume-$name"; mkdir -p "$D"
  setup_$name "$D"
  mine=$([ -f "$D/a.swf" ] && md5sum < "$D/a.swf")
  ok=1; detail=""
  for run in 1 2 3; do
    before=$(snapshot "$D")
    # shellcheck disable=SC2086
    "${RUN[@]}" --resume --json-out "$D/j.json" $opts "$D" > "$D/out$run.txt" 2>&1
    got=$(names "$D")
    [ "$got" = "$expect" ] || { ok=0; detail+=" run $run: $got;"; }
    [ -z "$(find "$D" -name '*.swf' -size 0)" ] || { ok=0; detail+=" run $run: an empty SWF;"; }
    whole_swfs "$D" 2> /dev/null || { ok=0; detail+=" run $run: a SWF cut short;"; }
    [ $run -lt 3 ] || [ "$before" = "$(snapshot "$D")" ] || { ok=0; detail+=" run 3 wrote;"; }
  done
  case $name in killed | skip) [ "$(md5sum < "$D/a.swf")" = "$mine" ] || { ok=0; detail+=" the person's a.swf changed;"; } ;; esac
  check "resume $name: $expect after each of 3 runs, the third writes nothing$detail" '[ $ok = 1 ]'
done
# The journal's lines after the settled runs: the file converted once, found done since.
check "resume stale: the journal says converted, then nothing new" \
  '[ "$(grep -c "\"outcome\":\"converted\"" "$T/resume-stale/j.json")" = 2 ] &&
   [ "$(grep -c "\"outcome\":\"alreadyDone\"" "$T/resume-stale/j.json")" = 0 ]'
check "resume nojournal: the first resumed run found a.wav done by its first-choice outputs" \
  'grep -q "Already converted" "$T/resume-nojournal/out1.txt"'

# Two runs over one tree at once: the second leaves the file the first is converting to it.
D="$T/concurrent"; mkdir -p "$D"; tone "$D/a.wav" 20
"${RUN[@]}" --json-out "$D/ja.json" "$D" > /dev/null 2>&1 &
first=$!
# Up to a minute for the first run to name its outputs (a busy machine starts it slowly).
for ((i = 0; i < 6000; i++)); do grep -q '"named":true' "$D/ja.json" 2>/dev/null && break; sleep 0.01; done
kill -STOP $first  # held between choosing its names and finishing, however fast this machine is
"${RUN[@]}" --resume --json --json-out "$D/jb.json" "$D" > "$D/b.json" 2>&1; rc=$?
kill -CONT $first; wait $first; rc_first=$?
check "a second run leaves a file another run converts (rc $rc, first $rc_first), no copy" \
  '[ $rc = 1 ] && [ $rc_first = 0 ] && grep -q "\"reasonCode\":\"in-progress-elsewhere\"" "$D/b.json" &&
   [ "$(names "$D")" = "a.htm a.swf " ]'
"${RUN[@]}" --resume --json-out "$D/jb.json" "$D" > /dev/null; rc=$?
check "its next resumed run finds the file done (rc $rc)" '[ $rc = 0 ] && [ "$(names "$D")" = "a.htm a.swf " ]'

# --- 2. Shards partition the files --------------------------------------------------------
S="$T/shards"; mkdir -p "$S/tree/sub dir/deep" "$S/tree/-dash" "$S/other"
tone "$S/tree/a b.wav"; tone "$S/tree/sub dir/c.wav"; tone "$S/tree/sub dir/deep/d.flac"
tone "$S/tree/-dash/-e.wav"; tone "$S/tree/$(printf 'new\nline.wav')"; tone "$S/tree/$(printf 'bad\xff.wav')"
for i in 1 2 3 4 5 6; do tone "$S/tree/t$i.wav" 0.2 $((300 + i * 20)); ln "$S/tree/t$i.wav" "$S/tree/sub dir/hard$i.wav"; done
tone "$S/other/o.wav"; ln -s "$S/other/o.wav" "$S/tree/link.wav"; ln -s "$S/other" "$S/tree/linked dir"
roots=("$S/tree" "$S/tree/sub dir" "$S/other")
# The files a run takes, as device:inode lines (one line per file it lists).
listed() { "${RUN[@]}" --probe --json "$@" "${roots[@]}" | python3 -c '
import json, os, sys
for line in sys.stdin:
    st = os.stat(os.fsencode(json.loads(line)["path"]))
    print(f"{st.st_dev}:{st.st_ino}")'; }
plain=$(listed | sort)
bad=""
for n in $(seq 1 16); do
  all=$(for ((k = 0; k < n; k++)); do listed --shard "$k/$n"; done | sort)
  [ "$all" = "$plain" ] || bad+=" N=$n"
done
check "shards: for N = 1..16 every file of the plain run ($(grep -c . <<< "$plain")) in exactly one shard$bad" \
  '[ -z "$bad" ] && [ "$(grep -c . <<< "$plain")" = 13 ] && [ -z "$(uniq -d <<< "$plain")" ]'

# --- 3. A journal killed at random moments names every output on disk ----------------------
K="$T/killed"; mkdir -p "$K/in"
for i in $(seq 1 8); do tone "$K/in/k$i.wav" 2 $((200 + i * 30)); done
journal_matches_disk() {  # DIR JOURNAL: every output on disk is named by a line; finished lines' outputs are there
  python3 - "$1" "$2" <<"PY"
import json, os, sys
folder, journal = sys.argv[1], sys.argv[2]
named, finished = set(), []
for line in open(journal, "rb").read().split(b"\n"):
    if not line:
        continue
    try:
        j = json.loads(line)
    except ValueError:
        continue  # the line being written when the run was killed
    for o in j.get("outputs") or []:
        named.add(o["path"])
    if "outcome" in j and j["ok"]:
        finished.append(j)
# An empty file is a claim on a name, made a moment before the line that names it: not an output.
on_disk = {p for p in (os.path.join(folder, n) for n in os.listdir(folder) if n.endswith((".swf", ".htm")))
           if os.path.getsize(p) > 0}
missing = on_disk - named
assert not missing, ("outputs the journal does not name", missing)
for j in finished:
    for o in j["outputs"]:
        assert os.path.getsize(o["path"]) == o["size"], o
PY
}
kills_ok=1
for round in 1 2 3; do
  rm -f "$K/in/"*.swf "$K/in/"*.htm "$K/j$round.json"
  want=$((2 + RANDOM % 12))  # lines of the journal before the kill
  "${RUN[@]}" --json-out "$K/j$round.json" "$K/in" > /dev/null 2>&1 &
  pid=$!
  for ((i = 0; i < 600; i++)); do
    [ -f "$K/j$round.json" ] && [ "$(wc -l < "$K/j$round.json")" -ge $want ] && break
    process_gone=$(kill -0 $pid 2>/dev/null || echo gone); [ -n "$process_gone" ] && break
    sleep 0.02
  done
  kill -KILL $pid 2>/dev/null; wait $pid 2>/dev/null
  journal_matches_disk "$K/in" "$K/j$round.json" || kills_ok=0
  "${RUN[@]}" --resume --json-out "$K/j$round.json" "$K/in" > /dev/null || kills_ok=0
  journal_matches_disk "$K/in" "$K/j$round.json" || kills_ok=0
  [ "$(names "$K/in" | wc -w)" = 16 ] || kills_ok=0
done
check "killed at random moments: the journal names every output, the resumed run ends with 8 pairs" '[ $kills_ok = 1 ]'
"$BIN" --merge-reports "$K/j3.json" > "$K/merge.txt"; rc=$?
check "the merge of a killed and resumed journal passes (rc $rc)" '[ $rc = 0 ] && grep -qx "files failed: 0" "$K/merge.txt"'

# --- 4. Where the journal may go ------------------------------------------------------------
J="$T/targets"; mkdir -p "$J/in" "$J/folder"; tone "$J/in/a.wav"; tone "$J/in/b.wav"
"${RUN[@]}" "$J/in/a.wav" > /dev/null  # a.swf: an output of the runs below
printf 'in/b.wav\n' > "$J/list.txt"
printf 'OLD LINE\n' > "$J/old.json"; printf 'KEEP\n' > "$J/real.json"; ln -s real.json "$J/link.json"
ln -s nowhere.json "$J/dangling.json"; ln -s /dev/null "$J/device.json"; ln -s in/b.wav "$J/to-input.json"
mkfifo "$J/fifo"
mkdir "$J/outreal"; ln -s outreal "$J/outlink"; ln -s in "$J/inlink"  # one folder, two spellings
INTO() { echo "--set SWFOutputFolderOpt=399 --set SWFSpecifiedFolder=$J/$1"; }  # outputs into that folder
sum_in=$(md5sum "$J/in/a.wav" "$J/in/b.wav" "$J/in/a.swf")
# target|rc|check after the run (run in $J), or target|rc|OPTS options of the run|check
TARGETS=(
  "new/sub/j.json|0|head -1 new/sub/j.json | grep -q tonvelaReport && tail -1 new/sub/j.json | grep -q tonvelaReportEnd"
  "old.json|0|! grep -q 'OLD LINE' old.json && grep -q tonvelaReportEnd old.json"
  "link.json|0|[ -L link.json ] && grep -q tonvelaReportEnd real.json && ! grep -q KEEP real.json"
  "dangling.json|0|[ -L dangling.json ] && grep -q tonvelaReportEnd nowhere.json"
  "fifo|0|grep -q tonvelaReportEnd fifo.out && [ -p fifo ]"
  "PIPE|0|grep -q tonvelaReportEnd pipe.out"
  "device.json|2|[ -L device.json ]"
  "folder|2|[ -d folder ] && [ -z \"\$(ls folder)\" ]"
  "in/a.wav|2|true"
  "in/a.swf|2|true"
  "in/b.swf|2|[ ! -e in/b.swf ]"
  "to-input.json|2|true"
  "list.txt|2|grep -qx in/b.wav list.txt"
  "inlink/b.wav|2|true"
  "outreal/b.swf|2|OPTS $(INTO outlink)|[ ! -e outreal/b.swf ]"
  "outlink/b.htm|2|OPTS $(INTO outreal)|[ ! -e outreal/b.htm ]"
  "outlink/j.json|0|OPTS $(INTO outreal)|grep -q tonvelaReportEnd outreal/j.json && [ -s outreal/b.swf ]"
  "|2|true"
)
for row in "${TARGETS[@]}"; do
  IFS='|' read -r target want after <<< "$row"
  extra=()
  if [[ $after == OPTS* ]]; then read -r -a extra <<< "${after%%|*}"; extra=("${extra[@]:1}"); after="${after#*|}"; fi
  before=$(snapshot "$J/in")
  case $target in
    fifo) (cd "$J" && timeout 60 cat fifo > fifo.out) & reader=$!  # bounded: a run that never opens it
          (cd "$J" && "${RUN[@]}" --json-out fifo --files-from list.txt in/a.wav > /dev/null 2> err.txt); rc=$?
          wait $reader ;;
    PIPE) (cd "$J" && "${RUN[@]}" --json-out >(cat > "$J/pipe.out") --files-from list.txt in/a.wav > /dev/null 2> err.txt)
          rc=$?; for ((i = 0; i < 200; i++)); do grep -q tonvelaReportEnd "$J/pipe.out" 2>/dev/null && break; sleep 0.05; done ;;
    *) (cd "$J" && "${RUN[@]}" "${extra[@]}" --json-out "$target" --files-from list.txt in/a.wav > /dev/null 2> err.txt); rc=$? ;;
  esac
  after_ok=$(cd "$J" && eval "$after" && echo yes)
  untouched=yes
  if [ "$want" = 2 ]; then
    [ "$before" = "$(snapshot "$J/in")" ] || untouched=no  # refused before any work
    grep -q "^tonvela-convert: --json-out" "$J/err.txt" || untouched=no
  fi
  check "--json-out '$target': exit $want ($rc), nothing else touched" \
    '[ "$rc" = "$want" ] && [ "$after_ok" = yes ] && [ "$untouched" = yes ]'
  rm -f "$J/in/b.swf" "$J/in/b.htm" "$J/in/a_"* "$J/outreal/"*
done
check "the inputs and the output refused as journals are unchanged" \
  '[ "$(md5sum "$J/in/a.wav" "$J/in/b.wav" "$J/in/a.swf")" = "$sum_in" ]'
"${RUN[@]}" --shard '' "$J/in" > /dev/null 2>&1; rc=$?
check "--shard '' is a usage error (rc $rc)" '[ $rc = 2 ]'
(cd "$J" && "${RUN[@]}" --json-out old.json in > /dev/null && printf '{"path":' >> old.json &&
  "${RUN[@]}" --resume --json-out old.json in > /dev/null); rc=$?
check "a journal whose last line was cut is continued without it (rc $rc)" \
  '[ $rc = 0 ] && "$BIN" --merge-reports "$J/old.json" > /dev/null'

(cd "$J" && "${RUN[@]}" --resume --shard 0/2 --json-out old.json in > /dev/null 2> err.txt); rc=$?
check "another shard's journal is not continued (rc $rc)" \
  '[ $rc = 2 ] && grep -q "the journal of shard 0/1, not of this run.s 0/2" "$J/err.txt" && tail -1 "$J/old.json" | grep -q tonvelaReportEnd'

# --- 5. The merge of bad reports: a message and exit 1, never an abort ----------------------
M="$T/merge"; mkdir -p "$M"
printf '{"tonvelaReport":1,"shard":"0/1"}\n{"path":"/a.wav","ok":"yes"}\n' > "$M/wrong-type.json"
printf '{"tonvelaReport":9,"shard":"0/1"}\n' > "$M/version.json"
head -c 300 "$K/j1.json" > "$M/cut.json"
for r in wrong-type version cut; do
  "$BIN" --merge-reports "$M/$r.json" > "$M/$r.txt" 2>&1; rc=$?
  check "merge of the $r report: exit 1 with the report named (rc $rc)" '[ $rc = 1 ] && grep -q "report $M/$r.json: " "$M/$r.txt"'
done

# --- 6. --files-from: FIFOs, pipes, standard input, CRLF lists -------------------------------
F="$T/files"; mkdir -p "$F/list" "$F/cwd"; tone "$F/cwd/p.wav"; tone "$F/list/q.wav"
ff() { (cd "$F/cwd" && "${RUN[@]}" --probe "$@" 2> "$F/err.txt" | tail -n +2 | cut -f1 | tr '\n' ' '); }
mkfifo "$F/list/fifo"
timeout 60 bash -c 'printf "q.wav\n" > "$1"' _ "$F/list/fifo" &
got=$(ff --files-from "$F/list/fifo"); wait
check "--files-from a FIFO: relative to its folder ($got)" '[ "$got" = "q.wav " ]'
got=$(printf 'p.wav\n' | ff --files-from -)
check "--files-from - : relative to the current folder ($got)" '[ "$got" = "p.wav " ]'
got=$(printf 'p.wav\n' | ff --files-from /dev/stdin)
check "--files-from /dev/stdin: relative to the current folder ($got)" '[ "$got" = "p.wav " ]'
got=$(ff --files-from <(printf 'p.wav\n'))
check "--files-from <(...): relative to the current folder ($got)" '[ "$got" = "p.wav " ]'
printf '\xef\xbb\xbfq.wav\r\nmissing\t.wav\r\n' > "$F/list/crlf.txt"
got=$(ff --files-from "$F/list/crlf.txt")
check "a CRLF list with a byte-order mark; a missing line named with its number and bytes ($got)" \
  '[ "$got" = "q.wav " ] && grep -qF -- "--files-from: line 2: \"$F/list/missing\\x09.wav\": no such file" "$F/err.txt"'

exit $fail
