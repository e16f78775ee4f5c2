#include "plantuml/activity_text.h"

#include <algorithm>
#include <optional>
#include <vector>

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
    loopHead_.assign(graph.nodes.size(), false);
    for (const cfg::Edge& edge : graph.edges)
      if (edge.back) loopHead_[edge.to] = true;
  }

  std::string text() {
    const cfg::Node& start = graph_.nodes[graph_.start];
    out_ += "title " + textOf(firstLine(start.text)) + "\n";
    emit(graph_.start, {});
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
    return lineText((node.firstLine > 0 ? "L" + std::to_string(node.firstLine) + ": " : std::string()) + text);
  }

  bool inside(size_t region, size_t outer) const {
    for (std::optional<size_t> r = region; r; r = graph_.regions[*r].parent)
      if (*r == outer) return true;
    return false;
  }

  // Normal edges; a try statement also leads to the catch clauses and
  // finally copies its block's exceptions reach.
  void successors() {
    const size_t n = graph_.nodes.size();
    out_edges_.resize(n);
    for (const cfg::Edge& edge : graph_.edges)
      if (edge.kind != EdgeKind::Exception) out_edges_[edge.from].push_back({edge.to, edge.label});
    for (size_t t = 0; t < n; ++t) {
      if (graph_.nodes[t].kind != NodeKind::Try) continue;
      for (size_t r = 0; r < graph_.regions.size(); ++r) {
        const cfg::Region& region = graph_.regions[r];
        if (region.kind != cfg::RegionKind::TryBlock || region.head != t) continue;
        for (const cfg::Edge& edge : graph_.edges) {
          const NodeKind to = graph_.nodes[edge.to].kind;
          if (edge.kind != EdgeKind::Exception || (to != NodeKind::Catch && to != NodeKind::Finally)) continue;
          if (edge.from != t && !inside(graph_.nodes[edge.from].region, r)) continue;
          const bool seen = std::any_of(out_edges_[t].begin(), out_edges_[t].end(),
                                        [&](const Out& o) { return o.to == edge.to; });
          if (!seen) out_edges_[t].push_back({edge.to, edge.label.empty() ? "exception" : edge.label});
        }
      }
    }
  }

  // Immediate post-dominators (Cooper, Harvey and Kennedy) on the reversed
  // graph, from the end node.  Ways that only throw never meet the others,
  // so they do not pull a branch's join down to the method's end.
  void postDominators() {
    const size_t n = graph_.nodes.size(), sink = n;
    std::vector<std::vector<size_t>> reversed(n + 1);  // reversed[v]: nodes u with u -> v
    for (size_t u = 0; u < n; ++u) {
      if (graph_.nodes[u].kind == NodeKind::End) reversed[sink].push_back(u);
      for (const Out& o : out_edges_[u]) reversed[o.to].push_back(u);
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
    ipdom_.assign(n + 1, kNoNode);
    ipdom_[sink] = sink;
    auto intersect = [&](size_t a, size_t b) {
      while (a != b) {
        while (number[a] > number[b]) a = ipdom_[a];
        while (number[b] > number[a]) b = ipdom_[b];
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
          if (ipdom_[w] == kNoNode) return;
          found = found == kNoNode ? w : intersect(w, found);
        };
        if (graph_.nodes[v].kind == NodeKind::End) consider(sink);
        for (const Out& o : out_edges_[v]) consider(o.to);
        if (found != ipdom_[v]) {
          ipdom_[v] = found;
          changed = true;
        }
      }
    }
    for (size_t v = 0; v < n; ++v)
      if (ipdom_[v] == sink) ipdom_[v] = kNoNode;
  }

  void line(const std::string& text) { out_ += std::string(2 * depth_, ' ') + text + "\n"; }

  void action(size_t n) { line(":" + wrapped(graph_.nodes[n]) + ";"); }

  // Reaching a place the enclosing construct continues at ends the branch;
  // the innermost loop's exit is a break; any other is a jump the syntax
  // cannot draw.
  bool stopped(size_t n, const std::vector<Frame>& frames) {
    for (size_t k = frames.size(); k-- > 0;) {
      if (frames[k].node != n) continue;
      const bool innermostLoop = [&] {
        for (size_t j = frames.size(); j-- > k + 1;)
          if (frames[j].kind != Frame::Join) return false;
        return true;
      }();
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
    line(":" + lineText("\xE2\x86\xB7 goes on at ") + describe(n) + ";");
    line("detach");
  }

  std::vector<Frame> with(std::vector<Frame> frames, size_t node, Frame::Kind kind) {
    if (node != kNoNode) frames.push_back({node, kind});
    return frames;
  }

  bool inFrames(size_t n, const std::vector<Frame>& frames) const {
    return std::any_of(frames.begin(), frames.end(), [&](const Frame& f) { return f.node == n; });
  }

  void emit(size_t n, const std::vector<Frame>& frames) {
    while (n != kNoNode) {
      if (stopped(n, frames)) return;
      const cfg::Node& node = graph_.nodes[n];
      if (node.kind == NodeKind::End) {
        line("stop");
        return;
      }
      if (node.kind == NodeKind::Exit) {
        line("end");
        return;
      }
      if (emitted_[n]) {
        jump(n);
        return;
      }
      emitted_[n] = true;
      const std::vector<Out>& outs = out_edges_[n];
      if (loopHead_[n]) {
        n = loop(n, frames);
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
            n = branches(n, frames);
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
        return;
      }
      if (outs.size() > 1) {
        n = branches(n, frames, false);
        continue;
      }
      n = outs.front().to;
    }
  }

  // Where a node that cannot go on ends: an exception that leaves the
  // method, or one a catch clause drawn with its try statement takes.
  void exceptional(size_t n) {
    for (const cfg::Edge& edge : graph_.edges) {
      if (edge.from != n || edge.kind != EdgeKind::Exception) continue;
      if (graph_.nodes[edge.to].kind == NodeKind::Exit) {
        line("end");
        return;
      }
      line("note right: caught at " + describe(edge.to));
      line("detach");
      return;
    }
    line("detach");
  }

  // A node of several ways out; returns where they meet (or none).
  size_t branches(size_t n, const std::vector<Frame>& frames, bool drawHead = true) {
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
    const bool joinOutside = join == kNoNode || inFrames(join, frames);
    const std::vector<Frame> inner = joinOutside ? frames : with(frames, join, Frame::Join);
    // Several ways out as if/elseif/else: PlantUML's switch cannot end a
    // case with end or detach.
    for (size_t k = 0; k < outs.size(); ++k) {
      std::string label = utf8(outs[k].label);
      if (label.empty()) label = node.kind == NodeKind::Try ? "normally" : "next";
      if (k == 0)
        line("if (" + (drawHead ? wrapped(node) : std::string("ways on")) + ") then (" + lineText(label) + ")");
      else if (k + 1 == outs.size())
        line("else (" + lineText(label) + ")");
      else
        line("elseif () then (" + lineText(label) + ")");
      ++depth_;
      emit(outs[k].to, inner);
      --depth_;
    }
    line("endif");
    if (joinOutside) {
      if (join != kNoNode) stopped(join, frames);
      return kNoNode;
    }
    return join;
  }

  bool doWhileTest(size_t n) const {
    if (graph_.nodes[n].kind != NodeKind::Decision) return false;
    return std::any_of(graph_.regions.begin(), graph_.regions.end(), [&](const cfg::Region& region) {
      return region.kind == cfg::RegionKind::LoopBody && region.head == n;
    });
  }

  // A loop whose head is n; returns where it goes on after the loop.
  size_t loop(size_t head, const std::vector<Frame>& frames) {
    const cfg::Node& node = graph_.nodes[head];
    const std::vector<Out>& outs = out_edges_[head];
    bool tested = false;
    for (const cfg::Edge& edge : graph_.edges)
      if (edge.back && edge.to == head && doWhileTest(edge.from)) tested = true;
    if (node.kind == NodeKind::Decision && outs.size() == 2 && !tested) {
      const size_t exit = outs[1].to;
      line("while (" + wrapped(node) + ") is (" + lineText(utf8(outs[0].label)) + ")");
      ++depth_;
      emit(outs[0].to, with(with(frames, exit, Frame::Exit), head, Frame::Head));
      --depth_;
      line("endwhile (" + lineText(utf8(outs[1].label)) + ")");
      return exit;
    }
    // Tested at the end (do-while): the back edge leaves the decision that
    // heads the loop's body.
    size_t test = kNoNode;
    for (const cfg::Edge& edge : graph_.edges)
      if (edge.back && edge.to == head && doWhileTest(edge.from)) test = edge.from;
    line("repeat");
    ++depth_;
    if (test != kNoNode && out_edges_[test].size() == 2) {
      const size_t exit = out_edges_[test][1].to;
      const std::vector<Frame> inner = with(with(frames, exit, Frame::Exit), test, Frame::Head);
      // The body starts at the head itself, which may be a branch.
      emitted_[head] = false;
      loopHead_[head] = false;
      emit(head, inner);
      --depth_;
      emitted_[test] = true;
      line("repeat while (" + wrapped(graph_.nodes[test]) + ") is (" + lineText(utf8(out_edges_[test][0].label)) +
           ") not (" + lineText(utf8(out_edges_[test][1].label)) + ")");
      return exit;
    }
    if (node.kind != NodeKind::Join || !node.text.empty()) action(head);
    // Without a condition it ends only by a jump: where the jumps meet.
    const size_t exit = ipdom_[head];
    const std::vector<Frame> inner = with(with(frames, exit, Frame::Exit), head, Frame::Head);
    if (outs.size() == 1) emit(outs.front().to, inner);
    else if (!outs.empty()) branches(head, inner, false);
    --depth_;
    line("repeat while (forever)");
    if (exit == kNoNode) line("detach");
    return exit;
  }

  const cfg::Graph& graph_;
  bool latin1_;
  std::vector<std::vector<Out>> out_edges_;
  std::vector<size_t> ipdom_;
  std::vector<bool> loopHead_;
  std::vector<bool> emitted_;
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
