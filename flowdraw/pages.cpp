#include "flowdraw/pages.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace flowdraw {
namespace {

using cfg::NodeKind;
using cfg::RegionKind;

bool isFramed(RegionKind kind) {
  return kind == RegionKind::LoopBody || kind == RegionKind::TryBlock || kind == RegionKind::Synchronized;
}

// The region whose page a region is drawn on: the nearest folded one
// holding it (itself when folded), else the body.
std::vector<size_t> owners(const cfg::Graph& graph, const std::vector<bool>& folded) {
  std::vector<size_t> owner(graph.regions.size(), 0);
  for (size_t r = 1; r < graph.regions.size(); ++r) {
    const std::optional<size_t> parent = graph.regions[r].parent;
    owner[r] = folded[r] ? r : parent ? owner[*parent] : 0;
  }
  return owner;
}

// The boxes each region puts on the page it is drawn on: its own nodes,
// its inline constructs' boxes, and one box for each folded construct.
std::vector<size_t> inlineSizes(const cfg::Graph& graph, const std::vector<bool>& folded) {
  std::vector<size_t> size(graph.regions.size(), 0);
  for (const cfg::Node& node : graph.nodes)
    if (node.region < size.size()) ++size[node.region];
  // Children come after their parents.
  for (size_t r = graph.regions.size(); r-- > 1;) {
    const std::optional<size_t> parent = graph.regions[r].parent;
    if (parent) size[*parent] += folded[r] ? 1 : size[r];
  }
  return size;
}

// The construct to fold next on the page of region `owner`: of those drawn
// inline on it, the largest that fits a page of its own, else the largest.
std::optional<size_t> nextFold(const cfg::Graph& graph, const std::vector<bool>& folded,
                               const std::vector<size_t>& owner, const std::vector<size_t>& size, size_t pageOwner,
                               const FoldLimits& limits) {
  std::optional<size_t> best, largest;
  for (size_t r = 1; r < graph.regions.size(); ++r) {
    if (folded[r] || !isFoldable(graph.regions[r].kind) || size[r] < 2) continue;
    if (owner[r] != pageOwner) continue;
    if (size[r] <= limits.pageItems && (!best || size[r] > size[*best])) best = r;
    if (!largest || size[r] > size[*largest]) largest = r;
  }
  std::optional<size_t> chosen = best ? best : largest;
  // A construct that is little more than one construct inside it (an else
  // holding an if, a block holding a loop) would fold to a page of a few
  // boxes: fold the inner one instead, the innermost of such a chain.
  for (bool deeper = true; chosen && deeper;) {
    deeper = false;
    for (size_t r = *chosen + 1; r < graph.regions.size(); ++r) {
      if (graph.regions[r].parent != chosen || folded[r] || !isFoldable(graph.regions[r].kind)) continue;
      if (size[r] * 4 >= size[*chosen] * 3) {
        chosen = r;
        deeper = true;
        break;
      }
    }
  }
  return chosen;
}

class PageBuilder {
 public:
  PageBuilder(const cfg::MethodFlow& flow, const Folding& folding, PagePlan& plan)
      : flow_(flow), folding_(folding), plan_(plan) {}

  void build() {
    plan_.nodePage.resize(flow_.graphs.size());
    plan_.regionPage.resize(flow_.graphs.size());
    // Pages first, so that every node knows its page before edges are drawn.
    std::vector<std::vector<size_t>> owner(flow_.graphs.size());
    for (size_t g = 0; g < flow_.graphs.size(); ++g) {
      const cfg::Graph& graph = flow_.graphs[g];
      owner[g] = owners(graph, folding_[g]);
      plan_.regionPage[g].assign(graph.regions.size(), std::nullopt);
      std::optional<size_t> parentPage;
      if (graph.parentGraph && graph.parentNode && *graph.parentGraph < g)
        parentPage = plan_.nodePage[*graph.parentGraph][*graph.parentNode];
      plan_.regionPage[g][0] = addPage(g, std::nullopt, parentPage);
      for (size_t r = 1; r < graph.regions.size(); ++r) {
        if (!folding_[g][r]) continue;
        const size_t holder = owner[g][*graph.regions[r].parent];
        plan_.regionPage[g][r] = addPage(g, r, plan_.regionPage[g][holder]);
      }
      plan_.nodePage[g].resize(graph.nodes.size());
      for (size_t n = 0; n < graph.nodes.size(); ++n)
        plan_.nodePage[g][n] = *plan_.regionPage[g][owner[g][graph.nodes[n].region]];
    }
    itemIds_.resize(plan_.pages.size());
    for (size_t g = 0; g < flow_.graphs.size(); ++g) fillGraph(g, owner[g]);
    for (Page& page : plan_.pages) mergeCaseEdges(page);
    for (Page& page : plan_.pages) mergeCatchEdges(page);
  }

