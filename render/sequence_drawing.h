// Mode 18: draws a UML sequence diagram from a laid-out graph whose nodes
// and edges carry the engine's "zarn" attributes, and saves it.
#pragma once

#include <string>

namespace render {

// 0 drawn and saved; -1 when the drawing host, the stencil "UML
// Sequence.vss" or the parsed layout is not available, or the drawing
// could not be saved.  The drawing is saved in every case past the
// stencil check.
int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath);

}  // namespace render
