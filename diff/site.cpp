// The HTML site of a diff: an index of the listed methods with their
// measures before and after (sortable by the batch site's script), and a
// page per method with its merged flowchart, both sides' flowcharts side
// by side, its calls added and removed, and both sides' source lines.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "diff/reports.h"
#include "files/atomic_file.h"
#include "flowdraw/drawing.h"
#include "flowdraw/label_text.h"
#include "flowdraw/reader_text.h"
#include "pipeline/method_flowchart.h"
#include "drawing/drawing_svg.h"
#include "site/site_assets.h"
#include "site/site_pages.h"
#include "text/text_output.h"

namespace diff {

extern const std::string_view kDiffStyle;

namespace {

namespace fs = std::filesystem;
using text::htmlEscaped;

// The drawing host's frame takes ASCII with character references.
std::string asciiHtml(std::string_view utf8) {
  const std::string escaped = htmlEscaped(utf8);
  std::string out;
  for (size_t i = 0; i < escaped.size();) {
    const unsigned char c = static_cast<unsigned char>(escaped[i]);
    if (c < 0x80) {
      out += escaped[i++];
      continue;
    }
    const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (int k = 1; k < length && i + k < escaped.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(escaped[i + k]) & 0x3F);
    out += "&#" + std::to_string(code) + ";";
    i += length;
  }
  return out;
}

std::string measure(const MethodVersion* side, int64_t Measures::*member) {
  return side && side->measures ? std::to_string((*side->measures).*member) : "";
}

std::string delta(const MethodDiff& method, int64_t Measures::*member) {
  if (!method.base || !method.head || !method.base->measures || !method.head->measures) return "";
  const int64_t change = (*method.head->measures).*member - (*method.base->measures).*member;
  return change > 0 ? "+" + std::to_string(change) : change < 0 ? "\u2212" + std::to_string(-change) : "0";
}

std::string pageName(size_t index) { return "m" + std::to_string(index + 1); }

std::string page(const std::string& title, const std::string& assets, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" + htmlEscaped(title) +
         "</title>\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<link rel=\"stylesheet\" href=\"" + assets + "site.css\">\n<link rel=\"stylesheet\" href=\"" + assets +
         "theme.css\">\n<link rel=\"stylesheet\" href=\"" + assets + "diff.css\">\n<script src=\"" + assets +
         "site.js\" defer></script>\n<script src=\"" + assets + "access.js\" defer></script>\n</head>\n<body>\n" + body +
         "</body></html>\n";
}

const char* markOf(Change change) {
  switch (change) {
    case Change::Added: return "+";
    case Change::Removed: return "\u2212";
    case Change::Changed: return "~";
    default: return "";
  }
}

// The views of a method's merged drawing: one page, laid out once, whose
// address picks the view ("#base", "#head"; none for both merged). A
// side's view hides what only the other side has and shows its own text
// of a changed node. The view holds without a script (the marker the
// address targets) and, with one, also once the reader moves to another
// page of the drawing ("#page-2"), which the address then names instead.
struct View {
  const char* id;  // the address's fragment, empty for the merged view
  const char* caption;
};
constexpr View kViews[] = {{"", "both versions merged"}, {"base", "base"}, {"head", "head"}};

constexpr const char* kViewStyle =
    "<style>\n"
    ":root:not([data-view]):not(:has(#base:target,#head:target)) :is(.other-text,.in-base,.in-head),\n"
    ":is(:root[data-view=base],:root:has(#base:target)) :is(.head-only,.own-text,.in-merged,.in-head,.not-in-base),\n"
    ":is(:root[data-view=head],:root:has(#head:target)) :is(.base-only,.other-text,.in-merged,.in-base,.not-in-head)"
    // Chromium keeps an SVG group that is display:none in its accessibility
    // tree, told as it is; a hidden one it leaves out.
    "{display:none;visibility:hidden}\n"
    // What changed stands out by its stroke's colour and weight (a removed
    // one is dashed besides), and by the mark its text starts with.
    "g.mark-added{--mark:#1a7f37}g.mark-removed{--mark:#cf222e}g.mark-changed{--mark:#9a6700}\n"
    "@media screen and (prefers-color-scheme:dark){:root:not([data-theme=light]) g.mark-added{--mark:#3fb950}"
    ":root:not([data-theme=light]) g.mark-removed{--mark:#ff7b72}:root:not([data-theme=light]) "
    "g.mark-changed{--mark:#d29922}}\n"
    "@media screen{:root[data-theme=dark] g.mark-added{--mark:#3fb950}:root[data-theme=dark] "
    "g.mark-removed{--mark:#ff7b72}:root[data-theme=dark] g.mark-changed{--mark:#d29922}}\n"
    // Over the dark palette's strokes, under the focus ring's.
    ":root :is(g.mark-added,g.mark-removed,g.mark-changed)[data-master] [stroke]:not(text)"
    "{stroke:var(--mark);stroke-width:3.5px}\n"
    "nav .changes button{font:inherit;font-size:12px;margin-right:6px}\n"
    "</style>\n"
    // A box told otherwise in a view is drawn once for each; the keyboard
    // finds a box by its name, which only the copy shown keeps.
    "<script>(() => {\n"
    "  let v = location.hash.slice(1);\n"
    "  if (v === 'base' || v === 'head') {\n"
    "    document.documentElement.dataset.view = v;\n"
    "    document.title += ' (' + v + ')';\n"
    "  } else v = '';\n"
    "  const hidden = v ? '.not-in-' + v + ', .in-' + (v === 'base' ? 'head' : 'base') : '.in-base, .in-head';\n"
    "  document.addEventListener('DOMContentLoaded', () => {\n"
    "    for (const g of document.querySelectorAll('g[data-name]')) if (g.matches(hidden)) g.removeAttribute('data-name');\n"
    "    if (v) for (const d of document.querySelectorAll('desc[data-told-' + v + ']'))\n"
    "      d.textContent = d.getAttribute('data-told-' + v);\n"
    "  });\n"
    "})();</script>\n"
    // The changes in the order they are drawn: the view opens on the first
    // (or on the box the address's ?node= names), n and p or the buttons
    // go to the next and the previous, each taking the focus.
    "<script>window.addEventListener('load', () => {\n"
    // Drawn: neither it nor a group round it is display:none (Chromium's
    // checkVisibility does not look at an SVG group's own display).
    "  const drawn = e => { for (; e; e = e.parentElement) if (getComputedStyle(e).display === 'none') return false; "
    "return true; };\n"
    "  const marks = () => [...document.querySelectorAll('g.mark-added[data-node], g.mark-removed[data-node], "
    "g.mark-changed[data-node]')].filter(drawn);\n"
    "  let at = -1;\n"
    "  const go = (target, focus) => {\n"
    "    if (!target) return;\n"
    "    const page = target.closest('.page');\n"
    "    if (page && !page.classList.contains('shown')) location.hash = page.id;\n"
    "    requestAnimationFrame(() => {\n"
    "      if (focus) return target.focus();\n"
    "      const view = window.flowchartViews && window.flowchartViews.current();\n"
    "      const box = target.getBBox();\n"
    "      if (!view || !view.reveal) return;\n"
    "      const [w, h] = view.size ? view.size() : [0, 0];\n"
    "      if (!w || !h || !view.scale) return view.reveal(box.x, box.y, box.width, box.height);\n"
    "      view.x = box.x + box.width / 2 - w / view.scale / 2;\n"
    "      view.y = box.y + box.height / 2 - h / view.scale / 2;\n"
    "      view.apply();\n"
    "    });\n"
    "  };\n"
    "  const step = by => {\n"
    "    const all = marks();\n"
    "    if (!all.length) return;\n"
    "    const held = all.indexOf(document.activeElement);\n"
    "    at = ((held >= 0 ? held : at) + by + all.length) % all.length;\n"
    "    go(all[at], true);\n"
    "  };\n"
    "  const named = new URLSearchParams(location.search).get('node');\n"
    "  const wanted = named && marks().concat([...document.querySelectorAll('g[data-node]')])\n"
    "      .find(g => g.dataset.node === named && drawn(g));\n"
    "  if (wanted) go(wanted, true);\n"
    "  else go(marks()[0], false);\n"
    "  document.addEventListener('keydown', e => {\n"
    "    if (e.ctrlKey || e.metaKey || e.altKey || /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;\n"
    "    if (e.key === 'n' || e.key === 'p') { e.preventDefault(); step(e.key === 'n' ? 1 : -1); }\n"
    "  });\n"
    "  for (const b of document.querySelectorAll('nav .changes button'))\n"
    "    b.addEventListener('click', () => step(b.dataset.step === 'next' ? 1 : -1));\n"
    "});</script>\n";

// One side of the merged graphs as its view shows them: the same nodes
// (those of the other side alone unreached), with this side's texts and
// lines, and only this side's edges.
cfg::MethodFlow sideFlow(const MethodDiff& method, const MergedFlow& merged, bool base) {
  cfg::MethodFlow flow = merged.flow;
  const Change alone = base ? Change::Added : Change::Removed;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    cfg::Graph& graph = flow.graphs[g];
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      cfg::Node& node = graph.nodes[n];
      const NodeDiff& diff = method.nodes[merged.nodeDiffs[g][n]];
      if (base && diff.change == Change::Changed) node.text = merged.baseTexts[g][n];
      node.lines = base ? diff.baseLines : diff.headLines;
      node.firstLine = node.lines.empty() ? 0 : *std::min_element(node.lines.begin(), node.lines.end());
      node.lastLine = node.lines.empty() ? 0 : *std::max_element(node.lines.begin(), node.lines.end());
    }
    std::vector<cfg::Edge> kept;
    for (size_t e = 0; e < graph.edges.size(); ++e)
      if (merged.edgeChanges[g][e] != alone) kept.push_back(graph.edges[e]);
    graph.edges = std::move(kept);
  }
  return flow;
}

