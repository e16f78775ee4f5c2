// Draws one page as SVG elements: the page sheet, every shape's outline
// and text, connectors with arrowheads, and hyperlinks as links.
#pragma once

#include <functional>
#include <string>

#include "render/host/model.h"

namespace host {

// Gives the href a hyperlink points to, or the empty text when it leads
// nowhere that can be shown.
using LinkResolver = std::function<std::string(const HyperlinkModel&)>;

// The index (from 0) of the page a sub-address names: a page name, or
// "page/shape"; -1 when no page has that name.
int targetPage(const DocumentModel& drawing, const std::string& subAddress);

// An address that is safe to put into an href (no script or data URLs).
bool safeAddress(std::string_view address);

// Appends the page's elements, in SVG user units of 1/96 inch with y
// pointing down, the page's top-left corner at (0, top).
void appendPageSvg(std::string& out, const PageModel& page, double top,
                   const LinkResolver& resolve);

}  // namespace host
