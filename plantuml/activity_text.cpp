#include "plantuml/activity_text.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "cfg/flat_call.h"
#include "files/latin1.h"
#include "flowdraw/label_text.h"
#include "plantuml/sequence_text.h"

namespace plantuml {
namespace {

using cfg::EdgeKind;
using cfg::NodeKind;

constexpr size_t kNoNode = static_cast<size_t>(-1);

class Lowering {
 public:
  Lowering(const cfg::Graph& graph, bool latin1) : graph_(graph), latin1_(latin1), emitted_(graph.nodes.size()) {
    successors();
    postDominators();
    const size_t n = graph.nodes.size();
    loopHead_.assign(n, false);
    backInto_.resize(n);
    exceptionTo_.assign(n, kNoNode);
    std::vector<bool> headsBody(n);
    for (const cfg::Region& region : graph.regions)
      if (region.kind == cfg::RegionKind::LoopBody && region.head) headsBody[*region.head] = true;
    doWhileTest_.assign(n, false);
    for (const cfg::Edge& edge : graph.edges) {
      if (edge.back) {
        loopHead_[edge.to] = true;
        backInto_[edge.to].push_back(edge.from);
      }
      // A do's condition leads back to the start of its body by its true
      // way; a while's condition heads its body too, but leads back (to
      // an outer loop) only by its false way.
      if (edge.back && edge.kind == EdgeKind::True && headsBody[edge.from] &&
          graph.nodes[edge.from].kind == NodeKind::Decision)
        doWhileTest_[edge.from] = true;
      if (edge.kind == EdgeKind::Exception && exceptionTo_[edge.from] == kNoNode) exceptionTo_[edge.from] = edge.to;
    }
  }

  std::string text() {
    const cfg::Node& start = graph_.nodes[graph_.start];
    out_ += "title " + textOf(firstLine(start.text)) + "\n";
    // The lowering nests as deep as the method's statements: its steps
    // run on the heap (see cfg/flat_call.h).
    emit(graph_.start).run();
    return out_;
  }

 private:
  struct Out {
    size_t to;
    std::string label;
  };
  struct Frame {
    size_t node;
    enum Kind { Join, Head, Exit } kind;
  };

  std::string utf8(const std::string& text) const { return latin1_ ? files::latin1ToUtf8(text) : text; }
  std::string textOf(const std::string& text) const { return lineText(utf8(text)); }
  static std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

  // The box's lines as our drawings wrap them.
  std::string wrapped(const cfg::Node& node) const {
    std::string joined;
    for (const std::string& line : flowdraw::boxLines(utf8(node.text), true))
      joined += (joined.empty() ? "" : "\n") + line;
    return lineText(joined);
  }

  std::string describe(size_t n) const {
    const cfg::Node& node = graph_.nodes[n];
    std::string text = flowdraw::shortenedInMiddle(utf8(firstLine(node.text)), 40, true);
    if (node.kind == NodeKind::Join && text.empty()) text = "the join";
    const std::string where = node.firstLine > 0 ? std::string(1, 'L').append(std::to_string(node.firstLine)) + ": " : "";
    return lineText(where + text);
  }

  bool inside(size_t region, size_t outer) const {
    for (std::optional<size_t> r = region; r; r = graph_.regions[*r].parent)
      if (*r == outer) return true;
    return false;
  }

  // The try statement (its region) a catch clause or a copy of a finally
  // clause belongs to.
  std::optional<size_t> tryRegionOf(size_t node) const {
    const cfg::Node& n = graph_.nodes[node];
    std::optional<size_t> r;
    if (n.kind == NodeKind::Catch) r = graph_.regions[n.region].parent;
    if (n.kind == NodeKind::Finally) r = n.region;
    if (!r || graph_.regions[*r].kind != cfg::RegionKind::TryBlock || !graph_.regions[*r].head) return std::nullopt;
    return r;
  }

  // Normal edges; a try statement also leads to its own catch clauses and
  // finally copies, as its block's exceptions reach them (those of a try
  // inside it are that one's ways).
  void successors() {
    const size_t n = graph_.nodes.size();
    out_edges_.resize(n);
    for (const cfg::Edge& edge : graph_.edges)
      if (edge.kind != EdgeKind::Exception) out_edges_[edge.from].push_back({edge.to, edge.label});
    for (const cfg::Edge& edge : graph_.edges) {
      if (edge.kind != EdgeKind::Exception) continue;
      const std::optional<size_t> r = tryRegionOf(edge.to);
      if (!r) continue;
      const size_t t = *graph_.regions[*r].head;
      if (edge.from != t && !inside(graph_.nodes[edge.from].region, *r)) continue;
      const bool seen =
          std::any_of(out_edges_[t].begin(), out_edges_[t].end(), [&](const Out& o) { return o.to == edge.to; });
      if (!seen) out_edges_[t].push_back({edge.to, edge.label.empty() ? "exception" : edge.label});
    }
  }

