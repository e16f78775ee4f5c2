// The page both drawings start from: US letter, portrait, with the layout
// scale reset.
#pragma once

#include "render/host/host.h"

namespace render {

// Sets the page to 8.5 x 11 inches and resets the layout scale; true when
// the layout, whose bounding box ends at (right, top) in points, is larger
// than that page, so that the page must be fitted to its contents once
// drawn.
bool setUpLetterPage(double right, double top, host::Page& page);

}  // namespace render
