"""Large flowcharts open readable: the largest page of a few big methods
opens with its smallest text at least 9 pixels high, and "Fit" (the 0 key)
shows the whole picture.  Pattern.escape needs the JDK's src.zip; Derby's
StoredPage.logRow and RawStore.backup need Derby's sources, named by the
FLOWCHART_DERBY_SOURCES environment variable (the folder holding
org/apache/derby somewhere below it).  Whatever is missing is skipped,
saying so.

Run on its own (python3 readable_check.py --flowchart F --out DIR
[--jdk-sources ZIP]) it only draws and takes the screenshots at 1400 x
1000, so that two builds can be compared."""
import os
import subprocess
import zipfile

# (name, how to find the file, method)
METHODS = (
    ("pattern-escape", ("jdk", "java.base/java/util/regex/Pattern.java"), "escape"),
    ("derby-storedpage-logrow", ("derby", "impl/store/raw/data/StoredPage.java"), "logRow"),
    ("derby-rawstore-backup", ("derby", "impl/store/raw/RawStore.java"), "backup(Transaction, File)"),
    # Wide without a switch: its branches side by side made a page 3,139 px wide.
    ("gregoriancalendar-computefields", ("jdk", "java.base/java/util/GregorianCalendar.java"),
     "computeFields(int, int)"),
    # A try with nine catch clauses side by side made a page 3,540 px wide.
    ("derby-jcecipherfactory-init", ("derby", "impl/services/jce/JCECipherFactory.java"), "init"),
    # About twenty returns, their arrows to one end box side by side: 2,997 px.
    ("derby-embedpreparedstatement-setobject", ("derby", "impl/jdbc/EmbedPreparedStatement.java"),
     "setObject(int, Object)"),
    # Its main line stepped right at each of eight loops: 2,759 px.
    ("derby-altertableconstantaction-dropcolumnfromtable",
     ("derby", "impl/sql/execute/AlterTableConstantAction.java"), "dropColumnFromTable"),
    # Exception arrows ran round its try block's page to the catch clauses at its foot: 2,661 px.
    ("derby-embedconnection-constructor", ("derby", "impl/jdbc/EmbedConnection.java"),
     "EmbedConnection(InternalDriver, String, Properties)"),
)

# Names of drawings whose every page must stay within the width auto
# folding keeps to (24 inches at 96 px, the margins included).
WITHIN_WIDTH = {name: 2304 for name in (
    "gregoriancalendar-computefields", "derby-embedpreparedstatement-setobject", "derby-jcecipherfactory-init",
    "derby-altertableconstantaction-dropcolumnfromtable", "derby-embedconnection-constructor")}

# The widest page of the drawing.
WIDEST = "Math.max(...[...document.querySelectorAll('section.page .view svg')].map(s => +s.getAttribute('width')))"

# The largest page of the drawing, by its picture's area.
LARGEST = """(() => {
  let best = null, area = -1;
  for (const s of document.querySelectorAll('section.page')) {
    const svg = s.querySelector('.view svg');
    const a = svg ? +svg.getAttribute('width') * +svg.getAttribute('height') : 0;
    if (a > area) { area = a; best = s; }
  }
  return best && {id: best.id, width: +best.querySelector('.view svg').getAttribute('width'),
                  height: +best.querySelector('.view svg').getAttribute('height')};
})()"""

# On screen: the height in pixels of the smallest text (its font size through
# the picture's transform to the screen), and whether every box and arrow
# lies inside the view.
ON_SCREEN = """(() => {
  const s = [...document.querySelectorAll('section.page')].find(s => getComputedStyle(s).display !== 'none');
  const svg = s.querySelector('.view svg'), view = svg.parentElement.getBoundingClientRect();
  const scale = svg.getScreenCTM().a;
  let smallest = Infinity;
  for (const t of svg.querySelectorAll('text'))
    smallest = Math.min(smallest, parseFloat(getComputedStyle(t).fontSize) * scale);
  const parts = [...svg.querySelectorAll('g.shape, g.connector')].map(g => g.getBoundingClientRect())
      .filter(r => r.width || r.height);
  const inside = parts.every(r => r.left >= view.left - 1 && r.right <= view.right + 1 &&
                                  r.top >= view.top - 1 && r.bottom <= view.bottom + 1);
  const map = s.querySelector('.minimap');
  return {smallest, inside, parts: parts.length, scale, map: !!map && !map.hidden};
})()"""


# Another script's way to bring a box into sight: the view's reveal() with
# the lowest box's rectangle in picture units; whether it is then on screen.
REVEAL = """(() => {
  const s = [...document.querySelectorAll('section.page')].find(s => getComputedStyle(s).display !== 'none');
  const svg = s.querySelector('.view svg'), view = svg.parentElement.getBoundingClientRect();
  let lowest = null;
  for (const g of svg.querySelectorAll('g.shape'))
    if (!lowest || g.getBBox().y > lowest.getBBox().y) lowest = g;
  const b = lowest.getBBox();
  window.flowchartViews.current().reveal(b.x, b.y, b.width, b.height);
  const r = lowest.getBoundingClientRect();
  return r.left >= view.left && r.right <= view.right && r.top >= view.top && r.bottom <= view.bottom;
})()"""


def find(root, tail):
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            if path.endswith("/org/apache/derby/" + tail):
                return path
    return None


