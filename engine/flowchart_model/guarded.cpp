// Try and synchronized statements.  The try box holds the try body (and a
// catch header when there are catch clauses); each catch clause becomes a
// catchblock box beside it, a finally clause a container box with the
// finally header, its body's boxes beside the try box.  A synchronized
// statement is a try without clauses.
#include "engine/flowchart_model/builder.h"

namespace flowchart {

ModelNode FlowchartBuilder::buildGuardedStatement(const xml::Node& statement, ModelNode tryBox,
                                                  ModelNode previous, ModelNode incomingNext) {
  BlocksModel& m = *model_;
  xml::NodeList body = statement.selectNodes("GrdingStmt/Blk/Stmt|GrdingStmt/Blk/LocVarDecln");
  ModelNode next = incomingNext;

  xml::Node finallyNode = statement.selectSingleNode("GrdingStmt/Finally");
  if (finallyNode) {
    ModelNode finallyBox = m.createBlock();
    m.setBlockId(finallyBox, takeBlockId());
    m.append(m.currentContainer(), finallyBox);
    ModelNode finallyContainer = m.createBlocksContainer(takeContainerId());
    m.append(finallyBox, finallyContainer);  // not made current

    ModelNode header = m.createBlock();
    m.setBlockId(header, takeBlockId());
    m.append(finallyContainer, header);
    m.setTypeAttr(header, "finally");
    m.setTextAttr(header, "finally");
    const int32_t line = firstLine(finallyNode);
    m.setStartLine(header, line);
    m.setEndLine(header, line);

    std::vector<int32_t> ids = sequenceStatements(finallyNode.selectNodes("Blk/Stmt"), finallyBox, next);
    m.addSuccessor(header, ids.empty() ? m.getBlockId(next) : ids.front());
    next = header;  // the try body and the catch bodies end in the finally clause
  }

  if (statement.selectSingleNode("GrdingStmt/SYNCHRONIZED")) {
    body = statement.selectSingleNode("GrdingStmt/Stmt/Blk") ? statement.selectNodes("GrdingStmt/Stmt/Blk/Stmt")
                                                              : statement.selectNodes("GrdingStmt/Stmt");
  } else {
    m.setEndLine(tryBox, firstLine(statement.selectSingleNode("GrdingStmt/Blk/CBR")));
  }
  m.setTypeAttr(tryBox, "try");
  // A try with resources shows them in its box: "try(Reader r = open())".
  if (xml::Node resources = statement.selectSingleNode("GrdingStmt/RsrcSpec"))
    m.setTextAttr(tryBox, "try" + sourceText(resources));

  const int32_t tryContainerId = takeContainerId();
  ModelNode tryContainer = m.createBlocksContainer(tryContainerId);
  m.append(tryBox, tryContainer);
  m.pushContainer(tryContainerId);

  std::vector<int32_t> ids = sequenceStatements(body, previous, next);
  m.addTypedSuccessor(tryBox, ids.empty() ? m.getBlockId(next) : ids.front(), "try");
  ModelNode firstTryBlock = ids.empty() ? ModelNode() : m.findBlock(root_, ids.front());

  xml::NodeList clauses = statement.selectNodes("GrdingStmt/Catch");
  ModelNode catchHeader;
  if (!clauses.empty()) {
    catchHeader = m.createBlock();
    m.setBlockId(catchHeader, takeBlockId());
    m.append(tryContainer, catchHeader);
    m.setTypeAttr(catchHeader, "catch");
    m.setTextAttr(catchHeader, "Try");
    m.setStartLine(catchHeader, firstLine(statement));
  }
  m.popContainer();

  for (const xml::Node& clause : clauses) {
    ModelNode catchBox = m.createBlock();
    m.setTypeAttr(catchBox, "catchblock");
    m.setBlockId(catchBox, takeBlockId());
    m.append(m.currentContainer(), catchBox);
    const int32_t catchContainerId = takeContainerId();
    ModelNode catchContainer = m.createBlocksContainer(catchContainerId);
    m.append(catchBox, catchContainer);
    m.pushContainer(catchContainerId);

    ModelNode exception = m.createBlock();
    m.setBlockId(exception, takeBlockId());
    m.setTypeAttr(exception, "exception");
    m.setTextAttr(exception, sourceText(clause.selectSingleNode("CatchHeader")));
    const int32_t line = firstLine(clause);
    m.setStartLine(exception, line);
    m.setEndLine(exception, line);
    m.append(catchContainer, exception);
    m.addSuccessor(catchHeader, m.getBlockId(exception));

    std::vector<int32_t> clauseIds = sequenceStatements(clause.selectNodes("Blk/Stmt"), catchHeader, next);
    if (clauseIds.empty()) {
      m.addSuccessor(exception, m.getBlockId(next));
    } else {
      m.addTypedSuccessor(exception, clauseIds.front(), "catch");
    }
    m.popContainer();
  }
  return firstTryBlock;
}

}  // namespace flowchart
