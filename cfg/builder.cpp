#include "cfg/builder.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "cfg/exception_types.h"
#include "cfg/flat_call.h"
#include "cfg/java_tree.h"
#include "frontends/java/syntax/constructs.h"

namespace cfg {
namespace {

using syntax::CaseLabel;
using syntax::IfStatement;
using syntax::JumpStatement;
using syntax::LambdaExpression;
using syntax::LoopStatement;
using syntax::Statement;
using syntax::SwitchConstruct;
using syntax::SynchronizedStatement;
using syntax::TryStatement;

// An edge waiting for its target: control leaves `from` this way and goes
// wherever the next node built turns out to be.
struct Exit {
  size_t from = 0;
  EdgeKind kind = EdgeKind::Flow;
  std::string label;
};
using Exits = std::vector<Exit>;

// The one way out of a node.  (A function rather than a braced list: see
// flat_call.h on GCC 12.)
Exits exitFrom(size_t from, EdgeKind kind = EdgeKind::Flow, std::string label = {}) {
  return {Exit{from, kind, std::move(label)}};
}

// Adds the exits after those there, in order; taken whole when there are
// none, so that exits passed up through many levels are never copied.
void append(Exits& to, Exits&& more) {
  if (to.empty())
    to = std::move(more);
  else
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

// Where an abrupt completion goes.
struct Destination {
  enum class Kind { Normal, Break, Continue, Return, Yield, Throw } kind = Kind::Return;
  size_t frame = 0;                // the loop, switch or labelled statement it leaves (break, continue, yield)
  std::vector<std::string> types;  // the exception's possible types; empty when unknown
  std::string name;                // a break's or continue's label

  std::string key() const {
    switch (kind) {
      case Kind::Normal: return "n";
      case Kind::Break: return std::string(1, 'b').append(std::to_string(frame));
      case Kind::Continue: return std::string(1, 'c').append(std::to_string(frame));
      case Kind::Return: return "r";
      case Kind::Yield: return std::string(1, 'y').append(std::to_string(frame));
      case Kind::Throw: {
        std::string key = "t";
        for (const std::string& type : types) key += type + "|";
        return key;
      }
    }
    return "";
  }

  // How a finally clause passed on the way is labelled.
  std::string afterFinally() const {
    switch (kind) {
      case Kind::Normal: return "";
      case Kind::Break: return name.empty() ? "then break" : "then break " + name;
      case Kind::Continue: return name.empty() ? "then continue" : "then continue " + name;
      case Kind::Return: return "then return";
      case Kind::Yield: return "then yield";
      case Kind::Throw: return "then rethrow";
    }
    return "";
  }
};

struct CatchClause {
  size_t node = 0;
  std::vector<std::string> types;
};

// A statement that abrupt completions may leave or stop at.
struct Frame {
  enum class Kind { Body, Loop, Switch, SwitchExpression, Labelled, Try } kind = Kind::Body;
  std::vector<std::string> labels;
  Exits breaks, continues, yields;
  // A try statement: its catch clauses apply while its block runs; its
  // finally clause runs on every way out of the block and the catches.
  bool catchesApply = true;
  std::vector<CatchClause> catches;
  Element finallyBlock;
  size_t region = 0;                    // the try statement's region
  std::map<std::string, size_t> copies;  // finally (or closing) copies by destination
  // The resources of a try-with-resources, closed in reverse order on
  // every way out of its block: "close second, first".  Empty otherwise.
  std::string closing;
  int32_t closingFirstLine = 0;
  int32_t closingLastLine = 0;
};

bool isConstantTrue(Element expr) {
  // An Expr that is the literal true, perhaps in parentheses.
  Element e = expr;
  while (const Element inner = syntax::parenthesized(e)) e = inner;
  const Element literal = syntax::soleChild(e);
  return named(literal, Kind::BOOLLIT) && tokenText(literal) == "true";
}

// The simple name of a type: the last identifier before any type arguments.
std::string simpleTypeName(Element typeElement) {
  std::string name;
  for (const Element& token : tokensBetween(typeElement, typeElement)) {
    const std::string text = tokenText(token);
    if (text == "<") break;
    if (named(token, Kind::IDEN)) name = text;
  }
  return name;
}

class Builder {
 public:
  Builder(MethodFlow& flow, size_t graphIndex, const DeclaredSuperclasses& program)
      : flow_(flow), graphIndex_(graphIndex), program_(program) {}

  // A coroutine, as every step that may nest: see flat_call.h.
  FlatCall<> buildBody(Element body, const std::string& header, int32_t line, int32_t endLine,
                       const std::string& modifiers = "") {
    Graph& g = graph();
    g.title = header;
    g.line = line;
    g.endLine = endLine;
    Region bodyRegion;
    bodyRegion.kind = RegionKind::Body;
    bodyRegion.title = header;
    bodyRegion.firstLine = line;
    bodyRegion.lastLine = endLine;
    g.regions.push_back(bodyRegion);
    g.start = addNode(NodeKind::Start, modifiers + header, line, line, {});
    frames_.push_back(Frame{});
    Exits exits = exitFrom(g.start);
    if (named(body, Kind::Blk))
      exits = co_await buildBlock(body, std::move(exits));
    else if (body)  // a lambda's expression body
      exits = co_await buildExpressionStatement(body, std::move(exits));
    if (!exits.empty() || !returns_.empty()) {
      region_ = 0;
      const size_t end = addNode(NodeKind::End, "end", endLine, endLine, {});
      graph().end = end;
      connect(exits, end);
      connect(returns_, end);
    }
    frames_.pop_back();
    addUpStatements();
  }

 private:
  Graph& graph() { return flow_.graphs[graphIndex_]; }

  size_t addNode(NodeKind kind, std::string text, int32_t first, int32_t last, std::vector<int32_t> lines) {
    Graph& g = graph();
    Node node;
    node.kind = kind;
    node.text = std::move(text);
    node.firstLine = first;
    node.lastLine = last;
    node.lines = std::move(lines);
    node.region = region_;
    g.nodes.push_back(std::move(node));
    return g.nodes.size() - 1;
  }

  void addEdge(size_t from, size_t to, EdgeKind kind, std::string label, bool back = false) {
    if (!edgeKeys_.emplace(from, to, kind, label).second) return;
    graph().edges.push_back(Edge{from, to, kind, std::move(label), back});
  }

  void connect(const Exits& exits, size_t to, bool back = false) {
    for (const Exit& exit : exits) addEdge(exit.from, to, exit.kind, exit.label, back);
  }

  size_t exitNode() {
    Graph& g = graph();
    if (!g.exit) {
      const size_t saved = region_;
      region_ = 0;
      g.exit = addNode(NodeKind::Exit, "throws", 0, 0, {});
      region_ = saved;
    }
    return *graph().exit;
  }

  size_t openRegion(RegionKind kind, std::string title, int32_t first, int32_t last, std::optional<size_t> head) {
    Region r;
    r.kind = kind;
    r.title = std::move(title);
    r.firstLine = first;
    r.lastLine = last;
    r.parent = region_;
    r.head = head;
    graph().regions.push_back(std::move(r));
    const size_t saved = region_;
    region_ = graph().regions.size() - 1;
    return saved;
  }
  void closeRegion(size_t saved) { region_ = saved; }

  // Counted in the innermost region; the regions round it add it up once
  // the graph is built (addUpStatements), so that a statement nested n
  // regions deep costs no walk of n.
  void countStatement() { ++graph().regions[region_].statements; }

  // Each region's statements with those of the regions inside it.  A
  // region opens inside one opened before it: its parent comes first.
  void addUpStatements() {
    std::vector<Region>& regions = graph().regions;
    for (size_t r = regions.size(); r-- > 0;)
      if (regions[r].parent) regions[*regions[r].parent].statements += regions[r].statements;
  }

  // ---------------------------------------------------------------- routing

  // Sends an abrupt completion on its way: through the finally clause of
  // every try statement it leaves, to the catch clauses that may take an
  // exception, and on to the frame it stops at.
  FlatCall<> route(Exits from, const Destination& d) { co_await routeFrom(frames_.size(), std::move(from), d); }

  FlatCall<> routeFrom(size_t top, Exits from, const Destination& d) {
    using K = Destination::Kind;
    for (size_t i = top; i-- > 0 && !from.empty();) {
      Frame& f = frames_[i];
      if (i == d.frame && (d.kind == K::Break || d.kind == K::Continue || d.kind == K::Yield)) {
        Exits& target = d.kind == K::Break ? f.breaks : d.kind == K::Continue ? f.continues : f.yields;
        target.insert(target.end(), from.begin(), from.end());
        co_return;
      }
      if (f.kind == Frame::Kind::Body) {
        if (d.kind == K::Throw)
          connect(from, exitNode());
        else if (d.kind == K::Return)
          returns_.insert(returns_.end(), from.begin(), from.end());
        co_return;
      }
      if (f.kind != Frame::Kind::Try) continue;
      if (d.kind == K::Throw && f.catchesApply) {
        bool taken = false;
        for (const CatchClause& c : f.catches) {
          const CatchMatch match = matchCatch(d.types, c.types, program_);
          if (match == CatchMatch::Never) continue;
          connect(from, c.node);
          if (match == CatchMatch::Always) {
            taken = true;
            break;
          }
        }
        if (taken) co_return;
      }
      if (frames_[i].finallyBlock) {
        from = co_await throughFinally(i, std::move(from), d);
        if (d.kind == K::Throw && !from.empty()) from = rethrown(std::move(from));
      } else if (!frames_[i].closing.empty()) {
        from = co_await throughClosing(i, std::move(from), d);
        if (d.kind == K::Throw && !from.empty()) from = rethrown(std::move(from));
      }
    }
  }

  // Connects the exits to the copy of frame i's closing of resources that
  // goes on to d, building it the first time.  A close() may throw: on a
  // way out that is no exception its exception takes the place of that
  // way (the try's own catches and finally apply); on the way of an
  // exception it is suppressed, and the first exception goes on.
  FlatCall<Exits> throughClosing(size_t i, Exits from, const Destination& d) {
    const std::string key = d.key();
    const auto found = frames_[i].copies.find(key);
    if (found != frames_[i].copies.end()) {
      connect(from, found->second);
      co_return Exits{};
    }
    const std::string then = d.afterFinally();
    const size_t savedRegion = region_;
    region_ = frames_[i].region;
    const size_t node = addNode(NodeKind::Resources, frames_[i].closing + (then.empty() ? "" : " (" + then + ")"),
                                frames_[i].closingFirstLine, frames_[i].closingLastLine, {});
    region_ = savedRegion;
    connect(from, node);
    frames_[i].copies[key] = node;
    if (d.kind != Destination::Kind::Throw) {
      Destination thrown;
      thrown.kind = Destination::Kind::Throw;
      co_await routeFrom(i, exitFrom(node, EdgeKind::Exception), thrown);
    }
    co_return exitFrom(node);
  }

  // The exception goes on after a finally clause: from its one way out,
  // or, where the clause ends in several (or in a decision's exit), from a
  // point where they meet, since the exception may go to several places.
  // A break or continue that ends the clause (a `while (true)` left by
  // `break`) keeps its own flow edge: the exception leaves from a point
  // after it.
  Exits rethrown(Exits from) {
    if (from.size() == 1 && from[0].kind == EdgeKind::Flow && !isJump(graph().nodes[from[0].from].kind))
      return exitFrom(from[0].from, EdgeKind::Exception);
    const size_t join = addNode(NodeKind::Join, "rethrow", 0, 0, {});
    connect(from, join);
    return exitFrom(join, EdgeKind::Exception);
  }

  // Connects the exits to the copy of frame i's finally clause that goes
  // on to d, building the copy the first time.  Returns the copy's normal
  // exits still to be routed (none when the copy existed already).
  FlatCall<Exits> throughFinally(size_t i, Exits from, const Destination& d) {
    const std::string key = d.key();
    const auto found = frames_[i].copies.find(key);
    if (found != frames_[i].copies.end()) {
      connect(from, found->second);
      co_return Exits{};
    }
    co_return co_await buildFinallyCopy(i, std::move(from), d.afterFinally(), key);
  }

  FlatCall<Exits> buildFinallyCopy(size_t i, Exits from, const std::string& then, const std::string& key) {
    const Element block = frames_[i].finallyBlock;
    const std::string title = then.empty() ? "finally" : "finally (" + then + ")";
    const size_t savedRegion = region_;
    region_ = frames_[i].region;
    const size_t node = addNode(NodeKind::Finally, title, firstLine(block), firstLine(block), {});
    connect(from, node);
    frames_[i].copies[key] = node;
    const size_t outer = openRegion(RegionKind::FinallyBlock, title, firstLine(block), lastLine(block), node);
    // The clause runs outside its try statement: frames from i on do not
    // apply inside it.
    std::vector<Frame> inner(std::make_move_iterator(frames_.begin() + static_cast<std::ptrdiff_t>(i)),
                             std::make_move_iterator(frames_.end()));
    frames_.resize(i);
    Exits exits = co_await buildBlock(block, exitFrom(node));
    frames_.insert(frames_.end(), std::make_move_iterator(inner.begin()), std::make_move_iterator(inner.end()));
    closeRegion(outer);
    region_ = savedRegion;
    co_return exits;
  }

  // The frame a break or continue stops at; frames_.size() when none.
  size_t jumpTarget(bool isContinue, const std::string& label) const {
    for (size_t i = frames_.size(); i-- > 0;) {
      const Frame& f = frames_[i];
      if (f.kind == Frame::Kind::Body || f.kind == Frame::Kind::SwitchExpression) break;
      if (!label.empty()) {
        if (std::find(f.labels.begin(), f.labels.end(), label) != f.labels.end()) return i;
        continue;
      }
      if (f.kind == Frame::Kind::Loop) return i;
      if (!isContinue && f.kind == Frame::Kind::Switch) return i;
    }
    return frames_.size();
  }

  size_t yieldTarget() const {
    for (size_t i = frames_.size(); i-- > 0;) {
      if (frames_[i].kind == Frame::Kind::SwitchExpression) return i;
      if (frames_[i].kind == Frame::Kind::Body) break;
    }
    return frames_.size();
  }

  // ------------------------------------------------------------ statements

  // A statement that runs in a row with its neighbours in one box.
  static bool isSimple(Element item) {
    if (named(item, Kind::LocVarDecln)) return findOutermost(item, Kind::SwExpr).empty();
    if (!named(item, Kind::Stmt)) return false;
    const Element construct = Statement(item).construct();
    if (!construct) return false;
    const Kind kind = construct.kind();
    if (kind == Kind::ExprStmt || kind == Kind::assertStmt) return findOutermost(item, Kind::SwExpr).empty();
    return kind == Kind::TypeDecln || kind == Kind::AnnotType;
  }

  static bool isEmptyStatement(Element item) { return named(item, Kind::Stmt) && Statement(item).isEmpty(); }

  // A statement label (`name:`), or an empty element.
  static Element statementLabel(Element item) { return Statement(item).labelName(); }

  // The parser makes only the label of a labelled statement that stands
  // as a branch or loop body (`if (c) found: { ... }`) the branch: the
  // statement it labels, with any further labels, follows as a sibling.
  // The branch or body that ends the statement (an if's last branch, a
  // while's or for's body), or a label in its place, or an empty element.
  static Element lastSubstatement(Element item) {
    if (!named(item, Kind::Stmt)) return Element();
    const Element s = Statement(item).construct();
    if (const IfStatement branch = IfStatement::of(s))
      return branch.otherwise() ? branch.otherwise() : branch.then();
    if (const LoopStatement loop = LoopStatement::of(s); loop && loop.form() != LoopStatement::Form::Do)
      return loop.body();
    return Element();
  }

  // How many of the siblings from `from` on complete a label left
  // dangling at the end of the statement: the further labels and the
  // labelled statement, and what completes a label dangling in that one.
  static size_t danglingSpan(Element statement, const std::vector<Element>& siblings, size_t from) {
    size_t next = from;
    for (Element e = statement; e;) {
      if (!statementLabel(e)) {
        e = lastSubstatement(e);
        continue;
      }
      while (next < siblings.size() && statementLabel(siblings[next])) ++next;
      if (next >= siblings.size() || !named(siblings[next], Kind::Stmt)) break;
      e = siblings[next++];
    }
    return next - from;
  }

  // The last line of a branch or body, with the statements that complete
  // a label dangling in it.
  int32_t extentLastLine(Element statement) {
    if (continuation_.empty()) return lastLine(statement);  // nothing to complete a label
    const size_t span = continuationSpan(statement);
    return span ? lastLine(continuation_[span - 1]) : lastLine(statement);
  }

  // danglingSpan(statement, continuation_, 0), remembered for each
  // statement on the way down to the dangling label: every level of an
  // else-if chain asks it of the rest of the chain, which would make the
  // chain quadratic.
  size_t continuationSpan(Element statement) {
    std::vector<uint32_t> passed;
    size_t span = 0;
    for (Element e = statement; e; e = lastSubstatement(e)) {
      if (const auto known = continuationSpans_.find(e.key()); known != continuationSpans_.end()) {
        span = known->second;
        break;
      }
      passed.push_back(e.key());
      if (statementLabel(e)) {
        span = danglingSpan(e, continuation_, 0);
        break;
      }
    }
    for (const uint32_t key : passed) continuationSpans_[key] = span;
    return span;
  }

  // continuation_ changes: what was remembered of it goes.
  void setContinuation(std::vector<Element> siblings) {
    continuation_ = std::move(siblings);
    continuationSpans_.clear();
  }

  static Element caseLabel(Element item) { return Statement(item).caseLabel(); }

  // The text of the elements from..to as their box shows it: the bodies of
  // the switch expressions drawn ahead of it (`abridged`), those of the
  // lambdas drawn as graphs of their own and the members of anonymous
  // classes (methods of their own) as "{...}".  So no box holds the text
  // of a lambda's or an anonymous class's statements, which lambdas or
  // classes nested a thousand deep would repeat at every level.
  static std::string shownText(Element from, Element to, std::vector<Element> abridged = {}) {
    for (Element e = from; e; e = e.nextSibling()) {
      for (const Element& lambda : findOutermost(e, Kind::LambdaExpr))
        if (LambdaExpression(lambda).blockBody()) abridged.push_back(lambda);
      for (const Element& anonymous : findOutermost(e, Kind::AnonyClass)) abridged.push_back(anonymous);
      if (e == to) break;
    }
    return textWithAbridged(from, to, abridged);
  }

  // The text of a simple statement as its box shows it.
  static std::string simpleText(Element item) {
    const Element declaration = named(item, Kind::Stmt) ? childNamed(item, Kind::TypeDecln) : Element();
    if (declaration) {
      // A local class shows its header; its members are flows of their own.
      for (Element header : children(childNamed(declaration, Kind::RecDecln) ? childNamed(declaration, Kind::RecDecln)
                                                                         : declaration))
        if (named(header, Kind::ClsHeader) || named(header, Kind::RecHeader) || named(header, Kind::EnumHeader))
          return elementText(header) + " {...}";
    }
    return shownText(item, item);
  }

  static constexpr size_t kMaxStatementsInABox = 10;

  // The statements of a block, or of a case group, in a row.  Case labels
  // (in a switch block) are handed to onCase, which adds the case edge.
  template <typename OnCase>
  FlatCall<Exits> buildSequence(const std::vector<Element>& items, Exits in, OnCase&& onCase) {
    // A sequence's labels complete none of an enclosing statement's.
    std::vector<Element> enclosing = std::move(continuation_);
    std::unordered_map<uint32_t, size_t> enclosingSpans = std::move(continuationSpans_);
    setContinuation({});
    std::vector<std::string> labels;
    for (size_t k = 0; k < items.size(); ++k) {
      const Element item = items[k];
      if (named(item, Kind::OBR) || named(item, Kind::CBR)) continue;
      if (const Element label = caseLabel(item)) {
        in = onCase(label, std::move(in));
        continue;
      }
      if (const Element name = statementLabel(item)) {
        labels.push_back(tokenText(name));
        continue;
      }
      if (isEmptyStatement(item)) continue;
      if (const size_t span = danglingSpan(item, items, k + 1)) {
        // The statements that complete a label standing as the item's
        // last branch or body are built there, not again after the item.
        setContinuation(std::vector<Element>(items.begin() + static_cast<std::ptrdiff_t>(k + 1),
                                             items.begin() + static_cast<std::ptrdiff_t>(k + 1 + span)));
        in = co_await buildStatement(item, std::move(in), std::move(labels));
        labels.clear();
        k += span;
        // What was not taken (none, as the parser shapes the tree) follows.
        std::vector<Element> rest = std::move(continuation_);
        setContinuation({});
        in = co_await buildSequence(rest, std::move(in), onCase);
        continue;
      }
      if (isSimple(item) && labels.empty()) {
        std::vector<Element> run{item};
        while (k + 1 < items.size() && run.size() < kMaxStatementsInABox && isSimple(items[k + 1]) &&
               !caseLabel(items[k + 1]))
          run.push_back(items[++k]);
        in = co_await buildSimpleRun(run, std::move(in));
        continue;
      }
      in = co_await buildStatement(item, std::move(in), std::move(labels));
      labels.clear();
    }
    continuation_ = std::move(enclosing);
    continuationSpans_ = std::move(enclosingSpans);
    co_return in;
  }

  FlatCall<Exits> buildBlock(Element block, Exits in) {
    co_return co_await buildSequence(children(block), std::move(in), [](Element, Exits exits) { return exits; });
  }

  FlatCall<Exits> buildSimpleRun(const std::vector<Element>& run, Exits in) {
    std::string text;
    std::vector<int32_t> lines;
    for (const Element& item : run) {
      if (!text.empty()) text += '\n';
      text += simpleText(item);
      lines.push_back(firstLine(item));
      countStatement();
    }
    const size_t node = addNode(NodeKind::Statement, std::move(text), firstLine(run.front()),
                                lastLine(run.back()), std::move(lines));
    for (const Element& item : run) co_await addLambdas(node, item);
    connect(in, node);
    co_return exitFrom(node);
  }

  // Gives every lambda with a block body inside the element a graph of its
  // own, linked from the node.
  // A lambda inside a switch expression drawn ahead of the node (listed in
  // `expanded`) belongs to the node of the case that holds it, not again
  // to the statement that uses the switch's value.
  FlatCall<> addLambdas(size_t node, Element e, const std::vector<Element>& expanded = {}) {
    for (const Element& lambda : findOutermost(e, Kind::LambdaExpr)) {
      const Element body = LambdaExpression(lambda).blockBody();
      if (!body) continue;
      bool insideExpanded = false;
      for (Element up = lambda.parent(); up && !insideExpanded; up = up.parent()) {
        insideExpanded = std::find(expanded.begin(), expanded.end(), up) != expanded.end();
        if (up == e) break;
      }
      if (insideExpanded) continue;
      const size_t index = flow_.graphs.size();
      flow_.graphs.emplace_back();
      flow_.graphs[index].parentGraph = graphIndex_;
      flow_.graphs[index].parentNode = node;
      graph().nodes[node].lambdas.push_back(index);
      const syntax::Span head = LambdaExpression(lambda).head();
      const std::string header = head.last ? rangeText(head.first, head.last) : "->";
      Builder inner(flow_, index, program_);
      co_await inner.buildBody(body, header, firstLine(lambda), lastLine(lambda));
    }
  }

  // Builds the switch expressions inside [from, to] ahead of the node that
  // uses their values, and lists them so that its text abridges them.
  FlatCall<Exits> expandSwitchExpressions(Element from, Element to, Exits in, std::vector<Element>& expanded) {
    for (Element e = from; e; e = e.nextSibling()) {
      if (named(e, Kind::SwExpr)) {
        expanded.push_back(e);
        in = co_await buildSwitch(e, std::move(in), /*isExpression=*/true, {});
      } else {
        for (const Element& sw : findOutermost(e, Kind::SwExpr)) {
          expanded.push_back(sw);
          in = co_await buildSwitch(sw, std::move(in), true, {});
        }
      }
      if (e == to) break;
    }
    co_return in;
  }

  // A node for the code between from and to (siblings), after the switch
  // expressions inside it.
  FlatCall<size_t> codeNode(NodeKind kind, Element from, Element to, Exits& in, const std::string& prefix = "",
                            const std::string& suffix = "") {
    std::vector<Element> expanded;
    in = co_await expandSwitchExpressions(from, to, std::move(in), expanded);
    const size_t node = addNode(kind, prefix + shownText(from, to, expanded) + suffix, firstLine(from),
                                lastLine(to), {firstLine(from)});
    for (Element e = from; e; e = e.nextSibling()) {
      co_await addLambdas(node, e, expanded);
      if (e == to) break;
    }
    connect(in, node);
    in.clear();
    co_return node;
  }

  FlatCall<Exits> buildExpressionStatement(Element item, Exits in) {
    countStatement();
    const size_t node = co_await codeNode(NodeKind::Statement, item, item, in);
    co_return exitFrom(node);
  }

  FlatCall<Exits> buildStatement(Element item, Exits in, std::vector<std::string> labels) {
    if (named(item, Kind::LocVarDecln)) co_return co_await buildExpressionStatement(item, std::move(in));
    const Element s = Statement(item).construct();
    if (!s) co_return in;
    const Kind kind = s.kind();
    if (kind == Kind::Blk)
      co_return co_await labelled(std::move(labels), item, [&](Exits e) { return buildBlock(s, std::move(e)); },
                                  std::move(in));
    if (kind == Kind::IterStmt) co_return co_await buildLoop(s, std::move(in), std::move(labels));
    if (kind == Kind::SelStmt) {
      if (IfStatement::of(s))
        co_return co_await labelled(std::move(labels), item, [&](Exits e) { return buildIf(s, std::move(e)); },
                                    std::move(in));
      co_return co_await buildSwitch(s, std::move(in), false, std::move(labels));
    }
    if (kind == Kind::JumpStmt) co_return co_await buildJump(s, std::move(in));
    if (kind == Kind::YieldStmt) co_return co_await buildYield(s, std::move(in));
    if (kind == Kind::GrdingStmt) {
      if (named(firstToken(s), Kind::SYNCHRONIZED))
        co_return co_await labelled(std::move(labels), item,
                                    [&](Exits e) { return buildSynchronized(s, std::move(e)); }, std::move(in));
      co_return co_await labelled(std::move(labels), item, [&](Exits e) { return buildTry(s, std::move(e)); },
                                  std::move(in));
    }
    if (const Element name = statementLabel(item); name && !continuation_.empty()) {
      // A label as a branch or body: the statement it labels comes next.
      labels.push_back(tokenText(name));
      size_t k = 0;
      for (; k < continuation_.size() && statementLabel(continuation_[k]); ++k)
        labels.push_back(tokenText(statementLabel(continuation_[k])));
      if (k >= continuation_.size()) co_return in;
      const Element labelled = continuation_[k];
      setContinuation(std::vector<Element>(continuation_.begin() + static_cast<std::ptrdiff_t>(k + 1),
                                           continuation_.end()));
      co_return co_await buildStatement(labelled, std::move(in), std::move(labels));
    }
    if (kind == Kind::LblStmt || kind == Kind::EmptyStmt) co_return in;
    // An expression statement, assert or local class holding a switch
    // expression, or anything else: one box.
    co_return co_await buildExpressionStatement(item, std::move(in));
  }

  // A labelled statement that is not a loop: `break label` inside it goes
  // to what follows it.
  // build: the statement's own step, a function of its entries giving a
  // FlatCall of its exits.
  template <typename Build>
  FlatCall<Exits> labelled(std::vector<std::string> labels, Element item, Build build, Exits in) {
    if (labels.empty()) co_return co_await build(std::move(in));
    Frame frame;
    frame.kind = Frame::Kind::Labelled;
    frame.labels = std::move(labels);
    frames_.push_back(std::move(frame));
    const size_t saved = openRegion(RegionKind::Labelled, frames_.back().labels.front() + ":", firstLine(item),
                                    lastLine(item), std::nullopt);
    Exits exits = co_await build(std::move(in));
    closeRegion(saved);
    Exits breaks = std::move(frames_.back().breaks);
    frames_.pop_back();
    exits.insert(exits.end(), breaks.begin(), breaks.end());
    co_return exits;
  }

  // The if of an `else if`, or an empty element.
  static Element elseIf(Element branch) {
    if (!named(branch, Kind::Stmt)) return Element();
    return IfStatement::of(Statement(branch).construct()).node();
  }

  // An if, and the ifs of its else-if chain in turn: a chain of thousands
  // is one loop here, its exits gathered in order, each branch's once.
  FlatCall<Exits> buildIf(Element s, Exits in) {
    Exits exits;
    std::optional<size_t> outsideElses;  // the region round the chain's first else
    for (;;) {
      countStatement();
      const IfStatement statement = IfStatement::of(s);
      const Element cond = statement.condition();
      const Element then = statement.then();
      const Element otherwise = statement.otherwise();
      std::vector<Element> expanded;
      in = co_await expandSwitchExpressions(cond, cond, std::move(in), expanded);
      const std::string header = "if (" + shownText(cond, cond, expanded) + ")";
      const size_t decision =
          addNode(NodeKind::Decision, header, firstLine(s), lastLine(statement.closeParen()), {firstLine(cond)});
      co_await addLambdas(decision, cond, expanded);
      connect(in, decision);
      const size_t saved = openRegion(RegionKind::Then, header, firstLine(then), extentLastLine(then), decision);
      append(exits, co_await buildStatement(then, exitFrom(decision, EdgeKind::True, "yes"), {}));
      closeRegion(saved);
      if (!otherwise) {
        exits.push_back(Exit{decision, EdgeKind::False, "no"});
        break;
      }
      // Each else holds the rest of the chain: the regions nest as the
      // statements do.
      const size_t savedElse =
          openRegion(RegionKind::Else, "else", firstLine(statement.elseWord()), extentLastLine(otherwise), decision);
      if (!outsideElses) outsideElses = savedElse;
      if (const Element next = elseIf(otherwise)) {
        s = next;
        in = exitFrom(decision, EdgeKind::False, "no");
        continue;
      }
      append(exits, co_await buildStatement(otherwise, exitFrom(decision, EdgeKind::False, "no"), {}));
      break;
    }
    if (outsideElses) closeRegion(*outsideElses);
    co_return exits;
  }

  FlatCall<Exits> buildLoop(Element s, Exits in, std::vector<std::string> labels) {
    countStatement();
    const LoopStatement::Form form = LoopStatement::of(s).form();
    Frame frame;
    frame.kind = Frame::Kind::Loop;
    frame.labels = labels;
    frames_.push_back(std::move(frame));
    const size_t frameIndex = frames_.size() - 1;
    std::string labelPrefix;
    for (const std::string& label : labels) labelPrefix += label + ": ";
    Exits out;
    if (form == LoopStatement::Form::Do)
      out = co_await buildDo(s, std::move(in), labelPrefix, frameIndex);
    else if (form == LoopStatement::Form::While)
      out = co_await buildWhile(s, std::move(in), labelPrefix, frameIndex);
    else
      out = co_await buildFor(s, std::move(in), labelPrefix, frameIndex);
    Exits breaks = std::move(frames_[frameIndex].breaks);
    frames_.pop_back();
    out.insert(out.end(), breaks.begin(), breaks.end());
    co_return out;
  }

  // The loop's body in its own region; its exits, with the continues.
  FlatCall<Exits> loopBody(Element body, const std::string& header, size_t head, Exits in, size_t frameIndex,
                           size_t* bodyRegion = nullptr) {
    const size_t saved = openRegion(RegionKind::LoopBody, header, firstLine(body), extentLastLine(body), head);
    if (bodyRegion) *bodyRegion = region_;
    Exits exits = co_await buildStatement(body, std::move(in), {});
    closeRegion(saved);
    Exits continues = std::move(frames_[frameIndex].continues);
    exits.insert(exits.end(), continues.begin(), continues.end());
    co_return exits;
  }

  FlatCall<Exits> buildWhile(Element s, Exits in, const std::string& labelPrefix, size_t frameIndex) {
    const LoopStatement loop = LoopStatement::of(s);
    const Element cond = loop.condition();
    const std::string header = labelPrefix + "while (" + shownText(cond, cond) + ")";
    const size_t mark = graph().nodes.size();
    std::vector<Element> expanded;
    in = co_await expandSwitchExpressions(cond, cond, std::move(in), expanded);
    const bool forever = isConstantTrue(cond);
    const std::string shown = labelPrefix + "while (" + shownText(cond, cond, expanded) + ")";
    const size_t head = addNode(forever ? NodeKind::Join : NodeKind::Decision, shown, firstLine(s), lastLine(loop.closeParen()),
                                forever ? std::vector<int32_t>{} : std::vector<int32_t>{firstLine(cond)});
    co_await addLambdas(head, cond, expanded);
    connect(in, head);
    const size_t loopEntry = mark < graph().nodes.size() ? mark : head;
    Exits round = forever ? exitFrom(head) : exitFrom(head, EdgeKind::True, "yes");
    Exits body = co_await loopBody(loop.body(), header, head, std::move(round), frameIndex);
    connect(body, loopEntry, /*back=*/true);
    if (forever) co_return Exits{};
    co_return exitFrom(head, EdgeKind::False, "no");
  }

  FlatCall<Exits> buildDo(Element s, Exits in, const std::string& labelPrefix, size_t frameIndex) {
    const LoopStatement loop = LoopStatement::of(s);
    const Element body = loop.body();
    const Element cond = loop.condition();
    const std::string header = labelPrefix + "do ... while (" + shownText(cond, cond) + ")";
    const bool forever = isConstantTrue(cond);
    const size_t mark = graph().nodes.size();
    // The body's first node is where each round starts; a body without one
    // starts at the condition.
    const size_t saved = openRegion(RegionKind::LoopBody, header, firstLine(body), lastLine(body), std::nullopt);
    const size_t bodyRegion = region_;
    Exits exits = co_await buildStatement(body, std::move(in), {});
    closeRegion(saved);
    Exits continues = std::move(frames_[frameIndex].continues);
    exits.insert(exits.end(), continues.begin(), continues.end());
    const std::optional<size_t> bodyEntry =
        mark < graph().nodes.size() ? std::optional<size_t>(mark) : std::nullopt;
    // A condition that no round reaches is never evaluated: only a break
    // leaves the loop.
    if (exits.empty()) co_return Exits{};
    std::vector<Element> expanded;
    const size_t condMark = graph().nodes.size();
    exits = co_await expandSwitchExpressions(cond, cond, std::move(exits), expanded);
    const std::string shown = labelPrefix + "while (" + shownText(cond, cond, expanded) + ")";
    const size_t tail = addNode(forever ? NodeKind::Join : NodeKind::Decision, shown, firstLine(loop.whileWord()),
                                lastLine(loop.closeParen()), forever ? std::vector<int32_t>{} : std::vector<int32_t>{firstLine(cond)});
    co_await addLambdas(tail, cond, expanded);
    connect(exits, tail);
    graph().regions[bodyRegion].head = tail;
    const size_t target = bodyEntry ? *bodyEntry : (condMark < tail ? condMark : tail);
    addEdge(tail, target, forever ? EdgeKind::Flow : EdgeKind::True, forever ? "" : "yes", true);
    if (forever) co_return Exits{};
    co_return exitFrom(tail, EdgeKind::False, "no");
  }

  FlatCall<Exits> buildFor(Element s, Exits in, const std::string& labelPrefix, size_t frameIndex) {
    const LoopStatement loop = LoopStatement::of(s);
    const Element body = loop.body();
    const Element eachVar = loop.eachVariable();
    const Element close = loop.closeParen();
    const std::string header = labelPrefix + shownText(loop.keyword(), close);
    if (eachVar) {
      // for (T x : values): one decision per element, taken while there
      // is a next one.
      const Element values = loop.eachValues();
      std::vector<Element> expanded;
      in = co_await expandSwitchExpressions(values, values, std::move(in), expanded);
      const size_t head = addNode(NodeKind::Decision, labelPrefix + shownText(loop.keyword(), close, expanded),
                                  firstLine(s), lastLine(close), {firstLine(eachVar)});
      co_await addLambdas(head, eachVar, expanded);
      connect(in, head);
      Exits exits = co_await loopBody(body, header, head, exitFrom(head, EdgeKind::True, "next"), frameIndex);
      connect(exits, head, true);
      co_return exitFrom(head, EdgeKind::False, "done");
    }
    if (const syntax::Span init = loop.initialisation()) {
      countStatement();
      const size_t node = co_await codeNode(NodeKind::Statement, init.first, init.last, in);
      in = exitFrom(node);
    }
    const syntax::Span update = loop.update();
    const Element condExpr = loop.forCondition();
    const bool forever = !condExpr || isConstantTrue(condExpr);
    const size_t mark = graph().nodes.size();
    std::vector<Element> expanded;
    if (condExpr) in = co_await expandSwitchExpressions(condExpr, condExpr, std::move(in), expanded);
    const std::string shown = condExpr ? labelPrefix + shownText(loop.keyword(), close, expanded) : header;
    const size_t head = addNode(forever ? NodeKind::Join : NodeKind::Decision, shown, firstLine(s), lastLine(close),
                                forever ? std::vector<int32_t>{} : std::vector<int32_t>{firstLine(condExpr)});
    if (condExpr) co_await addLambdas(head, condExpr, expanded);
    connect(in, head);
    const size_t loopEntry = mark < graph().nodes.size() ? mark : head;
    size_t bodyRegion = region_;
    Exits round = forever ? exitFrom(head) : exitFrom(head, EdgeKind::True, "yes");
    Exits exits = co_await loopBody(body, header, head, std::move(round), frameIndex, &bodyRegion);
    if (update && !tokensBetween(update.first, update.last).empty() && !exits.empty()) {
      // The update runs after each round, as the last step of the body.
      const size_t saved = region_;
      region_ = bodyRegion;
      const size_t node = co_await codeNode(NodeKind::Statement, update.first, update.last, exits);
      region_ = saved;
      exits = exitFrom(node);
    }
    connect(exits, loopEntry, true);
    if (forever) co_return Exits{};
    co_return exitFrom(head, EdgeKind::False, "no");
  }

  FlatCall<Exits> buildJump(Element s, Exits in) {
    countStatement();
    const JumpStatement jump(s);
    const std::string word = tokenText(jump.keyword());
    const Element value = jump.value();
    const std::string label = jump.label() ? tokenText(jump.label()) : "";
    using K = Destination::Kind;
    if (word == "return" || word == "throw") {
      const NodeKind kind = word == "return" ? NodeKind::Return : NodeKind::Throw;
      size_t node;
      if (value) {
        node = co_await codeNode(kind, jump.keyword(), value, in);
      } else {
        node = addNode(kind, "return", firstLine(s), lastLine(s), {firstLine(s)});
        connect(in, node);
      }
      Destination d;
      d.kind = word == "return" ? K::Return : K::Throw;
      if (kind == NodeKind::Throw) d.types = thrownTypes(value);
      const std::string edgeLabel = d.types.size() == 1 ? d.types.front() : "";
      co_await route(exitFrom(node, kind == NodeKind::Throw ? EdgeKind::Exception : EdgeKind::Flow, edgeLabel), d);
      co_return Exits{};
    }
    const bool isContinue = word == "continue";
    const size_t node = addNode(isContinue ? NodeKind::Continue : NodeKind::Break, elementText(jump.keyword()) +
                                (label.empty() ? "" : " " + label), firstLine(s), lastLine(s), {});
    connect(in, node);
    Destination d;
    d.kind = isContinue ? K::Continue : K::Break;
    d.frame = jumpTarget(isContinue, label);
    d.name = label;
    if (d.frame < frames_.size()) co_await route(exitFrom(node), d);
    co_return Exits{};
  }

  FlatCall<Exits> buildYield(Element s, Exits in) {
    countStatement();
    const JumpStatement yield(s);
    const size_t node = co_await codeNode(NodeKind::Yield, yield.keyword(), yield.value(), in);
    Destination d;
    d.kind = Destination::Kind::Yield;
    d.frame = yieldTarget();
    if (d.frame < frames_.size()) co_await route(exitFrom(node), d);
    co_return Exits{};
  }

  // The types a throw statement's exception may have: a new object's
  // class, or a catch parameter's types.
  std::vector<std::string> thrownTypes(Element value) const {
    const Element only = syntax::soleChild(value);
    if (named(only, Kind::NewAllocExpr)) {
      if (const Element type = only.child(Kind::ClsAllocExpr).child(Kind::TName)) return {simpleTypeName(type)};
    }
    if (const Element name = named(only, Kind::Qlid) ? syntax::soleChild(only) : Element()) {
      const std::string text = tokenText(name);
      for (auto it = catchParameters_.rbegin(); it != catchParameters_.rend(); ++it)
        if (it->first == text) return it->second;
    }
    return {};
  }

  FlatCall<Exits> buildSynchronized(Element s, Exits in) {
    countStatement();
    const SynchronizedStatement statement(s);
    const size_t node = co_await codeNode(NodeKind::Synchronized, statement.keyword(), statement.closeParen(), in);
    const size_t saved =
        openRegion(RegionKind::Synchronized, graph().nodes[node].text, firstLine(s), lastLine(s), node);
    Exits exits = co_await buildStatement(statement.body(), exitFrom(node), {});
    closeRegion(saved);
    co_return exits;
  }

  FlatCall<Exits> buildTry(Element s, Exits in) {
    countStatement();
    const TryStatement statement(s);
    const Element resources = statement.resourceList();
    const size_t tryNode = addNode(NodeKind::Try, "try", firstLine(s), firstLine(s), {});
    connect(in, tryNode);
    const size_t saved = openRegion(RegionKind::TryBlock, "try", firstLine(s), lastLine(s), tryNode);
    Frame frame;
    frame.kind = Frame::Kind::Try;
    frame.region = region_;
    frame.finallyBlock = statement.finallyBlock();
    // Every catch clause is entered from the try when the block throws an
    // exception of its types.
    bool catchesAll = false;
    const std::vector<syntax::CatchClause> catchElements = statement.catches();
    for (const syntax::CatchClause& element : catchElements) {
      const Element header = element.header();
      CatchClause clause;
      for (const Element& type : element.types()) clause.types.push_back(simpleTypeName(type));
      std::string typeText;
      for (const std::string& type : clause.types) typeText += (typeText.empty() ? "" : " | ") + type;
      clause.node = addNode(NodeKind::Catch, elementText(header), firstLine(header), lastLine(header), {});
      addEdge(tryNode, clause.node, EdgeKind::Exception, typeText);
      for (const std::string& type : clause.types)
        if (type == "Throwable") catchesAll = true;
      frame.catches.push_back(std::move(clause));
    }
    frames_.push_back(std::move(frame));
    const size_t frameIndex = frames_.size() - 1;
    Exits bodyIn = exitFrom(tryNode);
    if (resources) {
      std::vector<int32_t> lines;
      std::vector<std::string> names;
      for (const syntax::Resource& r : statement.resources()) {
        lines.push_back(firstLine(r.node()));
        names.push_back(elementText(r.variable() ? r.variable() : r.node()));
      }
      const syntax::Span inside = statement.resourcesInside();
      const size_t node = co_await codeNode(NodeKind::Resources, inside.first, inside.last, bodyIn);
      graph().nodes[node].lines = std::move(lines);
      bodyIn = exitFrom(node);
      // The resources are closed like a finally clause of their own,
      // inside the try's catches and finally.
      Frame closing;
      closing.kind = Frame::Kind::Try;
      closing.catchesApply = false;
      closing.region = region_;
      closing.closing = "close";
      for (size_t k = names.size(); k-- > 0;) closing.closing += (k + 1 == names.size() ? " " : ", ") + names[k];
      closing.closingFirstLine = firstLine(resources);
      closing.closingLastLine = lastLine(resources);
      frames_.push_back(std::move(closing));
    }
    Exits normal = co_await buildBlock(statement.block(), std::move(bodyIn));
    if (resources && !normal.empty()) {
      Destination d;
      d.kind = Destination::Kind::Normal;
      normal = co_await throughClosing(frames_.size() - 1, std::move(normal), d);
    }
    // An exception the catches do not take leaves through the closing of
    // the resources and through finally.
    frames_[frameIndex].catchesApply = false;
    if ((frames_[frameIndex].finallyBlock || resources) && !catchesAll) {
      Destination d;
      d.kind = Destination::Kind::Throw;
      co_await routeFrom(frames_.size(),
                         exitFrom(tryNode, EdgeKind::Exception,
                                  frames_[frameIndex].catches.empty() ? "any exception" : "other exceptions"),
                         d);
    }
    if (resources) frames_.pop_back();
    for (size_t c = 0; c < catchElements.size(); ++c)
      append(normal, co_await buildCatch(catchElements[c], frameIndex, c));
    if (frames_[frameIndex].finallyBlock && !normal.empty()) {
      Destination d;
      d.kind = Destination::Kind::Normal;
      normal = co_await throughFinally(frameIndex, std::move(normal), d);
    }
    frames_.pop_back();
    closeRegion(saved);
    co_return normal;
  }

  // The try's catch clause c: its block, entered from its clause's node;
  // its exits.
  FlatCall<Exits> buildCatch(syntax::CatchClause element, size_t frameIndex, size_t c) {
    // Copied: the frames grow (and move) while the block is built.
    const size_t clauseNode = frames_[frameIndex].catches[c].node;
    const size_t savedCatch = openRegion(RegionKind::CatchBlock, graph().nodes[clauseNode].text,
                                         firstLine(element.node()), lastLine(element.node()), clauseNode);
    graph().nodes[clauseNode].region = region_;
    const Element parameter = element.parameterName();
    catchParameters_.emplace_back(parameter ? tokenText(parameter) : "", frames_[frameIndex].catches[c].types);
    const size_t catchRegion = region_;
    const size_t mark = graph().nodes.size();
    Exits exits = co_await buildBlock(element.block(), exitFrom(clauseNode));
    catchParameters_.pop_back();
    closeRegion(savedCatch);
    // What the catch block throws runs finally and goes on: the catch
    // stands for its block as the try stands for the try block.
    if (frames_[frameIndex].finallyBlock && runsCode(catchRegion, mark)) {
      Destination d;
      d.kind = Destination::Kind::Throw;
      co_await routeFrom(frames_.size(), exitFrom(clauseNode, EdgeKind::Exception, "any exception"), d);
    }
    co_return exits;
  }

  // Whether a node built since `mark` inside the region (or one nested in
  // it) runs code of its own; the copies of an enclosing finally clause
  // lie outside the region.
  bool runsCode(size_t region, size_t mark) {
    const Graph& g = graph();
    for (size_t n = mark; n < g.nodes.size(); ++n) {
      if (g.nodes[n].lines.empty()) continue;
      for (std::optional<size_t> r = g.nodes[n].region; r; r = g.regions[*r].parent)
        if (*r == region) return true;
    }
    return false;
  }

  // ------------------------------------------------------------- switches

  static bool hasDefault(Element label) {
    for (const Element& token : tokensBetween(label, label))
      if (named(token, Kind::DEFAULT)) return true;
    return false;
  }

  // A pattern or null label makes a switch statement exhaustive.
  static bool hasPattern(Element label) {
    for (const Element& part : children(label))
      if (named(part, Kind::TypePat) || named(part, Kind::RecPat) || named(part, Kind::JNULL)) return true;
    return false;
  }

  // "1, 2", "default", "Circle c when c.r() > 0": what a case label
  // matches, without its case and its colon or arrow.
  static std::string caseText(Element label) {
    const syntax::Span values = CaseLabel(label).values();
    return values ? rangeText(values.first, values.last) : "default";
  }

  FlatCall<Exits> buildSwitch(Element s, Exits in, bool isExpression, std::vector<std::string> labels) {
    if (!isExpression) countStatement();
    const SwitchConstruct construct(s);
    const Element body = construct.body();
    const size_t node = co_await codeNode(NodeKind::Switch, construct.keyword(), construct.closeParen(), in);
    Frame frame;
    frame.kind = isExpression ? Frame::Kind::SwitchExpression : Frame::Kind::Switch;
    frame.labels = std::move(labels);
    frames_.push_back(std::move(frame));
    const size_t frameIndex = frames_.size() - 1;
    const std::string header = graph().nodes[node].text;
    const size_t saved = openRegion(RegionKind::SwitchBody, header, firstLine(body), lastLine(body), node);
    bool sawDefault = false;
    bool sawPattern = false;
    Exits out;
    if (named(body, Kind::SwBlk)) {
      for (const Element& rule : children(body)) {
        if (!named(rule, Kind::SwRule)) continue;
        const Element label = childNamed(rule, Kind::SwLabel);
        const Element statement = childNamed(rule, Kind::Stmt);
        sawDefault = sawDefault || hasDefault(label);
        sawPattern = sawPattern || hasPattern(label);
        const std::string values = caseText(label);
        const size_t savedGroup = openRegion(RegionKind::CaseGroup, "case " + values, firstLine(rule),
                                             lastLine(rule), node);
        Exits caseIn = exitFrom(node, EdgeKind::Case, values);
        const Element exprStmt = childNamed(statement, Kind::ExprStmt);
        if (isExpression && exprStmt) {
          // `case 1 -> value;` yields the value.
          countStatement();
          const size_t value = co_await codeNode(NodeKind::Yield, exprStmt, exprStmt, caseIn);
          frames_[frameIndex].yields.push_back({value, EdgeKind::Flow, ""});
        } else {
          Exits exits = co_await buildStatement(statement, std::move(caseIn), {});
          out.insert(out.end(), exits.begin(), exits.end());
        }
        closeRegion(savedGroup);
      }
    } else {
      // The old form: labels are statements of the block, and control
      // falls from one group into the next.
      std::optional<size_t> groupRegion;
      std::vector<std::string> pending;
      Element pendingLabel;
      const std::vector<Element> items = children(body);
      Exits current;
      std::vector<Element> group;
      auto flushLabels = [&](Exits& exits) {
        if (pending.empty()) return;
        std::string values;
        for (const std::string& v : pending) values += (values.empty() ? "" : ", ") + v;
        exits.push_back({node, EdgeKind::Case, values});
        if (groupRegion) closeRegion(*groupRegion);
        groupRegion = openRegion(RegionKind::CaseGroup, "case " + values, firstLine(pendingLabel),
                                 lastLine(pendingLabel), node);
        pending.clear();
      };
      for (size_t k = 0; k < items.size(); ++k) {
        const Element item = items[k];
        if (named(item, Kind::OBR) || named(item, Kind::CBR)) continue;
        if (const Element label = caseLabel(item)) {
          sawDefault = sawDefault || hasDefault(label);
          sawPattern = sawPattern || hasPattern(label);
          if (pending.empty()) pendingLabel = label;
          pending.push_back(caseText(label));
          continue;
        }
        flushLabels(current);
        // The statements up to the next case label.
        std::vector<Element> run;
        while (k < items.size() && !caseLabel(items[k]) && !named(items[k], Kind::CBR)) run.push_back(items[k++]);
        --k;
        current = co_await buildSequence(run, std::move(current), [](Element, Exits e) { return e; });
        // A group ends where the next label begins.
        if (groupRegion && !run.empty()) graph().regions[*groupRegion].lastLine = lastLine(run.back());
      }
      if (!pending.empty()) flushLabels(current);
      if (groupRegion) closeRegion(*groupRegion);
      append(out, std::move(current));
    }
    closeRegion(saved);
    if (!isExpression && !sawDefault && !sawPattern) out.push_back({node, EdgeKind::Case, "no case matches"});
    Exits breaks = std::move(frames_[frameIndex].breaks);
    Exits yields = std::move(frames_[frameIndex].yields);
    frames_.pop_back();
    out.insert(out.end(), breaks.begin(), breaks.end());
    out.insert(out.end(), yields.begin(), yields.end());
    co_return out;
  }

  MethodFlow& flow_;
  size_t graphIndex_;
  const DeclaredSuperclasses& program_;
  size_t region_ = 0;
  std::vector<Frame> frames_;
  // The siblings that complete a label standing as a branch or loop body
  // of the statement being built (see danglingSpan), taken in order.
  std::vector<Element> continuation_;
  std::unordered_map<uint32_t, size_t> continuationSpans_;  // see continuationSpan
  Exits returns_;
  // The edges made so far, so that a second way along one edge adds nothing.
  std::set<std::tuple<size_t, size_t, EdgeKind, std::string>> edgeKeys_;
  std::vector<std::pair<std::string, std::vector<std::string>>> catchParameters_;
};

// The declaration's body block; empty when it has none.
Element bodyOf(Element declaration) {
  if (named(declaration, Kind::MtdDecln)) {
    const Element body = childNamed(declaration, Kind::MtdBody);
    return body ? childNamed(body, Kind::Blk) : Element();
  }
  if (named(declaration, Kind::CtorDecln) || named(declaration, Kind::StaticInit) || named(declaration, Kind::NonStaticInit))
    return childNamed(declaration, Kind::Blk);
  return Element();
}

std::string headerOf(Element declaration) {
  if (named(declaration, Kind::StaticInit)) return "static {}";
  if (named(declaration, Kind::NonStaticInit)) return "{}";
  const Element declarator =
      childNamed(declaration, named(declaration, Kind::MtdDecln) ? Kind::MtdDeclr : Kind::CtorDeclr);
  return declarator ? textWithoutAnnotations(declarator) : std::string();
}

// The modifiers that change how a method runs (without an instance, on a
// monitor taken for the whole call), as its start box shows them.
std::string runModifiers(Element declaration) {
  std::string modifiers;
  for (Element part : children(declaration)) {
    if (!named(part, Kind::Modifier)) continue;
    const std::string word = elementText(part);
    if (word == "static" || word == "synchronized") modifiers += word + " ";
  }
  return modifiers;
}

}  // namespace

bool hasBody(const syntax::Node& declaration) { return static_cast<bool>(bodyOf(declaration)); }

errors::Result<MethodFlow> buildMethodFlow(const syntax::Node& declaration, const DeclaredSuperclasses& program) {
  const Element body = bodyOf(declaration);
  if (!body) return errors::Problem(errors::Problem::Kind::NoBody, "no body");
  MethodFlow flow;
  flow.line = firstLine(declaration);
  flow.endLine = lastLine(declaration);
  flow.graphs.emplace_back();
  Builder builder(flow, 0, program);
  // The steps nest as deep as the method's statements: they run on the
  // heap, not the machine stack.
  builder.buildBody(body, headerOf(declaration), flow.line, flow.endLine, runModifiers(declaration)).run();
  return flow;
}

}  // namespace cfg
