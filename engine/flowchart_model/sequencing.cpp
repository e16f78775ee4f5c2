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

// The walk of one statement list: the run of simple statements being
// gathered into a box, the box made last, and the compound statement whose
// handler waits for the box that follows it.
class FlowchartBuilder::Sequencer {
 public:
  Sequencer(FlowchartBuilder& builder, const xml::NodeList& statements, ModelNode entry)
      : b_(builder), m_(*builder.model_), statements_(statements), entry_(entry), previousBox_(entry) {}

  std::vector<int32_t> run(ModelNode exit) {
    for (size_t i = 0; i < statements_.size(); ++i) {
      const xml::Node& statement = statements_[i];
      const int64_t index = static_cast<int64_t>(i);
      const int32_t line = b_.firstLine(statement);
      if (runClosed_) {
        runStartLine_ = line;
        runClosed_ = false;
      }
      const std::string kind = b_.statementKind(statement);
      const bool afterCompoundOrJump = index == lastCompoundIndex_ + 1;
      if (kind == "LblStmt" || kind == "SwLabel") label(i, kind, line, afterCompoundOrJump);
      else if (b_.isCompoundKind(kind)) compound(i, line, afterCompoundOrJump);
      else if (kind == "JumpStmt" && !statement.selectSingleNode("JumpStmt/THROW")) jump(i);
      // A simple statement only widens the run.
    }
    finish(exit);
    return ids_;
  }

 private:
  // Each id once, in the order made; searched in a set once there are too
  // many to search the list.
  void appendId(int32_t id) {
    constexpr size_t kSearched = 16;
    if (ids_.size() < kSearched) {
      if (std::find(ids_.begin(), ids_.end(), id) == ids_.end()) ids_.push_back(id);
      return;
    }
    if (listed_.empty()) listed_.insert(ids_.begin(), ids_.end());
    if (listed_.insert(id).second) ids_.push_back(id);
  }

  // A process box for the current run, ending at endLine.
  ModelNode makeProcessBox(int32_t endLine) {
    ModelNode box = m_.createBlock();
    m_.setStartLine(box, runStartLine_);
    m_.setEndLine(box, endLine);
    m_.setBlockId(box, b_.takeBlockId());
    return box;
  }

  void place(ModelNode box) {
    appendId(m_.getBlockId(box));
    m_.placeBlock(m_.currentContainer(), box);
  }

  void dispatchPending(ModelNode next, bool nextIsLoopHead) {
    Pending compound = *pending_;
    pending_.reset();
    b_.dispatchCompound(compound, next, nextIsLoopHead);
  }

  // A statement label, or a switch's case or default.
  void label(size_t i, const std::string& kind, int32_t line, bool afterCompoundOrJump) {
    const xml::Node& statement = statements_[i];
    previousBox_ = entry_;
    bool fallsThrough = false;  // an open box ends here and control runs on
    if (i != 0) {
      if (!afterCompoundOrJump) {
        const int32_t endLine = b_.lastLine(statements_[i - 1]);
        if (boxOpen_) {
          m_.setEndLine(openBox_, endLine);
          place(openBox_);
          currentBox_ = openBox_;
          fallsThrough = true;
        } else {
          // Simple statements after a compound still waiting for its
          // handler get their box too, and the compound leads into it.
          ModelNode box = makeProcessBox(endLine);
          place(box);
          currentBox_ = box;
          if (pending_) {
            dispatchPending(box, false);
            fallsThrough = true;
          }
        }
        boxOpen_ = false;
      }
      previousBox_ = currentBox_;
    }

    ModelNode labelBox = m_.createBlock();
    m_.setStartLine(labelBox, line);
    m_.setBlockId(labelBox, b_.takeBlockId());
    place(labelBox);
    currentBox_ = labelBox;
    const int32_t labelId = m_.getBlockId(labelBox);

    // A rule's label that holds default ("case null, default") is the
    // default branch.
    const bool isRuleLabel = kind == "SwLabel";
    const bool isDefault = isRuleLabel ? static_cast<bool>(statement.selectSingleNode("DEFAULT"))
                                       : !statement.selectSingleNode("LblStmt/CASE") &&
                                             statement.selectSingleNode("LblStmt/DEFAULT");
    const bool isCase = isRuleLabel ? !isDefault : static_cast<bool>(statement.selectSingleNode("LblStmt/CASE"));
    if (isCase || isDefault) {
      if (fallsThrough && !pending_) m_.addSuccessor(previousBox_, labelId);
      m_.addTypedSuccessor(entry_, labelId, isCase ? "CASE" : "DEFAULT");
    } else if (i == 0 || !afterCompoundOrJump) {
      // After a compound or a jump nothing falls through to the label:
      // the compound's handler leads to it, a jump goes elsewhere.
      m_.addSuccessor(previousBox_, labelId);
    }
    if (pending_) dispatchPending(labelBox, false);
    boxOpen_ = true;
    openBox_ = labelBox;
  }

