#include "flowgraph/page_graphs.h"

namespace flowgraph {
namespace {

constexpr std::string_view kFoldedType = "block";
constexpr std::string_view kTryType = "try";

}  // namespace

bool isGroupOnly(const Block& block) {
  return block.nested && (block.type == "catchblock" || block.type.empty());
}

namespace {

struct NodeRef {
  size_t page = 0;
  size_t node = 0;
};

class PageBuilder {
 public:
  explicit PageBuilder(const MethodModel& model)
      : model_(model), pageOfContainer_(model.containers.size()), nodeOfBlock_(model.blocks.size()) {}

  MethodGraphs build() {
    assignPages();
    for (size_t page = 0; page < graphs_.pages.size(); ++page) addNodes(page);
    for (size_t block = 0; block < model_.blocks.size(); ++block) addEdges(block);
    for (PageGraph& page : graphs_.pages) markBackEdges(page);
    return std::move(graphs_);
  }

 private:
  // The root container and each folded block's container open a page;
  // the containers of try and catch blocks stay on their owner's page.
  void assignPages() {
    graphs_.pages.emplace_back();
    pageRoots_.push_back(0);
    pageDepth_.push_back(0);
    for (size_t c = 1; c < model_.containers.size(); ++c) {
      const size_t owner = *model_.containers[c].owner;
      const size_t ownerPage = pageOfContainer_[model_.blocks[owner].container];
      if (model_.blocks[owner].type != kFoldedType) {
        pageOfContainer_[c] = ownerPage;
        continue;
      }
      pageOfContainer_[c] = graphs_.pages.size();
      PageGraph page;
      page.foldedBlock = owner;
      page.parentPage = ownerPage;
      graphs_.pages.push_back(std::move(page));
      pageRoots_.push_back(c);
      pageDepth_.push_back(pageDepth_[ownerPage] + 1);
    }
  }

  // Nodes in flow order; the blocks of an inlined container follow the
  // block that holds it, inside that block's cluster.
  void addNodes(size_t pageIndex) {
    PageGraph& page = graphs_.pages[pageIndex];
    struct Walk {
      size_t container;
      size_t next;
      std::optional<size_t> cluster;
    };
    std::vector<Walk> stack{{pageRoots_[pageIndex], 0, std::nullopt}};
    while (!stack.empty()) {
      Walk& walk = stack.back();
      const std::vector<size_t>& blocks = model_.containers[walk.container].blocks;
      if (walk.next == blocks.size()) {
        stack.pop_back();
        continue;
      }
      const size_t blockIndex = blocks[walk.next++];
      const Block& block = model_.blocks[blockIndex];
      std::optional<size_t> cluster = walk.cluster;
      const bool inlined = block.nested && block.type != kFoldedType;
      if (inlined) {
        page.clusters.push_back(GraphCluster{blockIndex, block.type == kTryType, walk.cluster});
        cluster = page.clusters.size() - 1;
      }
      if (!isGroupOnly(block)) {
        nodeOfBlock_[blockIndex] = NodeRef{pageIndex, page.nodes.size()};
        page.nodes.push_back(GraphNode{nodeName(block), blockIndex, false, cluster});
        if (block.hint("COMMENT"))
          page.nodes.push_back(GraphNode{commentNodeName(block), blockIndex, true, cluster});
      }
      if (inlined) stack.push_back(Walk{*block.nested, 0, cluster});
    }
  }

  size_t pageOf(size_t block) const { return pageOfContainer_[model_.blocks[block].container]; }

  // The block that stands for block on page: itself, or the folded block
  // on that page that leads down to it.
  size_t visibleOn(size_t block, size_t page) const {
    while (pageOf(block) != page) block = *graphs_.pages[pageOf(block)].foldedBlock;
    return block;
  }

  size_t commonPage(size_t a, size_t b) const {
    while (pageDepth_[a] > pageDepth_[b]) a = *graphs_.pages[a].parentPage;
    while (pageDepth_[b] > pageDepth_[a]) b = *graphs_.pages[b].parentPage;
    while (a != b) {
      a = *graphs_.pages[a].parentPage;
      b = *graphs_.pages[b].parentPage;
    }
    return a;
  }

  void addEdges(size_t block) {
    for (const Successor& successor : model_.blocks[block].successors) {
      const auto target = model_.byId.find(successor.target);
      if (target == model_.byId.end()) continue;  // a model never names a missing block
      const size_t page = commonPage(pageOf(block), pageOf(target->second));
      const std::optional<NodeRef> tail = nodeOfBlock_[visibleOn(block, page)];
      const std::optional<NodeRef> head = nodeOfBlock_[visibleOn(target->second, page)];
      if (!tail || !head) continue;  // nor does it lead into a group's own block
      graphs_.pages[page].edges.push_back(GraphEdge{tail->node, head->node, &successor, false});
    }
  }

  // An edge is a back edge when a depth-first walk from the page's first
  // node, in flow order, meets its head still open.
  static void markBackEdges(PageGraph& page) {
    const size_t count = page.nodes.size();
    std::vector<std::vector<size_t>> outgoing(count);
    for (size_t e = 0; e < page.edges.size(); ++e) outgoing[page.edges[e].tail].push_back(e);
    enum State : uint8_t { kNew, kOpen, kDone };
    std::vector<State> state(count, kNew);
    struct Frame {
      size_t node;
      size_t next;
    };
    std::vector<Frame> stack;
    for (size_t root = 0; root < count; ++root) {
      if (state[root] != kNew) continue;
      state[root] = kOpen;
      stack.push_back({root, 0});
      while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == outgoing[frame.node].size()) {
          state[frame.node] = kDone;
          stack.pop_back();
          continue;
        }
        GraphEdge& edge = page.edges[outgoing[frame.node][frame.next++]];
        if (state[edge.head] == kOpen) {
          edge.back = true;
        } else if (state[edge.head] == kNew) {
          state[edge.head] = kOpen;
          stack.push_back({edge.head, 0});
        }
      }
    }
  }

  const MethodModel& model_;
  MethodGraphs graphs_;
  std::vector<size_t> pageOfContainer_;
  std::vector<size_t> pageRoots_;  // the container each page shows
  std::vector<size_t> pageDepth_;
  std::vector<std::optional<NodeRef>> nodeOfBlock_;
};

}  // namespace

std::string nodeName(const Block& block) { return "b." + std::to_string(block.id); }
std::string commentNodeName(const Block& block) { return "c." + std::to_string(block.id); }

MethodGraphs pageGraphs(const MethodModel& model) { return PageBuilder(model).build(); }

}  // namespace flowgraph
