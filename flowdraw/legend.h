// The legend of a flowchart's shapes and arrows: one SVG picture, drawn
// from the masters themselves so that it always matches the drawing, shown
// in a hideable part of each HTML page, inline or as an image file that
// many pages share.
#pragma once

#include <string>

#include "flowdraw/drawing.h"

namespace flowdraw {

// The legend as a standalone SVG picture; with its own style, it takes
// the dark palette when the viewer's scheme is dark.
std::string legendSvg(const Masters& masters, bool ownStyle = false);

// The hideable legend holding the picture itself.
std::string legendHtml(const Masters& masters);

// The hideable legend showing the picture at a relative address.
std::string linkedLegendHtml(const std::string& pictureUrl);

}  // namespace flowdraw
