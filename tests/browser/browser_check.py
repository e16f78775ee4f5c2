#!/usr/bin/python3
"""Opens the project's HTML drawings in headless Chromium and checks them.

Draws first, with the built executables: a flowchart with a folded block
on a page of its own and a sequence diagram (modes 17 and 18); a method
drawn by `flowchart draw`, also with every construct folded; the site
`flowchart batch` makes of the shipped examples; a sequence diagram that
`flowchart sequence` makes from a shipped Java method; and, when Debian's
openjdk-17-source is installed, drawings and a site of JDK classes.

Then checks, through Chromium's DevTools protocol, that every page opens
whole, or at the zoom where its smallest text is 9 pixels high; that the wheel, the keys and dragging pan
and zoom the picture; that the "Open This Block" and "Back" links reach
their pages and the browser's history follows them; that without
JavaScript every page still shows; that the site's index, filter, file
pages and breadcrumbs work from file://; and saves screenshots in the
output folder.

Every wait is for something to happen (a page's load event, a hash
change, an animation frame, an image decoded), each with a deadline.

Exits 0 when every check passed, 1 when one failed or the browser
misbehaved, 77 when Chromium or the websocket-client library (Debian's
python3-websocket) is missing, so that CTest reports the test skipped.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request
import zipfile

import readable_check
import sequence_fit_check
import access_check
import diff_check
import mermaid_check
from bigsite_check import ALL_LOADED, check_bigsite, draw_bigsite

SKIPPED = 77

try:
    import websocket  # websocket-client, Debian's python3-websocket
except ImportError:
    websocket = None

# How long one answer, event or condition may take, and the whole session.
STEP_SECONDS = 20
SESSION_SECONDS = 300

JDK_SOURCES = "/usr/lib/jvm/openjdk-17/lib/src.zip"

# Flowcharts of six JDK 17 methods whose control flow is easy to get wrong:
# guard clauses that throw, a catch that rethrows through finally,
# labelled break and continue, a large switch, nested loops and locks.
JDK_FLOWCHARTS = (
    ("hashmap-ctor", "util/HashMap.java", "HashMap:447", "HashMap(int, float)"),
    ("integer-parseint", "lang/Integer.java", "parseInt:620", "Integer.parseInt"),
    ("arraylist-batchremove", "util/ArrayList.java", "batchRemove:814", "ArrayList.batchRemove"),
    ("threadpool-addworker", "util/concurrent/ThreadPoolExecutor.java", "addWorker",
     "ThreadPoolExecutor.addWorker"),
    ("pattern-escape", "util/regex/Pattern.java", "escape", "Pattern.escape"),
    ("chm-transfer", "util/concurrent/ConcurrentHashMap.java", "transfer", "ConcurrentHashMap.transfer"),
)


class BrowserError(RuntimeError):
    """The browser did not start, answer or do what it was asked in time."""


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def __call__(self, ok, what):
        if ok:
            self.passed += 1
            print("  ok:   " + what)
        else:
            self.failed += 1
            print("  FAIL: " + what)
        sys.stdout.flush()


# ---------------------------------------------------------------------------
# The drawings

def run_drawing(what, command, cwd):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL)
    if result.returncode != 0:
        raise SystemExit(f"browser_check: {what} failed with {result.returncode}")


def draw_all(args, out):
    """Makes every drawing the checks open, in `out`."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.join(out, "work"))
    src = args.source_dir
    fixtures = os.path.join(src, "tests/fixtures/render")
    examples = os.path.join(src, "tests/fixtures/examples")
    engine, flowchart = args.engine, args.flowchart
    run_drawing("mode 17", [engine, "17", f"{fixtures}/flowchart/method.tmp", f"{out}/work",
                            f"{src}/templates/flowchart", "n.6", f"{out}/flowchart.html"], src)
    run_drawing("mode 18", [engine, "18", f"{fixtures}/sequence/calls.tmp", f"{out}/work",
                            f"{out}/sequence.html", f"{src}/templates/sequence", "x"], src)
    run_drawing("flowchart draw", [flowchart, "draw", f"{examples}/java/Checkout.java", "total",
                                   "-o", f"{out}/checkout-total.html"], src)
    run_drawing("flowchart draw --fold all",
                [flowchart, "draw", f"{examples}/java/Checkout.java", "total", "--fold", "all",
                 "-o", f"{out}/checkout-total-folded.html"], src)
    run_drawing("flowchart batch", [flowchart, "batch", examples, "-o", f"{out}/batch", "--quiet"], src)
    run_drawing("flowchart sequence",
                [flowchart, "sequence", "tests/fixtures/sequence/Shop.java", "checkout", "--depth", "2",
                 "--src", "tests/fixtures/sequence", "-o", f"{out}/method-sequence.html"], src)
    draw_jdk(args, out)
    readable_check.draw(flowchart, out, args.jdk_sources, os.environ.get("FLOWCHART_DERBY_SOURCES", ""))
    sequence_fit_check.draw(args, out)
    access_check.draw(args, out)
    mermaid_check.draw(args, out)
    diff_check.draw(args, out)
    draw_bigsite(args, out)