  // Immediate post-dominators (Cooper, Harvey and Kennedy) on the reversed
  // graph, from the end node.  Ways that only throw never meet the others,
  // so they do not pull a branch's join down to the method's end.
  // Where a branch's ways meet is found with each way back to a loop's
  // head ending there (a round of the loop ends: that way is done), so
  // that a way which comes back round the loop meets no one: `for (e : a)
  // { if (e == x) return x; }` has its return in the branch, not after it.
  // Where a loop without a condition goes on is found on the whole graph.
  void postDominators() {
    const size_t n = graph_.nodes.size();
    std::set<std::pair<size_t, size_t>> back;
    for (const cfg::Edge& edge : graph_.edges)
      if (edge.back && edge.kind != EdgeKind::Exception) back.emplace(edge.from, edge.to);
    std::vector<std::vector<Out>> inRound(n);
    std::vector<bool> endsRound(n);
    for (size_t u = 0; u < n; ++u)
      for (const Out& o : out_edges_[u]) {
        if (back.count({u, o.to}))
          endsRound[u] = true;
        else
          inRound[u].push_back(o);
      }
    loopExit_ = postDominatorsOf(out_edges_, std::vector<bool>(n));
    ipdom_ = postDominatorsOf(inRound, endsRound);
  }

  // Over the edges `outs`, each node of `ends` (besides the end node)
  // leading to where the graph ends too.
  std::vector<size_t> postDominatorsOf(const std::vector<std::vector<Out>>& outs, const std::vector<bool>& ends) const {
    const size_t n = graph_.nodes.size(), sink = n;
    const auto endsThere = [&](size_t u) { return graph_.nodes[u].kind == NodeKind::End || ends[u]; };
    std::vector<std::vector<size_t>> reversed(n + 1);  // reversed[v]: nodes u with u -> v
    for (size_t u = 0; u < n; ++u) {
      if (endsThere(u)) reversed[sink].push_back(u);
      for (const Out& o : outs[u]) reversed[o.to].push_back(u);
    }
    // Reverse postorder of the reversed graph from the sink.
    std::vector<size_t> order, number(n + 1, kNoNode);
    std::vector<std::pair<size_t, size_t>> stack{{sink, 0}};
    std::vector<bool> seen(n + 1);
    seen[sink] = true;
    while (!stack.empty()) {
      auto& [v, next] = stack.back();
      if (next < reversed[v].size()) {
        const size_t w = reversed[v][next++];
        if (!seen[w]) {
          seen[w] = true;
          stack.push_back({w, 0});
        }
      } else {
        order.push_back(v);
        stack.pop_back();
      }
    }
    std::reverse(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i) number[order[i]] = i;
    std::vector<size_t> ipdom(n + 1, kNoNode);
    ipdom[sink] = sink;
    auto intersect = [&](size_t a, size_t b) {
      while (a != b) {
        while (number[a] > number[b]) a = ipdom[a];
        while (number[b] > number[a]) b = ipdom[b];
      }
      return a;
    };
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t i = 1; i < order.size(); ++i) {
        const size_t v = order[i];
        size_t found = kNoNode;
        // In the reversed graph v's predecessors are its successors.
        auto consider = [&](size_t w) {
          if (ipdom[w] == kNoNode) return;
          found = found == kNoNode ? w : intersect(w, found);
        };
        if (endsThere(v)) consider(sink);
        for (const Out& o : outs[v]) consider(o.to);
        if (found != ipdom[v]) {
          ipdom[v] = found;
          changed = true;
        }
      }
    }
    for (size_t v = 0; v < n; ++v)
      if (ipdom[v] == sink) ipdom[v] = kNoNode;
    return ipdom;
  }

  // Indented as the constructs nest, up to a depth no method reads past:
  // deeper, the text would grow as the square of its statements.
  void line(const std::string& text) {
    static constexpr int kDeepestIndent = 40;
    out_.append(2 * static_cast<size_t>(std::min(depth_, kDeepestIndent)), ' ').append(text).append(1, '\n');
  }

