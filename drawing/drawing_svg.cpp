#include "drawing/drawing_svg.h"

#include <algorithm>

#include "drawing/drawing_assets.h"
#include "drawing/page_svg.h"
#include "drawing/text_layout.h"
#include "drawing/theme.h"

namespace drawing {
namespace {

constexpr double kTitleBand = 36.0;  // SVG units above each page for its name
constexpr double kTitleSize = 18.0;  // SVG units
constexpr double kPageGap = 24.0;

LinkResolver resolverFor(const Document& drawing, std::string_view pagePrefix) {
  return [&drawing, prefix = std::string(pagePrefix)](const Hyperlink& link) -> std::string {
    if (!link.address.empty()) {
      if (!safeAddress(link.address)) return {};
      return link.subAddress.empty() ? link.address : link.address + "#" + link.subAddress;
    }
    const int page = targetPage(drawing, link.subAddress);
    if (page < 0) return {};
    return "#" + prefix + std::to_string(page + 1);
  };
}

std::string escaped(std::string_view text) { return escapeXml(text); }

// The masters a drawing's shapes are drawn with: its own and those of the
// stencils it opened.
std::vector<std::shared_ptr<const Master>> usedMasters(const Document& drawing) {
  std::vector<std::shared_ptr<const Master>> masters = drawing.masters;
  for (const auto& page : drawing.pages)
    for (const auto& shape : page->shapes)
      if (std::none_of(masters.begin(), masters.end(), [&](const auto& m) { return m->name == shape->master->name; }))
        masters.push_back(shape->master);
  return masters;
}

std::string drawingTitle(const Document& drawing) {
  return drawing.pages.empty() ? drawing.templateName : drawing.pages.front()->name;
}


// What a site's shared style sheet adds: its pages' breadcrumbs.
constexpr const char* kCrumbStyle =
    "nav ol.crumbs{font-size:13px;margin-bottom:4px;color:#cfd8e3}\n"
    "nav ol.crumbs li+li::before{content:\"\\203A\";margin-right:8px;color:#8fa1b8}\n"
    "nav ol.crumbs li{overflow-wrap:anywhere}\n"
    "nav h1{overflow-wrap:anywhere}\n";


constexpr const char* kTools =
    "<div class=\"tools\" hidden><button type=\"button\" data-key=\"+\" title=\"Zoom in (+)\">+"
    "</button><button type=\"button\" data-key=\"-\" title=\"Zoom out (-)\">&#8722;</button>"
    "<button type=\"button\" data-key=\"0\" title=\"Fit the whole picture (0)\">Fit</button> "
    "Drag to move, wheel to zoom, arrow keys to scroll.</div>\n";

void appendHtmlPage(std::string& out, const NamedDrawing& named, size_t drawingIndex, size_t pageIndex) {
  const Page& page = *named.drawing->pages[pageIndex];
  const PagePicture picture = pagePicture(page, named.drawing->encoding, named.drawing->compactPictures);
  const std::string width = formatNumber(picture.widthUnits());
  const std::string height = formatNumber(picture.heightUnits());
  out += "<section class=\"page\" id=\"" + escaped(named.idPrefix) + "page-" +
         std::to_string(pageIndex + 1) + "\" data-name=\"" + escaped(page.name) +
         "\" data-drawing=\"" + std::to_string(drawingIndex) + "\">\n<h2>";
  if (!named.title.empty()) out += escaped(named.title) + " &#8250; ";
  out += escaped(page.name) + "</h2>\n<div class=\"view\">\n";
  // A page with headers kept in sight (lifelines) is read from the top
  // down rather than seen whole: it carries its smallest text's size in
  // SVG units, so that the script opens it at a zoom where that is read.
  const bool headed = std::any_of(page.shapes.begin(), page.shapes.end(), [](const auto& shape) {
    return std::any_of(shape->master->outline.begin(), shape->master->outline.end(),
                       [](const OutlinePart& part) { return part.kind == OutlinePart::Kind::Lifeline; });
  });
  double smallest = 0.0;
  for (const auto& texts : picture.texts)
    for (const PlacedText& text : texts)
      if (headed && (smallest == 0.0 || text.text.fontSize < smallest)) smallest = text.text.fontSize;
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
         "\" viewBox=\"0 0 " + width + " " + height + "\"";
  if (smallest > 0.0) out += " data-min-text=\"" + formatNumber(smallest * kSvgUnits / 72.0) + "\"";
  if (named.drawing->compactPictures) out += std::string(" font-family=\"") + kSvgFont + "\" text-anchor=\"middle\"";
  if (!page.description.empty()) out += " role=\"graphics-document\"";
  out += ">\n";
  if (!page.description.empty()) {
    // A view of the drawing that tells a page otherwise finds its words
    // beside the whole drawing's (its page script puts them in).
    std::string told;
    for (const auto& [view, description] : page.descriptionsTold)
      told += " data-told-" + view + "=\"" + escaped(description) + "\"";
    out += "<title>" + escaped(page.name) + "</title>\n<desc" + told + ">" + escaped(page.description) + "</desc>\n";
  }
  appendPageSvg(out, picture, 0.0, resolverFor(*named.drawing, named.idPrefix + "page-"));
  out += "</svg>\n</div>\n</section>\n";
}

}  // namespace

std::string drawingSvg(const Document& drawing, std::string_view theme) {
  // Pages are stacked top to bottom, each under a band with its name.
  std::vector<PagePicture> pictures;
  double width = 1.0, height = 0.0;
  for (const auto& page : drawing.pages) {
    pictures.push_back(pagePicture(*page, drawing.encoding, drawing.compactPictures));
    // The page's name, bold, fits too.
    const double nameWidth =
        textWidth(page->name, kTitleSize * 72.0 / kSvgUnits, drawing.encoding) * kSvgUnits * 1.1 + 8;
    width = std::max({width, pictures.back().widthUnits(), nameWidth});
    height += kTitleBand + pictures.back().heightUnits() + kPageGap;
  }
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encodingName(drawing.encoding);
  out += "\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
         formatNumber(width) + "\" height=\"" + formatNumber(height) + "\" viewBox=\"0 0 " +
         formatNumber(width) + " " + formatNumber(height) + "\"" +
         (theme.empty() ? std::string() : " data-theme=\"" + std::string(theme) + "\"") +
         (drawing.compactPictures ? std::string(" font-family=\"") + kSvgFont + "\" text-anchor=\"middle\"" : std::string()) + ">\n";
  out += "<title>" + escaped(drawingTitle(drawing)) + "</title>\n";
  // A drawing told to readers carries its dark palette, for a viewer
  // whose scheme is dark.
  if (drawing.readerAids) out += "<style>\n" + darkDrawingCss(usedMasters(drawing)) + "</style>\n";
  const LinkResolver resolve = resolverFor(drawing, "view-page-");
  double top = 0.0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const PagePicture& picture = pictures[i];
    const std::string& name = drawing.pages[i]->name;
    const std::string number = std::to_string(i + 1);
    const std::string pictureWidth = formatNumber(picture.widthUnits());
    const std::string pictureHeight = formatNumber(picture.heightUnits());
    out += "<view id=\"view-page-" + number + "\" viewBox=\"0 " + formatNumber(top) + " " +
           pictureWidth + " " + formatNumber(kTitleBand + picture.heightUnits()) + "\"/>\n";
    out += "<g id=\"page-" + number + "\" class=\"page\"" +
           (drawing.pages[i]->description.empty() ? std::string()
                                                  : " role=\"graphics-document\" aria-label=\"" + escaped(name) + "\"") +
           ">\n<title>" + escaped(name) + "</title>\n";
    if (!drawing.pages[i]->description.empty()) out += "<desc>" + escaped(drawing.pages[i]->description) + "</desc>\n";
    out += "<text x=\"4\" y=\"" + formatNumber(top + kTitleBand - 10) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" +
           formatNumber(kTitleSize) + "\" "
           "font-weight=\"bold\" fill=\"#333333\"" + (drawing.compactPictures ? " text-anchor=\"start\"" : "") + ">" +
           escaped(name) + "</text>\n";
    out += "<rect x=\"0\" y=\"" + formatNumber(top + kTitleBand) + "\" width=\"" + pictureWidth +
           "\" height=\"" + pictureHeight + "\"" + (drawing.readerAids ? " class=\"sheet\"" : "") +
           " fill=\"#ffffff\" stroke=\"#c8ced6\" stroke-width=\"1\"/>\n";
    appendPageSvg(out, picture, top + kTitleBand, resolve);
    out += "</g>\n";
    top += kTitleBand + picture.heightUnits() + kPageGap;
  }
  out += "</svg>\n";
  return out;
}

