#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <unordered_map>

#include "diff/model.h"

namespace diff {
namespace {

using cfg::Graph;
using cfg::NodeKind;

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

// The node's identity for exact matching: its kind and its text.
std::string nodeKey(const cfg::Node& node) {
  return std::string(cfg::kindName(node.kind)) + '\x1f' + normalText(node.text);
}

// Dice's coefficient of the character bigrams of two texts.
double textSimilarity(const std::string& a, const std::string& b) {
  if (a == b) return 1.0;
  if (a.size() < 2 || b.size() < 2) return 0.0;
  std::unordered_map<uint32_t, int> grams;
  for (size_t i = 0; i + 1 < a.size(); ++i) ++grams[(uint32_t(uint8_t(a[i])) << 8) | uint8_t(a[i + 1])];
  size_t shared = 0;
  for (size_t i = 0; i + 1 < b.size(); ++i) {
    auto found = grams.find((uint32_t(uint8_t(b[i])) << 8) | uint8_t(b[i + 1]));
    if (found != grams.end() && found->second > 0) {
      --found->second;
      ++shared;
    }
  }
  return 2.0 * double(shared) / double(a.size() - 1 + b.size() - 1);
}

// A text's tokens: words, literals, and runs of operator characters.
std::vector<std::string_view> tokensOf(std::string_view text) {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t end = i + 1;
    if (c == ' ') {
      ++i;
      continue;
    }
    if (isWordChar(c)) {
      while (end < text.size() && isWordChar(static_cast<unsigned char>(text[end]))) ++end;
    } else if (c == '"' || c == '\'') {
      while (end < text.size() && text[end] != text[i]) end += text[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, text.size());
    } else if (std::string_view("=<>!&|+-*/%^~").find(char(c)) != std::string_view::npos) {
      while (end < text.size() && std::string_view("=<>!&|+-*/%^").find(text[end]) != std::string_view::npos) ++end;
    }
    out.push_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

// The variable a statement writes: the word before its assignment, or the
// one its "++" or "--" steps; empty when it writes none.
std::string_view writtenVariable(const std::vector<std::string_view>& tokens) {
  static const std::set<std::string_view> kAssignments = {"=", "+=", "-=", "*=", "/=", "%=", "&=",
                                                          "|=", "^=", "<<=", ">>=", ">>>="};
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (kAssignments.count(tokens[k])) return k > 0 ? tokens[k - 1] : std::string_view();
    if (tokens[k] == "(" || tokens[k] == ";") break;
  }
  if (tokens.size() >= 2 && (tokens[1] == "++" || tokens[1] == "--")) return tokens[0];
  if (tokens.size() >= 2 && (tokens[0] == "++" || tokens[0] == "--")) return tokens[1];
  return {};
}

// What a statement says, for comparing: its tokens in order of their
// text, and the variable it writes.  Views into the text it was made of.
struct Content {
  std::vector<std::string_view> tokens;
  std::string_view written;
  explicit Content(std::string_view text) : tokens(tokensOf(text)) {
    written = writtenVariable(tokens);
    std::sort(tokens.begin(), tokens.end());
  }
};

// How alike two statements are in what they say: Dice's coefficient of
// their tokens, and more when they write the same variable.
double contentSimilarity(const Content& a, const Content& b) {
  if (a.tokens.empty() || b.tokens.empty()) return 0.0;
  size_t shared = 0;
  for (size_t i = 0, j = 0; i < a.tokens.size() && j < b.tokens.size();) {
    if (a.tokens[i] < b.tokens[j]) ++i;
    else if (b.tokens[j] < a.tokens[i]) ++j;
    else ++shared, ++i, ++j;
  }
  const double dice = 2.0 * double(shared) / double(a.tokens.size() + b.tokens.size());
  return dice + (!a.written.empty() && a.written == b.written ? 0.4 : 0.0);
}

// Matches the nodes of two graphs: base node -> head node.
class NodeMatcher {
 public:
  NodeMatcher(const Graph& base, const Graph& head) : b_(base), h_(head) {
    toHead_.assign(b_.nodes.size(), kNone);
    toBase_.assign(h_.nodes.size(), kNone);
    for (const cfg::Node& node : b_.nodes) bText_.push_back(normalText(node.text));
    for (const cfg::Node& node : h_.nodes) hText_.push_back(normalText(node.text));
    for (const std::string& text : bText_) bContent_.emplace_back(text);
    for (const std::string& text : hText_) hContent_.emplace_back(text);
  }

  std::vector<size_t> run() {
    // The method's own entry and ways out stand for each other whatever
    // their text (a renamed method, a changed header).
    pair(b_.start, h_.start);
    if (b_.end && h_.end) pair(*b_.end, *h_.end);
    if (b_.exit && h_.exit) pair(*b_.exit, *h_.exit);
    identicalNeighbourhoods();
    // Neighbours of the same text first: otherwise the first matched
    // neighbour reached could take, as changed, a node whose unchanged
    // twin another matched neighbour leads to.  Then nodes alike in what
    // they say and where they stand, before a node is taken for another
    // only because it is the one left along the same way.
    propagate(true);
    byContent();
    propagate(true);
    propagate(false, true);
    byContent();
    propagate(true);
    propagate(false);
    bySimilarity();
    propagate(true);
    propagate(false);
    return toHead_;
  }

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  static constexpr int kRounds = 4;

