// The legend of a flowchart's shapes and arrows, as HTML with a small
// picture of each, drawn from the masters themselves so that it always
// matches the drawing.
#pragma once

#include <string>

#include "flowdraw/drawing.h"

namespace flowdraw {

std::string legendHtml(const Masters& masters);

}  // namespace flowdraw
