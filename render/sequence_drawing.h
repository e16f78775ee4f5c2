// Draws a UML sequence diagram from a layout file whose nodes and edges
// carry the engine's "zarn" attributes, and saves it (mode 18).
#pragma once

#include <string>

namespace render {

// 0 drawn and saved; -1 when the drawing host, the stencil "UML
// Sequence.vss" or the parsed layout is not available, or the drawing
// could not be saved.
int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath);

}  // namespace render
