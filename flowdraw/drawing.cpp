#include "flowdraw/drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "flowdraw/label_text.h"
#include "flowdraw/reader_text.h"
#include "graphviz/graph_layout.h"
#include "drawing/text_layout.h"

namespace flowdraw {
namespace {

using cfg::NodeKind;
using cfg::RegionKind;

constexpr double kFontSize = 10.0;      // points, as the masters' text boxes
constexpr double kLineHeight = kFontSize * 1.2 / 72.0;  // inches
constexpr double kFit = 1.06;           // room so that the host never wraps again
constexpr int kMaxRefolds = 4;          // layouts tried per method when pages are too tall
// Layouts tried while pages are too wide: each round folds one construct
// of each such page, and only changed pages are laid out again.
constexpr int kMaxWidthRefolds = 24;
// A construct narrower than this is about as wide folded as drawn inline.
constexpr double kFoldedWidth = 3.5;  // inches
// What a fold for width must take off the page's width to be kept.
constexpr double kNarrower = 0.5;  // inches
constexpr size_t kCasesOnOneRow = 8;    // a switch with more case groups staggers them
constexpr size_t kCaseRows = 4;
constexpr size_t kEntriesOnOneRow = 4;  // on a page too wide, more entries into one box stagger
constexpr int kChainWeight = 8;         // how firmly a chain of else-ifs is kept in line
constexpr double kMargin = 0.25;        // inches round a page's picture

// The middle dot, in the texts' encoding.
std::string middleDot(bool utf8) { return utf8 ? " \xC2\xB7 " : " \xB7 "; }

std::string firstLineOf(std::string_view text) {
  const size_t cut = text.find('\n');
  return std::string(cut == std::string_view::npos ? text : text.substr(0, cut));
}

// What a folded construct is called on its box.
std::string constructName(const cfg::Region& region) {
  switch (region.kind) {
    case RegionKind::LoopBody: {
      const std::string word = region.title.substr(0, region.title.find_first_of(" ("));
      return (word.empty() ? std::string("loop") : word) + " body";
    }
    case RegionKind::Then: return "then";
    case RegionKind::Else: return "else";
    case RegionKind::SwitchBody: return "switch body";
    case RegionKind::TryBlock: return "try block";
    default: return region.title;
  }
}

std::string plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

const char* masterName(NodeKind kind) {
  switch (kind) {
    case NodeKind::Start: return "Start";
    case NodeKind::End: return "End";
    case NodeKind::Exit: return "Exit";
    case NodeKind::Decision: return "Decision";
    case NodeKind::Switch: return "Switch";
    case NodeKind::Return: return "Return";
    case NodeKind::Throw: return "Throw";
    case NodeKind::Break:
    case NodeKind::Continue:
    case NodeKind::Yield: return "Jump";
    case NodeKind::Try: return "Try";
    case NodeKind::Catch: return "Catch";
    case NodeKind::Finally: return "Finally";
    case NodeKind::Resources: return "Resources";
    case NodeKind::Synchronized: return "Synchronized";
    case NodeKind::Join: return "Join";
    default: return "Statement";
  }
}

const char* connectorName(cfg::EdgeKind kind) {
  switch (kind) {
    case cfg::EdgeKind::True: return "True Flow";
    case cfg::EdgeKind::False: return "False Flow";
    case cfg::EdgeKind::Case: return "Case Flow";
    case cfg::EdgeKind::Exception: return "Exception Flow";
    default: return "Flow";
  }
}

// Texts shown by the host: a backslash would start one of its escapes.
std::string hostText(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    for (char c : lines[i]) {
      if (c == '\\') out += '\\';
      out += c;
    }
  }
  return out;
}

// One box as it will be drawn.
struct Box {
  const char* master = "Statement";
  std::vector<std::string> lines;
  std::string tooltip;
  std::optional<size_t> link;  // page it opens
  graphviz::LayoutShape shape = graphviz::LayoutShape::Box;
  double width = 1.0, height = 0.5;
};

struct DrawnPage {
  std::string title;
  std::vector<Box> boxes;  // by item, then the comments
  graphviz::Graph graph;   // its edges: the page's, then the comments' links
  std::vector<std::pair<size_t, size_t>> commentLinks;  // comment box, the box it belongs to
};

class FlowDrawer {
 public:
  FlowDrawer(const cfg::MethodFlow& flow, const DrawOptions& options)
      : source_(flow), flow_(runs_.flow), options_(options) {
    attachComments();
  }

  // Pages with their boxes and graphs, folded until they fit or nothing is
  // left to fold; layouts when `layOut`.
  // A switch's case groups still too wide for a page side by side give
  // way to shorter runs, and the method is folded again from the start.
  errors::Status prepare(bool layOut) {
    for (size_t caseRun = options_.limits.caseRun;; caseRun = (caseRun + 1) / 2) {
      runs_ = withCaseRuns(source_, caseRun);
      findFirstStatements();
      errors::Status status = prepareWithRuns(layOut);
      if (!status || !wideRun_ || caseRun <= 2 || options_.fold != Fold::Auto) return status;
    }
  }

  // One run of case groups folded until the pages fit or nothing helps.
  errors::Status prepareWithRuns(bool layOut);

  // The pages of a round planned and told, from the folding and the
  // remedies' choices; a problem when a page is too large to draw.
  errors::Status planRound() {
    plan_ = planPages(flow_, folding_, options_.limits, endPerReturn_);
    for (size_t p = 0; p < plan_.pages.size(); ++p)
      if (tightened_.count(keyOf(p))) {
        entryPerException(plan_.pages[p]);
        catchesByConnector(flow_, plan_.pages[p]);
      }
    if (plan_.oversizedPage) {
      return errors::Problem(errors::Problem::Kind::Failed,
                             "too large to draw: " + std::to_string(plan_.oversizedItems) +
                                 " boxes on one page with nothing left to fold (the limit is " +
                                 std::to_string(options_.limits.layoutItems) + "); -o FILE.json writes its graph");
    }
    pages_.clear();
    for (size_t p = 0; p < plan_.pages.size(); ++p) pages_.push_back(describePage(p));
    uniqueTitles();
    return {};
  }

  // The pages of a round as laid out: those too tall or too wide.
  struct Round {
    std::optional<size_t> tooTall;  // the first
    std::vector<size_t> tooWide;
  };

  errors::Status layOutRound(Round& round) {
    layouts_.clear();
    for (size_t p = 0; p < pages_.size(); ++p) {
      errors::Result<graphviz::Layout> layout = pageLayout(p);
      if (!layout) return std::move(layout).problem();
      const graphviz::LayoutBox& b = layout->bounds;
      if (!round.tooTall && b.top - b.bottom > options_.pageHeight) round.tooTall = p;
      layouts_.push_back(std::move(*layout));
      if (!withinWidth(p)) round.tooWide.push_back(p);
    }
    wideRun_ = std::any_of(round.tooWide.begin(), round.tooWide.end(), [&](size_t p) { return wideCases(p); });
    return {};
  }

