#!/usr/bin/python3
"""The VS Code extension's panel page in headless Chromium, as VS Code
would show it: editors/vscode/media/panel.html with a stand-in for the
webview's acquireVsCodeApi, fed the answers `flowchart lsp` gives for a
shipped example's method (its flowchart in the light and dark themes).

Checks that the page shows the drawing in the theme sent, marks the box
of the cursor's line and follows a cursor message, posts a box's lines
when it is clicked and on Enter, moves along the arrows with Down, and
that axe-core finds no WCAG 2.1 A/AA violation in either theme.  Saves
screenshots of the panel beside a stand-in editor showing the source
(panel-light.png, panel-dark.png) in the output folder.

Exits 0 when every check passed, 1 when one failed, 77 when Chromium or
the websocket-client library is missing.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time

from browser_check import SKIPPED, Checks, checked_session, websocket
from access_check import axe_violations

EXAMPLE = "tests/fixtures/examples/java/Checkout.java"
CURSOR_LINE = 22  # "if (quantities[i] <= 0) {", 1-based

# Stands in for the webview's API: what the page posts is kept.
STAND_IN = """window.acquireVsCodeApi = () => ({
  postMessage: (message) => { (window.__posted = window.__posted || []).push(message); },
  setState: (state) => { window.__state = state; },
  getState: () => window.__state,
});"""


def frame(message):
    body = json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


def server_answers(flowchart, source):
    """flowchart lsp's answers to flowchart/graph at the cursor's line, light and dark."""
    uri = "file://" + source
    with open(source, encoding="utf-8") as f:
        text = f.read()
    session = [
        {"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}},
        {"jsonrpc": "2.0", "method": "initialized", "params": {}},
        {"jsonrpc": "2.0", "method": "textDocument/didOpen",
         "params": {"textDocument": {"uri": uri, "languageId": "java", "version": 1, "text": text}}},
    ]
    for id, theme in ((2, "light"), (3, "dark")):
        session.append({"jsonrpc": "2.0", "id": id, "method": "flowchart/graph",
                        "params": {"textDocument": {"uri": uri}, "theme": theme,
                                   "position": {"line": CURSOR_LINE - 1, "character": 0}}})
    session += [{"jsonrpc": "2.0", "id": 4, "method": "shutdown"}, {"jsonrpc": "2.0", "method": "exit"}]
    out = subprocess.run([flowchart, "lsp"], input=b"".join(frame(m) for m in session), capture_output=True,
                         check=True, timeout=60).stdout
    answers = {}
    while out:
        head, _, rest = out.partition(b"\r\n\r\n")
        length = int(head.split(b":")[1])
        message = json.loads(rest[:length])
        out = rest[length:]
        if "id" in message:
            answers[message["id"]] = message.get("result")
    return text, answers[2], answers[3]


def write_pages(source_dir, out, text):
    """The panel's page as the extension serves it (its policy's source
    the page's own folder), and a stand-in editor beside it."""
    media = os.path.join(source_dir, "editors", "vscode", "media")
    for name in ("panel.js", "panel.css"):
        shutil.copy(os.path.join(media, name), out)
    with open(os.path.join(media, "panel.html"), encoding="utf-8") as f:
        page = f.read().replace("{{cspSource}}", "file:")
    with open(os.path.join(out, "panel.html"), "w", encoding="utf-8") as f:
        f.write(page)
    rows = "".join(
        f'<tr{" class=cursor" if n == CURSOR_LINE else ""}><td>{n}</td><td>{line.replace("&", "&amp;").replace("<", "&lt;")}</td></tr>'
        for n, line in enumerate(text.split("\n"), 1) if 15 <= n <= 58)
    editor = f"""<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>stand-in editor</title><style>
body {{ margin: 0; display: flex; height: 100vh; font: 13px 'DejaVu Sans Mono', monospace; }}
body.dark {{ background: #1b1f24; color: #e6e9ee; }} body.light {{ background: #ffffff; color: #222222; }}
#editor {{ width: 46%; overflow: hidden; padding: 8px; border-right: 1px solid #888; }}
table {{ border-collapse: collapse; }} td {{ padding: 0 6px; white-space: pre; }}
td:first-child {{ color: #888; text-align: right; }} tr.cursor {{ background: rgba(128, 128, 255, 0.25); }}
iframe {{ flex: 1; border: 0; }}
</style></head><body><div id="editor"><table>{rows}</table></div>
<iframe id="panel" title="flowchart panel" src="panel.html" onload="this.dataset.loaded = 1"></iframe></body></html>"""
    with open(os.path.join(out, "editor.html"), "w", encoding="utf-8") as f:
        f.write(editor)


def send(page, message):
    """A message from the extension, as the webview delivers it."""
    page.evaluate(f"window.dispatchEvent(new MessageEvent('message', {{data: {json.dumps(message)}}})), true")


CURRENT = """(() => { const e = document.querySelector('.current');
  return e && {lines: e.getAttribute('data-lines'), current: e.getAttribute('aria-current'),
               status: document.getElementById('status').textContent}; })()"""


