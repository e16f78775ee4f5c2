"""Checks a method's control-flow graph (the JSON of `flowchart draw -o
M.json`) against the rules of Java and against real runs.

A run is the list of lines its statements, conditions, selectors and
thrown exceptions recorded, in order, and how it ended ("return" or
"throw").  It must be a path through the graph from the start: each node
consumes the lines it stands for ("lines" in the JSON) in order, nodes
that run no code of their own consume none, and the path ends at "end"
after a return or at "exit" after an exception, the exception taking
exception edges.
"""

JUMPS = {"return", "throw", "break", "continue", "yield"}


class Graph:
    def __init__(self, data, page=0):
        self.nodes = {n["id"]: n for n in data["nodes"] if n["page"] == page}
        self.out = {nid: [] for nid in self.nodes}
        self.into = {nid: [] for nid in self.nodes}
        for e in data["edges"]:
            if e["from"] in self.nodes:
                self.out[e["from"]].append(e)
                self.into[e["to"]].append(e)
        self.start = next(nid for nid, n in self.nodes.items() if n["kind"] == "start")
        self.end = next((nid for nid, n in self.nodes.items() if n["kind"] == "end"), None)
        self.exit = next((nid for nid, n in self.nodes.items() if n["kind"] == "exit"), None)


def structural_problems(data):
    """The rules every graph keeps, as a list of problems (empty when none)."""
    problems = []
    pages = {n["page"] for n in data["nodes"]}
    for page in sorted(pages):
        g = Graph(data, page)
        for nid, node in g.nodes.items():
            kind = node["kind"]
            outs = g.out[nid]
            kinds = [e["kind"] for e in outs]
            if kind == "decision":
                if kinds.count("true") != 1 or kinds.count("false") != 1 or len(outs) != 2:
                    problems.append("%s %r: a decision needs one true and one false exit, has %s"
                                    % (nid, node["text"], kinds))
            elif "true" in kinds or "false" in kinds:
                problems.append("%s %r (%s) has a true or false exit" % (nid, node["text"], kind))
            if kind == "join" and ("false" in kinds):
                problems.append("%s %r: a loop without a condition has a false exit" % (nid, node["text"]))
            if kind in ("end", "exit") and outs:
                problems.append("%s: the %s node has successors" % (nid, kind))
            if kind in JUMPS:
                targets = [g.nodes[e["to"]] for e in outs]
                if kind == "throw":
                    if not outs or any(k != "exception" for k in kinds):
                        problems.append("%s %r: a throw leaves by exception edges only, has %s"
                                        % (nid, node["text"], kinds))
                elif len(outs) != 1 or kinds != ["flow"]:
                    problems.append("%s %r: a %s has %s successors" % (nid, node["text"], kind, kinds))
                elif kind == "return" and targets[0]["kind"] not in ("end", "finally") and not _is_closing(targets[0]):
                    problems.append("%s %r: a return leads to %s" % (nid, node["text"], targets[0]["kind"]))
                expected = {"return": "then return", "throw": "then rethrow"}.get(kind)
                for t in targets:
                    if expected and (t["kind"] == "finally" or _is_closing(t)) and expected not in t["text"]:
                        problems.append("%s %r: a %s goes through %r" % (nid, node["text"], kind, t["text"]))
            if kind == "catch" and any(e["kind"] != "exception" for e in g.into[nid]):
                problems.append("%s: a catch is entered by a non-exception edge" % nid)
        problems.extend(exception_path_problems(g))
        # Reachable from the start, and reaching an end or exit.
        seen = {g.start}
        todo = [g.start]
        while todo:
            for e in g.out[todo.pop()]:
                if e["to"] not in seen:
                    seen.add(e["to"])
                    todo.append(e["to"])
        for nid in g.nodes:
            if nid not in seen:
                problems.append("%s %r cannot be reached from the start" % (nid, g.nodes[nid]["text"]))
        finals = {f for f in (g.end, g.exit) if f}
        back = {nid: [] for nid in g.nodes}
        for nid, outs in g.out.items():
            for e in outs:
                back[e["to"]].append(nid)
        reach = set(finals)
        todo = list(finals)
        while todo:
            for p in back[todo.pop()]:
                if p not in reach:
                    reach.add(p)
                    todo.append(p)
        for nid in g.nodes:
            if nid not in reach:
                problems.append("%s %r reaches neither the end nor an exit" % (nid, g.nodes[nid]["text"]))
    return problems


def _reach(g, starts, avoid=()):
    seen = set(starts)
    todo = list(starts)
    while todo:
        for e in g.out[todo.pop()]:
            if e["to"] not in seen and e["to"] not in avoid:
                seen.add(e["to"])
                todo.append(e["to"])
    return seen


def _is_closing(node):
    """A closing of resources: a resources node that runs no line of its own."""
    return node["kind"] == "resources" and not node["lines"]


