#include "flowdraw/pages.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/flow_graphs.h"

namespace flowdraw {
namespace {

using testing_support::loopWithReturn;
using testing_support::tryWithTenCatches;
using cfg::EdgeKind;
using cfg::NodeKind;
using cfg::RegionKind;

TEST(Pages, AWholeMethodIsOnePageUnlessItIsTooLarge) {
  const cfg::MethodFlow flow = loopWithReturn();
  const PagePlan whole = planPages(flow, chooseFolding(flow, Fold::Auto, {}), {});
  ASSERT_EQ(whole.pages.size(), 1u);
  EXPECT_EQ(whole.pages[0].items.size(), flow.graphs[0].nodes.size());
  EXPECT_EQ(whole.pages[0].edges.size(), flow.graphs[0].edges.size());
  ASSERT_EQ(whole.pages[0].frames.size(), 1u);  // the loop body
  EXPECT_EQ(whole.pages[0].frames[0].region, 1u);

  // With room for four boxes the loop body (five with its branch) does
  // not fit a page of its own; the branch (two) is the largest that does
  // and goes first, then the body, which fits once its branch is folded.
  FoldLimits small;
  small.pageItems = 4;
  const Folding folding = chooseFolding(flow, Fold::Auto, small);
  EXPECT_TRUE(folding[0][2]);
  EXPECT_TRUE(folding[0][1]);
}

TEST(Pages, AFoldedPageShowsWhereItIsEnteredAndLeft) {
  const cfg::MethodFlow flow = loopWithReturn();
  Folding folding = {{false, true, false}};  // the loop body on a page of its own
  const PagePlan plan = planPages(flow, folding, {});
  ASSERT_EQ(plan.pages.size(), 2u);
  const Page& outer = plan.pages[0];
  const Page& body = plan.pages[1];
  EXPECT_EQ(body.parent, 0u);

  // Outside, the body is one box: entered from the decision, left back to
  // it and to the end (the return); nothing falls through it.
  size_t folded = outer.items.size();
  for (size_t i = 0; i < outer.items.size(); ++i)
    if (outer.items[i].kind == ItemKind::Folded) folded = i;
  ASSERT_LT(folded, outer.items.size());
  std::vector<std::pair<NodeKind, EdgeKind>> into, outOf;
  for (const PageEdge& edge : outer.edges) {
    if (edge.to == folded) into.push_back({flow.graphs[0].nodes[outer.items[edge.from].node].kind, edge.kind});
    if (edge.from == folded) outOf.push_back({flow.graphs[0].nodes[outer.items[edge.to].node].kind, edge.kind});
  }
  EXPECT_EQ(into, (std::vector<std::pair<NodeKind, EdgeKind>>{{NodeKind::Decision, EdgeKind::True}}));
  EXPECT_EQ(outOf, (std::vector<std::pair<NodeKind, EdgeKind>>{{NodeKind::End, EdgeKind::Flow},
                                                               {NodeKind::Decision, EdgeKind::Flow}}));

  // Inside: one entry from the decision, exits to the end and back to it.
  size_t entries = 0;
  std::vector<NodeKind> exits;
  for (const PageItem& item : body.items) {
    if (item.kind == ItemKind::Entry) ++entries;
    if (item.kind == ItemKind::Exit) exits.push_back(flow.graphs[0].nodes[item.node].kind);
  }
  EXPECT_EQ(entries, 1u);
  EXPECT_EQ(exits, (std::vector<NodeKind>{NodeKind::End, NodeKind::Decision}));
  EXPECT_EQ(plan.nodePage[0][4], 1u);  // b() is drawn on the body's page
}

// What folds from a page too wide: the widest construct that would fit a
// page of its own, else the widest, or the one inside it nearly as wide;
// never one kept inline or too narrow to gain anything folded.
TEST(Pages, APageTooWideFoldsItsWidestConstruct) {
  const cfg::MethodFlow flow = loopWithReturn();
  const Folding none = {{false, false, false}};
  const PagePlan plan = planPages(flow, none, {});
  // Where each node lies across the page, by node: the branch (b, return)
  // to the right of the loop body's other boxes.
  auto spansOf = [&](const std::vector<ItemSpan>& byNode) {
    std::vector<ItemSpan> spans;
    for (const PageItem& item : plan.pages[0].items) spans.push_back(byNode[item.node]);
    return spans;
  };
  const std::vector<ItemSpan> branchRight = spansOf(
      {{0, 1}, {0, 1}, {0, 2}, {0, 2}, {4, 9}, {4, 8}, {0, 2}, {0, 1}, {0, 1}});  // body 9 wide, branch 5
  auto fold = [&](const std::vector<ItemSpan>& spans, double pageWidth, double narrowest, const Folding& kept) {
    Folding folding = none;
    const std::optional<size_t> folded = foldWidest(flow, plan, 0, spans, pageWidth, narrowest, kept, folding);
    EXPECT_EQ(folded.has_value(), folding != none);
    if (folded) EXPECT_TRUE(folding[0][*folded]);
    return folded;
  };
  EXPECT_EQ(fold(branchRight, 6, 1, none), 2u);                        // the branch fits a page
  EXPECT_EQ(fold(branchRight, 6, 1, {{false, false, true}}), 1u);     // kept inline: the body
  EXPECT_EQ(fold(branchRight, 4, 1, none), 1u);                        // nothing fits: the widest
  EXPECT_EQ(fold(branchRight, 6, 5, none), 1u);                        // the branch too narrow to gain
  EXPECT_EQ(fold(branchRight, 6, 9, none), std::nullopt);             // nothing worth folding
  // A branch nearly as wide as the body holding it folds rather than the body.
  const std::vector<ItemSpan> branchWide = spansOf(
      {{0, 1}, {0, 1}, {0, 2}, {0, 2}, {1, 9}, {2, 8}, {0, 2}, {0, 1}, {0, 1}});  // body 9 wide, branch 8
  EXPECT_EQ(fold(branchWide, 4, 1, none), 2u);
}

// Many catch clauses leave their try side by side, as many case groups
// leave their switch: they are drawn in runs in source order, each run
// folding to one box entered by one exception edge naming its types.
TEST(Pages, ManyCatchClausesAreDrawnInRuns) {
  const CaseRuns runs = withCaseRuns(tryWithTenCatches(), 4);
  const cfg::Graph& graph = runs.flow.graphs[0];
  std::vector<std::string> titles;
  for (size_t r = 0; r < graph.regions.size(); ++r) {
    const cfg::Region& region = graph.regions[r];
    if (runs.isRun[0][r]) {
      titles.push_back(region.title);
      EXPECT_EQ(graph.regions[*region.parent].kind, RegionKind::TryBlock);
    } else if (region.kind == RegionKind::CatchBlock) {
      EXPECT_TRUE(runs.isRun[0][*region.parent]) << region.title;
    }
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"catches T0 to T2", "catches T3 to T5", "catches T6 to U9"}));
  for (const cfg::Node& node : graph.nodes)
    if (node.kind == NodeKind::Catch) EXPECT_EQ(graph.regions[node.region].kind, RegionKind::CatchBlock);

