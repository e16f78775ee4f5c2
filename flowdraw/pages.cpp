#include "flowdraw/pages.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace flowdraw {
namespace {

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
    owner_.resize(flow_.graphs.size());
    // Pages first, so that every node knows its page before edges are drawn.
    for (size_t g = 0; g < flow_.graphs.size(); ++g) {
      const cfg::Graph& graph = flow_.graphs[g];
      owner_[g] = owners(graph, folding_[g]);
      plan_.regionPage[g].assign(graph.regions.size(), std::nullopt);
      std::optional<size_t> parentPage;
      if (graph.parentGraph && graph.parentNode && *graph.parentGraph < g)
        parentPage = plan_.nodePage[*graph.parentGraph][*graph.parentNode];
      plan_.regionPage[g][0] = addPage(g, std::nullopt, parentPage);
      for (size_t r = 1; r < graph.regions.size(); ++r) {
        if (!folding_[g][r]) continue;
        const size_t holder = owner_[g][*graph.regions[r].parent];
        plan_.regionPage[g][r] = addPage(g, r, plan_.regionPage[g][holder]);
      }
      plan_.nodePage[g].resize(graph.nodes.size());
      for (size_t n = 0; n < graph.nodes.size(); ++n)
        plan_.nodePage[g][n] = *plan_.regionPage[g][owner_[g][graph.nodes[n].region]];
    }
    for (size_t p = 0; p < plan_.pages.size(); ++p) fill(p);
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

  // The region of the page's own construct (the body for a whole page).
  size_t pageOwner(const Page& page) const { return page.region ? *page.region : 0; }

  // How a node shows on a page: itself, the folded box that holds it, or
  // (none) a node elsewhere.
  struct Shown {
    ItemKind kind;
    size_t id;  // node or region
  };
  std::optional<Shown> shownOn(const Page& page, size_t node) const {
    const cfg::Graph& graph = flow_.graphs[page.graph];
    const std::vector<size_t>& owner = owner_[page.graph];
    const size_t target = pageOwner(page);
    size_t q = owner[graph.nodes[node].region];
    if (q == target) return Shown{ItemKind::Node, node};
    while (q != 0) {
      const size_t holder = owner[*graph.regions[q].parent];
      if (holder == target) return Shown{ItemKind::Folded, q};
      q = holder;
    }
    return std::nullopt;
  }

  // The innermost frame of the page holding a region's content.
  std::optional<size_t> frameOf(size_t region) const { return region < frameByRegion_.size() ? frameByRegion_[region] : std::nullopt; }

  void fill(size_t p) {
    Page& page = plan_.pages[p];
    const cfg::Graph& graph = flow_.graphs[page.graph];
    const std::vector<size_t>& owner = owner_[page.graph];
    const std::vector<bool>& folded = folding_[page.graph];
    const size_t target = pageOwner(page);

    // Frames: the framed constructs drawn inline on this page.
    frameByRegion_.assign(graph.regions.size(), std::nullopt);
    for (size_t r = 0; r < graph.regions.size(); ++r) {
      const std::optional<size_t> parent = graph.regions[r].parent;
      std::optional<size_t> inherited = parent ? frameByRegion_[*parent] : std::nullopt;
      if (r == target || folded[r] || owner[r] != target) {
        frameByRegion_[r] = r == target ? std::nullopt : inherited;
        continue;
      }
      if (isFramed(graph.regions[r].kind)) {
        page.frames.push_back(PageFrame{r, inherited});
        frameByRegion_[r] = page.frames.size() - 1;
      } else {
        frameByRegion_[r] = inherited;
      }
    }

    std::map<std::pair<ItemKind, size_t>, size_t> itemIds;
    auto item = [&](ItemKind kind, size_t id) {
      const auto [at, added] = itemIds.emplace(std::make_pair(kind, id), page.items.size());
      if (added) {
        PageItem made;
        made.kind = kind;
        if (kind == ItemKind::Folded) {
          made.region = id;
          made.frame = frameOf(*graph.regions[id].parent);
        } else {
          made.node = id;
          if (kind == ItemKind::Node) made.frame = frameOf(graph.nodes[id].region);
        }
        page.items.push_back(made);
      }
      return at->second;
    };
    // Items in the order of the graph's nodes, which is the source's order.
    for (size_t n = 0; n < graph.nodes.size(); ++n)
      if (const std::optional<Shown> shown = shownOn(page, n)) item(shown->kind, shown->id);

    std::set<std::tuple<size_t, size_t, cfg::EdgeKind, std::string>> seen;
    for (const cfg::Edge& edge : graph.edges) {
      const std::optional<Shown> from = shownOn(page, edge.from);
      const std::optional<Shown> to = shownOn(page, edge.to);
      if (!from && !to) continue;
      const size_t tail = from ? item(from->kind, from->id) : item(ItemKind::Entry, edge.from);
      const size_t head = to ? item(to->kind, to->id) : item(ItemKind::Exit, edge.to);
      // What happens inside a folded box is on its own page.
      if (tail == head && page.items[tail].kind == ItemKind::Folded) continue;
      if (!seen.emplace(tail, head, edge.kind, edge.label).second) continue;
      page.edges.push_back(PageEdge{tail, head, edge.kind, edge.label, edge.back && from && to});
    }
    mergeCaseEdges(page);
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

  const cfg::MethodFlow& flow_;
  const Folding& folding_;
  PagePlan& plan_;
  std::vector<std::vector<size_t>> owner_;
  std::vector<std::optional<size_t>> frameByRegion_;
};

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

PagePlan planPages(const cfg::MethodFlow& flow, const Folding& folding, const FoldLimits& limits) {
  PagePlan plan;
  PageBuilder(flow, folding, plan).build();
  for (size_t p = 0; p < plan.pages.size(); ++p)
    if (plan.pages[p].items.size() > limits.layoutItems && plan.pages[p].items.size() > plan.oversizedItems) {
      plan.oversizedPage = p;
      plan.oversizedItems = plan.pages[p].items.size();
    }
  return plan;
}

}  // namespace flowdraw
