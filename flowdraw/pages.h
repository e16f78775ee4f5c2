// Which parts of a method's flowchart go on which page.  A whole method is
// one page; a construct is folded onto a page of its own only when a page
// would hold more boxes than a person reads at once, the largest bodies
// that fit a page first.  A folded construct is one box on the page that
// holds it; its page shows where it is entered from and each place it
// leaves to as off-page connectors.  Each lambda with a block body has a
// page of its own, opened from the statement that holds it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cfg/graph.h"

namespace flowdraw {

enum class Fold { Auto, None, All };

struct FoldLimits {
  // Boxes on one page before auto folds a construct of it onto its own.
  size_t pageItems = 48;
  // A page that still holds more boxes than this, with nothing left to
  // fold, is not drawn: its layout would take minutes.
  size_t layoutItems = 2000;
  // A switch of more case groups than this is drawn in runs of about this
  // many, each a construct that folds onto a page of its own when the
  // switch's page is too wide: side by side, its case edges would cross
  // every rank below the switch.
  size_t caseRun = 8;
  // On a page too wide, an end or throws box entered from more boxes than
  // this is drawn once below each of them: the arrows of many returns to
  // one end box run side by side down the rest of the page.
  size_t sharedEnd = 2;
};

enum class ItemKind {
  Node,    // a node of the graph
  Folded,  // a folded construct, standing for its page
  Entry,   // where the page is entered from (a node on another page)
  Exit,    // a place the page leaves to (a node on another page)
};

struct PageItem {
  ItemKind kind = ItemKind::Node;
  // Node: the node; Entry: the node control comes from; Exit: the node it
  // goes to.
  size_t node = 0;
  size_t region = 0;  // Folded: the construct it stands for
  // Exit: the folded construct on this page it leads into (a catch clause
  // or a run of them), when it stands for an arrow to its box.
  std::optional<size_t> into;
  std::optional<size_t> frame;  // the innermost frame holding it
};

struct PageEdge {
  size_t from = 0;  // items
  size_t to = 0;
  cfg::EdgeKind kind = cfg::EdgeKind::Flow;
  std::string label;
  bool back = false;
};

// A loop body, try block or synchronized block drawn inline, framed.
struct PageFrame {
  size_t region = 0;
  std::optional<size_t> parent;  // frames, parents first
};

struct Page {
  size_t graph = 0;
  std::optional<size_t> region;  // the folded construct it shows; none for a whole body
  std::optional<size_t> parent;  // the page it is opened from
  std::vector<PageItem> items;
  std::vector<PageEdge> edges;
  std::vector<PageFrame> frames;
};

struct PagePlan {
  std::vector<Page> pages;  // [0] the method's body
  // The page each node is drawn on, by graph and node.
  std::vector<std::vector<size_t>> nodePage;
  // The page of each folded construct, by graph and region.
  std::vector<std::vector<std::optional<size_t>>> regionPage;
  // Set when a page is too large to lay out even folded.
  std::optional<size_t> oversizedPage;
  size_t oversizedItems = 0;
};

// Which constructs are folded, by graph and region.
using Folding = std::vector<std::vector<bool>>;

Folding chooseFolding(const cfg::MethodFlow& flow, Fold fold, const FoldLimits& limits);

// Folds one more construct of the page: the largest that fits a page, else
// the largest.  False when the page has nothing left to fold.
bool foldMore(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page, Folding& folding,
              const FoldLimits& limits);

// With `endPerReturn`, each page draws its end and throws boxes entered
// from more than `limits.sharedEnd` boxes once for each of them.
PagePlan planPages(const cfg::MethodFlow& flow, const Folding& folding, const FoldLimits& limits,
                   bool endPerReturn = false);

// Each exception arrow from where a page is entered leaves a connector of
// its own, the same node drawn again: from the one connector at its top,
// arrows to catch clauses at its foot would run round everything between.
void entryPerException(Page& page);

// Each exception arrow from a box of a page to a catch clause (or a run of
// them) folded on it ends at a connector of its own beside the box, which
// opens the clause's page: arrows from deep in a try to its catch clauses
// at the page's foot would run down beside everything between.  Arrows
// from the try itself stay.
void catchesByConnector(const cfg::MethodFlow& flow, Page& page);

// The boxes of a page entered from more boxes than `limits.sharedEnd` that
// `endPerReturn` would draw once for each.
bool hasSharedEnd(const cfg::MethodFlow& flow, const Page& page, const FoldLimits& limits);

// A method's graphs as drawn: the case groups of each switch of more than
// `caseRun` of them gathered, in source order, into runs of about that
// many, each a region of its own ("cases 'a' to 'h'") between the switch's
// body and its case groups.  Nodes and edges stay as they are.
struct CaseRuns {
  cfg::MethodFlow flow;
  std::vector<std::vector<bool>> isRun;  // by graph and region of `flow`
};
CaseRuns withCaseRuns(const cfg::MethodFlow& flow, size_t caseRun);

// Folds every run of case groups drawn inline on the page, for a page too
// wide to read.  False when it has none.
bool foldCaseRuns(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page,
                  const std::vector<std::vector<bool>>& isRun, Folding& folding);

// Where one of a page's items lies across the page as laid out, in inches.
struct ItemSpan {
  double left = 0.0, right = 0.0;
};

// Folds what makes a page too wide: of the constructs drawn inline on it,
// by the width their items take as laid out (`spans`, by item), the widest
// that is no wider than `pageWidth`, else the widest, or the innermost
// construct inside it nearly as wide.  A construct no wider than
// `narrowest` would be about as wide folded to one box and is left, as
// are those marked in `keepInline`.  The construct folded, if any.
std::optional<size_t> foldWidest(const cfg::MethodFlow& flow, const PagePlan& plan, size_t page,
                                 const std::vector<ItemSpan>& spans, double pageWidth, double narrowest,
                                 const Folding& keepInline, Folding& folding);

// True for the constructs that can go on a page of their own.
bool isFoldable(cfg::RegionKind kind);

}  // namespace flowdraw
