#!/usr/bin/env python3
# The measuring half of bench/java_parse, which builds the engine first.
# Arguments: ENGINE WORK_FOLDER SIZE_MB...
import os, random, subprocess, sys, time, zlib

engine, work = sys.argv[1:3]
sizes = [int(s) for s in sys.argv[3:]]
RUNS = 3


class Source:
    """Writes Java source a line at a time, counting the bytes."""

    def __init__(self, rng, modern=False):
        self.rng, self.lines, self.size, self.serial, self.modern = rng, [], 0, 0, modern

    def line(self, depth, text):
        text = "  " * depth + text
        self.lines.append(text)
        self.size += len(text) + 1

    def next_id(self):
        self.serial += 1
        return self.serial

    def expression(self):
        r = self.rng.random()
        k = self.rng.randint(0, 999)
        if r < 0.3:
            return "total + values[i %% values.length] * %d" % k
        if r < 0.5:
            return "(total << 2) - (n >> 1) + %d" % k
        if r < 0.7:
            return "Math.max(total, count.get(%d)) / (n + 1)" % k
        if r < 0.85:
            return "total > %d ? total - %d : %d" % (k, k, k + 1)
        return "(int) (total * 1.5e%d) & 0xFF" % self.rng.randint(0, 3)

    def modern_statement(self, depth, index):
        r = self.rng.random()
        if r < 0.2:
            self.line(depth, "total += values.length > %d ? apply(x -> x * %d + n, total) : 0;" % (index % 97, index % 7))
        elif r < 0.35:
            self.line(depth, "var s%d = switch (total %% 4) { case 0, 1 -> \"low\"; case 2 -> { yield \"mid\"; } default -> \"high\"; };" % index)
        elif r < 0.5:
            self.line(depth, "switch (total % 3) { case 0 -> total++; case 1 -> { total--; } default -> total = 0; }")
        elif r < 0.6:
            self.line(depth, "if (log instanceof java.util.List<Integer> l && !l.isEmpty()) total += l.size();")
        elif r < 0.7:
            self.line(depth, "count.forEach((k, v) -> total(k, v)); log.removeIf(Objects::isNull);")
        elif r < 0.78:
            self.line(depth, "try (var in = open(text1)) { total += in.read(); } catch (IOException | RuntimeException e) { total = -1; }")
        elif r < 0.84:
            self.line(depth, "String t%d = \"\"\"" % index)
            self.line(depth + 2, "block <%d> & \"quoted\" text" % index)
            self.line(depth + 2, "\"\"\";")
        else:
            self.statement(depth, index, plain=True)

    def statement(self, depth, index, plain=False):
        if self.modern and not plain:
            self.modern_statement(depth, index)
            return
        r = self.rng.random()
        if r < 0.35:
            self.line(depth, "total = %s;" % self.expression())
        elif r < 0.5:
            self.line(depth, 'log.add("step %d <%d> & \\"done\\"" + total);' % (index, depth))
        elif r < 0.62:
            self.line(depth, "int local%d = %s;" % (index, self.expression()))
        elif r < 0.72:
            self.line(depth, "if (total > %d && n != %d) { total -= %d; } else { total++; }"
                      % (self.rng.randint(0, 999), self.rng.randint(0, 9), self.rng.randint(1, 9)))
        elif r < 0.8:
            self.line(depth, "for (int k = 0; k < n; k++) { total += values[k]; }")
        elif r < 0.86:
            self.line(depth, "while (total > %d) total /= 2;" % self.rng.randint(100, 9999))
        elif r < 0.91:
            self.line(depth, "// statement %d keeps the running total" % index)
            self.line(depth, "count.put(%d, total);" % index)
        elif r < 0.95:
            self.line(depth, "switch (total % 3) { case 0: total++; break; case 1: total--; break; default: total = 0; }")
        else:
            self.line(depth, "try { total = parse(text%d); } catch (RuntimeException e) { total = -1; }" % index)

    def long_method_class(self, statements):
        cls = self.next_id()
        self.line(0, "/* A class with one long method. */")
        self.line(0, "class LongMethod%d {" % cls)
        self.line(1, "public int run(int[] values, int n, java.util.List<Integer> log,")
        self.line(1, "               java.util.Map<Integer, Integer> count, String text1) {")
        self.line(2, "int total = 0;")
        for i in range(statements):
            self.statement(2, i)
        self.line(2, "return total;")
        self.line(1, "}")
        self.line(0, "}")

    def huge_class(self, members):
        cls = self.next_id()
        self.line(0, "public class Huge%d extends Base implements Runnable, Comparable<Huge%d> {" % (cls, cls))
        for i in range(members):
            r = i % 5
            if r == 0:
                self.line(1, "private int field%d = %d;" % (i, i))
            elif r == 1:
                self.line(1, "public int get%d() { return field%d + %d; }" % (i, i - 1, i))
            elif r == 2:
                self.line(1, 'static final String NAME%d = "name \'%d\' <%d>";' % (i, i, i))
            elif r == 3:
                self.line(1, "protected void set%d(final int value) throws IllegalStateException {" % i)
                self.line(2, "if (value < 0) throw new IllegalStateException(\"negative\");")
                self.line(2, "field%d = value; /* kept */" % (i - 3))
                self.line(1, "}")
            elif self.modern and i % 10 == 4:
                self.line(1, "record Pair%d(int a, String b) implements Comparable<Pair%d> { Pair%d { if (a < 0) throw new IllegalArgumentException(); } public int compareTo(Pair%d o) { return a - o.a; } }" % (i, i, i, i))
            else:
                self.line(1, "java.util.List<String> list%d = new java.util.ArrayList<String>();" % i)
        self.line(1, "public void run() { }")
        self.line(1, "public int compareTo(Huge%d other) { return 0; }" % cls)
        self.line(0, "}")

    def array_class(self, elements):
        cls = self.next_id()
        self.line(0, "class Tables%d {" % cls)
        self.line(1, "static final int[] NUMBERS = {")
        row = []
        for i in range(elements):
            row.append(str(self.rng.randint(0, 1 << 20)))
            if len(row) == 16:
                self.line(2, ", ".join(row) + ",")
                row = []
        if row:
            self.line(2, ", ".join(row))
        self.line(1, "};")
        self.line(1, "static final String[][] WORDS = {")
        for i in range(elements // 40):
            self.line(2, '{ "alpha%d", "beta & gamma", "<delta>" },' % i)
        self.line(1, "};")
        self.line(0, "}")

    def deep_class(self, depth):
        cls = self.next_id()
        self.line(0, "class Deep%d {" % cls)
        self.line(1, "int blocks(int total) {")
        for d in range(depth):
            self.line(2 + d % 20, "{ total++;")
        for d in reversed(range(depth)):
            self.line(2 + d % 20, "}")
        self.line(2, "return total;")
        self.line(1, "}")
        self.line(1, "int ifs(int total, int n) {")
        for d in range(depth):
            self.line(2 + d % 20, "if (total > %d) { total -= n;" % d)
        for d in reversed(range(depth)):
            self.line(2 + d % 20, "}")
        self.line(2, "return total;")
        self.line(1, "}")
        self.line(1, "int parentheses(int total) {")
        self.line(2, "total =")
        per_line = 50
        for start in range(0, depth, per_line):
            self.line(2, "(" * min(per_line, depth - start))
        self.line(2, "total + 1")
        for start in range(0, depth, per_line):
            self.line(2, ") * 1" * min(per_line, depth - start))
        self.line(2, ";")
        self.line(2, "return total;")
        self.line(1, "}")
        self.line(0, "}")


# One round of every kind at full size: a method of 20,000 statements, a
# class of 5,000 members, initialisers of 20,000 numbers and 500 rows of
# strings, and blocks, ifs and parentheses nested 3,000 deep.  It is about
# 2.1 MB of source.
ROUND_BYTES = 2.1e6


def generate(path, megabytes, modern=False):
    """Rounds repeat up to the size; below one round every kind shrinks
    alike, so that each size holds all of them."""
    rng = random.Random(megabytes)
    source = Source(rng, modern)
    source.line(0, "package bench.generated;")
    source.line(0, "import java.util.*;")
    target = megabytes * 1e6
    rounds = max(1, round(target / ROUND_BYTES))
    scale = min(1.0, target / ROUND_BYTES)
    for _ in range(rounds):
        source.long_method_class(int(20000 * scale))
        source.huge_class(int(5000 * scale))
        source.array_class(int(20000 * scale))
        source.deep_class(int(3000 * scale))
    with open(path, "w", encoding="latin-1", newline="\n") as out:
        out.write("\n".join(source.lines) + "\n")


# A child's peak memory as the kernel counts it includes what this process
# held when it forked the child, so the peak is taken by GNU time, a small
# process that starts the command itself; its start adds a millisecond.
GNU_TIME = "/usr/bin/time" if os.path.exists("/usr/bin/time") else None


def run(command, stdout=subprocess.DEVNULL):
    """Runs a command; returns (wall seconds, peak resident bytes)."""
    peak_file = os.path.join(work, "peak.txt")
    if GNU_TIME:
        command = [GNU_TIME, "-f", "%M", "-o", peak_file] + command
    start = time.perf_counter()
    proc = subprocess.Popen(command, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), err))
    if GNU_TIME:
        with open(peak_file) as f:
            return elapsed, int(f.read().split()[-1]) * 1024
    return elapsed, usage.ru_maxrss * 1024


