#!/usr/bin/env python3
"""Measures how many one-line faults the tests catch.

For each fault of faults.txt: the fault's line is changed in a scratch copy of the checkout, the
fault's targets are rebuilt there (incrementally, through ccache when it is installed), the
fault's tests are run, and the line is put back. Prints killed / survived per fault and the kill
rate. The checkout itself is never changed. See README.md.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
KEYS = ("name", "file", "before", "after", "targets", "tests")


def fail(message):
    print("mutants: " + message, file=sys.stderr)
    sys.exit(2)


def read_faults(path):
    faults, block = [], {}

    def close(lineno):
        if not block:
            return
        missing = [k for k in KEYS if k not in block]
        if missing:
            fail("%s:%d: fault %r lacks %s" % (path, lineno, block.get("name", "?"), ", ".join(missing)))
        faults.append(dict(block))
        block.clear()

    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for n, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            close(n)
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in KEYS:
            fail("%s:%d: expected one of %s" % (path, n, ", ".join(k + ":" for k in KEYS)))
        if key in block:
            fail("%s:%d: %s given twice" % (path, n, key))
        block[key] = value.strip()
    close(len(lines))
    names = [f["name"] for f in faults]
    if len(set(names)) != len(names):
        fail("fault names must be unique")
    return faults


def mutated(text, fault):
    """The file's text with the fault's line changed; fails loudly unless the line occurs once."""
    lines = text.split("\n")
    hits = [i for i, l in enumerate(lines) if l.strip() == fault["before"]]
    if len(hits) != 1:
        fail("%s: the 'before' line of %s occurs %d times in %s (must be once)"
             % (fault["name"], fault["file"], len(hits), fault["file"]))
    if fault["after"] == fault["before"]:
        fail("%s: 'after' is the same as 'before'" % fault["name"])
    i = hits[0]
    indent = lines[i][: len(lines[i]) - len(lines[i].lstrip())]
    lines[i] = indent + fault["after"]
    return "\n".join(lines)


def run(cmd, log, **kw):
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        return subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, **kw).returncode


def copy_tree(tree):
    """Brings the scratch copy up to the checkout's content. Only files whose content differs are
    copied, and they get a fresh time, so that make rebuilds exactly what changed."""
    skip = {".git", "node_modules"}
    skip |= {e for e in os.listdir(ROOT) if os.path.isfile(os.path.join(ROOT, e, "CMakeCache.txt"))}
    wanted = set()
    for folder, dirs, files in os.walk(ROOT):
        rel = os.path.relpath(folder, ROOT)
        dirs[:] = [d for d in dirs if not (rel == "." and d in skip) and d != "node_modules"]
        os.makedirs(os.path.join(tree, rel), exist_ok=True)
        for name in files:
            src, dst = os.path.join(folder, name), os.path.join(tree, rel, name)
            wanted.add(os.path.normpath(dst))
            if os.path.islink(src):
                if not os.path.islink(dst) or os.readlink(dst) != os.readlink(src):
                    if os.path.lexists(dst):
                        os.remove(dst)
                    os.symlink(os.readlink(src), dst)
                continue
            with open(src, "rb") as f:
                data = f.read()
            if os.path.islink(dst) or not os.path.isfile(dst) or open(dst, "rb").read() != data:
                if os.path.lexists(dst):
                    os.remove(dst)
                with open(dst, "wb") as f:
                    f.write(data)
            shutil.copymode(src, dst)
    for folder, _, files in os.walk(tree):  # files since removed from the checkout
        for name in files:
            if os.path.normpath(os.path.join(folder, name)) not in wanted:
                os.remove(os.path.join(folder, name))


def count_tests(build, regex):
    out = subprocess.run(["ctest", "-N", "-R", regex], cwd=build, capture_output=True, text=True).stdout
    m = re.search(r"Total Tests: (\d+)", out)
    return int(m.group(1)) if m else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--faults", default=os.path.join(HERE, "faults.txt"))
    ap.add_argument("--scratch", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "tonvela-mutants"),
                    help="scratch folder (kept between runs, so later runs rebuild little)")
    ap.add_argument("--only", default="", help="run only the faults whose name matches this regular expression")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1, help="build jobs")
    ap.add_argument("--timeout", type=int, default=600, help="seconds per test before it counts as failed")
    ap.add_argument("--list", action="store_true", help="check and list the faults, change nothing")
    args = ap.parse_args()

    faults = [f for f in read_faults(args.faults) if re.search(args.only, f["name"])]
    if not faults:
        fail("no fault matches --only %r" % args.only)
    for f in faults:  # every fault applies to the checkout as it is, before any work is done
        path = os.path.join(ROOT, f["file"])
        if not os.path.isfile(path):
            fail("%s: no file %s" % (f["name"], f["file"]))
        with open(path, encoding="utf-8") as src:
            mutated(src.read(), f)
    if args.list:
        for f in faults:
            print("%-32s %-36s %s" % (f["name"], f["file"], f["tests"]))
        return 0
    for tool in ("cmake", "ctest"):
        if shutil.which(tool) is None:
            fail("needs " + tool)

    tree, build = os.path.join(args.scratch, "tree"), os.path.join(args.scratch, "build")
    logs = os.path.join(args.scratch, "logs")
    os.makedirs(logs, exist_ok=True)
    copy_tree(tree)
    env = dict(os.environ, CCACHE_BASEDIR=tree, CCACHE_NOHASHDIR="1")
    configure = ["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DTONVELA_GUI=OFF"]
    if shutil.which("ccache"):
        configure += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    setup_log = os.path.join(logs, "setup.log")
    open(setup_log, "w").close()
    if run(configure, setup_log, env=env) != 0:
        fail("configuring the scratch build failed: see " + setup_log)

    def build_targets(targets, log):
        return run(["cmake", "--build", build, "-j", str(args.jobs), "--target"] + targets.split(), log, env=env) == 0

    def run_tests(regex, log):
        return run(["ctest", "-R", regex, "--timeout", str(args.timeout), "--output-on-failure"], log, cwd=build, env=env) == 0

    # The unchanged tree first: the faults' tests must exist and pass, or a failure means nothing.
    print("building and testing the unchanged tree in %s ..." % args.scratch, flush=True)
    targets = " ".join(sorted({t for f in faults for t in f["targets"].split()}))
    if not build_targets(targets, setup_log):
        fail("the unchanged tree does not build: see " + setup_log)
    usable = []
    for f in faults:
        if count_tests(build, f["tests"]) == 0:
            print("%-32s NO TESTS match %s" % (f["name"], f["tests"]), flush=True)
        elif not run_tests(f["tests"], setup_log):
            print("%-32s FAILS UNCHANGED (see %s)" % (f["name"], setup_log), flush=True)
        else:
            usable.append(f)

    results = {}
    for f in usable:
        started = time.time()
        path = os.path.join(tree, f["file"])
        with open(path, encoding="utf-8") as src:
            original = src.read()
        log = os.path.join(logs, f["name"] + ".log")
        open(log, "w").close()
        try:
            with open(path, "w", encoding="utf-8") as dst:
                dst.write(mutated(original, f))
            if not build_targets(f["targets"], log):
                verdict = "does not build"
            else:
                verdict = "survived" if run_tests(f["tests"], log) else "killed"
        finally:
            with open(path, "w", encoding="utf-8") as dst:  # a fresh time: the next build recompiles it
                dst.write(original)
        results[f["name"]] = verdict
        print("%-32s %-15s %4.0f s  %s" % (f["name"], verdict, time.time() - started, f["tests"]), flush=True)

    killed = sum(v == "killed" for v in results.values())
    survived = [n for n, v in results.items() if v == "survived"]
    counted = killed + len(survived)
    print()
    print("killed %d of %d (%.0f %%)" % (killed, counted, 100.0 * killed / counted if counted else 0))
    if survived:
        print("survived: " + ", ".join(survived))
    not_run = [f["name"] for f in faults if f["name"] not in results or results[f["name"]] == "does not build"]
    if not_run:
        print("not measured: " + ", ".join(not_run))
    return 0 if not survived and not not_run else 1


if __name__ == "__main__":
    sys.exit(main())
