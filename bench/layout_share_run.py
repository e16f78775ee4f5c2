"""Layouts per written page and batch -j 1 beside Graphviz alone.

For each tree and each build: `flowchart batch -j 1` run with a preloaded
counter of Graphviz's layouts (bench/layout_count.c; rankings alone, which
decide that a wide switch is folded without laying it out, counted
apart), the pages its method pages hold counted (each a `<section
class="page"`), and its CPU seconds (the best of --rounds runs without the
counter).  Graphviz alone is `dot -Tdot` over the DOT text of the same
pages, `flowchart draw -o M.dot` of every method, in one process: the
layouts a batch cannot do without.  When this build links jemalloc,
Graphviz alone runs with it preloaded too, and the last column is the
batch beside that.  Each round runs Graphviz and every build one after
another, so that a machine whose speed drifts over minutes slows them
alike.  Prints a row per tree and build.

The batch's CPU includes the system time of creating its site's files,
which Graphviz writing to /dev/null has not; the sites are written under
TMPDIR (on a slow disk, set TMPDIR to a memory file system to compare the
work alone)."""

import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def derby_sample(target, every=20):
    """Every Nth derby file, as bench/same-drawings picks them."""
    path = os.path.join(ROOT, "bench", "same-drawings")
    namespace = {"__file__": path, "__name__": "bench_same"}
    with open(path) as source:
        exec(compile(source.read(), path, "exec"), namespace)
    namespace["sample"](namespace["derby_dir"](), every, target)
    return target


def cpu_of(command, env=None):
    """CPU seconds (user and system) of a command and the processes it waited for."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    code = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env).returncode
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime, code


def allocator_of(program):
    """The malloc library the program links other than glibc's, or None."""
    linked = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    for line in linked.splitlines():
        if "jemalloc" in line and "=>" in line:
            return line.split("=>")[1].split()[0]
    return None


def pages_written(site):
    pages = 0
    for base, _, names in os.walk(os.path.join(site, "files")):
        for name in names:
            if name.endswith(".html") and not name.endswith("-sequence.html") and name != "index.html":
                with open(os.path.join(base, name), encoding="utf-8", errors="replace") as page:
                    pages += page.read().count('<section class="page"')
    return pages


def method_names(program, source):
    listed = subprocess.run([program, "list", source, "--json"], capture_output=True, text=True)
    if listed.returncode != 0:
        return []
    methods = json.loads(listed.stdout)["methods"]
    return ["%s.%s:%d" % (m["class"], m["name"], m["line"]) for m in methods if m.get("body")]


def pages_dot(program, tree, out):
    """The DOT text of every page of every method of the tree, in one file."""
    with open(out, "w", encoding="utf-8", errors="surrogateescape") as all_pages:
        for base, _, names in sorted(os.walk(tree)):
            for name in sorted(names):
                if not name.endswith(".java"):
                    continue
                source = os.path.join(base, name)
                for method in method_names(program, source):
                    dot = out + ".one.dot"
                    if subprocess.run([program, "draw", source, method, "-o", dot], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL).returncode == 0:
                        with open(dot, encoding="utf-8", errors="surrogateescape") as one:
                            all_pages.write(one.read())
    return out


def counted_layouts(program, counter, tree, work):
    count = os.path.join(work, "layouts")
    site = os.path.join(work, "site-counted")
    env = dict(os.environ, LD_PRELOAD=counter, FLOWCHART_LAYOUT_COUNT=count)
    subprocess.run([program, "batch", tree, "-o", site, "-j", "1", "--quiet"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    marks = b""
    if os.path.exists(count):
        with open(count, "rb") as counted:
            marks = counted.read()
    pages = pages_written(site)
    shutil.rmtree(site, ignore_errors=True)
    return marks.count(b"l"), marks.count(b"r"), pages


def batch_seconds(program, tree, work, round_number):
    site = os.path.join(work, "site-%d" % round_number)
    seconds, _ = cpu_of([program, "batch", tree, "-o", site, "-j", "1", "--quiet"])
    shutil.rmtree(site, ignore_errors=True)
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--counter", required=True)
    parser.add_argument("--baseline")
    parser.add_argument("--jdk", default="/work/corpora/jdk17")
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--trees", default="regex,concurrent,derby")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        # Copies of the programs, so that a build meanwhile leaves the run alone.
        builds = []
        for name, program in [("this build", args.program)] + ([("baseline", args.baseline)] if args.baseline else []):
            copy = os.path.join(work, name.replace(" ", "-") + "-flowchart")
            shutil.copy2(program, copy)
            builds.append((name, copy))
        args.program = builds[0][1]
        # Graphviz alone also with the allocator this build links, for the
        # share of the ratio that is not the allocator's.
        allocator = allocator_of(args.program)
        trees = {"regex": os.path.join(args.jdk, "java.base", "java", "util", "regex"),
                 "concurrent": os.path.join(args.jdk, "java.base", "java", "util", "concurrent")}
        if "derby" in args.trees:
            trees["derby"] = derby_sample(os.path.join(work, "derby"))
        print("%-11s %-11s %8s %8s %7s %9s %10s %10s %9s %12s" % (
            "tree", "build", "layouts", "rankings", "pages", "per page", "batch cpu", "dot cpu", "ratio",
            "ratio, alloc" if allocator else ""), flush=True)
        for tree_name in args.trees.split(","):
            tree = trees[tree_name]
            graphs = pages_dot(args.program, tree, os.path.join(work, tree_name + ".dot"))
            folders = {}
            counts = {}
            for build_name, program in builds:
                folders[build_name] = os.path.join(work, tree_name + "-" + build_name.replace(" ", "-"))
                os.makedirs(folders[build_name])
                counts[build_name] = counted_layouts(program, args.counter, tree, folders[build_name])
            dot_best = None
            same_best = None
            batch_best = {}
            for r in range(args.rounds):
                seconds, _ = cpu_of(["dot", "-Tdot", "-o", "/dev/null", graphs])
                dot_best = seconds if dot_best is None else min(dot_best, seconds)
                if allocator:
                    seconds, _ = cpu_of(["dot", "-Tdot", "-o", "/dev/null", graphs],
                                        env=dict(os.environ, LD_PRELOAD=allocator))
                    same_best = seconds if same_best is None else min(same_best, seconds)
                for build_name, program in builds:
                    seconds = batch_seconds(program, tree, folders[build_name], r)
                    batch_best[build_name] = min(batch_best.get(build_name, seconds), seconds)
            for build_name, _ in builds:
                layouts, rankings, pages = counts[build_name]
                batch = batch_best[build_name]
                print("%-11s %-11s %8d %8d %7d %9.3f %10.2f %10.2f %9.2f %12s" % (
                    tree_name, build_name, layouts, rankings, pages, layouts / max(pages, 1), batch, dot_best,
                    batch / dot_best, "%.2f" % (batch / same_best) if same_best else ""), flush=True)
                shutil.rmtree(folders[build_name], ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
