// Loops: for and while become a head, a folded body and an end block that
// leads back to the head; do-while becomes a "do" box, a folded body and
// the condition box after it.
#include <cctype>

#include "engine/flowchart_model/builder.h"

namespace flowchart {
namespace {

constexpr std::string_view kConditionOperators =
    "IterStmt/Expr/descendant::LAND|IterStmt/Expr/descendant::LOR";

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

ModelNode FlowchartBuilder::buildLoop(const xml::Node& statement, ModelNode head, ModelNode /*previous*/,
                                      ModelNode next, bool nextIsLoopHead) {
  BlocksModel& m = *model_;
  continueTargets_.push_back(m.getBlockId(head));

  const std::string keyword = lowerCase(statement.selectSingleNode("IterStmt/*[1]").name());
  m.setTypeAttr(head, keyword);
  const int32_t headEnd = firstLine(statement.selectSingleNode("IterStmt/CPR"));
  m.setEndLine(head, headEnd);
  addConditionHint(statement, head, kConditionOperators);

  std::string text;
  for (const xml::Node& child : statement.selectNodes("IterStmt/*")) {
    text += sourceText(child);
    if (child.name() == "CPR") break;
  }
  m.setTextAttr(head, text);

  ModelNode folded = m.createBlock();
  m.setTypeAttr(folded, "block");
  m.setBlockId(folded, blockCounter_);
  m.setTextAttr(folded, "Folded Block");
  m.addLabelledSuccessor(head, blockCounter_, "true|blocks", "true");
  takeBlockId();
  m.append(m.currentContainer(), folded);

  const int32_t containerId = takeContainerId();
  m.append(folded, m.createBlocksContainer(containerId));
  m.pushContainer(containerId);

  const int32_t lastTokenLine = firstLine(lastLinedElement(statement, false));

  ModelNode end = m.createBlock();
  m.setBlockId(end, blockCounter_);
  m.addSuccessor(folded, blockCounter_);
  takeBlockId();
  const std::string endType = "end-" + keyword;
  m.setTypeAttr(end, endType);
  m.setTextAttr(end, endType);
  m.setStartLine(end, lastTokenLine);
  m.setEndLine(end, lastTokenLine);
  m.append(m.currentContainer(), end);
  m.addTypedSuccessor(end, m.getBlockId(head), "loop");

  int32_t foldedStart = m.getStartLine(head);
  xml::Node bodyStatement = statement.selectSingleNode("IterStmt/Stmt");
  xml::NodeList list = bodyStatement.selectSingleNode("Blk")
                           ? statement.selectNodes("IterStmt/Stmt/Blk/Stmt|IterStmt/Stmt/Blk/LocVarDecln")
                           : statement.selectNodes("IterStmt/Stmt");
  std::vector<int32_t> ids = sequenceStatements(list, head, end);
  ModelNode first;
  if (!ids.empty()) {
    first = m.findBlock(root_, ids.front());
    addCommentHint(first, headEnd);
    m.addLabelledSuccessor(head, m.getBlockId(first), "true", "true");
    foldedStart = m.getStartLine(first);
  }

  if (nextIsLoopHead) {
    m.addLabelledSuccessor(head, m.getBlockId(next), "false|loop", "false");
  } else {
    m.addLabelledSuccessor(head, m.getBlockId(next), "false", "false");
    m.addLabelledSuccessor(end, m.getBlockId(next), "false", "false");
  }

  // Both containers are looked up before the end block leaves the body's.
  ModelNode body = m.currentContainer();
  m.popContainer();
  ModelNode container = m.currentContainer();
  m.remove(body, end);
  m.append(container, end);
  m.remove(container, folded);
  m.append(container, folded);
  m.setStartLine(folded, foldedStart);
  m.setEndLine(folded, lastLine(statement));

  continueTargets_.pop_back();
  return first;
}

ModelNode FlowchartBuilder::buildDoWhile(const xml::Node& statement, ModelNode doBox, ModelNode previous,
                                         ModelNode next, bool nextIsLoopHead) {
  BlocksModel& m = *model_;
  ModelNode earlier = m.firstSuccessor(doBox);
  if (earlier) m.remove(m.tree().parent(earlier), earlier);

  continueTargets_.push_back(m.getBlockId(doBox));
  breakTargets_.push_back(m.getBlockId(next));

  const int32_t doLine = firstLine(statement.selectSingleNode("IterStmt/DO"));
  m.setEndLine(doBox, doLine);
  m.setTypeAttr(doBox, "do");
  m.setTextAttr(doBox, "do");

  ModelNode condition = m.createBlock();
  m.setBlockId(condition, takeBlockId());
  m.append(m.currentContainer(), condition);
  const int32_t whileLine = firstLine(statement.selectSingleNode("IterStmt/WHILE"));
  m.setStartLine(condition, whileLine);
  m.setEndLine(condition, whileLine);
  m.setTypeAttr(condition, "dowhile");
  m.setTextAttr(condition, "while(" + sourceText(statement.selectSingleNode("IterStmt/Expr")) + ")");
  addConditionHint(statement, condition, kConditionOperators);

  ModelNode folded = m.createBlock();
  m.setTypeAttr(folded, "block");
  m.setBlockId(folded, blockCounter_);
  m.setTextAttr(folded, "Folded Block");
  m.addSuccessor(doBox, blockCounter_);
  m.addSuccessor(folded, m.getBlockId(condition));
  m.addLabelledSuccessor(condition, blockCounter_, "true|blocks", "true");
  takeBlockId();
  m.append(m.currentContainer(), folded);

  const int32_t containerId = takeContainerId();
  m.append(folded, m.createBlocksContainer(containerId));
  m.pushContainer(containerId);

  xml::Node body = statement.selectSingleNode("IterStmt/Stmt");
  xml::NodeList list = body.selectSingleNode("Blk") ? body.selectNodes("Blk/Stmt|Blk/LocVarDecln")
                                                    : statement.selectNodes("IterStmt/Stmt");
  std::vector<int32_t> ids = sequenceStatements(list, previous, condition);
  int32_t foldedStart = m.getStartLine(doBox);
  if (!ids.empty()) {
    ModelNode first = m.findBlock(root_, ids.front());
    addCommentHint(first, m.getEndLine(doBox));
    m.addSuccessor(doBox, m.getBlockId(first));
    m.addLabelledSuccessor(condition, m.getBlockId(first), "true|loop", "true");
    foldedStart = m.getStartLine(first);
  } else {
    m.addSuccessor(doBox, m.getBlockId(condition));
  }

  m.addLabelledSuccessor(condition, m.getBlockId(next), nextIsLoopHead ? "false|loop" : "false",
                         "false");

  continueTargets_.pop_back();
  breakTargets_.pop_back();
  m.popContainer();
  ModelNode container = m.currentContainer();
  m.remove(container, folded);
  m.append(container, folded);
  m.setStartLine(folded, foldedStart);
  m.setEndLine(folded, lastLine(statement));
  return doBox;
}

}  // namespace flowchart