  errors::Result<graphviz::Layout> pageLayout(size_t p) {
    errors::Result<graphviz::Layout> layout = cachedLayout(pages_[p]);
    if (!layout)
      return errors::Problem(errors::Problem::Kind::Failed, "Graphviz refused the layout of page \"" + pages_[p].title +
                                                                "\": " + layout.problem().message);
    return layout;
  }

  // The pages too wide among those with a switch's case groups still to
  // fold by runs, when their ranks alone show one of them is: the first
  // remedy, folding those runs, is then all a round can lead to, and it
  // reads no more of the round than these pages.  Laying out a wide
  // switch whole costs many times its ranking, and that layout would only
  // be thrown away.  Nothing when no page is shown too wide that way.
  errors::Result<std::optional<Round>> tooWideByRanks() {
    std::vector<size_t> foldable;
    for (size_t p = 0; p < pages_.size(); ++p) {
      Folding folding = folding_;
      if (foldCaseRuns(flow_, plan_, p, runs_.isRun, folding)) foldable.push_back(p);
    }
    Round round;
    std::vector<size_t> unknown;
    for (size_t p : foldable) {
      if (!layoutCache_.count(graphviz::layoutKey(pages_[p].graph))) {
        const errors::Result<std::vector<int>> ranks = graphviz::rankGraph(pages_[p].graph);
        if (ranks && widestRank(pages_[p].graph, *ranks) + 2 * kMargin > options_.pageWidth) {
          round.tooWide.push_back(p);
          continue;
        }
      }
      unknown.push_back(p);
    }
    if (round.tooWide.empty()) return std::optional<Round>();
    for (size_t p : unknown) {
      errors::Result<graphviz::Layout> layout = pageLayout(p);
      if (!layout) return std::move(layout).problem();
      if (pageWidth(p, *layout) + 2 * kMargin > options_.pageWidth) round.tooWide.push_back(p);
    }
    std::sort(round.tooWide.begin(), round.tooWide.end());
    return std::optional<Round>(std::move(round));
  }

  // How wide the boxes of a rank are together, the widest rank: no layout
  // is narrower, as a rank's boxes stand side by side.  Graphviz rounds
  // the space between two boxes to a whole point, hence a point less for
  // each box.
  static double widestRank(const graphviz::Graph& graph, const std::vector<int>& ranks) {
    std::map<int, double> width;
    for (size_t n = 0; n < graph.nodes.size() && n < ranks.size(); ++n)
      width[ranks[n]] += graph.nodes[n].width - 1.0 / 72.0;
    double widest = 0.0;
    for (const auto& [rank, total] : width) widest = std::max(widest, total);
    return widest;
  }

  // Too wide with a switch's case edges, or the exception edges into a
  // try's catch clauses, side by side on it: shorter runs may fit where
  // these do not.
  bool wideCases(size_t p) const {
    const Page& page = plan_.pages[p];
    const cfg::Graph& graph = flow_.graphs[page.graph];
    auto isCatch = [&](const PageItem& item) {
      return item.kind == ItemKind::Folded ? graph.regions[item.region].kind == RegionKind::CatchBlock
                                           : graph.nodes[item.node].kind == NodeKind::Catch;
    };
    std::map<size_t, size_t> casesFrom;
    for (const PageEdge& edge : page.edges)
      if ((edge.kind == cfg::EdgeKind::Case || (edge.kind == cfg::EdgeKind::Exception && isCatch(page.items[edge.to]))) &&
          ++casesFrom[edge.from] > 2)
        return true;
    return false;
  }

  // A change a remedy made for the next round, kept or undone once that
  // round is laid out.
  class Remedy;
  struct Trial {
    const Remedy* by = nullptr;
    enum class Change { EndPerReturn, StaggeredEntries, TighterPage, Folded } change = Change::Folded;
    std::pair<size_t, size_t> page{};  // TighterPage: the page, as keyOf() names it
    size_t graph = 0, region = 0;      // Folded: the construct
    double before = 0.0;  // the width it set out to narrow: all pages' excess, or the page's own
  };

  // A way to make pages too wide or too tall fit, tried when it applies to
  // a round's pages; what it changes is kept when the next round shows it
  // helped.
  class Remedy {
   public:
    virtual ~Remedy() = default;
    virtual bool applies(const FlowDrawer& drawer, const Round& round) const = 0;
    // False when it found nothing to change after all.
    virtual bool apply(FlowDrawer& drawer, const Round& round, std::vector<Trial>& trials) = 0;
    virtual bool keep(const FlowDrawer&, const Trial&) const { return true; }
  };
  class FoldCaseRuns;
  class EndPerReturn;
  class StaggeredEntries;
  class Tighter;
  class FoldWidest;
  class FoldForHeight;

  // Puts back what a trial changed; a construct folded in vain stays inline.
  void revert(const Trial& trial) {
    switch (trial.change) {
      case Trial::Change::EndPerReturn: endPerReturn_ = false; break;
      case Trial::Change::StaggeredEntries: staggerEntries_ = false; break;
      case Trial::Change::TighterPage: tightened_.erase(trial.page); break;
      case Trial::Change::Folded:
        folding_[trial.graph][trial.region] = false;
        keptInline_[trial.graph][trial.region] = true;
        break;
    }
  }

  // Whether all pages together, after a change meant to narrow them by
  // `before`, are still about as much too wide.
  bool stillAsWide(double before) const {
    const double excess = excessWidth();
    return before > 0.0 && excess > 0.0 && excess + kNarrower > before;
  }

  // As wide as the page is drawn: its boxes as laid out, its arrows with
  // every control point of their curves, and their labels as the page
  // measures their text; curves and labels may reach a little past the
  // bounds Graphviz gives.
  double pageWidth(size_t p) const { return pageWidth(p, layouts_[p]); }
  double pageWidth(size_t p, const graphviz::Layout& layout) const {
    const graphviz::Graph& graph = pages_[p].graph;
    double left = layout.bounds.left, right = layout.bounds.right;
    const text::Charset encoding = options_.utf8 ? text::Charset::Utf8 : text::Charset::Latin1;
    for (const graphviz::PlacedEdge& edge : layout.edges)
      for (const graphviz::LayoutPoint& point : edge.curve) {
        left = std::min(left, point.x);
        right = std::max(right, point.x);
      }
    for (size_t e = 0; e < graph.edges.size() && e < layout.edges.size(); ++e) {
      const std::optional<graphviz::LayoutPoint>& centre = layout.edges[e].labelCentre;
      if (!centre || graph.edges[e].label.empty()) continue;
      const double half = drawing::textWidth(graph.edges[e].label, graphviz::kEdgeLabelPoints, encoding) * 0.5;
      left = std::min(left, centre->x - half);
      right = std::max(right, centre->x + half);
    }
    return right - left;
  }