def draw_jdk(args, out):
    """Sequence diagrams of two JDK 17 methods at depth 2 with the java.util
    tree as --src, the site of java.util.concurrent, and flowcharts of six
    methods, when Debian's openjdk-17-source is installed (this check does
    not install it: it is large and only these pictures need it)."""
    if not os.path.isfile(args.jdk_sources):
        print(f"browser_check: {args.jdk_sources} missing (Debian openjdk-17-source): "
              "JDK drawings skipped")
        return
    tree = os.path.join(out, "jdk")
    with zipfile.ZipFile(args.jdk_sources) as archive:
        wanted = [name for name in archive.namelist()
                  if name.startswith("java.base/java/util/") or name == "java.base/java/lang/Integer.java"]
        archive.extractall(tree, wanted)
    base = os.path.join(tree, "java.base/java")
    util = os.path.join(base, "util")
    flowchart, src = args.flowchart, args.source_dir
    run_drawing("flowchart sequence on the JDK",
                [flowchart, "sequence", f"{util}/HashMap.java", "putVal", "--depth", "2", "--src", util,
                 "-o", f"{out}/jdk-hashmap-putval.html"], src)
    run_drawing("flowchart sequence on the JDK",
                [flowchart, "sequence", f"{util}/concurrent/ThreadPoolExecutor.java", "addWorker",
                 "--depth", "2", "--src", util, "-o", f"{out}/jdk-threadpool-addworker.html"], src)
    run_drawing("flowchart batch on the JDK",
                [flowchart, "batch", f"{util}/concurrent", "-o", f"{out}/jdk-site", "--quiet"], src)
    for name, file, method, _ in JDK_FLOWCHARTS:
        run_drawing(f"flowchart draw {file} {method}",
                    [flowchart, "draw", f"{base}/{file}", method, "-o", f"{out}/jdk-flow-{name}.html"], src)


# ---------------------------------------------------------------------------
# The browser

