#!/usr/bin/env python3
"""`flowchart check` over a source tree, this build beside another, in turn.

Each round runs every program once on one processor (the same one for
all), in turn, so that both meet the same load; prints each program's best
and median seconds of the whole process (wall and CPU), the methods a
second that makes, and its peak memory.  --escaped takes only the files
that hold "\\u" (the ones whose Unicode escapes are translated), so that
the cost of translating them shows apart from the tree's.

Usage: bench/check_speed.py [--baseline PROGRAM] [--rounds N] [--escaped] [SRC]
(SRC: /work/corpora/jdk17, else build/bench-data/jdk17-util as
bench/metrics_check unpacks it.)"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FLOWCHART = os.path.join(ROOT, "build", "cli", "flowchart")


def default_source():
    for candidate in ("/work/corpora/jdk17", os.path.join(ROOT, "build", "bench-data", "jdk17-util")):
        if os.path.isdir(candidate):
            return candidate
    sys.exit("no source tree: name one")


def escaped_files(source):
    found = []
    for folder, _, names in os.walk(source):
        for name in sorted(names):
            if name.endswith(".java"):
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    if b"\\u" in f.read():
                        found.append(path)
    return sorted(found)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source", nargs="?")
    parser.add_argument("--baseline", help="another flowchart program to run beside this build")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--escaped", action="store_true")
    args = parser.parse_args()
    source = args.source or default_source()
    sources = escaped_files(source) if args.escaped else [source]
    programs = [("this build", FLOWCHART)] + ([("baseline", args.baseline)] if args.baseline else [])
    cpu = max(os.sched_getaffinity(0))
    times = {name: [] for name, _ in programs}
    cpu_times = {name: [] for name, _ in programs}
    peaks = {name: 0 for name, _ in programs}
    summaries = {}
    for _ in range(args.rounds):
        for name, program in programs:
            start = time.perf_counter()
            child = subprocess.Popen([program, "check", *sources], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, preexec_fn=lambda: os.sched_setaffinity(0, {cpu}))
            err = child.stderr.read()
            _, _, usage = os.wait4(child.pid, 0)
            times[name].append(time.perf_counter() - start)
            cpu_times[name].append(usage.ru_utime + usage.ru_stime)
            peaks[name] = max(peaks[name], usage.ru_maxrss)
            summaries[name] = err.decode("utf-8", "replace").strip().splitlines()[-1]
    what = f"{len(sources)} files holding \\u of {source}" if args.escaped else source
    print(f"flowchart check over {what}, {args.rounds} rounds in turn on processor {cpu}")
    for name, _ in programs:
        methods = int(re.search(r"checked ([\d,]+) method", summaries[name]).group(1).replace(",", ""))
        best_cpu = min(cpu_times[name])
        print(f"  {name:10}  wall best {min(times[name]):6.2f} s, median {statistics.median(times[name]):6.2f} s; "
              f"CPU best {best_cpu:6.2f} s, median {statistics.median(cpu_times[name]):6.2f} s; "
              f"{methods / best_cpu:8.0f} methods/s; peak {peaks[name] / 1024:5.0f} MB")
        print(f"  {'':10}  {summaries[name]}")
    if args.baseline:
        ratio = min(cpu_times["this build"]) / min(cpu_times["baseline"])
        print(f"  CPU time, this build / baseline (best of each): {ratio:.3f}")


if __name__ == "__main__":
    main()
