#!/usr/bin/env python3
"""Execution-trace test of the flowchart command's control-flow graphs.

Generates random structured Java methods (java_methods.py), writes each
method's graph with `flowchart draw FILE METHOD -o M.json`, compiles the
methods with javac and runs each with several inputs, and checks that
every graph keeps Java's structural rules and that every run is a path
through its graph (flow_check.py).

    java_trace_test.py --flowchart build/cli/flowchart [--methods 300] [--seed 1] [--keep DIR]
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


def write_sources(folder, seed, count, max_depth):
    classes = []
    with open(os.path.join(folder, "Support.java"), "w") as f:
        f.write(java_methods.SUPPORT)
    for k in range((count + METHODS_PER_CLASS - 1) // METHODS_PER_CLASS):
        name = "G%d" % k
        n = min(METHODS_PER_CLASS, count - k * METHODS_PER_CLASS)
        text, methods = java_methods.generate_class(seed * 100003 + k, name, n, max_depth)
        with open(os.path.join(folder, name + ".java"), "w") as f:
            f.write(text)
        classes.append((name, [m for m, _ in methods]))
    calls = []
    for cls, methods in classes:
        for m in methods:
            calls.append('    run("%s", "%s", (a, b) -> %s.%s(a, b));' % (cls, m, cls, m))
    inputs = ", ".join("{%d, %d}" % pair for pair in INPUTS)
    with open(os.path.join(folder, "Main.java"), "w") as f:
        f.write("""import java.util.function.IntBinaryOperator;

public class Main {
  static final int[][] INPUTS = {%s};

  static void run(String cls, String method, IntBinaryOperator body) {
    for (int[] in : INPUTS) {
      T.LINES.clear();
      String ending = "return";
      try {
        body.applyAsInt(in[0], in[1]);
      } catch (E1 | E2 | E3 e) {
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
    return classes


def draw_graph(flowchart, folder, cls, method):
    out = os.path.join(folder, "%s.%s.json" % (cls, method))
    result = subprocess.run([flowchart, "draw", os.path.join(folder, cls + ".java"), method, "-o", out],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return cls, method, None, result.stderr.strip()
    with open(out) as f:
        return cls, method, json.load(f), None


def method_source(folder, cls, method):
    with open(os.path.join(folder, cls + ".java")) as f:
        lines = f.read().split("\n")
    out, inside = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith("  static int %s(" % method):
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
    parser.add_argument("--keep", help="keep the sources, graphs and traces in this folder")
    args = parser.parse_args()
    for tool in ("javac", "java"):
        if shutil.which(tool) is None:
            print("java_trace_test: %s is not installed (scripts/setup installs a JDK)" % tool, file=sys.stderr)
            return 2

    folder = args.keep or tempfile.mkdtemp(prefix="trace-")
    os.makedirs(folder, exist_ok=True)
    try:
        classes = write_sources(folder, args.seed, args.methods, args.depth)
        jobs = [(cls, m) for cls, methods in classes for m in methods]
        graphs, failures = {}, []
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            for cls, m, data, error in pool.map(lambda j: draw_graph(args.flowchart, folder, *j), jobs):
                if data is None:
                    failures.append("%s.%s: flowchart draw failed: %s" % (cls, m, error))
                else:
                    graphs[(cls, m)] = data

        classes_dir = os.path.join(folder, "classes")
        subprocess.run(["javac", "-nowarn", "-d", classes_dir] +
                       [os.path.join(folder, f) for f in sorted(os.listdir(folder)) if f.endswith(".java")],
                       check=True, capture_output=True, text=True)
        traces = subprocess.run(["java", "-Xss8m", "-cp", classes_dir, "Main"], check=True,
                                capture_output=True, text=True).stdout.splitlines()
        with open(os.path.join(folder, "traces.txt"), "w") as f:
            f.write("\n".join(traces) + "\n")

        for key, data in sorted(graphs.items()):
            for problem in flow_check.structural_problems(data):
                failures.append("%s.%s: %s" % (key[0], key[1], problem))
        runs = events = endings_thrown = 0
        failed_methods = set()
        for line in traces:
            head, _, body = line.partition(":")
            cls, m, a, b, ending = head.split()
            data = graphs.get((cls, m))
            if data is None:
                continue
            lines = [int(x) for x in body.split()]
            runs += 1
            events += len(lines)
            endings_thrown += ending == "throw"
            problem = flow_check.trace_problem(data, lines, ending)
            if problem and (cls, m) not in failed_methods:
                failed_methods.add((cls, m))
                failures.append("%s.%s(%s, %s) ended by %s: %s" % (cls, m, a, b, ending, problem))
        print("java_trace_test: %d methods, %d runs (%d ending by an exception), %d recorded steps"
              % (len(jobs), runs, endings_thrown, events))
        if failures:
            shown = set()
            for failure in failures[:20]:
                print("FAIL " + failure)
                method = tuple(failure.split(":")[0].split("(")[0].split("."))
                if len(method) == 2 and method not in shown and len(shown) < 3:
                    shown.add(method)
                    print(method_source(folder, *method))
            print("%d passed, %d failed" % (len(jobs) - len({f.split(":")[0].split("(")[0] for f in failures}),
                                            len({f.split(":")[0].split("(")[0] for f in failures})))
            return 1
        print("%d passed, 0 failed" % len(jobs))
        return 0
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
