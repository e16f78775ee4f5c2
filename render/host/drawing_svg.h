// The two picture formats of a drawing.
//
// SVG: one document holding every page, stacked top to bottom under its
// name; each page has a view ("view-page-<n>") that hyperlinks lead to.
//
// HTML: one self-contained page with an index of the drawing's pages and
// each page as inline SVG in a section ("page-<n>").  One section shows at
// a time: the one the address names, else the first; hyperlinks such as
// "Open This Block" and "Back" move between them.
#pragma once

#include <cstdint>
#include <string>

#include "render/host/model.h"

namespace host {

std::string drawingSvg(const DocumentModel& drawing);
std::string drawingHtml(const DocumentModel& drawing, uint16_t language);

}  // namespace host