  void pair(size_t b, size_t h) {
    if (b >= toHead_.size() || h >= toBase_.size() || toHead_[b] != kNone || toBase_[h] != kNone) return;
    toHead_[b] = h;
    toBase_[h] = b;
  }

  // Nodes whose kind, text and surroundings up to k edges away are found
  // once on each side are the same node; wider surroundings are tried
  // first, so that of two alike statements the one in the same place is
  // taken.
  void identicalNeighbourhoods() {
    const auto hashes = [](const Graph& graph, const std::vector<std::string>& texts) {
      std::vector<std::vector<size_t>> rounds(kRounds + 1, std::vector<size_t>(graph.nodes.size()));
      std::hash<std::string> hash;
      for (size_t n = 0; n < graph.nodes.size(); ++n)
        rounds[0][n] = hash(std::string(cfg::kindName(graph.nodes[n].kind)) + '\x1f' + texts[n]);
      for (int r = 1; r <= kRounds; ++r) {
        std::vector<std::vector<size_t>> out(graph.nodes.size()), in(graph.nodes.size());
        for (const cfg::Edge& edge : graph.edges) {
          const size_t kind = hash(std::string(cfg::kindName(edge.kind)) + '\x1f' + normalText(edge.label));
          out[edge.from].push_back(kind * 31 + rounds[r - 1][edge.to]);
          in[edge.to].push_back(kind * 37 + rounds[r - 1][edge.from]);
        }
        for (size_t n = 0; n < graph.nodes.size(); ++n) {
          std::sort(out[n].begin(), out[n].end());
          std::sort(in[n].begin(), in[n].end());
          size_t value = rounds[r - 1][n];
          for (size_t v : out[n]) value = value * 1000003 ^ v;
          value = value * 7919 + 17;
          for (size_t v : in[n]) value = value * 1000033 ^ v;
          rounds[r][n] = value;
        }
      }
      return rounds;
    };
    const auto bHash = hashes(b_, bText_), hHash = hashes(h_, hText_);
    for (int r = kRounds; r >= 0; --r) {
      std::unordered_map<size_t, std::pair<std::vector<size_t>, std::vector<size_t>>> groups;
      for (size_t n = 0; n < b_.nodes.size(); ++n)
        if (toHead_[n] == kNone) groups[bHash[r][n]].first.push_back(n);
      for (size_t n = 0; n < h_.nodes.size(); ++n)
        if (toBase_[n] == kNone) groups[hHash[r][n]].second.push_back(n);
      for (const auto& [key, sides] : groups)
        if (sides.first.size() == 1 && sides.second.size() == 1) pair(sides.first[0], sides.second[0]);
    }
  }

  // Where a matched node has one unmatched neighbour of a kind along an
  // edge of a kind and label on each side, those are the same node, its
  // text changed or not (with sameText, only when it is the same).
  // With deferring, a pair of changed text is left while either node has
  // a likelier partner (byContent's) elsewhere in the same place.
  void propagate(bool sameText, bool deferring = false) {
    std::vector<std::vector<const cfg::Edge*>> bOut(b_.nodes.size()), bIn(b_.nodes.size()),
        hOut(h_.nodes.size()), hIn(h_.nodes.size());
    for (const cfg::Edge& edge : b_.edges) {
      bOut[edge.from].push_back(&edge);
      bIn[edge.to].push_back(&edge);
    }
    for (const cfg::Edge& edge : h_.edges) {
      hOut[edge.from].push_back(&edge);
      hIn[edge.to].push_back(&edge);
    }
    bool more = true;
    while (more) {
      more = false;
      for (size_t b = 0; b < b_.nodes.size(); ++b) {
        const size_t h = toHead_[b];
        if (h == kNone) continue;
        for (bool outward : {true, false})
          for (bool withLabel : {true, false}) {
            const auto& bEdges = outward ? bOut[b] : bIn[b];
            const auto& hEdges = outward ? hOut[h] : hIn[h];
            std::map<std::string, std::pair<std::vector<size_t>, std::vector<size_t>>> groups;
            const auto keyOf = [&](const cfg::Edge& edge, const cfg::Node& other) {
              return std::string(cfg::kindName(edge.kind)) + '\x1f' + (withLabel ? normalText(edge.label) : "") +
                     '\x1f' + std::string(cfg::kindName(other.kind));
            };
            for (const cfg::Edge* edge : bEdges) {
              const size_t other = outward ? edge->to : edge->from;
              if (toHead_[other] == kNone) groups[keyOf(*edge, b_.nodes[other])].first.push_back(other);
            }
            for (const cfg::Edge* edge : hEdges) {
              const size_t other = outward ? edge->to : edge->from;
              if (toBase_[other] == kNone) groups[keyOf(*edge, h_.nodes[other])].second.push_back(other);
            }
            for (auto& [key, sides] : groups) {
              std::sort(sides.first.begin(), sides.first.end());
              sides.first.erase(std::unique(sides.first.begin(), sides.first.end()), sides.first.end());
              std::sort(sides.second.begin(), sides.second.end());
              sides.second.erase(std::unique(sides.second.begin(), sides.second.end()), sides.second.end());
              if (sides.first.size() != 1 || sides.second.size() != 1) continue;
              // A node only reached along this way is the same node even
              // when its text changed; one whose text is far off must have
              // its place to show for it.
              const size_t bn = sides.first[0], hn = sides.second[0];
              if (sameText && bText_[bn] != hText_[hn]) continue;
              if (textSimilarity(bText_[bn], hText_[hn]) < 0.3 && !placeAgrees(bn, hn)) continue;
              if (deferring && bText_[bn] != hText_[hn] && likelierPartner(bn, hn)) continue;
              pair(bn, hn);
              more = true;
            }
          }
      }
    }
  }