def _try_copies(g, tid):
    """The copies of a try statement's finally clause and of its closing
    of resources: the finally and closing nodes in the try block's region.
    That region is found among the regions of the block's own nodes (those
    reached from the try without entering another try, catch, finally or
    closing), past the region holding the try."""
    below = g.nodes[tid]["region"]
    entries = [e["to"] for e in g.out[tid] if e["kind"] == "flow"]
    regions = set()
    seen = set(entries)
    todo = list(entries)
    while todo:
        nid = todo.pop()
        node = g.nodes[nid]
        if node["region"] > below:
            regions.add(node["region"])
        if node["kind"] in ("try", "catch", "finally", "exit", "end") or _is_closing(node):
            continue
        for e in g.out[nid]:
            if e["kind"] != "exception" and e["to"] not in seen:
                seen.add(e["to"])
                todo.append(e["to"])
    return {nid for nid, n in g.nodes.items()
            if (n["kind"] == "finally" or _is_closing(n)) and n["region"] in regions}


def exception_path_problems(g):
    """Every way an exception leaves a try statement runs its finally clause
    (and the closing of its resources) and can reach the exit.  The try
    node stands for the code of its block and a catch node for the code of
    its catch block, as the graph draws them: from each, unless a catch of
    the same try takes everything (Throwable), some path starting with an
    exception edge passes through a "(then rethrow)" copy of the clause and
    reaches the exit, a catch of a try round it, or a jump out of the
    clause, which discards the exception.  A catch block that runs no code is left out, and a
    closing of resources on a way out that is no exception has an exception
    edge of its own that reaches the exit."""
    problems = []
    for tid, node in g.nodes.items():
        if node["kind"] != "try":
            continue
        catches = [e["to"] for e in g.out[tid] if e["kind"] == "exception" and g.nodes[e["to"]]["kind"] == "catch"]
        takes_all = any("Throwable" in e["label"].split(" | ")
                        for e in g.out[tid] if e["kind"] == "exception" and e["to"] in catches)
        copies = _try_copies(g, tid)
        finals = {c for c in copies if g.nodes[c]["kind"] == "finally"}
        rethrows = {c for c in copies if "then rethrow" in g.nodes[c]["text"]}

        # The catches of the tries round this one: an exception rethrown
        # after finally may be taken there (all of it, by Throwable).
        outer_catches = {nid for nid, n in g.nodes.items() if n["kind"] == "catch"} - set(catches)

        # A finally clause that jumps (return, break, continue) discards the
        # exception: that way out is Java's too.
        def escapes(reached):
            return ((g.exit is not None and g.exit in reached) or bool(reached & outer_catches)
                    or any(g.nodes[n]["kind"] in ("return", "break", "continue", "yield") for n in reached))

        def leaves(starts):
            through = [c for c in rethrows if c in _reach(g, starts, avoid=set(catches))]
            return any(escapes(_reach(g, [c])) for c in through)

        opens = [e["to"] for e in g.out[tid] if e["kind"] == "flow"]
        if any(g.nodes[o]["kind"] == "resources" for o in opens) and not any(_is_closing(g.nodes[c]) for c in copies):
            problems.append("%s: the resources of a try are never closed" % tid)
        heads = []
        if copies and not takes_all:
            heads.append(tid)
        if finals:
            for cid in catches:
                inside = _reach(g, [e["to"] for e in g.out[cid] if e["kind"] == "flow" and e["to"] not in copies],
                                avoid=copies)
                if any(g.nodes[n]["lines"] for n in inside - copies):
                    heads.append(cid)
        for hid in heads:
            starts = [e["to"] for e in g.out[hid] if e["kind"] == "exception" and e["to"] not in catches]
            if not leaves(starts):
                problems.append("%s %r: an exception from its block has no way through finally to the exit"
                                % (hid, g.nodes[hid]["text"]))
        for cid in copies:
            if not _is_closing(g.nodes[cid]) or "then rethrow" in g.nodes[cid]["text"]:
                continue
            thrown = [e["to"] for e in g.out[cid] if e["kind"] == "exception"]
            if not thrown or (not takes_all and not escapes(_reach(g, thrown))):
                problems.append("%s %r: an exception from close() has no way out" % (cid, g.nodes[cid]["text"]))
    return problems


def split_run(events):
    """A run's events as the lines of the method itself and the runs of the
    lambdas and inner classes' methods it called: (lines, [(call line,
    lines, ending)]).  T.call marks a call by ENTER and the call's line,
    and its end by LEAVE or LEAVE_THROWN; calls do not nest."""
    lines, calls = [], []
    k = 0
    while k < len(events):
        event = events[k]
        if event == ENTER:
            call_line, inner = events[k + 1], []
            k += 2
            while k < len(events) and events[k] not in (LEAVE, LEAVE_THROWN):
                inner.append(events[k])
                k += 1
            ending = "return" if k < len(events) and events[k] == LEAVE else "throw"
            calls.append((call_line, inner, ending))
        else:
            lines.append(event)
        k += 1
    return lines, calls


