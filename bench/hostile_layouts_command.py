#!/usr/bin/env python3
# The flowchart-command half of bench/hostile_layouts, which builds it first.
# Arguments: FLOWCHART WORK_FOLDER TIMEOUT_SECONDS
import math, os, subprocess, sys, time

flowchart, work, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
# Which parts to run: "runs" (the cases), "growth" (nested and sequential
# ifs), "deep" (constructs nested thousands deep), "lambdas" (lambdas
# nested in lambdas); all by default.
parts = set((sys.argv[4] if len(sys.argv) > 4 else "runs,growth,deep,lambdas").split(","))
classes = os.path.join(work, "classes")
os.makedirs(classes, exist_ok=True)
for i in range(2000):
    with open(os.path.join(classes, f"D{i}.java"), "w") as f:
        f.write(f"public class D{i} {{\n  public int m(int x) {{ return x + {i}; }}\n"
                f"  public static int s(int x) {{ return x - {i}; }}\n}}\n")


def method(name, statements):
    return f"class {name} {{\n  int run() {{\n    int total = 0;\n{statements}    return total;\n  }}\n}}\n"


def write(name, text):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write(text)
    return path


# Each created object: its creation, a call and the call's return.
created = write("Created.java", method("Created", "".join(
    f"    D{i} o{i} = new D{i}();\n    total += o{i}.m(total);\n" for i in range(334))))
static = write("Static.java", method("Static", "".join(
    f"    total += D{i % 2000}.s(total);\n" for i in range(500))))
most = write("Most.java", method("Most", "".join(
    f"    total += D{i % 2000}.s(total);\n" for i in range(10000))))
deep = write("Deep.java", "class Deep {\n  int f() {\n    return " + "(" * 1_000_000 + "1" + ")" * 1_000_000 +
             ";\n  }\n}\n")
many = write("Many.java", "class Many {\n" + "".join(f"  void m{i}() {{ }}\n" for i in range(1_000_000)) + "}\n")

ifs = {n: write(f"Ifs{n}.java", method(f"Ifs{n}", "".join(f"    if (total == {i}) total += {i};\n"
                                                         for i in range(n)))) for n in (250, 500, 950, 20000)}
nested = write("Nested.java", method("Nested", "".join(f"    {'  ' * i}if (total > {i}) {{ total++;\n" for i in range(300)) +
                                     "".join("    }\n" for _ in range(300))))

runs = (
    ("draw: 250 ifs in a row", ["draw", ifs[250], "run"]),
    ("draw: 500 ifs in a row", ["draw", ifs[500], "run"]),
    ("draw: 950 ifs (1,904 boxes)", ["draw", ifs[950], "run"]),
    ("draw: 20,000 ifs (refused)", ["draw", ifs[20000], "run"]),
    ("draw: 300 nested ifs (folded)", ["draw", nested, "run"]),
    ("sequence 1000 msgs, 334 created", ["sequence", created, "run", "--src", classes, "--max-messages", "1000"]),
    ("sequence 1000 msgs, static calls", ["sequence", static, "run", "--src", classes, "--max-messages", "1000"]),
    ("sequence 20000 msgs (the limit)", ["sequence", most, "run", "--src", classes, "--max-messages", "20000"]),
    ("list: 1e6 parentheses deep", ["list", deep]),
    ("list: 1e6 methods", ["list", many]),
)
print()
if "runs" in parts:
    print(f"{'case':<34} {'seconds':>9} {'peak MiB':>9} {'exit':>5}  message")
for name, args in runs if "runs" in parts else ():
    out = os.path.join(work, "out.html")
    if args[0] in ("sequence", "draw"):
        args = args + ["-o", out]
    start = time.perf_counter()
    try:
        result = subprocess.run(["/usr/bin/time", "-f", "%M", flowchart] + args, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=limit)
    except subprocess.TimeoutExpired:
        print(f"{name:<34} {'>' + str(int(limit)):>9} {'?':>9} {'-':>5}")
        continue
    elapsed = time.perf_counter() - start
    lines = result.stderr.strip().splitlines()
    peak = int(lines[-1]) / 1024
    message = (lines[:-1] or result.stdout.strip().splitlines() or [""])[0]
    print(f"{name:<34} {elapsed:>9.2f} {peak:>9.1f} {result.returncode:>5}  {message[:90]}")


# How the time grows with the method's size: nested ifs (folded onto many
# pages) and ifs in a row (refused past the layout limit, so this is the
# cost of building the graph and planning its pages).  The growth exponent
# is the slope of log(time) over log(size) from the first size to the last.
def nested_ifs(depth):
    return method(f"Nested{depth}", "".join(f"    if (total > {i}) {{ total++;\n" for i in range(depth)) +
                  "".join("    }\n" for _ in range(depth)))