  // Whether b or h has an unmatched partner of its kind more alike in
  // content than they are to each other, whose place agrees.
  bool likelierPartner(size_t b, size_t h) const {
    const double score = alike(b, h);
    for (size_t other = 0; other < h_.nodes.size(); ++other)
      if (other != h && toBase_[other] == kNone && h_.nodes[other].kind == b_.nodes[b].kind) {
        const double closer = alike(b, other);
        if (closer >= 0.5 && closer > score && placeAgrees(b, other)) return true;
      }
    for (size_t other = 0; other < b_.nodes.size(); ++other)
      if (other != b && toHead_[other] == kNone && b_.nodes[other].kind == h_.nodes[h].kind) {
        const double closer = alike(other, h);
        if (closer >= 0.5 && closer > score && placeAgrees(other, h)) return true;
      }
    return false;
  }

  // Whether the matched neighbours of two nodes agree on both sides: every
  // matched successor and predecessor of one is matched to one of the other's.
  bool placeAgrees(size_t b, size_t h) const {
    size_t agree = 0, total = 0;
    for (const cfg::Edge& edge : b_.edges) {
      const size_t other = edge.from == b ? edge.to : edge.to == b ? edge.from : kNone;
      if (other == kNone || toHead_[other] == kNone) continue;
      ++total;
      for (const cfg::Edge& hEdge : h_.edges)
        if ((hEdge.from == h && hEdge.to == toHead_[other]) || (hEdge.to == h && hEdge.from == toHead_[other])) {
          ++agree;
          break;
        }
    }
    return total > 0 && agree * 2 >= total + 1;
  }

  // Nodes of the same kind whose matched neighbours agree and whose texts
  // share most of their tokens or write the same variable ("end--;" and
  // "end -= n;"), the most alike first.
  void byContent() {
    pairBest([&](size_t b, size_t h) {
      const double score = alike(b, h);
      return score >= 0.5 && placeAgrees(b, h) ? score : -1.0;
    });
  }

  // What is left: nodes of the same kind with similar texts, the closest
  // pairs first.
  void bySimilarity() {
    pairBest([&](size_t b, size_t h) {
      const double text = textSimilarity(bText_[b], hText_[h]);
      const double score = text + (placeAgrees(b, h) ? 0.25 : 0.0);
      return text >= 0.6 || score >= 0.75 ? score : -1.0;
    });
  }

