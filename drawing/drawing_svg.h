// The two picture formats of a drawing.  A page's picture shows what is
// drawn on it with a margin round it, not the whole page sheet.
//
// SVG: one document holding every page, stacked top to bottom under its
// name; each page has a view ("view-page-<n>") that hyperlinks lead to.
//
// HTML: one self-contained page (inline style and script, nothing loaded
// from elsewhere) with a list of the drawing's pages and each page as
// inline SVG in a section ("page-<n>").  One section shows at a time: the
// one the address names, else the first; hyperlinks such as "Open This
// Block" and "Back" move between them and the browser's history follows.
// The script adds pan and zoom (mouse and keyboard); without it every
// page still shows, scaled to the window's width.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drawing/model.h"

namespace drawing {

// theme "light" or "dark" fixes the picture's colours (its root's
// data-theme); empty: the viewer's scheme chooses.
std::string drawingSvg(const Document& drawing, std::string_view theme = {});

// What a page of a site puts round a drawing.
struct HtmlFrame {
  // Ready HTML (plain ASCII with character references, so that it reads
  // the same in the drawing's encoding): the page's title and heading,
  // empty for the drawing's first page's name; and a fragment (a
  // breadcrumb, an ol of class "crumbs") at the top, may be empty.
  std::string titleHtml;
  std::string headerHtml;
  // The relative URL of the folder holding drawingStyleSheet() as
  // drawing.css and drawingScript() as drawing.js, ending in '/'; the
  // page links them instead of holding them.  Empty: held inline.
  std::string assetsUrl;
  // Ready HTML of the page's own for its head, after the drawing's style
  // (e.g. a style and a script that show one side of a comparison); may be empty.
  std::string styleHtml;
};
// The page's language is the drawing's.
std::string drawingHtml(const Document& drawing, const HtmlFrame& frame = {});

// The style sheet and script the HTML pages hold, for a site to share.
std::string drawingStyleSheet();
std::string_view drawingScript();
// The same for the theme and the reader aids (drawing_assets.h), shared
// as theme.css (with the dark palette of the site's masters,
// theme.h) and access.js in the same folder; every page of a site links
// them.
std::string_view themeStyleSheet();
std::string_view accessScript();

// One drawing of several in one HTML page.
struct NamedDrawing {
  // Put before its page ids ("<idPrefix>page-<n>"), so that each
  // drawing's links stay among its own pages: letters, digits, '-' or
  // '_', different for every drawing.
  std::string idPrefix;
  // Shown in its pages' headings; may be empty.
  std::string title;
  const Document* drawing = nullptr;
};

// Several drawings in one HTML page, as drawingHtml does for one.  A
// non-empty indexHtml is a ready HTML fragment (such as a table linking to
// "#<idPrefix>page-1") shown first, as the section "index"; the texts are
// in the given encoding.
std::string drawingsHtml(std::string_view title, std::string_view indexHtml,
                         const std::vector<NamedDrawing>& drawings, text::Charset encoding,
                         std::string_view language = {});

}  // namespace drawing
