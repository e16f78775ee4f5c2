// Mode 7: parses one Java source file into the compressed parse tree, the
// results (metrics) file, the comments file and the status file.
#pragma once

#include <string>

#include "frontends/java/language_level.h"

namespace java {

// 0 when the file was parsed and its tree, results, comments and status
// all replaced; 1 when it is not a readable regular file, did not parse, or
// the outputs could not all be written (the earlier ones are then kept,
// and the status says the parse failed or is removed); 2 after a fatal
// scanner error (its message is printed to standard error).
// languageLevel: below kFirstModernLevel (0, say) the Java 5 grammar; from
// it up to kNewestLanguageLevel the Java language of that release; above
// it the newest.
int parseJavaFile(const std::string& sourcePath, const std::string& treePath,
                  const std::string& commentsPath, const std::string& statusPath,
                  const std::string& resultsPath, int enumSwitch, int languageLevel);

}  // namespace java