  // Pairs the unmatched nodes of a kind, the best scored first; a
  // negative score is no candidate.
  template <typename Score>
  void pairBest(Score score) {
    struct Candidate {
      double score;
      size_t b, h;
    };
    std::vector<Candidate> candidates;
    for (size_t b = 0; b < b_.nodes.size(); ++b) {
      if (toHead_[b] != kNone) continue;
      for (size_t h = 0; h < h_.nodes.size(); ++h) {
        if (toBase_[h] != kNone || b_.nodes[b].kind != h_.nodes[h].kind) continue;
        if (const double value = score(b, h); value >= 0) candidates.push_back({value, b, h});
      }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
    for (const Candidate& candidate : candidates) pair(candidate.b, candidate.h);
  }

  double alike(size_t b, size_t h) const {
    return bText_[b] == hText_[h] ? 1.0 : contentSimilarity(bContent_[b], hContent_[h]);
  }

  const Graph& b_;
  const Graph& h_;
  std::vector<std::string> bText_, hText_;  // before the contents that view them
  std::vector<Content> bContent_, hContent_;
  std::vector<size_t> toHead_, toBase_;
};

// The multiset of a method's node keys, without its entry and ways out.
std::multiset<std::string> bodyKeys(const MethodVersion& method) {
  std::multiset<std::string> keys;
  if (!method.flow) return keys;
  for (const Graph& graph : method.flow->graphs)
    for (const cfg::Node& node : graph.nodes)
      if (node.kind != NodeKind::Start && node.kind != NodeKind::End && node.kind != NodeKind::Exit)
        keys.insert(nodeKey(node));
  return keys;
}

// Dice's coefficient of two methods' node keys.
double bodySimilarity(const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
  if (a.empty() && b.empty()) return 1.0;
  std::vector<std::string> shared;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(shared));
  return 2.0 * double(shared.size()) / double(a.size() + b.size());
}

std::string textKey(const std::vector<std::string>& parts) {
  std::string key;
  for (const std::string& part : parts) key += part + '\x1f';
  return key;
}

// Which graph of one side is which of the other's, and within each pair
// which base node is which head node.
struct GraphPairs {
  std::vector<std::optional<size_t>> graphOfHead, graphOfBase;
  std::vector<std::vector<size_t>> bToH;  // [base graph][base node]: the head node, or none
};

// The method's graph for the method's; a lambda's by its place among the
// lambdas of the node that holds it, once that node is matched.
GraphPairs matchGraphs(const cfg::MethodFlow& bFlow, const cfg::MethodFlow& hFlow) {
  GraphPairs out;
  out.graphOfHead.resize(hFlow.graphs.size());
  out.graphOfBase.resize(bFlow.graphs.size());
  out.bToH.resize(bFlow.graphs.size());
  for (size_t g = 0; g < hFlow.graphs.size(); ++g) {
    std::optional<size_t> baseGraph;
    if (g == 0) {
      if (!bFlow.graphs.empty()) baseGraph = 0;
    } else if (const Graph& graph = hFlow.graphs[g]; graph.parentGraph && graph.parentNode) {
      const std::optional<size_t> parentBase = out.graphOfHead[*graph.parentGraph];
      if (parentBase) {
        const std::vector<size_t>& back = out.bToH[*parentBase];
        for (size_t bn = 0; bn < back.size(); ++bn) {
          if (back[bn] != *graph.parentNode) continue;
          const auto& hLambdas = hFlow.graphs[*graph.parentGraph].nodes[*graph.parentNode].lambdas;
          const auto& bLambdas = bFlow.graphs[*parentBase].nodes[bn].lambdas;
          const size_t at = static_cast<size_t>(std::find(hLambdas.begin(), hLambdas.end(), g) - hLambdas.begin());
          if (at < bLambdas.size() && !out.graphOfBase[bLambdas[at]]) baseGraph = bLambdas[at];
        }
      }
    }
    if (baseGraph) {
      out.graphOfHead[g] = baseGraph;
      out.graphOfBase[*baseGraph] = g;
      out.bToH[*baseGraph] = NodeMatcher(bFlow.graphs[*baseGraph], hFlow.graphs[g]).run();
    }
  }
  return out;
}

// The merged nodes: the head's in order, then the base's removed ones;
// hIndex and bIndex say where each side's node went.
void mergeNodes(const cfg::MethodFlow& bFlow, const cfg::MethodFlow& hFlow, const GraphPairs& pairs, MethodDiff& out,
                std::vector<std::vector<size_t>>& hIndex, std::vector<std::vector<size_t>>& bIndex) {
  hIndex.assign(hFlow.graphs.size(), {});
  bIndex.assign(bFlow.graphs.size(), {});
  for (size_t g = 0; g < hFlow.graphs.size(); ++g) {
    const Graph& graph = hFlow.graphs[g];
    out.graphs.push_back({graph.title, graph.parentGraph, std::nullopt});
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      const cfg::Node& node = graph.nodes[n];
      NodeDiff entry;
      entry.id = cfg::nodeId(g, n);
      entry.kind = node.kind;
      entry.text = node.text;
      entry.headLines = node.lines;
      entry.graph = g;
      entry.change = Change::Added;
      hIndex[g].push_back(out.nodes.size());
      out.nodes.push_back(std::move(entry));
    }
  }
  for (size_t g = 0; g < bFlow.graphs.size(); ++g) {
    const Graph& graph = bFlow.graphs[g];
    const std::optional<size_t> headGraph = pairs.graphOfBase[g];
    const size_t mergedGraph = headGraph ? *headGraph : out.graphs.size();
    if (!headGraph) out.graphs.push_back({graph.title, std::nullopt, std::nullopt});
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      const cfg::Node& node = graph.nodes[n];
      const size_t h = headGraph ? pairs.bToH[g][n] : static_cast<size_t>(-1);
      if (h != static_cast<size_t>(-1)) {
        NodeDiff& entry = out.nodes[hIndex[*headGraph][h]];
        entry.baseText = node.text;
        entry.baseLines = node.lines;
        entry.change = normalText(node.text) == normalText(entry.text) ? Change::Same : Change::Changed;
        bIndex[g].push_back(hIndex[*headGraph][h]);
        continue;
      }
      NodeDiff entry;
      entry.id = std::string(1, 'b').append(cfg::nodeId(g, n));
      entry.kind = node.kind;
      entry.text = node.text;
      entry.baseLines = node.lines;
      entry.graph = mergedGraph;
      entry.change = Change::Removed;
      bIndex[g].push_back(out.nodes.size());
      out.nodes.push_back(std::move(entry));
    }
  }
  // Where a lambda's graph hangs in the merged method.
  for (size_t g = 0; g < hFlow.graphs.size(); ++g)
    if (hFlow.graphs[g].parentNode) out.graphs[g].parentNode = hIndex[*hFlow.graphs[g].parentGraph][*hFlow.graphs[g].parentNode];
  for (size_t g = 0; g < bFlow.graphs.size(); ++g) {
    if (pairs.graphOfBase[g] || !bFlow.graphs[g].parentNode) continue;
    const size_t node = bIndex[*bFlow.graphs[g].parentGraph][*bFlow.graphs[g].parentNode];
    const size_t mergedGraph = out.nodes[bIndex[g][0]].graph;
    out.graphs[mergedGraph].parentNode = node;
    out.graphs[mergedGraph].parentGraph = out.nodes[node].graph;
  }
}