  Folding folding = {runs.isRun[0]};
  const PagePlan plan = planPages(runs.flow, folding, {});
  std::vector<std::string> caught;
  for (const PageEdge& edge : plan.pages[0].edges)
    if (edge.kind == EdgeKind::Exception) caught.push_back(edge.label);
  EXPECT_EQ(caught, (std::vector<std::string>{"T0, T1, T2", "T3, T4, T5", "T6, T7, T8, T9 | U9"}));
}

// On a page too wide, each of many returns ends at an end box of its own,
// the same end node drawn again; a few returns still share one.
TEST(Pages, ManyReturnsEachEndAtAnEndBoxOfTheirOwn) {
  const cfg::MethodFlow flow = tryWithTenCatches();
  const Folding none = {std::vector<bool>(flow.graphs[0].regions.size(), false)};
  auto ends = [&](const PagePlan& plan) {
    std::vector<size_t> into;  // arrows into each end box
    const Page& page = plan.pages[0];
    for (size_t i = 0; i < page.items.size(); ++i) {
      if (page.items[i].kind != ItemKind::Node || page.items[i].node != *flow.graphs[0].end) continue;
      into.push_back(0);
      for (const PageEdge& edge : page.edges) into.back() += edge.to == i;
    }
    return into;
  };
  const PagePlan shared = planPages(flow, none, {});
  EXPECT_EQ(ends(shared), std::vector<size_t>{11});
  EXPECT_TRUE(hasSharedEnd(flow, shared.pages[0], {}));
  const PagePlan separate = planPages(flow, none, {}, true);
  EXPECT_EQ(ends(separate), std::vector<size_t>(11, 1));
  EXPECT_FALSE(hasSharedEnd(flow, separate.pages[0], {}));
  EXPECT_EQ(separate.pages[0].edges.size(), shared.pages[0].edges.size());
  FoldLimits many;
  many.sharedEnd = 11;
  EXPECT_EQ(ends(planPages(flow, none, many, true)), std::vector<size_t>{11});
}

