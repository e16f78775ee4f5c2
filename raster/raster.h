// Our SVG pictures as PNG and PDF, drawn by librsvg with cairo, for slides
// and printed handouts.  The same SVG gives the same bytes every time: the
// PDF's creation date is fixed rather than the clock's.
#pragma once

#include <string>
#include <string_view>

#include "errors/problem.h"

namespace raster {

// The whole picture at `scale` times the SVG's size in pixels.
errors::Result<std::string> pngFromSvg(std::string_view svg, double scale = 2.0);

// One PDF page for each group the SVG marks as a page (id "page-1",
// "page-2", ...), each page the size of what it shows: the extent of its
// view ("view-page-1", ...), else of what its group draws; the whole
// picture on one page when it marks none.  Texts stay text: they can be
// selected and searched.
errors::Result<std::string> pdfFromSvg(std::string_view svg, std::string_view title = {});

}  // namespace raster