class DevTools:
    """One page's DevTools session over websocket-client.  Replies are
    matched to their calls by id; events that arrive meanwhile are kept
    until someone waits for them."""

    def __init__(self, url, session_end):
        self.session_end = session_end
        # Chromium refuses connections that name an origin it was not told
        # to allow; the library names one unless asked not to.
        self.socket = websocket.create_connection(url, timeout=STEP_SECONDS, suppress_origin=True)
        self.next_id = 0
        self.events = []

    def close(self):
        self.socket.close()

    def _step_end(self):
        return min(time.monotonic() + STEP_SECONDS, self.session_end)

    def _receive(self, until, waiting_for):
        remaining = until - time.monotonic()
        if remaining <= 0:
            raise BrowserError(f"no {waiting_for} in time")
        self.socket.settimeout(remaining)
        try:
            return json.loads(self.socket.recv())
        except websocket.WebSocketTimeoutException:
            raise BrowserError(f"no {waiting_for} in time") from None
        except websocket.WebSocketConnectionClosedException:
            raise BrowserError("the browser closed the connection") from None

    def call(self, method, **params):
        self.next_id += 1
        wanted = self.next_id
        self.socket.send(json.dumps({"id": wanted, "method": method, "params": params}))
        until = self._step_end()
        while True:
            reply = self._receive(until, f"answer to {method}")
            if reply.get("id") == wanted:
                if "error" in reply:
                    raise BrowserError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def wait_for(self, event):
        until = self._step_end()
        while True:
            for i, e in enumerate(self.events):
                if e.get("method") == event:
                    del self.events[i]
                    return e
            message = self._receive(until, event)
            if "method" in message:
                self.events.append(message)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise BrowserError("script failed: " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")


def start_chromium(profile, session_end):
    browser = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + profile, "--remote-debugging-port=0",
         "--window-size=1280,1000", "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Chromium writes the port it chose to this file once it listens.
    port_file = os.path.join(profile, "DevToolsActivePort")
    until = min(time.monotonic() + 60, session_end)
    while True:
        if os.path.exists(port_file):
            with open(port_file) as f:
                port = f.read().split()
            if port:
                return browser, port[0]
        if browser.poll() is not None:
            raise BrowserError(f"chromium exited with {browser.returncode} before it listened")
        if time.monotonic() > until:
            raise BrowserError("chromium did not start in time")
        time.sleep(0.05)


def stop_chromium(browser):
    browser.terminate()
    try:
        browser.wait(timeout=10)
    except subprocess.TimeoutExpired:
        browser.kill()
        browser.wait()


# ---------------------------------------------------------------------------
# What the checks ask of a page

# The section on show: its id, name, the size of its picture and what it holds.
SHOWN = """(() => {
  const shown = [...document.querySelectorAll('section.page')]
      .filter(s => getComputedStyle(s).display !== 'none');
  return shown.map(s => {
    const box = s.querySelector('svg').getBoundingClientRect();
    return {id: s.id, name: s.dataset.name, width: box.width, height: box.height,
            shapes: s.querySelectorAll('g.shape').length,
            connectors: s.querySelectorAll('g.connector').length};
  });
})()"""

# The shown picture: its viewBox, the size of its view in pixels, the
# size of the whole picture in its units, and where its shapes and
# connectors lie on the screen.
PICTURE = """(() => {
  const s = [...document.querySelectorAll('section.page')]
      .find(s => getComputedStyle(s).display !== 'none');
  const svg = s && s.querySelector('svg');
  if (!svg) return null;
  const view = svg.parentElement.getBoundingClientRect();
  const parts = [...svg.querySelectorAll('g.shape, g.connector')]
      .map(g => g.getBoundingClientRect()).filter(r => r.width || r.height);
  return {viewBox: svg.getAttribute('viewBox').split(' ').map(Number),
          view: {left: view.left, top: view.top, width: view.width, height: view.height},
          picture: [Number(svg.getAttribute('width')), Number(svg.getAttribute('height'))],
          content: {left: Math.min(...parts.map(r => r.left)),
                    right: Math.max(...parts.map(r => r.right)),
                    top: Math.min(...parts.map(r => r.top)),
                    bottom: Math.max(...parts.map(r => r.bottom))}};
})()"""

# The viewBox of the picture on show, as text.
VIEW_BOX = """(() => {
  const s = [...document.querySelectorAll('section.page')]
      .find(s => getComputedStyle(s).display !== 'none');
  const svg = s && s.querySelector('svg');
  return svg ? svg.getAttribute('viewBox') : null;
})()"""

# The rows of the site's index the filter lets through.
VISIBLE = """[...document.querySelectorAll('#methods tbody tr')].filter(r => !r.hidden)
             .map(r => [r.cells[0].textContent, r.cells[1].textContent, r.cells[2].textContent,
                        +r.cells[5].textContent])"""

KEYS = {"+": (187, "Equal"), "-": (189, "Minus"), "0": (48, "Digit0"),
        "ArrowRight": (39, "ArrowRight"), "ArrowDown": (40, "ArrowDown")}

# How long a page may take to draw a frame or to change its hash, in ms.
PAGE_WAIT_MS = 5000


class Page:
    """The browser's one tab, with the questions and gestures the checks use."""

    def __init__(self, tools, out, check):
        self.tools = tools
        self.out = out
        self.check = check

    def evaluate(self, expression):
        return self.tools.evaluate(expression)

    def set_window(self, width, height):
        self.tools.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                        deviceScaleFactor=1, mobile=False)

    def open(self, name, fragment=""):
        # By way of a blank page, so that every opening is a fresh load.
        for url in ("about:blank", "file://" + os.path.join(self.out, name) + fragment):
            self.tools.events.clear()
            self.tools.call("Page.navigate", url=url)
            self.tools.wait_for("Page.loadEventFired")

    # -- waiting ------------------------------------------------------------

    def settled(self):
        """Waits until the page has drawn two animation frames: whatever an
        input event or a task queued by it changed is then in place."""
        drawn = self.evaluate(
            "Promise.race([new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r(true)))),"
            f" new Promise(r => setTimeout(() => r(false), {PAGE_WAIT_MS}))])")
        if not drawn:
            raise BrowserError("the page drew no frame in time")

    def until(self, condition):
        """The value of the script `condition` once it is truthy, tested at
        every animation frame until the deadline; its last value otherwise."""
        return self.evaluate(f"""new Promise(resolve => {{
          const end = performance.now() + {PAGE_WAIT_MS};
          const test = () => {{
            const value = ({condition});
            if (value || performance.now() > end) resolve(value);
            else requestAnimationFrame(test);
          }};
          test();
        }})""")

    def hash_change(self, action):
        """Runs the script `action` and waits for the hash change it causes;
        the page's own handler has shown the new page by then.  The new hash,
        or None when none came in time."""
        return self.evaluate(f"""new Promise(resolve => {{
          addEventListener('hashchange', () => resolve(location.hash), {{once: true}});
          setTimeout(() => resolve(null), {PAGE_WAIT_MS});
          {action};
        }})""")

    def arm_hash_change(self):
        """Starts listening for a hash change that an input event will cause;
        see await_hash_change."""
        self.evaluate(f"""window.__nextHash = new Promise(resolve => {{
          addEventListener('hashchange', () => resolve(location.hash), {{once: true}});
          setTimeout(() => resolve(null), {PAGE_WAIT_MS});
        }}), true""")

    def await_hash_change(self):
        return self.evaluate("window.__nextHash")

    # -- questions ----------------------------------------------------------

    def shown(self):
        return self.evaluate(SHOWN)

    def picture(self):
        return self.evaluate(PICTURE)

    def view_box(self):
        return self.evaluate(VIEW_BOX)

    def location_hash(self):
        return self.evaluate("location.hash")

    def centre_of(self, selector):
        return self.evaluate(f"""(() => {{
          const el = document.querySelector({json.dumps(selector)});
          if (!el) return null;
          const r = el.getBoundingClientRect();
          return {{x: r.left + r.width / 2, y: r.top + r.height / 2}};
        }})()""")

    def screenshot(self, file):
        data = self.tools.call("Page.captureScreenshot", format="png", captureBeyondViewport=True)
        with open(os.path.join(self.out, file), "wb") as f:
            f.write(base64.b64decode(data["data"]))

    def screenshot_of(self, selector, file):
        # The clip is in the document's coordinates, wherever it is scrolled to.
        box = self.evaluate("(() => { const r = document.querySelector(%s).getBoundingClientRect();"
                            " return {x: r.left + scrollX, y: r.top + scrollY, width: r.width, height: r.height}; })()"
                            % json.dumps(selector))
        data = self.tools.call("Page.captureScreenshot", format="png", clip=dict(box, scale=1),
                               captureBeyondViewport=True)
        with open(os.path.join(self.out, file), "wb") as f:
            f.write(base64.b64decode(data["data"]))

    # -- gestures -----------------------------------------------------------

    def mouse(self, kind, x, y, **extra):
        self.tools.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, **extra)

    def wheel(self, x, y, delta_y):
        """Turns the wheel over (x, y) and waits for the picture to change."""
        before = self.view_box()
        self.mouse("mouseWheel", x, y, deltaX=0, deltaY=delta_y)
        self.until(f"({VIEW_BOX}) !== {json.dumps(before)}")

    def click(self, selector, what):
        """A real mouse click at the middle of the element; False when there
        is no such element."""
        box = self.centre_of(selector)
        self.check(box is not None, f"{what}: link found")
        if box is None:
            return False
        for kind in ("mousePressed", "mouseReleased"):
            self.mouse(kind, box["x"], box["y"], button="left", buttons=1, clickCount=1)
        return True

    def click_to_page(self, selector, what):
        """Clicks a link to another page of the same file and waits for the
        hash change."""
        self.arm_hash_change()
        if self.click(selector, what):
            self.await_hash_change()

    def follow(self, selector, what):
        """Clicks a link to another file and waits for it to load."""
        self.evaluate(f"document.querySelector({json.dumps(selector)})?.scrollIntoView({{block: 'center'}})")
        self.tools.events.clear()
        if self.click(selector, what):
            self.tools.wait_for("Page.loadEventFired")

    def drag(self, x, y, dx, dy):
        self.mouse("mousePressed", x, y, button="left", buttons=1, clickCount=1)
        for step in range(1, 6):
            self.mouse("mouseMoved", x + dx * step / 5, y + dy * step / 5, button="left", buttons=1)
        self.mouse("mouseReleased", x + dx, y + dy, button="left", buttons=1, clickCount=1)
        self.settled()

    def press(self, key):
        code, name = KEYS[key]
        text = {"text": key} if len(key) == 1 else {}
        self.tools.call("Input.dispatchKeyEvent", type="keyDown", key=key, code=name,
                        windowsVirtualKeyCode=code, **text)
        self.tools.call("Input.dispatchKeyEvent", type="keyUp", key=key, code=name,
                        windowsVirtualKeyCode=code)
        self.settled()

    def type_filter(self, text):
        """Types into the site index's filter as a person does; the rows it
        then shows."""
        self.evaluate("(() => { const f = document.getElementById('filter'); f.value = ''; f.focus(); })()")
        self.tools.call("Input.insertText", text=text)
        self.settled()
        return self.evaluate(VISIBLE)

    # -- verdicts shared by several pages -----------------------------------

    def sensible(self, section, what):
        self.check(len(section) == 1, f"{what}: exactly one page shown")
        if section:
            s = section[0]
            self.check(100 <= s["width"] <= 5000 and 100 <= s["height"] <= 20000,
                       f"{what}: page '{s['name']}' shown at {s['width']:.0f} x {s['height']:.0f} px")

    def fitted(self, what):
        """The picture starts whole, at most at 100%, when that keeps its
        smallest text at least 9 pixels high; else at the zoom that does."""
        p = self.picture()
        if not p:
            self.check(False, f"{what}: a picture is shown")
            return
        scale = p["view"]["width"] / p["viewBox"][2]
        smallest = self.evaluate("window.flowchartViews.current().smallestText()")
        expected = min(1.0, p["view"]["width"] / p["picture"][0], p["view"]["height"] / p["picture"][1])
        if expected * smallest < 9:
            self.check(abs(scale * smallest - 9) < 0.01,
                       f"{what}: opens at {scale:.0%}, its smallest text {scale * smallest:.1f} px high")
            return
        view = p["view"]
        inside = (p["content"]["left"] >= view["left"] - 1 and
                  p["content"]["right"] <= view["left"] + view["width"] + 1 and
                  p["content"]["top"] >= view["top"] - 1 and
                  p["content"]["bottom"] <= view["top"] + view["height"] + 1)
        self.check(abs(scale - expected) < 0.01 and inside,
                   f"{what}: fitted at {scale:.0%} with the whole drawing in sight "
                   f"({p['content']['left']:.0f}..{p['content']['right']:.0f} x "
                   f"{p['content']['top']:.0f}..{p['content']['bottom']:.0f} px in a "
                   f"{view['width']:.0f} x {view['height']:.0f} px view)")

    def readable(self, what):
        """A sequence diagram wider than the window opens with its smallest
        text at least 9 pixels high, at its top left corner."""
        p = self.picture()
        smallest = self.evaluate("+document.querySelector('section.page svg').dataset.minText")
        scale = p["view"]["width"] / p["viewBox"][2]
        self.check(bool(smallest) and scale * smallest >= 8.99 and abs(p["viewBox"][0]) < 1
                   and abs(p["viewBox"][1]) < 1,
                   f"{what}: opens at {scale:.0%}, its smallest text {scale * smallest:.1f} px, at the top left")