 private:
  size_t addPage(size_t graph, std::optional<size_t> region, std::optional<size_t> parent) {
    Page page;
    page.graph = graph;
    page.region = region;
    page.parent = parent;
    plan_.pages.push_back(std::move(page));
    return plan_.pages.size() - 1;
  }

  // How a node shows on a page: itself, or the folded box that holds it.
  struct Shown {
    size_t page;
    size_t pageRegion;  // the region whose page it is
    ItemKind kind;
    size_t id;  // node or region
  };

  // The item standing for `id` on page `p`, made on first use.
  size_t item(size_t p, ItemKind kind, size_t id, std::optional<size_t> frame) {
    Page& page = plan_.pages[p];
    const auto [at, added] = itemIds_[p].emplace(std::make_pair(kind, id), page.items.size());
    if (added) {
      PageItem made;
      made.kind = kind;
      if (kind == ItemKind::Folded) made.region = id;
      else made.node = id;
      made.frame = frame;
      page.items.push_back(made);
    }
    return at->second;
  }

  // Every page's frames, boxes and arrows for one graph, each node and
  // edge visited once: a node shows on its own page and, as the folded box
  // holding it, on each page its page is opened from; an edge shows on the
  // pages of its ends up to the first page showing both.
  // Frames: the framed constructs drawn inline on their owner's page,
  // parents before children.  A region's frame is the innermost frame
  // holding its content on the page it is drawn on; by region.
  std::vector<std::optional<size_t>> placeFrames(size_t g, const std::vector<size_t>& owner) {
    const cfg::Graph& graph = flow_.graphs[g];
    std::vector<std::optional<size_t>> frameOf(graph.regions.size());
    for (size_t r = 0; r < graph.regions.size(); ++r) {
      const size_t target = owner[r];
      if (r == target) continue;
      const std::optional<size_t> inherited = frameOf[*graph.regions[r].parent];
      if (isFramed(graph.regions[r].kind)) {
        Page& page = plan_.pages[*plan_.regionPage[g][target]];
        page.frames.push_back(PageFrame{r, inherited});
        frameOf[r] = page.frames.size() - 1;
      } else {
        frameOf[r] = inherited;
      }
    }
    return frameOf;
  }

  void fillGraph(size_t g, const std::vector<size_t>& owner) {
    const cfg::Graph& graph = flow_.graphs[g];
    const std::vector<bool>& folded = folding_[g];
    const size_t regions = graph.regions.size();
    auto pageOf = [&](size_t ownerRegion) { return *plan_.regionPage[g][ownerRegion]; };
    auto holder = [&](size_t q) { return owner[*graph.regions[q].parent]; };

    const std::vector<std::optional<size_t>> frameOf = placeFrames(g, owner);

    // How deep each page's construct is among the folded ones, and the
    // first node inside each region.
    std::vector<size_t> depth(regions, 0);
    for (size_t r = 1; r < regions; ++r)
      if (folded[r]) depth[r] = depth[holder(r)] + 1;
    std::vector<size_t> firstNode(regions, graph.nodes.size());
    for (size_t n = graph.nodes.size(); n-- > 0;) firstNode[graph.nodes[n].region] = n;
    for (size_t r = regions; r-- > 1;) {
      const size_t parent = *graph.regions[r].parent;
      firstNode[parent] = std::min(firstNode[parent], firstNode[r]);
    }

    // Boxes in the order of the graph's nodes, which is the source's order:
    // a folded box where its first node would be.
    std::vector<std::pair<size_t, std::pair<ItemKind, size_t>>> order;  // (first node, (kind, id))
    order.reserve(graph.nodes.size() + regions);
    for (size_t n = 0; n < graph.nodes.size(); ++n) order.push_back({n, {ItemKind::Node, n}});
    for (size_t r = 1; r < regions; ++r)
      if (folded[r] && firstNode[r] < graph.nodes.size()) order.push_back({firstNode[r], {ItemKind::Folded, r}});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [first, shown] : order) {
      if (shown.first == ItemKind::Node) {
        const size_t region = graph.nodes[shown.second].region;
        item(pageOf(owner[region]), ItemKind::Node, shown.second, frameOf[region]);
      } else {
        const size_t parent = *graph.regions[shown.second].parent;
        item(pageOf(owner[parent]), ItemKind::Folded, shown.second, frameOf[parent]);
      }
    }

