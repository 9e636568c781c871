#!/usr/bin/env bash
# A whole archive through GNU parallel over SSH: 4 shards over 2 "hosts" (an sshd of the
# test's own on 127.0.0.1, and this machine), every good file converted exactly once, the
# merged report right; a second pass with --resume converts nothing again. Then a shard killed
# mid-run is run again by parallel --resume-failed, continuing its journal: nothing converted
# twice, the merge passes.
# Usage: archive_parallel_ssh.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$(cd "$1" && pwd)"; SRC="$(cd "$2" && pwd)"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
for t in parallel ssh ssh-keygen sox python3; do
  command -v "$t" >/dev/null || { echo "no $t (scripts/setup-deps.sh installs it)"; exit 77; }
done
[ -x /usr/sbin/sshd ] || { echo "no sshd (scripts/setup-deps.sh installs openssh-server)"; exit 77; }
. "$SRC/tests/scripts/lib/archive_tree.sh"

C="$(mktemp -d)"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
cleanup() {
  stop_pid "$(cat "$C/sshd.pid" 2>/dev/null)"
  rm -rf "$C"
}
trap cleanup EXIT

# An sshd of our own: own port, host key, authorised key; loopback only.
PORT=$(free_port)
ssh-keygen -q -t ed25519 -N '' -f "$C/host_key" && ssh-keygen -q -t ed25519 -N '' -f "$C/client_key" || exit 1
cp "$C/client_key.pub" "$C/authorized_keys"
echo "[127.0.0.1]:$PORT $(cut -d' ' -f1,2 "$C/host_key.pub")" > "$C/known_hosts"
cat > "$C/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $PORT
HostKey $C/host_key
PidFile $C/sshd.pid
AuthorizedKeysFile $C/authorized_keys
StrictModes no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
CONF
mkdir -p /run/sshd  # sshd's privilege-separation folder; it refuses to start without it
/usr/sbin/sshd -f "$C/sshd_config" -E "$C/sshd.log" || { echo "sshd failed"; cat "$C/sshd.log"; exit 1; }
SSH="ssh -F /dev/null -p $PORT -i $C/client_key -o BatchMode=yes -o UserKnownHostsFile=$C/known_hosts"
LOGIN="$(id -un)@127.0.0.1"
up=0
for ((i = 0; i < 100; i++)); do $SSH "$LOGIN" true 2>/dev/null && { up=1; break; }; sleep 0.1; done
check "own sshd answers on 127.0.0.1:$PORT" '[ $up -eq 1 ]'
[ $up -eq 1 ] || { cat "$C/sshd.log"; exit 1; }

export PARALLEL_HOME="$C/parallel"
mkdir -p "$PARALLEL_HOME" "$C/config"
make_archive_tree "$C/archive" 56 4 1 2 || { echo "sox failed"; exit 1; }

# run_shards REPORTS [--resume]: 4 shards over 2 "hosts" of 2 slots each, as the manual shows it.
run_shards() {
  local reports="$1"; shift
  (cd "$C" && parallel --sshlogin "2/$SSH $LOGIN,2/:" --workdir . --env PATH --joblog "$reports.log" \
    "$BIN" --data-dir "$DATA" --config-dir "$C/config" -q --shard {}/4 "$@" --json-out "$reports/{}.json" \
    "$C/archive" ::: 0 1 2 3 > /dev/null 2> "$reports.err")
}
run_shards "$C/reports1"; rc=$?
statuses=$(awk -F'\t' 'NR > 1 { print $7 }' "$C/reports1.log" | sort | uniq -c | tr -s ' ' | tr '\n' ';')
check "parallel: 4 shards ran, each with status 0 or 1 ($statuses)" \
  '[ "$(awk -F"\t" "NR > 1 && \$7 <= 1" "$C/reports1.log" | wc -l)" -eq 4 ] && [ $rc -ge 1 ]'
hosts=$(awk -F'\t' 'NR > 1 { print ($2 == ":" ? "local" : "ssh") }' "$C/reports1.log" | sort -u | tr '\n' ' ')
check "both hosts took shards ($hosts)" '[ "$hosts" = "local ssh " ]'
swfs=$(find "$C/archive" -name '*.swf' | wc -l)
check "one SWF per good file ($swfs of 56), no numbered names" \
  '[ "$swfs" -eq 56 ] && [ -z "$(find "$C/archive" -name "*_[0-9]*.swf")" ]'
"$BIN" --merge-reports "$C"/reports1/{0,1,2,3}.json > "$C/merge1.txt"; rc=$?
check "merged: 56 converted, the 4 broken files failed once each (rc $rc)" '[ $rc -eq 1 ] &&
  grep -qx "files converted: 56" "$C/merge1.txt" && grep -qx "files failed: 4" "$C/merge1.txt" &&
  [ "$(grep -c "^  .*/broken [0-9]*\.[a-z0-9]*: Failed to load$" "$C/merge1.txt")" -eq 4 ]'