// A node's lines and text as its box's hover text gives them: "L12\ntext", "L12–L14\ntext".
std::string spanned(const cfg::Node& node) {
  const std::string span = flowdraw::lineSpan(node.firstLine, node.lastLine, true);
  return span + (span.empty() ? "" : "\n") + node.text;
}

// What a screen reader is told of each box in a side's view: its own side
// only, its text, lines and ways on, none to a box the view hides.
void tellSides(const MergedFlow& merged, const cfg::MethodFlow& baseSide, const cfg::MethodFlow& headSide,
               drawing::Document& drawing) {
  std::map<std::string, std::pair<size_t, size_t>> nodes;
  for (size_t g = 0; g < merged.flow.graphs.size(); ++g)
    for (size_t n = 0; n < merged.flow.graphs[g].nodes.size(); ++n) nodes[cfg::nodeId(g, n)] = {g, n};
  const auto hides = [](const drawing::Shape& shape, std::string_view hidden) {
    for (std::string_view each : text::splitText(shape.classes, ' '))
      if (each == hidden) return true;
    return false;
  };
  // Each view's outline leads to the boxes as the drawing named them.
  std::map<std::pair<size_t, size_t>, std::pair<size_t, std::string>> boxes;
  for (size_t p = drawing.pages.size(); p-- > 0;)
    for (const auto& shape : drawing.pages[p]->shapes)
      if (const auto found = shape->access ? nodes.find(shape->access->node) : nodes.end(); found != nodes.end())
        boxes[found->second] = {p + 1, shape->name};
  const auto boxOf = [&](size_t g, size_t n) {
    const auto found = boxes.find({g, n});
    return found == boxes.end() ? std::nullopt : std::optional(found->second);
  };
  std::string outlines;
  if (drawing.readerAids) outlines = "<div class=\"in-merged\">" + drawing.readerAids->outlineHtml + "</div>\n";
  for (const bool base : {true, false}) {
    const cfg::MethodFlow& side = base ? baseSide : headSide;
    const char* hidden = base ? "head-only" : "base-only";
    const Change alone = base ? Change::Added : Change::Removed;
    if (drawing.readerAids)
      outlines += std::string("<div class=\"in-") + (base ? "base" : "head") + "\">" +
                  flowdraw::outlineHtml(side, true, boxOf,
                                        [&](size_t g, size_t n) { return merged.nodeChanges[g][n] == alone; }) +
                  "</div>\n";
    for (const auto& page : drawing.pages)
      for (const auto& shape : page->shapes) {
        if (!shape->access || hides(*shape, hidden)) continue;
        const auto found = nodes.find(shape->access->node);
        if (found == nodes.end()) continue;
        const auto [g, n] = found->second;
        const cfg::Graph& graph = side.graphs[g];
        drawing::ShapeAccess told = *shape->access;
        // The label is the node's words, perhaps after the box's text
        // (a link) and before a note on its lambda.
        const std::string both = flowdraw::nodeLabel(merged.flow.graphs[g], n, true);
        const size_t at = told.label.find(both);
        std::string before = at == std::string::npos ? "" : told.label.substr(0, at);
        const std::string after = at == std::string::npos ? "" : told.label.substr(at + both.size());
        if (!before.empty()) {
          before.clear();
          for (const std::string& line : flowdraw::boxLines(graph.nodes[n].text, true))
            before += (before.empty() ? "" : " ") + line;
          before += "; ";
        }
        told.label = before + flowdraw::nodeLabel(graph, n, true) + after;
        told.firstLine = graph.nodes[n].firstLine;
        told.lastLine = graph.nodes[n].lastLine;
        told.next.clear();
        for (const std::string& name : shape->access->next) {
          const auto target = page->byName.find(name);
          if (target == page->byName.end() || target->second.empty() || hides(*target->second.front(), hidden)) continue;
          const drawing::Shape& to = *target->second.front();
          const auto toNode = to.access ? nodes.find(to.access->node) : nodes.end();
          if (toNode != nodes.end() && std::none_of(graph.edges.begin(), graph.edges.end(), [&](const cfg::Edge& edge) {
                return edge.from == n && toNode->second.first == g && edge.to == toNode->second.second;
              }))
            continue;
          told.next.push_back(name);
        }
        // Its hover text: its lines and text, perhaps with a note after them.
        std::string comment = shape->comment;
        const std::string shown = spanned(merged.flow.graphs[g].nodes[n]);
        if (comment.rfind(shown, 0) == 0) comment = spanned(graph.nodes[n]) + comment.substr(shown.size());
        if (told.label != shape->access->label || told.next != shape->access->next ||
            told.firstLine != shape->access->firstLine || told.lastLine != shape->access->lastLine ||
            comment != shape->comment)
          shape->viewsTold.push_back({base ? "base" : "head", std::move(told), std::move(comment)});
      }
  }
  if (drawing.readerAids) drawing.readerAids->outlineHtml = outlines;
}