  // A compound statement: the run before it closes into a box, and its own
  // box waits for its handler until the box after it is known.
  void compound(size_t i, int32_t line, bool afterCompoundOrJump) {
    runClosed_ = true;
    if (i != 0 && !afterCompoundOrJump) {
      const int32_t endLine = b_.lastLine(statements_[i - 1]);
      ModelNode runBox;
      if (boxOpen_) {
        runBox = openBox_;
        m_.setEndLine(runBox, endLine);
      } else {
        runBox = makeProcessBox(endLine);
      }
      place(runBox);
      boxOpen_ = false;
      if (pending_) dispatchPending(runBox, false);
      previousBox_ = runBox;
      currentBox_ = runBox;
    } else if (i == 0) {
      previousBox_ = entry_;
    }

    ModelNode box = m_.createBlock();
    m_.setBlockId(box, b_.takeBlockId());
    m_.setStartLine(box, line);
    place(box);
    if (previousBox_ != entry_ && !pending_) m_.addSuccessor(previousBox_, m_.getBlockId(box));
    if (pending_) dispatchPending(box, false);  // it stood directly before
    pending_ = Pending{statements_[i], box, previousBox_};
    currentBox_ = box;
    lastCompoundIndex_ = static_cast<int64_t>(i);
    boxOpen_ = false;
  }

  // break, continue or return: the run up to it is its box.
  void jump(size_t i) {
    const xml::Node& statement = statements_[i];
    ModelNode box;
    if (boxOpen_) {
      box = openBox_;
      m_.setEndLine(box, b_.lastLine(statement));
    } else {
      box = makeProcessBox(b_.lastLine(statement));
    }
    const int32_t boxId = m_.getBlockId(box);
    if (ids_.size() >= 2) {
      const int32_t lastId = ids_.back();
      ModelNode last = m_.findBlock(b_.root_, lastId);
      const bool lastIsWaitingCompound = pending_ && m_.getBlockId(pending_->box) == lastId;
      if (m_.getTypeAttr(last).empty() && lastId != boxId && !lastIsWaitingCompound) m_.addSuccessor(last, boxId);
    }
    place(box);
    b_.buildJump(box, statement);
    if (pending_) dispatchPending(box, false);
    currentBox_ = box;
    boxOpen_ = false;
    lastCompoundIndex_ = static_cast<int64_t>(i);
    runClosed_ = true;
  }

  // The run left open at the end leads to the exit; a compound still
  // waiting leads to that run, or to the exit.
  void finish(ModelNode exit) {
    const bool exitIsLoopHead = isLoopHeadType(m_.getTypeAttr(exit));
    ModelNode nextForPending = exit;
    if (!runClosed_ && !statements_.empty()) {
      const int32_t endLine = b_.lastLine(statements_.back());
      ModelNode box = boxOpen_ ? openBox_ : makeProcessBox(endLine);
      m_.setEndLine(box, endLine);
      if (exitIsLoopHead) {
        m_.addTypedSuccessor(box, m_.getBlockId(exit), "loop");
      } else {
        m_.addSuccessor(box, m_.getBlockId(exit));
      }
      place(box);
      nextForPending = box;
    }
    if (pending_) dispatchPending(nextForPending, exitIsLoopHead);
  }

  FlowchartBuilder& b_;
  BlocksModel& m_;
  const xml::NodeList& statements_;
  const ModelNode entry_;
  std::vector<int32_t> ids_;
  std::unordered_set<int32_t> listed_;
  bool runClosed_ = true;
  bool boxOpen_ = false;
  int32_t runStartLine_ = 0;
  int64_t lastCompoundIndex_ = -2;
  ModelNode openBox_;     // the box later simple statements extend, while boxOpen_
  ModelNode currentBox_;  // the box made last at this level
  ModelNode previousBox_;
  std::optional<Pending> pending_;
};

std::vector<int32_t> FlowchartBuilder::sequenceStatements(const xml::NodeList& statements, ModelNode entry,
                                                          ModelNode exit) {
  return Sequencer(*this, statements, entry).run(exit);
}

}  // namespace flowchart