// Edges: the same where both ends and the kind and label agree.
void mergeEdges(const cfg::MethodFlow& bFlow, const cfg::MethodFlow& hFlow, const std::vector<std::vector<size_t>>& hIndex,
                const std::vector<std::vector<size_t>>& bIndex, MethodDiff& out) {
  std::map<std::string, std::vector<size_t>> headEdges;
  const auto edgeKey = [](size_t from, size_t to, const cfg::Edge& edge) {
    return std::to_string(from) + ' ' + std::to_string(to) + ' ' + std::string(cfg::kindName(edge.kind)) + ' ' +
           normalText(edge.label);
  };
  for (size_t g = 0; g < hFlow.graphs.size(); ++g)
    for (const cfg::Edge& edge : hFlow.graphs[g].edges) {
      headEdges[edgeKey(hIndex[g][edge.from], hIndex[g][edge.to], edge)].push_back(out.edges.size());
      out.edges.push_back({hIndex[g][edge.from], hIndex[g][edge.to], edge.kind, edge.label, edge.back, Change::Added});
    }
  for (size_t g = 0; g < bFlow.graphs.size(); ++g)
    for (const cfg::Edge& edge : bFlow.graphs[g].edges) {
      const size_t from = bIndex[g][edge.from], to = bIndex[g][edge.to];
      auto found = headEdges.find(edgeKey(from, to, edge));
      if (found != headEdges.end() && !found->second.empty()) {
        out.edges[found->second.back()].change = Change::Same;
        found->second.pop_back();
        continue;
      }
      out.edges.push_back({from, to, edge.kind, edge.label, edge.back, Change::Removed});
    }
}

// Compares two matched methods node by node.
MethodDiff compareMethods(const MethodVersion* base, const MethodVersion* head, Change change) {
  MethodDiff out;
  out.change = change;
  out.base = base;
  out.head = head;
  static const cfg::MethodFlow kNoFlow;
  const cfg::MethodFlow& bFlow = base && base->flow ? *base->flow : kNoFlow;
  const cfg::MethodFlow& hFlow = head && head->flow ? *head->flow : kNoFlow;
  std::vector<std::vector<size_t>> hIndex, bIndex;
  mergeNodes(bFlow, hFlow, matchGraphs(bFlow, hFlow), out, hIndex, bIndex);
  mergeEdges(bFlow, hFlow, hIndex, bIndex, out);
  return out;
}

// Whether head hides code behind Unicode escapes that base did not: a
// change though the flow is the same (what seemed commented out runs).
bool hidesMoreCode(const MethodVersion& base, const MethodVersion& head) {
  std::multiset<std::string> before;
  for (const java::HiddenCode& code : base.hiddenCode) before.insert(code.message());
  for (const java::HiddenCode& code : head.hiddenCode) {
    const auto found = before.find(code.message());
    if (found == before.end()) return true;
    before.erase(found);
  }
  return false;
}

bool unchanged(const MethodDiff& method) {
  if (method.base->signature != method.head->signature || hidesMoreCode(*method.base, *method.head)) return false;
  for (const NodeDiff& node : method.nodes)
    if (node.change != Change::Same) return false;
  for (const EdgeDiff& edge : method.edges)
    if (edge.change != Change::Same) return false;
  return true;
}

}  // namespace

std::string_view changeName(Change change) {
  switch (change) {
    case Change::Same: return "same";
    case Change::Changed: return "changed";
    case Change::Added: return "added";
    case Change::Removed: return "removed";
    case Change::Renamed: return "renamed";
  }
  return "same";
}

std::string normalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char quote = 0;
  bool blank = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      out += c;
      if (c == '\\' && i + 1 < text.size()) out += text[++i];
      else if (c == quote) quote = 0;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      blank = true;
      continue;
    }
    if (blank && !out.empty() && isWordChar(static_cast<unsigned char>(out.back())) &&
        isWordChar(static_cast<unsigned char>(c)))
      out += ' ';
    blank = false;
    if (c == '"' || c == '\'') quote = c;
    out += c;
  }
  return out;
}

Call callOf(std::string_view lifeline, std::string_view text, std::string shown) {
  Call call;
  call.shown = std::move(shown);
  const size_t colon = lifeline.find(':');
  call.receiver = normalText(colon == std::string_view::npos ? lifeline : lifeline.substr(colon + 1));
  const size_t open = text.find('(');
  std::string name = normalText(text.substr(0, open));
  // "super.run" and "run" call the same name; "new a.B" keeps its type whole.
  if (const size_t dot = name.rfind('.'); dot != std::string::npos && name.find(' ') == std::string::npos)
    name = name.substr(dot + 1);
  call.callee = name;
  if (open == std::string_view::npos) return call;
  // The arguments: commas outside brackets and literals, up to the closing parenthesis.
  int depth = 0;
  char quote = 0;
  bool any = false;
  for (size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == '\\') ++i;
      else if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') quote = c;
    // Not '<': in an argument it is more often a comparison than a type's.
    if (c == '(' || c == '[' || c == '{') ++depth;
    else if (c == ']' || c == '}') --depth;
    else if (c == ')' && depth-- == 0) break;
    else if (c == ',' && depth == 0) ++call.arguments;
    if (c != ' ' && c != '\t' && c != '\n') any = true;
  }
  if (any) ++call.arguments;
  return call;
}

