#!/usr/bin/env python3
"""The widths of a batch site's flowchart pages: how many pages there are,
how many are wider than a limit (2,304 px, the 24 inches auto folding
keeps to), and the widest of them with their drawings.

    python3 bench/page_widths.py SITE_DIR [--limit PX] [--top N]
"""
import argparse
import os
import re
import sys

# Each page of a drawing is one picture of its own size.
PICTURE = re.compile(rb'<svg xmlns="http://www.w3.org/2000/svg" width="([0-9.]+)" height="([0-9.]+)"')


def pages(site):
    """(width, height, drawing, page number) of every flowchart page."""
    for folder, _, names in os.walk(os.path.join(site, "files")):
        for name in sorted(names):
            if not name.endswith(".html") or name == "index.html" or name.endswith("-sequence.html"):
                continue
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                text = f.read()
            for number, match in enumerate(PICTURE.finditer(text), 1):
                yield float(match.group(1)), float(match.group(2)), os.path.relpath(path, site), number


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site")
    parser.add_argument("--limit", type=float, default=2304)
    parser.add_argument("--top", type=int, default=10)
    args = parser.parse_args()
    found = sorted(pages(args.site), reverse=True)
    if not found:
        print(f"{args.site}: no flowchart pages", file=sys.stderr)
        return 1
    over = [p for p in found if p[0] > args.limit]
    drawings = {p[2] for p in found}
    print(f"{args.site}: {len(found):,} pages in {len(drawings):,} drawings; widest {found[0][0]:,.0f} px; "
          f"{len(over)} wider than {args.limit:,.0f} px")
    for width, height, drawing, number in found[:args.top]:
        print(f"  {width:7,.0f} x {height:7,.0f}  {drawing} page {number}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