    // The pages a node shows on, its own first.
    auto climb = [&](size_t node, std::vector<Shown>& chain) {
      chain.clear();
      size_t q = owner[graph.nodes[node].region];
      chain.push_back(Shown{pageOf(q), q, ItemKind::Node, node});
      while (q != 0) {
        const size_t up = holder(q);
        chain.push_back(Shown{pageOf(up), up, ItemKind::Folded, q});
        q = up;
      }
    };
    std::vector<Shown> tails, heads;
    std::map<size_t, std::set<std::tuple<size_t, size_t, cfg::EdgeKind, std::string>>> seen;  // by page
    auto add = [&](size_t p, size_t tail, size_t head, const cfg::Edge& edge, bool both) {
      Page& page = plan_.pages[p];
      // What happens inside a folded box is on its own page.
      if (tail == head && page.items[tail].kind == ItemKind::Folded) return;
      if (!seen[p].emplace(tail, head, edge.kind, edge.label).second) return;
      page.edges.push_back(PageEdge{tail, head, edge.kind, edge.label, edge.back && both});
    };
    auto shownItem = [&](const Shown& s) {
      const size_t region = s.kind == ItemKind::Node ? graph.nodes[s.id].region : *graph.regions[s.id].parent;
      return item(s.page, s.kind, s.id, frameOf[region]);
    };
    for (const cfg::Edge& edge : graph.edges) {
      climb(edge.from, tails);
      climb(edge.to, heads);
      // The lowest page showing both ends: below it, on either side, the
      // other end is off the page; above it both are inside one folded box.
      size_t t = 0, h = 0;
      while (depth[tails[t].pageRegion] > depth[heads[h].pageRegion]) ++t;
      while (depth[heads[h].pageRegion] > depth[tails[t].pageRegion]) ++h;
      while (tails[t].page != heads[h].page) {
        ++t;
        ++h;
      }
      for (size_t i = 0; i < t; ++i) {
        const size_t p = tails[i].page;
        add(p, shownItem(tails[i]), item(p, ItemKind::Exit, edge.to, std::nullopt), edge, false);
      }
      for (size_t i = 0; i < h; ++i) {
        const size_t p = heads[i].page;
        add(p, item(p, ItemKind::Entry, edge.from, std::nullopt), shownItem(heads[i]), edge, false);
      }
      add(tails[t].page, shownItem(tails[t]), shownItem(heads[h]), edge, true);
    }
  }

  // Case groups folded together leave one case edge each between the same
  // two boxes: one edge says them all.
  static void mergeCaseEdges(Page& page) {
    std::vector<PageEdge> merged;
    std::map<std::pair<size_t, size_t>, size_t> caseEdge;  // (from, to) -> index in merged
    std::map<size_t, size_t> groups;                        // index in merged -> case groups
    for (PageEdge& edge : page.edges) {
      if (edge.kind != cfg::EdgeKind::Case) {
        merged.push_back(std::move(edge));
        continue;
      }
      const auto [at, added] = caseEdge.emplace(std::make_pair(edge.from, edge.to), merged.size());
      if (added) {
        merged.push_back(std::move(edge));
        groups[at->second] = 1;
        continue;
      }
      merged[at->second].label += ", " + edge.label;
      ++groups[at->second];
    }
    for (const auto& [index, count] : groups)
      if (count > 3) merged[index].label = std::to_string(count) + " case groups: " + merged[index].label;
    page.edges = std::move(merged);
  }