def median(measure):
    """Median wall time of several runs, with the peak memory of that run."""
    results = sorted((measure() for _ in range(RUNS)), key=lambda r: r[0])
    return results[len(results) // 2]


def inflate(path):
    with open(path, "rb") as f:
        return zlib.decompress(f.read())


print("%-14s %8s | %9s %9s %6s %7s | %9s %10s %7s" % (
    "kind, level", "source", "mode-7 s", "gzip-6 s", "ratio", "growth", "peak MB", "tree MB", "x tree"))
failed = []
times = {}
RUNS_OF = [("java5", 0), ("java5", 25), ("modern", 25)]
# Smallest size first, and nothing large kept between runs: a child's peak
# memory counts what this process held when it forked the child.
for mb, (kind, level) in [(mb, run) for mb in sizes for run in RUNS_OF]:
    source = os.path.join(work, "Bench%d%s.java" % (mb, kind))
    tree = os.path.join(work, "st.tmp")
    comments = os.path.join(work, "comments.xml")
    status = os.path.join(work, "status.xml")
    results = os.path.join(work, "results.xml")
    plain = os.path.join(work, "tree.xml")
    generate(source, mb, kind == "modern")
    parse_time, peak = median(lambda: run([engine, "7", source, tree, comments, status, results, "1", str(level)]))
    with open(status) as f:
        if f.read() != "<ParseSuccess/>":
            sys.exit("mode 7 did not accept %s" % source)
    text = inflate(tree)
    with open(plain, "wb") as f:
        f.write(text)

    def gzip6():
        with open(os.devnull, "wb") as out:
            return run(["gzip", "-6", "-c", plain], stdout=out)

    gzip_time = median(gzip6)[0]
    times[kind, level, mb] = parse_time
    ratio = parse_time / gzip_time
    earlier = times.get((kind, level, mb // 4))
    growth = "%7.2f" % (parse_time / earlier) if earlier and mb % 4 == 0 else "%7s" % "-"
    per_tree = peak / len(text)
    print("%-14s %6.1fMB | %9.3f %9.3f %6.2f %s | %9.1f %10.1f %7.2f" % (
        "%s, %d" % (kind, level), os.path.getsize(source) / 1e6, parse_time, gzip_time, ratio, growth,
        peak / 1e6, len(text) / 1e6, per_tree), flush=True)
    if (kind, level) == ("java5", 25) and parse_time > 1.1 * times["java5", 0, mb]:
        failed.append("%d MB: level 25 takes %.2fx level 0 on Java 5 source (target 1.1x)"
                      % (mb, parse_time / times["java5", 0, mb]))
    if ratio > 1.5:
        failed.append("%d MB: mode 7 takes %.2fx gzip -6 (target 1.5x)" % (mb, ratio))
    if growth.strip() != "-" and float(growth) > 4.5:
        failed.append("%d MB: %.2fx the time of %d MB (target 4.5x)" % (mb, float(growth), mb // 4))
    if per_tree >= 2:
        failed.append("%d MB: peak memory %.2fx the tree text (target under 2x)" % (mb, per_tree))
    del text
    for path in (source, tree, comments, status, results, plain):
        if os.path.exists(path):
            os.remove(path)
for line in failed:
    print("missed: " + line)
