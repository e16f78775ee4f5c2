"""Random structured Java methods whose statements record their lines.

Every statement, condition, selector, resource, returned value and thrown
exception passes through a call of the T class with its own line number,
so a run prints the lines in the order Java ran them.  The methods use
if/else chains, while, do, for, for (;;), while (true), for-each, labelled
loops and blocks, break and continue (plain and labelled), return, throw,
try/catch/finally, try-with-resources, synchronized, switch statements in
the old and the arrow form, and switch expressions with yield, nested
several deep.  They compile: no statement is unreachable, as javac
requires, and every method returns on every path that completes.
"""

import random

SUPPORT = r"""
import java.util.ArrayList;
import java.util.Iterator;
import java.util.List;

class E1 extends RuntimeException {}
class E2 extends RuntimeException {}
class E3 extends RuntimeException {}

final class T {
  static final List<Integer> LINES = new ArrayList<>();
  private static final Object MONITOR = new Object();

  private static void at(int line) {
    LINES.add(line);
    if (LINES.size() > 200000) throw new IllegalStateException("runaway trace");
  }
  static int v(int line, int value) { at(line); return value; }
  static boolean c(int line, boolean value) { at(line); return value; }
  static <X extends RuntimeException> X e(int line, X exception) { at(line); return exception; }
  static Object lock(int line) { at(line); return MONITOR; }
  static R r(int line) { at(line); return new R(); }
  // The values of a for-each loop; each hasNext() is the loop's decision.
  static Iterable<Integer> it(int line, int... values) {
    return () -> new Iterator<Integer>() {
      int next = 0;
      public boolean hasNext() { at(line); return next < values.length; }
      public Integer next() { return values[next++]; }
    };
  }
}

final class R implements AutoCloseable {
  @Override public void close() {}
}
"""


class Context:
    """What a statement may jump to where it stands."""

    def __init__(self, loops=(), breakables=(), labels=(), in_switch_expr=False, may_return=True):
        self.loops = list(loops)            # names of enclosing loops (innermost last); None for unlabelled
        self.breakables = list(breakables)  # loops and switches a plain break may leave
        self.labels = list(labels)          # labelled statements a labelled break may leave: (label, is_loop)
        self.in_switch_expr = in_switch_expr
        self.may_return = may_return

    def inner(self, **changes):
        c = Context(self.loops, self.breakables, self.labels, self.in_switch_expr, self.may_return)
        for key, value in changes.items():
            setattr(c, key, value)
        return c


