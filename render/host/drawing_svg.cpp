#include "render/host/drawing_svg.h"

#include <algorithm>

#include "render/host/page_svg.h"
#include "render/host/text_layout.h"

namespace host {
namespace {

constexpr double kTitleBand = 36.0;  // SVG units above each page for its name
constexpr double kTitleSize = 18.0;  // SVG units
constexpr double kPageGap = 24.0;

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

std::string drawingTitle(const DocumentModel& drawing) {
  return drawing.pages.empty() ? drawing.templateName : drawing.pages.front()->name;
}

// Without the script, the section the address names shows, else the first
// one, and pictures scale down to the window's width.  With it (html.js),
// the shown section fills the window below the header and its picture is
// panned and zoomed inside it.
constexpr const char* kStyle = R"CSS(<style>
[hidden]{display:none}
body{margin:0;font-family:"DejaVu Sans",Arial,Helvetica,sans-serif;background:#eef0f3;color:#222}
nav{background:#2f3b4c;color:#fff;padding:8px 16px}
nav h1{font-size:16px;margin:0 0 4px}
nav ol{margin:0;padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:4px 16px}
nav a{color:#cfe3ff}
nav a[aria-current]{color:#fff;font-weight:bold}
nav .tools{margin-top:6px;font-size:12px;color:#b8c4d4}
nav .tools button{font:inherit;min-width:28px;margin-right:4px}
.page{padding:12px 16px}
.page h2{font-size:18px;margin:0 0 8px}
.view{background:#fff;box-shadow:0 1px 4px rgba(0,0,0,.25);width:fit-content;max-width:100%}
.view svg{display:block;max-width:100%;height:auto}
.contents table{border-collapse:collapse;background:#fff}
.contents th,.contents td{padding:3px 10px;border-bottom:1px solid #d8dde4;text-align:left}
a.hyperlink{cursor:pointer}
a.hyperlink:hover path,a.hyperlink:hover rect{stroke-width:3}
html:not(.js) .page{display:none}
html:not(.js) .page:target{display:block}
html:not(.js) main:not(:has(.page:target)) .page:first-child{display:block}
html.js body{height:100vh;display:flex;flex-direction:column;overflow:hidden}
html.js main{flex:1;min-height:0;display:flex;flex-direction:column}
html.js .page{display:none}
html.js .page.shown{display:flex;flex-direction:column;flex:1;min-height:0;overflow:auto}
html.js .view{flex:1;min-height:0;width:auto;overflow:hidden;cursor:grab;touch-action:none;user-select:none}
html.js .view.dragging{cursor:grabbing}
html.js .view svg{width:100%;height:100%;max-width:none}
nav details.legend{margin-top:6px;font-size:12px;color:#e8edf4}
nav details.legend summary{cursor:pointer;color:#cfe3ff}
nav div.legend{margin:4px 0 0;padding:4px;background:#fff;border-radius:3px;width:fit-content;max-width:100%;overflow:auto}
nav div.legend svg,nav div.legend img{display:block}
</style>
)CSS";

// What a site's shared style sheet adds: its pages' breadcrumbs.
constexpr const char* kCrumbStyle =
    "nav ol.crumbs{font-size:13px;margin-bottom:4px;color:#cfd8e3}\n"
    "nav ol.crumbs li+li::before{content:\"\\203A\";margin-right:8px;color:#8fa1b8}\n"
    "nav ol.crumbs li{overflow-wrap:anywhere}\n"
    "nav h1{overflow-wrap:anywhere}\n";

// Shows the section the location hash names (else the first), so that
// links between pages and the browser's back and forward buttons move
// between them; pans and zooms a page's picture by changing its viewBox.
constexpr const char* kScript = R"JS(<script>
(() => {
  'use strict';
  document.documentElement.classList.add('js');
  const pages = [...document.querySelectorAll('main > .page')];
  const tools = document.querySelector('nav .tools');
  const views = new Map();
  let current = null;

  // scale: screen pixels per picture unit; (x, y): the picture point at
  // the view's top-left corner.
  class View {
    constructor(box) {
      this.box = box;
      this.svg = box.querySelector('svg');
      [this.left, this.top, this.width, this.height] =
          this.svg.getAttribute('viewBox').split(/[\s,]+/).map(Number);
      // Headers (the boxes of lifelines) are copied into a layer on top
      // that follows the view down once their own place has left it.
      this.headers = [...this.svg.querySelectorAll('g.header')].map(header => {
        const copy = header.cloneNode(true);
        copy.classList.replace('header', 'kept-header');
        copy.style.display = 'none';
        return {top: +header.dataset.top, copy};
      });
      if (this.headers.length) {
        const layer = document.createElementNS('http://www.w3.org/2000/svg', 'g');
        layer.setAttribute('class', 'kept-headers');
        for (const h of this.headers) layer.appendChild(h.copy);
        this.svg.appendChild(layer);
      }
      this.start();
      // The view changes size with the window and the header above it.
      if (window.ResizeObserver) new ResizeObserver(() => this.apply()).observe(box);
      else window.addEventListener('resize', () => this.apply());
      let drag = null;
      box.addEventListener('wheel', e => {
        e.preventDefault();
        const r = box.getBoundingClientRect();
        const unit = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? 400 : 1;
        this.zoom(Math.exp(-e.deltaY * unit * 0.002), e.clientX - r.left, e.clientY - r.top);
      }, {passive: false});
      box.addEventListener('pointerdown', e => {
        this.dragged = false;
        if (e.button === 0) drag = {id: e.pointerId, x: e.clientX, y: e.clientY, moved: false};
      });
      box.addEventListener('pointermove', e => {
        if (!drag || e.pointerId !== drag.id) return;
        const dx = e.clientX - drag.x, dy = e.clientY - drag.y;
        if (!drag.moved && Math.abs(dx) + Math.abs(dy) < 4) return;
        if (!drag.moved) {
          // Captured only once it moves, so that a plain click still follows a link.
          drag.moved = true;
          box.setPointerCapture(e.pointerId);
          box.classList.add('dragging');
        }
        drag.x = e.clientX;
        drag.y = e.clientY;
        this.pan(dx, dy);
      });
      const end = e => {
        if (!drag || e.pointerId !== drag.id) return;
        this.dragged = drag.moved;
        drag = null;
        box.classList.remove('dragging');
      };
      box.addEventListener('pointerup', end);
      box.addEventListener('pointercancel', end);
      box.addEventListener('dragstart', e => e.preventDefault());
      // A drag that ends on a link does not follow it.
      box.addEventListener('click', e => {
        if (this.dragged) e.preventDefault();
        this.dragged = false;
      }, true);
    }
    size() {
      const r = this.box.getBoundingClientRect();
      return [r.width, r.height];
    }
    // Where a page opens: fitted to the width, unless it gives the size of
    // its smallest text and fitting makes that less than 9 pixels high;
    // then at the zoom that keeps it readable, from the top left corner.
    start() {
      const [w] = this.size();
      if (!w) return;
      const smallest = +this.svg.dataset.minText || 0;
      const readable = smallest ? 9 / smallest : 0;
      if (Math.min(1, w / this.width) >= readable) return this.fit();
      this.scale = readable;
      this.x = this.left;
      this.y = this.top;
      this.apply();
    }
    // The whole width in sight, never enlarged; the top at the top.
    fit() {
      const [w] = this.size();
      if (!w) return;
      this.scale = Math.min(1, w / this.width);
      this.x = this.left - Math.max(0, w / this.scale - this.width) / 2;
      this.y = this.top;
      this.apply();
    }
    apply() {
      const [w, h] = this.size();
      if (!w || !h) return;  // hidden
      if (!this.scale) return this.start();
      const vw = w / this.scale, vh = h / this.scale, keep = 40 / this.scale;
      // Some of the picture stays in sight.
      this.x = Math.min(Math.max(this.x, this.left + keep - vw), this.left + this.width - keep);
      this.y = Math.min(Math.max(this.y, this.top + keep - vh), this.top + this.height - keep);
      this.svg.setAttribute('viewBox', [this.x, this.y, vw, vh].map(n => +n.toFixed(2)).join(' '));
      const margin = 4 / this.scale;
      for (const h of this.headers || []) {
        const down = this.y + margin - h.top;
        h.copy.style.display = down > 0 ? '' : 'none';
        if (down > 0) h.copy.setAttribute('transform', 'translate(0 ' + down.toFixed(2) + ')');
      }
    }
    // Zooms about a point given in pixels from the view's top-left corner.
    zoom(factor, px, py) {
      const scale = Math.min(Math.max(this.scale * factor, 0.02), 32);
      this.x += px / this.scale - px / scale;
      this.y += py / this.scale - py / scale;
      this.scale = scale;
      this.apply();
    }
    zoomAtCentre(factor) {
      const [w, h] = this.size();
      this.zoom(factor, w / 2, h / 2);
    }
    pan(dx, dy) {
      this.x -= dx / this.scale;
      this.y -= dy / this.scale;
      this.apply();
    }
  }

  // Made when its page first shows, so that it fits the real view size.
  function makeView(page) {
    if (views.has(page)) return;
    const box = page.querySelector('.view');
    views.set(page, box && box.querySelector('svg[viewBox]') ? new View(box) : null);
  }

  function show(id) {
    const page = pages.find(p => p.id === id) || pages[0];
    if (!page || page === current) return;
    if (current) current.classList.remove('shown');
    page.classList.add('shown');
    current = page;
    for (const list of document.querySelectorAll('nav ol.index'))
      list.hidden = list.dataset.drawing !== page.dataset.drawing;
    for (const a of document.querySelectorAll('nav a')) {
      if (a.getAttribute('href') === '#' + page.id) a.setAttribute('aria-current', 'page');
      else a.removeAttribute('aria-current');
    }
    if (tools) tools.hidden = !page.querySelector('.view svg[viewBox]');
    makeView(page);
    window.scrollTo(0, 0);
  }

  function showHash() {
    let id = location.hash.slice(1);
    try { id = decodeURIComponent(id); } catch (e) { /* keep it as it is */ }
    show(id);
  }

  const keys = {
    '+': v => v.zoomAtCentre(1.25), '=': v => v.zoomAtCentre(1.25),
    '-': v => v.zoomAtCentre(0.8), '_': v => v.zoomAtCentre(0.8), '0': v => v.fit(),
    ArrowLeft: v => v.pan(60, 0), ArrowRight: v => v.pan(-60, 0),
    ArrowUp: v => v.pan(0, 60), ArrowDown: v => v.pan(0, -60),
  };
  document.addEventListener('keydown', e => {
    const v = current && views.get(current);
    const act = keys[e.key];
    if (!v || !act || e.ctrlKey || e.metaKey || e.altKey) return;
    if (/^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;
    e.preventDefault();
    act(v);
  });
  if (tools) {
    tools.addEventListener('click', e => {
      const button = e.target.closest('button');
      const v = current && views.get(current);
      if (button && v) keys[button.dataset.key](v);
    });
  }
  window.addEventListener('hashchange', showHash);
  showHash();
})();
</script>
)JS";

constexpr const char* kTools =
    "<div class=\"tools\" hidden><button type=\"button\" data-key=\"+\" title=\"Zoom in (+)\">+"
    "</button><button type=\"button\" data-key=\"-\" title=\"Zoom out (-)\">&#8722;</button>"
    "<button type=\"button\" data-key=\"0\" title=\"Fit to the width (0)\">Fit</button> "
    "Drag to move, wheel to zoom, arrow keys to scroll.</div>\n";

void appendHtmlPage(std::string& out, const NamedDrawing& named, size_t drawingIndex, size_t pageIndex) {
  const PageModel& page = *named.drawing->pages[pageIndex];
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
  out += ">\n";
  appendPageSvg(out, picture, 0.0, resolverFor(*named.drawing, named.idPrefix + "page-"));
  out += "</svg>\n</div>\n</section>\n";
}

}  // namespace

std::string drawingSvg(const DocumentModel& drawing) {
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
         (drawing.compactPictures ? std::string(" font-family=\"") + kSvgFont + "\" text-anchor=\"middle\"" : std::string()) + ">\n";
  out += "<title>" + escaped(drawingTitle(drawing)) + "</title>\n";
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
    out += "<g id=\"page-" + number + "\" class=\"page\">\n<title>" + escaped(name) + "</title>\n";
    out += "<text x=\"4\" y=\"" + formatNumber(top + kTitleBand - 10) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" +
           formatNumber(kTitleSize) + "\" "
           "font-weight=\"bold\" fill=\"#333333\"" + (drawing.compactPictures ? " text-anchor=\"start\"" : "") + ">" +
           escaped(name) + "</text>\n";
    out += "<rect x=\"0\" y=\"" + formatNumber(top + kTitleBand) + "\" width=\"" + pictureWidth +
           "\" height=\"" + pictureHeight + "\" fill=\"#ffffff\" stroke=\"#c8ced6\" stroke-width=\"1\"/>\n";
    appendPageSvg(out, picture, top + kTitleBand, resolve);
    out += "</g>\n";
    top += kTitleBand + picture.heightUnits() + kPageGap;
  }
  out += "</svg>\n";
  return out;
}

namespace {

// The text between a block's opening and closing tags.
std::string_view tagContent(std::string_view block) {
  const size_t open = block.find('>') + 1;
  const size_t close = block.rfind("</");
  return block.substr(open, close - open);
}

std::string framedHtml(std::string titleHtml, std::string_view indexHtml, const std::vector<NamedDrawing>& drawings,
                       text::Charset encoding, uint16_t language, const HtmlFrame& frame) {
  std::string out = "<!DOCTYPE html>\n<html";
  if (const char* tag = languageTag(language)) out += std::string(" lang=\"") + tag + "\"";
  out += ">\n<head>\n<meta charset=\"";
  out += encodingName(encoding);
  out += "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         titleHtml + "</title>\n";
  if (frame.assetsUrl.empty()) out += kStyle;
  else out += "<link rel=\"stylesheet\" href=\"" + escaped(frame.assetsUrl) + "drawing.css\">\n";
  out += "</head>\n<body>\n<nav>\n" + frame.headerHtml + "<h1>" + titleHtml + "</h1>\n";
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
  out += "</main>\n";
  if (frame.assetsUrl.empty()) out += kScript;
  else out += "<script src=\"" + escaped(frame.assetsUrl) + "drawing.js\"></script>\n";
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace

std::string drawingStyleSheet() { return std::string(tagContent(kStyle)) + kCrumbStyle; }
std::string_view drawingScript() { return tagContent(kScript); }

std::string drawingHtml(const DocumentModel& drawing, uint16_t language) {
  return drawingHtml(drawing, language, HtmlFrame{});
}

std::string drawingHtml(const DocumentModel& drawing, uint16_t language, const HtmlFrame& frame) {
  return framedHtml(frame.titleHtml.empty() ? escaped(drawingTitle(drawing)) : frame.titleHtml, {},
                    {NamedDrawing{"", "", &drawing}}, drawing.encoding, language, frame);
}

std::string drawingsHtml(std::string_view title, std::string_view indexHtml,
                         const std::vector<NamedDrawing>& drawings, text::Charset encoding,
                         uint16_t language) {
  return framedHtml(escaped(title), indexHtml, drawings, encoding, language, HtmlFrame{});
}

}  // namespace host
