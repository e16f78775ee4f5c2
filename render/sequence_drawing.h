// Draws a UML sequence diagram from a laid-out graph whose nodes and edges
// carry the engine's "zarn" attributes: from a layout file and saved (mode
// 18), or from a layout in memory and handed to the caller.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "layout/laid_out_graph.h"
#include "render/host/model.h"

namespace render {

// 0 drawn and saved; -1 when the drawing host, the stencil "UML
// Sequence.vss" or the parsed layout is not available, or the drawing
// could not be saved.
int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath);

// The sequence template and the stencil it opens, as texts.
struct SequenceTemplate {
  std::string_view name;
  std::string_view text;
  std::string_view stencilName;
  std::string_view stencilText;
};

// The drawing of a layout; nullptr when the template or its stencil does
// not open.
std::unique_ptr<host::DocumentModel> drawSequenceDocument(const layout::GraphLayout& layout,
                                                          const SequenceTemplate& sequenceTemplate);

}  // namespace render