# ---------------------------------------------------------------------------
# The checks, page by page

def check_flowchart_pages(page, check):
    print("flowchart.html")
    page.open("flowchart.html")
    names = page.evaluate("[...document.querySelectorAll('nav .index a')].map(a => a.textContent)")
    check(names == ["sum", "block-0"], f"index lists the pages {names}")
    first = page.shown()
    page.sensible(first, "opened without a page named")
    check(bool(first) and first[0]["id"] == "page-1" and first[0]["shapes"] >= 12,
          "the method's page shows first, with its blocks")
    page.fitted("the method's page")
    page.screenshot("flowchart-page-1.png")
    for number in (1, 2):
        page.open("flowchart.html", f"#page-{number}")
        section = page.shown()
        page.sensible(section, f"#page-{number}")
        check(bool(section) and section[0]["id"] == f"page-{number}", f"#page-{number} shows its page")
        page.fitted(f"#page-{number}")
    page.screenshot("flowchart-page-2.png")


def check_pan_and_zoom(page, check):
    print("pan and zoom")
    page.open("flowchart.html")
    start = page.picture()["viewBox"]
    decision = 'section#page-1 g.shape[data-name="n.4"]'
    at = page.centre_of(decision)
    page.wheel(at["x"], at["y"], -480)
    zoomed = page.picture()["viewBox"]
    after = page.centre_of(decision)
    check(zoomed[2] < start[2] * 0.75 and zoomed[3] < start[3] * 0.75,
          f"the wheel zooms in: viewBox width {start[2]:.0f} -> {zoomed[2]:.0f}")
    check(abs(after["x"] - at["x"]) < 3 and abs(after["y"] - at["y"]) < 3,
          f"the box under the pointer stays under it: ({at['x']:.0f}, {at['y']:.0f}) -> "
          f"({after['x']:.0f}, {after['y']:.0f})")
    page.screenshot("flowchart-zoomed.png")
    page.press("-")
    out_again = page.picture()["viewBox"]
    check(out_again[2] > zoomed[2] * 1.2, f"'-' zooms out: {zoomed[2]:.0f} -> {out_again[2]:.0f}")
    page.press("+")
    check(page.picture()["viewBox"][2] < out_again[2] * 0.85, "'+' zooms in")
    before = page.picture()["viewBox"]
    page.press("ArrowRight")
    page.press("ArrowDown")
    moved = page.picture()["viewBox"]
    check(moved[0] > before[0] and moved[1] > before[1], "the arrow keys pan right and down")
    # A drag that starts on the folded block pans and does not follow its link.
    before = page.picture()["viewBox"]
    fold = page.centre_of('section#page-1 a.hyperlink g.shape path')
    page.drag(fold["x"], fold["y"], -120, -60)
    dragged = page.picture()["viewBox"]
    scale = page.picture()["view"]["width"] / dragged[2]
    check(abs((dragged[0] - before[0]) * scale - 120) < 3 and abs((dragged[1] - before[1]) * scale - 60) < 3,
          f"dragging pans the picture with the pointer: viewBox x {before[0]:.0f} -> {dragged[0]:.0f}")
    check(page.shown()[0]["id"] == "page-1" and page.location_hash() == "", "a drag over a link does not follow it")
    page.press("0")
    p = page.picture()
    view, content = p["view"], p["content"]
    check(content["left"] >= view["left"] - 1 and content["right"] <= view["left"] + view["width"] + 1
          and content["top"] >= view["top"] - 1 and content["bottom"] <= view["top"] + view["height"] + 1,
          f"'0' shows the whole picture: viewBox {p['viewBox']}")