  // Within the page width, its margins too.
  bool withinWidth(size_t p) const { return pageWidth(p) + 2 * kMargin <= options_.pageWidth; }

  // A page by what it shows, the same from one round to the next: its
  // graph and folded construct (none for a whole body).
  using PageKey = std::pair<size_t, size_t>;
  PageKey keyOf(size_t p) const {
    const Page& page = plan_.pages[p];
    return {page.graph, page.region ? *page.region : SIZE_MAX};
  }
  std::optional<size_t> pageWithKey(const PageKey& key) const {
    for (size_t p = 0; p < plan_.pages.size(); ++p)
      if (keyOf(p) == key) return p;
    return std::nullopt;
  }

  // A page with a comment, a loop's exit, an exception arrow or a
  // connector, which a tighter drawing may change.
  bool canTighten(size_t p) const {
    const Page& page = plan_.pages[p];
    if (pages_[p].boxes.size() > page.items.size()) return true;  // comments
    return std::any_of(page.edges.begin(), page.edges.end(), [&](const PageEdge& edge) {
      return edge.kind == cfg::EdgeKind::Exception || isLoopExit(page, edge) ||
             page.items[edge.from].kind != ItemKind::Node || page.items[edge.to].kind == ItemKind::Exit;
    });
  }

  // The arrow out of a loop's condition to what follows the loop.
  bool isLoopExit(const Page& page, const PageEdge& edge) const {
    const PageItem& from = page.items[edge.from];
    return edge.kind == cfg::EdgeKind::False && from.kind == ItemKind::Node &&
           loopHeads_[page.graph].count(from.node) > 0;
  }

  // How much wider than a page the pages are, together, their margins
  // too; above 0 whenever a page is too wide.
  double excessWidth() const {
    double excess = 0.0;
    for (size_t p = 0; p < layouts_.size(); ++p)
      excess += std::max(0.0, pageWidth(p) + 2 * kMargin - options_.pageWidth);
    return excess;
  }

  // The wider of a folded construct's own page and the page its box is on.
  double widthAfterFold(size_t graph, size_t region) const {
    double widest = 0.0;
    for (size_t p = 0; p < plan_.pages.size(); ++p) {
      const Page& page = plan_.pages[p];
      if (page.graph != graph) continue;
      bool shows = page.region == region;
      for (const PageItem& item : page.items)
        shows = shows || (item.kind == ItemKind::Folded && item.region == region);
      if (shows) widest = std::max(widest, pageWidth(p));
    }
    return widest;
  }

  // Where each of a page's items lies across it, with the comment beside it.
  std::vector<ItemSpan> itemSpans(size_t p) const {
    const graphviz::Layout& layout = layouts_[p];
    std::vector<ItemSpan> spans;
    for (size_t i = 0; i < plan_.pages[p].items.size(); ++i)
      spans.push_back(ItemSpan{layout.nodes[i].left, layout.nodes[i].right});
    for (const auto& [comment, box] : pages_[p].commentLinks) {
      spans[box].left = std::min(spans[box].left, layout.nodes[comment].left);
      spans[box].right = std::max(spans[box].right, layout.nodes[comment].right);
    }
    return spans;
  }

  // A page drawn again as it was in an earlier round is not laid out again.
  errors::Result<graphviz::Layout> cachedLayout(const DrawnPage& page) {
    std::string key = graphviz::layoutKey(page.graph);
    const auto found = layoutCache_.find(key);
    if (found != layoutCache_.end()) return found->second;
    errors::Result<graphviz::Layout> layout = layOutPage(page.graph);
    if (layout) layoutCache_.emplace(std::move(key), *layout);
    return layout;
  }

  FlowDrawing draw(const Masters& masters) {
    std::map<std::string, std::shared_ptr<const drawing::Master>> byName;
    for (const auto& master : masters) byName[master->name] = master;
    FlowDrawing result;
    result.drawing = std::make_unique<drawing::Document>();
    drawing::Document& drawing = *result.drawing;
    drawing.masters = masters;
    drawing.encoding = options_.utf8 ? text::Charset::Utf8 : text::Charset::Latin1;
    drawing.templateName = "flowdraw";
    drawing.compactPictures = true;
    drawing.language = "en-US";  // its words: yes, no, what each page and box is
    for (size_t p = 0; p < pages_.size(); ++p) {
      auto page = std::make_unique<drawing::Page>();
      page->name = pages_[p].title;
      drawing.pages.push_back(std::move(page));
    }
    for (size_t p = 0; p < pages_.size(); ++p)
      drawPage(p, *drawing.pages[p], byName, result);
    // The outline leads to each node's box on its page.
    std::map<std::pair<size_t, size_t>, std::pair<size_t, std::string>> boxes;
    for (size_t p = 0; p < plan_.pages.size(); ++p)
      for (size_t i = 0; i < plan_.pages[p].items.size(); ++i)
        if (plan_.pages[p].items[i].kind == ItemKind::Node)
          boxes[{plan_.pages[p].graph, plan_.pages[p].items[i].node}] = {p + 1, "b" + std::to_string(i + 1)};
    drawing::ReaderAids aids;
    aids.outlineHtml = outlineHtml(flow_, options_.utf8, [&](size_t g, size_t n) {
      const auto found = boxes.find({g, n});
      return found == boxes.end() ? std::nullopt : std::optional(found->second);
    });
    drawing.readerAids = std::move(aids);
    return result;
  }

  std::string dot() const {
    std::string out;
    for (const DrawnPage& page : pages_) {
      std::vector<std::string> labels;
      for (const Box& box : page.boxes) {
        std::string label;
        for (size_t i = 0; i < box.lines.size(); ++i) label += (i ? "\n" : "") + box.lines[i];
        labels.push_back(label);
      }
      out += "// page: " + page.title + "\n" + graphviz::graphDot(page.graph, labels);
    }
    return out;
  }

 private:
  std::vector<std::string> lines(std::string_view text) const { return boxLines(text, options_.utf8); }

  // The first edge of the page's graph that a page's arrow stands for (one
  // joining the nodes its ends stand for, of its kind and label) and that
  // passes the test; none for an arrow to or from a folded box.
  template <typename Test>
  std::optional<size_t> graphEdgeWhere(const Page& page, const PageEdge& edge, Test test) const {
    const PageItem& from = page.items[edge.from];
    const PageItem& to = page.items[edge.to];
    if (from.kind == ItemKind::Folded || to.kind == ItemKind::Folded) return std::nullopt;
    const cfg::Graph& graph = flow_.graphs[page.graph];
    for (size_t e = 0; e < graph.edges.size(); ++e) {
      const cfg::Edge& each = graph.edges[e];
      if (each.from == from.node && each.to == to.node && each.kind == edge.kind && each.label == edge.label &&
          test(e))
        return e;
    }
    return std::nullopt;
  }

