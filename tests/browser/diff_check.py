"""`flowchart diff`'s reports in the browser check's Chromium.

draw() writes, into OUT/diff: three real changes, each as a Markdown report
and an HTML site (two JDK classes edited here: HashMap.putVal gains a guard
clause and a changed condition, ThreadPoolExecutor.execute an extracted
variable and a try/finally round its last steps; and a change from this
repository's own history, a call added to a fixture's method), and a
generated change too large for one Mermaid block.  check() renders every
Mermaid block of the reports with the npm mermaid package at GitHub's limits
(no error, every node declared drawn), and opens each site: the index sorts,
a method's page shows the merged flowchart and both sides' drawings, the
sides views of the merged drawing's one page and layout, chosen by the
address, each showing its own side alone (no "+" text in the base, no "\u2212" in the head, a changed node's
own text).
"""
import json
import os
import re
import shutil
import subprocess
import zipfile

import mermaid_check

# A change of this repository's history: Shop.audit called from Inventory.priceOf.
HISTORY_COMMIT = "a768d9a"
HISTORY_PATH = "tests/fixtures/sequence"

# (class file, [(text, replacement)], method page to show)
JDK_EDITS = (
    ("java.base/java/util/HashMap.java", [
        ("        Node<K,V>[] tab; Node<K,V> p; int n, i;\n        if ((tab = table) == null || (n = tab.length) == 0)\n"
         "            n = (tab = resize()).length;",
         "        Node<K,V>[] tab; Node<K,V> p; int n, i;\n        if (key == null && value == null && !evict)\n"
         "            return null;\n        if ((tab = table) == null || (n = tab.length) == 0)\n"
         "            n = (tab = resize()).length;"),
        ("        if (++size > threshold)\n            resize();\n        afterNodeInsertion(evict);",
         "        if (++size >= threshold)\n            resize();\n        afterNodeInsertion(evict);"),
    ], "putVal"),
    ("java.base/java/util/concurrent/ThreadPoolExecutor.java", [
        ("        int c = ctl.get();\n        if (workerCountOf(c) < corePoolSize) {\n            if (addWorker(command, true))",
         "        int c = ctl.get();\n        boolean underCore = workerCountOf(c) < corePoolSize;\n"
         "        if (underCore) {\n            if (addWorker(command, true))"),
        ("        if (isRunning(c) && workQueue.offer(command)) {\n            int recheck = ctl.get();\n"
         "            if (! isRunning(recheck) && remove(command))\n                reject(command);\n"
         "            else if (workerCountOf(recheck) == 0)\n                addWorker(null, false);\n        }\n"
         "        else if (!addWorker(command, false))\n            reject(command);\n",
         "        mainLock.lock();\n        try {\n"
         "        if (isRunning(c) && workQueue.offer(command)) {\n            int recheck = ctl.get();\n"
         "            if (! isRunning(recheck) && remove(command))\n                reject(command);\n"
         "            else if (workerCountOf(recheck) == 0)\n                addWorker(null, false);\n        }\n"
         "        else if (!addWorker(command, false))\n            reject(command);\n"
         "        } finally {\n            mainLock.unlock();\n        }\n"),
    ], "execute"),
)

NODE = re.compile(r"^\s+([A-Za-z_][\w-]*)\s*(\(\[|\[\[|\[/|\[\\|\[|\(\(|\(|\{\{|\{|>)", re.M)
NOT_NODES = {"class", "classDef", "linkStyle", "subgraph", "end", "style", "click"}


def _run(command, cwd):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True)


