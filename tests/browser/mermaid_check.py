"""Mermaid's own rendering of the Mermaid text `flowchart draw` and
`flowchart sequence` write (-o .mmd, -o .md), in the browser check's
Chromium with the npm mermaid package.

draw() writes, into OUT/mermaid: every method of the shipped examples and of
a sample of JDK classes as a .mmd beside its .json graph, each example's .md,
sequence diagrams as .mmd, a generated method too large for one Mermaid
diagram as .md, and pages showing Mermaid's picture of HashMap.putVal and of
a sequence diagram beside our own SVG.  check() renders every diagram and
block: no error, as many drawn nodes and edges as the JSON graph has (as
many messages as the command reported for a sequence), and the large
method's blocks each under GitHub's limits (50,000 characters, 500 edges:
Mermaid's own defaults, so that they render as GitHub renders them).
A method of 6,000 plain statements, which has nothing to fold, as .md
from draw and from batch --format md: its blocks, parts of its one page,
each under GitHub's limits, its last statement shown.
A method whose strings hold Mermaid's own syntax (a directive that would
set the dark theme, a comment) is drawn as .mmd, .md, a sequence diagram
and a diff's review comment: Mermaid shows the strings as text and does
not take the dark theme.
"""
import glob
import json
import os
import re
import subprocess
import time
import zipfile

LIMIT_CHARACTERS = 50000
LIMIT_EDGES = 500

# JDK classes whose every method is drawn, and methods drawn from others.
JDK_WHOLE = ("util/HashMap.java",)
JDK_METHODS = (
    ("util/concurrent/ThreadPoolExecutor.java", ("addWorker", "runWorker", "execute", "tryTerminate")),
    ("util/regex/Pattern.java", ("escape", "compile(String, int)", "sequence", "expr", "atom", "range", "closure")),
)


def _run(command, cwd):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True)


def _methods(flowchart, java, cwd):
    listed = _run([flowchart, "list", java, "--json"], cwd)
    if listed.returncode != 0:
        return []
    return [f"{m['name']}:{m['line']}" for m in json.loads(listed.stdout)["methods"] if m.get("body")]


def _draw_method(flowchart, java, method, folder, stem, cwd, entries):
    mmd, graph = os.path.join(folder, stem + ".mmd"), os.path.join(folder, stem + ".json")
    made = _run([flowchart, "draw", java, method, "-o", mmd], cwd)
    made_json = _run([flowchart, "draw", java, method, "-o", graph], cwd)
    if made.returncode != 0 or made_json.returncode != 0:
        entries.append({"name": stem, "failed": (made.stderr + made_json.stderr).strip()})
        return
    with open(graph, encoding="utf-8") as f:
        flow = json.load(f)
    with open(mmd, encoding="utf-8") as f:
        text = f.read()
    entries.append({"name": stem, "text": text, "nodes": len(flow["nodes"]), "edges": len(flow["edges"]),
                    "whole": True})


def _markdown_blocks(path):
    with open(path, encoding="utf-8") as f:
        return re.findall(r"```mermaid\n(.*?)```", f.read(), re.S)


def _large_method():
    """A method with more branches than one GitHub diagram takes: loops of
    branches, as a long generated parser or state machine has them."""
    branches = "".join(f"        if (x == {i}) {{ y += {i}; }} else if (x > {i}) {{ y -= k; }}\n" for i in range(8))
    body = "".join(f"    for (int k = 0; k < x; k++) {{\n{branches}    }}\n" for _ in range(40))
    return "class Large {\n  int many(int x) {\n    int y = 0;\n" + body + "    return y;\n  }\n}\n"


# A directive Mermaid would obey wherever it stands, and a comment's mark.
HOSTILE = "%%{init: {'theme':'dark'}}%%"


def _hostile_method(extra=""):
    return ("class Hostile {\n  String run(String s) {\n"
            f"    String theme = \"{HOSTILE}\";\n"
            f"    log(\"{HOSTILE}\");\n"
            "    if (s.equals(\"%% not a comment\")) {\n      return theme;\n    }\n"
            f"{extra}    return s;\n  }}\n  void log(String s) {{ }}\n}}\n")