def check_links_and_history(page, check):
    print("links and history")
    page.open("flowchart.html")
    page.click_to_page('section#page-1 a.hyperlink[href="#page-2"] g.shape path',
                       "'Open This Block' on the folded block")
    section = page.shown()
    check(bool(section) and section[0]["id"] == "page-2" and section[0]["shapes"] == 3
          and page.location_hash() == "#page-2", "'Open This Block' reaches the folded block's page")
    title = page.evaluate("document.querySelector('section#page-2 a.hyperlink title').textContent")
    check(title == "Back", f"the folded block's page has a link titled {title!r}")
    page.hash_change("history.back()")
    section = page.shown()
    check(bool(section) and section[0]["id"] == "page-1" and page.location_hash() == "",
          "the browser's back button returns to the method's page")
    page.hash_change("history.forward()")
    section = page.shown()
    check(bool(section) and section[0]["id"] == "page-2", "and forward goes to the block's page again")
    page.click_to_page('section#page-2 a.hyperlink[href="#page-1"] g.shape path', "'Back'")
    section = page.shown()
    check(bool(section) and section[0]["id"] == "page-1", "'Back' returns to the method's page")
    page.fitted("the method's page after 'Back'")


def check_narrow_window(page, check):
    print("narrow window")
    page.set_window(420, 700)
    page.open("flowchart.html")
    page.fitted("a picture wider than the window")
    page.screenshot("flowchart-narrow.png")
    page.set_window(1280, 1000)


def check_without_script(page, check):
    print("without JavaScript")
    page.tools.call("Emulation.setScriptExecutionDisabled", value=True)
    for number in (1, 2):
        page.open("flowchart.html", f"#page-{number}" if number > 1 else "")
        section = page.shown()
        page.sensible(section, f"no script, page {number}")
        check(bool(section) and section[0]["id"] == f"page-{number}"
              and section[0]["width"] <= 1280, f"no script: page {number} shows its whole picture")
    page.screenshot("flowchart-no-script.png")
    page.tools.call("Emulation.setScriptExecutionDisabled", value=False)


def check_drawn_method(page, check):
    print("flowchart draw: checkout-total.html")
    page.open("checkout-total.html")
    first = page.shown()
    page.sensible(first, "the drawn method")
    check(bool(first) and first[0]["name"] == "total", "the method's page shows first")
    pages = page.evaluate("document.querySelectorAll('section.page').length")
    check(pages == 1, f"the whole method is one page ({pages})")
    page.fitted("the drawn method")
    legend = page.evaluate("document.querySelectorAll('details.legend svg text').length")
    check(legend >= 20, f"the page has a legend of shapes and arrows ({legend} entries)")
    page.evaluate("document.querySelector('details.legend').open = true")
    page.screenshot("checkout-total-legend.png")
    page.screenshot_of("div.legend", "legend.png")
    page.evaluate("document.querySelector('details.legend').open = false")
    page.screenshot("checkout-total.png")