  // The ids of the graph's edges a page's arrow stands for: those joining
  // the nodes its ends stand for, of its kind and label; none for an arrow
  // to or from a folded box.
  std::vector<std::string> graphEdges(const Page& page, const PageEdge& edge) const {
    std::vector<std::string> ids;
    graphEdgeWhere(page, edge, [&](size_t e) {
      ids.push_back(edgeId(page.graph, e));
      return false;
    });
    return ids;
  }

  // Each comment belongs to the statement whose line it ends, else to the
  // statement it precedes in its own block (the innermost construct whose
  // lines hold it), else, closing its block, to the statement before it
  // there.
  void attachComments() {
    // The source's own blocks, not the runs of case groups drawn.
    commentOf_.resize(source_.graphs.size());
    for (size_t g = 0; g < source_.graphs.size(); ++g) commentOf_[g].resize(source_.graphs[g].nodes.size());
    for (const SourceComment& comment : options_.comments) {
      std::optional<std::pair<size_t, size_t>> on, block;
      int32_t onSpan = 0, blockSpan = 0;
      for (size_t g = 0; g < source_.graphs.size(); ++g) {
        for (size_t r = 0; r < source_.graphs[g].regions.size(); ++r) {
          const cfg::Region& region = source_.graphs[g].regions[r];
          const int32_t span = region.lastLine - region.firstLine;
          if (region.firstLine > 0 && region.firstLine <= comment.line && comment.line <= region.lastLine &&
              (!block || span < blockSpan)) {
            block = {g, r};
            blockSpan = span;
          }
        }
        for (size_t n = 0; n < source_.graphs[g].nodes.size(); ++n) {
          const cfg::Node& node = source_.graphs[g].nodes[n];
          if (node.firstLine <= 0 || node.kind == NodeKind::Start) continue;
          const int32_t span = node.lastLine - node.firstLine;
          if (node.firstLine <= comment.line && comment.line <= node.lastLine && (!on || span < onSpan)) {
            on = {g, n};
            onSpan = span;
          }
        }
      }
      std::optional<std::pair<size_t, size_t>> target = on;
      if (!target && block) {
        const cfg::Graph& graph = source_.graphs[block->first];
        auto inBlock = [&](const cfg::Node& node) {
          for (std::optional<size_t> r = node.region; r; r = graph.regions[*r].parent)
            if (*r == block->second) return true;
          return false;
        };
        std::optional<size_t> after, before;
        for (size_t n = 0; n < graph.nodes.size(); ++n) {
          const cfg::Node& node = graph.nodes[n];
          if (node.firstLine <= 0 || node.kind == NodeKind::Start || node.kind == NodeKind::End ||
              node.kind == NodeKind::Exit || !inBlock(node))
            continue;
          if (node.firstLine > comment.line && (!after || node.firstLine < graph.nodes[*after].firstLine)) after = n;
          // Of the statements before it, the last one of the block itself
          // rather than one nested in it.
          const auto rank = [&](size_t m) {
            return std::make_pair(graph.nodes[m].region == block->second, graph.nodes[m].lastLine);
          };
          if (node.lastLine < comment.line && (!before || rank(n) >= rank(*before))) before = n;
        }
        if (after || before) target = std::make_pair(block->first, after ? *after : *before);
      }
      if (!target) continue;
      std::string& text = commentOf_[target->first][target->second];
      text += (text.empty() ? "" : "\n") + comment.text;
    }
  }

  std::string describe(const cfg::Graph& graph, size_t node) const {
    const cfg::Node& n = graph.nodes[node];
    if (n.kind == NodeKind::End) return "end";
    if (n.kind == NodeKind::Exit) return "throws";
    std::string text = shortenedInMiddle(firstLineOf(n.text), 36, options_.utf8);
    return n.firstLine > 0 ? "L" + std::to_string(n.firstLine) + ": " + text : text;
  }

  // A construct as a connector names it: "L12: catches IOException to
  // SQLException".
  std::string constructAt(const cfg::Region& region) const {
    return "L" + std::to_string(region.firstLine) + ": " + shortenedInMiddle(region.title, 36, options_.utf8);
  }

  std::string pageTitle(size_t p) const {
    const Page& page = plan_.pages[p];
    const cfg::Graph& graph = flow_.graphs[page.graph];
    if (!page.region) return page.graph == 0 ? flow_.method : graph.title;
    const cfg::Region& region = graph.regions[*page.region];
    return shortenedInMiddle(region.title, 48, options_.utf8) + middleDot(options_.utf8) + "L" +
           std::to_string(region.firstLine);
  }

  // Pages of one construct copied into several places (a finally clause's
  // copies, one per way it goes on) say which copy they are: the nearest
  // finally or catch clause holding them.  Titles still alike are numbered.
  void uniqueTitles() {
    std::map<std::string, int> count;
    for (const DrawnPage& page : pages_) ++count[page.title];
    for (size_t p = 0; p < pages_.size(); ++p) {
      const Page& page = plan_.pages[p];
      if (count[pages_[p].title] < 2 || !page.region) continue;
      const cfg::Graph& graph = flow_.graphs[page.graph];
      for (std::optional<size_t> r = graph.regions[*page.region].parent; r; r = graph.regions[*r].parent) {
        const cfg::Region& holder = graph.regions[*r];
        if (holder.kind != RegionKind::FinallyBlock && holder.kind != RegionKind::CatchBlock) continue;
        pages_[p].title += middleDot(options_.utf8) + "in " + shortenedInMiddle(holder.title, 40, options_.utf8);
        break;
      }
    }
    std::map<std::string, int> seen;
    for (DrawnPage& page : pages_) {
      const int number = ++seen[page.title];
      if (number > 1) page.title += " (" + std::to_string(number) + ")";
    }
  }

  // The first statement each construct runs, for its folded box: a node
  // names itself to the regions holding it up to the first that has one.
  void findFirstStatements() {
    firstStatement_.resize(flow_.graphs.size());
    for (size_t g = 0; g < flow_.graphs.size(); ++g) {
      const cfg::Graph& graph = flow_.graphs[g];
      std::vector<std::optional<size_t>> first(graph.regions.size());
      for (size_t n = 0; n < graph.nodes.size(); ++n) {
        if (graph.nodes[n].lines.empty()) continue;
        for (std::optional<size_t> r = graph.nodes[n].region; r && !first[*r]; r = graph.regions[*r].parent)
          first[*r] = n;
      }
      firstStatement_[g] = std::move(first);
    }
    loopHeads_.assign(flow_.graphs.size(), {});
    for (size_t g = 0; g < flow_.graphs.size(); ++g)
      for (const cfg::Region& region : flow_.graphs[g].regions)
        if (region.kind == RegionKind::LoopBody && region.head) loopHeads_[g].insert(*region.head);
  }