def _plain(flowchart, folder, src, entries):
    """A run of 6,000 statements as Markdown, from draw and from batch."""
    tree = os.path.join(folder, "plain")
    os.makedirs(tree, exist_ok=True)
    with open(os.path.join(tree, "Plain.java"), "w", encoding="utf-8") as f:
        f.write("class Plain {\n  int run() {\n    int total = 0;\n" +
                "".join(f"    total += {i};\n" for i in range(6000)) + "    return total;\n  }\n}\n")
    drawn = os.path.join(folder, "Plain.md")
    made = _run([flowchart, "draw", os.path.join(tree, "Plain.java"), "run", "-o", drawn], src)
    site = os.path.join(folder, "plain-site")
    batch = _run([flowchart, "batch", tree, "-o", site, "--format", "md", "--quiet"], src)
    for name, path, run in (("Plain.md", drawn, made),
                            ("batch Plain.run.md", os.path.join(site, "files/Plain.java/Plain.run-L2.md"), batch)):
        blocks = _markdown_blocks(path) if run.returncode == 0 and os.path.exists(path) else []
        entries += [{"name": f"{name} block {k + 1}", "text": block, "plain": name} for k, block in enumerate(blocks)] \
            if blocks else [{"name": name, "failed": run.stderr.strip() or "no Mermaid block", "plain": name}]


def _hostile(flowchart, folder, src, entries):
    """The hostile method's .mmd, .md, sequence .mmd and a diff's comment."""
    java = os.path.join(folder, "Hostile.java")
    with open(java, "w", encoding="utf-8") as f:
        f.write(_hostile_method())
    _draw_method(flowchart, java, "run", folder, "Hostile.run", src, entries)
    made = _run([flowchart, "draw", java, "run", "-o", os.path.join(folder, "Hostile.md")], src)
    entries += [{"name": f"Hostile.md block {k + 1}", "text": block}
                for k, block in enumerate(_markdown_blocks(os.path.join(folder, "Hostile.md")))] if made.returncode == 0 \
        else [{"name": "Hostile.md", "failed": made.stderr.strip()}]
    mmd = os.path.join(folder, "Hostile.run-sequence.mmd")
    made = _run([flowchart, "sequence", java, "run", "-o", mmd], src)
    counted = re.search(r"(\d+) messages?", made.stdout)
    if made.returncode == 0 and counted:
        with open(mmd, encoding="utf-8") as f:
            entries.append({"name": "Hostile.run-sequence", "text": f.read(), "messages": int(counted.group(1))})
    else:
        entries.append({"name": "Hostile.run-sequence", "failed": made.stderr.strip()})
    for side, extra in (("old", ""), ("new", f"    log(\"{HOSTILE} again\");\n")):
        os.makedirs(os.path.join(folder, "hostile-" + side), exist_ok=True)
        with open(os.path.join(folder, "hostile-" + side, "Hostile.java"), "w", encoding="utf-8") as f:
            f.write(_hostile_method(extra))
    review = os.path.join(folder, "hostile-review.md")
    made = _run([flowchart, "diff", os.path.join(folder, "hostile-old"), os.path.join(folder, "hostile-new"),
                 "-o", review], src)
    blocks = _markdown_blocks(review) if made.returncode == 0 else []
    entries += [{"name": f"hostile-review.md block {k + 1}", "text": block} for k, block in enumerate(blocks)] \
        if blocks else [{"name": "hostile-review.md", "failed": made.stderr.strip() or "no Mermaid block"}]
    for entry in entries:
        if entry["name"].startswith(("Hostile", "hostile")):
            entry["hostile"] = HOSTILE


def _referring_method():
    """A call whose callee makes more calls than a page holds: drawn as an
    interaction use (ref) of the callee, which Mermaid has no word for."""
    calls = "".join(f"    step({i});\n" for i in range(70))
    return ("class Refs {\n  void run() {\n    prepare();\n    busy();\n  }\n"
            "  void prepare() { step(0); }\n  void busy() {\n" + calls + "  }\n  void step(int i) {}\n}\n")