CallChanges callChanges(const std::vector<Call>& base, const std::vector<Call>& head) {
  // The longest run of calls both keep in order, by dynamic programming from the ends.
  const size_t n = base.size(), m = head.size();
  std::vector<std::vector<uint32_t>> kept(n + 1, std::vector<uint32_t>(m + 1, 0));
  for (size_t i = n; i-- > 0;)
    for (size_t j = m; j-- > 0;)
      kept[i][j] = base[i] == head[j] ? kept[i + 1][j + 1] + 1 : std::max(kept[i + 1][j], kept[i][j + 1]);
  CallChanges out;
  size_t i = 0, j = 0;
  while (i < n && j < m) {
    if (base[i] == head[j]) {
      ++i;
      ++j;
    } else if (kept[i + 1][j] >= kept[i][j + 1]) {
      out.removed.push_back(&base[i++]);
    } else {
      out.added.push_back(&head[j++]);
    }
  }
  for (; i < n; ++i) out.removed.push_back(&base[i]);
  for (; j < m; ++j) out.added.push_back(&head[j]);
  return out;
}

size_t MethodDiff::count(Change nodeChange) const {
  return static_cast<size_t>(
      std::count_if(nodes.begin(), nodes.end(), [&](const NodeDiff& node) { return node.change == nodeChange; }));
}

std::string MethodDiff::name() const {
  const MethodVersion& side = shown();
  return side.className + "." + (overloaded ? side.signature : side.method);
}

size_t MethodDiff::edgesChanged() const {
  return static_cast<size_t>(
      std::count_if(edges.begin(), edges.end(), [](const EdgeDiff& edge) { return edge.change != Change::Same; }));
}

size_t MethodDiff::size() const {
  return count(Change::Added) + count(Change::Removed) + count(Change::Changed) + edgesChanged();
}

namespace {

constexpr size_t kUnmatched = static_cast<size_t>(-1);

// Which method of one side is which of the other's, and how each pair
// is named: Changed, Renamed, or renamed with its class (classOf names the
// head class a base class became).
struct MethodPairs {
  std::vector<size_t> toHead, toBase;
  std::vector<Change> how;
  std::map<std::string, std::string> classOf;

