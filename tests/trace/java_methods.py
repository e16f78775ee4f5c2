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

Version 2 of the generator (the default; version 1 gives, seed for seed,
the methods it always gave) adds instance methods, lambdas with a block
body, anonymous and local classes, switches on String, enum and char,
try-with-resources whose close() throws, multi-catch, checked
exceptions, catches of Exception and Throwable, `throw e`, jumps out of
a finally clause and a try inside one, implicit exceptions (division by
zero, an index out of bounds, a null dereference) also inside conditions
and selectors, `assert` (the runs enable assertions), `?:`, `instanceof`
patterns, and exception classes of its own with a subclass.  A
statement that may raise an exception records its line first (T.z), so
an exception is always raised by the last line recorded.  A lambda's or
an inner class's method runs through T.call, which marks where the
method is entered and left in the trace; Method.calls says what each
call runs, Method.silent the lines that record nothing.
"""

import random
import re

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


SUPPORT_V2 = r"""
import java.util.ArrayList;
import java.util.Iterator;
import java.util.List;

class E1 extends RuntimeException {}
class E2 extends RuntimeException {}
class E3 extends RuntimeException {}
class E4 extends E1 {}
class C1 extends Exception {}
class C2 extends Exception {}

enum Color { K0, K1, K2, K3, K4, K5, K6, K7 }

interface Op { int apply(int y) throws Exception; }

final class T {
  static final List<Integer> LINES = new ArrayList<>();
  // Marks in the trace around a call of a lambda or an inner class's method.
  static final int ENTER = -1, LEAVE = -2, LEAVE_THROWN = -3;
  static final int[] DATA = {4, 5, 6};
  private static final Object MONITOR = new Object();

  private static void at(int line) {
    LINES.add(line);
    if (LINES.size() > 200000) throw new IllegalStateException("runaway trace");
  }
  static int v(int line, int value) { at(line); return value; }
  static int z(int line) { at(line); return 0; }
  static boolean c(int line, boolean value) { at(line); return value; }
  static <X extends Throwable> X e(int line, X exception) { at(line); return exception; }
  static Object lock(int line) { at(line); return MONITOR; }
  static R r(int line, int k) { at(line); return new R(k); }
  static String s(int line, int k) { at(line); return k % 4 == 3 ? null : "s" + k; }
  static Color color(int line, int k) { at(line); return Color.values()[Math.floorMod(k, 8)]; }
  static char ch(int line, int k) { at(line); return (char) ('a' + Math.floorMod(k, 8)); }
  static Object o(int line, int k) { at(line); return k % 3 == 0 ? null : k % 3 == 1 ? (Object) k : "o" + k; }
  static String str(int k) { return k % 4 == 0 ? null : "ab" + k; }
  static Op op(int line, Op op) { at(line); return op; }
  // Raises the checked exceptions by the value given: 1 C1, 2 C2.
  static int k(int line, int x, int which) throws C1, C2 {
    at(line);
    if (which == 1) throw new C1();
    if (which == 2) throw new C2();
    return x;
  }
  static int call(int line, Op op, int y) throws Exception {
    at(line);
    LINES.add(ENTER);
    LINES.add(line);
    try {
      int value = op.apply(y);
      LINES.add(LEAVE);
      return value;
    } catch (Throwable t) {
      LINES.add(LEAVE_THROWN);
      throw t;
    }
  }
  static Iterable<Integer> it(int line, int... values) {
    return () -> new Iterator<Integer>() {
      int next = 0;
      public boolean hasNext() { at(line); return next < values.length; }
      public Integer next() { return values[next++]; }
    };
  }
}