def check_panel(page, check, out, light, dark, axe_source):
    tools = page.tools
    tools.call("Page.addScriptToEvaluateOnNewDocument", source=STAND_IN)
    for result, theme in ((light, "light"), (dark, "dark")):
        tools.call("Page.navigate", url="file://" + os.path.join(out, "panel.html"))
        tools.wait_for("Page.loadEventFired")
        posted = page.evaluate("window.__posted")
        check(posted == [{"type": "ready"}], f"{theme}: the page tells the extension it is ready: {posted}")
        send(page, {"type": "show", "svg": result["svg"], "method": result["method"], "theme": theme,
                    "line": CURSOR_LINE})
        shown = page.evaluate("""({theme: document.documentElement.dataset.theme,
            heading: document.getElementById('method').textContent,
            boxes: document.querySelectorAll('main svg [data-lines]').length,
            sheet: getComputedStyle(document.querySelector('rect.sheet')).fill})""")
        check(shown["theme"] == theme and shown["heading"] == result["method"] and shown["boxes"] > 20,
              f"{theme}: the drawing is shown in its theme: {shown}")
        check((shown["sheet"] == "rgb(27, 31, 36)") == (theme == "dark"),
              f"{theme}: the picture's sheet takes the theme's colour: {shown['sheet']}")
        current = page.evaluate(CURRENT)
        check(current == {"lines": "22-22", "current": "location",
                          "status": "Line 22: " + page.evaluate("document.querySelector('.current').getAttribute('aria-label')")},
              f"{theme}: the cursor's line {CURSOR_LINE} marks its box: {current}")
        violations = axe_violations(page, axe_source)
        check(violations == [], f"{theme}: axe WCAG 2.1 A/AA finds nothing: {violations}")

    send(page, {"type": "cursor", "line": 26})
    current = page.evaluate(CURRENT)
    check(current is not None and current["lines"] == "26-26" and len(page.evaluate("document.querySelectorAll('.current')")) == 1,
          f"a cursor message moves the mark to line 26's box: {current}")
    # A real click on the box of lines 28-29.
    centre = page.evaluate("""(() => { const e = document.querySelector('[data-lines="28-29"]');
        e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();
        return {x: r.left + r.width / 2, y: r.top + r.height / 2}; })()""")
    for kind in ("mousePressed", "mouseReleased"):
        page.mouse(kind, centre["x"], centre["y"], button="left", clickCount=1)
    posted = page.evaluate("window.__posted.slice(-1)")
    check(posted == [{"type": "select", "firstLine": 28, "lastLine": 29}], f"a click posts the box's lines: {posted}")
    # The keyboard: Enter selects, Down follows the first arrow.
    page.evaluate("document.querySelector('[data-lines=\"22-22\"]').focus(), true")
    page.press("ArrowDown")
    focused = page.evaluate("document.activeElement.getAttribute('data-name')")
    expected = page.evaluate("document.querySelector('[data-lines=\"22-22\"]').getAttribute('data-next').split(' ')[0]")
    check(focused == expected, f"Down follows the first arrow: {focused} (expected {expected})")
    tools.call("Input.dispatchKeyEvent", type="keyDown", key="Enter", code="Enter", windowsVirtualKeyCode=13)
    tools.call("Input.dispatchKeyEvent", type="keyUp", key="Enter", code="Enter", windowsVirtualKeyCode=13)
    posted = page.evaluate("window.__posted.slice(-1)[0]")
    check(posted.get("type") == "select" and posted.get("firstLine", 0) >= 22,
          f"Enter on the focused box posts its lines: {posted}")

    # Screenshots: the panel beside the stand-in editor, in both themes.
    for result, theme in ((light, "light"), (dark, "dark")):
        tools.call("Page.navigate", url="file://" + os.path.join(out, "editor.html"))
        tools.wait_for("Page.loadEventFired")
        page.evaluate(f"document.body.className = '{theme}', true")
        page.until("document.getElementById('panel').dataset.loaded")
        # The frame is of another origin (file:), as a webview is: a message crosses.
        message = {"type": "show", "svg": result["svg"], "method": result["method"], "theme": theme, "line": CURSOR_LINE}
        page.evaluate(f"document.getElementById('panel').contentWindow.postMessage({json.dumps(message)}, '*'), true")
        time.sleep(0.5)
        page.settled()
        page.screenshot(f"panel-{theme}.png")
        check(os.path.getsize(os.path.join(out, f"panel-{theme}.png")) > 10000, f"screenshot panel-{theme}.png saved")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--flowchart", required=True)
    parser.add_argument("--source-dir", default=os.path.dirname(os.path.dirname(here)))
    parser.add_argument("--node-modules", required=True, help="the browser check's npm packages (axe-core)")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if websocket is None or shutil.which("chromium") is None:
        print("panel_check: chromium or the websocket-client library is missing: skipped")
        return SKIPPED
    out = os.path.abspath(args.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    check = Checks()
    axe_path = os.path.join(args.node_modules, "axe-core", "axe.min.js")
    check(os.path.isfile(axe_path), f"axe-core is installed ({axe_path})")
    if not os.path.isfile(axe_path):
        return 1
    with open(axe_path) as f:
        axe_source = f.read()
    text, light, dark = server_answers(args.flowchart, os.path.join(args.source_dir, EXAMPLE))
    write_pages(args.source_dir, out, text)
    return checked_session("panel_check", out, check,
                           lambda page: check_panel(page, check, out, light, dark, axe_source), 1400, 900)


if __name__ == "__main__":
    sys.exit(main())