  std::string firstStatement(size_t g, size_t region) const {
    const std::optional<size_t> node = firstStatement_[g][region];
    return node ? firstLineOf(flow_.graphs[g].nodes[*node].text) : "";
  }

  Box nodeBox(const cfg::Graph& graph, size_t g, size_t node) const {
    const cfg::Node& n = graph.nodes[node];
    Box box;
    box.master = masterName(n.kind);
    box.lines = lines(n.text);
    box.tooltip = lineSpan(n.firstLine, n.lastLine, options_.utf8);
    box.tooltip += (box.tooltip.empty() ? "" : "\n") + n.text;
    if (!n.lambdas.empty()) {
      box.link = plan_.regionPage[n.lambdas.front()][0];
      box.tooltip += "\n(its lambda opens on a page of its own)";
    }
    if (n.kind == NodeKind::Join && n.text.empty()) box.lines.clear();
    (void)g;
    return box;
  }

  // The box of a page's item: a node's, a folded construct's, or where the
  // page is entered from or goes on to.
  Box itemBox(const Page& page, const PageItem& item, bool tight) const {
    const cfg::Graph& graph = flow_.graphs[page.graph];
    Box box;
    switch (item.kind) {
      case ItemKind::Node: return nodeBox(graph, page.graph, item.node);
      case ItemKind::Folded: {
        const cfg::Region& region = graph.regions[item.region];
        box.master = "Folded";
        std::string head = constructName(region) + middleDot(options_.utf8) +
                           plural(region.statements, "statement", "statements") + middleDot(options_.utf8) +
                           lineSpan(region.firstLine, region.lastLine, options_.utf8);
        box.lines = lines(head);
        const std::string first = firstStatement(page.graph, item.region);
        if (!first.empty()) box.lines.push_back(shortenedInMiddle(first, 44, options_.utf8));
        box.link = plan_.regionPage[page.graph][item.region];
        box.tooltip = region.title + "\n" + lineSpan(region.firstLine, region.lastLine, options_.utf8) +
                      "\nopens its page";
        return box;
      }
      case ItemKind::Entry:
      case ItemKind::Exit: {
        // Where the page is entered from, or goes on to: the node on its own page.
        const bool entry = item.kind == ItemKind::Entry;
        const std::string where = item.into ? constructAt(graph.regions[*item.into]) : describe(graph, item.node);
        box.master = "Off Page";
        box.lines = tight ? boxLines((entry ? "from " : "to ") + where, options_.utf8, TextLimits{24, 180, 12})
                          : lines((entry ? "from " : "to ") + where);
        box.link = item.into ? plan_.regionPage[page.graph][*item.into] : plan_.nodePage[page.graph][item.node];
        box.tooltip = (entry ? "entered from " : "goes on to ") + where;
        return box;
      }
    }
    return box;
  }

  DrawnPage describePage(size_t p) {
    const Page& page = plan_.pages[p];
    const cfg::Graph& graph = flow_.graphs[page.graph];
    DrawnPage drawn;
    drawn.title = pageTitle(p);
    const bool tight = tightened_.count(keyOf(p)) > 0;
    for (const PageItem& item : page.items) {
      Box box = itemBox(page, item, tight);
      size(box);
      graphviz::GraphNode node;
      node.width = box.width;
      node.height = box.height;
      node.shape = box.shape;
      node.cluster = item.frame;
      drawn.graph.nodes.push_back(node);
      drawn.boxes.push_back(std::move(box));
    }
    // Comments beside the boxes they belong to, on the same rank.
    for (size_t i = 0; i < page.items.size(); ++i) {
      const PageItem& item = page.items[i];
      if (item.kind != ItemKind::Node) continue;
      const std::string& comment = commentOf_[page.graph][item.node];
      if (comment.empty()) continue;
      Box box;
      box.master = "Comment";
      box.lines = boxLines(comment, options_.utf8, tight ? TextLimits{24, 180, 8} : TextLimits{36, 180, 6});
      box.tooltip = comment;
      size(box);
      graphviz::GraphNode node;
      node.width = box.width;
      node.height = box.height;
      node.cluster = item.frame;
      drawn.graph.nodes.push_back(node);
      drawn.boxes.push_back(std::move(box));
      const size_t commentNode = drawn.graph.nodes.size() - 1;
      drawn.graph.sameRank.push_back({i, commentNode});
      drawn.commentLinks.push_back({commentNode, i});
    }
    for (const PageFrame& frame : page.frames) {
      graphviz::GraphCluster cluster;
      cluster.parent = frame.parent;
      cluster.label = shortenedInMiddle(graph.regions[frame.region].title, 60, options_.utf8);
      drawn.graph.clusters.push_back(std::move(cluster));
    }
    // A switch of many case groups puts them on several rows rather than
    // one very wide one.
    std::map<size_t, size_t> casesFrom, caseIndex;
    for (const PageEdge& edge : page.edges)
      if (edge.kind == cfg::EdgeKind::Case) ++casesFrom[edge.from];
    // Case groups leave their switch in the source's order.
    for (const auto& [from, count] : casesFrom) drawn.graph.nodes[from].orderedOut = true;
    const std::set<size_t> staggered = entriesInto(page);
    std::map<size_t, size_t> entryIndex;
    for (const PageEdge& edge : page.edges) {
      graphviz::GraphEdge made;
      made.tail = edge.from;
      made.head = edge.to;
      made.label = shortenedInMiddle(edge.label, 40, options_.utf8);
      made.back = edge.back;
      if (edge.kind == cfg::EdgeKind::Case && casesFrom[edge.from] > kCasesOnOneRow)
        made.minLength = 1 + 2 * static_cast<int>(caseIndex[edge.from]++ % kCaseRows);
      // With no end box below to hold a chain of decisions in line (each
      // return ending at its own), it would step aside at every link.
      if (endPerReturn_ && edge.kind == cfg::EdgeKind::False && isDecision(page, edge.to)) made.weight = kChainWeight;
      if (tight && isLoopExit(page, edge)) made.weight = kChainWeight;
      if (staggerEntries_ && staggered.count(edge.to) && page.items[edge.from].kind == ItemKind::Entry)
        made.minLength = 1 + 2 * static_cast<int>(entryIndex[edge.to]++ % kCaseRows);
      drawn.graph.edges.push_back(std::move(made));
    }
    for (const auto& [comment, box] : drawn.commentLinks) {
      graphviz::GraphEdge link;
      link.tail = comment;
      link.head = box;
      link.sideBySide = true;
      drawn.graph.edges.push_back(link);
    }
    return drawn;
  }

  // The boxes a page enters from more places on other pages than fit
  // one row.
  static std::set<size_t> entriesInto(const Page& page) {
    std::map<size_t, size_t> count;
    for (const PageEdge& edge : page.edges)
      if (page.items[edge.from].kind == ItemKind::Entry) ++count[edge.to];
    std::set<size_t> many;
    for (const auto& [item, entries] : count)
      if (entries > kEntriesOnOneRow) many.insert(item);
    return many;
  }

