// The command dispatcher: argv[1] is the mode, the mode fixes the argument
// count, and the mode's operation gives the exit code.  Nothing is printed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/xml_install.h"
#include "xml/document.h"

namespace engine {

// The operations the modes call.  An empty entry is an operation this
// build does not have: its mode answers 0, as a wrong call does.
struct Operations {
  // Mode 7: source, tree file, comments file, status file, results file,
  // enum switch, language level.
  std::function<int(const std::string& source, const std::string& tree,
                    const std::string& comments, const std::string& status,
                    const std::string& results, int enumSwitch, int languageLevel)>
      parseJava;
  // Mode 8: working folder, parse tree, class name and line, method name and
  // line, source path, comments (nullptr when they did not load).
  std::function<int(const std::string& workFolder, xml::Document& tree,
                    const std::string& className, int classLine,
                    const std::string& methodName, int methodLine,
                    const std::string& sourcePath, xml::Document* comments)>
      buildFlowchart;
  // Mode 17: method layout, work folder, folded block list, template, save path.
  std::function<int(const std::string& layout, const std::string& workFolder,
                    const std::string& foldedList, const std::string& templatePath,
                    const std::string& savePath)>
      drawFlowchart;
  // Mode 18: layout, work folder, save path, template.
  std::function<int(const std::string& layout, const std::string& workFolder,
                    const std::string& savePath, const std::string& templatePath)>
      drawSequence;
  // Modes 11 and 12.
  std::function<int(const std::string& folder)> pack;
  std::function<int(const std::string& archive)> unpack;
  // Mode 8 loads its documents through this (the tree-file loader).
  std::function<std::unique_ptr<xml::Document>(const std::string& path)> loadTree;
  // Mode 15's view of the system.
  InstallPlatform* platform = nullptr;
};

// The operations of this engine build.
Operations engineOperations();

// Runs one mode and returns its exit code.
int dispatch(int argc, char** argv, const Operations& operations);

}  // namespace engine