// Its close() throws E2 for 1 and C1 for 2.
final class R implements AutoCloseable {
  private final int k;
  R(int k) { this.k = k; }
  @Override public void close() throws C1 {
    if (k == 1) throw new E2();
    if (k == 2) throw new C1();
  }
}
"""

# The exception types of version 2 and what each extends.
SUPERTYPE = {"E1": "RuntimeException", "E2": "RuntimeException", "E3": "RuntimeException", "E4": "E1",
             "C1": "Exception", "C2": "Exception", "ArithmeticException": "RuntimeException",
             "NullPointerException": "RuntimeException", "RuntimeException": "Exception",
             "Exception": "Throwable", "Throwable": None}
CHECKED = {"C1", "C2"}


def is_subtype(a, b):
    while a is not None:
        if a == b:
            return True
        a = SUPERTYPE.get(a)
    return False


def support(version):
    return SUPPORT if version == 1 else SUPPORT_V2


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
    def __init__(self, rnd, name, max_depth=4, budget=45, version=1):
        self.rnd = rnd
        self.v2 = version >= 2
        self.instance = False  # an instance method (version 2)
        self.in_sub = False    # emitting a lambda's or an inner class's body
        # What each T.call runs, by the call's line: ("lambda", the lambda's
        # line) or ("method", the line of the inner class's method).
        self.calls = {}
        # Lines of statements that record nothing of their own (throw e;).
        self.silent = set()
        # What takes an exception raised on each line: ("try", the try's
        # line) for a try block, ("catch", the catch's line) for a catch
        # block, None when it leaves the method (or the lambda or inner
        # class's method).
        self.handler = {}
        self.handlers = []
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
        self.handler[self.line_no()] = self.handlers[-1] if self.handlers else None
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
        if self.v2:
            self.simple_v2(indent)
            return
        self.emit(indent, self.rnd.choice([
            "x = T.v(@, x + a);",
            "x += T.v(@, b % 3);",
            "x = T.v(@, x * 2 - b);",
            "x ^= T.v(@, a + 1);",
        ]))

    def simple_v2(self, indent):
        # Those that may raise record their line first (T.z), then raise.
        plain = ["x = T.v(@, x + a);", "x += T.v(@, b % 3);", "x = T.v(@, x * 2 - b);", "x ^= T.v(@, a + 1);"]
        if self.rnd.random() < 0.8:
            self.emit(indent, self.rnd.choice(plain))
            return
        choices = [
            "x = T.z(@) + x / (a % 3);",
            "x = T.z(@) + T.DATA[(a + x) % 4];",
            "x = T.z(@) + T.str(a + x).length();",
            "x = T.v(@, (a + x) % 3 == 0 ? x + 1 : x - b);",
            "x = T.z(@) + ((b + x) % 2 == 0 ? x / (b % 3) : x - 1);",
            "assert T.c(@, (a + x) % 5 != 1);",
            "x = T.k(@, x, (a + b + x) % 5);",
        ]
        if self.instance and not self.in_sub:
            choices.append("x = T.v(@, x + this.f);")
        self.emit(indent, self.rnd.choice(choices))

    def test(self):
        """An if's condition; in version 2 one may raise an exception."""
        if not self.v2:
            return "T.c(@, %s)" % self.cond()
        kind = self.rnd.random()
        if kind < 0.7:
            return "T.c(@, %s)" % self.cond()
        if kind < 0.75:
            return "T.z(@) + 12 / (b % 3) > x"
        if kind < 0.8:
            return "T.z(@) + T.DATA[(x + b) % 4] > 4"
        if kind < 0.9:
            return "T.c(@, (a > b ? a : b + x) % 3 == 0)"
        n = self.fresh("n")
        return "T.o(@, a + x) instanceof Integer %s && %s %% 2 == 0" % (n, n)

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
            self.emit(indent, "throw T.e(@, new %s());" % self.rnd.choice(self.thrown_types()))
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

    def thrown_types(self):
        return ["E1", "E2", "E3", "E4", "C1", "C2"] if self.v2 else ["E1", "E2", "E3"]

    def statement(self, indent, depth, ctx, allow_jump):
        choices = ["simple", "simple", "if", "ifelse", "while", "do", "for", "forever", "whiletrue", "foreach",
                   "switch", "arrow", "switchexpr", "try", "twr", "sync", "labelled"]
        if ctx.in_switch_expr:
            # javac (17) emits code the verifier refuses for exception
            # handlers inside a switch expression that is an operand.
            choices = [c for c in choices if c not in ("try", "twr", "sync")]
        if allow_jump:
            choices += ["guard", "jump"]
        if self.v2 and not self.in_sub:
            choices += ["lambda", "anonymous", "local"]
        kind = self.rnd.choice(choices)
        d = depth + 1
        if kind == "simple":
            self.simple(indent)
            return True
        if kind == "guard":
            # if (...) <jump>; on one line, as guard clauses are written.
            self.emit(indent, "if (%s) {" % self.test())
            self.jump(indent + 1, ctx)
            self.emit(indent, "}")
            return True
        if kind == "jump":
            return self.jump(indent, ctx)
        if kind == "if":
            self.emit(indent, "if (%s) {" % self.test())
            self.block(indent + 1, d, ctx)
            self.emit(indent, "}")
            return True
        if kind == "ifelse":
            self.emit(indent, "if (%s) {" % self.test())
            a = self.block(indent + 1, d, ctx)
            completes = a
            while self.rnd.random() < 0.3:
                self.emit(indent, "} else if (%s) {" % self.test())
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
        if kind in ("lambda", "anonymous", "local"):
            self.inner_code(kind, indent, d)
            return True
        if kind == "labelled":
            label = self.fresh("blk")
            self.emit(indent, "%s: {" % label)
            inner = ctx.inner(labels=ctx.labels + [label])
            self.simple(indent + 1)
            self.emit(indent + 1, "if (%s) break %s;" % (self.test(), label))
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
        """The selector of a switch; in version 2 also of String, enum and
        char, or one that may raise.  Sets how its case values are written."""
        self.case_kind = "int"
        if not self.v2:
            return "T.v(@, (a + b + x) %% %d)" % self.rnd.choice([3, 4, 5])
        k = self.rnd.choice([3, 4, 5])
        self.case_kind = self.rnd.choice(["int", "int", "raising", "String", "enum", "char"])
        if self.case_kind == "raising":
            self.case_kind = "int"
            return "T.z(@) + (a + b + x) %% %d + 7 / (b %% 4) * 0" % k
        return {"int": "T.v(@, (a + b + x) %% %d)", "String": "T.s(@, (a + b + x) %% %d)",
                "enum": "T.color(@, (a + b + x) %% %d)", "char": "T.ch(@, (a + b + x) %% %d)"}[self.case_kind] % k

    def case_value(self, value, kind):
        if kind == "String":
            return '"s%d"' % value
        if kind == "enum":
            return "K%d" % value
        if kind == "char":
            return "'%s'" % chr(ord("a") + value)
        return "%d" % value

    def old_switch(self, indent, d, ctx):
        target = ("switch", self.fresh("s"))
        inner = ctx.inner(breakables=ctx.breakables + [target])
        self.emit(indent, "switch (%s) {" % self.selector())
        kind = self.case_kind
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
                    self.emit(indent + 1, "case %s:" % self.case_value(value, kind))
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
        kind = self.case_kind
        completes = False
        value = 0
        for _ in range(self.rnd.randint(1, 3)):
            labels = []
            for _ in range(self.rnd.randint(1, 2)):
                labels.append(self.case_value(value, kind))
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
        kind = self.case_kind
        value = 0
        if self.rnd.random() < 0.5:
            for _ in range(self.rnd.randint(1, 3)):
                choice = self.rnd.random()
                if choice < 0.5:
                    self.emit(indent + 1, "case %s -> T.v(@, %d);" % (self.case_value(value, kind), value * 10))
                elif choice < 0.7:
                    self.emit(indent + 1, "case %s -> throw T.e(@, new E1());" % self.case_value(value, kind))
                else:
                    self.emit(indent + 1, "case %s -> {" % self.case_value(value, kind))
                    self.block(indent + 2, d, inner, must_end_abruptly=True)
                    self.emit(indent + 1, "}")
                value += 1
            self.emit(indent + 1, "default -> T.v(@, -1);")
        else:
            for _ in range(self.rnd.randint(1, 3)):
                self.emit(indent + 1, "case %s:" % self.case_value(value, kind))
                value += 1
                if self.rnd.random() < 0.5:
                    self.simple(indent + 2)  # falls through into the next group
                else:
                    self.block(indent + 2, d, inner, must_end_abruptly=True)
            self.emit(indent + 1, "default:")
            self.emit(indent + 2, "yield T.v(@, -2);")
        self.emit(indent, "});")

    def try_statement(self, with_resources, indent, d, ctx):
        if self.v2:
            return self.try_statement_v2(with_resources, indent, d, ctx)
        if with_resources:
            self.emit(indent, "try (R %s = T.r(@)) {" % self.fresh("r"))
        else:
            self.emit(indent, "try {")
        self.handlers.append(("try", self.line_no() - 1))
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
        self.handlers.pop()
        for types in chosen:
            self.emit(indent, "} catch (%s %s) {" % (" | ".join(types), self.fresh("e")))
            self.handlers.append(("catch", self.line_no() - 1))
            if self.rnd.random() < 0.25 and len(types) == 1 and types[0] != "RuntimeException":
                self.simple(indent + 1)
                self.emit(indent + 1, "throw T.e(@, new %s());" % types[0])
                self.handlers.pop()
                continue
            completes = self.block(indent + 1, d, ctx) or completes
            self.handlers.pop()
        if has_finally:
            self.emit(indent, "} finally {")
            # A finally clause that completes normally: no jumps out of it.
            fin = ctx.inner(loops=[], breakables=[], labels=[], may_return=False)
            self.finally_block(indent + 1, d, fin)
        self.emit(indent, "}")
        return completes

    def try_statement_v2(self, with_resources, indent, d, ctx):
        # The catches first: one of a checked type needs a body that throws it.
        candidates = [["E1"], ["E2"], ["E1", "E2"], ["E3"], ["E4"], ["C1"], ["C2"], ["E1", "C1"], ["C2", "E3"],
                      ["ArithmeticException"], ["NullPointerException", "E2"], ["RuntimeException"], ["Exception"],
                      ["Throwable"]]
        chosen = []
        for types in self.rnd.sample(candidates, self.rnd.randint(0, 3)):
            # A catch of a type an earlier one takes is refused by javac.
            if any(is_subtype(t, earlier) for t in types for before in chosen for earlier in before):
                continue
            chosen.append(types)
        if with_resources:
            resources = ["R %s = T.r(@, (%s + x) %% 3)" % (self.fresh("r"), self.rnd.choice(["a", "b"]))
                         for _ in range(self.rnd.randint(1, 2))]
            self.emit(indent, "try (%s%s" % (resources[0], ") {" if len(resources) == 1 else ";"))
            for k, resource in enumerate(resources[1:]):
                self.emit(indent + 2, resource + (") {" if k == len(resources) - 2 else ";"))
        else:
            self.emit(indent, "try {")
        opener = self.line_no() - (len(resources) if with_resources else 1)
        self.handlers.append(("try", opener))
        if any(t in CHECKED for types in chosen for t in types):
            self.emit(indent + 1, "x = T.k(@, x, (a + b + x) % 4);")
        if self.rnd.random() < 0.6:
            self.emit(indent + 1, "if (%s) throw T.e(@, new %s());" % (self.test(), self.rnd.choice(self.thrown_types())))
        completes = self.block(indent + 1, d, ctx)
        self.handlers.pop()
        has_finally = self.rnd.random() < 0.6 or (not chosen and not with_resources)
        for types in chosen:
            name = self.fresh("e")
            self.emit(indent, "} catch (%s %s) {" % (" | ".join(types), name))
            self.handlers.append(("catch", self.line_no() - 1))
            choice = self.rnd.random()
            if choice < 0.2:
                self.simple(indent + 1)
                self.emit(indent + 1, "throw %s;" % name)
                self.silent.add(self.line_no() - 1)
            elif choice < 0.3:
                self.simple(indent + 1)
                self.emit(indent + 1, "throw T.e(@, new %s());" % self.rnd.choice(self.thrown_types()))
            else:
                completes = self.block(indent + 1, d, ctx) or completes
            self.handlers.pop()
        if has_finally:
            self.emit(indent, "} finally {")
            choice = self.rnd.random()
            if choice < 0.4 or d >= self.max_depth:
                self.finally_block(indent + 1, d, ctx.inner(loops=[], breakables=[], labels=[], may_return=False))
            elif choice < 0.6:
                # A try inside the finally clause.
                completes = self.try_statement_v2(False, indent + 1, d + 1, ctx) and completes
            else:
                # Any statements, jumps out of the finally clause included.
                completes = self.block(indent + 1, d + 1, ctx) and completes
        self.emit(indent, "}")
        return completes

    def inner_code(self, kind, indent, d):
        """A lambda with a block body, an anonymous class or a local class,
        whose method is run by the next statement through T.call."""
        start = len(self.lines)
        name = self.fresh({"lambda": "f", "anonymous": "o", "local": "Lc"}[kind])
        if kind == "lambda":
            self.emit(indent, "Op %s = T.op(@, y -> {" % name)
            body_line = self.line_no() - 1
            body_indent = indent + 1
        elif kind == "anonymous":
            self.emit(indent, "Op %s = T.op(@, new Op() {" % name)
            body_line = self.line_no()
            self.emit(indent + 1, "public int apply(int y) throws Exception {")
            body_indent = indent + 2
        else:
            self.silent.add(self.line_no())
            self.emit(indent, "class %s implements Op {" % name)
            body_line = self.line_no()
            self.emit(indent + 1, "public int apply(int y) throws Exception {")
            body_indent = indent + 2
        self.in_sub = True
        outer_handlers, self.handlers = self.handlers, []
        body_start = len(self.lines)
        self.block(body_indent, d, Context(), must_end_abruptly=True)
        self.in_sub = False
        self.handlers = outer_handlers
        # The body has a variable of its own: x of the method is no
        # effectively final local it could use.
        for k in range(body_start, len(self.lines)):
            ind, text = self.lines[k]
            self.lines[k] = (ind, re.sub(r"\bx\b", "y", text))
        if kind == "lambda":
            self.emit(indent, "});")
        elif kind == "anonymous":
            self.emit(indent + 1, "}")
            self.emit(indent, "});")
        else:
            self.emit(indent + 1, "}")
            self.emit(indent, "}")
        self.calls[self.line_no()] = ("lambda" if kind == "lambda" else "method", body_line)
        target = name if kind != "local" else "new %s()" % name
        self.emit(indent, "x = T.call(@, %s, x);" % target)
        del start

    def finally_block(self, indent, d, ctx):
        self.simple(indent)
        if self.rnd.random() < 0.3 and d < self.max_depth:
            self.emit(indent, "if (T.c(@, %s)) {" % self.cond())
            self.simple(indent + 1)
            self.emit(indent, "}")

    # -- the method -------------------------------------------------------
    def generate(self, first_line):
        self.first_line = first_line
        if self.v2:
            self.instance = self.rnd.random() < 0.4
            self.emit(1, "%sint %s(int a, int b) throws Exception {" % ("" if self.instance else "static ", self.name))
        else:
            self.emit(1, "static int %s(int a, int b) {" % self.name)
        self.emit(2, "int x = T.v(@, a - b);")
        completes = self.block(2, 0, Context())
        if completes:
            self.emit(2, "return T.v(@, x);")
        self.emit(1, "}")
        return ["  " * indent + text for indent, text in self.lines]


def generate_class(seed, class_name, count, max_depth=4, version=1, details=None):
    """A Java class of `count` methods m0.., with the line each starts on;
    `details`, a dict, receives each method's Method by its name."""
    rnd = random.Random(seed)
    lines = ["class %s {" % class_name]
    if version >= 2:
        lines.append("  int f = 3;")
    methods = []
    for k in range(count):
        name = "m%d" % k
        method = Method(rnd, name, max_depth=max_depth, version=version)
        text = method.generate(len(lines) + 1)
        if details is not None:
            details[name] = method
        methods.append((name, len(lines) + 1))
        lines.extend(text)
        lines.append("")
    lines.append("}")
    return "\n".join(lines) + "\n", methods
