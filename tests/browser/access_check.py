"""Pages everyone can read: axe-core's WCAG 2.1 A and AA rules on a method's
page, a folded page, a sequence diagram, the site's index and a file page,
in the light and the dark scheme; the keyboard's way through a method's
boxes along its arrows; every node of the method's graph a named,
focusable box with a line in the text outline; a box's source lines; and
screenshots of both themes."""
import json
import os
import subprocess

AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"]

# The pages axe checks, by what they are: (file below the output folder, fragment).
AXE_PAGES = (
    ("a method's page", "checkout-total.html", ""),
    ("a folded page", "checkout-total-folded.html", "#page-2"),
    ("a sequence diagram", "method-sequence.html", ""),
    ("the site's index", "batch/index.html", ""),
    ("a file page", "batch/files/java/Checkout.java/index.html", ""),
    ("a site's drawing", "batch/files/java/Checkout.java/Checkout.total-L19.html", ""),
    ("a diff's index", "diff/history/index.html", ""),
    ("a diff's method page", "diff/history/methods/m1.html", ""),
    ("a diff's merged drawing", "diff/history/methods/m1-drawing.html", ""),
    ("a diff's base drawing", "diff/history/methods/m1-drawing.html", "#base"),
    ("a diff's head drawing", "diff/history/methods/m1-drawing.html", "#head"),
)

BOX = "g[tabindex], a[aria-label]"

KEYS = {"Tab": 9, "Enter": 13, "Escape": 27, "ArrowLeft": 37, "ArrowUp": 38, "ArrowRight": 39, "ArrowDown": 40,
        "n": 78, "p": 80}


def press(page, key):
    text = {"text": "\r"} if key == "Enter" else {}
    page.tools.call("Input.dispatchKeyEvent", type="keyDown", key=key, code=key,
                    windowsVirtualKeyCode=KEYS[key], **text)
    page.tools.call("Input.dispatchKeyEvent", type="keyUp", key=key, code=key, windowsVirtualKeyCode=KEYS[key])
    page.settled()


def draw(args, out):
    """The method's graph as JSON beside its page, and HashMap.putVal when
    the JDK's sources were unpacked for the other checks."""
    examples = os.path.join(args.source_dir, "tests/fixtures/examples")
    for output in ("checkout-total.json", "checkout-total.svg"):
        subprocess.run([args.flowchart, "draw", f"{examples}/java/Checkout.java", "total",
                        "-o", f"{out}/{output}"], check=True, stdout=subprocess.DEVNULL)
    hashmap = os.path.join(out, "jdk/java.base/java/util/HashMap.java")
    if os.path.isfile(hashmap):
        subprocess.run([args.flowchart, "draw", hashmap, "putVal", "-o", f"{out}/jdk-hashmap-putval-flow.html"],
                       check=True, stdout=subprocess.DEVNULL)


def scheme(page, dark):
    """Emulates the reader's colour scheme; a theme chosen on a page
    before is forgotten."""
    page.tools.call("Emulation.setEmulatedMedia", media="screen", features=[
        {"name": "prefers-color-scheme", "value": "dark" if dark else "light"}])
    page.evaluate("(() => { try { localStorage.removeItem('flowchart-theme'); } catch (e) {} return true; })()")


def axe_violations(page, axe_source):
    page.evaluate(axe_source + ";true")
    return page.evaluate("""axe.run(document, {runOnly: {type: 'tag', values: %s}})
        .then(r => r.violations.map(v => v.id + ' (' + v.nodes.length + '): ' +
                  v.nodes.slice(0, 2).map(n => n.target.join(' ')).join(', ')))""" % json.dumps(AXE_TAGS))


def check_axe(page, check, node_modules):
    path = os.path.join(node_modules, "axe-core", "axe.min.js")
    check(os.path.isfile(path), f"axe-core is installed ({path})")
    if not os.path.isfile(path):
        return
    with open(path) as f:
        axe_source = f.read()
    for dark in (False, True):
        scheme(page, dark)
        for what, name, fragment in AXE_PAGES:
            page.open(name, fragment)
            page.settled()
            theme = page.evaluate("document.documentElement.dataset.theme || ''")
            expected = "dark" if dark else "light"
            violations = axe_violations(page, axe_source)
            check(theme == expected and violations == [],
                  f"axe WCAG 2.1 A/AA, {expected} scheme, {what}: {theme} theme, "
                  f"{len(violations)} violations {violations}")
    scheme(page, False)


def focused(page):
    return page.evaluate("""(() => {
      const e = document.activeElement;
      const g = e && (e.matches('g') ? e : e.querySelector && e.querySelector('g'));
      return g && g.dataset.name || null;
    })()""")


DECISION_FILL = """getComputedStyle(document.querySelector('g[data-master="Decision"] path')).fill"""


def check_schemes(page, check):
    """The standalone picture follows the scheme by its own style; printing
    takes the light colours whatever the scheme or the switch say."""
    light, dark = "rgb(255, 242, 204)", "rgb(69, 58, 18)"
    for name in ("checkout-total.svg", "checkout-total.html"):
        scheme(page, True)
        page.open(name)
        on_screen = page.evaluate(DECISION_FILL)
        page.tools.call("Emulation.setEmulatedMedia", media="print",
                        features=[{"name": "prefers-color-scheme", "value": "dark"}])
        printed = page.evaluate(DECISION_FILL)
        check(on_screen == dark and printed == light,
              f"{name}: a decision is {on_screen} on a dark screen, {printed} in print")
    scheme(page, False)
    page.open("checkout-total.html")
    page.evaluate("document.querySelector('button.theme').click(), true")
    switched = page.evaluate(DECISION_FILL)
    page.open("checkout-total.html")
    kept = page.evaluate("document.documentElement.dataset.theme + ' ' + " + DECISION_FILL)
    page.evaluate("localStorage.removeItem('flowchart-theme'), true")
    check(switched == dark and kept == "dark " + dark, f"the switch gives the dark theme ({switched}) and is kept ({kept})")


