// Writes a drawing to a file in the format its extension asks for.
#pragma once

#include <string>

#include "errors/problem.h"
#include "drawing/drawing_xml.h"
#include "drawing/model.h"

namespace drawing {

enum class DrawingFormat { Svg, Html, Xml };

// ".svg" and ".html"/".htm" (any case) are pictures; everything else is
// the drawing XML.
DrawingFormat formatForPath(const std::string& path);

// Writes through a temporary file renamed over the target, so a failed
// save leaves nothing half-written; the system's reason when it cannot
// be written.
errors::Status saveDrawing(const Document& drawing, const std::string& path, const XmlExtras* extras = nullptr);

}  // namespace drawing
