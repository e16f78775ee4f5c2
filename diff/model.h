// What a change did to the control flow of the methods of a set of Java
// files: the methods of both sides matched up, and within each matched
// method the nodes and edges of the two control-flow graphs.
//
// Texts are compared up to whitespace and comments (the graphs hold no
// comments; blanks are dropped except one between two words), so a
// method that was only reformatted, commented or moved compares equal.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cfg/graph.h"
#include "frontends/java/hidden_code.h"

namespace diff {

struct Measures {
  int64_t complexity = 0;
  int64_t cognitive = 0;
  int64_t nloc = 0;
};

// A message of a method's sequence diagram, as a call: what receives it,
// what is called and with how many arguments.  Two calls with the same
// receiver, callee and number of arguments are the same call, however
// they are laid out or whatever their arguments are named.
struct Call {
  std::string receiver;  // the lifeline's type ("Cart" of "basket:Cart"), or its text when it has none
  std::string callee;    // "add"; "new Cart" for a creation, "throw new E" for a throw
  size_t arguments = 0;
  std::string shown;     // as a page shows it: "basket:Cart: add(item, 1)"
  bool operator==(const Call& other) const {
    return receiver == other.receiver && callee == other.callee && arguments == other.arguments;
  }
};

// The call a message makes: lifeline is its receiver's label ("name:Type",
// ":Type" or a text), text the call as written ("add(item, 1)",
// "new Cart(n)"), shown how the page shows it.
Call callOf(std::string_view lifeline, std::string_view text, std::string shown);

// The calls of head not in base (added) and of base not in head
// (removed), in their order: the calls both keep in the same order (the
// longest such run) are neither.
struct CallChanges {
  std::vector<const Call*> added, removed;
};
CallChanges callChanges(const std::vector<Call>& base, const std::vector<Call>& head);

// One method of one side, with every text in UTF-8.
struct MethodVersion {
  std::string file;       // the path as the report names it
  std::string className;  // with the classes round it ("Outer.Inner")
  std::string method;     // its own name ("static {}" for an initialiser)
  std::vector<std::string> parameterTypes;
  std::string signature;  // "name(int, String)"
  int32_t line = 0;       // the line of its name
  std::optional<Measures> measures;  // none without a body
  // Its declaration's tokens, apart from layout and comments, and what
  // Unicode escapes hide in it: a method with the same name, parameters,
  // tokens and hidden code on the other side is unchanged, and needs no graph.
  std::string fingerprint;
  std::optional<cfg::MethodFlow> flow;  // none without a body, or for an unchanged twin
  std::vector<Call> calls;              // its sequence diagram's calls, in order
  // Its source lines from sourceLine on, when asked for (the site shows them).
  int32_t sourceLine = 0;
  std::vector<std::string> source;
  // Where Unicode escapes hide code in it: a finding of head's methods.
  std::vector<java::HiddenCode> hiddenCode;
};

// A file one side could not be compared in, and why.
struct FileFailure {
  std::string side;
  std::string file;
  int32_t line = 0;
  std::string message;
};

struct Side {
  std::string name;  // the revision, "working tree" or the folder
  std::vector<MethodVersion> methods;
};

enum class Change : uint8_t { Same, Changed, Added, Removed, Renamed };
std::string_view changeName(Change change);

struct NodeDiff {
  std::string id;     // the head's node id, or "b" and the base's for a removed node
  Change change = Change::Same;
  cfg::NodeKind kind = cfg::NodeKind::Statement;
  std::string text;   // the head's (the base's for a removed node)
  std::optional<std::string> baseText;  // for a matched node
  std::vector<int32_t> baseLines, headLines;
  size_t graph = 0;  // the merged graph holding it: the head's graph, else a base graph's place after them
};

struct EdgeDiff {
  size_t from = 0, to = 0;  // into MethodDiff::nodes
  cfg::EdgeKind kind = cfg::EdgeKind::Flow;
  std::string label;
  bool back = false;
  Change change = Change::Same;
};

struct MethodDiff {
  Change change = Change::Changed;  // Added, Removed, Changed or Renamed
  const MethodVersion* base = nullptr;
  const MethodVersion* head = nullptr;
  std::vector<NodeDiff> nodes;
  std::vector<EdgeDiff> edges;
  // The merged graphs' titles and, for a lambda, the merged graph and node holding it.
  struct GraphInfo {
    std::string title;
    std::optional<size_t> parentGraph, parentNode;
  };
  std::vector<GraphInfo> graphs;
  bool withClass = false;   // renamed or moved with its class: base's className is what it was
  bool overloaded = false;  // its class has another method of its name, on either side

  // "Shop.checkout", or with its parameter types where it is overloaded.
  std::string name() const;

  size_t count(Change nodeChange) const;
  size_t edgesChanged() const;
  // How much changed, for putting the largest change first.
  size_t size() const;
  const MethodVersion& shown() const { return head ? *head : *base; }
};

struct Diff {
  std::string base, head;
  std::vector<MethodDiff> methods;  // the listed ones: by file and line
  size_t unchanged = 0;
  std::vector<FileFailure> failures;
};

// Matches the methods of the sides and compares each pair.  renamedFiles
// maps a base file to the head file it became (a file absent from it keeps
// its name).  The sides must outlive the result.
Diff compare(const Side& base, const Side& head, const std::map<std::string, std::string>& renamedFiles);

// A text without its blanks, but one between two characters of words:
// "if(a>b)" and "if (a > b)" are the same.  Literals keep theirs.
std::string normalText(std::string_view text);

// The union of both graphs as one method flow, each text marked: "+ "
// added, "− " removed, "~ " changed (edge labels as well), for drawing.
// Which graph, node and edge is which: marks[graph][i] as cfg's indexes.
struct MergedFlow {
  cfg::MethodFlow flow;
  std::vector<std::vector<Change>> nodeChanges;
  std::vector<std::vector<Change>> edgeChanges;
  // The base's text of each changed node (marked as the texts are), empty for the others.
  std::vector<std::vector<std::string>> baseTexts;
  // Which of MethodDiff::nodes each node is.
  std::vector<std::vector<size_t>> nodeDiffs;
};
MergedFlow mergedFlow(const MethodDiff& method, bool markTexts);

}  // namespace diff
