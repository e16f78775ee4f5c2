#!/usr/bin/env python3
"""Runs the Java parse mode on every .java file under one or more folders,
one engine process at a time, and checks the files it accepts with
bench/corpus_check.py.

Usage: bench/corpus_run.py [options] NAME=FOLDER ...
  --engine PATH    the engine to run (default build/engine/flowchart-engine)
  --limit N        only the first N files of each folder (sorted by path)
  --timeout S      seconds per file before it counts as a hang (default 20)
  --level N        the language level mode 7 parses at (default 0, the Java
                   5 grammar); the checks follow it
  --check-every K  check every K-th accepted file (default 1: all of them)
  --log FILE       write every non-accepted file with its outcome to FILE
  --noise SEED     also parse a copy of each checked file with separators
                   (blanks, line ends, form feeds, comments, skipped bytes)
                   put between random tokens, and check that it is accepted
                   with the same tokens at their moved lines and columns
Prints one table row per folder and the first problems of each kind."""

import argparse
import collections
import os
import random
import re
import resource
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the work tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus_check  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SANITIZER_RE = re.compile(rb"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:")
ERROR_RE = re.compile(rb'^<ParseError line="([0-9]+)"/>$')
SHOWN = 10  # problems listed per kind
BIG = 100 * 1000  # files from this size on show the parse speed beyond process start-up


def java_files(folder, limit):
    found = []
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        found.extend(os.path.join(base, f) for f in sorted(files) if f.endswith(".java"))
    found.sort()
    return found[:limit] if limit else found


def reject_reason(line_text):
    """A rough name for what a rejected line holds, for the summary only."""
    for pattern, reason in (
            (r"->", "lambda"), (r"::", "method reference"), (r"<>", "diamond"),
            (r"\btry\s*\(", "try-with-resources"), (r"@\w+(\.\w+)+", "qualified annotation"),
            (r"\bdefault\b", "default method / annotation default"),
            (r"\bcatch\s*\([^)]*\|", "multi-catch"), (r"\bsealed\b|\bpermits\b|\brecord\b|\bvar\b|\byield\b", "newer keyword"),
            (r"\b0[bB][01]|[0-9]_[0-9]", "binary or underscored literal"),
            (r"@", "annotation"), (r"<", "generics"), (r"\bcase\b", "switch case")):
        if re.search(pattern, line_text):
            return reason
    return "other"


def run_one(engine, source, work, timeout, level=0):
    """Runs mode 7 on one file; returns (outcome, wall seconds, engine CPU
    seconds, detail)."""
    tree = os.path.join(work, "st.tmp")
    comments = os.path.join(work, "comments.xml")
    status = os.path.join(work, "status.xml")
    results = os.path.join(work, "results.xml")
    for path in (tree, comments, status, results):
        if os.path.exists(path):
            os.remove(path)
    command = [engine, "7", source, tree, comments, status, results, "1", str(level)]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    try:
        proc = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "hang", time.perf_counter() - start, 0.0, "no exit after %g s" % timeout
    seconds = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    rc = proc.returncode
    err = proc.stderr
    status_text = open(status, "rb").read() if os.path.exists(status) else None
    if SANITIZER_RE.search(err):
        first = [l for l in err.decode("latin-1").splitlines() if SANITIZER_RE.search(l.encode("latin-1"))]
        return "crash", seconds, cpu, "sanitizer: %s" % first[0][:200]
    if rc not in (0, 1):
        what = "signal %d" % -rc if rc < 0 else "exit %d" % rc
        return "crash", seconds, cpu, "%s, stderr %r" % (what, err.decode("latin-1")[:200])
    if err:
        return "other", seconds, cpu, "exit %d with stderr %r" % (rc, err.decode("latin-1")[:200])
    written = [os.path.basename(p) for p in (tree, comments, results) if os.path.exists(p)]
    if rc == 0 and status_text == b"<ParseSuccess/>":
        if len(written) != 3:
            return "other", seconds, cpu, "accepted but wrote only %s" % written
        return "accepted", seconds, cpu, None
    if rc == 1 and status_text is not None and ERROR_RE.match(status_text):
        if written:
            return "other", seconds, cpu, "rejected but wrote %s" % written
        line = int(ERROR_RE.match(status_text).group(1))
        with open(source, "rb") as f:
            last_line = f.read().count(b"\n") + 1
        if not 1 <= line <= last_line:
            return "other", seconds, cpu, "ParseError line %d outside the file's %d lines" % (line, last_line)
        return "rejected", seconds, cpu, line
    return "other", seconds, cpu, "exit %d, status %r" % (rc, status_text)


def noisy_check(args, source, src, work, rng):
    """Parses a perturbed copy of an accepted source and checks it."""
    noisy_dir = os.path.join(work, "noisy")
    os.makedirs(noisy_dir, exist_ok=True)
    copy = os.path.join(noisy_dir, os.path.basename(source))
    noisy_src = corpus_check.perturb(src, rng, modern=args.level >= 6)
    with open(copy, "wb") as f:
        f.write(noisy_src)
    outcome, _, _, detail = run_one(args.engine, copy, work, args.timeout, args.level)
    if outcome != "accepted":
        kept = os.path.join(os.path.dirname(os.path.abspath(args.log)) if args.log != os.devnull
                            else noisy_dir, "noisy-" + os.path.basename(source))
        with open(kept, "wb") as f:
            f.write(noisy_src)
        return {"noisy": "perturbed copy %s: %s %s" % (kept, outcome, detail)}
    with open(os.path.join(work, "st.tmp"), "rb") as f:
        tree = f.read()
    with open(os.path.join(work, "comments.xml"), "rb") as f:
        comments = f.read()
    return {"noisy " + k: v for k, v in corpus_check.check(noisy_src, tree, comments, level=args.level).items()}


