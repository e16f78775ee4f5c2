// Writes a drawing to a file in the format its extension asks for.
#pragma once

#include <cstdint>
#include <string>

#include "render/host/model.h"

namespace host {

enum class DrawingFormat { Svg, Html, Xml };

// ".svg" and ".html"/".htm" (any case) are pictures; everything else is
// the drawing XML.
DrawingFormat formatForPath(const std::string& path);

// Writes through a temporary file renamed over the target, so a failed
// save leaves nothing half-written.  False when it cannot be written.
bool saveDrawing(const DocumentModel& drawing, uint16_t language, const std::string& path);

}  // namespace host