  void action(size_t n) { line(std::string(1, ':').append(wrapped(graph_.nodes[n])).append(1, ';')); }

  // Reaching a place the enclosing construct continues at ends the branch;
  // the innermost loop's exit is a break; any other is a jump the syntax
  // cannot draw.
  bool stopped(size_t n) {
    const std::vector<Frame>& frames = frames_;
    for (size_t k = frames.size(); k-- > 0;) {
      if (frames[k].node != n) continue;
      // Only branches lie between here and the frame: a loop's exit has
      // its own head pushed just after it.
      const size_t above = k + (frames[k].kind == Frame::Exit && k + 1 < frames.size() ? 2 : 1);
      const bool innermostLoop = std::all_of(frames.begin() + static_cast<std::ptrdiff_t>(std::min(above, frames.size())),
                                             frames.end(), [](const Frame& f) { return f.kind == Frame::Join; });
      if (k + 1 == frames.size() || (frames[k].kind == Frame::Head && innermostLoop)) return true;
      if (frames[k].kind == Frame::Exit && innermostLoop) {
        line("break");
        return true;
      }
      jump(n);
      return true;
    }
    return false;
  }

  // An action saying where control goes, since a branch may not begin
  // with detach.
  void jump(size_t n) {
    line(std::string(1, ':').append(lineText("\xE2\x86\xB7 goes on at ")).append(describe(n)).append(1, ';'));
    line("detach");
  }

  // Frames pushed for the steps inside a construct; how many were.
  size_t push(size_t node, Frame::Kind kind) {
    if (node == kNoNode) return 0;
    frames_.push_back({node, kind});
    return 1;
  }
  void pop(size_t count) { frames_.resize(frames_.size() - count); }

  bool inFrames(size_t n) const {
    return std::any_of(frames_.begin(), frames_.end(), [&](const Frame& f) { return f.node == n; });
  }

  cfg::FlatCall<> emit(size_t n) {
    while (n != kNoNode) {
      if (stopped(n)) co_return;
      const cfg::Node& node = graph_.nodes[n];
      if (node.kind == NodeKind::End) {
        line("stop");
        co_return;
      }
      if (node.kind == NodeKind::Exit) {
        line("end");
        co_return;
      }
      if (emitted_[n]) {
        jump(n);
        co_return;
      }
      emitted_[n] = true;
      const std::vector<Out>& outs = out_edges_[n];
      if (loopHead_[n]) {
        n = co_await loop(n);
        continue;
      }
      switch (node.kind) {
        case NodeKind::Start: line("start"); break;
        case NodeKind::Join:
          if (!node.text.empty()) action(n);
          break;
        case NodeKind::Decision:
        case NodeKind::Switch:
        case NodeKind::Try:
          if (outs.size() > 1) {
            n = co_await branches(n);
            continue;
          }
          action(n);
          break;
        case NodeKind::Finally:
          action(n);
          line("note right: " + lineText("a copy of the finally clause, for this way out"));
          break;
        default: action(n);
      }
      if (outs.empty()) {
        exceptional(n);
        co_return;
      }
      if (outs.size() > 1) {
        n = co_await branches(n, false);
        continue;
      }
      n = outs.front().to;
    }
  }

  // Where a node that cannot go on ends: an exception that leaves the
  // method, or one a catch clause drawn with its try statement takes.
  void exceptional(size_t n) {
    const size_t to = exceptionTo_[n];
    if (to != kNoNode && graph_.nodes[to].kind == NodeKind::Exit) {
      line("end");
      return;
    }
    if (to != kNoNode) line("note right: caught at " + describe(to));
    line("detach");
  }