  // Catch clauses folded together are entered from their try by one
  // exception edge each: one edge names their types.  So are many catch
  // clauses folded with their try block.
  void mergeCatchEdges(Page& page) const {
    const cfg::Graph& graph = flow_.graphs[page.graph];
    std::map<std::pair<size_t, size_t>, size_t> count;  // exception edges by (from, to)
    for (const PageEdge& edge : page.edges)
      if (edge.kind == cfg::EdgeKind::Exception) ++count[{edge.from, edge.to}];
    auto merges = [&](const PageEdge& edge) {
      const PageItem& head = page.items[edge.to];
      if (edge.kind != cfg::EdgeKind::Exception || head.kind != ItemKind::Folded) return false;
      return graph.regions[head.region].kind == RegionKind::CatchBlock || count[{edge.from, edge.to}] > 3;
    };
    std::vector<PageEdge> merged;
    std::map<std::pair<size_t, size_t>, size_t> catchEdge;  // (from, to) -> index in merged
    for (PageEdge& edge : page.edges) {
      if (!merges(edge)) {
        merged.push_back(std::move(edge));
        continue;
      }
      const auto [at, added] = catchEdge.emplace(std::make_pair(edge.from, edge.to), merged.size());
      if (added) merged.push_back(std::move(edge));
      else merged[at->second].label += (merged[at->second].label.empty() || edge.label.empty() ? "" : ", ") + edge.label;
    }
    page.edges = std::move(merged);
  }

  const cfg::MethodFlow& flow_;
  const Folding& folding_;
  PagePlan& plan_;
  std::vector<std::map<std::pair<ItemKind, size_t>, size_t>> itemIds_;  // by page
};

// From the first value of its first case group to the last of its last.
std::string caseRunTitle(const std::string& first, const std::string& last) {
  auto values = [](const std::string& title) { return title.rfind("case ", 0) == 0 ? title.substr(5) : title; };
  const std::string from = values(first), to = values(last);
  const size_t lastComma = to.rfind(", ");
  return "cases " + from.substr(0, from.find(", ")) + " to " +
         (lastComma == std::string::npos ? to : to.substr(lastComma + 2));
}

// From the first type its first catch clause takes to the last of its last:
// "catch (IOException | SQLException e)" gives its types without the name.
std::string catchRunTitle(const std::string& first, const std::string& last) {
  auto types = [](const std::string& header) {
    std::string inside = header;
    const size_t open = inside.find('('), close = inside.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close > open)
      inside = inside.substr(open + 1, close - open - 1);
    while (!inside.empty() && inside.back() == ' ') inside.pop_back();
    const size_t name = inside.find_last_of(' ');
    if (name != std::string::npos) inside.erase(name);
    while (!inside.empty() && inside.back() == ' ') inside.pop_back();
    if (inside.rfind("final ", 0) == 0) inside.erase(0, 6);
    return inside;
  };
  const std::string from = types(first), to = types(last);
  const size_t bar = to.rfind("| ");
  return "catches " + from.substr(0, from.find(" |")) + " to " + (bar == std::string::npos ? to : to.substr(bar + 2));
}

}  // namespace

bool isFoldable(RegionKind kind) { return kind != RegionKind::Body; }

Folding chooseFolding(const cfg::MethodFlow& flow, Fold fold, const FoldLimits& limits) {
  Folding folding;
  for (const cfg::Graph& graph : flow.graphs) {
    std::vector<bool> folded(graph.regions.size(), false);
    if (fold == Fold::All) {
      const std::vector<size_t> size = inlineSizes(graph, folded);
      for (size_t r = 1; r < graph.regions.size(); ++r)
        folded[r] = isFoldable(graph.regions[r].kind) && size[r] >= 2;
    } else if (fold == Fold::Auto) {
      // One construct at a time from a page that is too large, until every
      // page fits or has nothing left to fold; a folded construct's page
      // may need folding in turn.  Pages and sizes are worked out again
      // after each fold, since it moves what lies inside onto its page.
      for (;;) {
        const std::vector<size_t> owner = owners(graph, folded);
        const std::vector<size_t> size = inlineSizes(graph, folded);
        std::optional<size_t> next;
        for (size_t pageOwner = 0; pageOwner < graph.regions.size() && !next; ++pageOwner) {
          if (pageOwner != 0 && !folded[pageOwner]) continue;
          if (size[pageOwner] > limits.pageItems) next = nextFold(graph, folded, owner, size, pageOwner, limits);
        }
        if (!next) break;
        folded[*next] = true;
      }
    }
    folding.push_back(std::move(folded));
  }
  return folding;
}

