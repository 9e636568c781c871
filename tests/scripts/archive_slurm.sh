#!/usr/bin/env bash
# A whole archive through a real single-node Slurm of the test's own: a job array of 4 shards
# converts every good file exactly once and the merged report names every broken one; then a
# task of a second array is cancelled mid-run and resubmitted with --resume, which continues its
# journal and finishes the share without converting anything twice. Every daemon is stopped by its PID at the end.
# Usage: archive_slurm.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD="$(cd "$1" && pwd)"; SRC="$(cd "$2" && pwd)"
BIN="$BUILD/bin/tonvela-convert"
DATA="$BUILD/bin"
[ -x "$BIN" ] || { echo "no tonvela-convert"; exit 77; }
for t in slurmctld slurmd munged mungekey sbatch squeue scancel sox python3; do
  command -v "$t" >/dev/null || [ -x "/usr/sbin/$t" ] || { echo "no $t (scripts/setup-deps.sh installs it)"; exit 77; }
done
export PATH="$PATH:/usr/sbin"
. "$SRC/tests/scripts/lib/archive_tree.sh"

C="$(mktemp -d)"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
export SLURM_CONF="$C/etc/slurm.conf"
export TMPDIR="$C/tmp"

cleanup() {
  if [ -f "$C/run/slurmctld.pid" ]; then
    scancel --quiet --user "$(id -un)" 2>/dev/null
    for ((i = 0; i < 50; i++)); do [ -z "$(squeue -h 2>/dev/null)" ] && break; sleep 0.2; done
  fi
  for d in slurmd slurmctld munged; do stop_pid "$(cat "$C/run/$d.pid" 2>/dev/null)"; done
  # Job steps outlive a slurmd that died: find ours by their SLURM_CONF.
  for p in $(pgrep -x slurmstepd); do
    if tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -qx "SLURM_CONF=$SLURM_CONF"; then
      pkill -KILL -P "$p" 2>/dev/null; kill -KILL "$p" 2>/dev/null
    fi
  done
  rm -rf "$C"
}
trap cleanup EXIT

chmod 0755 "$C"  # munged wants its socket reachable by everyone
mkdir -p "$C"/{etc,run,log,state,spool,tmp,config,reports,logs}
install -d -m 0700 "$C/key"
chmod 0755 "$C/run"
P1=$(free_port); P2=$(free_port)
while [ "$P2" = "$P1" ]; do P2=$(free_port); done
cat > "$SLURM_CONF" <<CONF
ClusterName=tonvelatest
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$P1
SlurmdPort=$P2
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$C/run/munge.socket
StateSaveLocation=$C/state
SlurmdSpoolDir=$C/spool
SlurmctldPidFile=$C/run/slurmctld.pid
SlurmdPidFile=$C/run/slurmd.pid
SlurmctldLogFile=$C/log/slurmctld.log
SlurmdLogFile=$C/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
KillWait=30
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$(nproc)
PartitionName=debug Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF

mungekey -c -k "$C/key/munge.key" >/dev/null 2>&1 || { echo "mungekey failed"; exit 1; }
munged --socket="$C/run/munge.socket" --key-file="$C/key/munge.key" --seed-file="$C/run/munge.seed" \
  --pid-file="$C/run/munged.pid" --log-file="$C/log/munged.log" || { echo "munged failed"; exit 1; }
slurmctld -f "$SLURM_CONF" || { echo "slurmctld failed"; cat "$C/log/slurmctld.log"; exit 1; }
slurmd -f "$SLURM_CONF" -N localhost || { echo "slurmd failed"; cat "$C/log/slurmd.log"; exit 1; }
state=""
for ((i = 0; i < 300; i++)); do
  state=$(sinfo -h -n localhost -o %T 2>/dev/null)
  [ "$state" = idle ] && break
  sleep 0.1
done
check "single-node Slurm is up" '[ "$state" = idle ]'
[ "$state" = idle ] || { tail -20 "$C/log/slurmctld.log" "$C/log/slurmd.log"; exit 1; }

