// Mode 18: draws a UML sequence diagram from a laid-out graph whose nodes
// and edges carry the engine's "zarn" attributes, and saves it.
#pragma once

#include <memory>
#include <string>

#include "render/host/model.h"

namespace render {

// 0 drawn and saved; -1 when the drawing host, the stencil "UML
// Sequence.vss" or the parsed layout is not available, or the drawing
// could not be saved.  The drawing is saved in every case past the
// stencil check.
int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath);

// Draws as drawSequenceDiagram does and hands the drawing to the caller
// instead of saving it; nullptr where drawSequenceDiagram gives -1.
std::unique_ptr<host::DocumentModel> drawSequenceDocument(const std::string& layoutPath,
                                                          const std::string& workFolder,
                                                          const std::string& templatePath);

}  // namespace render