bool foldMore(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page, Folding& folding,
              const FoldLimits& limits) {
  const Page& shown = plan.pages[page];
  const cfg::Graph& graph = flow.graphs[shown.graph];
  std::vector<bool>& folded = folding[shown.graph];
  const std::optional<size_t> next = nextFold(graph, folded, owners(graph, folded), inlineSizes(graph, folded),
                                              shown.region ? *shown.region : 0, limits);
  if (!next) return false;
  folded[*next] = true;
  return true;
}

CaseRuns withCaseRuns(const cfg::MethodFlow& flow, size_t caseRun) {
  CaseRuns result{flow, {}};
  for (cfg::Graph& graph : result.flow.graphs) {
    const size_t regions = graph.regions.size();
    // By switch body, the case groups; by try block, the catch clauses:
    // both leave one box side by side.
    std::vector<std::vector<size_t>> groups(regions);
    for (size_t r = 1; r < regions; ++r) {
      const std::optional<size_t> parent = graph.regions[r].parent;
      const RegionKind kind = graph.regions[r].kind, holder = graph.regions[*parent].kind;
      if ((kind == RegionKind::CaseGroup && holder == RegionKind::SwitchBody) ||
          (kind == RegionKind::CatchBlock && holder == RegionKind::TryBlock))
        groups[*parent].push_back(r);
    }
    // Runs of case groups and, while there are more runs than a run holds,
    // runs of runs: no box fans out to more than `caseRun` others.
    struct Run {
      cfg::Region region;
      std::optional<size_t> parentRun;  // else the switch's body
    };
    std::vector<Run> runs;
    std::vector<std::vector<size_t>> opens(regions);  // runs each case group opens, outermost first
    std::vector<std::optional<size_t>> groupRun(regions);  // the run holding each case group
    for (size_t body = 0; body < regions; ++body) {
      const std::vector<size_t>& list = groups[body];
      if (caseRun < 2 || list.size() <= caseRun) continue;
      // Each level's runs as ranges of the level below, the case groups first.
      std::vector<std::pair<size_t, size_t>> below;  // ranges of case groups held
      for (size_t i = 0; i < list.size(); ++i) below.push_back({i, i + 1});
      std::vector<std::vector<std::pair<size_t, size_t>>> levels;
      std::vector<std::vector<std::pair<size_t, size_t>>> levelMembers;  // ranges of the level below
      while (below.size() > caseRun) {
        const size_t count = (below.size() + caseRun - 1) / caseRun;
        std::vector<std::pair<size_t, size_t>> level, members;
        for (size_t k = 0, begin = 0; k < count; ++k) {
          const size_t end = (below.size() * (k + 1)) / count;  // even runs, the longer ones last
          level.push_back({below[begin].first, below[end - 1].second});
          members.push_back({begin, end});
          begin = end;
        }
        levels.push_back(level);
        levelMembers.push_back(members);
        below = std::move(level);
      }
      // Regions, the outermost level first, so that parents come first.
      std::vector<std::vector<size_t>> ids(levels.size());
      for (size_t l = levels.size(); l-- > 0;) {
        for (size_t k = 0; k < levels[l].size(); ++k) {
          const auto [begin, end] = levels[l][k];
          const cfg::Region& first = graph.regions[list[begin]];
          const cfg::Region& last = graph.regions[list[end - 1]];
          Run run;
          run.region.kind = first.kind;
          run.region.title = first.kind == RegionKind::CatchBlock ? catchRunTitle(first.title, last.title)
                                                                  : caseRunTitle(first.title, last.title);
          run.region.firstLine = first.firstLine;
          run.region.lastLine = last.lastLine;
          run.region.parent = body;
          run.region.head = first.head;
          for (size_t i = begin; i < end; ++i) run.region.statements += graph.regions[list[i]].statements;
          if (l + 1 < levels.size())
            for (size_t up = 0; up < levels[l + 1].size(); ++up)
              if (levelMembers[l + 1][up].first <= k && k < levelMembers[l + 1][up].second)
                run.parentRun = ids[l + 1][up];
          runs.push_back(std::move(run));
          ids[l].push_back(runs.size() - 1);
          opens[list[begin]].push_back(runs.size() - 1);
          if (l == 0)
            for (size_t i = begin; i < end; ++i) groupRun[list[i]] = runs.size() - 1;
        }
      }
    }
    // Each run goes just before its first case group.
    std::vector<cfg::Region> placed;
    std::vector<bool> isRun;
    std::vector<size_t> index(regions, 0), runIndex(runs.size(), 0);
    for (size_t r = 0; r < regions; ++r) {
      for (size_t id : opens[r]) {
        cfg::Region region = runs[id].region;
        region.parent = runs[id].parentRun ? runIndex[*runs[id].parentRun] : index[*region.parent];
        runIndex[id] = placed.size();
        placed.push_back(std::move(region));
        isRun.push_back(true);
      }
      index[r] = placed.size();
      placed.push_back(graph.regions[r]);
      isRun.push_back(false);
      std::optional<size_t>& parent = placed.back().parent;
      if (parent) parent = groupRun[r] ? runIndex[*groupRun[r]] : index[*parent];
    }
    for (cfg::Node& node : graph.nodes) node.region = index[node.region];
    graph.regions = std::move(placed);
    result.isRun.push_back(std::move(isRun));
  }
  return result;
}