"$BIN" --merge-reports "$C"/reports1/{0,1,3}.json > "$C/merge-missing.txt"; rc=$?
check "a missing shard report fails the merge (rc $rc)" \
  '[ $rc -eq 1 ] && grep -qx "missing report: shard 2/4" "$C/merge-missing.txt"'

before=$(find "$C/archive" -name '*.swf' -printf '%p %T@\n' | sort)
run_shards "$C/reports2" --resume
after=$(find "$C/archive" -name '*.swf' -printf '%p %T@\n' | sort)
check "--resume converts nothing again" '[ "$before" = "$after" ]'
"$BIN" --merge-reports "$C"/reports2/{0,1,2,3}.json > "$C/merge2.txt"
check "merged after --resume: 56 already done" 'grep -qx "files already done: 56" "$C/merge2.txt" &&
  grep -qx "files converted: 0" "$C/merge2.txt"'

# A shard killed mid-run (its process, found by its own command line), then parallel's
# --resume-failed runs only that job again with the same command: --resume continues its journal.
make_archive_tree "$C/archive3" 24 0 20 30 || { echo "sox failed"; exit 1; }
# The ssh command as a program of its own: --resume-failed reads the joblog back, and a host
# column with spaces in it does not read.
printf '#!/bin/sh\nexec %s "$@"\n' "$SSH" > "$C/ssh"; chmod +x "$C/ssh"
run_three() {  # run_three [--resume-failed]
  (cd "$C" && parallel "$@" --ssh "$C/ssh" --sshlogin "2/$LOGIN,2/:" --workdir . --env PATH --joblog "$C/reports3.log" \
    "$BIN" --data-dir "$DATA" --config-dir "$C/config" -q --shard {}/4 --resume --json-out "$C/reports3/{}.json" \
    "$C/archive3" ::: 0 1 2 3 > /dev/null 2> "$C/reports3.err")
}
run_three &
runner=$!
killed=""
for ((i = 0; i < 600; i++)); do
  if [ -f "$C/reports3/2.json" ] && [ "$(grep -c '"outcome":"converted"' "$C/reports3/2.json")" -ge 1 ]; then
    # The converter itself (not the ssh client whose arguments hold the same words).
    for p in $(pgrep -f -- "--shard 2/4 --resume --json-out $C/reports3/2.json"); do
      [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$BIN" ] && killed=$p && kill -KILL "$p"
    done
    break
  fi
  process_gone $runner && break
  sleep 0.1
done
wait $runner
check "shard 2 killed mid-run (pid $killed)" '[ -n "$killed" ] && ! tail -1 "$C/reports3/2.json" | grep -q tonvelaReportEnd'
lines_before=$(grep -c . "$C/reports3/2.json")
before=$(find "$C/archive3" -name '*.swf' -size +0 -printf '%p %T@\n' | sort)  # the claims left go
run_three --resume-failed; rc=$?
after=$(find "$C/archive3" -name '*.swf' -printf '%p %T@\n' | sort)
check "--resume-failed ran the killed shard again, and only it (rc $rc)" \
  '[ $rc = 0 ] && [ "$(awk -F"\t" "NR > 1 && \$7 == 0 && \$8 == 0" "$C/reports3.log" | wc -l)" -eq 4 ] &&
   [ "$(awk -F"\t" "NR > 1 && \$1 != 3" "$C/reports3.log" | wc -l)" -eq 3 ]'
check "every file converted, no numbered names ($(grep -c . <<<"$after") of 24)" \
  '[ "$(grep -c . <<<"$after")" -eq 24 ] && [ -z "$(find "$C/archive3" -name "*_[0-9]*.swf")" ]'
# A SWF published in the moment before the kill, whose entry line was not yet written, is
# rightly converted again; every other SWF that stood before the resume must be untouched.
comm -23 <(echo "$before") <(echo "$after") | sed 's/ [^ ]*$//' > "$C/changed.txt"
check "the killed shard's journal was continued, nothing it finished converted again" 'python3 - "$C/reports3/2.json" "$lines_before" "$C/changed.txt" <<"PY"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
first, second = lines[:int(sys.argv[2])], lines[int(sys.argv[2]):]
assert second[0]["tonvelaReport"] == 2 and second[-1]["tonvelaReportEnd"] and not second[-1]["interrupted"], second
before = {e["path"] for e in first if e.get("outcome") == "converted"}
again = [e for e in second if e.get("outcome") == "converted"]
assert before and not (before & {e["path"] for e in again}), (before, again)
redone = {o["path"] for e in again for o in e["outputs"]}
changed = {l.strip() for l in open(sys.argv[3]) if l.strip()}
assert changed <= redone, (changed, redone)
PY'
"$BIN" --merge-reports "$C"/reports3/{0,1,2,3}.json > "$C/merge3.txt"; rc=$?
check "merged after the resume: all 24 done, no problem (rc $rc)" '[ $rc -eq 0 ] && grep -qx "files failed: 0" "$C/merge3.txt"'

exit $fail
