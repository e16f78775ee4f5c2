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

#include "engine/flowchart_model/blocks_model.h"
#include "engine/flowchart_model/comment_lines.h"
#include "engine/flowchart_model/lookup_check.h"
#include "engine/flowchart_model/model_files.h"
#include "engine/flowchart_model/source_text.h"
#include "xml/document.h"

namespace flowchart {

// What one build needs besides its files.
struct BuildRequest {
  xml::Document* tree = nullptr;
  std::string className;
  int32_t classLine = 0;
  std::string methodName;  // "#Block#" for an initializer block
  int32_t methodLine = 0;
  xml::Document* comments = nullptr;  // may be null
};

class FlowchartBuilder {
 public:
  // The results and the source are read, and the results saved, through files.
  explicit FlowchartBuilder(ModelFiles& files) : files_(files) {}

  // Hands every indexed lookup and shortened walk to the check, which
  // throws std::logic_error where it disagrees (for tests); the model's own
  // lookups are then checked against its searches too.  nullptr for none.
  void setLookupCheck(LookupCheck* check) { check_ = check; }

  // 1 when the model is in the results file afterwards (built now or there
  // before), 0 when it cannot be built.  A DOM or XPath failure during the
  // build throws xml::Error before anything is saved.
  int build(const BuildRequest& request);

 private:
  // A compound statement whose handler has not run yet.
  struct Pending {
    xml::Node statement;
    ModelNode box;
    ModelNode enteredFrom;  // the previous box when its box was made
  };

  // builder.cpp: the driver.
  void reset();
  xml::Node findMethodNode(xml::Document& tree, const std::string& name, int32_t line);
  void walkMethodBody(const xml::Node& method, const xml::Node& func);
  bool saveWithModel();
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
  class Sequencer;  // one statement list's walk
  std::vector<int32_t> sequenceStatements(const xml::NodeList& statements, ModelNode entry, ModelNode exit);
  void dispatchCompound(const Pending& compound, ModelNode next, bool nextIsLoopHead);
  std::string statementKind(const xml::Node& statement);
  bool isCompoundKind(std::string_view kind) const;

  // branches.cpp
  void buildIf(const xml::Node& statement, ModelNode box, ModelNode previous, ModelNode next,
               bool nextIsLoopHead);
  void buildSwitch(const xml::Node& statement, ModelNode box, ModelNode previous, ModelNode next,
                   bool nextIsLoopHead);
  void buildRuleSwitch(const xml::Node& statement, ModelNode box, ModelNode previous, ModelNode next,
                       bool nextIsLoopHead);
  void describeDecision(const xml::Node& statement, ModelNode box, std::string_view keyword);
  ModelNode openBranch(ModelNode decision, ModelNode next, std::string_view text, std::string_view type,
                       std::string_view label);
  void closeBranch(ModelNode folded, int32_t startLine, int32_t endLine);
  void addCommentHint(ModelNode box, int32_t afterLine);

  // loops.cpp
  ModelNode buildLoop(const xml::Node& statement, ModelNode head, ModelNode previous, ModelNode next,
                      bool nextIsLoopHead);
  ModelNode buildDoWhile(const xml::Node& statement, ModelNode doBox, ModelNode previous, ModelNode next,
                         bool nextIsLoopHead);
  void addConditionHint(const xml::Node& statement, ModelNode box, std::string_view query);

  // guarded.cpp
  ModelNode buildGuardedStatement(const xml::Node& statement, ModelNode tryBox, ModelNode previous,
                                  ModelNode next);

  // linking.cpp
  void buildJump(ModelNode box, const xml::Node& statement);
  void linkTrySuccessors(ModelNode container);
  int32_t resolveTryTarget(ModelNode tryBlock);
  int32_t computeDepth(ModelNode container);
  void nestedContainers(ModelNode container, std::vector<ModelNode>& folded, std::vector<ModelNode>& guarded);

  static int32_t topOf(const std::vector<int32_t>& stack) { return stack.empty() ? 0 : stack.back(); }

  ModelFiles& files_;
  LookupCheck* check_ = nullptr;
  xml::Document* commentsDocument_ = nullptr;

  SourceLines sourceLines_;
  std::optional<CommentLines> comments_;
  std::unique_ptr<xml::Document> results_;
  std::optional<BlocksModel> model_;
  xml::Node func_;
  ModelNode root_;

  int32_t blockCounter_ = 0;
  int32_t containerCounter_ = 0;
  std::vector<int32_t> breakTargets_;
  std::vector<int32_t> continueTargets_;
  std::vector<std::string> statementKinds_;
};

}  // namespace flowchart
