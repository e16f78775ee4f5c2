#!/usr/bin/env python3
"""Shows that version 1 of the generator still gives, seed for seed, the
methods an earlier commit's generator gave, so an old failure stays
reproducible: compares the classes of both byte for byte.

    same_old_methods.py [--rev ac47aca] [--seeds 2000]
"""

import argparse
import importlib.util
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import java_methods  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rev", default="ac47aca", help="the commit whose generator is compared with")
    parser.add_argument("--seeds", type=int, default=2000)
    args = parser.parse_args()
    old_text = subprocess.run(["git", "-C", HERE, "show", "%s:tests/trace/java_methods.py" % args.rev],
                              check=True, capture_output=True, text=True).stdout
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "old_java_methods.py")
        with open(path, "w") as f:
            f.write(old_text)
        found = importlib.util.spec_from_file_location("old_java_methods", path)
        old = importlib.util.module_from_spec(found)
        found.loader.exec_module(old)
    different = 0
    # The seeds the trace test and bench/flow_traces use (seed * 100003 + k), and more.
    seeds = sorted({s * 100003 + k for s in range(1, 21) for k in range(40)} | set(range(args.seeds)))
    for seed in seeds:
        for depth in (4, 5):
            if old.generate_class(seed, "G0", 10, depth) != java_methods.generate_class(seed, "G0", 10, depth):
                different += 1
                print("seed %d depth %d: the classes differ" % (seed, depth))
    print("same_old_methods: %d classes of %d seeds compared with %s, %d differ"
          % (2 * len(seeds), len(seeds), args.rev, different))
    print("SUPPORT %s" % ("same" if old.SUPPORT == java_methods.SUPPORT else "differs"))
    return 1 if different or old.SUPPORT != java_methods.SUPPORT else 0


if __name__ == "__main__":
    sys.exit(main())
