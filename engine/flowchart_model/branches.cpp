// If and switch statements: a decision box, one folded box per branch with
// the branch inside it, and labelled edges both to the folded boxes and to
// the branches' first boxes.
#include "engine/flowchart_model/builder.h"

namespace flowchart {
namespace {

constexpr std::string_view kTrueBranchText = "Folded Block\\n<Double click>";
constexpr std::string_view kFoldedText = "Folded Block";

}  // namespace

void FlowchartBuilder::addConditionHint(const xml::Node& statement, ModelNode box, std::string_view query) {
  model_->appendHint(box, "NO_COND", std::to_string(statement.countNodes(query)));
}

void FlowchartBuilder::addCommentHint(ModelNode box, int32_t afterLine) {
  const int32_t boxLine = model_->getStartLine(box);
  if (int64_t{afterLine} + 1 >= boxLine) return;
  std::string comment = commentTextBetween(afterLine, boxLine);
  if (!comment.empty()) model_->appendHint(box, "COMMENT", comment);
}

void FlowchartBuilder::describeDecision(const xml::Node& statement, ModelNode box, std::string_view keyword) {
  BlocksModel& m = *model_;
  m.setEndLine(box, firstLine(statement.selectSingleNode("SelStmt/CPR")));
  m.setTypeAttr(box, keyword);
  m.setTextAttr(box, std::string(keyword) + "(" + sourceText(statement.selectSingleNode("SelStmt/Expr")) + ")");
  addConditionHint(statement, box, "SelStmt/Expr/descendant::LAND|SelStmt/Expr/descendant::LOR");
}

ModelNode FlowchartBuilder::openBranch(ModelNode decision, ModelNode next, std::string_view text,
                                       std::string_view type, std::string_view label) {
  BlocksModel& m = *model_;
  ModelNode folded = m.createBlock();
  m.setTypeAttr(folded, "block");
  m.setBlockId(folded, takeBlockId());
  m.setTextAttr(folded, text);
  const int32_t foldedId = m.getBlockId(folded);
  m.addLabelledSuccessor(decision, foldedId, type, label);
  m.addSuccessor(folded, m.getBlockId(next));
  m.append(m.currentContainer(), folded);
  const int32_t containerId = takeContainerId();
  m.append(folded, m.createBlocksContainer(containerId));
  m.pushContainer(containerId);
  return folded;
}

void FlowchartBuilder::closeBranch(ModelNode folded, int32_t startLine, int32_t endLine) {
  BlocksModel& m = *model_;
  m.popContainer();
  ModelNode container = m.currentContainer();
  m.remove(container, folded);
  m.append(container, folded);
  m.setStartLine(folded, startLine);
  m.setEndLine(folded, endLine);
}

void FlowchartBuilder::buildIf(const xml::Node& statement, ModelNode box, ModelNode /*previous*/,
                               ModelNode next, bool nextIsLoopHead) {
  BlocksModel& m = *model_;
  describeDecision(statement, box, "if");
  xml::NodeList branches = statement.selectNodes("SelStmt/Stmt");

  // One branch: its statements (braced or single) and its last line.
  auto branchBody = [&](const xml::Node& branch, std::string_view singleQuery, xml::NodeList& list) {
    xml::Node block = branch.selectSingleNode("Blk");
    if (block) {
      list = branch.selectNodes("Blk/Stmt|Blk/LocVarDecln");
      return lastLine(block);
    }
    list = statement.selectNodes(singleQuery);
    return lastLine(branch);
  };

  xml::Node thenBranch = branches.empty() ? xml::Node() : branches[0];
  ModelNode folded = openBranch(box, next, kTrueBranchText, "true|blocks", "true");
  xml::NodeList list;
  int32_t endLine = branchBody(thenBranch, "SelStmt/Stmt[1]", list);
  std::vector<int32_t> ids = sequenceStatements(list, box, next);
  int32_t startLine = m.getStartLine(box);
  if (!ids.empty()) {
    ModelNode first = m.findBlock(root_, ids.front());
    addCommentHint(first, m.getEndLine(box));
    m.addLabelledSuccessor(box, m.getBlockId(first), "true", "true");
    startLine = m.getStartLine(first);
  }
  closeBranch(folded, startLine, endLine);

  if (branches.size() < 2) {
    m.addLabelledSuccessor(box, m.getBlockId(next), nextIsLoopHead ? "false|loop" : "false", "false");
    return;
  }

  folded = openBranch(box, next, kFoldedText, "false|blocks", "false");
  endLine = branchBody(branches[1], "SelStmt/Stmt[2]", list);
  ids = sequenceStatements(list, box, next);
  startLine = m.getStartLine(box);  // an else that makes no box
  if (!ids.empty()) {
    ModelNode first = m.findBlock(root_, ids.front());
    m.addLabelledSuccessor(box, m.getBlockId(first), "false", "false");
    addCommentHint(first, firstLine(statement.selectSingleNode("SelStmt/ELSE")));
    startLine = m.getStartLine(first);
  }
  closeBranch(folded, startLine, endLine);
}

void FlowchartBuilder::buildSwitch(const xml::Node& statement, ModelNode box, ModelNode previous,
                                   ModelNode next, bool nextIsLoopHead) {
  if (statement.selectSingleNode("SelStmt/SwBlk")) {
    buildRuleSwitch(statement, box, previous, next, nextIsLoopHead);
    return;
  }
  BlocksModel& m = *model_;
  describeDecision(statement, box, "switch");
  ModelNode folded = openBranch(box, next, kFoldedText, "true|blocks", "true");
  std::vector<int32_t> ids = sequenceStatements(statement.selectNodes("SelStmt/Blk/Stmt"), box, next);
  if (statement.countNodes("SelStmt/Blk/Stmt/LblStmt/DEFAULT") == 0)
    m.addLabelledSuccessor(box, m.getBlockId(next), nextIsLoopHead ? "false|loop" : "false", "false");
  int32_t startLine = m.getStartLine(box);
  if (!ids.empty()) startLine = m.getStartLine(m.findBlock(root_, ids.front()));
  closeBranch(folded, startLine, lastLine(statement));
}

// A switch with rules ("case 1, 2 -> ..."): each rule is a case group of its
// own, its label box entered from the switch box by a CASE or DEFAULT edge,
// its body after it; the last box of a rule leads to the next box, as no
// rule falls through into the next.
void FlowchartBuilder::buildRuleSwitch(const xml::Node& statement, ModelNode box, ModelNode /*previous*/,
                                       ModelNode next, bool nextIsLoopHead) {
  BlocksModel& m = *model_;
  describeDecision(statement, box, "switch");
  ModelNode folded = openBranch(box, next, kFoldedText, "true|blocks", "true");
  int32_t startLine = m.getStartLine(box);
  bool first = true;
  for (const xml::Node& rule : statement.selectNodes("SelStmt/SwBlk/SwRule")) {
    xml::NodeList list{rule.selectSingleNode("SwLabel")};
    xml::Node body = rule.selectSingleNode("Stmt");
    if (body.selectSingleNode("Blk")) {
      for (const xml::Node& inner : body.selectNodes("Blk/Stmt|Blk/LocVarDecln")) list.push_back(inner);
    } else {
      list.push_back(body);
    }
    std::vector<int32_t> ids = sequenceStatements(list, box, next);
    if (first && !ids.empty()) startLine = m.getStartLine(m.findBlock(root_, ids.front()));
    first = false;
  }
  if (statement.countNodes("SelStmt/SwBlk/SwRule/SwLabel/DEFAULT") == 0)
    m.addLabelledSuccessor(box, m.getBlockId(next), nextIsLoopHead ? "false|loop" : "false", "false");
  closeBranch(folded, startLine, lastLine(statement));
}

}  // namespace flowchart