// The ids of the merged graphs' nodes and edges, and where each is.
struct GraphIds {
  std::map<std::string, std::pair<size_t, size_t>> nodes, edges;
  explicit GraphIds(const cfg::MethodFlow& flow) {
    for (size_t g = 0; g < flow.graphs.size(); ++g) {
      for (size_t n = 0; n < flow.graphs[g].nodes.size(); ++n) nodes[cfg::nodeId(g, n)] = {g, n};
      for (size_t e = 0; e < flow.graphs[g].edges.size(); ++e) edges[flowdraw::edgeId(g, e)] = {g, e};
    }
  }
};

const char* markClass(Change change) {
  return change == Change::Added ? "mark-added" : change == Change::Removed ? "mark-removed" : "mark-changed";
}

// What was taken away is dashed; what one side has alone is classed so
// that the other side's view can hide it, and a changed node shows the
// base's text where the base's view hides the head's.
void markChanges(const MergedFlow& merged, flowdraw::FlowDrawing& drawn) {
  const GraphIds ids(merged.flow);
  const auto classOf = [](Change change) {
    return change == Change::Added ? "head-only" : change == Change::Removed ? "base-only" : "";
  };
  for (const auto& page : drawn.drawing->pages)
    for (const auto& shape : page->shapes) {
      if (shape->access) {
        const auto found = ids.nodes.find(shape->access->node);
        if (found == ids.nodes.end()) continue;
        const auto [g, n] = found->second;
        const Change change = merged.nodeChanges[g][n];
        shape->dashed = change == Change::Removed;
        shape->classes = classOf(change);
        if (change != Change::Same) shape->classes += std::string(shape->classes.empty() ? "" : " ") + markClass(change);
        if (!merged.baseTexts[g][n].empty()) shape->otherText = flowdraw::boxText(merged.baseTexts[g][n], true);
        continue;
      }
      for (size_t k = 0; k < shape->edges.size(); ++k) {
        const auto found = ids.edges.find(shape->edges[k]);
        if (found == ids.edges.end()) continue;
        const Change change = merged.edgeChanges[found->second.first][found->second.second];
        if (k == 0) shape->classes = classOf(change);
        if (k == 0 && change != Change::Same)
          shape->classes += std::string(shape->classes.empty() ? "" : " ") + markClass(change);
        shape->dashed = shape->dashed || change == Change::Removed;
      }
    }
}

