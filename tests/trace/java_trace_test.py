#!/usr/bin/env python3
"""Execution-trace test of the flowchart command's control-flow graphs.

Generates random structured Java methods (java_methods.py), writes each
method's graph with `flowchart draw FILE METHOD -o M.json`, compiles the
methods with javac and runs each with several inputs, and checks that
every graph keeps Java's structural rules and that every run is a path
through its graph (flow_check.py).

    java_trace_test.py --flowchart build/cli/flowchart [--methods 300] [--seed 1] [--generator 2] [--keep DIR]

Version 2 of the generator (the default) also makes lambdas and inner
classes: their methods are drawn by the names `flowchart list --json`
gives them, and each call's run is checked against the lambda's page or
the method's graph.  The runs enable assertions (java -ea).  The counts
printed include the steps no graph could be found for (unchecked).
"""

import argparse
import concurrent.futures
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import flow_check  # noqa: E402
import java_methods  # noqa: E402

METHODS_PER_CLASS = 10
INPUTS = [(0, 0), (1, 2), (2, 1), (3, 5), (4, 4), (5, 3), (7, 1), (6, 9), (8, 2), (9, 7), (11, 4), (13, 6)]
# Version 2 adds inputs for its many more branches and exceptions.
INPUTS_V2 = INPUTS + [(10, 3), (12, 5), (14, 1), (15, 10), (1, 7), (5, 11), (16, 8), (17, 2)]


