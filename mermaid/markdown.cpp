#include "mermaid/markdown.h"

#include <algorithm>
#include <optional>

#include "files/latin1.h"
#include "flowdraw/label_text.h"
#include "flowdraw/pages.h"
#include "mermaid/sequence_text.h"

namespace mermaid {
namespace {

std::string utf8Of(const std::string& text, bool latin1) { return latin1 ? files::latin1ToUtf8(text) : text; }

// Heading text: Markdown's own marks in it are taken as text.
std::string markdownText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      out += ' ';
      continue;
    }
    if (std::string_view("\\`*_[]<>#|~").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string pageTitle(const cfg::MethodFlow& flow, const flowdraw::Page& page, bool latin1) {
  const cfg::Graph& graph = flow.graphs[page.graph];
  if (!page.region) return utf8Of(page.graph == 0 ? flow.method : graph.title, latin1);
  const cfg::Region& region = graph.regions[*page.region];
  return flowdraw::shortenedInMiddle(utf8Of(region.title, latin1), 60, true) + " \xC2\xB7 L" +
         std::to_string(region.firstLine);
}

std::string block(const std::string& text) { return "```mermaid\n" + text + "```\n"; }

// A block of a page before the blocks are numbered: its title and text,
// and the pages (their first parts) or the parts of its own page it opens.
struct PagePart {
  std::string title;
  std::string text;
  std::vector<std::pair<size_t, size_t>> opens;  // page, part
};

// What the part of page p holds open, in the order met: the pages of the
// constructs folded on it, those of the lambdas its statements hold, then
// the parts of its page its edges go on to.  partOf empty: the page whole.
std::vector<std::pair<size_t, size_t>> opensOf(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t p,
                                               const std::vector<size_t>& partOf, size_t part) {
  const flowdraw::Page& page = plan.pages[p];
  const auto inPart = [&](size_t item) { return partOf.empty() || partOf[item] == part; };
  std::vector<std::pair<size_t, size_t>> opens;
  std::vector<std::optional<size_t>> itemOfNode(flow.graphs[page.graph].nodes.size());
  for (size_t i = 0; i < page.items.size(); ++i) {
    const flowdraw::PageItem& item = page.items[i];
    if (item.kind == flowdraw::ItemKind::Node) itemOfNode[item.node] = i;
    if (item.kind == flowdraw::ItemKind::Folded && inPart(i))
      if (const std::optional<size_t> target = plan.regionPage[page.graph][item.region]) opens.emplace_back(*target, 0);
  }
  // A lambda's page opens from the statement that holds it.
  for (size_t q = 0; q < plan.pages.size(); ++q)
    if (plan.pages[q].graph != page.graph && !plan.pages[q].region) {
      const cfg::Graph& lambda = flow.graphs[plan.pages[q].graph];
      if (lambda.parentGraph == page.graph && lambda.parentNode && plan.nodePage[page.graph][*lambda.parentNode] == p &&
          (partOf.empty() || (itemOfNode[*lambda.parentNode] && inPart(*itemOfNode[*lambda.parentNode]))))
        opens.emplace_back(q, 0);
    }
  if (!partOf.empty())
    for (const flowdraw::PageEdge& edge : page.edges) {
      const std::pair<size_t, size_t> next{p, partOf[edge.to]};
      if (inPart(edge.from) && !inPart(edge.to) && std::find(opens.begin(), opens.end(), next) == opens.end())
        opens.push_back(next);
    }
  return opens;
}

// The page's items in order, cut into as few runs as keep each part
// under the limits: a long run of statements has nothing left to fold.
// A page that no number of parts brings under them stays whole.
std::vector<PagePart> pageParts(const cfg::MethodFlow& flow, const flowdraw::PagePlan& plan, size_t p,
                                const PageNames& names, bool latin1, const DiagramSize& limits, std::string whole) {
  const size_t items = plan.pages[p].items.size();
  const DiagramSize size = measure(whole);
  const size_t least = std::max(size.characters / std::max<size_t>(limits.characters, 1),
                                size.edges / std::max<size_t>(limits.edges, 1)) + 1;
  for (size_t count = std::max<size_t>(least, 2); count <= items; ++count) {
    PageParts parts;
    parts.partOf.resize(items);
    for (size_t i = 0; i < items; ++i) parts.partOf[i] = i * count / items;
    for (size_t k = 0; k < count; ++k)
      parts.titles.push_back(names.titles[p] + " (part " + std::to_string(k + 1) + " of " + std::to_string(count) + ")");
    std::vector<PagePart> made;
    bool fit = true;
    for (size_t k = 0; k < count && fit; ++k) {
      made.push_back(PagePart{parts.titles[k], flowchartPartText(flow, plan, p, names, parts, k, latin1),
                              opensOf(flow, plan, p, parts.partOf, k)});
      fit = fits(measure(made.back().text), limits);
    }
    if (fit) return made;
  }
  return {PagePart{names.titles[p], std::move(whole), opensOf(flow, plan, p, {}, 0)}};
}

}  // namespace

std::vector<FlowBlock> flowBlocks(const cfg::MethodFlow& flow, bool latin1, const DiagramSize& limits) {
  const std::string whole = flowchartText(flow, nullptr, latin1);
  if (fits(measure(whole), limits)) return {FlowBlock{utf8Of(flow.method, latin1), whole, {}}};
  // Our drawings' folding first; then any page still over the limits is
  // folded further, its largest construct first, while it has one left,
  // and cut into parts when it has none.
  flowdraw::FoldLimits foldLimits;
  foldLimits.layoutItems = static_cast<size_t>(-1);
  flowdraw::Folding folding = flowdraw::chooseFolding(flow, flowdraw::Fold::Auto, foldLimits);
  for (;;) {
    const flowdraw::PagePlan plan = flowdraw::planPages(flow, folding, foldLimits);
    PageNames names;
    for (const flowdraw::Page& page : plan.pages) names.titles.push_back(pageTitle(flow, page, latin1));
    std::vector<std::vector<PagePart>> byPage;
    bool folded = false;
    for (size_t p = 0; p < plan.pages.size() && !folded; ++p) {
      std::string text = flowchartPageText(flow, plan, p, names, latin1);
      if (fits(measure(text), limits)) {
        byPage.push_back({PagePart{names.titles[p], std::move(text), opensOf(flow, plan, p, {}, 0)}});
        continue;
      }
      folded = flowdraw::foldMore(flow, plan, p, folding, foldLimits);
      if (!folded) byPage.push_back(pageParts(flow, plan, p, names, latin1, limits, std::move(text)));
    }
    if (folded) continue;
    // Blocks in page order, a page's parts in theirs.
    std::vector<size_t> firstBlock(byPage.size());
    for (size_t p = 0, at = 0; p < byPage.size(); at += byPage[p].size(), ++p) firstBlock[p] = at;
    std::vector<FlowBlock> blocks;
    for (std::vector<PagePart>& parts : byPage)
      for (PagePart& part : parts) {
        FlowBlock made{std::move(part.title), std::move(part.text), {}, static_cast<size_t>(&parts - byPage.data()),
                       parts.size() > 1};
        for (const auto& [page, k] : part.opens) made.links.push_back(firstBlock[page] + k);
        blocks.push_back(std::move(made));
      }
    return blocks;
  }
}

std::string methodMarkdown(const MarkdownMethod& method, const std::string& anchor, const DiagramSize& limits) {
  std::string out = "<a id=\"" + anchor + "\"></a>\n\n## " + markdownText(method.title) + "\n\n";
  if (!method.measures.empty()) out += markdownText(method.measures) + "\n\n";
  if (!method.note.empty()) out += "> " + markdownText(method.note) + "\n\n";
  if (!method.flow) return out + "No body (abstract, interface or native): nothing to draw.\n\n";
  const std::vector<FlowBlock> blocks = flowBlocks(*method.flow, method.latin1, limits);
  if (blocks.size() == 1) return out + block(blocks.front().text) + "\n";
  const bool folded = std::any_of(blocks.begin(), blocks.end(), [](const FlowBlock& b) { return b.page > 0; });
  const bool parts = std::any_of(blocks.begin(), blocks.end(), [](const FlowBlock& b) { return b.part; });
  out += "Too large for one diagram: " + std::to_string(blocks.size()) + " diagrams" +
         (folded ? ", each folded construct in its own" : "") + (folded && parts ? ", and" : parts ? "," : "") +
         (parts ? " a run too long for one cut into parts" : "") + ".\n\n";
  for (size_t b = 0; b < blocks.size(); ++b) {
    const std::string id = anchor + "-" + std::to_string(b + 1);
    if (b > 0) out += "<a id=\"" + id + "\"></a>\n\n### " + markdownText(blocks[b].title) + "\n\n";
    out += block(blocks[b].text) + "\n";
    if (!blocks[b].links.empty()) {
      out += "Opens:";
      for (size_t k = 0; k < blocks[b].links.size(); ++k) {
        const size_t to = blocks[b].links[k];
        out += std::string(k ? "," : "") + " [" + markdownText(blocks[to].title) + "](#" + anchor + "-" +
               std::to_string(to + 1) + ")";
      }
      out += "\n\n";
    }
  }
  return out;
}

std::string fileMarkdown(const std::string& title, const std::vector<MarkdownMethod>& methods,
                         const DiagramSize& limits) {
  std::string out = "# " + markdownText(title) + "\n\n";
  for (size_t m = 0; m < methods.size(); ++m)
    out += "- [" + markdownText(methods[m].title) + "](#m" + std::to_string(m + 1) + ")\n";
  out += "\n";
  for (size_t m = 0; m < methods.size(); ++m) out += methodMarkdown(methods[m], "m" + std::to_string(m + 1), limits);
  return out;
}

std::string sequenceMarkdown(const std::string& title, const sequence::Diagram& diagram, bool latin1) {
  return "## " + markdownText(title) + "\n\n" + block(sequenceText(diagram, latin1)) + "\n";
}

}  // namespace mermaid