  MethodPairs(size_t baseCount, size_t headCount)
      : toHead(baseCount, kUnmatched), toBase(headCount, kUnmatched), how(baseCount, Change::Changed) {}
  void pair(size_t b, size_t h, Change change) {
    toHead[b] = h;
    toBase[h] = b;
    how[b] = change;
  }
};

std::string methodKey(const std::string& file, const std::string& className, const MethodVersion& method) {
  return textKey({file, className, method.method, textKey(method.parameterTypes)});
}

// The same class, name and parameter types (a class as classOf renamed
// it, when given); in the file the base's became first, then in any.
void matchBySignature(const Side& base, const Side& head, const std::map<std::string, std::string>& renamedFiles,
                      const std::map<std::string, std::string>& classOf, MethodPairs& pairs) {
  const auto headFileOf = [&](const MethodVersion& method) {
    const auto found = renamedFiles.find(method.file);
    return found == renamedFiles.end() ? method.file : found->second;
  };
  for (bool sameFile : {true, false}) {
    std::map<std::string, std::vector<size_t>> byKey;
    for (size_t h = 0; h < head.methods.size(); ++h)
      if (pairs.toBase[h] == kUnmatched) {
        const MethodVersion& method = head.methods[h];
        byKey[methodKey(sameFile ? method.file : "", method.className, method)].push_back(h);
      }
    for (size_t b = 0; b < base.methods.size(); ++b) {
      const MethodVersion& method = base.methods[b];
      if (pairs.toHead[b] != kUnmatched) continue;
      const auto renamed = classOf.find(method.className);
      if (!classOf.empty() && renamed == classOf.end()) continue;
      const std::string& className = renamed == classOf.end() ? method.className : renamed->second;
      auto found = byKey.find(methodKey(sameFile ? headFileOf(method) : "", className, method));
      if (found == byKey.end()) continue;
      for (size_t h : found->second)
        if (pairs.toBase[h] == kUnmatched) {
          pairs.pair(b, h, classOf.empty() ? Change::Changed : Change::Renamed);
          break;
        }
    }
  }
}

// The classes one side has and the other has not, each with its unmatched
// methods' names and parameter types.
std::map<std::string, std::multiset<std::string>> classesOnlyOn(const Side& side, const Side& other,
                                                                const std::vector<size_t>& matched) {
  std::set<std::string> otherClasses;
  for (const MethodVersion& method : other.methods) otherClasses.insert(method.className);
  std::map<std::string, std::multiset<std::string>> out;
  for (size_t k = 0; k < side.methods.size(); ++k) {
    const MethodVersion& method = side.methods[k];
    if (matched[k] == kUnmatched && !otherClasses.count(method.className))
      out[method.className].insert(methodKey("", "", method));
  }
  return out;
}

// A class base has and head has not, renamed or moved to one head has and
// base has not: the pair whose methods share most names and parameter
// types, at least half of the smaller class's, the best pairs first.
std::map<std::string, std::string> renamedClasses(const Side& base, const Side& head, const MethodPairs& pairs) {
  const auto gone = classesOnlyOn(base, head, pairs.toHead), come = classesOnlyOn(head, base, pairs.toBase);
  struct Candidate {
    double score;
    std::string from, to;
  };
  std::vector<Candidate> candidates;
  for (const auto& [from, fromMethods] : gone)
    for (const auto& [to, toMethods] : come) {
      std::vector<std::string> shared;
      std::set_intersection(fromMethods.begin(), fromMethods.end(), toMethods.begin(), toMethods.end(),
                            std::back_inserter(shared));
      const size_t smaller = std::min(fromMethods.size(), toMethods.size());
      if (!shared.empty() && shared.size() * 2 >= smaller)
        candidates.push_back({2.0 * double(shared.size()) / double(fromMethods.size() + toMethods.size()), from, to});
    }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
  std::map<std::string, std::string> out;
  std::set<std::string> taken;
  for (const Candidate& candidate : candidates)
    if (!out.count(candidate.from) && !taken.count(candidate.to)) {
      out[candidate.from] = candidate.to;
      taken.insert(candidate.to);
    }
  return out;
}

// Of what is left in a class, an overload whose parameters changed by its
// name and body, then a renamed method by its body.
void matchByBody(const Side& base, const Side& head, MethodPairs& pairs) {
  std::vector<std::multiset<std::string>> bKeys(base.methods.size()), hKeys(head.methods.size());
  for (size_t b = 0; b < base.methods.size(); ++b)
    if (pairs.toHead[b] == kUnmatched) bKeys[b] = bodyKeys(base.methods[b]);
  for (size_t h = 0; h < head.methods.size(); ++h)
    if (pairs.toBase[h] == kUnmatched) hKeys[h] = bodyKeys(head.methods[h]);
  const auto left = [](const Side& side, const std::vector<size_t>& matched, const MethodVersion& like) {
    size_t count = 0;
    for (size_t k = 0; k < side.methods.size(); ++k)
      count += matched[k] == kUnmatched && side.methods[k].className == like.className &&
               side.methods[k].method == like.method;
    return count;
  };
  for (bool sameName : {true, false}) {
    struct Candidate {
      double score;
      size_t b, h;
    };
    std::vector<Candidate> candidates;
    for (size_t b = 0; b < base.methods.size(); ++b) {
      if (pairs.toHead[b] != kUnmatched) continue;
      for (size_t h = 0; h < head.methods.size(); ++h) {
        if (pairs.toBase[h] != kUnmatched) continue;
        const MethodVersion &bm = base.methods[b], &hm = head.methods[h];
        const auto renamed = pairs.classOf.find(bm.className);
        const std::string& bClass = renamed == pairs.classOf.end() ? bm.className : renamed->second;
        if (bClass != hm.className || (bm.method == hm.method) != sameName) continue;
        if (!bm.flow || !hm.flow) continue;
        const double score = bodySimilarity(bKeys[b], hKeys[h]);
        // An overload set of one on each side is the same method whatever
        // its body became; a new name needs a body most of which stayed.
        const bool alone = sameName && left(base, pairs.toHead, bm) == 1 && left(head, pairs.toBase, hm) == 1;
        if (alone || score >= (sameName ? 0.3 : 0.6)) candidates.push_back({alone ? 2.0 : score, b, h});
      }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
    for (const Candidate& candidate : candidates)
      if (pairs.toHead[candidate.b] == kUnmatched && pairs.toBase[candidate.h] == kUnmatched)
        pairs.pair(candidate.b, candidate.h, sameName ? Change::Changed : Change::Renamed);
  }
}

struct Pair {
  const MethodVersion *base, *head;
  Change change;
};

// Each pair compared node by node, on several threads: the pairs share
// nothing but the sides they read.
std::vector<MethodDiff> comparePairs(const std::vector<Pair>& pairs) {
  std::vector<MethodDiff> compared(pairs.size());
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t k = next++; k < pairs.size(); k = next++)
      compared[k] = compareMethods(pairs[k].base, pairs[k].head, pairs[k].change);
  };
  std::vector<std::thread> helpers;
  const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), pairs.size() / 8 + 1);
  for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  return compared;
}

// Whether a side has another method of the same class and name.
std::set<std::string> overloadedNames(const Side& side) {
  std::map<std::string, size_t> count;
  for (const MethodVersion& method : side.methods) ++count[textKey({method.className, method.method})];
  std::set<std::string> out;
  for (const auto& [key, n] : count)
    if (n > 1) out.insert(key);
  return out;
}

}  // namespace

