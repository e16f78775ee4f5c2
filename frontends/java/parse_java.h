// Mode 7: parses one Java source file into the compressed parse tree, the
// results (metrics) file, the comments file and the status file.  The
// parse itself happens in memory (source_parse.h); this writes what it
// produced.
#pragma once

#include <string>

#include "frontends/java/language_level.h"
#include "frontends/java/source_parse.h"

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

// The same, with each method's Halstead volume in the results file when
// methodVolumes is set: the measure "HV_MTD" after the method's others,
// from the operators and operands met in its body (for tools that show
// it; mode 7 never writes it).
int parseJavaFileWithMethodVolumes(const std::string& sourcePath, const std::string& treePath,
                                   const std::string& commentsPath, const std::string& statusPath,
                                   const std::string& resultsPath, int enumSwitch, int languageLevel,
                                   bool methodVolumes);


struct ParseOutcome {
  int status = 1;  // what parseJavaFileWithMethodVolumes returns
  ParseFailure failure = ParseFailure::None;
  int line = 0;  // where the parse stopped, for Syntax and StackLimit
};

// The most entries the parser's stack grows to: nesting or a list that
// needs more fails with ParseFailure::StackLimit.
int parserStackLimit();

// parseJavaFileWithMethodVolumes, saying why it failed; the files written
// and the status returned are the same.
ParseOutcome parseJavaFileWithOutcome(const std::string& sourcePath, const std::string& treePath,
                                      const std::string& commentsPath, const std::string& statusPath,
                                      const std::string& resultsPath, int enumSwitch, int languageLevel,
                                      bool methodVolumes);

}  // namespace java