bool foldCaseRuns(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page,
                  const std::vector<std::vector<bool>>& isRun, Folding& folding) {
  const Page& shown = plan.pages[page];
  const cfg::Graph& graph = flow.graphs[shown.graph];
  std::vector<bool>& folded = folding[shown.graph];
  const std::vector<size_t> owner = owners(graph, folded);
  const std::vector<size_t> size = inlineSizes(graph, folded);
  bool any = false;
  for (size_t r = 1; r < graph.regions.size(); ++r) {
    if (!isRun[shown.graph][r] || folded[r] || size[r] < 2 || owner[r] != (shown.region ? *shown.region : 0)) continue;
    folded[r] = true;
    any = true;
  }
  return any;
}

std::optional<size_t> foldWidest(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page,
                                 const std::vector<ItemSpan>& spans, double pageWidth, double narrowest,
                                 const Folding& keepInline, Folding& folding) {
  const Page& shown = plan.pages[page];
  const cfg::Graph& graph = flow.graphs[shown.graph];
  std::vector<bool>& folded = folding[shown.graph];
  const size_t pageOwner = shown.region ? *shown.region : 0;
  const std::vector<size_t> owner = owners(graph, folded);
  const std::vector<size_t> size = inlineSizes(graph, folded);
  // Each construct's extent: its items' and those of the constructs in it.
  std::vector<std::optional<ItemSpan>> extent(graph.regions.size());
  for (size_t i = 0; i < shown.items.size() && i < spans.size(); ++i) {
    const PageItem& item = shown.items[i];
    if (item.kind == ItemKind::Entry || item.kind == ItemKind::Exit) continue;
    std::optional<size_t> r = item.kind == ItemKind::Node ? graph.nodes[item.node].region : item.region;
    for (; r && *r != pageOwner; r = graph.regions[*r].parent) {
      std::optional<ItemSpan>& e = extent[*r];
      e = e ? ItemSpan{std::min(e->left, spans[i].left), std::max(e->right, spans[i].right)} : spans[i];
    }
  }
  auto width = [&](size_t r) { return extent[r]->right - extent[r]->left; };
  auto candidate = [&](size_t r) {
    return !folded[r] && !keepInline[shown.graph][r] && isFoldable(graph.regions[r].kind) && size[r] >= 2 &&
           owner[r] == pageOwner && extent[r] && width(r) > narrowest;
  };
  std::optional<size_t> fits, widest;
  for (size_t r = 1; r < graph.regions.size(); ++r) {
    if (!candidate(r)) continue;
    if (width(r) <= pageWidth && (!fits || width(r) > width(*fits))) fits = r;
    if (!widest || width(r) > width(*widest)) widest = r;
  }
  std::optional<size_t> chosen = fits ? fits : widest;
  // A construct wider than a page would make a page as wide: go into the
  // construct inside it that is nearly as wide, as long as there is one.
  for (bool deeper = !fits; chosen && deeper;) {
    deeper = false;
    for (size_t r = *chosen + 1; r < graph.regions.size(); ++r) {
      if (graph.regions[r].parent != chosen || !candidate(r)) continue;
      if (width(r) * 4 >= width(*chosen) * 3) {
        chosen = r;
        deeper = true;
        break;
      }
    }
  }
  if (chosen) folded[*chosen] = true;
  return chosen;
}

