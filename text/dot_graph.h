// A graph in the DOT language held as values: its statements in order,
// each attribute's value as Graphviz holds it once read.  Printed, it is
// the text a user lays out with their own tools; handed to Graphviz's
// library, it is built with the same calls its reader makes for that text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace text {

struct DotAttribute {
  std::string name;
  // What Graphviz holds: the text between the quotes with \" read as ".
  std::string value;
  // Written in double quotes, else bare (a number or a keyword).
  bool quoted = true;
};

struct DotStatement {
  enum class Kind {
    Graph,         // graph [attributes]: the graph's own
    NodeDefaults,  // node [attributes]: for the nodes that follow
    Node,          // "name" [attributes]
    Edge,          // "tail" -> "head" [attributes]
    SameRank,      // { rank=same; "name"; ... }
  };
  Kind kind = Kind::Node;
  std::vector<std::string> names;  // the node; the tail and head; the nodes of the rank
  std::vector<DotAttribute> attributes;
};

struct DotGraph {
  std::string name;
  std::vector<DotStatement> statements;
};

// The graph as a digraph in the DOT language, every name in quotes.
std::string dotText(const DotGraph& graph);

// Values as Graphviz holds them: a text it shows as it is (a label, its
// backslashes escaped), and a text it only stores.  A value ending in a
// backslash gets a space, so that written in quotes it never escapes the
// closing one.
std::string shownValue(std::string_view text);
std::string storedValue(std::string_view text);
// A held value in double quotes, its quotes escaped.
std::string quotedValue(std::string_view value);

}  // namespace text
