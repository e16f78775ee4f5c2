#!/usr/bin/env python3
# The measuring half of bench/drawing, which builds the engine first.
# Arguments: ENGINE WORK_FOLDER TEMPLATES_FOLDER SIZE...
import os, resource, subprocess, sys, time

engine, work, templates = sys.argv[1:4]
sizes = [int(s) for s in sys.argv[4:]]


def flowchart_graph(n):
    """A method of n blocks: runs of statements, decisions whose two
    branches meet again, and loops with their back edges."""
    lines = ['digraph "bench" {', '  node [shape=box, fontsize=14];',
             '  "n.0" [CONCEPTID="start", label="bench"];']
    edges = []
    i, prev = 1, "n.0"
    while i < n - 1:
        kind = i % 12
        if kind == 3 and i + 3 < n - 1:
            d, t, f, j = (f"n.{i + k}" for k in range(4))
            lines += [f'  "{d}" [CONCEPTID="if", label="x{i} > 0", shape=diamond];',
                      f'  "{t}" [CONCEPTID="block", label="y += x{i};"];',
                      f'  "{f}" [CONCEPTID="blocks", label="folded {i}"];',
                      f'  "{j}" [CONCEPTID="block", label="z{i}();"];']
            edges += [(prev, d, "black", "none", "forward"), (d, t, "green", "true", "forward"),
                      (d, f, "red", "false", "forward"), (t, j, "black", "none", "forward"),
                      (f, j, "black", "none", "forward")]
            prev, i = j, i + 4
        elif kind == 8 and i + 2 < n - 1:
            h, b, e = (f"n.{i + k}" for k in range(3))
            lines += [f'  "{h}" [CONCEPTID="while", label="k{i} < m", shape=hexagon];',
                      f'  "{b}" [CONCEPTID="block", label="k{i}++;"];',
                      f'  "{e}" [CONCEPTID="end-while", label=""];']
            edges += [(prev, h, "black", "none", "forward"), (h, b, "green", "true", "forward"),
                      (b, e, "black", "none", "forward"), (h, e, "black", "none", "back")]
            prev, i = e, i + 3
        else:
            node = f"n.{i}"
            lines.append(f'  "{node}" [CONCEPTID="block", label="statement {i};"];')
            edges.append((prev, node, "black", "none", "forward"))
            prev, i = node, i + 1
    lines.append(f'  "n.{n - 1}" [CONCEPTID="end", label="end"];')
    edges.append((prev, f"n.{n - 1}", "black", "none", "forward"))
    for a, b, color, tip, direction in edges:
        lines.append(f'  "{a}" -> "{b}" [color="{color}", tip="{tip}", dir="{direction}"];')
    lines.append("}")
    return "\n".join(lines) + "\n"


def sequence_graph(n):
    """Objects with a step node per message; one message per step."""
    objects = max(2, min(20, n // 50))
    steps = max(1, n // objects - 1)
    lines = ['digraph "bench" {', '  ranksep=0.3; node [shape=box, fontsize=12];']
    for o in range(objects):
        lines.append(f'  "o.{o}" [zarncls=1, label="obj{o}:Type{o}", zarnlast="s.{o}.{steps - 1}"];')
    lines.append('  node [shape=point, width=0.05, label=""];')
    for o in range(objects):
        chain = " -> ".join([f'"o.{o}"'] + [f'"s.{o}.{s}"' for s in range(steps)])
        lines.append(f"  {chain} [style=invis];")
    for s in range(steps):
        lines.append("  { rank=same; " + " ".join(f'"s.{o}.{s}";' for o in range(objects)) + " }")
        a, b = s % objects, (s + 1) % objects
        if s % 5 == 4:
            lines.append(f'  "s.{b}.{s}" -> "s.{a}.{s}" [zarnedge=0, zarnfrom="o.{b}", '
                         f'zarnto="o.{a}", headlabel="r{s}"];')
        else:
            lines.append(f'  "s.{a}.{s}" -> "s.{b}.{s}" [zarnedge=1, zarnfrom="o.{a}", '
                         f'zarnto="o.{b}", taillabel="call{s}()"];')
    lines.append("}")
    return "\n".join(lines) + "\n"


def timed(command):
    """Wall time and the peak resident memory of one child process."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    peak_kib = int(result.stderr.strip().splitlines()[-1])
    return elapsed, peak_kib, result.returncode


def best(command, runs=3):
    results = [timed(command) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results), results[0][2]


print(f"{'graph':<10} {'nodes':>6} {'layout s':>9} {'mode s':>8} {'mode MiB':>9} "
      f"{'neato s':>8} {'neato MiB':>10} {'ratio':>6} {'exit':>5}")
rows = {}
for kind in ("flowchart", "sequence"):
    for n in sizes:
        graph = os.path.join(work, f"{kind}-{n}.dot")
        layout = os.path.join(work, f"{kind}-{n}.tmp")
        with open(graph, "w") as f:
            f.write(flowchart_graph(n) if kind == "flowchart" else sequence_graph(n))
        start = time.perf_counter()
        with open(layout, "w") as out:
            subprocess.run(["dot", "-Tdot", graph], stdout=out, check=True)
        layout_time = time.perf_counter() - start
        folder = os.path.join(work, f"{kind}-{n}")
        os.makedirs(folder, exist_ok=True)
        save = os.path.join(work, f"{kind}-{n}.svg")
        if kind == "flowchart":
            mode = [engine, "17", layout, folder, os.path.join(templates, "flowchart"), "", save]
        else:
            mode = [engine, "18", layout, folder, save, os.path.join(templates, "sequence"), "x"]
        mode_time, mode_peak, code = best(mode)
        neato_time, neato_peak, _ = best(["neato", "-n2", "-Tsvg", "-o", save + ".neato.svg", layout])
        ratio = mode_time / neato_time
        rows[(kind, n)] = mode_time
        print(f"{kind:<10} {n:>6} {layout_time:>9.2f} {mode_time:>8.3f} {mode_peak / 1024:>9.1f} "
              f"{neato_time:>8.3f} {neato_peak / 1024:>10.1f} {ratio:>6.2f} {code:>5}")
for kind in ("flowchart", "sequence"):
    if (kind, 1000) in rows and (kind, 5000) in rows:
        print(f"{kind}: 5,000 nodes take {rows[(kind, 5000)] / rows[(kind, 1000)]:.2f}x "
              f"as long as 1,000")
