"""The site index of a big tree in the browser: Derby's storage engine
(about 1,400 files and 20,000 methods) against the JDK's
java.util.concurrent (91 files, about 3,200 methods).

The index of either opens within the same time, its first rows shown at
once from the first part of its method data, the other parts loaded
after; the filter and the sorting then reach every method, not only the
rows on show.  With FLOWCHART_BEFORE_DERBY_SITE naming a Derby site an
earlier build made, its figures and a screenshot are taken too
(derby-site-index-before.png beside derby-site-index.png).  Derby's sources are taken from FLOWCHART_DERBY_SOURCES (the
folder of its engine module); without them the Derby part is skipped.

Run alone on sites already made, it prints each index's size and opening
time, for comparing builds:

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

OPENINGS = 5


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


# When the page was first drawn with content: its first rows, which the
# script writes before the page is first drawn.  The browser can record
# the paint a little after the frame, so it is waited for.
FIRST_DRAWN = "(performance.getEntriesByName('first-contentful-paint')[0] || {}).startTime"


def opening_ms(page, name):
    """The median times from asking for the index to its first rows drawn,
    and to every method's row loaded."""
    first, whole = [], []
    for _ in range(OPENINGS):
        page.open(name)
        page.settled()
        drawn = page.until(FIRST_DRAWN)
        first.append(drawn if isinstance(drawn, (int, float)) else float("inf"))
        whole.append(page.until(ALL_LOADED) or float("inf"))
    return statistics.median(first), statistics.median(whole)


def measure(page, name):
    site = os.path.join(page.out, os.path.dirname(name))
    size, total = index_bytes(site)
    ms, all_ms = opening_ms(page, name)
    rows = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    print(f"  {name}: {size / 1e6:.2f} MB to open ({total / 1e6:.2f} MB in all, {len(data_parts(site))} parts), "
          f"first rows in {ms:.0f} ms, every method in {all_ms:.0f} ms, {rows} rows on show")
    return size, ms


def check_bigsite(page, check):
    if not os.path.exists(os.path.join(page.out, "jdk-site/index.html")):
        print("bigsite_check: no JDK site: skipped")
        return
    print("big sites: the index of java.util.concurrent against Derby's")
    page.set_window(1400, 1000)
    _, jdk_ms = measure(page, "jdk-site/index.html")
    if not os.path.exists(os.path.join(page.out, "derby-site/index.html")):
        page.set_window(1280, 1000)
        return
    size, derby_ms = measure(page, "derby-site/index.html")
    # As fast, give or take what a shared machine adds to a short time (an
    # index of every method in HTML took twenty times as long).
    check(derby_ms <= 2 * jdk_ms + 500,
          f"Derby's index opens as fast as java.util.concurrent's ({derby_ms:.0f} ms against {jdk_ms:.0f} ms)")
    check(size < 1e6, f"Derby's index opens on {size / 1e6:.2f} MB: the page, its script and the first part of "
                      "its data")
    # The window only: the whole page of thousands of rows is too tall to take.
    shoot(page, "derby-site-index.png")
    before = os.environ.get("FLOWCHART_BEFORE_DERBY_SITE", "")
    if os.path.exists(os.path.join(before, "index.html")):
        # A site an earlier build made, for the figures side by side.
        name = os.path.join(os.path.abspath(before), "index.html").lstrip("/")
        page.out, out = "/", page.out
        try:
            measure(page, name)
            shoot_to(page, os.path.join(out, "derby-site-index-before.png"))
        finally:
            page.out = out
        page.open("derby-site/index.html")
        page.settled()
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
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    page.settled()
    highest = max(-1 if m[8] is None else m[8] for p in parts for m in p["methods"])
    first = page.evaluate("+document.querySelector('#methods tbody tr').cells[5].textContent")
    check(first == highest, f"sorting by CC puts the highest of all methods first ({first} of {highest})")
    page.evaluate("document.getElementById('show-more').click()")
    more = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    check(more == min(2 * shown, total), f"'show more' adds a page of rows ({shown} to {more})")
    folders = page.evaluate("document.querySelectorAll('#folder-table tbody tr').length")
    check(folders > 10, f"the folders' table leads to Derby's packages ({folders} folders)")
    page.set_window(1280, 1000)


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
        for site in sites:
            measure(page, os.path.join(os.path.abspath(site), "index.html").lstrip("/"))
    finally:
        if tools:
            tools.close()
        b.stop_chromium(browser)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