  // A node of several ways out; returns where they meet (or none).
  cfg::FlatCall<size_t> branches(size_t n, bool drawHead = true) {
    const cfg::Node& node = graph_.nodes[n];
    const std::vector<Out>& outs = out_edges_[n];
    size_t join = ipdom_[n];
    // Ways that meet only where the method ends each end there themselves.
    if (join != kNoNode && (graph_.nodes[join].kind == NodeKind::End || graph_.nodes[join].kind == NodeKind::Exit))
      join = kNoNode;
    // A try statement whose exceptional ways all end abruptly: its block
    // and what follows it are the normal way, not something after the choice.
    if (node.kind == NodeKind::Try &&
        std::any_of(outs.begin(), outs.end(), [&](const Out& o) { return o.to == join; }))
      join = kNoNode;
    const bool joinOutside = join == kNoNode || inFrames(join);
    const size_t pushed = joinOutside ? 0 : push(join, Frame::Join);
    // Several ways out as if/elseif/else: PlantUML's switch cannot end a
    // case with end or detach.
    const std::string head = drawHead ? wrapped(node) : "ways on";
    for (size_t k = 0; k < outs.size(); ++k) {
      std::string label = utf8(outs[k].label);
      if (label.empty()) label = node.kind == NodeKind::Try ? "normally" : "next";
      if (k == 0)
        line("if (" + head + ") then (" + lineText(label) + ")");
      else if (k + 1 == outs.size())
        line("else (" + lineText(label) + ")");
      else
        line("elseif () then (" + lineText(label) + ")");
      ++depth_;
      co_await emit(outs[k].to);
      --depth_;
    }
    line("endif");
    pop(pushed);
    if (joinOutside) {
      if (join != kNoNode) stopped(join);
      co_return kNoNode;
    }
    co_return join;
  }

  // A loop whose head is n; returns where it goes on after the loop.
  cfg::FlatCall<size_t> loop(size_t head) {
    const cfg::Node& node = graph_.nodes[head];
    const std::vector<Out>& outs = out_edges_[head];
    // Tested at the end (do-while): the back edge leaves the decision that
    // heads the loop's body.
    size_t test = kNoNode;
    for (const size_t from : backInto_[head])
      if (doWhileTest_[from]) test = from;
    if (node.kind == NodeKind::Decision && outs.size() == 2 && test == kNoNode) {
      const size_t exit = outs[1].to;
      line("while (" + wrapped(node) + ") is (" + lineText(utf8(outs[0].label)) + ")");
      ++depth_;
      const size_t pushed = push(exit, Frame::Exit) + push(head, Frame::Head);
      co_await emit(outs[0].to);
      pop(pushed);
      --depth_;
      line("endwhile (" + lineText(utf8(outs[1].label)) + ")");
      co_return exit;
    }
    line("repeat");
    ++depth_;
    if (test != kNoNode && out_edges_[test].size() == 2) {
      const size_t exit = out_edges_[test][1].to;
      const size_t pushed = push(exit, Frame::Exit) + push(test, Frame::Head);
      // The body starts at the head itself, which may be a branch.
      emitted_[head] = false;
      loopHead_[head] = false;
      co_await emit(head);
      pop(pushed);
      --depth_;
      emitted_[test] = true;
      line("repeat while (" + wrapped(graph_.nodes[test]) + ") is (" + lineText(utf8(out_edges_[test][0].label)) +
           ") not (" + lineText(utf8(out_edges_[test][1].label)) + ")");
      co_return exit;
    }
    if (node.kind != NodeKind::Join || !node.text.empty()) action(head);
    // Without a condition it ends only by a jump: where the jumps meet.
    const size_t exit = loopExit_[head];
    const size_t pushed = push(exit, Frame::Exit) + push(head, Frame::Head);
    if (outs.size() == 1)
      co_await emit(outs.front().to);
    else if (!outs.empty())
      (void)co_await branches(head, false);
    pop(pushed);
    --depth_;
    line("repeat while (forever)");
    if (exit == kNoNode) line("detach");
    co_return exit;
  }

  const cfg::Graph& graph_;
  bool latin1_;
  std::vector<std::vector<Out>> out_edges_;
  std::vector<size_t> ipdom_;     // where a branch's ways meet within a round of its loops
  std::vector<size_t> loopExit_;  // post-dominators of the whole graph
  std::vector<bool> loopHead_;
  std::vector<std::vector<size_t>> backInto_;  // by loop head: where its back edges come from
  std::vector<bool> doWhileTest_;
  std::vector<size_t> exceptionTo_;  // by node: where its first exception edge goes
  std::vector<bool> emitted_;
  std::vector<Frame> frames_;  // the constructs being drawn, innermost last
  std::string out_;
  int depth_ = 0;
};

}  // namespace

std::string activityText(const cfg::MethodFlow& flow, bool latin1) {
  std::string out;
  for (const cfg::Graph& graph : flow.graphs) out += "@startuml\n" + Lowering(graph, latin1).text() + "@enduml\n";
  return out;
}

}  // namespace plantuml
