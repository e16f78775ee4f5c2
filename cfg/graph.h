// The control-flow graph of one Java method, as Java's rules of
// completion say its statements run: a statement that
// cannot complete normally has no edge to the next one, break and continue
// lead to their real targets, every way out of a try block and of its
// catch clauses passes through finally, and a loop's condition is one
// decision with one true and one false exit.
//
// A method's flow is one graph for its body and one for each lambda with
// a block body inside it.  Regions record the constructs a person sees
// (a loop body, a branch, a try block) so that a drawing can frame or
// fold them; they never change the edges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cfg {

enum class NodeKind : uint8_t {
  Start,
  End,
  Exit,          // an exception leaves the method
  Statement,     // one or more simple statements run in a row
  Decision,      // an if or loop condition: one true and one false exit
  Switch,        // the value a switch selects on: one case edge per group
  Case,          // (not made by the builder; kept for the JSON vocabulary)
  Return,
  Throw,
  Break,
  Continue,
  Yield,
  Try,           // entering a try statement
  Catch,         // entering a catch clause
  Finally,       // entering (one copy of) a finally clause
  Resources,     // the resources of a try-with-resources, on the way in
  Synchronized,  // taking the monitor of a synchronized statement
  Join,          // a point several ways meet: a loop without a condition
};

enum class EdgeKind : uint8_t {
  Flow,
  True,
  False,
  Case,       // label: the case values ("1, 2", "default", "no case matches")
  Exception,  // label: the exception type where it is known
};

std::string_view kindName(NodeKind kind);
std::string_view kindName(EdgeKind kind);
// True for the kinds that complete abruptly: control never falls through.
bool isJump(NodeKind kind);

enum class RegionKind : uint8_t {
  Body,          // the method's or lambda's body
  LoopBody,
  Then,
  Else,
  SwitchBody,
  CaseGroup,     // the statements of one case group or rule
  TryBlock,
  CatchBlock,
  FinallyBlock,  // one copy of a finally clause
  Synchronized,
  Labelled,      // a labelled block
};

std::string_view kindName(RegionKind kind);

struct Region {
  RegionKind kind = RegionKind::Body;
  // What holds it, as the source writes it: "for (int i = 0; i < n; i++)",
  // "if (x == null)", "else", "case 1, 2", "catch (IOException e)",
  // "finally (then return)".
  std::string title;
  int32_t firstLine = 0;
  int32_t lastLine = 0;
  std::optional<size_t> parent;  // none for the body
  // The decision, switch, try, catch, finally or synchronized node that
  // leads into it; none for the body.
  std::optional<size_t> head;
  size_t statements = 0;  // source statements inside it, nested ones included
};

struct Node {
  NodeKind kind = NodeKind::Statement;
  // The source text it stands for; several statements are separated by
  // '\n'.  Start holds the method's header, End "end", Exit "throws".
  std::string text;
  int32_t firstLine = 0;  // 0 for nodes that stand for no source line
  int32_t lastLine = 0;
  // The line of each statement or condition the node stands for, in the
  // order they run; empty for nodes that run no code of their own (start,
  // end, exit, join, try, catch, finally, break, continue).
  std::vector<int32_t> lines;
  size_t region = 0;  // the innermost region holding it
  // The lambda graph a statement holds, by index into MethodFlow::graphs.
  std::vector<size_t> lambdas;
};

struct Edge {
  size_t from = 0;
  size_t to = 0;
  EdgeKind kind = EdgeKind::Flow;
  std::string label;
  bool back = false;  // goes back to a loop's head
};

struct Graph {
  std::string title;  // the method's name, or "lambda L12"
  int32_t line = 0;
  int32_t endLine = 0;
  std::vector<Node> nodes;  // [0] is the start node
  std::vector<Edge> edges;
  std::vector<Region> regions;  // [0] is the body
  size_t start = 0;
  // None when the body never completes normally: it always throws, or
  // loops for ever.
  std::optional<size_t> end;
  std::optional<size_t> exit;  // made when an exception can leave
  // For a lambda: the graph and node whose statement holds it.
  std::optional<size_t> parentGraph;
  std::optional<size_t> parentNode;
};

struct MethodFlow {
  std::string file;
  std::string className;
  std::string method;
  int32_t line = 0;
  int32_t endLine = 0;
  std::vector<Graph> graphs;  // [0] the method's body, then its lambdas
};

// The id a node has in the JSON form and in drawings: "n<index>" for the
// method's graph, "l<graph>.n<index>" for a lambda's.
std::string nodeId(size_t graph, size_t node);

}  // namespace cfg
