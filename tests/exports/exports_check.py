#!/usr/bin/python3
"""The exports other programs read, checked by those programs.

plantuml: every .puml `flowchart draw` and `flowchart sequence` write for
the shipped examples and tests/fixtures/plantuml (every method) and, when
Debian's openjdk-17-source is installed, for every method of a sample of
JDK classes, read by Debian's `plantuml -syntax`: no error, and an
activity diagram for each flowchart (one per graph: the method's and each
lambda's), a sequence diagram for each sequence; then drawn by `plantuml
-tsvg`: no error page, every box's statement among the texts drawn, and
the fixtures' flow as the code has it (k's return drawn in the branch its
if takes, no jump drawn where the syntax has a construct for it).

pictures: PNG and PDF of flowcharts and sequence diagrams: the PNG is twice
the SVG's size; `pdftotext` finds a statement's text, `pdfinfo` as many
pages as the drawing has, each the size of its page in the SVG (of a
method folded onto 81 pages, none over PDF's 14,400 points); both are
byte-identical on a second run.  The command starts without librsvg and
cairo (ldd lists neither); a copy of it without its plug-in still writes
SVG, and refuses PNG with exit code 1 and a message naming the plug-in.

Exits 77 (skipped) when the program it needs is missing.
"""
import html
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

SKIPPED = 77
JDK_SOURCES = "/usr/lib/jvm/openjdk-17/lib/src.zip"
# Every method of these; Pattern.java's hundreds of small methods add
# little but time.
JDK_CLASSES = ("java/util/HashMap.java", "java/util/concurrent/ThreadPoolExecutor.java")


def run(command, **extra):
    return subprocess.run(command, capture_output=True, text=True, **extra)


def methods_of(flowchart, java):
    listed = run([flowchart, "list", java, "--json"])
    assert listed.returncode == 0, listed.stderr
    return [(m["name"], m["line"]) for m in json.loads(listed.stdout)["methods"] if m.get("body")]


def check_plantuml(flowchart, source_dir, work):
    if shutil.which("plantuml") is None:
        print("plantuml is missing (Debian plantuml): skipped")
        return SKIPPED
    files = [os.path.join(source_dir, folder, f) for folder in ("tests/fixtures/examples/java", "tests/fixtures/plantuml")
             for f in sorted(os.listdir(os.path.join(source_dir, folder)))]
    if os.path.isfile(JDK_SOURCES):
        with zipfile.ZipFile(JDK_SOURCES) as archive:
            archive.extractall(work, [f"java.base/{name}" for name in JDK_CLASSES])
        files += [os.path.join(work, "java.base", name) for name in JDK_CLASSES]
    else:
        print(f"{JDK_SOURCES} missing: the JDK sample is left out")
    expected = []  # (file, kind) for each diagram, in order
    texts = []
    drawn = []  # (.puml, its graph's JSON, the Java file) of each flowchart
    failures = 0
    for java in files:
        for name, line in methods_of(flowchart, java):
            puml = os.path.join(work, f"{os.path.basename(java)}.{name}.{line}.puml")
            made = run([flowchart, "draw", java, f"{name}:{line}", "-o", puml])
            if made.returncode != 0:
                print(f"FAIL: draw {java} {name}:{line} -o .puml: {made.stderr.strip()}")
                failures += 1
                continue
            graph = run([flowchart, "draw", java, f"{name}:{line}", "-o", puml + ".json"])
            with open(puml + ".json", encoding="utf-8") as f:
                graphs = len(json.load(f)["pages"])
            with open(puml, encoding="utf-8") as f:
                texts.append(f.read())
            expected += [(puml, "ACTIVITY")] * graphs
            drawn.append((puml, puml + ".json", java))
    sequences = [(os.path.join(source_dir, "tests/fixtures/sequence/Shop.java"), "checkout"),
                 (os.path.join(source_dir, "tests/fixtures/examples/java/Checkout.java"), "total")]
    if os.path.isfile(JDK_SOURCES):
        sequences += [(os.path.join(work, "java.base/java/util/HashMap.java"), "putVal"),
                      (os.path.join(work, "java.base/java/util/concurrent/ThreadPoolExecutor.java"), "addWorker")]
    for java, method in sequences:
        puml = os.path.join(work, f"{os.path.basename(java)}.{method}.sequence.puml")
        made = run([flowchart, "sequence", java, method, "--depth", "2", "--src", os.path.dirname(java), "-o", puml])
        if made.returncode != 0:
            print(f"FAIL: sequence {java} {method} -o .puml: {made.stderr.strip()}")
            failures += 1
            continue
        with open(puml, encoding="utf-8") as f:
            texts.append(f.read())
        expected.append((puml, "SEQUENCE"))
    # One Java machine reads every diagram: -pipe answers for each in turn.
    read = run(["plantuml", "-syntax", "-pipe"], input="".join(texts))
    kinds = [line for line in read.stdout.splitlines()
             if line in ("ACTIVITY", "SEQUENCE", "ERROR", "DESCRIPTION", "CLASS", "STATE", "UNKNOWN")]
    if len(kinds) != len(expected):
        print(f"FAIL: plantuml answered for {len(kinds)} diagrams of {len(expected)}")
        failures += 1
    wrong = [(file, want, got) for (file, want), got in zip(expected, kinds) if want != got]
    for file, want, got in wrong[:10]:
        print(f"FAIL: {file}: plantuml reads {got}, not {want}")
    failures += len(wrong)
    activity = sum(1 for _, kind in expected if kind == "ACTIVITY")
    print(f"plantuml -syntax: {len(kinds) - len(wrong)} of {len(expected)} diagrams read as their kind "
          f"({activity} activity, {len(expected) - activity} sequence)")
    failures += check_drawn(work, drawn, [file for file, kind in expected if kind == "SEQUENCE"])
    return 1 if failures else 0