// Each page told as each side's view shows it, where that differs.
void tellPages(const MergedFlow& merged, const cfg::MethodFlow& baseSide, const cfg::MethodFlow& headSide,
               flowdraw::FlowDrawing& drawn) {
  for (size_t p = 0; p < drawn.pages.size() && p < drawn.drawing->pages.size(); ++p) {
    drawing::Page& page = *drawn.drawing->pages[p];
    for (const bool base : {true, false}) {
      const Change alone = base ? Change::Added : Change::Removed;
      std::string told = flowdraw::pageDescription(base ? baseSide : headSide, drawn.pages[p],
                                                   [&](size_t g, size_t n) { return merged.nodeChanges[g][n] == alone; });
      if (told != page.description) page.descriptionsTold.emplace_back(base ? "base" : "head", std::move(told));
    }
  }
}

std::string drawingFile(const std::string& name) { return name + "-drawing.html"; }

std::string viewUrl(const std::string& name, const View& view) {
  return drawingFile(name) + (*view.id ? std::string("#") + view.id : std::string());
}

// The merged flowchart drawn and written as the page of its views, with a
// way back; why, when it cannot be drawn.
errors::Status writeDrawing(const MethodDiff& method, const MergedFlow& merged, const std::string& folder,
                            const std::string& name, const std::string& title, std::string& why) {
  if (!pipeline::flowchartTemplate()) {
    why = pipeline::flowchartTemplate().problem().message;
    return errors::Status();
  }
  errors::Result<flowdraw::FlowDrawing> drawn =
      flowdraw::drawMethodFlow(merged.flow, *pipeline::flowchartTemplate(), flowdraw::DrawOptions{});
  if (!drawn) {
    why = drawn.problem().message;
    return errors::Status();
  }
  // Each side's view tells its pages from that side's graph.
  const cfg::MethodFlow baseSide = sideFlow(method, merged, true), headSide = sideFlow(method, merged, false);
  markChanges(merged, *drawn);
  tellPages(merged, baseSide, headSide, *drawn);
  tellSides(merged, baseSide, headSide, *drawn->drawing);
  if (method.head && drawn->drawing->readerAids)
    if (const std::string note = pipeline::hiddenCodeNote(method.head->hiddenCode); !note.empty())
      drawn->drawing->readerAids->notes.push_back(note);
  drawing::HtmlFrame frame;
  frame.titleHtml = asciiHtml(title);
  std::string shown;
  for (const View& view : kViews)
    shown += std::string("<span class=\"in-") + (*view.id ? view.id : "merged") + "\">" + view.caption + "</span>";
  frame.headerHtml = "<span id=\"base\" hidden></span><span id=\"head\" hidden></span><ol class=\"crumbs\"><li><a href=\"" +
                     name + ".html\">" + asciiHtml("\u2190 the method's changes") + "</a></li><li>" + shown + "</li></ol>" +
                     "<p class=\"changes\"><button type=\"button\" data-step=\"previous\">" +
                     asciiHtml("\u2190 previous change (p)") + "</button><button type=\"button\" data-step=\"next\">" +
                     asciiHtml("next change (n) \u2192") + "</button></p>";
  // The drawing script and style come once, from the site's folder, not in every page.
  frame.assetsUrl = "../site/";
  frame.styleHtml = kViewStyle;
  return files::writeAtomically((fs::path(folder) / drawingFile(name)).string(),
                                drawing::drawingHtml(*drawn->drawing, frame));
}