def check_folded_method(page, check):
    print("flowchart draw --fold all: checkout-total-folded.html")
    page.open("checkout-total-folded.html")
    folded = "section#page-1 a.hyperlink g.shape[data-master=\"Folded\"] path"
    count = page.evaluate("document.querySelectorAll('section#page-1 a.hyperlink').length")
    check(count >= 3, f"the method's page links to its folded constructs ({count})")
    page.click_to_page(folded, "a folded construct")
    target = page.shown()
    check(bool(target) and target[0]["id"] != "page-1" and page.location_hash() == "#" + target[0]["id"],
          f"the folded box opens its page {target and target[0]['id']}")
    page.screenshot("checkout-total-block.png")
    exits = page.evaluate("document.querySelectorAll('section.page.shown g.shape[data-master=\"Off Page\"]').length")
    check(exits >= 2, f"the folded page shows where it is entered from and goes to ({exits})")
    page.hash_change("history.back()")
    check(page.shown()[0]["id"] == "page-1", "the browser's back button returns to the method")
    page.open("checkout-total.html")
    start = page.picture()["viewBox"]
    at = page.centre_of("section#page-1 g.shape")
    page.wheel(at["x"], at["y"], -480)
    check(page.picture()["viewBox"][2] < start[2] * 0.75, "the wheel zooms the drawn method")
    page.press("ArrowRight")
    check(page.picture()["viewBox"][0] != start[0], "the arrow keys pan it")
    texts = page.evaluate("[...document.querySelectorAll('section#page-1 g.shape > title')]"
                          ".map(t => t.textContent)")
    check(any(t.startswith("L20\nint sum = 0;") for t in texts),
          "a box's hover text holds its source line and line number")
    check(any("Gr\u00f6\u00dfe" in t for t in texts), "UTF-8 source text shows as written")


def check_site(page, check, source_dir):
    print("flowchart batch: batch/index.html, a file's page, a method's page")
    page.open("batch/index.html")
    rows = page.evaluate("document.querySelectorAll('#methods tbody tr').length")
    links = page.evaluate("[...document.querySelectorAll('#methods tbody td:nth-child(3) a')]"
                          ".map(a => a.getAttribute('href'))")
    bodiless = page.evaluate("[...document.querySelectorAll('#methods tbody tr')]"
                             ".filter(r => r.textContent.includes('(no body)')).length")
    check(rows >= 14 and len(links) == rows - bodiless,
          f"the index lists every method, each with a body linked ({rows} rows, {bodiless} without a body)")
    check(page.evaluate("document.querySelector('main h2').id") == "method-list",
          "the index opens on the methods table")
    check(page.evaluate("getComputedStyle(document.body).fontFamily").find("DejaVu") >= 0,
          "the shared style sheet loads from file://")
    page.screenshot("batch-index.png")
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    page.evaluate("document.querySelector('#methods th:nth-child(6)').click()")
    cc = page.evaluate("[...document.querySelectorAll('#methods tbody tr')].map(r => +r.cells[5].textContent)")
    check(cc == sorted(cc, reverse=True), f"a second click on CC sorts the methods by it, highest first {cc[:4]}")

    # The filter, typed into as a person does.
    shown_rows = page.type_filter("class:Inventory")
    check(shown_rows and all(r[1] == "Inventory" for r in shown_rows) and len(shown_rows) < rows,
          f"'class:Inventory' keeps the methods of Inventory ({len(shown_rows)} of {rows})")
    shown_rows = page.type_filter("cc>3")
    check(shown_rows and all(r[3] > 3 for r in shown_rows) and len(shown_rows) < rows,
          f"'cc>3' keeps the methods over 3 ({[r[2] for r in shown_rows]})")
    shown_rows = page.type_filter("file:java/Checkout method:tot")
    check([r[2] for r in shown_rows] == ["total(String[], int[], int[], String)"],
          f"'file:java/Checkout method:tot' finds Checkout.total ({shown_rows})")
    shown_rows = page.type_filter("otal")
    check(shown_rows == [], "a word matches where a name starts, not inside it ('otal')")
    count = page.evaluate("document.getElementById('filter-count').textContent")
    check(count == f"0 of {rows} methods", f"the filter says how many it shows ({count!r})")
    check(page.location_hash() == "#q=otal", f"the address keeps the filter ({page.location_hash()!r})")
    page.screenshot("batch-index-filtered.png")
    page.open("batch/index.html", "#q=" + urllib.parse.quote("class:Checkout"))
    kept = page.evaluate(VISIBLE)
    check(kept and all(r[1] == "Checkout" for r in kept), "a filter in the address is applied on opening")

    print("flowchart batch: a file's page")
    page.open("batch/files/java/Inventory.java/index.html")
    with open(os.path.join(source_dir, "tests/fixtures/examples/java/Inventory.java"), encoding="utf-8") as f:
        source_lines = len(f.read().splitlines())
    lines = page.evaluate("document.querySelectorAll('ol.source li').length")
    check(lines == source_lines, f"the file's page shows its source with numbered lines ({lines} of {source_lines})")
    crumbs = page.evaluate("[...document.querySelectorAll('ol.crumbs li')].map(li => li.textContent)")
    check(crumbs == ["index", "java", "Inventory.java"], f"the breadcrumb reads index > java > Inventory.java {crumbs}")
    method_links = page.evaluate("[...document.querySelectorAll('#file-methods td:nth-child(2) a')]"
                                 ".map(a => a.getAttribute('href'))")
    check(len(method_links) >= 5, f"each method links to its drawing ({len(method_links)})")
    page.screenshot("batch-file.png")
    page.follow("#file-methods td:nth-child(2) a", "the first method's link")

    print("flowchart batch: a method's page")
    check(bool(page.shown()), "the method's link opens its drawing")
    check(page.evaluate("document.documentElement.classList.contains('js')"),
          "the shared drawing script runs from file://")
    title = page.evaluate("document.title")
    check("Inventory" in title and "java/Inventory.java" in title, f"the title names class and file ({title!r})")
    crumbs = page.evaluate("[...document.querySelectorAll('ol.crumbs li')].map(li => li.textContent)")
    check(crumbs[:4] == ["index", "java", "Inventory.java", "Inventory"] and len(crumbs) == 5,
          f"the breadcrumb leads back through the file and class {crumbs}")
    page.fitted("a method's page of the site")
    page.screenshot("batch-method.png")
    # The legend's picture is shared by the site's pages: waited for until decoded.
    width = page.evaluate("""(() => {
      document.querySelector('details.legend').open = true;
      const img = document.querySelector('details.legend img');
      if (!img) return 0;
      const decoded = img.decode().then(() => img.naturalWidth, () => img.naturalWidth);
      const late = new Promise(r => setTimeout(() => r(img.naturalWidth), %d));
      return Promise.race([decoded, late]);
    })()""" % PAGE_WAIT_MS)
    check(width > 400, f"the drawing's legend shows the site's shared picture ({width} px wide)")
    page.evaluate("document.querySelector('details.legend').open = false")
    page.follow("ol.crumbs li:nth-child(3) a", "the file's crumb")
    check(page.evaluate("location.pathname").endswith("/files/java/Inventory.java/index.html"),
          "the file's crumb leads back to the file's page")
    page.follow("ol.crumbs li:first-child a", "the index's crumb")
    check(page.evaluate("location.pathname").endswith("/batch/index.html"), "the index's crumb leads to the index")