def svg_texts(path):
    """Each text the SVG draws: (text, x, y, width)."""
    with open(path, encoding="utf-8") as f:
        svg = f.read()
    found = []
    for attributes, text in re.findall(r"<text([^>]*)>([^<]*)</text>", svg):
        number = lambda name: float((re.search(name + r'="([-\d.]+)"', attributes) or [0, 0])[1])
        found.append((html.unescape(text).replace("\xa0", " "), number(" x"), number(" y"), number("textLength")))
    return found


def svg_boxes(path):
    """Each rectangle the SVG draws: (left, top, width, height)."""
    with open(path, encoding="utf-8") as f:
        svg = f.read()
    boxes = []
    for attributes in re.findall(r"<rect([^>]*)/?>", svg):
        number = lambda name: float((re.search(" " + name + r'="([-\d.]+)"', attributes) or [0, 0])[1])
        boxes.append((number("x"), number("y"), number("width"), number("height")))
    return boxes


def squashed(text):
    return re.sub(r"\s+", "", text)


def check_drawn(work, drawn, sequences):
    """Draws every diagram with plantuml -tsvg (one Java process) and checks what it draws."""
    out = os.path.join(work, "svg")
    os.makedirs(out, exist_ok=True)
    pumls = [puml for puml, _, _ in drawn] + sequences
    made = run(["plantuml", "-tsvg", "-o", out] + pumls)
    failures = 0 if made.returncode == 0 else 1
    if made.returncode != 0:
        print(f"FAIL: plantuml -tsvg exits {made.returncode}: {made.stderr.strip()[:300]}")
    pictures = {}
    for puml in pumls:
        stem = os.path.splitext(os.path.basename(puml))[0]
        pictures[puml] = sorted(os.path.join(out, f) for f in os.listdir(out)
                                if f == stem + ".svg" or re.fullmatch(re.escape(stem) + r"_\d{3}\.svg", f))
    errors = [puml for puml in pumls if not pictures[puml] or any(
        "An error has occured" in text or "Syntax Error" in text
        for picture in pictures[puml] for text, *_ in svg_texts(picture))]
    for puml in errors[:10]:
        print(f"FAIL: plantuml draws an error page for {puml}")
    failures += len(errors)
    # Each box's first statement line among the texts drawn, blanks aside
    # (PlantUML's lines break where ours do).
    missing = []
    for puml, graph, _ in drawn:
        texts = squashed(" ".join(text for picture in pictures[puml] for text, *_ in svg_texts(picture)))
        with open(graph, encoding="utf-8") as f:
            nodes = json.load(f)["nodes"]
        for node in nodes:
            if node["kind"] in ("start", "end", "exit") or not node["text"]:
                continue
            if squashed(node["text"].split("\n")[0])[:40] not in texts:
                missing.append(f"{puml}: {node['id']} {node['text'][:60]!r}")
    for line in missing[:10]:
        print(f"FAIL: not drawn: {line}")
    failures += len(missing)
    print(f"plantuml -tsvg: {len(pumls) - len(errors)} of {len(pumls)} files drawn without an error page, "
          f"{len(missing)} boxes' statements missing")
    fixtures = {os.path.basename(puml).split(".")[2]: pictures[puml] for puml, _, java in drawn
                if java.endswith("tests/fixtures/plantuml/Lowering.java")}
    if fixtures:
        failures += check_lowering(fixtures)
    return failures


