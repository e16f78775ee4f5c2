#include "render/host/drawing_svg.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "render/host/geometry.h"
#include "render/host/page_svg.h"
#include "render/host/text_layout.h"

namespace host {
namespace {

constexpr double kUnits = 96.0;
constexpr double kTitleBand = 36.0;  // SVG units above each page for its name
constexpr double kPageGap = 24.0;

// The area of a page's picture in SVG units, y down from the page's top
// edge: the page itself, widened to take in whatever the drawing puts
// beyond its edges (a layout may place shapes there), so nothing is cut
// off.  Here bottom is the smallest y and top the largest.
Box pageView(const PageModel& page) {
  Box view{0.0, 0.0, page.width * kUnits, page.height * kUnits};
  const std::optional<Box> extent = drawingExtent(page, pageRoutes(page));
  if (!extent) return view;
  constexpr double kOverflowMargin = 24.0;  // room for connector texts and line ends
  const double left = extent->left * kUnits, right = extent->right * kUnits;
  const double high = (page.height - extent->top) * kUnits, low = (page.height - extent->bottom) * kUnits;
  if (left < view.left) view.left = left - kOverflowMargin;
  if (right > view.right) view.right = right + kOverflowMargin;
  if (high < view.bottom) view.bottom = high - kOverflowMargin;
  if (low > view.top) view.top = low + kOverflowMargin;
  return view;
}

LinkResolver resolverFor(const DocumentModel& drawing, std::string_view pagePrefix) {
  return [&drawing, prefix = std::string(pagePrefix)](const HyperlinkModel& link) -> std::string {
    if (!link.address.empty()) {
      if (!safeAddress(link.address)) return {};
      return link.subAddress.empty() ? link.address : link.address + "#" + link.subAddress;
    }
    const int page = targetPage(drawing, link.subAddress);
    if (page < 0) return {};
    return "#" + prefix + std::to_string(page + 1);
  };
}

const char* languageTag(uint16_t id) {
  switch (id) {
    case 1031: return "de-DE";
    case 1033: return "en-US";
    case 1036: return "fr-FR";
    case 1040: return "it-IT";
    case 1043: return "nl-NL";
    case 2057: return "en-GB";
    case 3082: return "es-ES";
    default: return nullptr;
  }
}

std::string escaped(std::string_view text) { return escapeXml(text); }

}  // namespace

std::string drawingSvg(const DocumentModel& drawing) {
  // Pages are stacked top to bottom, each under a band with its name; a
  // page's picture takes in whatever its drawing puts beyond its edges.
  std::vector<Box> views;
  double left = 0.0, right = 0.0, height = 0.0;
  for (const auto& page : drawing.pages) {
    views.push_back(pageView(*page));
    left = std::min(left, views.back().left);
    right = std::max(right, views.back().right);
    height += kTitleBand + views.back().height() + kPageGap;
  }
  const double width = right - left;
  std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
         formatNumber(width) + "\" height=\"" + formatNumber(height) + "\" viewBox=\"" +
         formatNumber(left) + " 0 " + formatNumber(width) + " " + formatNumber(height) + "\">\n";
  out += "<title>" + escaped(drawing.pages.empty() ? drawing.templateName
                                                   : drawing.pages.front()->name) +
         "</title>\n";
  const LinkResolver resolve = resolverFor(drawing, "view-page-");
  double top = 0.0;
  for (size_t i = 0; i < drawing.pages.size(); ++i) {
    const PageModel& page = *drawing.pages[i];
    const Box& view = views[i];
    const std::string number = std::to_string(i + 1);
    out += "<view id=\"view-page-" + number + "\" viewBox=\"" + formatNumber(view.left) + " " +
           formatNumber(top) + " " + formatNumber(std::max(view.width(), 1.0)) + " " +
           formatNumber(kTitleBand + view.height()) + "\"/>\n";
    out += "<g id=\"page-" + number + "\" class=\"page\">\n<title>" + escaped(page.name) +
           "</title>\n";
    out += "<text x=\"" + formatNumber(view.left + 4) + "\" y=\"" + formatNumber(top + kTitleBand - 10) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"18\" "
           "font-weight=\"bold\" fill=\"#333333\">" +
           escaped(page.name) + "</text>\n";
    appendPageSvg(out, page, top + kTitleBand - view.bottom, resolve);
    out += "</g>\n";
    top += kTitleBand + view.height() + kPageGap;
  }
  out += "</svg>\n";
  return out;
}

std::string drawingHtml(const DocumentModel& drawing, uint16_t language) {
  const std::string title =
      drawing.pages.empty() ? drawing.templateName : drawing.pages.front()->name;
  std::string out = "<!DOCTYPE html>\n<html";
  if (const char* tag = languageTag(language)) out += std::string(" lang=\"") + tag + "\"";
  out += ">\n<head>\n<meta charset=\"ISO-8859-1\">\n<title>" + escaped(title) + "</title>\n";
  out +=
      "<style>\n"
      "body{margin:0;font-family:\"DejaVu Sans\",Arial,Helvetica,sans-serif;background:#eef0f3;"
      "color:#222}\n"
      "nav{background:#2f3b4c;color:#fff;padding:8px 16px}\n"
      "nav h1{font-size:16px;margin:0 0 4px}\n"
      "nav ol{margin:0;padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:4px 16px}\n"
      "nav a{color:#cfe3ff}\n"
      ".page{display:none;padding:12px 16px}\n"
      ".page:target{display:block}\n"
      "main:not(:has(.page:target)) .page:first-child{display:block}\n"
      ".page h2{font-size:18px;margin:0 0 8px}\n"
      ".page svg{display:block;max-width:100%;height:auto;background:#fff;"
      "box-shadow:0 1px 4px rgba(0,0,0,.25)}\n"
      "a.hyperlink{cursor:pointer}\n"
      "a.hyperlink:hover path,a.hyperlink:hover rect{stroke-width:3}\n"
      "</style>\n</head>\n<body>\n";
  out += "<nav>\n<h1>" + escaped(title) + "</h1>\n<ol class=\"index\">\n";
  for (size_t i = 0; i < drawing.pages.size(); ++i)
    out += "<li><a href=\"#page-" + std::to_string(i + 1) + "\">" +
           escaped(drawing.pages[i]->name) + "</a></li>\n";
  out += "</ol>\n</nav>\n<main>\n";
  const LinkResolver resolve = resolverFor(drawing, "page-");
  for (size_t i = 0; i < drawing.pages.size(); ++i) {
    const PageModel& page = *drawing.pages[i];
    const Box view = pageView(page);
    out += "<section class=\"page\" id=\"page-" + std::to_string(i + 1) + "\" data-name=\"" +
           escaped(page.name) + "\">\n<h2>" + escaped(page.name) + "</h2>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + formatNumber(view.width()) +
           "\" height=\"" + formatNumber(view.height()) + "\" viewBox=\"" + formatNumber(view.left) + " " +
           formatNumber(view.bottom) + " " + formatNumber(view.width()) + " " + formatNumber(view.height()) +
           "\">\n";
    const bool overflows = view.left < 0 || view.bottom < 0 || view.right > page.width * kUnits ||
                           view.top > page.height * kUnits;
    if (overflows)
      out += "<rect x=\"0\" y=\"0\" width=\"" + formatNumber(page.width * kUnits) + "\" height=\"" +
             formatNumber(page.height * kUnits) +
             "\" fill=\"none\" stroke=\"#b8c0cc\" stroke-dasharray=\"6 4\"/>\n";
    appendPageSvg(out, page, 0.0, resolve);
    out += "</svg>\n</section>\n";
  }
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace host
