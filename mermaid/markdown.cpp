#include "mermaid/markdown.h"

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

}  // namespace

std::vector<FlowBlock> flowBlocks(const cfg::MethodFlow& flow, bool latin1, const DiagramSize& limits) {
  const std::string whole = flowchartText(flow, nullptr, latin1);
  if (fits(measure(whole), limits)) return {FlowBlock{utf8Of(flow.method, latin1), whole, {}}};
  // Our drawings' folding first; then any page still over the limits is
  // folded further, its largest construct first, while it has one left.
  flowdraw::FoldLimits foldLimits;
  foldLimits.layoutItems = static_cast<size_t>(-1);
  flowdraw::Folding folding = flowdraw::chooseFolding(flow, flowdraw::Fold::Auto, foldLimits);
  for (;;) {
    const flowdraw::PagePlan plan = flowdraw::planPages(flow, folding, foldLimits);
    PageNames names;
    for (const flowdraw::Page& page : plan.pages) names.titles.push_back(pageTitle(flow, page, latin1));
    std::vector<FlowBlock> blocks;
    bool folded = false;
    for (size_t p = 0; p < plan.pages.size(); ++p) {
      FlowBlock made{names.titles[p], flowchartPageText(flow, plan, p, names, latin1), {}};
      if (!fits(measure(made.text), limits) && flowdraw::foldMore(flow, plan, p, folding, foldLimits)) {
        folded = true;
        break;
      }
      for (const flowdraw::PageItem& item : plan.pages[p].items)
        if (item.kind == flowdraw::ItemKind::Folded)
          if (const std::optional<size_t> target = plan.regionPage[plan.pages[p].graph][item.region])
            made.links.push_back(*target);
      // A lambda's page opens from the statement that holds it.
      for (size_t q = 0; q < plan.pages.size(); ++q)
        if (plan.pages[q].graph != plan.pages[p].graph && !plan.pages[q].region) {
          const cfg::Graph& lambda = flow.graphs[plan.pages[q].graph];
          if (lambda.parentGraph == plan.pages[p].graph && lambda.parentNode &&
              plan.nodePage[plan.pages[p].graph][*lambda.parentNode] == p)
            made.links.push_back(q);
        }
      blocks.push_back(std::move(made));
    }
    if (!folded) return blocks;
  }
}

std::string methodMarkdown(const MarkdownMethod& method, const std::string& anchor, const DiagramSize& limits) {
  std::string out = "<a id=\"" + anchor + "\"></a>\n\n## " + markdownText(method.title) + "\n\n";
  if (!method.measures.empty()) out += markdownText(method.measures) + "\n\n";
  if (!method.flow) return out + "No body (abstract, interface or native): nothing to draw.\n\n";
  const std::vector<FlowBlock> blocks = flowBlocks(*method.flow, method.latin1, limits);
  if (blocks.size() == 1) return out + block(blocks.front().text) + "\n";
  out += "Too large for one diagram: " + std::to_string(blocks.size()) +
         " diagrams, each folded construct in its own.\n\n";
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