def sequential_ifs(count):
    return method(f"Row{count}", "".join(f"    if (total == {i}) total += {i};\n" for i in range(count)))


def draw_timed(path, form, rounds=1):
    """flowchart draw of the method `run` to out.FORM: the best time of the
    rounds, the largest peak memory in MiB and the exit code; None when a
    run takes longer than the limit."""
    best, peak, code = None, 0.0, 0
    for _ in range(rounds):
        start = time.perf_counter()
        try:
            result = subprocess.run(["/usr/bin/time", "-f", "%M", flowchart, "draw", path, "run", "-o",
                                     os.path.join(work, "out." + form)], stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True, timeout=limit)
        except subprocess.TimeoutExpired:
            return None
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, int(result.stderr.strip().splitlines()[-1]) / 1024)
        code = result.returncode
    return best, peak, code


def growth(label, width, sizes, source, form, rounds=1, drawn_only=False, of_memory=False):
    """A table of draw_timed over the sizes (source(size) gives the file),
    and the growth exponent of the time (or the peak memory) from the
    first size to the last, of the runs that drew (with drawn_only)."""
    print()
    print(f"{label:<{width}} {'seconds':>9} {'peak MiB':>9} {'exit':>5}")
    points = []
    for size in sizes:
        measured = draw_timed(source(size), form, rounds)
        if measured is None:
            print(f"{size:<{width}} {'>' + str(int(limit)):>9} {'?':>9} {'-':>5}")
            continue
        elapsed, peak, code = measured
        print(f"{size:<{width}} {elapsed:>9.2f} {peak:>9.1f} {code:>5}")
        if code == 0 or not drawn_only:
            points.append((size, peak if of_memory else elapsed))
    if len(points) >= 2:
        (n0, v0), (n1, v1) = points[0], points[-1]
        what = "memory growth exponent" if of_memory else "growth exponent"
        print(f"{what} {math.log(v1 / v0) / math.log(n1 / n0):.2f} ({n0:,} to {n1:,})")


for label, make, sizes in (("nested ifs, depth", nested_ifs, (200, 400, 800, 1600, 3200)),
                           ("ifs in a row", sequential_ifs, (1000, 4000, 16000, 64000))) if "growth" in parts else ():
    growth(label, 20, sizes, lambda size: write(f"Grow{size}.java", make(size)), "html")


# Constructs nested thousands deep, as generated code has them: the graph
# alone (-o OUT.json), whose building once recursed on the machine stack
# (and crashed past about 7,000 levels) and walked an else-if chain once
# per branch.  The best of three runs; the exponent over the sizes drawn.
def deep(shape, n):
    lines = lambda count, line: "".join(f"    {line(i)}\n" for i in range(count))
    if shape == "else-if chain":
        body = "    if (total == 0) total = 0;\n" + lines(n - 1, lambda i: f"else if (total == {i + 1}) total = {i + 1};")
    elif shape == "nested ifs":
        body = lines(n, lambda i: f"if (total > {i}) {{") + "    total++;\n" + lines(n, lambda i: "}")
    elif shape == "nested trys":
        body = (lines(n, lambda i: "try {") + "    total++;\n" +
                lines(n, lambda i: f"}} catch (RuntimeException e{i}) {{ total--; }}"))
    else:
        body = lines(n, lambda i: f"l{i}: while (total > {i}) {{") + "    total++; break l0;\n" + lines(n, lambda i: "}")
    return method(f"Deep{n}", body)


for shape in ("else-if chain", "nested ifs", "nested trys", "labelled loops") if "deep" in parts else ():
    growth(shape + ", -o .json", 28, (1000, 2000, 4000, 8000),
           lambda size: write(f"Deep{size}.java", deep(shape, size)), "json", rounds=3, drawn_only=True)


# Lambdas nested in lambdas, each a graph and a page of its own: the peak
# memory of the graph (-o OUT.json) and of the drawing (HTML) at 1,000 to
# 8,000 levels (500 to 2,000 for the drawing), with the memory's growth
# exponent.  A statement's text once held every lambda inside it, so that
# the texts grew as the square of the levels.
def nested_lambdas(n):
    body = "".join(f"    Runnable r{i} = () -> {{ total++;\n" for i in range(n)) + "    };\n" * n
    return method(f"Lambdas{n}", body).replace("int total = 0;", "int[] box = {0};").replace("total", "box[0]")


for form, sizes in (("json", (1000, 2000, 4000, 8000)), ("html", (500, 1000, 2000))) if "lambdas" in parts else ():
    growth("nested lambdas, -o ." + form, 28, sizes, lambda size: write(f"Lambdas{size}.java", nested_lambdas(size)),
           form, drawn_only=True, of_memory=True)