def run_corpus(name, folder, args, log):
    files = java_files(folder, args.limit)
    counts = collections.Counter()
    seconds = collections.Counter()
    cpu_seconds = collections.Counter()
    size = collections.Counter()
    problems = collections.defaultdict(list)
    reasons = collections.Counter()
    checked = check_seconds = 0
    accepted_seen = noisy = 0
    rng = random.Random(args.noise)
    with tempfile.TemporaryDirectory(prefix="corpus-") as work:
        for source in files:
            outcome, took, cpu, detail = run_one(args.engine, source, work, args.timeout, args.level)
            nbytes = os.path.getsize(source)
            counts[outcome] += 1
            seconds[outcome] += took
            cpu_seconds[outcome] += cpu
            size[outcome] += nbytes
            if outcome == "accepted" and nbytes >= BIG:
                size["big"] += nbytes
                cpu_seconds["big"] += cpu
            rel = os.path.relpath(source, folder)
            if outcome == "rejected":
                with open(source, "rb") as f:
                    lines = f.read().decode("latin-1").split("\n")
                text = lines[detail - 1] if 0 < detail <= len(lines) else ""
                reasons[reject_reason(text)] += 1
                log.write("%s\trejected\tline %d\t%s\n" % (source, detail, text.strip()[:120]))
            elif outcome != "accepted":
                problems[outcome].append("%s: %s" % (rel, detail))
                log.write("%s\t%s\t%s\n" % (source, outcome, detail))
            else:
                accepted_seen += 1
                if (accepted_seen - 1) % args.check_every == 0:
                    start = time.perf_counter()
                    with open(source, "rb") as f:
                        src = f.read()
                    with open(os.path.join(work, "st.tmp"), "rb") as f:
                        tree = f.read()
                    with open(os.path.join(work, "comments.xml"), "rb") as f:
                        comments = f.read()
                    with open(os.path.join(work, "results.xml"), "rb") as f:
                        results = f.read()
                    result = corpus_check.check(src, tree, comments, results, level=args.level)
                    check_seconds += time.perf_counter() - start
                    checked += 1
                    if args.noise:
                        result.update(noisy_check(args, source, src, work, rng))
                        noisy += 1
                    for check, problem in result.items():
                        if problem:
                            problems["check " + check].append("%s: %s" % (rel, problem))
                            log.write("%s\tviolation %s\t%s\n" % (source, check, problem))
    parsed = size["accepted"] + size["rejected"]
    parse_time = seconds["accepted"] + seconds["rejected"]
    cpu_time = cpu_seconds["accepted"] + cpu_seconds["rejected"]
    row = {
        "name": name, "files": len(files), "accepted": counts["accepted"],
        "rejected": counts["rejected"], "crashes": counts["crash"], "hangs": counts["hang"],
        "other": counts["other"], "mb": sum(size[k] for k in counts) / 1e6,
        "mbs": parsed / 1e6 / parse_time if parse_time else 0.0,
        "cpu_mbs": parsed / 1e6 / cpu_time if cpu_time else 0.0,
        "big_mbs": size["big"] / 1e6 / cpu_seconds["big"] if cpu_seconds["big"] else 0.0,
        "checked": checked, "violations": sum(len(v) for k, v in problems.items() if k.startswith("check ")),
        "check_s": check_seconds, "noisy": noisy,
    }
    return row, problems, reasons


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "engine", "flowchart-engine"))
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--timeout", type=float, default=20)
    parser.add_argument("--check-every", type=int, default=1)
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--noise", type=int, default=0)
    parser.add_argument("--level", type=int, default=0)
    parser.add_argument("corpora", nargs="+", metavar="NAME=FOLDER")
    args = parser.parse_args()
    rows = []
    failed = False
    with open(args.log, "w") as log:
        for corpus in args.corpora:
            name, _, folder = corpus.partition("=")
            row, problems, reasons = run_corpus(name, folder, args, log)
            rows.append(row)
            print("%s: %d files under %s" % (name, row["files"], folder))
            if args.noise:
                print("  perturbed copies parsed and checked (seed %d): %d" % (args.noise, row["noisy"]))
            if reasons:
                print("  rejections by what the error line holds (rough): " +
                      ", ".join("%s %d" % kv for kv in reasons.most_common()))
            for kind in sorted(problems):
                failed = True
                print("  %s: %d" % (kind, len(problems[kind])))
                for p in problems[kind][:SHOWN]:
                    print("    " + p)
    print()
    print("| corpus | files | accepted | rejected | crashes | hangs | other | MB | MB/s wall | MB/s CPU | MB/s CPU, accepted >= 100 KB | checked | violations |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print("| %(name)s | %(files)d | %(accepted)d | %(rejected)d | %(crashes)d | %(hangs)d | %(other)d "
              "| %(mb).1f | %(mbs).2f | %(cpu_mbs).2f | %(big_mbs).2f | %(checked)d | %(violations)d |" % r)
    print("MB: all .java bytes.  MB/s wall: bytes of accepted and rejected files over the wall time "
          "of their engine runs, process start and spawning included (a rejected file is parsed only "
          "up to its error).  MB/s CPU: the same bytes over the engine processes' user+system time.  "
          "The last one: accepted files of 100 KB and more alone.  Checker time: %s s" %
          " + ".join("%.0f" % r["check_s"] for r in rows))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