std::string sourceTable(const MethodVersion& side, const char* prefix, const std::set<int32_t>& marked) {
  std::string out = "<table class=\"source\">";
  for (size_t k = 0; k < side.source.size(); ++k) {
    const int32_t line = side.sourceLine + static_cast<int32_t>(k);
    out += std::string("<tr id=\"") + prefix + std::to_string(line) + "\"" +
           (marked.count(line) ? " class=\"marked\"" : "") + "><th>" + std::to_string(line) + "</th><td><code>" +
           htmlEscaped(side.source[k]) + "</code></td></tr>";
  }
  return out + "</table>";
}

std::string lineLinks(const std::vector<int32_t>& lines, const char* prefix) {
  std::string out;
  for (int32_t line : lines)
    out += (out.empty() ? "" : ", ") + std::string("<a href=\"#") + prefix + std::to_string(line) + "\">" +
           std::to_string(line) + "</a>";
  return out;
}

std::string methodPage(const MethodDiff& method, size_t index, const std::string& folder, std::string& problems) {
  const MethodVersion& shown = method.shown();
  const std::string name = pageName(index);
  const std::string title = shown.className + "." + shown.signature;
  std::string body = "<ol class=\"crumbs\"><li><a href=\"../index.html\">index</a></li><li>" + htmlEscaped(shown.file) +
                     "</li><li>" + htmlEscaped(title) + "</li></ol>\n<h1>" + htmlEscaped(title) + " <small>" +
                     std::string(changeName(method.change)) + "</small></h1>\n";
  if (method.change == Change::Renamed || (method.base && method.head && method.base->signature != method.head->signature))
    body += "<p>Was <code>" + htmlEscaped(method.base->className + "." + method.base->signature) + "</code> in " +
            htmlEscaped(method.base->file) + ".</p>\n";
  body += "<table class=\"measures\"><tr><th></th><th>base</th><th>head</th><th>change</th></tr>";
  for (const auto& [label, member] : {std::pair("CC", &Measures::complexity), std::pair("COG", &Measures::cognitive),
                                      std::pair("NLOC", &Measures::nloc)})
    body += std::string("<tr><th>") + label + "</th><td>" + measure(method.base, member) + "</td><td>" +
            measure(method.head, member) + "</td><td>" + delta(method, member) + "</td></tr>";
  body += "</table>\n";
  body += "<p class=\"legend\">Marks: <span class=\"added\">+ added</span> <span class=\"removed\">\u2212 removed</span> "
          "<span class=\"changed\">~ changed</span>; a box's mark leads its text and an arrow's its label, when it has "
          "one; what changed is drawn thick in its colour, what was removed dashed. Base and head are the merged "
          "drawing's layout, each showing only its own side. In a drawing, n and p go to the next and the previous "
          "change.</p>\n";
  // The flowcharts: merged, then base and head side by side, each a view of the one layout.
  std::string why;
  const MergedFlow merged = mergedFlow(method, true);
  if (errors::Status saved = writeDrawing(method, merged, folder, name, title, why); !saved)
    problems += name + ": its drawings cannot be written\n";
  const auto figure = [&](const View& view, bool shown) {
    const std::string caption = view.caption;
    if (!shown) return "<figure><p>no " + caption + "</p></figure>";
    if (!why.empty())
      return "<figure><figcaption>" + caption + "</figcaption><p>not drawn: " + htmlEscaped(why) + "</p></figure>";
    const std::string file = viewUrl(name, view);
    return "<figure><figcaption><a href=\"" + file + "\">" + caption + "</a></figcaption><iframe src=\"" + file +
           "\" title=\"" + caption + "\"" + (*view.id ? "" : " name=\"merged\"") + "></iframe></figure>";
  };
  body += "<section class=\"merged\">" + figure(kViews[0], true) + "</section>\n<section class=\"sides\">" +
          figure(kViews[1], method.base && method.base->flow) + figure(kViews[2], method.head && method.head->flow) +
          "</section>\n";
  // What changed, node by node, linked to the lines of both sides.
  std::set<int32_t> baseMarked, headMarked;
  body += "<h2>Changed nodes</h2>\n<table class=\"nodes\"><tr><th>box</th><th>kind</th><th>text</th><th>base lines</th>"
          "<th>head lines</th></tr>";
  // Each row leads to its box in the merged drawing, by the box's node id there.
  std::vector<std::string> drawnId(method.nodes.size());
  for (size_t g = 0; g < merged.nodeDiffs.size(); ++g)
    for (size_t n = 0; n < merged.nodeDiffs[g].size(); ++n) drawnId[merged.nodeDiffs[g][n]] = cfg::nodeId(g, n);
  for (size_t k = 0; k < method.nodes.size(); ++k) {
    const NodeDiff& node = method.nodes[k];
    if (node.change == Change::Same) continue;
    baseMarked.insert(node.baseLines.begin(), node.baseLines.end());
    headMarked.insert(node.headLines.begin(), node.headLines.end());
    const std::string mark = why.empty() ? "<a href=\"" + drawingFile(name) + "?node=" + drawnId[k] +
                                               "\" target=\"merged\" title=\"show the box\">" + markOf(node.change) + " " +
                                               drawnId[k] + "</a>"
                                         : std::string(markOf(node.change));
    body += std::string("<tr id=\"node-") + drawnId[k] + "\" class=\"" + std::string(changeName(node.change)) + "\"><td>" +
            mark + "</td><td>" + std::string(cfg::kindName(node.kind)) + "</td><td><code>" + htmlEscaped(node.text) + "</code>" +
            (node.change == Change::Changed && node.baseText ? "<br>was <code>" + htmlEscaped(*node.baseText) + "</code>"
                                                             : std::string()) +
            "</td><td>" + lineLinks(node.baseLines, "b") + "</td><td>" + lineLinks(node.headLines, "h") + "</td></tr>";
  }
  body += "</table>\n";
  static const std::vector<Call> kNoCalls;
  const auto [added, removed] =
      callChanges(method.base ? method.base->calls : kNoCalls, method.head ? method.head->calls : kNoCalls);
  body += "<h2>Calls (sequence-diagram messages)</h2>\n<ul class=\"messages\">";
  for (const Call* call : added) body += "<li class=\"added\">+ <code>" + htmlEscaped(call->shown) + "</code></li>";
  for (const Call* call : removed)
    body += "<li class=\"removed\">\u2212 <code>" + htmlEscaped(call->shown) + "</code></li>";
  if (added.empty() && removed.empty()) body += "<li>no call added or removed</li>";
  body += "</ul>\n<h2>Source</h2>\n<section class=\"sides\">";
  body += method.base ? "<figure><figcaption>base: " + htmlEscaped(method.base->file) + "</figcaption>" +
                            sourceTable(*method.base, "b", baseMarked) + "</figure>"
                      : std::string("<figure><p>no base</p></figure>");
  body += method.head ? "<figure><figcaption>head: " + htmlEscaped(method.head->file) + "</figcaption>" +
                            sourceTable(*method.head, "h", headMarked) + "</figure>"
                      : std::string("<figure><p>no head</p></figure>");
  body += "</section>\n";
  return page(title, "../site/", body);
}

