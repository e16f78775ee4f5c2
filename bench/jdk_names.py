#!/usr/bin/env python3
"""Every method of the JDK 17 java.base module drawn by the name
`flowchart list --json` prints for it.

The sources are Debian's openjdk-17-source (its lib/src.zip, unzipped once
into build/bench-data/jdk17-java.base/; `apt-get install
openjdk-17-source` when it is missing).  For each file, `flowchart list
--json` gives the methods; each is drawn with `flowchart draw FILE
CLASS.NAME:LINE -o M.json`, the class, name and line as list printed them.
Prints the counts: methods listed, drawn, without a body (abstract,
native: nothing to draw), and every failure, those of naming (the name
refused or naming several methods) apart; exits 1 when any failed.

Usage: bench/jdk_names.py [--every N] [--jobs J] [--no-setup]
  --every N  draws the methods of every N-th file only, and the methods
             the naming has most to do with (initialisers, methods of
             local and anonymous classes, overloads) of all files
Builds the release programs first (scripts/setup)."""

import argparse
import concurrent.futures
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FLOWCHART = os.path.join(ROOT, "build", "cli", "flowchart")
DATA = os.path.join(ROOT, "build", "bench-data", "jdk17-java.base")
SRC_ZIPS = ["/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip", "/usr/lib/jvm/openjdk-17/lib/src.zip"]
BASE = os.path.join(DATA, "java.base")


def sources():
    if not os.path.isdir(BASE):
        found = [z for z in SRC_ZIPS if os.path.exists(z)]
        if not found:
            sys.exit("jdk_names: the JDK's src.zip is missing: apt-get install openjdk-17-source")
        with zipfile.ZipFile(found[0]) as archive:
            for name in archive.namelist():
                if name.startswith("java.base/") and name.endswith(".java"):
                    archive.extract(name, DATA)
    files = []
    for folder, _, names in os.walk(BASE):
        files += [os.path.join(folder, n) for n in names if n.endswith(".java")]
    return sorted(files)


def listed(path):
    run = subprocess.run([FLOWCHART, "list", "--json", path], capture_output=True, text=True)
    if run.returncode != 0:
        return path, None, run.stderr.strip()
    return path, json.loads(run.stdout), None


def special(method, methods):
    """The methods whose names need more than NAME: initialisers, those of
    anonymous classes and of classes inside methods, overloads."""
    if method["name"] in ("static {}", "{}") or "new " in method["class"]:
        return True
    if any(method["class"].startswith(m["class"] + "." + m["name"] + ".") for m in methods):
        return True
    return sum(m["class"] == method["class"] and m["name"] == method["name"] for m in methods) > 1


def drawn(path, name, out):
    run = subprocess.run([FLOWCHART, "draw", path, name, "-o", out], capture_output=True, text=True)
    if run.returncode == 0:
        return "drawn", ""
    message = run.stderr.strip()
    if message.endswith("no body") or ": no body" in message:
        return "no body", message
    if run.returncode == 2:
        return "naming", message
    return "failed", message


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--every", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--no-setup", action="store_true", help="use the programs already built")
    args = parser.parse_args()
    if not args.no_setup:
        subprocess.run([os.path.join(ROOT, "scripts", "setup")], check=True, stdout=subprocess.DEVNULL)
    start = time.monotonic()
    files = sources()
    # A copy of the program, so that a build meanwhile leaves the run alone.
    global FLOWCHART
    program_folder = tempfile.mkdtemp(prefix="jdk-names-")
    FLOWCHART = shutil.copy(FLOWCHART, program_folder)
    jobs, unlisted, total = [], [], 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for index, (path, data, error) in enumerate(pool.map(listed, files)):
            if data is None:
                unlisted.append("%s: %s" % (path, error))
                continue
            methods = data["methods"]
            total += len(methods)
            for method in methods:
                if index % args.every == 0 or special(method, methods):
                    jobs.append((path, "%s.%s:%d" % (method["class"], method["name"], method["line"])))
        counts = {"drawn": 0, "no body": 0, "naming": 0, "failed": 0}
        problems = []
        with tempfile.TemporaryDirectory() as folder:
            def draw(k):
                path, name = jobs[k]
                return path, name, drawn(path, name, os.path.join(folder, "m%d.json" % k))
            for path, name, (outcome, message) in pool.map(draw, range(len(jobs))):
                counts[outcome] += 1
                if outcome in ("naming", "failed"):
                    problems.append("%s %s: %s: %s" % (outcome, os.path.relpath(path, DATA), name, message))
    shutil.rmtree(program_folder, ignore_errors=True)
    for problem in problems:
        print(problem)
    for problem in unlisted:
        print("not listed " + problem)
    print("jdk_names: %d files (%d not listed), %d methods listed, %d tried%s: %d drawn, %d without a body, "
          "%d refused by their name, %d failed otherwise, in %.0f s"
          % (len(files), len(unlisted), total, len(jobs),
             "" if args.every == 1 else " (every %d-th file, and the special names of all)" % args.every,
             counts["drawn"], counts["no body"], counts["naming"], counts["failed"], time.monotonic() - start))
    return 1 if problems or unlisted else 0


if __name__ == "__main__":
    sys.exit(main())