def check_lowering(pictures):
    """The fixtures' flow as PlantUML draws it."""
    failures = 0

    def check(ok, what):
        nonlocal failures
        print(("ok:   " if ok else "FAIL: ") + what)
        failures += 0 if ok else 1

    # k: the if's "yes" way leads into the box of `return x` (the box the
    # label stands above), not past the branches' meeting point.
    texts = svg_texts(pictures["k"][0])
    condition = next((t for t in texts if t[0] == "if (e == x)"), None)
    answer = next((t for t in texts if t[0] == "return x"), None)
    yes = min((t for t in texts if t[0] == "yes" and condition and t[2] > condition[2]), key=lambda t: t[2],
              default=None)
    below = [b for b in svg_boxes(pictures["k"][0]) if yes and b[1] >= yes[2] and b[0] <= yes[1] <= b[0] + b[2]]
    into = min(below, key=lambda b: b[1], default=None)
    check(bool(condition and answer and into and into[0] <= answer[1] <= into[0] + into[2] and
               into[1] <= answer[2] <= into[1] + into[3]),
          "k: the if's yes way leads into `return x`, inside the loop's round")
    for name, files in sorted(pictures.items()):
        jumps = [text for picture in files for text, *_ in svg_texts(picture) if "goes on at" in text]
        check(not jumps, f"{name}: no jump drawn as a note ({jumps[:2]})")
    return failures


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG"
    return struct.unpack(">II", head[16:24])