  bool isDecision(const Page& page, size_t item) const {
    const PageItem& shown = page.items[item];
    return shown.kind == ItemKind::Node && flow_.graphs[page.graph].nodes[shown.node].kind == NodeKind::Decision;
  }

  // The box's size: its text's, with room for the master's outline.
  void size(Box& box) const {
    const text::Charset encoding = options_.utf8 ? text::Charset::Utf8 : text::Charset::Latin1;
    double textWidth = 0.0;
    for (const std::string& line : box.lines) textWidth = std::max(textWidth, drawing::textWidth(line, kFontSize, encoding));
    const double textHeight = kLineHeight * static_cast<double>(box.lines.size());
    const std::string_view master = box.master;
    double widthShare = 0.88, heightShare = 0.88, minWidth = 0.9, minHeight = 0.4;
    if (master == "Decision" || master == "Switch") {
      box.shape = graphviz::LayoutShape::Diamond;
      widthShare = 0.64;
      heightShare = 0.6;
      minWidth = 1.2;
      minHeight = 0.6;
    } else if (master == "Start" || master == "End" || master == "Return" || master == "Exit") {
      widthShare = 0.8;
    } else if (master == "Off Page") {
      heightShare = 0.7;
    } else if (master == "Join") {
      if (box.lines.empty()) {
        box.shape = graphviz::LayoutShape::Circle;
        box.width = box.height = 0.2;
        return;
      }
      box.shape = graphviz::LayoutShape::Ellipse;
      widthShare = 0.75;
      heightShare = 0.75;
    }
    box.width = std::max(minWidth, textWidth * kFit / widthShare + 0.08);
    box.height = std::max(minHeight, textHeight * kFit / heightShare + 0.06);
  }

  // What a reader is told of a page's box, and where the keyboard goes
  // from it: the page's edges in order, the main way first.
  drawing::ShapeAccess boxAccess(size_t p, size_t i) const {
    const Page& page = plan_.pages[p];
    const cfg::Graph& graph = flow_.graphs[page.graph];
    const PageItem& item = page.items[i];
    drawing::ShapeAccess access;
    switch (item.kind) {
      case ItemKind::Node: {
        const cfg::Node& node = graph.nodes[item.node];
        access.label = nodeLabel(graph, item.node, options_.utf8);
        access.node = cfg::nodeId(page.graph, item.node);
        access.firstLine = node.firstLine;
        access.lastLine = node.lastLine;
        if (!node.lambdas.empty()) access.label += "; its lambda opens on a page of its own";
        break;
      }
      case ItemKind::Folded: {
        const cfg::Region& region = graph.regions[item.region];
        access.label = "folded " + constructName(region) + ": " + region.title + ", lines " +
                       std::to_string(region.firstLine) + " to " + std::to_string(region.lastLine) + ", " +
                       plural(region.statements, "statement", "statements") + "; opens its page";
        access.firstLine = region.firstLine;
        access.lastLine = region.lastLine;
        break;
      }
      case ItemKind::Entry:
      case ItemKind::Exit:
        access.label = (item.kind == ItemKind::Entry ? "entered from " : "goes on to ") +
                       (item.into ? constructAt(graph.regions[*item.into]) : nodeName(graph, item.node, options_.utf8)) +
                       "; opens its page";
        break;
    }
    for (const PageEdge& edge : page.edges)
      if (edge.from == i) access.next.push_back("b" + std::to_string(edge.to + 1));
    // A box that is a link is named by what it shows first, as a reader
    // who sees it would call it.
    if (pages_[p].boxes[i].link) {
      std::string shown;
      for (const std::string& line : pages_[p].boxes[i].lines) shown += (shown.empty() ? "" : " ") + line;
      access.label = shown + "; " + access.label;
    }
    return access;
  }

  // What a page shows of its graph.
  PageShows pageShows(size_t p) const {
    const Page& page = plan_.pages[p];
    PageShows shows;
    shows.title = pages_[p].title;
    shows.graph = page.graph;
    for (const PageItem& item : page.items) {
      if (item.kind == ItemKind::Node)
        shows.nodes.push_back(item.node);
      else if (item.kind == ItemKind::Folded)
        ++shows.folded;
      else
        ++shows.others;
    }
    return shows;
  }

  errors::Result<graphviz::Layout> layOutPage(const graphviz::Graph& graph) const {
    errors::Result<graphviz::Layout> layout = graphviz::layOutGraph(graph);
    if (layout || graph.clusters.empty()) return layout;
    // Graphviz cannot always rank edges that cross frames: lay the page
    // out without them rather than not at all.
    graphviz::Graph unframed = graph;
    unframed.clusters.clear();
    for (graphviz::GraphNode& node : unframed.nodes) node.cluster.reset();
    errors::Result<graphviz::Layout> unframedLayout = graphviz::layOutGraph(unframed);
    if (unframedLayout) unframedLayout->clusters.assign(graph.clusters.size(), graphviz::LayoutBox{});
    return unframedLayout;
  }

  static std::vector<drawing::Point> shifted(const std::vector<graphviz::LayoutPoint>& curve, double margin) {
    std::vector<drawing::Point> points;
    points.reserve(curve.size());
    for (const graphviz::LayoutPoint& p : curve) points.push_back({p.x + margin, p.y + margin});
    return points;
  }