def draw(args, out):
    folder = os.path.join(out, "mermaid")
    os.makedirs(folder, exist_ok=True)
    flowchart, src = args.flowchart, args.source_dir
    entries = []  # diagrams with what they must show
    files = sorted(glob.glob(os.path.join(src, "tests/fixtures/examples/java/*.java")))
    samples = [(java, _methods(flowchart, java, src)) for java in files]
    if os.path.isfile(args.jdk_sources):
        tree = os.path.join(out, "mermaid-jdk")
        wanted = [f"java.base/java/{name}" for name in JDK_WHOLE] + \
                 [f"java.base/java/{name}" for name, _ in JDK_METHODS]
        with zipfile.ZipFile(args.jdk_sources) as archive:
            archive.extractall(tree, wanted)
        base = os.path.join(tree, "java.base/java")
        for name in JDK_WHOLE:
            java = os.path.join(base, name)
            samples.append((java, _methods(flowchart, java, src)))
        for name, methods in JDK_METHODS:
            samples.append((os.path.join(base, name), list(methods)))
    for java, methods in samples:
        stem = os.path.splitext(os.path.basename(java))[0]
        for method in methods:
            _draw_method(flowchart, java, method, folder, f"{stem}.{method.replace(':', '-')}", src, entries)
        # The examples' documents; the JDK's would repeat its .mmd files.
        if java in files:
            document = os.path.join(folder, stem + ".md")
            made = _run([flowchart, "draw", java, "-o", document], src)
            if made.returncode != 0:
                entries.append({"name": stem + ".md", "failed": made.stderr.strip()})
            for k, block in enumerate(_markdown_blocks(document) if made.returncode == 0 else []):
                entries.append({"name": f"{stem}.md block {k + 1}", "text": block})

    large = os.path.join(folder, "Large.java")
    with open(large, "w", encoding="utf-8") as f:
        f.write(_large_method())
    made = _run([flowchart, "draw", large, "many", "-o", os.path.join(folder, "Large.md")], src)
    blocks = _markdown_blocks(os.path.join(folder, "Large.md")) if made.returncode == 0 else []
    for k, block in enumerate(blocks):
        entries.append({"name": f"Large.md block {k + 1}", "text": block, "limited": True})
    large_edges = 0
    if made.returncode == 0 and _run([flowchart, "draw", large, "many", "-o", large + ".json"], src).returncode == 0:
        with open(large + ".json", encoding="utf-8") as f:
            large_edges = len(json.load(f)["edges"])

    refs = os.path.join(folder, "Refs.java")
    with open(refs, "w", encoding="utf-8") as f:
        f.write(_referring_method())
    for stem, java, method, extra in (
            ("Shop.checkout-sequence", "tests/fixtures/sequence/Shop.java", "checkout",
             ["--depth", "2", "--src", "tests/fixtures/sequence"]),
            ("Refs.run-sequence", refs, "run", ["--depth", "2"]),
            ("Checkout.total-sequence", "tests/fixtures/examples/java/Checkout.java", "total", [])):
        mmd = os.path.join(folder, stem + ".mmd")
        made = _run([flowchart, "sequence", java, method, "-o", mmd] + extra, src)
        _run([flowchart, "sequence", java, method, "-o", os.path.join(folder, stem + ".svg")] + extra, src)
        counted = re.search(r"(\d+) messages?", made.stdout)
        if made.returncode != 0 or not counted:
            entries.append({"name": stem, "failed": made.stderr.strip()})
            continue
        with open(mmd, encoding="utf-8") as f:
            entries.append({"name": stem, "text": f.read(), "messages": int(counted.group(1))})

    _plain(flowchart, folder, src, entries)
    _hostile(flowchart, folder, src, entries)

    modules = os.path.join(args.node_modules, "mermaid/dist/mermaid.min.js") if args.node_modules else ""
    with open(os.path.join(folder, "render.html"), "w", encoding="utf-8") as f:
        f.write(_render_page(modules, entries))
    # Side by side: Mermaid's picture and ours.
    pairs = []
    if os.path.isfile(args.jdk_sources):
        java = os.path.join(out, "mermaid-jdk/java.base/java/util/HashMap.java")
        _run([flowchart, "draw", java, "putVal", "-o", os.path.join(folder, "HashMap.putVal.svg")], src)
        _run([flowchart, "draw", java, "putVal", "-o", os.path.join(folder, "HashMap.putVal.mmd")], src)
        pairs.append(("putval", "HashMap.putVal"))
    pairs.append(("sequence", "Shop.checkout-sequence"))
    for name, stem in pairs:
        if not os.path.exists(os.path.join(folder, stem + ".mmd")):
            continue
        with open(os.path.join(folder, stem + ".mmd"), encoding="utf-8") as f:
            text = f.read()
        with open(os.path.join(folder, f"side-by-side-{name}.html"), "w", encoding="utf-8") as f:
            f.write(_side_by_side_page(modules, text, stem + ".svg"))
    with open(os.path.join(folder, "expected.json"), "w", encoding="utf-8") as f:
        json.dump({"large_blocks": len(blocks), "large_edges": large_edges, "pairs": [p[0] for p in pairs]}, f)


