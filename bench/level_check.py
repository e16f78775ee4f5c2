#!/usr/bin/env python3
"""Runs mode 7 on every .java file under some folders at the Java 5 level (0)
and at a modern level, and reports:
  identity    of the files level 0 accepts, how many give byte-identical tree,
              comments and results files at the modern level (each differing
              file is listed);
  acceptance  how many files the modern level accepts; every refused file
              with its error line and that line's text.
Two engine processes run at a time.

Usage: bench/level_check.py [--engine PATH] [--level N] [--limit N]
                            [--log FILE] NAME=FOLDER ...
"""

import argparse
import concurrent.futures
import os
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def java_files(folder, limit):
    found = []
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        found.extend(os.path.join(base, f) for f in sorted(files) if f.endswith(".java"))
    found.sort()
    return found[:limit] if limit else found


def parse(engine, source, work, level, timeout=60):
    """Mode 7 at a level: (exit code, status, tree text, comments, results)."""
    paths = [os.path.join(work, n) for n in ("st.tmp", "comments.xml", "status.xml", "results.xml")]
    for p in paths:
        if os.path.exists(p):
            os.remove(p)
    try:
        rc = subprocess.run([engine, "7", source, paths[0], paths[1], paths[2], paths[3], "1", str(level)],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "hang", None, None, None, None
    read = [open(p, "rb").read() if os.path.exists(p) else None for p in paths]
    tree = zlib.decompress(read[0]) if read[0] is not None else None
    return rc, read[2], tree, read[1], read[3]


def check_file(args):
    engine, source, level = args
    with tempfile.TemporaryDirectory(prefix="levels-") as work:
        old = parse(engine, source, work, 0)
        new = parse(engine, source, work, level)
    old_ok = old[0] == 0 and old[1] == b"<ParseSuccess/>"
    new_ok = new[0] == 0 and new[1] == b"<ParseSuccess/>"
    same = None
    if old_ok:
        same = [name for name, a, b in (("tree", old[2], new[2]), ("comments", old[3], new[3]),
                                        ("results", old[4], new[4])) if a != b]
    error_line = None
    if not new_ok and new[1] and new[1].startswith(b'<ParseError line="'):
        error_line = int(new[1].split(b'"')[1])
    return source, old_ok, new_ok, same, new[0], error_line


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "engine", "flowchart-engine"))
    parser.add_argument("--level", type=int, default=25)
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--log", default=None)
    parser.add_argument("corpora", nargs="+", metavar="NAME=FOLDER")
    args = parser.parse_args()
    log = open(args.log, "w") if args.log else None
    failed = False
    for corpus in args.corpora:
        name, _, folder = corpus.partition("=")
        files = java_files(folder, args.limit)
        counts = dict(files=len(files), old=0, new=0, identical=0, crashes=0)
        differing, refused = [], []
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for source, old_ok, new_ok, same, rc, line in pool.map(
                    check_file, ((args.engine, f, args.level) for f in files)):
                rel = os.path.relpath(source, folder)
                counts["old"] += old_ok
                counts["new"] += new_ok
                if rc not in (0, 1):
                    counts["crashes"] += 1
                    refused.append((rel, "exit %s" % rc, ""))
                if old_ok and not same:
                    counts["identical"] += 1
                elif old_ok:
                    differing.append((rel, ",".join(same)))
                if not new_ok and rc in (0, 1):
                    text = ""
                    if line:
                        with open(source, "rb") as f:
                            lines = f.read().decode("utf-8", "replace").split("\n")
                        text = lines[line - 1].strip()[:140] if line <= len(lines) else ""
                    refused.append((rel, "line %s" % line, text))
        print("%s: %d files; level 0 accepts %d; level %d accepts %d; of the %d, %d identical at level %d"
              % (name, counts["files"], counts["old"], args.level, counts["new"], counts["old"],
                 counts["identical"], args.level))
        if counts["crashes"]:
            print("  crashes or hangs: %d" % counts["crashes"])
        for rel, what in differing:
            print("  differs (%s): %s" % (what, rel))
        print("  refused at level %d: %d" % (args.level, len(refused)))
        for rel, where, text in refused:
            line = "  refused: %s %s: %s" % (rel, where, text)
            if log:
                log.write(line + "\n")
        if log:
            log.flush()
        failed = failed or bool(differing) or counts["crashes"] > 0
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