std::string indexPage(const Diff& diff) {
  std::string body = "<h1>Control-flow changes: " + htmlEscaped(diff.base) + " \u2192 " + htmlEscaped(diff.head) +
                     "</h1>\n<p>" + std::to_string(diff.methods.size()) + " methods listed, " +
                     std::to_string(diff.unchanged) + " unchanged (reformatted, commented or moved only).</p>\n";
  if (!diff.failures.empty()) {
    body += "<h2>Not compared</h2><ul>";
    for (const FileFailure& failure : diff.failures)
      body += "<li>" + htmlEscaped(failure.file) + ":" + std::to_string(failure.line) + " (" +
              htmlEscaped(failure.side) + "): " + htmlEscaped(failure.message) + "</li>";
    body += "</ul>\n";
  }
  body += "<table class=\"sortable\" id=\"changes\"><thead><tr><th>file</th><th>method</th><th>change</th>"
          "<th>CC before</th><th>CC after</th><th>\u0394CC</th><th>COG before</th><th>COG after</th><th>\u0394COG</th>"
          "<th>\u0394NLOC</th><th>+ nodes</th><th>\u2212 nodes</th><th>~ nodes</th></tr></thead><tbody>\n";
  for (size_t k = 0; k < diff.methods.size(); ++k) {
    const MethodDiff& method = diff.methods[k];
    const MethodVersion& shown = method.shown();
    body += "<tr><td>" + htmlEscaped(shown.file) + ":" + std::to_string(shown.line) + "</td><td><a href=\"methods/" +
            pageName(k) + ".html\">" + htmlEscaped(shown.className + "." + shown.signature) + "</a></td><td>" +
            std::string(changeName(method.change)) + "</td><td>" + measure(method.base, &Measures::complexity) +
            "</td><td>" + measure(method.head, &Measures::complexity) + "</td><td>" +
            delta(method, &Measures::complexity) + "</td><td>" + measure(method.base, &Measures::cognitive) +
            "</td><td>" + measure(method.head, &Measures::cognitive) + "</td><td>" +
            delta(method, &Measures::cognitive) + "</td><td>" + delta(method, &Measures::nloc) + "</td><td>" +
            std::to_string(method.count(Change::Added)) + "</td><td>" + std::to_string(method.count(Change::Removed)) +
            "</td><td>" + std::to_string(method.count(Change::Changed)) + "</td></tr>\n";
  }
  body += "</tbody></table>\n";
  return page("Control-flow changes", "site/", body);
}

}  // namespace