def _render_page(mermaid_js, entries):
    return """<!DOCTYPE html><html><head><meta charset="utf-8"><title>Mermaid</title>
<script src="file://%s"></script></head><body><div id="scratch"></div>
<script>
const entries = %s;
window.results = null;
// Mermaid draws a self loop as three paths, each id its edge's and a suffix.
const edgeCount = s => new Set([...s.querySelectorAll('path.flowchart-link')]
    .map(p => p.id.replace(/-cyclic-special-.*$/, ''))).size;
// After the load event, a diagram a task, so that the page answers while it draws.
window.addEventListener('load', () => setTimeout(async () => {
  const results = [];
  if (typeof mermaid === 'undefined') { window.results = 'mermaid did not load'; return; }
  mermaid.initialize({startOnLoad: false, securityLevel: 'strict'});
  for (let i = 0; i < entries.length; i++) {
    await new Promise(resolve => setTimeout(resolve, 0));
    const e = entries[i];
    if (e.failed !== undefined) { results.push({name: e.name, error: 'not written: ' + e.failed}); continue; }
    // Whole graphs may be over GitHub's limits; blocks of a document must not be.
    mermaid.initialize({startOnLoad: false, securityLevel: 'strict',
                        maxTextSize: e.whole || e.messages ? 10000000 : %d,
                        maxEdges: e.whole || e.messages ? 100000 : %d});
    try {
      const {svg} = await mermaid.render('d' + i, e.text);
      const holder = document.getElementById('scratch');
      holder.innerHTML = svg;
      const s = holder.querySelector('svg');
      results.push({name: e.name, characters: e.text.length, limited: !!e.limited,
                    nodes: s.querySelectorAll('g.node').length, wantNodes: e.nodes,
                    edges: edgeCount(s), wantEdges: e.edges,
                    messages: s.querySelectorAll('text.messageText').length, wantMessages: e.messages,
                    // The dark theme's colours in the diagram's own style;
                    // the code's text among what it shows.
                    hostile: e.hostile ? {dark: /#1f2020/i.test(svg), light: /#ececff/i.test(svg),
                                          shows: s.textContent.includes(e.hostile)} : null,
                    plain: e.plain, last: s.textContent.includes('total += 5999;'),
                    error: s.querySelector('.error-icon') ? 'drawn as an error' : ''});
      holder.innerHTML = '';
    } catch (error) {
      results.push({name: e.name, error: String(error && error.message || error)});
    }
  }
  window.results = results;
}, 0));
</script></body></html>
""" % (mermaid_js, json.dumps(entries), LIMIT_CHARACTERS, LIMIT_EDGES)


def rendered(page, name, seconds):
    """Opens a page of Mermaid renderings and answers its window.results
    once its script has set them (None when it has not in time)."""
    page.open(name)
    end = time.monotonic() + seconds
    while not page.evaluate("window.results !== null") and time.monotonic() < end:
        time.sleep(0.25)
    return page.evaluate("window.results")