// On a page drawn tighter, no exception arrow runs the length of the page:
// each one from where the page is entered leaves a connector of its own,
// and one from a box inside the try ends at a connector beside it that
// opens the run of catch clauses it went to; those from the try stay.
TEST(Pages, ExceptionArrowsLeaveAndEndAtConnectorsOfTheirOwn) {
  cfg::MethodFlow flow = tryWithTenCatches();
  const size_t a = 2, firstCatch = 4;
  flow.graphs[0].edges.push_back({a, firstCatch, EdgeKind::Exception, "T0"});
  const CaseRuns runs = withCaseRuns(flow, 4);
  Folding folding = {runs.isRun[0]};
  folding[0][1] = true;  // the try block on a page of its own
  const PagePlan plan = planPages(runs.flow, folding, {});
  Page page = plan.pages[*plan.regionPage[0][1]];
  const size_t edges = page.edges.size();
  entryPerException(page);
  catchesByConnector(runs.flow, page);
  ASSERT_EQ(page.edges.size(), edges);
  size_t entries = 0, exceptionsFromEntries = 0;
  std::vector<size_t> into;  // the runs the exit connectors open
  std::map<size_t, size_t> out;  // arrows from each item
  for (const PageEdge& edge : page.edges) ++out[edge.from];
  for (size_t i = 0; i < page.items.size(); ++i) {
    const PageItem& item = page.items[i];
    if (item.kind == ItemKind::Entry) {
      ++entries;
      EXPECT_EQ(item.node, 1u);  // the try
      if (out[i] != 1) ADD_FAILURE() << "an entry with " << out[i] << " arrows";
    }
    if (item.kind == ItemKind::Exit && item.into) {
      into.push_back(*item.into);
      EXPECT_EQ(item.node, firstCatch);
    }
  }
  for (const PageEdge& edge : page.edges) {
    if (edge.kind != EdgeKind::Exception) continue;
    const PageItem& tail = page.items[edge.from];
    const PageItem& head = page.items[edge.to];
    if (tail.kind == ItemKind::Entry) {
      ++exceptionsFromEntries;
      EXPECT_EQ(head.kind, ItemKind::Folded);
    } else {
      EXPECT_EQ(tail.node, a);
      EXPECT_EQ(head.kind, ItemKind::Exit);
      EXPECT_EQ(edge.label, "T0");
    }
  }
  EXPECT_EQ(exceptionsFromEntries, 3u);  // one for each run
  EXPECT_EQ(entries, 4u);                // and one into the try block
  ASSERT_EQ(into.size(), 1u);
  EXPECT_TRUE(runs.isRun[0][into[0]]);
  EXPECT_EQ(runs.flow.graphs[0].regions[into[0]].title, "catches T0 to T2");

  // On the page holding the try itself, its arrows keep ending at the runs.
  Page whole = planPages(runs.flow, {runs.isRun[0]}, {}).pages[0];
  catchesByConnector(runs.flow, whole);
  size_t fromTry = 0, exits = 0;
  for (const PageEdge& edge : whole.edges) {
    if (edge.kind != EdgeKind::Exception) continue;
    const bool fromTheTry = whole.items[edge.from].node == 1u;
    fromTry += fromTheTry && whole.items[edge.to].kind == ItemKind::Folded;
    exits += !fromTheTry && whole.items[edge.to].kind == ItemKind::Exit;
  }
  EXPECT_EQ(fromTry, 3u);
  EXPECT_EQ(exits, 1u);
}

}  // namespace
}  // namespace flowdraw