Diff compare(const Side& base, const Side& head, const std::map<std::string, std::string>& renamedFiles) {
  Diff out;
  out.base = base.name;
  out.head = head.name;
  MethodPairs pairs(base.methods.size(), head.methods.size());
  matchBySignature(base, head, renamedFiles, {}, pairs);
  pairs.classOf = renamedClasses(base, head, pairs);
  if (!pairs.classOf.empty()) matchBySignature(base, head, renamedFiles, pairs.classOf, pairs);
  matchByBody(base, head, pairs);
  std::vector<Pair> compared;
  for (size_t b = 0; b < base.methods.size(); ++b) {
    if (pairs.toHead[b] == kUnmatched) {
      compared.push_back({&base.methods[b], nullptr, Change::Removed});
      continue;
    }
    const MethodVersion& bm = base.methods[b];
    const MethodVersion& hm = head.methods[pairs.toHead[b]];
    if (pairs.how[b] == Change::Changed && !bm.fingerprint.empty() && bm.fingerprint == hm.fingerprint &&
        bm.signature == hm.signature) {
      ++out.unchanged;
      continue;
    }
    compared.push_back({&bm, &hm, pairs.how[b]});
  }
  for (size_t h = 0; h < head.methods.size(); ++h)
    if (pairs.toBase[h] == kUnmatched) compared.push_back({nullptr, &head.methods[h], Change::Added});
  const std::set<std::string> overloaded = overloadedNames(base), headOverloaded = overloadedNames(head);
  for (MethodDiff& method : comparePairs(compared)) {
    if (method.change == Change::Changed && unchanged(method)) {
      ++out.unchanged;
      continue;
    }
    method.withClass = method.base && method.head && method.base->className != method.head->className;
    const auto isOverloaded = [&](const MethodVersion* side, const std::set<std::string>& names) {
      return side && names.count(textKey({side->className, side->method}));
    };
    method.overloaded = isOverloaded(method.base, overloaded) || isOverloaded(method.head, headOverloaded);
    out.methods.push_back(std::move(method));
  }
  std::stable_sort(out.methods.begin(), out.methods.end(), [](const MethodDiff& x, const MethodDiff& y) {
    const MethodVersion &a = x.shown(), &b = y.shown();
    if (a.file != b.file) return a.file < b.file;
    return a.line < b.line;
  });
  return out;
}

MergedFlow mergedFlow(const MethodDiff& method, bool markTexts) {
  MergedFlow out;
  const MethodVersion& shown = method.shown();
  out.flow.file = shown.file;
  out.flow.className = shown.className;
  out.flow.method = shown.method;
  out.flow.line = shown.line;
  std::vector<size_t> local(method.nodes.size());
  out.flow.graphs.resize(method.graphs.size());
  out.nodeChanges.resize(method.graphs.size());
  out.edgeChanges.resize(method.graphs.size());
  out.baseTexts.resize(method.graphs.size());
  out.nodeDiffs.resize(method.graphs.size());
  for (size_t g = 0; g < method.graphs.size(); ++g) {
    cfg::Graph& graph = out.flow.graphs[g];
    graph.title = method.graphs[g].title;
    cfg::Region body;
    body.kind = cfg::RegionKind::Body;
    body.title = graph.title;
    graph.regions.push_back(body);
  }
  // The start of each graph goes first, as a graph's node 0 is its start.
  std::vector<size_t> order;
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (method.nodes[k].kind == NodeKind::Start) order.push_back(k);
  for (size_t k = 0; k < method.nodes.size(); ++k)
    if (method.nodes[k].kind != NodeKind::Start) order.push_back(k);
  for (size_t k : order) {
    const NodeDiff& node = method.nodes[k];
    cfg::Graph& graph = out.flow.graphs[node.graph];
    cfg::Node made;
    made.kind = node.kind;
    const char* mark = node.change == Change::Added     ? "+ "
                       : node.change == Change::Removed ? "\u2212 "
                       : node.change == Change::Changed ? "~ "
                                                        : "";
    made.text = markTexts ? mark + node.text : node.text;
    const std::vector<int32_t>& lines = node.headLines.empty() ? node.baseLines : node.headLines;
    made.lines = lines;
    if (!lines.empty()) {
      made.firstLine = *std::min_element(lines.begin(), lines.end());
      made.lastLine = *std::max_element(lines.begin(), lines.end());
    }
    local[k] = graph.nodes.size();
    if (node.kind == NodeKind::Start && graph.nodes.empty()) graph.start = 0;
    if (node.kind == NodeKind::End && !graph.end) graph.end = graph.nodes.size();
    if (node.kind == NodeKind::Exit && !graph.exit) graph.exit = graph.nodes.size();
    graph.nodes.push_back(std::move(made));
    out.nodeChanges[node.graph].push_back(node.change);
    out.nodeDiffs[node.graph].push_back(k);
    out.baseTexts[node.graph].push_back(node.change == Change::Changed && node.baseText
                                            ? (markTexts ? mark : "") + *node.baseText
                                            : std::string());
  }
  for (size_t g = 0; g < method.graphs.size(); ++g) {
    if (method.graphs[g].parentNode) {
      const size_t parent = *method.graphs[g].parentNode;
      out.flow.graphs[g].parentGraph = method.nodes[parent].graph;
      out.flow.graphs[g].parentNode = local[parent];
      out.flow.graphs[method.nodes[parent].graph].nodes[local[parent]].lambdas.push_back(g);
    }
  }
  for (const EdgeDiff& edge : method.edges) {
    const size_t g = method.nodes[edge.from].graph;
    if (method.nodes[edge.to].graph != g) continue;
    cfg::Edge made;
    made.from = local[edge.from];
    made.to = local[edge.to];
    made.kind = edge.kind;
    made.back = edge.back;
    const char* mark = edge.change == Change::Added ? "+" : edge.change == Change::Removed ? "\u2212" : "";
    // An edge without a label of its own gets none: its stroke tells its change.
    made.label = markTexts && *mark && !edge.label.empty() ? std::string(mark) + " " + edge.label : edge.label;
    out.flow.graphs[g].edges.push_back(std::move(made));
    out.edgeChanges[g].push_back(edge.change);
  }
  return out;
}

}  // namespace diff