def check_keyboard(page, check, out):
    page.open("checkout-total.html")
    boxes = page.evaluate("""[...document.querySelectorAll('section.page.shown svg g.shape')]
        .map(g => ({name: g.dataset.name, node: g.dataset.node || '',
                    focusable: (g.closest('%s') || {}).tabIndex >= 0,
                    label: (g.closest('%s') || g).getAttribute('aria-label') || '',
                    next: ((g.closest('%s') || g).dataset.next || '').split(' ').filter(Boolean)}))
        .filter(b => b.node)""" % (BOX, BOX, BOX))
    # Tab goes through the boxes in reading order.
    page.evaluate("document.querySelector('section.page.shown svg g[tabindex]').focus(), true")
    order = [focused(page)]
    for _ in boxes[1:]:
        press(page, "Tab")
        order.append(focused(page))
    check(order == [b["name"] for b in boxes], f"Tab visits the {len(boxes)} boxes in order")
    # Down follows the first arrow out, Right another one, Up goes back.
    by_name = {b["name"]: b for b in boxes}
    page.evaluate("document.querySelector('section.page.shown svg g[tabindex]').focus(), true")
    at, walked, ok = boxes[0]["name"], 0, True
    while by_name[at]["next"] and walked < 12:
        press(page, "ArrowDown")
        now = focused(page)
        ok = ok and now == by_name[at]["next"][0]
        at, walked = now, walked + 1
        if len(by_name.get(at, {}).get("next", [])) > 1:
            break
    check(ok and walked > 2, f"Down follows the first arrow out of each box ({walked} steps to {at})")
    decision = by_name.get(at, {})
    if len(decision.get("next", [])) > 1:
        before = page.view_box()
        press(page, "ArrowRight")
        check(focused(page) == decision["next"][1], "Right takes the other way out of a decision")
        check(page.view_box() == before or page.evaluate("!!window.flowchartViews"),
              "arrow keys on a box move the focus, not the view")
        press(page, "ArrowUp")
        check(focused(page) == at, "Up goes back to the decision")
    # Enter shows the box's lines beside the drawing; Escape hides them.
    press(page, "Enter")
    lines = page.evaluate("""(() => {
      const panel = document.querySelector('aside.source:not([hidden])');
      return panel ? [...panel.querySelectorAll('li.marked')].length : -1; })()""")
    span = page.evaluate("(document.activeElement.dataset.lines || '0-0').split('-').map(Number)")
    check(lines == span[1] - span[0] + 1, f"Enter shows the box's {lines} source lines")
    press(page, "Escape")
    check(page.evaluate("!document.querySelector('aside.source:not([hidden])')"), "Escape closes the source")
    # Every node of the graph is a named, focusable box with a line in the outline.
    with open(os.path.join(out, "checkout-total.json")) as f:
        graph = json.load(f)
    nodes = [n["id"] for g in graph.get("graphs", [graph]) for n in g["nodes"]]
    named = {b["node"] for b in boxes if b["focusable"] and len(b["label"]) > 3}
    outlined = set(page.evaluate("[...document.querySelectorAll('details.outline li[data-node]')]"
                                 ".map(li => li.dataset.node)"))
    check(nodes and set(nodes) <= named, f"all {len(nodes)} nodes of the graph are named, focusable boxes")
    check(nodes and set(nodes) <= outlined, f"all {len(nodes)} nodes of the graph have a line in the outline")


def check_site_source(page, check):
    page.open("batch/files/java/Checkout.java/Checkout.total-L19.html")
    page.evaluate("document.querySelector('section.page.shown svg g[tabindex][data-lines]').focus(), true")
    span = page.evaluate("document.activeElement.dataset.lines.split('-').map(Number)")
    page.tools.events.clear()
    press(page, "Enter")
    page.tools.wait_for("Page.loadEventFired")
    marked = page.evaluate("[...document.querySelectorAll('ol.source li.marked')].map(li => li.id)")
    check(marked == [f"L{n}" for n in range(span[0], span[1] + 1)],
          f"Enter on a site's box opens its file at lines {span[0]}-{span[1]}, marked")
    check(page.evaluate("!!document.querySelector('.back-to-drawing button')"), "the file page leads back")


def screenshots(page, check, out):
    shots = []
    for dark in (False, True):
        scheme(page, dark)
        suffix = "dark" if dark else "light"
        for name, file in (("jdk-hashmap-putval-flow.html", "access-putval"),
                           ("method-sequence.html", "access-sequence")):
            if os.path.isfile(os.path.join(out, name)):
                page.open(name)
                page.settled()
                page.screenshot(f"{file}-{suffix}.png")
                shots.append(f"{file}-{suffix}.png")
    page.open("batch/index.html")
    page.settled()
    page.screenshot("access-index-dark.png")
    shots.append("access-index-dark.png")
    scheme(page, False)
    check(len(shots) >= 3, "screenshots of both themes: " + ", ".join(shots))


def run(page, check, node_modules):
    out = page.out
    check_axe(page, check, node_modules)
    check_schemes(page, check)
    check_keyboard(page, check, out)
    check_site_source(page, check)
    screenshots(page, check, out)
