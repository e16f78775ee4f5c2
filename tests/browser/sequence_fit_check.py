"""Long sequence diagrams fold onto pages that fit: a generated method too
large for one page opens readable (its smallest text at least 9 pixels
high), its ref frames open the pages of its folded parts and of the
methods it calls (by a click and by the Enter key), and each page takes
at most three screens of 1400 x 1000 at the zoom it opens at.  With
Derby's sources (FLOWCHART_DERBY_SOURCES, as readable_check reads it)
the same holds for RawStore.backup at depth 2, whose first page and one
folded part are saved as screenshots."""
import json
import os
import subprocess

import readable_check

# A method of six blocks of sixteen calls each on eight objects, and two
# helpers of thirty calls that do not fit beside them.
def generated_java():
    objects = "ABCDEFGH"
    fields = "".join(f"  {t} {t.lower()};\n" for t in objects)

    def calls(tag, count, indent):
        return "".join(f"{indent}{objects[k % 8].lower()}.{tag}{k}(n);\n" for k in range(count))

    return ("class Fit {\n" + fields +
            "  void run(int n) {\n"
            "    for (int i = 0; i < n; i++) {\n" + calls("loop", 16, "      ") + "    }\n"
            "    try {\n" + calls("attempt", 16, "      ") + "    } catch (RuntimeException x) {\n"
            "      h.failed(x);\n    }\n"
            "    if (n > 3) {\n" + calls("then", 16, "      ") + "    }\n"
            "    helper(n);\n"
            "    while (n-- > 0) {\n" + calls("again", 16, "      ") + "    }\n"
            "    synchronized (this) {\n" + calls("locked", 16, "      ") + "    }\n"
            "    do {\n" + calls("repeat", 16, "      ") + "    } while (n++ < 9);\n"
            "    other(n);\n"
            "  }\n"
            "  void helper(int n) {\n" + calls("help", 30, "    ") + "  }\n"
            "  void other(int n) {\n" + calls("more", 30, "    ") + "  }\n"
            "}\n")


def draw(args, out):
    folder = os.path.join(out, "sequence-fit")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Fit.java"), "w") as f:
        f.write(generated_java())
    runs = [[args.flowchart, "sequence", "Fit.java", "run", "--depth", "2", "-o", os.path.join(out, "sequence-fit.html")]]
    derby = os.environ.get("FLOWCHART_DERBY_SOURCES", "")
    raw_store = readable_check.find(derby, "impl/store/raw/RawStore.java") if os.path.isdir(derby) else None
    if raw_store:
        runs.append([args.flowchart, "sequence", raw_store, "backup(Transaction, File)", "--depth", "2",
                     "--src", derby, "-o", os.path.join(out, "sequence-fit-backup.html")])
    else:
        print("sequence_fit_check: RawStore.backup skipped (no Derby sources)")
    for command in runs:
        result = subprocess.run(command, cwd=folder, stdout=subprocess.DEVNULL)
        if result.returncode != 0:
            raise SystemExit(f"sequence_fit_check: {' '.join(command[1:4])} failed with {result.returncode}")


# Every page's name, the smallest text of its picture in picture units and
# its size: what opening it at a readable zoom makes of it.
PAGES = """[...document.querySelectorAll('section.page')].map(s => {
  const svg = s.querySelector('.view svg');
  let smallest = Infinity;
  for (const t of svg.querySelectorAll('text')) smallest = Math.min(smallest, parseFloat(t.getAttribute('font-size')));
  return {id: s.id, name: s.dataset.name, width: +svg.getAttribute('width'), height: +svg.getAttribute('height'),
          smallest};
})"""

# The shown page's picture on screen: its smallest text in pixels and the
# screens of 1400 x 1000 the whole picture takes at this zoom (its area
# in screens, a side shorter than the screen's counting as a whole one).
OPENED = """(() => {
  const s = [...document.querySelectorAll('section.page')].find(s => getComputedStyle(s).display !== 'none');
  const svg = s.querySelector('.view svg'), scale = svg.getScreenCTM().a;
  let smallest = Infinity;
  for (const t of svg.querySelectorAll('text'))
    smallest = Math.min(smallest, parseFloat(getComputedStyle(t).fontSize) * scale);
  const w = +svg.getAttribute('width') * scale, h = +svg.getAttribute('height') * scale;
  return {id: s.id, name: s.dataset.name, smallest, screens: Math.max(1, w / 1400) * Math.max(1, h / 1000)};
})()"""