  void drawPage(size_t p, drawing::Page& page,
                const std::map<std::string, std::shared_ptr<const drawing::Master>>& masters,
                FlowDrawing& result) const {
    const DrawnPage& drawn = pages_[p];
    const graphviz::Layout& layout = layouts_[p];
    page.width = layout.bounds.right + 2 * kMargin;
    page.height = layout.bounds.top + 2 * kMargin;
    auto masterFor = [&](const std::string& name) {
      const auto found = masters.find(name);
      return found != masters.end() ? found->second : masters.begin()->second;
    };
    auto add = [&](const std::string& masterName) -> drawing::Shape& {
      auto shape = std::make_unique<drawing::Shape>();
      shape->id = page.nextId++;
      shape->master = masterFor(masterName);
      page.shapes.push_back(std::move(shape));
      return *page.shapes.back();
    };
    auto linkTo = [&](drawing::Shape& shape, size_t target, const std::string& description) {
      shape.hyperlinks.push_back(drawing::Hyperlink{description, "", pages_[target].title});
    };
    // Frames behind everything, outermost first.
    for (size_t c = 0; c < drawn.graph.clusters.size() && c < layout.clusters.size(); ++c) {
      const graphviz::LayoutBox& b = layout.clusters[c];
      if (b.right - b.left <= 0.0) continue;
      drawing::Shape& frame = add("Frame");
      frame.name = "frame" + std::to_string(c + 1);
      frame.pinX = (b.left + b.right) * 0.5 + kMargin;
      frame.pinY = (b.bottom + b.top) * 0.5 + kMargin;
      frame.width = b.right - b.left;
      frame.height = b.top - b.bottom;
      frame.text = hostText({drawn.graph.clusters[c].label});
      frame.textSet = true;
    }
    for (size_t i = 0; i < drawn.boxes.size(); ++i) {
      const Box& box = drawn.boxes[i];
      const graphviz::LayoutBox& b = layout.nodes[i];
      drawing::Shape& shape = add(box.master);
      shape.name = "b" + std::to_string(i + 1);
      shape.pinX = (b.left + b.right) * 0.5 + kMargin;
      shape.pinY = (b.bottom + b.top) * 0.5 + kMargin;
      shape.width = b.right - b.left;
      shape.height = b.top - b.bottom;
      shape.text = hostText(box.lines);
      shape.textSet = true;
      shape.comment = box.tooltip;
      if (box.link) linkTo(shape, *box.link, "Open " + pages_[*box.link].title);
      if (std::string_view(box.master) != "Comment") ++result.boxes;
      if (i < plan_.pages[p].items.size()) {
        shape.access = boxAccess(p, i);
      }
    }
    result.pages.push_back(pageShows(p));
    page.description = pageDescription(flow_, result.pages.back());
    for (size_t e = 0; e < drawn.graph.edges.size(); ++e) {
      const graphviz::GraphEdge& edge = drawn.graph.edges[e];
      const graphviz::PlacedEdge& placed = layout.edges[e];
      const bool commentLink = e >= plan_.pages[p].edges.size();
      drawing::Shape& connector =
          add(commentLink ? "Comment Link" : connectorName(plan_.pages[p].edges[e].kind));
      connector.name = "e" + std::to_string(e + 1);
      if (!commentLink) connector.edges = graphEdges(plan_.pages[p], plan_.pages[p].edges[e]);
      connector.path = shifted(placed.curve, kMargin);
      connector.curve = connector.path.size() >= 4 && (connector.path.size() - 1) % 3 == 0;
      if (connector.path.size() < 2) {
        connector.curve = false;
        const graphviz::LayoutBox& from = layout.nodes[edge.tail];
        const graphviz::LayoutBox& to = layout.nodes[edge.head];
        connector.path = {{(from.left + from.right) * 0.5 + kMargin, from.bottom + kMargin},
                          {(to.left + to.right) * 0.5 + kMargin, to.top + kMargin}};
      }
      connector.begin.at = connector.path.front();
      connector.end.at = connector.path.back();
      if (!edge.label.empty()) {
        connector.text = hostText({edge.label});
        connector.textSet = true;
        if (placed.labelCentre) {
          connector.textPlaced = true;
          connector.textCentre = {placed.labelCentre->x + kMargin, placed.labelCentre->y + kMargin};
        }
      }
      if (!commentLink) ++result.arrows;
    }
    for (const auto& shape : page.shapes) page.byName[shape->name].push_back(shape.get());
    page.changed();
  }

  const cfg::MethodFlow& source_;
  CaseRuns runs_;  // remade by prepare()
  const cfg::MethodFlow& flow_;  // as drawn, with its runs of case groups
  const DrawOptions& options_;
  Folding folding_;
  Folding keptInline_;  // constructs that folded for width in vain
  bool wideRun_ = false;  // case groups side by side on a page too wide
  bool endPerReturn_ = false;  // an end box below each return
  bool staggerEntries_ = false;  // many entries into one box over several rows
  std::set<std::pair<size_t, size_t>> tightened_;  // pages too wide drawn tighter, as keyOf() names them
  std::vector<std::set<size_t>> loopHeads_;  // the conditions of loops, by graph
  PagePlan plan_;
  std::vector<DrawnPage> pages_;
  std::vector<graphviz::Layout> layouts_;
  std::map<std::string, graphviz::Layout> layoutCache_;  // by graphviz::layoutKey of the page's graph
  std::vector<std::vector<std::string>> commentOf_;  // by graph and node
  std::vector<std::vector<std::optional<size_t>>> firstStatement_;  // its node, by graph and region
};

// Pages too wide for their switches' case groups side by side fold them
// by runs.
class FlowDrawer::FoldCaseRuns : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer&, const Round& round) const override { return !round.tooWide.empty(); }
  bool apply(FlowDrawer& d, const Round& round, std::vector<Trial>&) override {
    bool folded = false;
    for (size_t p : round.tooWide) folded = foldCaseRuns(d.flow_, d.plan_, p, d.runs_.isRun, d.folding_) || folded;
    return folded;
  }
};

// Many returns into one end box on a page too wide: one end box below each
// of them, once.
class FlowDrawer::EndPerReturn : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer& d, const Round& round) const override {
    return !d.endPerReturn_ && !tried_ && std::any_of(round.tooWide.begin(), round.tooWide.end(), [&](size_t p) {
      return hasSharedEnd(d.flow_, d.plan_.pages[p], d.options_.limits);
    });
  }
  bool apply(FlowDrawer& d, const Round&, std::vector<Trial>& trials) override {
    d.endPerReturn_ = true;
    tried_ = true;
    trials.push_back(Trial{this, Trial::Change::EndPerReturn, {}, 0, 0, d.excessWidth()});
    return true;
  }
  bool keep(const FlowDrawer& d, const Trial& trial) const override { return !d.stillAsWide(trial.before); }

 private:
  bool tried_ = false;
};

// A box entered from many places on other pages: their connectors
// staggered over rows above it rather than in one, once.
class FlowDrawer::StaggeredEntries : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer& d, const Round& round) const override {
    return !d.staggerEntries_ && !tried_ && std::any_of(round.tooWide.begin(), round.tooWide.end(), [&](size_t p) {
      return !entriesInto(d.plan_.pages[p]).empty();
    });
  }
  bool apply(FlowDrawer& d, const Round&, std::vector<Trial>& trials) override {
    d.staggerEntries_ = true;
    tried_ = true;
    trials.push_back(Trial{this, Trial::Change::StaggeredEntries, {}, 0, 0, d.excessWidth()});
    return true;
  }
  bool keep(const FlowDrawer& d, const Trial& trial) const override { return !d.stillAsWide(trial.before); }

 private:
  bool tried_ = false;
};