errors::Status startDiffSite(const std::string& folder) {
  std::error_code ec;
  const fs::path root(folder);
  fs::create_directories(root / "site", ec);
  if (!ec) fs::create_directories(root / "methods", ec);
  if (ec) return errors::Problem::fromSystem(folder + ": cannot make the folder", ec.value());
  // The batch site's shared files (its themes and keys among them), and the diff's own style.
  std::vector<std::pair<std::string, std::string>> assets = site::siteAssets();
  assets.emplace_back("diff.css", std::string(kDiffStyle));
  for (const auto& [name, bytes] : assets)
    if (errors::Status saved = files::writeAtomically((root / "site" / name).string(), bytes); !saved) return saved;
  return {};
}

errors::Status writeMethodPage(const Diff& diff, size_t index, const std::string& folder) {
  const fs::path methods = fs::path(folder) / "methods";
  std::string problems;
  if (errors::Status saved = files::writeAtomically((methods / (pageName(index) + ".html")).string(),
                                                    methodPage(diff.methods[index], index, methods.string(), problems));
      !saved)
    return saved;
  if (!problems.empty()) return errors::Problem(errors::Problem::Kind::Failed, problems);
  return {};
}

errors::Status finishDiffSite(const Diff& diff, const std::string& folder) {
  return files::writeAtomically((fs::path(folder) / "index.html").string(), indexPage(diff));
}

}  // namespace diff