namespace {

// Where a box's source lines show: a panel holding the drawing's lines
// (a single page), or the source file's page of a site; with an editor's
// URL, the editor too.  Hidden until a box is opened.
void appendSourcePanel(std::string& out, const ReaderAids& aids, size_t drawingIndex) {
  out += "<aside class=\"source\" hidden aria-labelledby=\"source-title-" + std::to_string(drawingIndex) +
         "\" data-drawing=\"" + std::to_string(drawingIndex) + "\"";
  if (!aids.sourcePageUrl.empty()) out += " data-source-page=\"" + escaped(aids.sourcePageUrl) + "\"";
  if (!aids.editorUrl.empty())
    out += " data-editor=\"" + escaped(aids.editorUrl) + "\" data-path=\"" + escaped(aids.sourcePath) + "\"";
  out += ">\n<h2 id=\"source-title-" + std::to_string(drawingIndex) + "\" tabindex=\"-1\">Source</h2>\n";
  if (!aids.sourceLines.empty()) {
    out += "<ol start=\"" + std::to_string(aids.firstLine) + "\">\n";
    for (const std::string& line : aids.sourceLines) out += "<li>" + escaped(line) + "</li>\n";
    out += "</ol>\n";
  }
  out += "<div class=\"actions\"></div>\n</aside>\n";
}

std::string framedHtml(std::string titleHtml, std::string_view indexHtml, const std::vector<NamedDrawing>& drawings,
                       text::Charset encoding, std::string_view language, const HtmlFrame& frame) {
  std::string out = "<!DOCTYPE html>\n<html";
  if (!language.empty()) out += " lang=\"" + escaped(language) + "\"";
  out += ">\n<head>\n<meta charset=\"";
  out += encodingName(encoding);
  out += "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         titleHtml + "</title>\n";
  if (frame.assetsUrl.empty()) out += "<style>\n" + std::string(kDrawingStyle) + "</style>\n";
  else out += "<link rel=\"stylesheet\" href=\"" + escaped(frame.assetsUrl) + "drawing.css\">\n";
  // Pages of drawings told to readers follow the reader's colour scheme.
  const auto aided = std::find_if(drawings.begin(), drawings.end(), [](const NamedDrawing& named) {
    return named.drawing && named.drawing->readerAids;
  });
  const bool aids = aided != drawings.end();
  if (aids && frame.assetsUrl.empty())
    out += "<style>\n" + std::string(kThemeStyle) + darkDrawingCss(usedMasters(*aided->drawing)) + "</style>\n";
  else if (aids)
    out += "<link rel=\"stylesheet\" href=\"" + escaped(frame.assetsUrl) + "theme.css\">\n";
  out += frame.styleHtml;
  out += "</head>\n<body>\n<nav>\n" + frame.headerHtml + "<h1>" + titleHtml + "</h1>\n";
  for (const NamedDrawing& named : drawings)
    if (named.drawing && named.drawing->readerAids)
      for (const std::string& note : named.drawing->readerAids->notes)
        out += "<p class=\"note\" role=\"note\">" + escaped(note) + "</p>\n";
  if (!indexHtml.empty()) out += "<a class=\"contents\" href=\"#index\">Index</a>\n";
  for (size_t d = 0; d < drawings.size(); ++d) {
    const NamedDrawing& named = drawings[d];
    if (!named.drawing) continue;
    out += "<ol class=\"index\" data-drawing=\"" + std::to_string(d) + "\">\n";
    for (size_t i = 0; i < named.drawing->pages.size(); ++i)
      out += "<li><a href=\"#" + escaped(named.idPrefix) + "page-" + std::to_string(i + 1) + "\">" +
             escaped(named.drawing->pages[i]->name) + "</a></li>\n";
    out += "</ol>\n";
  }
  out += kTools;
  // One legend for the page, from the first drawing that has one.
  for (const NamedDrawing& named : drawings)
    if (named.drawing && !named.drawing->legendHtml.empty()) {
      out += named.drawing->legendHtml;
      break;
    }
  for (size_t d = 0; d < drawings.size(); ++d)
    if (drawings[d].drawing && drawings[d].drawing->readerAids && !drawings[d].drawing->readerAids->outlineHtml.empty())
      out += "<details class=\"outline\" data-drawing=\"" + std::to_string(d) + "\"><summary>Outline</summary>\n" +
             drawings[d].drawing->readerAids->outlineHtml + "</details>\n";
  out += "</nav>\n<main>\n";
  if (!indexHtml.empty()) {
    out += "<section class=\"page contents\" id=\"index\">\n";
    out += indexHtml;
    out += "\n</section>\n";
  }
  for (size_t d = 0; d < drawings.size(); ++d) {
    if (!drawings[d].drawing) continue;
    for (size_t i = 0; i < drawings[d].drawing->pages.size(); ++i)
      appendHtmlPage(out, drawings[d], d, i);
  }
  for (size_t d = 0; d < drawings.size(); ++d)
    if (drawings[d].drawing && drawings[d].drawing->readerAids) appendSourcePanel(out, *drawings[d].drawing->readerAids, d);
  out += "</main>\n";
  if (frame.assetsUrl.empty()) out += "<script>\n" + std::string(kDrawingScript) + "</script>\n";
  else out += "<script src=\"" + escaped(frame.assetsUrl) + "drawing.js\"></script>\n";
  if (aids && frame.assetsUrl.empty()) out += "<script>\n" + std::string(kAccessScript) + "</script>\n";
  else if (aids) out += "<script src=\"" + escaped(frame.assetsUrl) + "access.js\"></script>\n";
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace

std::string drawingStyleSheet() { return std::string(kDrawingStyle) + kCrumbStyle; }
std::string_view drawingScript() { return kDrawingScript; }
std::string_view themeStyleSheet() { return kThemeStyle; }
std::string_view accessScript() { return kAccessScript; }

std::string drawingHtml(const Document& drawing, const HtmlFrame& frame) {
  return framedHtml(frame.titleHtml.empty() ? escaped(drawingTitle(drawing)) : frame.titleHtml, {},
                    {NamedDrawing{"", "", &drawing}}, drawing.encoding, drawing.language, frame);
}

std::string drawingsHtml(std::string_view title, std::string_view indexHtml,
                         const std::vector<NamedDrawing>& drawings, text::Charset encoding,
                         std::string_view language) {
  return framedHtml(escaped(title), indexHtml, drawings, encoding, language, HtmlFrame{});
}

}  // namespace drawing