def _side_by_side_page(mermaid_js, text, ours):
    return """<!DOCTYPE html><html><head><meta charset="utf-8"><title>Mermaid beside ours</title>
<style>body{margin:0;font-family:sans-serif;display:flex;gap:16px;align-items:flex-start}
div.half{flex:1;min-width:0;padding:8px} div.half svg, div.half img{width:100%%;height:auto;max-width:none}
h2{font-size:16px;margin:4px 0}</style>
<script src="file://%s"></script></head><body>
<div class="half"><h2>Mermaid 11 rendering of our .mmd</h2><div id="mermaid"></div></div>
<div class="half"><h2>Our drawing (SVG)</h2><img src="%s" alt="our drawing"></div>
<script>
window.drawn = null;
window.addEventListener('load', () => setTimeout(async () => {
  mermaid.initialize({startOnLoad: false, securityLevel: 'strict', maxTextSize: 10000000, maxEdges: 100000});
  try { const {svg} = await mermaid.render('side', %s); document.getElementById('mermaid').innerHTML = svg;
        window.drawn = 'ok'; }
  catch (error) { window.drawn = String(error); }
}, 0));
</script></body></html>
""" % (mermaid_js, ours, json.dumps(text))


def check(page, check):
    folder = os.path.join(page.out, "mermaid")
    if not os.path.exists(os.path.join(folder, "render.html")):
        check(False, "the Mermaid texts were drawn")
        return
    print("mermaid/render.html")
    with open(os.path.join(folder, "expected.json"), encoding="utf-8") as f:
        expected = json.load(f)
    # Some hundred diagrams take Mermaid longer than one step's wait.
    results = rendered(page, "mermaid/render.html", 150)
    if not isinstance(results, list):
        check(False, f"Mermaid rendered the diagrams: {results!r}")
        return
    failed = [r for r in results if r.get("error")]
    check(not failed, f"Mermaid renders all {len(results)} diagrams without an error"
                      + (f": {failed[:3]}" if failed else ""))
    graphs = [r for r in results if r.get("wantNodes") is not None and not r.get("error")]
    wrong = [r for r in graphs if r["nodes"] != r["wantNodes"] or r["edges"] != r["wantEdges"]]
    check(graphs and not wrong, f"each of {len(graphs)} flowcharts draws as many nodes and edges as its JSON graph"
                                + (f": {wrong[:3]}" if wrong else ""))
    sequences = [r for r in results if r.get("wantMessages") is not None and not r.get("error")]
    wrong = [r for r in sequences if r["messages"] != r["wantMessages"]]
    check(sequences and not wrong, f"each of {len(sequences)} sequence diagrams draws every message"
                                   + (f": {wrong}" if wrong else ""))
    limited = [r for r in results if r.get("limited")]
    over = [r for r in limited if r.get("error") or r["characters"] > LIMIT_CHARACTERS or r["edges"] > LIMIT_EDGES]
    check(expected["large_edges"] > LIMIT_EDGES and len(limited) == expected["large_blocks"] > 1 and not over,
          f"a method of {expected['large_edges']} edges gives {len(limited)} blocks, each under GitHub's limits"
          + (f": {over}" if over else ""))
    for source in ("Plain.md", "batch Plain.run.md"):
        parts = [r for r in results if r.get("plain") == source]
        over = [r for r in parts if r.get("error") or r["characters"] > LIMIT_CHARACTERS or r["edges"] > LIMIT_EDGES]
        check(len(parts) > 1 and not over and sum(1 for r in parts if r["last"]) == 1,
              f"{source}: 6,000 plain statements give {len(parts)} blocks, each under GitHub's limits, the last "
              f"statement in one" + (f": {over}" if over else ""))
    hostile = [r for r in results if r.get("hostile")]
    obeyed = [(r["name"], r["hostile"]) for r in hostile
              if r["hostile"]["dark"] or not r["hostile"]["light"] or not r["hostile"]["shows"]]
    check(len(hostile) >= 4 and not obeyed,
          f"each of {len(hostile)} diagrams of code holding {HOSTILE!r} shows it as text, in the default theme"
          + (f": not in {obeyed}" if obeyed else ""))
    for name in expected["pairs"]:
        page.open(f"mermaid/side-by-side-{name}.html")
        end = time.monotonic() + 60
        while not page.evaluate("window.drawn !== null && document.querySelector('img').complete") \
                and time.monotonic() < end:
            time.sleep(0.25)
        drawn = page.evaluate("window.drawn")
        check(drawn == "ok", f"side by side ({name}): Mermaid drew it ({drawn})")
        page.screenshot(f"mermaid-side-by-side-{name}.png")