def _blocks(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return re.findall(r"```mermaid\n(.*?)```", f.read(), re.S)


def _large_change(folder):
    """Two versions of a class whose one method is too large for a Mermaid
    block on GitHub, changed in one branch among hundreds."""
    def version(changed):
        body = "".join(f"    if (x == {k if k != 150 or not changed else 9150}) {{ x += {k}; }}\n" for k in range(400))
        return f"class Big {{\n  int large(int x) {{\n{body}    return x;\n  }}\n}}\n"
    for name, changed in (("Big-old.java", False), ("Big-new.java", True)):
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(version(changed))


def draw(args, out):
    folder = os.path.join(out, "diff")
    os.makedirs(folder, exist_ok=True)
    flowchart, src = args.flowchart, args.source_dir
    changes = []  # {name, site, md, method, failed}

    def diff(name, command_args, cwd, method):
        site, md = os.path.join(folder, name), os.path.join(folder, name + ".md")
        made = _run([flowchart, "diff", "-o", site] + command_args, cwd)
        made_md = _run([flowchart, "diff", "-o", md] + command_args, cwd)
        made_json = _run([flowchart, "diff", "-o", site + ".json"] + command_args, cwd)
        failed = "" if made.returncode == made_md.returncode == made_json.returncode == 0 else (
            made.stderr + made_md.stderr + made_json.stderr).strip()
        changes.append({"name": name, "site": name, "md": name + ".md", "method": method, "failed": failed})

    if os.path.isfile(args.jdk_sources):
        with zipfile.ZipFile(args.jdk_sources) as archive:
            for path, edits, method in JDK_EDITS:
                stem = os.path.splitext(os.path.basename(path))[0]
                base, head = os.path.join(folder, stem + "-base.java"), os.path.join(folder, stem + "-head.java")
                text = archive.read(path).decode("utf-8")
                with open(base, "w", encoding="utf-8") as f:
                    f.write(text)
                for old, new in edits:
                    if old not in text:
                        changes.append({"name": stem, "failed": f"the edit of {stem} no longer applies"})
                    text = text.replace(old, new, 1)
                with open(head, "w", encoding="utf-8") as f:
                    f.write(text)
                diff(stem, [os.path.basename(base), os.path.basename(head)], folder, method)
    if _run(["git", "rev-parse", "--verify", "--quiet", HISTORY_COMMIT + "^{commit}"], src).returncode == 0:
        diff("history", [HISTORY_COMMIT + "~1", HISTORY_COMMIT, "--", HISTORY_PATH], src, "priceOf")
    _large_change(folder)
    made = _run([flowchart, "diff", "Big-old.java", "Big-new.java", "-o", "large.md"], folder)
    if made.returncode != 0:
        changes.append({"name": "large", "failed": made.stderr.strip()})

    entries = []
    for change in changes + [{"name": "large", "md": "large.md"}]:
        for k, block in enumerate(_blocks(os.path.join(folder, change.get("md", "")))):
            nodes = {m.group(1) for m in NODE.finditer(block) if m.group(1) not in NOT_NODES}
            entries.append({"name": f"{change['name']}.md block {k + 1}", "text": block, "nodes": len(nodes),
                            "large": change["name"] == "large"})
    modules = os.path.join(args.node_modules, "mermaid/dist/mermaid.min.js") if args.node_modules else ""
    with open(os.path.join(folder, "render.html"), "w", encoding="utf-8") as f:
        f.write(_render_page(modules, entries))
    with open(os.path.join(folder, "changes.json"), "w", encoding="utf-8") as f:
        json.dump(changes, f)


def _render_page(mermaid_js, entries):
    return """<!DOCTYPE html><html><head><meta charset="utf-8"><title>Mermaid of flowchart diff</title>
<script src="file://%s"></script></head><body><div id="scratch"></div>
<script>
const entries = %s;
window.results = null;
window.addEventListener('load', () => setTimeout(async () => {
  if (typeof mermaid === 'undefined') { window.results = 'mermaid did not load'; return; }
  // GitHub's limits are Mermaid's defaults: 50,000 characters, 500 edges.
  mermaid.initialize({startOnLoad: false, securityLevel: 'strict'});
  const results = [];
  for (let i = 0; i < entries.length; i++) {
    await new Promise(resolve => setTimeout(resolve, 0));
    const e = entries[i];
    try {
      const {svg} = await mermaid.render('d' + i, e.text);
      const holder = document.getElementById('scratch');
      holder.innerHTML = svg;
      const s = holder.querySelector('svg');
      results.push({name: e.name, large: e.large, nodes: s.querySelectorAll('g.node').length, wantNodes: e.nodes,
                    dashed: [...s.querySelectorAll('path.flowchart-link')].filter(
                        p => getComputedStyle(p).strokeDasharray !== 'none').length,
                    text: s.textContent, error: s.querySelector('.error-icon') ? 'drawn as an error' : ''});
      if (i < 2) document.body.insertAdjacentHTML('beforeend', '<h2>' + e.name + '</h2>' + svg);
      holder.innerHTML = '';
    } catch (error) {
      results.push({name: e.name, error: String(error && error.message || error)});
    }
  }
  window.results = results;
}, 0));
</script></body></html>
""" % (mermaid_js, json.dumps(entries))


def check(page, check):
    folder = os.path.join(page.out, "diff")
    if not os.path.exists(os.path.join(folder, "changes.json")):
        check(False, "flowchart diff's reports were made")
        return
    with open(os.path.join(folder, "changes.json"), encoding="utf-8") as f:
        changes = json.load(f)
    failed = [c for c in changes if c.get("failed")]
    check(not failed, "flowchart diff made every report" + (f": {failed}" if failed else ""))
    print("diff/render.html")
    results = mermaid_check.rendered(page, "diff/render.html", 120)
    if not isinstance(results, list):
        check(False, f"Mermaid rendered the diff reports' blocks: {results!r}")
        return
    errors = [r for r in results if r.get("error")]
    check(results and not errors, f"Mermaid renders all {len(results)} blocks of the diff reports at GitHub's limits"
                                  + (f": {errors[:3]}" if errors else ""))
    wrong = [(r["name"], r["nodes"], r["wantNodes"]) for r in results if not r.get("error") and r["nodes"] != r["wantNodes"]]
    check(not wrong, "each block draws every node it declares" + (f": {wrong}" if wrong else ""))
    unmarked = [r["name"] for r in results
                if not r.get("error") and not re.search("[+~\u2212][0-9]*[ \u00a0]", r["text"])]
    check(not unmarked, "every block's changed nodes say so in their text (+, ~, \u2212)"
                        + (f": {unmarked}" if unmarked else ""))
    # Mermaid reads a label as Markdown: a mark must not turn into a list.
    misread = [r["name"] for r in results if "Unsupported markdown" in r.get("text", "")]
    check(not misread, "no label is misread as Markdown" + (f": {misread}" if misread else ""))
    large = [r for r in results if r.get("large") and not r.get("error")]
    check(len(large) == 1 and "unchanged boxes" in large[0]["text"] and "9150" in large[0]["text"],
          "a method too large for a block shows its changed region")
    page.screenshot("diff-mermaid.png")

    for change in changes:
        if not change.get("site") or change.get("failed"):
            continue
        site = change["site"]
        page.open(f"diff/{site}/index.html")
        rows = page.evaluate("document.querySelectorAll('#changes tbody tr').length")
        link = page.evaluate("(() => { const a = [...document.querySelectorAll('#changes a')].find(a => "
                             f"a.textContent.includes('.{change['method']}(')); return a ? a.getAttribute('href') : null; }})()")
        check(rows >= 1 and link, f"{site}: the index lists {rows} methods, {change['method']} among them")
        if rows > 1:
            first = page.evaluate("document.querySelector('#changes tbody tr td:nth-child(6)').textContent")
            page.click("#changes thead th:nth-child(6)", "the ΔCC header")
            page.click("#changes thead th:nth-child(6)", "the ΔCC header")
            sorted_ = page.evaluate("document.querySelector('#changes thead th:nth-child(6)')"
                                    ".getAttribute('aria-sort')")
            check(sorted_ in ("ascending", "descending"), f"{site}: the index sorts by ΔCC (was {first!r} first)")
        if not link:
            continue
        # Tall enough that the side-by-side drawings are in view: a frame
        # out of view is not painted into the screenshot.
        page.set_window(1400, 2200)
        page.open(f"diff/{site}/{link}")
        page.settled()
        frames = page.evaluate("[...document.querySelectorAll('iframe')].map(f => f.getAttribute('src'))")
        check(len(frames) >= 2, f"{site}: the method's page holds the merged drawing and the sides ({frames})")
        page.screenshot(f"diff-{site}.png")
        _check_sides(page, check, site, link, frames)
        merged = [f for f in frames if "#" not in f]
        if merged:
            page.set_window(1400, 1000)
            page.open(f"diff/{site}/methods/{merged[0]}")
            text = page.evaluate("document.body.textContent")
            check(("+ " in text or "~ " in text), f"{site}: the merged drawing marks what changed in its texts")
            _check_changes_shown(page, check, site)
            page.screenshot(f"diff-{site}-merged.png")
        page.set_window(1280, 1000)


# The marked boxes in order, whether each lies in the view, its stroke, and the box holding the focus.
_CHANGES_SHOWN = """(() => {
  const svg = document.querySelector('main .page.shown svg');
  const [x, y, w, h] = svg.getAttribute('viewBox').split(' ').map(Number);
  const drawn = e => { for (; e; e = e.parentElement) if (getComputedStyle(e).display === 'none') return false; return true; };
  const marks = [...document.querySelectorAll('g.mark-added[data-node], g.mark-removed[data-node], g.mark-changed[data-node]')]
    .filter(drawn);
  const inView = g => { const b = g.getBBox(); return b.x + b.width > x && b.x < x + w && b.y + b.height > y && b.y < y + h; };
  const stroke = g => getComputedStyle(g.querySelector('[stroke]:not(text)')).stroke;
  const plain = document.querySelector('g.shape[data-node]:not([class*=mark-])');
  return {count: marks.length, firstInView: marks.length ? inView(marks[0]) : false,
          focused: marks.indexOf(document.activeElement), markStroke: marks.length ? stroke(marks[0]) : '',
          plainStroke: plain ? stroke(plain) : ''};
})()"""


def _check_changes_shown(page, check, site):
    """The merged drawing opens on its first change, painted otherwise than
    an unchanged box; n and p take the focus to the next and previous."""
    import access_check
    shown = page.evaluate(_CHANGES_SHOWN)
    check(shown["count"] > 0 and shown["firstInView"] and shown["markStroke"] != shown["plainStroke"],
          f"{site}: the merged drawing opens on its first change, painted apart from the others ({shown})")
    access_check.press(page, "n")
    first = page.evaluate(_CHANGES_SHOWN)["focused"]
    access_check.press(page, "n")
    second = page.evaluate(_CHANGES_SHOWN)["focused"]
    access_check.press(page, "p")
    back = page.evaluate(_CHANGES_SHOWN)["focused"]
    want = (0, 1 % shown["count"], 0)
    check((first, second, back) == want, f"{site}: n and p step through the changes ({first}, {second}, {back}; {want})")


# What a drawing page shows: the texts a reader sees, and the picture's size.
_SHOWN_TEXTS = """(() => {
  // Drawn: neither it nor anything round it is display:none (Chromium's
  // checkVisibility does not look at an SVG group's own display).
  const drawn = e => { for (; e; e = e.parentElement) if (getComputedStyle(e).display === 'none') return false; return true; };
  return {
    texts: [...document.querySelectorAll('main svg text')].filter(drawn).map(t => t.textContent),
    hidden: [...document.querySelectorAll('main svg g.shape, main svg g.connector')].filter(g => !drawn(g)).length,
    // The layout's size (the view's own box pans to each view's first change).
    box: [...document.querySelectorAll('main svg')].map(s => s.getAttribute('width') + 'x' + s.getAttribute('height'))
      .join(' ')};
})()"""


# Which shapes and texts the view's style hides, each in document order.
_HIDDEN_BY_VIEW = """[...document.querySelectorAll('main svg g.shape, main svg g.connector, main svg text')]
  .map(e => getComputedStyle(e).display === 'none')"""


def _check_sides(page, check, site, link, frames):
    """The base and head drawings are the merged one's layout, each showing
    its own side: nothing the other side has alone, a changed node's own
    text; then the page at 1400x1000 with the sides in view."""
    views = {}
    for frame in frames:
        # One page of the drawing, its view chosen by the address: none for both merged, #base or #head.
        file, _, side = frame.partition("#")
        page.open(f"diff/{site}/methods/{file}", "#" + side if side else "")
        page.settled()
        views[side or "merged"] = page.evaluate(_SHOWN_TEXTS)
        # The address alone picks the view: without scripts it hides the same.
        scripted = page.evaluate(_HIDDEN_BY_VIEW)
        page.tools.call("Emulation.setScriptExecutionDisabled", value=True)
        page.open(f"diff/{site}/methods/{file}", "#" + side if side else "")
        bare = page.evaluate(_HIDDEN_BY_VIEW)
        page.tools.call("Emulation.setScriptExecutionDisabled", value=False)
        check(bare == scripted, f"{site}: the {side or 'merged'} view hides the same "
                                f"{sum(scripted)} of {len(scripted)} shapes and texts without scripts")
    if "merged" not in views:
        return
    merged = views["merged"]
    for side, foreign in (("base", "+ "), ("head", "\u2212 ")):
        if side not in views:
            continue
        shown = views[side]
        wrong = [t for t in shown["texts"] if t.startswith(foreign)]
        check(shown["box"] == merged["box"] and not wrong,
              f"{site}: the {side} drawing is the merged layout ({shown['box'] == merged['box']}) "
              f"showing no text of the other side alone ({wrong[:3]}), {shown['hidden']} shapes hidden")
    if "base" in views and "head" in views:
        # A changed node shows the base's text in one and the head's in the other.
        changed_base = sorted(t for t in views["base"]["texts"] if t.startswith("~ "))
        changed_head = sorted(t for t in views["head"]["texts"] if t.startswith("~ "))
        changed_merged = sorted(t for t in merged["texts"] if t.startswith("~ "))
        check(changed_head == changed_merged and len(changed_base) == len(changed_head)
              and (not changed_head or changed_base != changed_head),
              f"{site}: a changed node shows each side's own text ({changed_base[:2]} / {changed_head[:2]})")
    _check_told(page, check, site, frames)
    page.set_window(1400, 1000)
    page.open(f"diff/{site}/{link}")
    page.evaluate("document.querySelector('section.sides').scrollIntoView(), true")
    page.settled()
    page.screenshot_of("section.sides", f"diff-{site}-sides.png")


# A mark that leads a node's or an arrow's text in what a reader is told.
_MARK = r"(?:^|: |; )%s "


def _told(page):
    """Every name and description in Chromium's accessibility tree of the
    page shown, its outline opened."""
    page.evaluate("document.querySelectorAll('details').forEach(d => d.open = true), true")
    page.settled()
    told = []
    for node in page.tools.call("Accessibility.getFullAXTree").get("nodes", []):
        if node.get("ignored"):
            continue
        for field in ("name", "description"):
            value = (node.get(field) or {}).get("value")
            if value:
                told.append(value)
    return told


def _check_told(page, check, site, frames):
    """In each side's view a screen reader hears that side alone: no name
    or description speaks of what only the other side has, a changed node
    is told by its own side's text, and the keyboard's ways on lead only to
    boxes shown."""
    file = next((f for f in frames if "#" not in f), None)
    if not file:
        return
    # The method's nodes as the JSON report gives them, the truth to hold the views to.
    with open(os.path.join(page.out, "diff", site + ".json"), encoding="utf-8") as f:
        report = json.load(f)
    method = next((m for m in report["methods"] if m["change"] != "removed"), None)
    if not method:
        return
    changed = [n for n in method["nodes"] if n["change"] == "changed" and n["baseText"] != n["text"]]
    for side, foreign, own_text, other_text in (("base", "+", "baseText", "text"), ("head", "\u2212", "text", "baseText")):
        page.open(f"diff/{site}/methods/{file}", "#" + side)
        page.settled()
        told = _told(page)
        marked = [t for t in told if re.search(_MARK % re.escape(foreign), t)]
        # A changed node's own words are told of it; the other side's never.
        joined = lambda text: text.replace("\n", "; ")
        missing = [n[own_text] for n in changed if not any(joined(n[own_text]) in t for t in told)]
        wrong = [n[other_text] for n in changed if joined(n[other_text]) not in joined(n[own_text])
                 and any(joined(n[other_text]) in t for t in told)]
        ways = page.evaluate("""(() => {
          const drawn = e => { for (; e; e = e.parentElement) if (getComputedStyle(e).display === 'none') return false; return true; };
          const boxes = [...document.querySelectorAll('main svg g[tabindex], main svg a[aria-label]')].filter(drawn);
          const bad = [];
          for (const box of boxes)
            for (const name of (box.dataset.next || '').split(' ').filter(Boolean)) {
              const to = document.querySelector('main svg g[data-name="' + CSS.escape(name) + '"]');
              if (!to || !drawn(to)) bad.push(name);
            }
          return {boxes: boxes.length, bad};
        })()""")
        # Each page is described as the view shows it: its decisions counted on this side.
        pages = page.evaluate("""[...document.querySelectorAll('main svg > desc')].map(d => ({
          told: d.textContent, own: d.getAttribute('data-told-%s')}))""" % side)
        decisions = sum(1 for n in method["nodes"] if n["kind"] == "decision"
                        and n["change"] != ("added" if side == "base" else "removed"))
        counted = "no decisions" if decisions == 0 else f"{decisions} decision{'s' if decisions > 1 else ''}"
        described = [p["told"] for p in pages]
        check(pages and all(p["own"] is None or p["told"] == p["own"] for p in pages)
              and all(d in told for d in described) and (len(pages) > 1 or re.search(f": {counted}[,;]", described[0])),
              f"{site}: the {side} view describes its pages as its side has them ({counted}: {described[:2]})")
        check(told and not marked and not missing and not wrong and ways["boxes"] and not ways["bad"],
              f"{site}: the {side} view tells a screen reader its own side alone ({len(told)} names; "
              f"marked {foreign}: {marked[:2]}; own text missing: {missing[:2]}; other side's text: {wrong[:2]}; "
              f"{ways['boxes']} boxes, ways on to boxes not shown: {ways['bad'][:3]})")