ENTER, LEAVE, LEAVE_THROWN = -1, -2, -3


def lambda_page(data, line):
    """The page of the lambda whose `->` stands on the line given; None
    when there is none."""
    for n in data["nodes"]:
        if n["kind"] == "start" and n["page"] != 0 and n["firstLine"] == line:
            return n["page"]
    return None


def trace_problem(data, lines, ending, page=0, silent=frozenset(), handlers=None):
    """None when the run is a path through the page's graph, else why not.
    Lines in `silent` are statements that record nothing: a node passes
    over them.  An exception may leave a node after any of its lines, as a
    statement raises one after recording its line.  `handlers` says what
    takes an exception raised on a line: ("try", line) the exception edges
    of that try (its block's), ("catch", line) those of that catch (its
    block's), None the method's exit, which the graph does not draw for
    exceptions raised outside a try."""
    g = Graph(data, page)
    own = {nid: [l for l in n["lines"] if l not in silent] for nid, n in g.nodes.items()}
    takers = {}
    for nid, n in g.nodes.items():
        if n["kind"] in ("try", "catch"):
            takers.setdefault((n["kind"], n["firstLine"]), []).append(nid)

    # A state is (node, how many of its lines the run has consumed).
    def expand(states):
        frontier = set(states)
        todo = list(states)
        while todo:
            nid, pos = todo.pop()
            whole = pos >= len(own[nid])
            if not whole and pos == 0:
                continue
            for e in g.out[nid]:
                if not whole and e["kind"] != "exception":
                    continue
                state = (e["to"], 0)
                if state not in frontier:
                    frontier.add(state)
                    todo.append(state)
        return frontier

    def raised(states):
        """Where an exception raised by the last line a state consumed goes
        on to, and whether it may leave the method unseen by the graph."""
        out, leaves = set(), False
        if handlers is None:
            return out, leaves
        for nid, pos in states:
            if pos == 0:
                continue
            handler = handlers.get(own[nid][pos - 1], None)
            seen = set()
            while handler is not None and handler not in seen:
                seen.add(handler)
                passes_on = False
                for tid in takers.get(handler, []):
                    edges = [e for e in g.out[tid] if e["kind"] == "exception"]
                    out |= {(e["to"], 0) for e in edges}
                    # A try without finally draws only what its catches
                    # take, and a catch without one nothing: the rest goes
                    # on to what takes exceptions around the try statement.
                    if not any(g.nodes[e["to"]]["kind"] != "catch" for e in edges):
                        passes_on = True
                if not passes_on:
                    break
                handler = handlers.get(handler[1], None)
            else:
                leaves = leaves or handler is None
        return out, leaves

    states = {(g.start, 0)}
    for k, line in enumerate(lines):
        nxt = set()
        for nid, pos in expand(states):
            node_lines = own[nid]
            if pos < len(node_lines) and node_lines[pos] == line:
                nxt.add((nid, pos + 1))
        if not nxt:
            for nid, pos in expand(raised(states)[0]):
                node_lines = own[nid]
                if pos < len(node_lines) and node_lines[pos] == line:
                    nxt.add((nid, pos + 1))
        if not nxt:
            before = lines[max(0, k - 8):k]
            return "line %d (event %d, after %s) is not the next step of any path" % (line, k, before)
        states = nxt
    final = g.end if ending == "return" else g.exit
    if ending == "throw":
        thrown, leaves = raised(states)
        if leaves:
            return None
        reached = expand(states) | expand(thrown)
    else:
        # A return completes its node: no exception is on its way.
        done = {(nid, pos) for nid, pos in states if pos >= len(own[nid])}
        reached = expand(done) if done else set()
    if final is None:
        return "the run ended by %s but the graph has no node for it" % ending
    if (final, 0) not in reached:
        return "the run ended by %s after line %s, but no path leads from there to %s" % (
            ending, lines[-1] if lines else "-", g.nodes[final]["kind"])
    if ending == "throw":
        # The last step into the exit is an exception edge.
        last = {nid for nid, pos in reached if pos >= len(own[nid]) or pos > 0}
        if not any(e["kind"] == "exception" and e["from"] in last for e in g.into[final]):
            return "the exception does not leave by an exception edge"
    return None


def main(paths):
    """Checks the structural rules on the graphs (JSON files, or folders of
    them) given; prints each problem and exits 1 when there is one."""
    import glob
    import json
    import os
    files = []
    for path in paths:
        files.extend(sorted(glob.glob(os.path.join(path, "*.json"))) if os.path.isdir(path) else [path])
    count = problems = 0
    for name in files:
        with open(name) as f:
            data = json.load(f)
        if "nodes" not in data:
            continue
        count += 1
        for problem in structural_problems(data):
            print("%s: %s" % (name, problem))
            problems += 1
    print("flow_check: %d graphs, %d problems" % (count, problems))
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    import sys
    sys.exit(main(sys.argv[1:]))
