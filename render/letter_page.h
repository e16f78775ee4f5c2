// The page both drawings start from: US letter, portrait, with the layout
// scale reset.
#pragma once

#include "xml/document.h"
#include "render/host/host.h"

namespace render {

// Sets the page to 8.5 x 11 inches and resets the layout scale; true when
// the layout (its bounding box) is larger than that page, so that the page
// must be fitted to its contents once drawn.
bool setUpLetterPage(const xml::Node& layoutRoot, host::Page& page);

}  // namespace render
