"""The site index of a big tree in the browser: Derby's storage engine
(about 1,400 files and 20,000 methods) against the JDK's
java.util.concurrent (91 files, about 3,200 methods).

The index of either shows its first rows within the same time (from
asking for the page to the first row on screen, as the browser's element
timing reports it), opening on about as many bytes: the page, its script
and the first part of its data; the other parts are loaded after.  The
filter and the sorting then reach every method, not only the rows on
show, and the files' table, made from the same data, every file.  With
FLOWCHART_BEFORE_DERBY_SITE naming a Derby site an earlier build made,
its figures are taken in the same turns and its screenshot too
(derby-site-index-before.png beside derby-site-index.png).  Derby's
sources are taken from FLOWCHART_DERBY_SOURCES (the folder of its engine
module); without them the Derby part is skipped.

Run alone on sites already made, it prints each index's size and opening
times, for comparing builds:

    python3 tests/browser/bigsite_check.py SITE_DIR...
"""
import base64
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from access_check import press

OPENINGS = 7


def derby_sources():
    folder = os.environ.get("FLOWCHART_DERBY_SOURCES", "")
    return folder if folder and os.path.isdir(folder) else None


def draw_bigsite(args, out):
    """Derby's site, beside the JDK's that browser_check draws."""
    folder = derby_sources()
    if folder is None:
        print("bigsite_check: no Derby sources (FLOWCHART_DERBY_SOURCES): Derby's site skipped")
        return
    # Some Derby files need Java 8's grammar: the run fails for them (exit
    # 1), the site is made all the same.
    subprocess.run([args.flowchart, "batch", folder, "-o", os.path.join(out, "derby-site"), "--quiet"],
                   cwd=args.source_dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def data_parts(site):
    """The paths of the index's method data, the part loaded first first."""
    paths = [os.path.join(site, "site/methods.js")]
    while os.path.exists(os.path.join(site, f"site/methods-{len(paths) + 1}.js")):
        paths.append(os.path.join(site, f"site/methods-{len(paths) + 1}.js"))
    return [p for p in paths if os.path.exists(p)]


def read_part(path):
    """A part of the method data as the page's script reads it."""
    import json
    with open(path, encoding="utf-8") as f:
        text = f.read()
    literal = text[text.index("JSON.parse('") + len("JSON.parse('"):text.rindex("')")]
    # The script escapes each backslash and quote with a backslash.
    return json.loads(re.sub(r"\\(.)", r"\1", literal, flags=re.S))


def index_bytes(site):
    """What the index needs to open (the page, its script and the first
    part of the data) and everything it loads, in bytes."""
    first = sum(os.path.getsize(os.path.join(site, p)) for p in ("index.html", "site/site.js"))
    parts = [os.path.getsize(p) for p in data_parts(site)]
    return first + (parts[0] if parts else 0), first + sum(parts)


# Until every part of the data is in: the count no longer says it is loading.
ALL_LOADED = "!/loading/.test(document.getElementById('filter-count').textContent) && performance.now()"


# When the first row of the methods' table reached the screen: the row is
# marked for the browser's element timing as soon as the page's script
# makes it, before it can be drawn.
FIRST_ROWS_WATCH = """
window.__firstRows = null;
new PerformanceObserver(list => {
  for (const e of list.getEntries())
    if (e.identifier === 'first-rows' && window.__firstRows === null) window.__firstRows = e.renderTime;
}).observe({type: 'element', buffered: true});
new MutationObserver((_, watch) => {
  const row = document.querySelector('#methods tbody tr');
  if (!row) return;
  for (const cell of row.cells) cell.setAttribute('elementtiming', 'first-rows');
  watch.disconnect();
}).observe(document, {childList: true, subtree: true});
"""
FIRST_ROWS = "window.__firstRows"


def opening_ms(page, names):
    """For each index, the median times from asking for it to its first
    rows on screen, and to every method's row loaded; the indexes opened
    in turn, so that what else the machine does weighs on each alike."""
    watch = page.tools.call("Page.addScriptToEvaluateOnNewDocument", source=FIRST_ROWS_WATCH)["identifier"]
    times = {name: ([], []) for name in names}
    try:
        for _ in range(OPENINGS):
            for name in names:
                page.open(name)
                page.settled()
                rows = page.until(FIRST_ROWS)
                times[name][0].append(rows if isinstance(rows, (int, float)) and rows > 0 else float("inf"))
                times[name][1].append(page.until(ALL_LOADED) or float("inf"))
    finally:
        page.tools.call("Page.removeScriptToEvaluateOnNewDocument", identifier=watch)
    return {name: (statistics.median(first), statistics.median(whole)) for name, (first, whole) in times.items()}


def measure(page, names):
    """Prints and returns each index's size to open and its times."""
    times = opening_ms(page, names)
    load = os.getloadavg()[0]
    figures = {}
    for name in names:
        site = os.path.join(page.out, os.path.dirname(name))
        size, total = index_bytes(site)
        ms, all_ms = times[name]
        print(f"  {name}: {size / 1e6:.2f} MB to open ({total / 1e6:.2f} MB in all, {len(data_parts(site))} parts), "
              f"first rows in {ms:.0f} ms, every method in {all_ms:.0f} ms (median of {OPENINGS}; load {load:.1f})")
        figures[name] = (size, ms)
    return figures


def check_bigsite(page, check):
    if not os.path.exists(os.path.join(page.out, "jdk-site/index.html")):
        print("bigsite_check: no JDK site: skipped")
        return
    print("big sites: the index of java.util.concurrent against Derby's")
    page.set_window(1400, 1000)
    names = ["jdk-site/index.html"]
    if os.path.exists(os.path.join(page.out, "derby-site/index.html")):
        names.append("derby-site/index.html")
    before = os.environ.get("FLOWCHART_BEFORE_DERBY_SITE", "")
    if len(names) > 1 and os.path.exists(os.path.join(before, "index.html")):
        # A site an earlier build made, for the figures side by side.
        names.append(os.path.relpath(os.path.join(os.path.abspath(before), "index.html"), page.out))
    figures = measure(page, names)
    if len(names) == 1:
        page.set_window(1280, 1000)
        return
    if len(names) > 2:
        page.open(names[2])
        page.settled()
        shoot(page, "derby-site-index-before.png")
    (jdk_size, jdk_ms), (size, derby_ms) = figures[names[0]], figures[names[1]]
    # As fast, give or take what a shared machine adds to a short time (an
    # index of every method and file in HTML took twice as long).
    check(derby_ms <= 1.3 * jdk_ms + 40,
          f"Derby's index shows its first rows as soon as java.util.concurrent's ({derby_ms:.0f} ms against "
          f"{jdk_ms:.0f} ms)")
    check(size < min(1e6, 1.5 * jdk_size + 1e5), f"Derby's index opens on {size / 1e6:.2f} MB, as little as "
          f"java.util.concurrent's {jdk_size / 1e6:.2f} MB: the page, its script and the first part of its data")
    page.open("derby-site/index.html")
    page.settled()
    # The window only: the whole page of thousands of rows is too tall to take.
    shoot(page, "derby-site-index.png")
    parts = [read_part(p) for p in data_parts(os.path.join(page.out, "derby-site"))]
    total = parts[0]["total"]
    check(total == sum(len(p["methods"]) for p in parts) and len(parts) == parts[0]["parts"] > 1,
          f"Derby's method data comes in {len(parts)} parts holding its {total} methods")
    check(page.until(ALL_LOADED), "every part of the data is loaded once the page has opened")
    shown = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    check(0 < shown < total, f"the index shows its first rows ({shown} of {total})")
    # The last method of the data, far past the rows on show, is found.
    last = [parts[-1]["files"][parts[-1]["methods"][-1][0]][0], parts[-1]["methods"][-1][3]]
    found = page.type_filter("file:" + last[0])
    check(any(r[2].startswith(last[1]) for r in found),
          f"the filter finds the last method of the data, {last[0]} {last[1]} ({len(found)} rows)")
    page.evaluate("(() => { const f = document.getElementById('filter'); f.value = '';"
                  " f.dispatchEvent(new Event('input')); })()")
    # From the keyboard: the header's button, Enter twice.
    page.evaluate("document.querySelector('#methods th:nth-child(6) button').focus()")
    press(page, "Enter")
    press(page, "Enter")
    highest = max(-1 if m[8] is None else m[8] for p in parts for m in p["methods"])
    first = page.evaluate("+document.querySelector('#methods tbody tr').cells[5].textContent")
    check(first == highest, f"sorting by CC from the keyboard puts the highest of all methods first "
                            f"({first} of {highest})")
    page.evaluate("document.getElementById('show-more').click()")
    more = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    check(more == min(2 * shown, total), f"'show more' adds a page of rows ({shown} to {more})")
    folders = page.evaluate("document.querySelectorAll('#folder-table tbody tr').length")
    check(folders > 10, f"the folders' table leads to Derby's packages ({folders} folders)")
    check_files(page, check, parts)
    page.set_window(1280, 1000)


def check_files(page, check, parts):
    """The files' table, made from the same data: a page of rows, sorted
    over every file, all of them a click away."""
    files = [f for p in parts for f in p["files"]]
    count = page.evaluate("document.getElementById('file-count').textContent")
    shown = page.evaluate("document.querySelectorAll('#file-table tbody tr').length")
    check(len(files) == parts[0]["totalFiles"] and 0 < shown < len(files) and count.startswith(f"{len(files)} files"),
          f"the files' table shows a page of Derby's {len(files)} files ({shown} rows; {count!r})")
    for _ in range(2):
        page.evaluate("document.querySelector('#file-table th:nth-child(4)').click()")
    page.settled()
    largest = max(files, key=lambda f: -1 if f[4] is None else f[4])
    first = page.evaluate("[...document.querySelector('#file-table tbody tr').cells].map(c => c.textContent)")
    check(first[0] == largest[0] and first[3] == str(largest[4]),
          f"sorting the files by NLOC puts the largest of all first ({first[0]}, {first[3]})")
    page.evaluate("document.getElementById('show-all-files').click()")
    rows = page.evaluate("document.querySelectorAll('#file-table tbody tr').length")
    check(rows == len(files), f"'show all' shows every file ({rows} of {len(files)})")


def shoot(page, name):
    shoot_to(page, os.path.join(page.out, name))


def shoot_to(page, path):
    shot = page.tools.call("Page.captureScreenshot", format="png")
    with open(path, "wb") as f:
        f.write(base64.b64decode(shot["data"]))


def main(sites):
    """Prints the size and opening time of each site's index."""
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, here)
    import browser_check as b
    b.STEP_SECONDS = 180  # an index of thousands of rows in HTML takes long
    profile = tempfile.mkdtemp(prefix="flowchart-chromium-")
    browser, port = b.start_chromium(profile, time.monotonic() + b.SESSION_SECONDS)
    tools = None
    try:
        import json
        import urllib.request
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=b.STEP_SECONDS) as answer:
            target = next(t for t in json.load(answer) if t.get("type") == "page")
        tools = b.DevTools(target["webSocketDebuggerUrl"], time.monotonic() + b.SESSION_SECONDS)
        tools.call("Page.enable")
        page = b.Page(tools, "/", b.Checks())
        page.set_window(1400, 1000)
        measure(page, [os.path.join(os.path.abspath(site), "index.html").lstrip("/") for site in sites])
    finally:
        if tools:
            tools.close()
        b.stop_chromium(browser)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