REFS = """[...document.querySelectorAll('section#page-1 a.hyperlink')].map(a => ({
  href: a.getAttribute('href'), label: a.getAttribute('aria-label') || '',
  text: a.querySelector('text') ? a.querySelector('text').textContent.trim() : ''}))"""


def press_enter(page):
    for kind in ("keyDown", "keyUp"):
        page.tools.call("Input.dispatchKeyEvent", type=kind, key="Enter", code="Enter", windowsVirtualKeyCode=13,
                        **({"text": "\r"} if kind == "keyDown" else {}))


def click_ref(page, href, what):
    """Brings a ref frame of the first page well into sight (the view
    pans to a link that takes the focus near its edge, and the click is
    lost) and clicks its name."""
    selector = f"section#page-1 a.hyperlink[href={json.dumps(href)}] text"
    page.evaluate(f"(() => {{ const b = document.querySelector({json.dumps(selector)}).getBBox();"
                  " window.flowchartViews.current().reveal(b.x, b.y - 200, b.width, b.height + 400); })()")
    page.settled()
    page.click_to_page(selector, what)
    page.settled()


def largest_page(page, name, check):
    """Opens every page of a drawing in turn; answers the one taking the
    most screens as it opens."""
    largest = None
    for each in page.evaluate(PAGES):
        page.open(name, "#" + each["id"])
        page.settled()
        opened = page.evaluate(OPENED)
        check(opened["smallest"] >= 8.99,
              f"{name} {each['name']}: opens with its smallest text {opened['smallest']:.1f} px high")
        if not largest or opened["screens"] > largest["screens"]:
            largest = opened
    return largest


def check(page, check):
    print("long sequence diagrams fold onto pages that fit")
    page.set_window(1400, 1000)
    page.open("sequence-fit.html")
    refs = page.evaluate(REFS)
    parts = [r for r in refs if "on a page of its own" in r["label"]]
    callees = [r for r in refs if "the method it calls" in r["label"]]
    check(len(parts) >= 2 and len(callees) >= 1,
          f"Fit.run's first page has ref frames to its parts ({len(parts)}) and to a callee ({len(callees)})")
    if parts:
        click_ref(page, parts[0]["href"], "a part")
        shown = page.evaluate(OPENED)
        check("#" + shown["id"] == parts[0]["href"] and parts[0]["text"] == "ref " + shown["name"],
              f"clicking {parts[0]['text']!r} opens its page ({shown['name']})")
    if callees:
        page.open("sequence-fit.html")
        page.evaluate(f"document.querySelector('section#page-1 a.hyperlink[href={json.dumps(callees[0]['href'])}]')"
                      ".focus()")
        page.arm_hash_change()
        press_enter(page)
        page.await_hash_change()
        shown = page.evaluate(OPENED)
        check("#" + shown["id"] == callees[0]["href"] and shown["name"] in ("Fit.helper", "Fit.other"),
              f"Enter on {callees[0]['text']!r} opens the callee's diagram ({shown['name']})")
    largest = largest_page(page, "sequence-fit.html", check)
    check(largest["screens"] <= 3.0,
          f"Fit.run's largest page ({largest['name']}) takes {largest['screens']:.2f} screens of 1400 x 1000")

    if os.path.exists(os.path.join(page.out, "sequence-fit-backup.html")):
        page.open("sequence-fit-backup.html")
        page.settled()
        first = page.evaluate(OPENED)
        page.screenshot("sequence-fit-backup.png")
        # The screenshot takes the whole page: opened afresh, it is as a reader sees it.
        page.open("sequence-fit-backup.html")
        page.settled()
        backup_refs = [r for r in page.evaluate(REFS) if "on a page of its own" in r["label"]]
        check(bool(backup_refs), f"RawStore.backup's first page has ref frames to its parts ({len(backup_refs)})")
        if backup_refs:
            click_ref(page, backup_refs[0]["href"], "a part of RawStore.backup")
            part = page.evaluate(OPENED)
            check("#" + part["id"] == backup_refs[0]["href"],
                  f"clicking {backup_refs[0]['text']!r} opens its page ({part['name']})")
            page.screenshot("sequence-fit-backup-part.png")
            print(f"  RawStore.backup: first page {first['screens']:.2f} screens, "
                  f"{part['name']} {part['screens']:.2f} screens")
        largest = largest_page(page, "sequence-fit-backup.html", check)
        check(largest["screens"] <= 3.0,
              f"RawStore.backup at depth 2: its largest page ({largest['name']}) takes "
              f"{largest['screens']:.2f} screens of 1400 x 1000")
    page.set_window(1280, 1000)
