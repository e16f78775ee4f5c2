#!/usr/bin/env python3
"""Runs mode 7 on every .java file under some folders at the Java 5 level (0)
and at a modern level, and reports:
  identity    of the files level 0 accepts, how many give byte-identical tree,
              comments and results files at the modern level (each differing
              file is listed);
  acceptance  how many files the modern level accepts; every refused file
              with its error line and that line's text.
  models      with --models, mode 8 on every method, constructor and
              initialiser of every file the modern level accepts: how many
              built, how many did not, and every crash or hang;
  insertion   with --insert, for each file level 0 accepts: a lambda
              statement put at the start of its first method's body, then
              the trees and models of its other methods (up to four) must
              be the same as from the file without it.
  builds      with --baseline ENGINE instead, both engines at --level (0,
              the Java 5 grammar, for instance): of the files the baseline
              accepts, how many give byte-identical tree, comments and
              results files with --engine (each differing or now refused
              file is listed).
Two engine processes run at a time.

Usage: bench/level_check.py [--engine PATH] [--level N] [--limit N]
                            [--models] [--insert] [--log FILE] NAME=FOLDER ...
       bench/level_check.py --baseline ENGINE [--engine PATH] [--level N] NAME=FOLDER ...
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import xml.etree.ElementTree as ET
import subprocess
import sys
import tempfile
import zlib

sys.dont_write_bytecode = True  # no __pycache__ in the work tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus_run import java_files  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


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


def functions(results):
    """(class name, class line, function name, function line, end line) of
    every func of the results file, each with the rclass it stands in."""
    found = []

    def visit(element, cls):
        for child in element:
            if child.tag == "rclass":
                visit(child, child)
            elif child.tag == "func":
                if cls is not None:
                    found.append((cls.get("name").encode("latin-1"), cls.get("sl").encode(),
                                  child.get("name").encode("latin-1"), child.get("sl").encode(),
                                  child.get("el").encode()))
                visit(child, None)
    visit(ET.fromstring(results), None)
    return found


def build_model(engine, work, source, func, timeout=60):
    """Mode 8 on one function; (exit code or "hang", model text)."""
    cls, cls_line, name, line = (x.decode("latin-1") for x in func[:4])
    try:
        rc = subprocess.run([engine, "8", "x", work, "x", cls, cls_line, name, line, "x", source,
                             os.path.join(work, "comments.xml"), "x"], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "hang", None
    text = open(os.path.join(work, "results.xml"), "rb").read()
    at = text.find(b'<func name="%s" sl="%s"' % (func[2], func[3]))
    model = None
    if at >= 0:
        start = text.find(b"<blocks", at)
        end = text.find(b"</func>", at)
        if 0 <= start < end:
            model = text[start:end]
    return rc, model


def method_bodies(tree):
    """(line, column) of the opening brace of each method body, in order."""
    return [(int(m.group(1)), int(m.group(2))) for m in
            re.finditer(rb'<MtdBody>\n<Blk>\n<OBR l="([0-9]+)" c="([0-9]+)"', tree)]


def method_trees(tree):
    return re.findall(rb"<MtdDecln>\n.*?</MtdBody>\n</MtdDecln>\n", tree, re.S)


def check_file(args):
    engine, source, level, models, insert = args
    extra = {}
    with tempfile.TemporaryDirectory(prefix="levels-") as work:
        old = parse(engine, source, work, 0)
        if insert and old[0] == 0:
            extra["insert"] = insertion(engine, source, work, level, old)
        new = parse(engine, source, work, level)
        if models and new[0] == 0:
            local = os.path.join(work, "Source.java")
            shutil.copyfile(source, local)
            outcome = {"built": 0, "not built": 0, "crashes": []}
            for func in functions(new[4]):
                rc, _ = build_model(engine, work, local, func)
                if rc == 1:
                    outcome["built"] += 1
                elif rc == 0:
                    outcome["not built"] += 1
                else:
                    outcome["crashes"].append("%s %s: %s" % (func[2].decode("latin-1"), func[3].decode(), rc))
            extra["models"] = outcome
    old_ok = accepted(old)
    new_ok = accepted(new)
    same = differing_outputs(old, new) if old_ok else None
    error_line = None
    if not new_ok and new[1] and new[1].startswith(b'<ParseError line="'):
        error_line = int(new[1].split(b'"')[1])
    return source, old_ok, new_ok, same, new[0], error_line, extra


def differing_outputs(old, new):
    """The names of the outputs (tree, comments, results) two parses differ in."""
    return [name for name, a, b in (("tree", old[2], new[2]), ("comments", old[3], new[3]),
                                    ("results", old[4], new[4])) if a != b]


def accepted(run):
    return run[0] == 0 and run[1] == b"<ParseSuccess/>"


def check_builds(args):
    baseline, engine, source, level = args
    with tempfile.TemporaryDirectory(prefix="builds-") as work:
        old = parse(baseline, source, work, level)
        new = parse(engine, source, work, level)
    return source, accepted(old), accepted(new), differing_outputs(old, new) if accepted(old) else None


def compare_builds(args):
    """The builds check: True when every file the baseline accepts gives the
    same three files with the engine."""
    same_everywhere = True
    for corpus in args.corpora:
        name, _, folder = corpus.partition("=")
        files = java_files(folder, args.limit)
        counts = dict(old=0, new=0, identical=0)
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for source, old_ok, new_ok, differ in pool.map(
                    check_builds, ((args.baseline, args.engine, f, args.level) for f in files)):
                counts["old"] += old_ok
                counts["new"] += new_ok
                if not old_ok:
                    continue
                if not new_ok:
                    differ = ["now refused"]
                elif not differ:
                    counts["identical"] += 1
                    continue
                same_everywhere = False
                print("  differs (%s): %s" % (",".join(differ), os.path.relpath(source, folder)), flush=True)
        print("%s: %d files at level %d; the baseline accepts %d, the engine %d; of the %d, %d identical"
              % (name, len(files), args.level, counts["old"], counts["new"], counts["old"], counts["identical"]),
              flush=True)
    return same_everywhere


def insertion(engine, source, work, level, old):
    """Puts a lambda statement after the first method body's brace and
    compares the other methods' trees and models with those of the plain
    file; None when the file has fewer than two methods."""
    bodies = method_bodies(old[2])
    trees = method_trees(old[2])
    if len(bodies) < 2 or len(trees) != len(bodies):
        return None
    src = open(source, "rb").read()
    lines = src.split(b"\n")
    line, column = bodies[0]
    text = lines[line - 1]
    # A comment before the brace on its line leaves its column short.
    brace = column - 1 if text[column - 1:column] == b"{" else text.rfind(b"{")
    lines[line - 1] = text[:brace + 1] + b" Runnable inserted = () -> { };" + text[brace + 1:]
    changed = os.path.join(work, "Changed.java")
    plain = os.path.join(work, "Plain.java")
    open(changed, "wb").write(b"\n".join(lines))
    shutil.copyfile(source, plain)
    before = parse(engine, plain, work, level)
    funcs = [f for f in functions(before[4])][:6]
    plain_models = {}
    for func in funcs:
        plain_models[func] = build_model(engine, work, plain, func)[1]
    after = parse(engine, changed, work, level)
    if after[0] != 0:
        return "changed file refused"
    after_trees = method_trees(after[2])
    if after_trees[1:] != trees[1:] or len(after_trees) != len(trees):
        return "another method's tree changed"
    for func in funcs:
        model = build_model(engine, work, changed, func)[1]
        if int(func[3]) <= line <= int(func[4] or 0) or model is None or plain_models[func] is None:
            continue
        if model != plain_models[func]:
            return "model of %s changed" % func[2].decode("latin-1")
    return "same"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "engine", "flowchart-engine"))
    parser.add_argument("--level", type=int, default=25)
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--log", default=None)
    parser.add_argument("--models", action="store_true")
    parser.add_argument("--insert", action="store_true")
    parser.add_argument("--baseline", default=None)
    parser.add_argument("corpora", nargs="+", metavar="NAME=FOLDER")
    args = parser.parse_args()
    if args.baseline:
        sys.exit(0 if compare_builds(args) else 1)
    log = open(args.log, "w") if args.log else None
    failed = False
    for corpus in args.corpora:
        name, _, folder = corpus.partition("=")
        files = java_files(folder, args.limit)
        counts = dict(files=len(files), old=0, new=0, identical=0, crashes=0)
        differing, refused = [], []
        models = {"files": 0, "built": 0, "not built": 0, "crashes": []}
        inserted = {}
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for source, old_ok, new_ok, same, rc, line, extra in pool.map(
                    check_file, ((args.engine, f, args.level, args.models, args.insert) for f in files)):
                rel = os.path.relpath(source, folder)
                if "models" in extra:
                    models["files"] += 1
                    for key in ("built", "not built"):
                        models[key] += extra["models"][key]
                    models["crashes"] += ["%s %s" % (rel, c) for c in extra["models"]["crashes"]]
                if extra.get("insert"):
                    inserted.setdefault(extra["insert"], []).append(rel)
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
        if args.models:
            print("  mode 8 on the methods of %d accepted files: %d built, %d not built, %d crashes or hangs"
                  % (models["files"], models["built"], models["not built"], len(models["crashes"])))
            for c in models["crashes"]:
                print("    " + c)
            failed = failed or bool(models["crashes"])
        if args.insert:
            print("  insertion: " + ", ".join("%s %d" % (k, len(v)) for k, v in sorted(inserted.items())))
            for k, v in inserted.items():
                if k != "same":
                    failed = True
                    for rel in v[:20]:
                        print("    %s: %s" % (k, rel))
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
