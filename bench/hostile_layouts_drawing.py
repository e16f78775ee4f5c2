#!/usr/bin/env python3
# The mode-17 half of bench/hostile_layouts, which builds the engine first.
# Arguments: ENGINE WORK_FOLDER FLOWCHART_TEMPLATE TIMEOUT_SECONDS
import os, subprocess, sys, time

engine, work, template, limit = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])

# Drawn shapes are 0.75 of the layout's inches: 13333.34 layout inches
# make a 10,000-inch shape.
HUGE = 13333.34


def huge_node():
    side = HUGE * 72  # points
    return (
        'digraph "huge" {\n'
        f'  graph [bb="0,0,{side + 200:.0f},{side + 200:.0f}"];\n'
        f'  "s" [CONCEPTID="start", label="huge", pos="{side / 2:.0f},{side + 180:.0f}", width="0.75", height="0.5"];\n'
        f'  "b" [CONCEPTID="block", label="big", pos="{side / 2:.0f},{side / 2 + 100:.0f}", width="{HUGE}", height="{HUGE}"];\n'
        f'  "e" [CONCEPTID="end", label="end", pos="{side / 2:.0f},20", width="0.75", height="0.5"];\n'
        '  "s" -> "b" [color="black", tip="none", dir="forward"];\n'
        '  "b" -> "e" [color="black", tip="none", dir="forward"];\n'
        '  "s" -> "e" [color="black", tip="none", dir="forward"];\n'
        "}\n")


def long_word():
    word = "w" * 300_000
    return (
        'digraph "word" {\n'
        '  graph [bb="0,0,300,300"];\n'
        '  "s" [CONCEPTID="start", label="word", pos="150,280", width="0.75", height="0.5"];\n'
        f'  "b" [CONCEPTID="block", label="{word}", pos="150,150", width="1.5", height="0.5"];\n'
        '  "e" [CONCEPTID="end", label="end", pos="150,20", width="0.75", height="0.5"];\n'
        '  "s" -> "b" [color="black", tip="none", dir="forward"];\n'
        '  "b" -> "e" [color="black", tip="none", dir="forward"];\n'
        "}\n")


print(f"{'layout':<10} {'save':<5} {'seconds':>9} {'peak MiB':>9} {'exit':>5}")
for name, text in (("huge-node", huge_node()), ("long-word", long_word())):
    layout = os.path.join(work, name + ".tmp")
    with open(layout, "w") as f:
        f.write(text)
    folder = os.path.join(work, name)
    os.makedirs(folder, exist_ok=True)
    for extension in ("svg", "html", "xml"):
        save = os.path.join(work, f"{name}.{extension}")
        start = time.perf_counter()
        try:
            result = subprocess.run(["/usr/bin/time", "-f", "%M", engine, "17", layout, folder,
                                     template, "", save],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                    timeout=limit)
        except subprocess.TimeoutExpired:
            print(f"{name:<10} {extension:<5} {'>' + str(int(limit)):>9} {'?':>9} {'-':>5}")
            continue
        elapsed = time.perf_counter() - start
        peak = int(result.stderr.strip().splitlines()[-1]) / 1024
        print(f"{name:<10} {extension:<5} {elapsed:>9.2f} {peak:>9.1f} {result.returncode:>5}")