namespace {

// The end or throws box, or a connector to it from a folded page.
bool isEnd(const cfg::MethodFlow& flow, const Page& page, const PageItem& item) {
  if (item.kind != ItemKind::Node && item.kind != ItemKind::Exit) return false;
  const NodeKind kind = flow.graphs[page.graph].nodes[item.node].kind;
  return kind == NodeKind::End || kind == NodeKind::Exit;
}

// The arrows into each end or throws box of a page, by item.
std::map<size_t, std::vector<size_t>> endEdges(const cfg::MethodFlow& flow, const Page& page) {
  std::map<size_t, std::vector<size_t>> into;
  for (size_t e = 0; e < page.edges.size(); ++e)
    if (isEnd(flow, page, page.items[page.edges[e].to])) into[page.edges[e].to].push_back(e);
  return into;
}

// Each arrow into a shared end box gets a box of its own, the same node
// drawn again: every return still ends at "end".
void separateEnds(const cfg::MethodFlow& flow, Page& page, const FoldLimits& limits) {
  for (const auto& [item, edges] : endEdges(flow, page)) {
    if (edges.size() <= limits.sharedEnd) continue;
    for (size_t k = 1; k < edges.size(); ++k) {
      page.items.push_back(page.items[item]);
      page.edges[edges[k]].to = page.items.size() - 1;
    }
  }
}

}  // namespace

void entryPerException(Page& page) {
  std::map<size_t, std::vector<size_t>> exceptions;  // by entry item, its exception arrows
  std::set<size_t> flowsOn;                          // entries with other arrows too
  for (size_t e = 0; e < page.edges.size(); ++e) {
    const PageEdge& edge = page.edges[e];
    if (page.items[edge.from].kind != ItemKind::Entry) continue;
    if (edge.kind == cfg::EdgeKind::Exception) exceptions[edge.from].push_back(e);
    else flowsOn.insert(edge.from);
  }
  for (const auto& [item, edges] : exceptions)
    for (size_t k = flowsOn.count(item) ? 0 : 1; k < edges.size(); ++k) {
      page.items.push_back(page.items[item]);
      page.edges[edges[k]].from = page.items.size() - 1;
    }
}

void catchesByConnector(const cfg::MethodFlow& flow, Page& page) {
  const cfg::Graph& graph = flow.graphs[page.graph];
  for (PageEdge& edge : page.edges) {
    const PageItem& tail = page.items[edge.from];
    const PageItem& head = page.items[edge.to];
    // The arrows from the try itself keep the clause in its place below it.
    if (edge.kind != cfg::EdgeKind::Exception || tail.kind == ItemKind::Entry || head.kind != ItemKind::Folded ||
        (tail.kind == ItemKind::Node && graph.nodes[tail.node].kind == NodeKind::Try))
      continue;
    const cfg::Region& caught = graph.regions[head.region];
    if (caught.kind != RegionKind::CatchBlock || !caught.head) continue;
    PageItem exit;
    exit.kind = ItemKind::Exit;
    exit.node = *caught.head;
    exit.into = head.region;
    exit.frame = tail.frame;
    page.items.push_back(exit);
    edge.to = page.items.size() - 1;
  }
}

bool hasSharedEnd(const cfg::MethodFlow& flow, const Page& page, const FoldLimits& limits) {
  for (const auto& [item, edges] : endEdges(flow, page))
    if (edges.size() > limits.sharedEnd) return true;
  return false;
}

PagePlan planPages(const cfg::MethodFlow& flow, const Folding& folding, const FoldLimits& limits,
                   bool endPerReturn) {
  PagePlan plan;
  PageBuilder(flow, folding, plan).build();
  if (endPerReturn)
    for (Page& page : plan.pages) separateEnds(flow, page, limits);
  for (size_t p = 0; p < plan.pages.size(); ++p)
    if (plan.pages[p].items.size() > limits.layoutItems && plan.pages[p].items.size() > plan.oversizedItems) {
      plan.oversizedPage = p;
      plan.oversizedItems = plan.pages[p].items.size();
    }
  return plan;
}

}  // namespace flowdraw
