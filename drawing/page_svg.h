// Draws one page as SVG elements: every shape's outline and text,
// connectors with arrowheads, hover texts, and hyperlinks as links.  The
// picture shows the page's content with a margin, not the whole sheet.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/model.h"
#include "drawing/router.h"
#include "drawing/text_layout.h"

namespace drawing {

// SVG user units per inch.
constexpr double kSvgUnits = 96.0;

// Gives the href a hyperlink points to, or the empty text when it leads
// nowhere that can be shown.
using LinkResolver = std::function<std::string(const Hyperlink&)>;

// The index (from 0) of the page a sub-address names: a page name, or
// "page/shape"; -1 when no page has that name.
int targetPage(const Document& drawing, const std::string& subAddress);

// An address that is safe to put into an href (no script or data URLs).
bool safeAddress(std::string_view address);

// A block of text lines placed on the page (inches, y up).
struct PlacedText {
  FittedText text;
  double x = 0.0;             // the centre for "middle", else where the lines start or end
  double centreY = 0.0;       // the middle of the block
  std::string_view anchor;    // "middle", "start" or "end"
  const std::string* color = nullptr;
  bool halo = false;          // a white outline that keeps it readable over lines
  std::string_view className;  // empty for none
  Box box() const;
};

// A page made ready to draw: the routes and placed texts of its shapes,
// and the area the picture shows.
struct PagePicture {
  const Page* page = nullptr;
  bool compact = false;  // see Document::compactPictures
  const std::vector<std::vector<Point>>* routes = nullptr;  // per shape
  std::vector<std::vector<PlacedText>> texts;                // per shape
  // In inches on the page: the extent of every shape, route and text plus
  // a margin; a small area for an empty page.
  Box view;
  bool empty = true;
  double widthUnits() const { return view.width() * kSvgUnits; }
  double heightUnits() const { return view.height() * kSvgUnits; }
};

// Texts are measured and wrapped as the drawing's encoding has them.
PagePicture pagePicture(const Page& page, text::Charset encoding, bool compact = false);

// The font of every text, as an SVG attribute value.
inline constexpr const char* kSvgFont = "DejaVu Sans, Arial, Helvetica, sans-serif";

// Appends the page's elements in SVG user units of 1/96 inch with y
// pointing down; the view's top-left corner lands at (0, top).
void appendPageSvg(std::string& out, const PagePicture& picture, double top,
                   const LinkResolver& resolve);

}  // namespace drawing