def svg_size(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read(2000)
    found = re.search(r'<svg[^>]* width="([\d.]+)" height="([\d.]+)"', text)
    return float(found.group(1)), float(found.group(2))


def check_pictures(flowchart, source_dir, work):
    if shutil.which("pdftotext") is None or shutil.which("pdfinfo") is None:
        print("pdftotext or pdfinfo is missing (Debian poppler-utils): skipped")
        return SKIPPED
    failures = 0

    def check(ok, what):
        nonlocal failures
        print(("ok:   " if ok else "FAIL: ") + what)
        failures += 0 if ok else 1

    checkout = os.path.join(source_dir, "tests/fixtures/examples/java/Checkout.java")
    # A method of 80 loops, each a page of its own folded.
    loops = os.path.join(work, "Loops.java")
    with open(loops, "w", encoding="utf-8") as f:
        f.write("class Loops {\n  void run(int[] a) {\n" + "".join(
            f"    for (int i{k} = 0; i{k} < a.length; i{k}++) {{ a[i{k}] += {k}; a[0]--; }}\n" for k in range(80)) +
            "  }\n}\n")
    # Its PNG would be too tall: it is left out.
    cases = (("flowchart", ["draw", checkout, "total", "--fold", "all"], "receipt.add(\"paid in cash\");"),
             ("sequence", ["sequence", os.path.join(source_dir, "tests/fixtures/sequence/Shop.java"), "checkout",
                           "--depth", "2", "--src", os.path.join(source_dir, "tests/fixtures/sequence")],
              "validate(item, count)"),
             ("loops", ["draw", loops, "run", "--fold", "all"], "a[i79] += 79;"))
    for name, command, statement in cases:
        outputs = {}
        forms = ("svg", "pdf") if name == "loops" else ("svg", "png", "pdf")
        for form in forms:
            for attempt in (1, 2):
                path = os.path.join(work, f"{name}-{attempt}.{form}")
                made = run([flowchart] + command + ["-o", path])
                check(made.returncode == 0, f"{name} -o .{form} (run {attempt}) {made.stderr.strip()}")
                with open(path, "rb") as f:
                    outputs[(form, attempt)] = f.read()
            check(outputs[(form, 1)] == outputs[(form, 2)], f"{name}: .{form} byte-identical on two runs")
        if "png" in forms:
            width, height = svg_size(os.path.join(work, f"{name}-1.svg"))
            got = png_size(os.path.join(work, f"{name}-1.png"))
            check(got == (math.ceil(2 * width), math.ceil(2 * height)),
                  f"{name}: the PNG is {got[0]} x {got[1]}, twice the SVG's {width} x {height}")
        pdf = os.path.join(work, f"{name}-1.pdf")
        text = run(["pdftotext", pdf, "-"]).stdout
        check(statement in text, f"{name}: pdftotext finds {statement!r} in the PDF")
        pages = re.search(r"^Pages:\s+(\d+)", run(["pdfinfo", pdf]).stdout, re.M)
        with open(os.path.join(work, f"{name}-1.svg"), encoding="utf-8") as f:
            drawn = len(re.findall(r'<g id="page-\d+" class="page"[ >]', f.read()))
        check(pages is not None and int(pages.group(1)) == drawn > 0,
              f"{name}: the PDF has a page for each of the drawing's {drawn} pages ({pages and pages.group(1)})")
        # Each page as large as its view in the SVG (the page's title and
        # picture), in points of 1/72 inch for the SVG's pixels of 1/96.
        with open(os.path.join(work, f"{name}-1.svg"), encoding="utf-8") as f:
            views = [(float(w) * 0.75, float(h) * 0.75) for w, h in
                     re.findall(r'<view id="view-page-\d+" viewBox="[-\d.]+ [-\d.]+ ([\d.]+) ([\d.]+)"/>', f.read())]
        sizes = [tuple(map(float, found)) for found in re.findall(
            r"^Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts", run(["pdfinfo", "-f", "1", "-l", str(drawn), pdf]).stdout, re.M)]
        wrong = [(k + 1, size, view) for k, (size, view) in enumerate(zip(sizes, views))
                 if abs(size[0] - view[0]) > 0.5 or abs(size[1] - view[1]) > 0.5]
        check(len(sizes) == len(views) == drawn and not wrong,
              f"{name}: each of the PDF's {len(sizes)} pages the size of its page in the SVG ({wrong[:2]})")
        check(all(max(size) <= 14400 for size in sizes),
              f"{name}: no page over 14,400 points (largest {max((max(size) for size in sizes), default=0):.0f})")
    check_without_plugin(flowchart, work, checkout, check)
    return 1 if failures else 0


def check_without_plugin(flowchart, work, java, check):
    if shutil.which("ldd"):
        linked = run(["ldd", flowchart]).stdout
        check("librsvg" not in linked and "libcairo" not in linked,
              f"the command starts without librsvg and cairo ({len(linked.splitlines())} libraries)")
    bare = os.path.join(work, "bare")
    os.mkdir(bare)
    shutil.copy(flowchart, bare)
    command = os.path.join(bare, os.path.basename(flowchart))
    svg = run([command, "draw", java, "total", "-o", os.path.join(bare, "total.svg")])
    check(svg.returncode == 0, f"without its plug-in the command writes SVG {svg.stderr.strip()}")
    png = run([command, "draw", java, "total", "-o", os.path.join(bare, "total.png")])
    check(png.returncode == 1 and "need the raster plug-in flowchart-raster.so" in png.stderr and
          not os.path.exists(os.path.join(bare, "total.png")),
          f"without its plug-in -o .png fails with exit 1 and says why ({png.returncode}: {png.stderr.strip()})")


def main():
    what, flowchart, source_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    work = tempfile.mkdtemp(prefix="flowchart-exports-")
    try:
        return (check_plantuml if what == "plantuml" else check_pictures)(flowchart, source_dir, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