def check_jdk_site(page, check):
    """The site of the JDK's java.util.concurrent in a 1400-pixel window:
    long names wrap so that the measures stay in sight, and the filter
    tells the three transfer methods apart by class."""
    if not os.path.exists(os.path.join(page.out, "jdk-site/index.html")):
        print("jdk-site/index.html: skipped (no JDK sources)")
        return
    print("jdk-site/index.html")
    page.set_window(1400, 1000)
    page.open("jdk-site/index.html")
    wide = page.evaluate("document.getElementById('methods').getBoundingClientRect().right")
    check(wide <= 1400, f"long names wrap: the methods table ends at {wide:.0f} px of 1400")
    # The filter covers the parts loaded so far; these methods may be in a later one.
    check(page.until(ALL_LOADED), "every part of the index's data is loaded")
    transfers = page.type_filter("method:transfer")
    owners = sorted(r[1] for r in transfers)
    check(len(owners) >= 3, f"'method:transfer' finds the transfer methods of {owners}")
    one = page.type_filter("class:ConcurrentHashMap method:transfer")
    check(len(one) == 1, f"'class:ConcurrentHashMap method:transfer' finds one ({one})")
    puts = page.type_filter("hashmap put")
    check(puts and not any(r[2].startswith("compute") for r in puts),
          f"'hashmap put' finds put methods, no compute ({len(puts)} rows)")
    page.screenshot("jdk-site-index.png")
    page.set_window(1280, 1000)


def check_sequences(page, check):
    print("sequence.html")
    page.open("sequence.html")
    section = page.shown()
    page.sensible(section, "sequence diagram")
    check(bool(section) and section[0]["name"] == "Sequence diagram" and section[0]["shapes"] == 3
          and section[0]["connectors"] == 5, "three lifelines and five messages")
    page.fitted("the sequence diagram")
    page.screenshot("sequence.png")

    print("method-sequence.html")
    page.open("method-sequence.html")
    section = page.shown()
    page.sensible(section, "flowchart sequence")
    lifelines = page.evaluate("document.querySelectorAll('section.page g.shape[data-master=\"Object Lifeline\"]').length")
    check(bool(section) and section[0]["name"] == "Shop.checkout: sequence diagram"
          and lifelines == 10 and section[0]["connectors"] == 24,
          f"Shop.checkout at depth 2: ten lifelines (the exception thrown has none) and 24 messages "
          f"({lifelines}, {section})")
    page.readable("the method's sequence diagram")
    hover = page.evaluate("document.querySelector('section.page g.connector title').textContent")
    check(hover == "line 16: validate(item, count)", f"a message shows its line and whole call on hover: {hover!r}")
    page.screenshot("method-sequence.png")


