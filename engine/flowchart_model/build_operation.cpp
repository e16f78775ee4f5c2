#include "engine/flowchart_model/build_operation.h"

#include "engine/flowchart_model/builder.h"
#include "engine/flowchart_model/folder_lock.h"
#include "engine/flowchart_model/large_stack.h"

namespace flowchart {

int buildFlowchartModel(const std::string& workFolder, xml::Document& tree,
                        const std::string& className, int32_t classLine,
                        const std::string& methodName, int32_t methodLine,
                        const std::string& sourcePath, xml::Document* comments) {
  return buildFlowchartModelWithLockTimeout(workFolder, tree, className, classLine, methodName, methodLine,
                             sourcePath, comments, kResultsLockTimeout);
}

int buildFlowchartModelWithLockTimeout(const std::string& workFolder, xml::Document& tree,
                                       const std::string& className, int32_t classLine,
                                       const std::string& methodName, int32_t methodLine,
                                       const std::string& sourcePath, xml::Document* comments,
                                       std::chrono::milliseconds lockTimeout) {
  // Held from reading results.xml to replacing it, so that a build started
  // meanwhile reads the file with this model in it.
  const FolderLock lock(workFolder + "/.", lockTimeout);
  if (lock.state() == FolderLock::State::TimedOut) return 0;

  BuildRequest request{&tree, className, classLine, methodName, methodLine, comments};
  ModelFolder files(workFolder, sourcePath);
  int result = 0;
  runWithLargeStack([&] {
    FlowchartBuilder builder(files);
    try {
      result = builder.build(request);
    } catch (const xml::Error&) {
      result = 0;  // nothing was saved
    }
  });
  return result;
}

}  // namespace flowchart