class Method:
    def __init__(self, rnd, name, max_depth=4, budget=45):
        self.rnd = rnd
        self.name = name
        self.max_depth = max_depth
        self.budget = budget
        self.lines = []       # (indent, text)
        self.first_line = 0   # set when placed in a file
        self.counter = 0
        # Breaks and continues that were emitted, by the statement they target.
        self.jump_targets = set()

    # -- emission -------------------------------------------------------
    def line_no(self):
        return self.first_line + len(self.lines)

    def emit(self, indent, text):
        """Emits a line; '@' in the text stands for its own line number."""
        self.lines.append((indent, text.replace("@", str(self.line_no()))))
        self.budget -= 1

    def fresh(self, stem):
        self.counter += 1
        return "%s%d" % (stem, self.counter)

    def cond(self):
        k = self.rnd.choice([2, 3, 4, 5])
        r = self.rnd.randrange(k)
        expr = self.rnd.choice(["(a + x) %% %d == %d", "(b + 2 * x + a) %% %d != %d", "(a * b + x) %% %d == %d"])
        return expr % (k, r)

    # -- statements -----------------------------------------------------
    def simple(self, indent):
        self.emit(indent, self.rnd.choice([
            "x = T.v(@, x + a);",
            "x += T.v(@, b % 3);",
            "x = T.v(@, x * 2 - b);",
            "x ^= T.v(@, a + 1);",
        ]))

    def block(self, indent, depth, ctx, must_end_abruptly=False):
        """A sequence of statements; True when it can complete normally."""
        n = self.rnd.randint(1, 4)
        for i in range(n):
            last = i == n - 1
            if self.budget <= 0 or depth >= self.max_depth:
                self.simple(indent)
                continue
            completes = self.statement(indent, depth, ctx, allow_jump=last)
            if not completes:
                return False
        if must_end_abruptly:
            return self.end_abruptly(indent, ctx)
        return True

    def end_abruptly(self, indent, ctx):
        if ctx.in_switch_expr:
            self.emit(indent, "yield T.v(@, x + 1);")
        elif ctx.may_return:
            self.emit(indent, "return T.v(@, x);")
        else:
            self.emit(indent, "throw T.e(@, new E3());")
        return False

    def jump(self, indent, ctx):
        """A jump that ends a block; returns False (it cannot complete normally)."""
        options = []
        if ctx.may_return and not ctx.in_switch_expr:
            options.append("return")
        options.append("throw")
        if ctx.breakables:
            options.append("break")
        if ctx.loops:
            options.append("continue")
        if ctx.labels:
            options.append("break label")
        if ctx.in_switch_expr:
            options.append("yield")
        kind = self.rnd.choice(options)
        if kind == "return":
            self.emit(indent, "return T.v(@, x);")
        elif kind == "throw":
            self.emit(indent, "throw T.e(@, new %s());" % self.rnd.choice(["E1", "E2", "E3"]))
        elif kind == "break":
            target = ctx.breakables[-1]
            self.jump_targets.add(target)
            self.emit(indent, "break;")
        elif kind == "continue":
            counter, label = self.rnd.choice(ctx.loops)
            if (counter, label) != ctx.loops[-1] and label is None:
                counter, label = ctx.loops[-1]
            self.jump_targets.add(("continue", counter))
            if (counter, label) == ctx.loops[-1] and (label is None or self.rnd.random() < 0.5):
                self.emit(indent, "continue;")
            else:
                self.emit(indent, "continue %s;" % label)
        elif kind == "break label":
            label = self.rnd.choice(ctx.labels)
            self.jump_targets.add(label)
            self.emit(indent, "break %s;" % label)
        else:
            self.emit(indent, "yield T.v(@, x);")
        return False

    def statement(self, indent, depth, ctx, allow_jump):
        choices = ["simple", "simple", "if", "ifelse", "while", "do", "for", "forever", "whiletrue", "foreach",
                   "switch", "arrow", "switchexpr", "try", "twr", "sync", "labelled"]
        if ctx.in_switch_expr:
            # javac (17) emits code the verifier refuses for exception
            # handlers inside a switch expression that is an operand.
            choices = [c for c in choices if c not in ("try", "twr", "sync")]
        if allow_jump:
            choices += ["guard", "jump"]
        kind = self.rnd.choice(choices)
        d = depth + 1
        if kind == "simple":
            self.simple(indent)
            return True
        if kind == "guard":
            # if (...) <jump>; on one line, as guard clauses are written.
            self.emit(indent, "if (T.c(@, %s)) {" % self.cond())
            self.jump(indent + 1, ctx)
            self.emit(indent, "}")
            return True
        if kind == "jump":
            return self.jump(indent, ctx)
        if kind == "if":
            self.emit(indent, "if (T.c(@, %s)) {" % self.cond())
            self.block(indent + 1, d, ctx)
            self.emit(indent, "}")
            return True
        if kind == "ifelse":
            self.emit(indent, "if (T.c(@, %s)) {" % self.cond())
            a = self.block(indent + 1, d, ctx)
            completes = a
            while self.rnd.random() < 0.3:
                self.emit(indent, "} else if (T.c(@, %s)) {" % self.cond())
                completes = self.block(indent + 1, d, ctx) or completes
            self.emit(indent, "} else {")
            completes = self.block(indent + 1, d, ctx) or completes
            self.emit(indent, "}")
            return completes
        if kind in ("while", "do", "for", "forever", "whiletrue", "foreach"):
            return self.loop(kind, indent, d, ctx)
        if kind == "switch":
            return self.old_switch(indent, d, ctx)
        if kind == "arrow":
            return self.arrow_switch(indent, d, ctx)
        if kind == "switchexpr":
            self.switch_expression(indent, d, ctx)
            return True
        if kind in ("try", "twr"):
            return self.try_statement(kind == "twr", indent, d, ctx)
        if kind == "sync":
            self.emit(indent, "synchronized (T.lock(@)) {")
            completes = self.block(indent + 1, d, ctx)
            self.emit(indent, "}")
            return completes
        if kind == "labelled":
            label = self.fresh("blk")
            self.emit(indent, "%s: {" % label)
            inner = ctx.inner(labels=ctx.labels + [label])
            self.simple(indent + 1)
            self.emit(indent + 1, "if (T.c(@, %s)) break %s;" % (self.cond(), label))
            self.jump_targets.add(label)
            self.block(indent + 1, d, inner)
            self.emit(indent, "}")
            return True
        raise AssertionError(kind)

    def loop(self, kind, indent, d, ctx):
        counter = self.fresh("i")
        label = self.fresh("loop") if self.rnd.random() < 0.3 else None
        prefix = label + ": " if label else ""
        target = ("loop", counter)
        inner = ctx.inner(loops=ctx.loops + [(counter, label)], breakables=ctx.breakables + [target],
                          labels=ctx.labels + ([label] if label else []))
        bound = self.rnd.randint(1, 3)
        if kind == "while":
            self.emit(indent, "int %s = T.v(@, 0);" % counter)
            self.emit(indent, "%swhile (T.c(@, %s < %d)) {" % (prefix, counter, bound))
            self.emit(indent + 1, "%s = T.v(@, %s + 1);" % (counter, counter))
            self.block(indent + 1, d, inner)
            self.emit(indent, "}")
            return True
        if kind == "do":
            self.emit(indent, "int %s = T.v(@, 0);" % counter)
            self.emit(indent, "%sdo {" % prefix)
            self.emit(indent + 1, "%s = T.v(@, %s + 1);" % (counter, counter))
            body = self.block(indent + 1, d, inner)
            self.emit(indent, "} while (T.c(@, %s < %d));" % (counter, bound))
            # The condition is reached only when the body completes or
            # continues; else only a break leaves the loop.
            return (body or ("continue", counter) in self.jump_targets or target in self.jump_targets
                    or (label is not None and label in self.jump_targets))
        if kind == "for":
            self.emit(indent, "%sfor (int %s = T.v(@, 0); T.c(@, %s < %d); %s += T.v(@, 1)) {"
                      % (prefix, counter, counter, bound, counter))
            self.block(indent + 1, d, inner)
            self.emit(indent, "}")
            return True
        if kind == "foreach":
            self.emit(indent, "%sfor (int %s : T.it(@, %s)) {"
                      % (prefix, counter, ", ".join(str(self.rnd.randint(0, 5)) for _ in range(bound))))
            self.emit(indent + 1, "x += T.v(@, %s);" % counter)
            self.block(indent + 1, d, inner)
            self.emit(indent, "}")
            return True
        # for (;;) and while (true): the loop ends by a break only.
        self.jump_targets.add(target)
        if kind == "forever":
            self.emit(indent, "%sfor (int %s = T.v(@, 0);; %s += T.v(@, 1)) {" % (prefix, counter, counter))
        else:
            self.emit(indent, "int %s = T.v(@, 0);" % counter)
            self.emit(indent, "%swhile (true) {" % prefix)
            self.emit(indent + 1, "%s = T.v(@, %s + 1);" % (counter, counter))
        self.emit(indent + 1, "if (T.c(@, %s >= %d)) break;" % (counter, bound + 1))
        self.block(indent + 1, d, inner)
        self.emit(indent, "}")
        return True

    def selector(self):
        return "T.v(@, (a + b + x) %% %d)" % self.rnd.choice([3, 4, 5])

    def old_switch(self, indent, d, ctx):
        target = ("switch", self.fresh("s"))
        inner = ctx.inner(breakables=ctx.breakables + [target])
        self.emit(indent, "switch (%s) {" % self.selector())
        groups = self.rnd.randint(1, 3)
        value = 0
        completes = False
        has_default = self.rnd.random() < 0.6
        for g in range(groups + (1 if has_default else 0)):
            is_default = has_default and g == groups
            if is_default:
                self.emit(indent + 1, "default:")
            else:
                for _ in range(self.rnd.randint(1, 2)):
                    self.emit(indent + 1, "case %d:" % value)
                    value += 1
            last = g == groups + (1 if has_default else 0) - 1
            body = self.block(indent + 2, d, inner)
            if body and self.rnd.random() < 0.6:
                self.emit(indent + 2, "break;")
                completes = True
            elif last:
                completes = completes or body
        self.emit(indent, "}")
        return completes or not has_default or target in self.jump_targets

    def arrow_switch(self, indent, d, ctx):
        target = ("switch", self.fresh("s"))
        inner = ctx.inner(breakables=ctx.breakables + [target])
        self.emit(indent, "switch (%s) {" % self.selector())
        completes = False
        value = 0
        for _ in range(self.rnd.randint(1, 3)):
            labels = []
            for _ in range(self.rnd.randint(1, 2)):
                labels.append(str(value))
                value += 1
            if self.rnd.random() < 0.4:
                self.emit(indent + 1, "case %s -> x = T.v(@, x + %d);" % (", ".join(labels), value))
                completes = True
            else:
                self.emit(indent + 1, "case %s -> {" % ", ".join(labels))
                completes = self.block(indent + 2, d, inner) or completes
                self.emit(indent + 1, "}")
        has_default = self.rnd.random() < 0.5
        if has_default:
            if self.rnd.random() < 0.5:
                self.emit(indent + 1, "default -> throw T.e(@, new E2());")
            else:
                self.emit(indent + 1, "default -> x = T.v(@, x - 1);")
                completes = True
        self.emit(indent, "}")
        return completes or not has_default or target in self.jump_targets

    def switch_expression(self, indent, d, ctx):
        # Jumps cannot leave a switch expression: inside it only its own
        # loops, yield and throw.
        inner = Context(in_switch_expr=True, may_return=False)
        self.emit(indent, "x = T.v(@, switch (%s) {" % self.selector())
        value = 0
        if self.rnd.random() < 0.5:
            for _ in range(self.rnd.randint(1, 3)):
                choice = self.rnd.random()
                if choice < 0.5:
                    self.emit(indent + 1, "case %d -> T.v(@, %d);" % (value, value * 10))
                elif choice < 0.7:
                    self.emit(indent + 1, "case %d -> throw T.e(@, new E1());" % value)
                else:
                    self.emit(indent + 1, "case %d -> {" % value)
                    self.block(indent + 2, d, inner, must_end_abruptly=True)
                    self.emit(indent + 1, "}")
                value += 1
            self.emit(indent + 1, "default -> T.v(@, -1);")
        else:
            for _ in range(self.rnd.randint(1, 3)):
                self.emit(indent + 1, "case %d:" % value)
                value += 1
                if self.rnd.random() < 0.5:
                    self.simple(indent + 2)  # falls through into the next group
                else:
                    self.block(indent + 2, d, inner, must_end_abruptly=True)
            self.emit(indent + 1, "default:")
            self.emit(indent + 2, "yield T.v(@, -2);")
        self.emit(indent, "});")

    def try_statement(self, with_resources, indent, d, ctx):
        if with_resources:
            self.emit(indent, "try (R %s = T.r(@)) {" % self.fresh("r"))
        else:
            self.emit(indent, "try {")
        if self.rnd.random() < 0.6:
            self.emit(indent + 1, "if (T.c(@, %s)) throw T.e(@, new %s());"
                      % (self.cond(), self.rnd.choice(["E1", "E2", "E3"])))
        body = self.block(indent + 1, d, ctx)
        catches = self.rnd.sample([["E1"], ["E2"], ["E1", "E2"], ["E3"]], self.rnd.randint(0, 2))
        # E1 | E2 with E1 or E2 again is not allowed.
        seen = set()
        chosen = []
        for types in catches:
            if seen & set(types):
                continue
            seen |= set(types)
            chosen.append(types)
        if self.rnd.random() < 0.2:
            chosen.append(["RuntimeException"])
        has_finally = self.rnd.random() < 0.6 or (not chosen and not with_resources)
        completes = body
        for types in chosen:
            self.emit(indent, "} catch (%s %s) {" % (" | ".join(types), self.fresh("e")))
            if self.rnd.random() < 0.25 and len(types) == 1 and types[0] != "RuntimeException":
                self.simple(indent + 1)
                self.emit(indent + 1, "throw T.e(@, new %s());" % types[0])
                continue
            completes = self.block(indent + 1, d, ctx) or completes
        if has_finally:
            self.emit(indent, "} finally {")
            # A finally clause that completes normally: no jumps out of it.
            fin = ctx.inner(loops=[], breakables=[], labels=[], may_return=False)
            self.finally_block(indent + 1, d, fin)
        self.emit(indent, "}")
        return completes

    def finally_block(self, indent, d, ctx):
        self.simple(indent)
        if self.rnd.random() < 0.3 and d < self.max_depth:
            self.emit(indent, "if (T.c(@, %s)) {" % self.cond())
            self.simple(indent + 1)
            self.emit(indent, "}")

    # -- the method -------------------------------------------------------
    def generate(self, first_line):
        self.first_line = first_line
        self.emit(1, "static int %s(int a, int b) {" % self.name)
        self.emit(2, "int x = T.v(@, a - b);")
        completes = self.block(2, 0, Context())
        if completes:
            self.emit(2, "return T.v(@, x);")
        self.emit(1, "}")
        return ["  " * indent + text for indent, text in self.lines]


def generate_class(seed, class_name, count, max_depth=4):
    """A Java class of `count` methods m0.., with the line each starts on."""
    rnd = random.Random(seed)
    lines = ["class %s {" % class_name]
    methods = []
    for k in range(count):
        name = "m%d" % k
        method = Method(rnd, name, max_depth=max_depth)
        text = method.generate(len(lines) + 1)
        methods.append((name, len(lines) + 1))
        lines.extend(text)
        lines.append("")
    lines.append("}")
    return "\n".join(lines) + "\n", methods
