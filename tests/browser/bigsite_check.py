"""The site index of a big tree in the browser: Derby's storage engine
(about 1,400 files and 20,000 methods) against the JDK's
java.util.concurrent (91 files, about 3,200 methods).

The index of either opens within the same time, its first rows shown at
once; the filter and the sorting still reach every method, not only the
rows on show.  Derby's sources are taken from FLOWCHART_DERBY_SOURCES (the
folder of its engine module); without them the Derby part is skipped.

Run alone on sites already made, it prints each index's size and opening
time, for comparing builds:

    python3 tests/browser/bigsite_check.py SITE_DIR...
"""
import base64
import os
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


def index_bytes(site):
    """The index and every script it loads, in bytes."""
    total = os.path.getsize(os.path.join(site, "index.html"))
    for extra in ("site/methods.js", "site/site.js"):
        path = os.path.join(site, extra)
        if os.path.exists(path):
            total += os.path.getsize(path)
    return total


def opening_ms(page, name):
    """The median time from asking for the index to its first rows drawn."""
    times = []
    for _ in range(OPENINGS):
        page.open(name)
        page.settled()
        times.append(page.evaluate("performance.now()"))
    return statistics.median(times)


def measure(page, name):
    site = os.path.join(page.out, os.path.dirname(name))
    size = index_bytes(site)
    ms = opening_ms(page, name)
    rows = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    print(f"  {name}: {size / 1e6:.2f} MB, opens in {ms:.0f} ms, {rows} rows on show")
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
    check(size < 4e6, f"Derby's index and its data weigh {size / 1e6:.2f} MB")
    # The window only: the whole page of thousands of rows is too tall to take.
    shot = page.tools.call("Page.captureScreenshot", format="png")
    with open(os.path.join(page.out, "derby-site-index.png"), "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    total = page.evaluate("window.flowchartMethods.methods.length")
    shown = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    check(0 < shown < total, f"the index shows its first rows ({shown} of {total})")
    # The last method of the data, far past the rows on show, is found.
    last = page.evaluate("(() => { const d = window.flowchartMethods, m = d.methods[d.methods.length - 1];"
                         " return [d.files[m[0]][0], m[3]]; })()")
    found = page.type_filter("file:" + last[0])
    check(any(r[2].startswith(last[1]) for r in found),
          f"the filter finds the last method of the data, {last[0]} {last[1]} ({len(found)} rows)")
    page.evaluate("(() => { const f = document.getElementById('filter'); f.value = '';"
                  " f.dispatchEvent(new Event('input')); })()")
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    page.settled()
    highest = page.evaluate("Math.max(...window.flowchartMethods.methods.map(m => m[8] === null ? -1 : m[8]))")
    first = page.evaluate("+document.querySelector('#methods tbody tr').cells[5].textContent")
    check(first == highest, f"sorting by CC puts the highest of all methods first ({first} of {highest})")
    page.evaluate("document.getElementById('show-more').click()")
    more = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    check(more == min(2 * shown, total), f"'show more' adds a page of rows ({shown} to {more})")
    folders = page.evaluate("document.querySelectorAll('#folder-table tbody tr').length")
    check(folders > 10, f"the folders' table leads to Derby's packages ({folders} folders)")
    page.set_window(1280, 1000)


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