# wait_job ID: until no task of the job is queued or running (at most 150 s).
wait_job() {
  local i
  for ((i = 0; i < 750; i++)); do
    [ -z "$(squeue -h -j "$1" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  echo "job $1 still queued: $(squeue -h -j "$1")"; return 1
}

# The job: one shard per array task, as the manual shows it.
job_script() {  # job_script FILE ARCHIVE REPORTS
  cat > "$1" <<JOB
#!/bin/bash
#SBATCH --output=$C/logs/%A_%a.out
#SBATCH --cpus-per-task=1
exec "$BIN" --data-dir "$DATA" --config-dir "$C/config" -q --shard \$SLURM_ARRAY_TASK_ID/4 --resume \\
  --json-out "$3/\$SLURM_ARRAY_TASK_ID.json" "$2"
JOB
}

# 1. A job array of 4 over a 60-file tree with 4 broken files.
make_archive_tree "$C/archive" 56 4 1 2 || { echo "sox failed"; exit 1; }
job_script "$C/job1.sh" "$C/archive" "$C/reports/one"
job=$(sbatch --parsable --array=0-3 "$C/job1.sh"); rc=$?
check "array submitted (rc $rc)" '[ $rc -eq 0 ] && [ -n "$job" ]'
wait_job "$job"
swfs=$(find "$C/archive" -name '*.swf' | wc -l)
check "one SWF per good file ($swfs of 56)" '[ "$swfs" -eq 56 ]'
check "no numbered names" '[ -z "$(find "$C/archive" -name "*_[0-9]*.swf")" ]'
missing=0
while IFS= read -r -d '' f; do [ -s "${f%.*}.swf" ] && [ -s "${f%.*}.htm" ] || missing=$((missing + 1)); done \
  < <(find "$C/archive" -name 'track *' -print0)
check "every good file has its SWF and page ($missing missing)" '[ $missing -eq 0 ]'
check "no output for broken files" '[ -z "$(find "$C/archive" -name "broken*.swf" -o -name "broken*.htm")" ]'
"$BIN" --merge-reports "$C"/reports/one/{0,1,2,3}.json > "$C/merge1.txt"; rc=$?
check "merge exits 1 for the broken files (rc $rc)" '[ $rc -eq 1 ]'
check "merged report: 56 converted, 4 failed, nothing missing" 'python3 - "$C" <<"PY"
import json, sys, glob, collections
c = sys.argv[1]
text = open(c + "/merge1.txt").read()
assert "files converted: 56\n" in text and "files failed: 4\n" in text and "missing" not in text, text
seen = collections.Counter()
shards = set()
for name in glob.glob(c + "/reports/one/*.json"):
    lines = [json.loads(l) for l in open(name)]
    assert lines[0]["tonvelaReport"] == 2 and "SWFFrameRate" in lines[0]["settings"], lines[0]
    assert lines[-1]["tonvelaReportEnd"] and not lines[-1]["interrupted"], lines[-1]
    shards.add(lines[0]["shard"])
    for e in lines[1:-1]:
        if "outcome" in e:
            seen[e["path"]] += 1
assert shards == {"0/4", "1/4", "2/4", "3/4"}, shards
assert len(seen) == 60 and max(seen.values()) == 1, seen
broken = [p for p in seen if "/broken " in p]
assert len(broken) == 4 and all(text.count(p + ":") == 1 for p in broken), (broken, text)
PY'

# 2. A second array: task 2 is cancelled mid-run, then resubmitted alone with --resume.
make_archive_tree "$C/archive2" 32 0 8 12 || { echo "sox failed"; exit 1; }
"$BIN" --data-dir "$DATA" --config-dir "$C/config" --probe --json --shard 2/4 "$C/archive2" > "$C/shard2.json"
mapfile -t mine < <(python3 -c 'import json, sys; [print(json.loads(l)["path"]) for l in open(sys.argv[1])]' "$C/shard2.json")
check "--probe --shard lists a share (${#mine[@]} files)" '[ ${#mine[@]} -ge 4 ]'
job_script "$C/job2.sh" "$C/archive2" "$C/reports/two"
job=$(sbatch --parsable --array=0-3 "$C/job2.sh")
# Cancel task 2 once it has written its first SWF but not its last. Slurm's scancel lands
# whenever its daemons get to it, by which time a busy task may have finished: so the task is
# first stopped where it stands, cancelled, and let go once Slurm's SIGTERM waits for it (or
# Slurm has let it go itself).
cancelled=0
done_count() { n=0; for f in "${mine[@]}"; do [ -s "${f%.*}.swf" ] && n=$((n + 1)); done; }
for ((i = 0; i < 600 && !cancelled; i++)); do
  done_count
  if [ $n -ge 1 ]; then
    pid=$(pgrep -f -- "--json-out $C/reports/two/2.json" | head -1)
    [ -n "$pid" ] && kill -STOP "$pid" 2>/dev/null && done_count
    if [ -n "$pid" ] && [ $n -lt ${#mine[@]} ]; then
      scancel "${job}_2"; cancelled=1
      for ((w = 0; w < 300; w++)); do
        st=$(grep -E '^(State|ShdPnd):' "/proc/$pid/status" 2>/dev/null | tr '\n' ' ') || break
        [ -z "$st" ] && break
        # SIGTERM is signal 15: bit 14 of the pending mask.
        (( 0x$(sed -n 's/.*ShdPnd:[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$st") & 0x4000 )) && break
        [[ "$st" == *"State:"*"T (stopped)"* ]] || break
        sleep 0.1
      done
      kill -CONT "$pid" 2>/dev/null
    else
      [ -n "$pid" ] && kill -CONT "$pid" 2>/dev/null
    fi
    break
  fi
  sleep 0.1
done
check "task 2 cancelled mid-run ($n of ${#mine[@]} done)" '[ $cancelled -eq 1 ]'
wait_job "$job"
"$BIN" --merge-reports "$C"/reports/two/{0,1,2,3}.json > "$C/merge2.txt"; rc=$?
check "merge of the cancelled run fails (rc $rc)" '[ $rc -eq 1 ]'
check "no claim or temporary file left by the cancelled task" \
  '[ -z "$(find "$C/archive2" "$C/tmp" -type f -empty)" ] && [ -z "$(find "$C/tmp" -type f)" ]'
# The cancelled task's journal: the files it finished, each with outputs of the sizes on disk,
# and no closing line that says it ended well.
check "the cancelled task's journal records what it finished, as it is on disk" 'python3 - "$C/reports/two/2.json" <<"PY"
import json, os, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
done = [e for e in lines if e.get("outcome") == "converted"]
assert done, lines
for e in done:
    for o in e["outputs"]:
        assert os.path.getsize(o["path"]) == o["size"], o
assert not (lines[-1].get("tonvelaReportEnd") and not lines[-1]["interrupted"]), lines[-1]
PY'
journal_before=$(grep -c . "$C/reports/two/2.json")
before=$(find "$C/archive2" -name '*.swf' -printf '%p %T@\n' | sort)
done_before=$(grep -c . <<<"$before")
job=$(sbatch --parsable --array=2 "$C/job2.sh")
wait_job "$job"
after=$(find "$C/archive2" -name '*.swf' -printf '%p %T@\n' | sort)
check "every file converted after the resume ($(grep -c . <<<"$after") of 32)" '[ "$(grep -c . <<<"$after")" -eq 32 ]'
check "nothing converted twice (the $done_before earlier SWFs keep their times)" \
  '[ -z "$(comm -23 <(echo "$before") <(echo "$after"))" ]'
check "no numbered names after the resume" '[ -z "$(find "$C/archive2" -name "*_[0-9]*.swf")" ]'
check "the resumed task continued its journal and converted only the rest" 'python3 - "$C/reports/two/2.json" "$journal_before" <<"PY"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
first, second = lines[:int(sys.argv[2])], lines[int(sys.argv[2]):]
assert second[0]["tonvelaReport"] == 2 and second[-1]["tonvelaReportEnd"] and not second[-1]["interrupted"], second
before = {e["path"] for e in first if e.get("outcome") == "converted"}
again = {e["path"] for e in second if e.get("outcome") == "converted"}
assert again and not (before & again), (before, again)
PY'
"$BIN" --merge-reports --json "$C"/reports/two/{0,1,2,3}.json > "$C/merge3.json"; rc=$?
check "merge after the resume passes (rc $rc)" 'python3 - "$C/merge3.json" "$rc" <<"PY"
import json, sys
s = json.load(open(sys.argv[1]))
assert sys.argv[2] == "0" and s["ok"] and not s["failed"] and not s["problems"], s
assert s["converted"] + s["alreadyDone"] == 32, s
assert s["swfBytes"] > 0 and s["audioSeconds"] >= 32 * 8, s
PY'

exit $fail
