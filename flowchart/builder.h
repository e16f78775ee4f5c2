// The flowchart model builder: turns the parse tree of one method,
// constructor or initializer block into its blocks model and stores it
// under the method's "func" element in the results file.
//
// The builder's working state lives in this one object; the statement
// handlers are its methods, split across files by statement kind:
// builder.cpp (driver), sequencing.cpp, branches.cpp (if, switch),
// loops.cpp, guarded.cpp (try, synchronized), linking.cpp (jumps, try
// edges, depth).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flowchart/blocks_model.h"
#include "flowchart/comment_lines.h"
#include "flowchart/source_text.h"
#include "flowchart/xml/document.h"

namespace flowchart {

// What one build needs besides the source path.
struct BuildRequest {
  std::string workFolder;  // holds "results.xml"
  xml::Document* tree = nullptr;
  std::string className;
  int32_t classLine = 0;
  std::string methodName;  // "#Block#" for an initializer block
  int32_t methodLine = 0;
  xml::Document* comments = nullptr;  // may be null
};

class FlowchartBuilder {
 public:
  explicit FlowchartBuilder(std::string sourcePath) : sourcePath_(std::move(sourcePath)) {}

  // Runs every indexed lookup and shortened walk also as its query and
  // throws std::logic_error where they differ (for tests).
  void setCrossCheck(bool on) { crossCheck_ = on; }

  // 1 when the model is in the results file afterwards (built now or there
  // before), 0 when it cannot be built.  A DOM or XPath failure during the
  // build throws xml::Error before anything is saved.
  int build(const BuildRequest& request);

 private:
  // A compound statement whose handler has not run yet.
  struct Pending {
    xml::Node statement;
    xml::Node box;
    xml::Node enteredFrom;  // the previous box when its box was made
  };

  // builder.cpp: the driver.
  void reset();
  xml::Node findMethodNode(xml::Document& tree, const std::string& name, int32_t line);
  void walkMethodBody(const xml::Node& method, const xml::Node& func);
  std::string commentTextBetween(int32_t a, int32_t b);
  int32_t takeBlockId() { return blockCounter_++; }
  int32_t takeContainerId() { return containerCounter_++; }

  // Parse-tree lookups, checked against their queries when asked to.
  std::string firstLineText(const xml::Node& node);
  std::string lastLineText(const xml::Node& node);
  int32_t firstLine(const xml::Node& node);
  int32_t lastLine(const xml::Node& node);
  xml::Node lastLinedElement(const xml::Node& node, bool includeSelf);
  std::string sourceText(const xml::Node& node);

  // sequencing.cpp
  std::vector<int32_t> sequenceStatements(const xml::NodeList& statements, const xml::Node& entry,
                                          const xml::Node& exit);
  void dispatchCompound(const Pending& compound, const xml::Node& next, bool nextIsLoopHead);
  std::string statementKind(const xml::Node& statement);
  bool isCompoundKind(std::string_view kind) const;

  // branches.cpp
  void buildIf(const xml::Node& statement, const xml::Node& box, const xml::Node& previous,
               const xml::Node& next, bool nextIsLoopHead);
  void buildSwitch(const xml::Node& statement, const xml::Node& box, const xml::Node& previous,
                   const xml::Node& next, bool nextIsLoopHead);
  void describeDecision(const xml::Node& statement, const xml::Node& box, std::string_view keyword);
  xml::Node openBranch(const xml::Node& decision, const xml::Node& next, std::string_view text,
                       std::string_view type, std::string_view label);
  void closeBranch(const xml::Node& folded, int32_t startLine, int32_t endLine);
  void addCommentHint(const xml::Node& box, int32_t afterLine);

  // loops.cpp
  xml::Node buildLoop(const xml::Node& statement, const xml::Node& head, const xml::Node& previous,
                      const xml::Node& next, bool nextIsLoopHead);
  xml::Node buildDoWhile(const xml::Node& statement, const xml::Node& doBox,
                         const xml::Node& previous, const xml::Node& next, bool nextIsLoopHead);
  void addConditionHint(const xml::Node& statement, const xml::Node& box, std::string_view query);

  // guarded.cpp
  xml::Node buildGuardedStatement(const xml::Node& statement, const xml::Node& tryBox,
                                  const xml::Node& previous, const xml::Node& next);

  // linking.cpp
  void buildJump(const xml::Node& box, const xml::Node& statement);
  void linkTrySuccessors(const xml::Node& container);
  int32_t resolveTryTarget(const xml::Node& tryBlock);
  int32_t computeDepth(const xml::Node& container);
  void nestedContainers(const xml::Node& container, xml::NodeList& folded, xml::NodeList& guarded);

  static int32_t topOf(const std::vector<int32_t>& stack) { return stack.empty() ? 0 : stack.back(); }

  std::string sourcePath_;
  bool crossCheck_ = false;

  SourceLines sourceLines_;
  std::optional<CommentLines> comments_;
  std::unique_ptr<xml::Document> results_;
  std::optional<BlocksModel> model_;
  xml::Node func_;
  xml::Node root_;

  int32_t blockCounter_ = 0;
  int32_t containerCounter_ = 0;
  std::vector<int32_t> breakTargets_;
  std::vector<int32_t> continueTargets_;
  std::vector<std::string> statementKinds_;
};

}  // namespace flowchart