// A page too wide drawn tighter (before anything on it folds away), once:
// its loops' exits held in line with their conditions, so that the main
// line does not step aside at each loop; its exception arrows from where
// it is entered, and those to the catch clauses at its foot, ending at
// connectors of their own rather than running round the page; its
// comments and connectors wrapped narrower.  Kept when the page then fits
// or is narrower.
class FlowDrawer::Tighter : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer& d, const Round& round) const override {
    return std::any_of(round.tooWide.begin(), round.tooWide.end(),
                       [&](size_t p) { return d.canTighten(p) && !tried_.count(d.keyOf(p)); });
  }
  bool apply(FlowDrawer& d, const Round& round, std::vector<Trial>& trials) override {
    std::map<PageKey, double> tightened;  // in the pages' order of keys, as they are judged
    for (size_t p : round.tooWide) {
      const PageKey key = d.keyOf(p);
      if (!d.canTighten(p) || !tried_.insert(key).second) continue;
      d.tightened_.insert(key);
      tightened[key] = d.pageWidth(p);
    }
    for (const auto& [key, before] : tightened) trials.push_back(Trial{this, Trial::Change::TighterPage, key, 0, 0, before});
    return !tightened.empty();
  }
  bool keep(const FlowDrawer& d, const Trial& trial) const override {
    const std::optional<size_t> p = d.pageWithKey(trial.page);
    return !p || d.withinWidth(*p) || d.pageWidth(*p) + kNarrower <= trial.before;
  }

 private:
  std::set<PageKey> tried_;
};

// Each page too wide folds what makes it wide; the construct goes back
// inline, and stays there, when its page or the page showing its box is
// still about as wide as the page it left (its exits side by side where
// it was one box).
class FlowDrawer::FoldWidest : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer&, const Round& round) const override { return !round.tooWide.empty(); }
  bool apply(FlowDrawer& d, const Round& round, std::vector<Trial>& trials) override {
    bool folded = false;
    for (size_t p : round.tooWide) {
      const std::optional<size_t> region = foldWidest(d.flow_, d.plan_, p, d.itemSpans(p), d.options_.pageWidth,
                                                      kFoldedWidth, d.keptInline_, d.folding_);
      if (!region) continue;
      trials.push_back(Trial{this, Trial::Change::Folded, {}, d.plan_.pages[p].graph, *region, d.pageWidth(p)});
      folded = true;
    }
    return folded;
  }
  bool keep(const FlowDrawer& d, const Trial& trial) const override {
    const double after = d.widthAfterFold(trial.graph, trial.region);
    return after + kNarrower <= trial.before || after + 2 * kMargin <= d.options_.pageWidth;
  }
};

// One more construct, the largest that fits a page, folds from a page too
// tall, a few times at most.
class FlowDrawer::FoldForHeight : public FlowDrawer::Remedy {
 public:
  bool applies(const FlowDrawer&, const Round& round) const override {
    return round.tooTall && folds_ + 1 < kMaxRefolds;
  }
  bool apply(FlowDrawer& d, const Round& round, std::vector<Trial>&) override {
    ++folds_;
    return foldMore(d.flow_, d.plan_, *round.tooTall, d.folding_, d.options_.limits);
  }

 private:
  int folds_ = 0;
};

errors::Status FlowDrawer::prepareWithRuns(bool layOut) {
  wideRun_ = false;
  endPerReturn_ = false;
  staggerEntries_ = false;
  tightened_.clear();
  folding_ = chooseFolding(flow_, options_.fold, options_.limits);
  keptInline_.clear();
  for (const std::vector<bool>& graph : folding_) keptInline_.emplace_back(graph.size(), false);
  // What a page too wide or too tall may be given, in this order, one a
  // round: its switches' case groups folded by runs; an end box below
  // each return; entries staggered over rows; the page drawn tighter;
  // the construct that makes it wide folded; a construct of a page too
  // tall folded, a few times at most.
  FoldCaseRuns caseRuns;
  EndPerReturn endPerReturn;
  StaggeredEntries staggered;
  Tighter tighter;
  FoldWidest foldWidest;
  FoldForHeight foldForHeight;
  Remedy* const remedies[] = {&caseRuns, &endPerReturn, &staggered, &tighter, &foldWidest, &foldForHeight};
  std::vector<Trial> trials;  // what the last round's remedy changed
  for (int round = 0;; ++round) {
    if (errors::Status planned = planRound(); !planned) return planned;
    if (!layOut) return {};
    Round laidOut;
    // With no change to judge and rounds to spare, a switch too wide
    // shown by its ranks has its case groups folded without a layout.
    if (trials.empty() && round + 1 < kMaxWidthRefolds && options_.fold == Fold::Auto) {
      errors::Result<std::optional<Round>> ranked = tooWideByRanks();
      if (!ranked) return std::move(ranked).problem();
      if (*ranked && caseRuns.apply(*this, **ranked, trials)) continue;
    }
    if (errors::Status done = layOutRound(laidOut); !done) return done;
    if ((!laidOut.tooTall && laidOut.tooWide.empty()) || options_.fold != Fold::Auto) return {};
    // A change that left the pages about as wide as before is undone,
    // and the round is drawn again without it.
    bool reverted = false;
    for (const Trial& trial : trials)
      if (!trial.by->keep(*this, trial)) {
        revert(trial);
        reverted = true;
      }
    trials.clear();
    if (reverted) continue;
    if (round + 1 >= kMaxWidthRefolds) return {};
    const bool changed = std::any_of(std::begin(remedies), std::end(remedies), [&](Remedy* remedy) {
      return remedy->applies(*this, laidOut) && remedy->apply(*this, laidOut, trials);
    });
    if (!changed) return {};
  }
}

}  // namespace

std::string edgeId(size_t graph, size_t edge) {
  if (graph == 0) return "e" + std::to_string(edge);
  return "l" + std::to_string(graph) + ".e" + std::to_string(edge);
}

std::string pageDescription(const cfg::MethodFlow& flow, const PageShows& page,
                            const std::function<bool(size_t graph, size_t node)>& leftOut) {
  const cfg::Graph& graph = flow.graphs[page.graph];
  std::vector<size_t> nodes;
  for (size_t node : page.nodes)
    if (!leftOut || !leftOut(page.graph, node)) nodes.push_back(node);
  const size_t boxes = nodes.size() + page.folded + page.others;
  std::string out = page.title + ": " + constructSummary(graph, nodes);
  if (page.folded) out += "; " + plural(page.folded, "construct", "constructs") + " on pages of their own";
  return out + "; " + plural(boxes, "box", "boxes") + ".";
}

std::string boxText(std::string_view text, bool utf8) { return hostText(boxLines(text, utf8)); }

errors::Result<FlowDrawing> drawMethodFlow(const cfg::MethodFlow& flow, const Masters& masters,
                                           const DrawOptions& options) {
  if (masters.empty()) return errors::Problem(errors::Problem::Kind::Failed, "the flowchart template has no masters");
  FlowDrawer drawer(flow, options);
  if (errors::Status prepared = drawer.prepare(true); !prepared) return std::move(prepared).problem();
  return drawer.draw(masters);
}

errors::Result<std::string> methodFlowDot(const cfg::MethodFlow& flow, const DrawOptions& options) {
  FlowDrawer drawer(flow, options);
  if (errors::Status prepared = drawer.prepare(false); !prepared) return std::move(prepared).problem();
  return drawer.dot();
}

}  // namespace flowdraw
