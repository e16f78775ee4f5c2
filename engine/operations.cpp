// Wires the modes to the operations of this build.
#include "engine/archive.h"
#include "engine/dispatcher.h"
#include "xml/tree_file.h"
#include "engine/flowchart_model/build_operation.h"
#include "frontends/java/parse_java.h"
#include "render/flowchart_drawing.h"
#include "render/sequence_drawing.h"

namespace engine {

Operations engineOperations() {
  Operations ops;
  ops.parseJava = java::parseJavaFile;
  ops.drawFlowchart = render::drawFlowchart;
  ops.drawSequence = render::drawSequenceDiagram;
  ops.pack = packFolder;
  ops.unpack = unpackArchive;
  ops.buildFlowchart = flowchart::buildFlowchartModel;
  ops.loadTree = [](const std::string& path) { return xml::loadTreeDocument(path); };
  ops.platform = &systemInstallPlatform();
  return ops;
}

}  // namespace engine