def draw(flowchart, out, jdk_sources, derby_sources):
    """Draws the methods whose sources are here; says which are skipped."""
    tree = os.path.join(out, "readable")
    os.makedirs(tree, exist_ok=True)
    for name, (where, tail), method in METHODS:
        path = None
        if where == "jdk" and os.path.isfile(jdk_sources):
            with zipfile.ZipFile(jdk_sources) as archive:
                archive.extract(tail, tree)
            path = os.path.join(tree, tail)
        elif where == "derby" and derby_sources and os.path.isdir(derby_sources):
            path = find(derby_sources, tail)
        if not path:
            print(f"readable_check: {name} skipped (no {'JDK' if where == 'jdk' else 'Derby'} sources)")
            continue
        result = subprocess.run([flowchart, "draw", path, method, "-o", os.path.join(out, f"readable-{name}.html")],
                                stdout=subprocess.DEVNULL)
        if result.returncode != 0:
            raise SystemExit(f"readable_check: drawing {name} failed with {result.returncode}")


def screenshots(page):
    """Opens each drawing's largest page at 1400 x 1000 and saves its
    screenshots as it opens and fitted; answers what was seen."""
    seen = []
    page.set_window(1400, 1000)
    for name, _, _ in METHODS:
        if not os.path.exists(os.path.join(page.out, f"readable-{name}.html")):
            continue
        page.open(f"readable-{name}.html")
        largest = page.evaluate(LARGEST)
        largest["widest"] = page.evaluate(WIDEST)
        page.open(f"readable-{name}.html", "#" + largest["id"])
        # Measured as first painted: the load event can come before the
        # view has been fitted to the page's final layout.
        page.settled()
        opened = page.evaluate(ON_SCREEN)
        page.screenshot(f"readable-{name}.png")
        moved = None
        if opened["map"]:
            # Dragging the map's view rectangle moves the view as far, in the picture, as the rectangle moved.
            at = page.centre_of(f"section#{largest['id']} .minimap-view")
            ratio = page.evaluate(f"(() => {{ const m = document.querySelector('section#{largest['id']} .minimap svg');"
                                  " return m.viewBox.baseVal.width / m.getBoundingClientRect().width; })()")
            before = page.view_box().split()
            page.drag(at["x"], at["y"], 12, 10)
            after = page.view_box().split()
            moved = (float(after[0]) - float(before[0]), float(after[1]) - float(before[1]), 12 * ratio, 10 * ratio)
        page.press("0")
        fitted = page.evaluate(ON_SCREEN)
        page.screenshot(f"readable-{name}-fit.png")
        page.press("+")
        page.press("+")
        page.press("+")
        revealed = page.evaluate(REVEAL) if page.evaluate("!!window.flowchartViews") else False
        seen.append((name, largest, opened, fitted, revealed, moved))
    page.set_window(1280, 1000)
    return seen


def check_readable(page, check):
    print("large flowcharts open readable")
    for name, largest, opened, fitted, revealed, moved in screenshots(page):
        if name in WITHIN_WIDTH:
            check(largest["widest"] <= WITHIN_WIDTH[name],
                  f"{name}: no page wider than {WITHIN_WIDTH[name]} px (the widest {largest['widest']:.0f} px)")
        check(opened["smallest"] >= 8.99,
              f"{name}: its largest page ({largest['width']:.0f} x {largest['height']:.0f}) opens with its "
              f"smallest text {opened['smallest']:.1f} px high")
        check(opened["map"] == (not opened["inside"]),
              f"{name}: a mini-map shows when the picture is larger than the view ({opened['map']})")
        if moved:
            check(abs(moved[0] - moved[2]) < 2 and abs(moved[1] - moved[3]) < 2,
                  f"{name}: dragging the map's rectangle moves the view ({moved[0]:.0f}, {moved[1]:.0f}) "
                  f"picture units for ({moved[2]:.0f}, {moved[3]:.0f})")
        check(fitted["inside"] and fitted["parts"] > 0 and not fitted["map"],
              f"{name}: Fit shows the whole picture ({fitted['parts']} boxes and arrows at {fitted['scale']:.0%})")
        check(revealed, f"{name}: zoomed in, the view's reveal() brings its lowest box into sight")


if __name__ == "__main__":
    import argparse
    import shutil
    import sys
    import tempfile
    import time
    import urllib.request
    import json
    import browser_check as b

    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--flowchart", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--jdk-sources", default=b.JDK_SOURCES)
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    draw(args.flowchart, out, args.jdk_sources, os.environ.get("FLOWCHART_DERBY_SOURCES", ""))
    end = time.monotonic() + b.SESSION_SECONDS
    profile = tempfile.mkdtemp(prefix="flowchart-chromium-")
    browser, port = b.start_chromium(profile, end)
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=b.STEP_SECONDS) as answer:
            target = next(t for t in json.load(answer) if t.get("type") == "page")
        tools = b.DevTools(target["webSocketDebuggerUrl"], end)
        tools.call("Page.enable")
        for name, largest, opened, fitted, _, _ in screenshots(b.Page(tools, out, b.Checks())):
            print(name, largest, "opened:", opened, "fitted:", fitted)
        tools.close()
    finally:
        b.stop_chromium(browser)
        shutil.rmtree(profile, ignore_errors=True)
    sys.exit(0)