def check_jdk_sequences(page, check):
    """The JDK's HashMap.putVal and ThreadPoolExecutor.addWorker at depth 2:
    bars and frames drawn, opened at a zoom where the smallest text is at
    least 9 pixels high from the top left corner, and the lifelines' boxes
    kept at the top when the picture is panned down."""
    for name, what in (("jdk-hashmap-putval", "HashMap.putVal"),
                       ("jdk-threadpool-addworker", "ThreadPoolExecutor.addWorker")):
        if not os.path.exists(os.path.join(page.out, name + ".html")):
            print(f"{name}.html: skipped (no JDK sources)")
            continue
        print(f"{name}.html")
        page.open(name + ".html")
        section = page.shown()
        page.sensible(section, what)

        def count(master):
            return page.evaluate(
                f"document.querySelectorAll('section.page g.shape[data-master=\"{master}\"]').length")

        bars, frames = count("Activation"), count("Fragment")
        check(bars > 0 and frames > 0, f"{what}: {bars} activation bars and {frames} fragments")
        # Folded onto pages, its first page may open whole, at a zoom still readable.
        p, smallest = page.picture(), page.evaluate("window.flowchartViews.current().smallestText()")
        scale = p["view"]["width"] / p["viewBox"][2]
        if min(1.0, p["view"]["width"] / p["picture"][0], p["view"]["height"] / p["picture"][1]) * smallest >= 9:
            check(scale * smallest >= 8.99, f"{what}: opens whole at {scale:.0%}, its smallest text "
                                            f"{scale * smallest:.1f} px")
        else:
            page.readable(what)
        page.screenshot(name + ".png")
        for _ in range(12):
            page.press("ArrowDown")
        kept = page.evaluate("""(() => {
          const view = document.querySelector('section.page .view').getBoundingClientRect();
          const kept = [...document.querySelectorAll('section.page g.kept-header')]
              .filter(g => g.style.display !== 'none').map(g => g.getBoundingClientRect());
          return {count: kept.length, top: Math.min(...kept.map(r => r.top)) - view.top};
        })()""")
        check(kept["count"] > 0 and 0 <= kept["top"] <= 12,
              f"{what}: panned down, {kept['count']} lifeline boxes stay at the top ({kept['top']:.0f} px)")
        page.screenshot(name + "-panned.png")


def check_jdk_flowcharts(page, check):
    for name, _, _, what in JDK_FLOWCHARTS:
        if not os.path.exists(os.path.join(page.out, "jdk-flow-" + name + ".html")):
            continue
        print("JDK flowchart: " + what)
        page.open("jdk-flow-" + name + ".html")
        section = page.shown()
        page.sensible(section, what)
        page.fitted(what)
        page.screenshot("jdk-flow-" + name + ".png")
        pages = page.evaluate("document.querySelectorAll('section.page').length")
        if pages > 1:
            # Followed by its address: the box may lie below the window.
            href = page.evaluate("document.querySelector('section#page-1 g.shape[data-master=\"Folded\"]')"
                                 ".closest('a').getAttribute('href')")
            page.hash_change("location.hash = %s" % json.dumps(href))
            check(page.shown()[0]["id"] == href.lstrip("#"), what + ": a folded box links to its page " + href)
            page.screenshot("jdk-flow-" + name + "-folded.png")


def run_checks(page, check, source_dir):
    check_flowchart_pages(page, check)
    check_pan_and_zoom(page, check)
    check_links_and_history(page, check)
    check_narrow_window(page, check)
    check_without_script(page, check)
    check_drawn_method(page, check)
    check_folded_method(page, check)
    check_site(page, check, source_dir)
    check_jdk_site(page, check)
    check_bigsite(page, check)
    check_sequences(page, check)
    check_jdk_sequences(page, check)
    check_jdk_flowcharts(page, check)
    readable_check.check_readable(page, check)
    sequence_fit_check.check(page, check)
    access_check.run(page, check, NODE_MODULES)
    mermaid_check.check(page, check)
    diff_check.check(page, check)


def in_chromium(out, check, run, width=1280, height=1000):
    """Runs run(page) on the one tab of a fresh headless Chromium."""
    session_end = time.monotonic() + SESSION_SECONDS
    profile = tempfile.mkdtemp(prefix="flowchart-chromium-")
    browser = None
    tools = None
    try:
        browser, port = start_chromium(profile, session_end)
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=STEP_SECONDS) as answer:
            targets = json.load(answer)
        target = next((t for t in targets if t.get("type") == "page"), None)
        if target is None:
            raise BrowserError("chromium has no page to drive")
        tools = DevTools(target["webSocketDebuggerUrl"], session_end)
        tools.call("Page.enable")
        page = Page(tools, out, check)
        page.set_window(width, height)
        run(page)
    finally:
        if tools:
            tools.close()
        if browser:
            stop_chromium(browser)
        shutil.rmtree(profile, ignore_errors=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_source = os.path.dirname(os.path.dirname(here))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", required=True, help="the built flowchart-engine")
    parser.add_argument("--flowchart", required=True, help="the built flowchart command")
    parser.add_argument("--out", required=True, help="folder for the drawings and screenshots (emptied first)")
    parser.add_argument("--source-dir", default=default_source, help="the project's source tree")
    parser.add_argument("--node-modules", default="",
                        help="npm packages of tests/browser/package.json (mermaid, axe-core)")
    parser.add_argument("--jdk-sources", default=JDK_SOURCES, help="the JDK's src.zip, when installed")
    args = parser.parse_args()
    args.source_dir = os.path.abspath(args.source_dir)
    global NODE_MODULES
    NODE_MODULES = args.node_modules
    out = os.path.abspath(args.out)

    if websocket is None:
        print("browser_check: the websocket-client library is missing (Debian python3-websocket): skipped")
        return SKIPPED
    if shutil.which("chromium") is None:
        print("browser_check: chromium is missing (Debian chromium): skipped")
        return SKIPPED

    draw_all(args, out)
    check = Checks()
    return checked_session("browser_check", out, check, lambda page: run_checks(page, check, args.source_dir))


def checked_session(name, out, check, run, width=1280, height=1000):
    """Runs run(page) in Chromium (in_chromium), a browser that fails
    counted as a failed check; the exit status, after the tally."""
    try:
        in_chromium(out, check, run, width, height)
    except (BrowserError, OSError) as error:
        print(f"{name}: {error}")
        check(False, "the browser did what it was asked")
    print(f"screenshots in {out}")
    print(f"{check.passed} passed, {check.failed} failed")
    return 1 if check.failed else 0


if __name__ == "__main__":
    sys.exit(main())