def write_sources(folder, seed, count, max_depth, version):
    """Writes the classes; returns [(class, [method names])] and the
    generator's Method of each (class, method)."""
    classes, details = [], {}
    with open(os.path.join(folder, "Support.java"), "w") as f:
        f.write(java_methods.support(version))
    for k in range((count + METHODS_PER_CLASS - 1) // METHODS_PER_CLASS):
        name = "G%d" % k
        n = min(METHODS_PER_CLASS, count - k * METHODS_PER_CLASS)
        made = {}
        text, methods = java_methods.generate_class(seed * 100003 + k, name, n, max_depth, version, made)
        with open(os.path.join(folder, name + ".java"), "w") as f:
            f.write(text)
        classes.append((name, [m for m, _ in methods]))
        details.update({(name, m): method for m, method in made.items()})
    calls = []
    for cls, methods in classes:
        for m in methods:
            receiver = "new %s()" % cls if details[(cls, m)].instance else cls
            calls.append('    run("%s", "%s", (a, b) -> %s.%s(a, b));' % (cls, m, receiver, m))
    inputs = ", ".join("{%d, %d}" % pair for pair in (INPUTS if version == 1 else INPUTS_V2))
    with open(os.path.join(folder, "Main.java"), "w") as f:
        f.write("""public class Main {
  interface Body { int run(int a, int b) throws Exception; }

  static final int[][] INPUTS = {%s};

  static void run(String cls, String method, Body body) {
    for (int[] in : INPUTS) {
      T.LINES.clear();
      String ending = "return";
      try {
        body.run(in[0], in[1]);
      } catch (Throwable e) {
        ending = "throw";
      }
      StringBuilder out = new StringBuilder();
      out.append(cls).append(' ').append(method).append(' ').append(in[0]).append(' ').append(in[1])
         .append(' ').append(ending).append(':');
      for (int line : T.LINES) out.append(' ').append(line);
      System.out.println(out);
    }
  }

  public static void main(String[] args) {
%s
  }
}
""" % (inputs, "\n".join(calls)))
    return classes, details


# `draw --src DIR` where the program has it: the exception classes of
# Support.java are then known to the graph.
SOURCE_TREE = []


def draw_graph(flowchart, folder, cls, method):
    out = os.path.join(folder, "%s.%s.json" % (cls, method))
    result = subprocess.run([flowchart, "draw", os.path.join(folder, cls + ".java"), method, "-o", out] + SOURCE_TREE,
                            capture_output=True, text=True)
    if result.returncode != 0:
        return cls, method, None, result.stderr.strip()
    with open(out) as f:
        return cls, method, json.load(f), None


def list_methods(flowchart, folder, cls):
    """The methods of a class's file other than its own m0.., by the name
    and line `flowchart list --json` gives, as (name to draw, line)."""
    result = subprocess.run([flowchart, "list", "--json", os.path.join(folder, cls + ".java")],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return None, result.stderr.strip()
    found = []
    for method in json.loads(result.stdout)["methods"]:
        if method["class"] != cls:
            found.append(("%s.%s:%d" % (method["class"], method["name"], method["line"]), method["line"]))
    return found, None


def method_source(folder, cls, method):
    with open(os.path.join(folder, cls + ".java")) as f:
        lines = f.read().split("\n")
    out, inside = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith(("  static int %s(" % method, "  int %s(" % method)):
            inside = True
        if inside:
            out.append("%4d %s" % (number, line))
            if line == "  }":
                break
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--flowchart", required=True)
    parser.add_argument("--methods", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--depth", type=int, default=4)
    parser.add_argument("--generator", type=int, choices=(1, 2), default=2,
                        help="the generator's version (1: the methods of the earlier seeds)")
    parser.add_argument("--keep", help="keep the sources, graphs and traces in this folder")
    args = parser.parse_args()
    for tool in ("javac", "java"):
        if shutil.which(tool) is None:
            print("java_trace_test: %s is not installed (scripts/setup installs a JDK)" % tool, file=sys.stderr)
            return 2

    folder = args.keep or tempfile.mkdtemp(prefix="trace-")
    os.makedirs(folder, exist_ok=True)
    usage = subprocess.run([args.flowchart, "help", "draw"], capture_output=True, text=True)
    if "--src" in usage.stdout + usage.stderr:
        SOURCE_TREE[:] = ["--src", folder]
    try:
        classes, details = write_sources(folder, args.seed, args.methods, args.depth, args.generator)
        jobs = [(cls, m) for cls, methods in classes for m in methods]
        graphs, inner_graphs, failures = {}, {}, []
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            for cls, m, data, error in pool.map(lambda j: draw_graph(args.flowchart, folder, *j), jobs):
                if data is None:
                    failures.append("%s.%s: flowchart draw failed: %s" % (cls, m, error))
                else:
                    graphs[(cls, m)] = data
            # The methods of anonymous and local classes, by the names list gives.
            inner_jobs = []
            for cls, _ in classes:
                found, error = list_methods(args.flowchart, folder, cls)
                if found is None:
                    failures.append("%s: flowchart list failed: %s" % (cls, error))
                    continue
                inner_jobs += [(cls, name, line) for name, line in found]
            drawn = pool.map(lambda j: (j[0], j[2]) + draw_graph(args.flowchart, folder, j[0], j[1])[1:], inner_jobs)
            for (cls, line, name, data, error) in drawn:
                if data is None:
                    failures.append("%s: flowchart draw %s failed: %s" % (cls, name, error))
                else:
                    inner_graphs[(cls, line)] = data

        classes_dir = os.path.join(folder, "classes")
        compiled = subprocess.run(["javac", "-nowarn", "-d", classes_dir] +
                                  [os.path.join(folder, f) for f in sorted(os.listdir(folder)) if f.endswith(".java")],
                                  capture_output=True, text=True)
        if compiled.returncode != 0:
            print("java_trace_test: javac refused the generated methods:\n" + compiled.stderr[:4000])
            return 1
        traces = subprocess.run(["java", "-ea", "-Xss8m", "-cp", classes_dir, "Main"], check=True,
                                capture_output=True, text=True).stdout.splitlines()
        with open(os.path.join(folder, "traces.txt"), "w") as f:
            f.write("\n".join(traces) + "\n")

        for key, data in sorted(graphs.items()) + sorted(inner_graphs.items()):
            for problem in flow_check.structural_problems(data):
                failures.append("%s.%s: %s" % (key[0], key[1], problem))
        runs = events = endings_thrown = unchecked = inner_runs = 0
        failed_methods = set()
        for line in traces:
            head, _, body = line.partition(":")
            cls, m, a, b, ending = head.split()
            data = graphs.get((cls, m))
            if data is None:
                continue
            method = details[(cls, m)]
            lines, calls = flow_check.split_run([int(x) for x in body.split()])
            runs += 1
            events += len(lines) + sum(len(inner) for _, inner, _ in calls)
            endings_thrown += ending == "throw"
            problem = flow_check.trace_problem(data, lines, ending, 0, method.silent, method.handler)
            for call_line, inner, inner_ending in calls:
                inner_runs += 1
                kind, target = method.calls.get(call_line, (None, None))
                if kind == "lambda":
                    page = flow_check.lambda_page(data, target)
                    graph = data
                else:
                    page, graph = 0, inner_graphs.get((cls, target))
                if page is None or graph is None:
                    unchecked += len(inner)
                    continue
                problem = problem or flow_check.trace_problem(graph, inner, inner_ending, page, method.silent,
                                                              method.handler)
            if problem and (cls, m) not in failed_methods:
                failed_methods.add((cls, m))
                failures.append("%s.%s(%s, %s) ended by %s: %s" % (cls, m, a, b, ending, problem))
        print("java_trace_test: generator %d, %d methods (%d methods of inner classes), %d runs "
              "(%d ending by an exception, %d calls of lambdas and inner classes), %d recorded steps, "
              "%d unchecked" % (args.generator, len(jobs), len(inner_graphs), runs, endings_thrown, inner_runs,
                                events, unchecked))
        if failures:
            shown = set()
            for failure in failures[:20]:
                print("FAIL " + failure)
                method = tuple(failure.split(":")[0].split("(")[0].split("."))
                if len(method) == 2 and method not in shown and len(shown) < 3:
                    shown.add(method)
                    print(method_source(folder, *method))
            failed = {f.split(":")[0].split("(")[0].split(" ")[0] for f in failures}
            print("%d passed, %d failed" % (len(jobs) - len(failed), len(failed)))
            return 1
        print("%d passed, 0 failed" % len(jobs))
        return 0
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
