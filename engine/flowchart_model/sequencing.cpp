// Statement sequencing: one statement list becomes the boxes of one level.
#include <algorithm>
#include <unordered_set>

#include "engine/flowchart_model/builder.h"

namespace flowchart {
namespace {

bool isLoopHeadType(std::string_view type) { return type == "for" || type == "while"; }

}  // namespace

std::string FlowchartBuilder::statementKind(const xml::Node& statement) {
  // The label of a switch rule stands in the rule's list itself.
  if (statement.name() == "SwLabel") return "SwLabel";
  return statement.selectSingleNode("*").name();
}

bool FlowchartBuilder::isCompoundKind(std::string_view kind) const {
  return std::find(statementKinds_.begin(), statementKinds_.end(), kind) != statementKinds_.end();
}

void FlowchartBuilder::dispatchCompound(const Pending& compound, ModelNode next, bool nextIsLoopHead) {
  const xml::Node& s = compound.statement;
  if (s.selectSingleNode("SelStmt")) {
    if (s.selectSingleNode("SelStmt/IF")) {
      buildIf(s, compound.box, compound.enteredFrom, next, nextIsLoopHead);
    } else if (s.selectSingleNode("SelStmt/SWITCH")) {
      breakTargets_.push_back(model_->getBlockId(next));
      buildSwitch(s, compound.box, compound.enteredFrom, next, nextIsLoopHead);
      breakTargets_.pop_back();
    }
  } else if (s.selectSingleNode("IterStmt")) {
    if (s.selectSingleNode("IterStmt/DO")) {
      buildDoWhile(s, compound.box, compound.enteredFrom, next, nextIsLoopHead);
    } else {
      breakTargets_.push_back(model_->getBlockId(next));
      buildLoop(s, compound.box, compound.enteredFrom, next, nextIsLoopHead);
      breakTargets_.pop_back();
    }
  } else if (s.selectSingleNode("GrdingStmt")) {
    buildGuardedStatement(s, compound.box, compound.enteredFrom, next);
  }
}

std::vector<int32_t> FlowchartBuilder::sequenceStatements(const xml::NodeList& statements,
                                                          ModelNode entry, ModelNode exit) {
  BlocksModel& m = *model_;
  std::vector<int32_t> ids;  // each id once, in the order made
  std::unordered_set<int32_t> listed;  // the ids, once there are too many to search
  auto appendId = [&](int32_t id) {
    constexpr size_t kSearched = 16;
    if (ids.size() < kSearched) {
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
      return;
    }
    if (listed.empty()) listed.insert(ids.begin(), ids.end());
    if (listed.insert(id).second) ids.push_back(id);
  };

  bool runClosed = true;
  bool boxOpen = false;
  int32_t runStartLine = 0;
  int64_t lastCompoundIndex = -2;
  ModelNode openBox;     // the box later simple statements extend, while boxOpen
  ModelNode currentBox;  // the box made last at this level
  ModelNode previousBox = entry;
  std::optional<Pending> pending;

  // A process box for the current run, ending at endLine, placed and listed.
  auto makeProcessBox = [&](int32_t endLine) {
    ModelNode box = m.createBlock();
    m.setStartLine(box, runStartLine);
    m.setEndLine(box, endLine);
    m.setBlockId(box, takeBlockId());
    return box;
  };
  auto place = [&](ModelNode box) {
    appendId(m.getBlockId(box));
    m.placeBlock(m.currentContainer(), box);
  };
  auto dispatchPending = [&](ModelNode next, bool nextIsLoopHead) {
    Pending compound = *pending;
    pending.reset();
    dispatchCompound(compound, next, nextIsLoopHead);
  };

  for (size_t i = 0; i < statements.size(); ++i) {
    const xml::Node& statement = statements[i];
    const int64_t index = static_cast<int64_t>(i);
    const int32_t line = firstLine(statement);
    if (runClosed) {
      runStartLine = line;
      runClosed = false;
    }
    const std::string kind = statementKind(statement);
    const bool afterCompoundOrJump = index == lastCompoundIndex + 1;

    if (kind == "LblStmt" || kind == "SwLabel") {
      previousBox = entry;
      bool fallsThrough = false;  // an open box ends here and control runs on
      if (index != 0) {
        if (!afterCompoundOrJump) {
          const int32_t endLine = lastLine(statements[i - 1]);
          if (boxOpen) {
            m.setEndLine(openBox, endLine);
            place(openBox);
            currentBox = openBox;
            fallsThrough = true;
          } else {
            // Simple statements after a compound still waiting for its
            // handler get their box too, and the compound leads into it.
            ModelNode box = makeProcessBox(endLine);
            place(box);
            currentBox = box;
            if (pending) {
              dispatchPending(box, false);
              fallsThrough = true;
            }
          }
          boxOpen = false;
        }
        previousBox = currentBox;
      }

      ModelNode labelBox = m.createBlock();
      m.setStartLine(labelBox, line);
      m.setBlockId(labelBox, takeBlockId());
      place(labelBox);
      currentBox = labelBox;
      const int32_t labelId = m.getBlockId(labelBox);

      // A rule's label that holds default ("case null, default") is the
      // default branch.
      const bool isRuleLabel = kind == "SwLabel";
      const bool isDefault = isRuleLabel ? static_cast<bool>(statement.selectSingleNode("DEFAULT"))
                                         : !statement.selectSingleNode("LblStmt/CASE") &&
                                               statement.selectSingleNode("LblStmt/DEFAULT");
      const bool isCase = isRuleLabel ? !isDefault : static_cast<bool>(statement.selectSingleNode("LblStmt/CASE"));
      if (isCase || isDefault) {
        if (fallsThrough && !pending) m.addSuccessor(previousBox, labelId);
        m.addTypedSuccessor(entry, labelId, isCase ? "CASE" : "DEFAULT");
      } else if (index == 0 || !afterCompoundOrJump) {
        // After a compound or a jump nothing falls through to the label:
        // the compound's handler leads to it, a jump goes elsewhere.
        m.addSuccessor(previousBox, labelId);
      }
      if (pending) dispatchPending(labelBox, false);
      boxOpen = true;
      openBox = labelBox;
      continue;
    }

    if (isCompoundKind(kind)) {
      runClosed = true;
      if (index != 0 && !afterCompoundOrJump) {
        const int32_t endLine = lastLine(statements[i - 1]);
        ModelNode runBox;
        if (boxOpen) {
          runBox = openBox;
          m.setEndLine(runBox, endLine);
        } else {
          runBox = makeProcessBox(endLine);
        }
        place(runBox);
        boxOpen = false;
        if (pending) dispatchPending(runBox, false);
        previousBox = runBox;
        currentBox = runBox;
      } else if (index == 0) {
        previousBox = entry;
      }

      ModelNode box = m.createBlock();
      m.setBlockId(box, takeBlockId());
      m.setStartLine(box, line);
      place(box);
      if (previousBox != entry && !pending) m.addSuccessor(previousBox, m.getBlockId(box));
      if (pending) dispatchPending(box, false);  // it stood directly before
      pending = Pending{statement, box, previousBox};
      currentBox = box;
      lastCompoundIndex = index;
      boxOpen = false;
      continue;
    }

    if (kind == "JumpStmt" && !statement.selectSingleNode("JumpStmt/THROW")) {
      ModelNode box;
      if (boxOpen) {
        box = openBox;
        m.setEndLine(box, lastLine(statement));
      } else {
        box = makeProcessBox(lastLine(statement));
      }
      const int32_t boxId = m.getBlockId(box);
      if (ids.size() >= 2) {
        const int32_t lastId = ids.back();
        ModelNode last = m.findBlock(root_, lastId);
        const bool lastIsWaitingCompound = pending && m.getBlockId(pending->box) == lastId;
        if (m.getTypeAttr(last).empty() && lastId != boxId && !lastIsWaitingCompound)
          m.addSuccessor(last, boxId);
      }
      place(box);
      buildJump(box, statement);
      if (pending) dispatchPending(box, false);
      currentBox = box;
      boxOpen = false;
      lastCompoundIndex = index;
      runClosed = true;
      continue;
    }
    // A simple statement only widens the run.
  }

  const bool exitIsLoopHead = isLoopHeadType(m.getTypeAttr(exit));
  ModelNode nextForPending = exit;
  if (!runClosed && !statements.empty()) {
    const int32_t endLine = lastLine(statements.back());
    ModelNode box = boxOpen ? openBox : makeProcessBox(endLine);
    m.setEndLine(box, endLine);
    if (exitIsLoopHead) {
      m.addTypedSuccessor(box, m.getBlockId(exit), "loop");
    } else {
      m.addSuccessor(box, m.getBlockId(exit));
    }
    place(box);
    nextForPending = box;
  }
  if (pending) dispatchPending(nextForPending, exitIsLoopHead);
  return ids;
}

}  // namespace flowchart
