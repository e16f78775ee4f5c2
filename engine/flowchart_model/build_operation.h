// Mode 8's operation: build the flowchart model of one method into the
// results file of its working folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "xml/document.h"

namespace flowchart {

// How long a build waits for other builds into the same results file.
inline constexpr std::chrono::milliseconds kResultsLockTimeout{60000};

// 1 when the model is in workFolder/results.xml afterwards, 0 when it
// cannot be built.  A DOM or XPath failure ends the build with 0 and
// leaves the results file as it was.  The build runs on a thread with a
// large stack, so deeply nested methods cannot overflow it.  Builds into
// one working folder, from any process or thread, take turns (see
// FolderLock); one that cannot have its turn within lockTimeout answers 0
// and leaves the file alone.
int buildFlowchartModel(const std::string& workFolder, xml::Document& tree,
                        const std::string& className, int32_t classLine,
                        const std::string& methodName, int32_t methodLine,
                        const std::string& sourcePath, xml::Document* comments);
int buildFlowchartModelWithLockTimeout(const std::string& workFolder, xml::Document& tree,
                                       const std::string& className, int32_t classLine,
                                       const std::string& methodName, int32_t methodLine,
                                       const std::string& sourcePath, xml::Document* comments,
                                       std::chrono::milliseconds lockTimeout);

}  // namespace flowchart
